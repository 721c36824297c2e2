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

// Removes leading and trailing Unicode White_Space characters.
std::string_view trim(std::string_view s) noexcept;

// Maps only A-Z to a-z.
std::string ascii_lower(std::string_view s);
bool iequals_ascii(std::string_view a, std::string_view b) noexcept;

inline bool starts_with(std::string_view s, std::string_view p) noexcept { return s.substr(0, p.size()) == p; }

// True when the bytes are well-formed UTF-8.
bool is_valid_utf8(std::string_view s) noexcept;

}  // namespace adsieve::text
