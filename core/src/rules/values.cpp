#include "rules/values.h"

#include <charconv>
#include <cmath>

namespace adsieve::rules::values {

namespace {

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

bool all_digits(std::string_view s) noexcept {
    for (char c : s)
        if (!is_digit(c)) return false;
    return true;
}

bool two_digits_below_60(std::string_view s) noexcept {
    return s.size() == 2 && all_digits(s) && s[0] <= '5';
}

// Parses the decimal floating-point grammar: [sign] (digits [. digits] | . digits) [e [sign] digits].
// Infinity and not-a-number words never pass a range test, so they are rejected here.
std::optional<double> parse_decimal(std::string_view s) noexcept {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::size_t int_start = i;
    while (i < s.size() && is_digit(s[i])) ++i;
    std::size_t int_digits = i - int_start;
    std::size_t frac_digits = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        std::size_t f = i;
        while (i < s.size() && is_digit(s[i])) ++i;
        frac_digits = i - f;
    }
    if (int_digits + frac_digits == 0) return std::nullopt;
    bool exp_negative = false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) exp_negative = s[i++] == '-';
        std::size_t e = i;
        while (i < s.size() && is_digit(s[i])) ++i;
        if (i == e) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    std::string_view body = s.substr(int_start);
    double v = 0;
    auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), v, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Underflow rounds to zero, overflow to infinity.
        v = exp_negative ? 0.0 : HUGE_VAL;
    } else if (ec != std::errc() || ptr != body.data() + body.size()) {
        return std::nullopt;
    }
    return negative ? -v : v;
}

}  // namespace

bool is_hhmmss(std::string_view s) noexcept {
    std::string_view clock = s;
    std::size_t dot = s.find('.');
    if (dot != std::string_view::npos) {
        clock = s.substr(0, dot);
        std::string_view frac = s.substr(dot + 1);
        if (frac.size() != 3 || !all_digits(frac)) return false;
    }
    std::size_t c1 = clock.find(':');
    if (c1 == std::string_view::npos) return false;
    std::size_t c2 = clock.find(':', c1 + 1);
    if (c2 == std::string_view::npos || clock.find(':', c2 + 1) != std::string_view::npos) return false;
    std::string_view hours = clock.substr(0, c1);
    std::string_view minutes = clock.substr(c1 + 1, c2 - c1 - 1);
    std::string_view seconds = clock.substr(c2 + 1);
    return hours.size() >= 2 && all_digits(hours) && two_digits_below_60(minutes) &&
           two_digits_below_60(seconds);
}

bool is_valid_time_or_percent(std::string_view s) noexcept {
    if (s.empty()) return false;
    if (s.back() == '%') {
        auto v = parse_decimal(s.substr(0, s.size() - 1));
        return v && *v >= 0.0 && *v <= 100.0;
    }
    return is_hhmmss(s);
}

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::values
