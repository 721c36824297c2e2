// Absolute-URL test: does a text parse as a URL without a base URL?
#pragma once

#include <array>
#include <cstdint>
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

// False only for texts that certainly do not parse: every URL starts with
// "scheme:", a letter and then letters, digits, "+", "-" or ".". Texts that
// start with a space or a control byte (which the parser strips) or hold a
// tab or newline inside the scheme (which it drops) are left to the parser.
// For texts that are mostly not URLs; costs a few instructions per byte of
// the first word.
inline bool may_be_absolute_url(std::string_view input) noexcept;

inline bool is_absolute_url(std::string_view input) {
    return is_plain_web_url(input) || parses_as_absolute_url(input);
}

namespace detail {
// 1: may start a scheme (letters); 2: continues one (letters, digits, "+",
// "-", "."); 4: left to the parser (bytes up to the space).
inline constexpr std::array<std::uint8_t, 256> kSchemeStart = [] {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c <= 0x20; ++c) t[c] = 4;
    for (int c = 'a'; c <= 'z'; ++c) t[c] = t[c - 32] = 1 | 2;
    for (int c = '0'; c <= '9'; ++c) t[c] = 2;
    t['+'] = t['-'] = t['.'] = 2;
    return t;
}();
}  // namespace detail

inline bool may_be_absolute_url(std::string_view input) noexcept {
    const std::size_t n = input.size();
    if (n == 0) return false;
    const std::uint8_t first = detail::kSchemeStart[static_cast<unsigned char>(input[0])];
    if (first != 3) return first == 4;
    std::size_t i = 1;
    while (i < n && (detail::kSchemeStart[static_cast<unsigned char>(input[i])] & 2)) ++i;
    if (i == n) return false;
    const char c = input[i];
    return c == ':' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace adsieve::url
