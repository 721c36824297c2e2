// Reading text into an element tree.
#pragma once

#include <concepts>
#include <string>
#include <string_view>

#include "model.h"

namespace adsieve {

// Parses UTF-8 text (already checked) into a tree. Never fails: problems
// end the reading and are recorded in parse_error. The tree views `text`,
// which must outlive the document. With `room`, the element list starts in
// room carved from that arena (parse_room bytes of it for a text of that
// size), which must then outlive the document too.
Document parse(std::string_view text, Arena* room = nullptr);
// The element slots a text of `size` bytes starts with: real documents take
// about one per 35 bytes.
constexpr std::size_t first_slots(std::size_t size) noexcept { return size / 32 + 16; }
// The bytes of an arena that parse takes for them.
constexpr std::size_t parse_room(std::size_t size) noexcept { return first_slots(size) * sizeof(Node); }
// A temporary string would be gone before the document that views it.
template <class S>
    requires std::same_as<S, std::string>
Document parse(S&& text) = delete;

}  // namespace adsieve
