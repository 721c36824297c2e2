// Small text helpers shared by the parser and the rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace adsieve::text {

// Length in bytes of a Unicode White_Space character starting at s[i], or 0.
std::size_t white_space_at(std::string_view s, std::size_t i) noexcept;
// Length of a White_Space character ending just before s[end], or 0.
std::size_t white_space_before(std::string_view s, std::size_t end) noexcept;

// trim for a text whose ends, once ASCII blanks are stripped, are not ASCII.
std::string_view trim_beyond_ascii(std::string_view s) noexcept;

// Removes leading and trailing Unicode White_Space characters. ASCII blanks
// are stripped here; the rest only when an end is not ASCII.
inline std::string_view trim(std::string_view s) noexcept {
    auto ascii_blank = [](char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); };
    std::size_t b = 0, e = s.size();
    while (b < e && ascii_blank(s[b])) ++b;
    while (e > b && ascii_blank(s[e - 1])) --e;
    s = s.substr(b, e - b);
    if (s.empty() || (static_cast<unsigned char>(s.front()) < 0x80 && static_cast<unsigned char>(s.back()) < 0x80))
        return s;
    return trim_beyond_ascii(s);
}

// Maps only A-Z to a-z.
std::string ascii_lower(std::string_view s);
bool iequals_ascii(std::string_view a, std::string_view b) noexcept;

inline bool starts_with(std::string_view s, std::string_view p) noexcept { return s.substr(0, p.size()) == p; }

// True when the bytes are well-formed UTF-8.
bool is_valid_utf8(std::string_view s) noexcept;

}  // namespace adsieve::text
