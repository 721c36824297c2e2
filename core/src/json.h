// Renders a validation result as the JSON result document.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "validate.h"

namespace adsieve {

// A written result document: its bytes followed by a NUL, in one block.
struct JsonText {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;

    std::string_view view() const noexcept { return {bytes.get(), size}; }
    const char* c_str() const noexcept { return bytes.get(); }
};

JsonText write_json(const ValidationResult& result);
// The same document, NUL-terminated, written into `into` (usually into room
// its last block has left); the view leaves the NUL out.
std::string_view write_json(const ValidationResult& result, Arena& into);
// The same document as a string.
std::string render_json(const ValidationResult& result);

// Appends s as a JSON string literal (control characters escaped).
void append_escaped(std::string& out, std::string_view s);

}  // namespace adsieve
