// Absolute-URL test: does a text parse as a URL without a base URL?
#pragma once

#include <string_view>

namespace adsieve::url {

// True exactly when the WHATWG basic URL parser, given `input`, no base URL
// and no state override, returns a URL rather than failure. `input` is UTF-8
// text; it is not trimmed beforehand (the parser itself strips leading and
// trailing C0 controls and spaces and drops tabs and newlines).
// Thread-safe; allocates nothing for typical URLs with plain ASCII hosts.
inline bool is_absolute_url(std::string_view input);

// The two paths of is_absolute_url, apart for tests and measurement.
// is_plain_web_url is a quick test that is true only for common http(s) URLs
// with a plain ASCII domain, all of which parse; false means "not decided".
// parses_as_absolute_url always runs the full parser.
bool is_plain_web_url(std::string_view input) noexcept;
bool parses_as_absolute_url(std::string_view input);

inline bool is_absolute_url(std::string_view input) {
    return is_plain_web_url(input) || parses_as_absolute_url(input);
}

}  // namespace adsieve::url
