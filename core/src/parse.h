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
// room carved from that arena, which must then outlive the document too.
Document parse(std::string_view text, Arena* room = nullptr);
// A temporary string would be gone before the document that views it.
template <class S>
    requires std::same_as<S, std::string>
Document parse(S&& text) = delete;

}  // namespace adsieve
