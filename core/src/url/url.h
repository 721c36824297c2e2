// Absolute-URL test: does a text parse as a URL without a base URL?
#pragma once

#include <string_view>

namespace adsieve::url {

// True exactly when the WHATWG basic URL parser, given `input`, no base URL
// and no state override, returns a URL rather than failure. `input` is UTF-8
// text; it is not trimmed beforehand (the parser itself strips leading and
// trailing C0 controls and spaces and drops tabs and newlines).
// Thread-safe; allocates nothing for typical URLs with plain ASCII hosts.
bool is_absolute_url(std::string_view input);

}  // namespace adsieve::url
