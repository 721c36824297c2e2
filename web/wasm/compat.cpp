// What the wasm32 runtime libraries lack for the library's sources.
#include "compat.h"

#include <cmath>
#include <cstdlib>
#include <string>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 200000
namespace std {

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

bool word_at(const char* p, const char* last, const char* word) {
    for (; *word; ++word, ++p)
        if (p == last || (*p | 0x20) != *word) return false;
    return true;
}

}  // namespace

// Reads [-](digits[.digits*] | .digits)[(e|E)[sign]digits], or inf, infinity
// and nan, rounding to nearest (the exponent is required for scientific and
// not read for fixed; hex is not supported and reads nothing). A value too
// large for a double, or a non-zero one that rounds to zero, is
// result_out_of_range; then, as when nothing is readable (invalid_argument),
// `value` is left as it was.
from_chars_result from_chars(const char* first, const char* last, double& value, chars_format fmt) {
    if (fmt == chars_format::hex) return {first, errc::invalid_argument};
    const char* p = first;
    bool negative = p != last && *p == '-';
    if (negative) ++p;
    const char* start = p;
    bool nonzero = false;
    std::size_t digits = 0;
    for (; p != last && digit(*p); ++p, ++digits) nonzero |= *p != '0';
    if (p != last && *p == '.') {
        ++p;
        for (; p != last && digit(*p); ++p, ++digits) nonzero |= *p != '0';
    }
    if (digits == 0) {
        if (word_at(start, last, "infinity") || word_at(start, last, "inf")) {
            value = negative ? -HUGE_VAL : HUGE_VAL;
            return {start + (word_at(start, last, "infinity") ? 8 : 3), errc()};
        }
        if (word_at(start, last, "nan")) {
            value = negative ? -NAN : NAN;
            return {start + 3, errc()};
        }
        return {first, errc::invalid_argument};
    }
    bool has_exponent = false;
    if (fmt != chars_format::fixed && p != last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q != last && (*q == '+' || *q == '-')) ++q;
        if (q != last && digit(*q)) {
            while (q != last && digit(*q)) ++q;
            p = q;
            has_exponent = true;
        }
    }
    if (fmt == chars_format::scientific && !has_exponent) return {first, errc::invalid_argument};
    // strtod of musl rounds correctly; it reads a NUL-terminated copy of
    // exactly the span found above.
    std::string copy(start, p);
    double v = std::strtod(copy.c_str(), nullptr);
    if (std::isinf(v) || (v == 0 && nonzero)) return {p, errc::result_out_of_range};
    value = negative ? -v : v;
    return {p, errc()};
}

}  // namespace std
#endif

// The library is compiled with exceptions on (its sources keep their try and
// catch) but this target has no unwinder: catch blocks are dropped by the
// compiler and a throw, which only an allocation failure reaches, traps here.
// The page sees the trap as a "stopped" error and starts a fresh instance.
extern "C" void* __cxa_allocate_exception(std::size_t) noexcept { __builtin_trap(); }
extern "C" [[noreturn]] void __cxa_throw(void*, void*, void (*)(void*)) { __builtin_trap(); }
