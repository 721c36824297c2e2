#include "text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace adsieve::text {

namespace {

bool is_white_space_cp(char32_t c) noexcept {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

#if defined(ADSIEVE_AVX2_VARIANTS)
// Length of the leading whole 128-byte runs of p[0..n) that are all ASCII,
// 32 bytes a load on processors that have them (checked by the caller).
[[gnu::target("avx2")]] std::size_t ascii_runs(const char* p, std::size_t n) noexcept {
    std::size_t i = 0;
    // Two runs a step while they last, then one.
    for (; n - i >= 256; i += 256) {
        const auto* q = reinterpret_cast<const __m256i*>(p + i);
        const __m256i a = _mm256_or_si256(_mm256_or_si256(_mm256_loadu_si256(q), _mm256_loadu_si256(q + 1)),
                                          _mm256_or_si256(_mm256_loadu_si256(q + 2), _mm256_loadu_si256(q + 3)));
        const __m256i b = _mm256_or_si256(_mm256_or_si256(_mm256_loadu_si256(q + 4), _mm256_loadu_si256(q + 5)),
                                          _mm256_or_si256(_mm256_loadu_si256(q + 6), _mm256_loadu_si256(q + 7)));
        if (_mm256_movemask_epi8(_mm256_or_si256(a, b))) break;
    }
    for (; n - i >= 128; i += 128) {
        const auto* q = reinterpret_cast<const __m256i*>(p + i);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_loadu_si256(q), _mm256_loadu_si256(q + 1)),
                                            _mm256_or_si256(_mm256_loadu_si256(q + 2), _mm256_loadu_si256(q + 3)));
        if (_mm256_movemask_epi8(any)) break;
    }
    return i;
}
#endif

}  // namespace

std::size_t white_space_at(std::string_view s, std::size_t i) noexcept {
    if (i >= s.size()) return 0;
    auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) return is_white_space_cp(b0) ? 1 : 0;
    if ((b0 & 0xE0) == 0xC0 && i + 1 < s.size()) {
        char32_t c = (char32_t(b0 & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
        return is_white_space_cp(c) ? 2 : 0;
    }
    if ((b0 & 0xF0) == 0xE0 && i + 2 < s.size()) {
        char32_t c = (char32_t(b0 & 0x0F) << 12) |
                     (char32_t(static_cast<unsigned char>(s[i + 1]) & 0x3F) << 6) |
                     (static_cast<unsigned char>(s[i + 2]) & 0x3F);
        return is_white_space_cp(c) ? 3 : 0;
    }
    return 0;
}

std::size_t white_space_before(std::string_view s, std::size_t end) noexcept {
    if (end == 0 || end > s.size()) return 0;
    auto last = static_cast<unsigned char>(s[end - 1]);
    if (last < 0x80) return is_white_space_cp(last) ? 1 : 0;
    // White_Space characters beyond ASCII are two or three bytes long.
    if (end >= 2 && white_space_at(s, end - 2) == 2) return 2;
    if (end >= 3 && white_space_at(s, end - 3) == 3) return 3;
    return 0;
}

std::string_view trim_beyond_ascii(std::string_view s) noexcept {
    std::size_t b = 0, e = s.size();
    while (b < e) {
        std::size_t n = white_space_at(s, b);
        if (n == 0) break;
        b += n;
    }
    while (e > b) {
        std::size_t n = white_space_before(s, e);
        if (n == 0 || e - n < b) break;
        e -= n;
    }
    return s.substr(b, e - b);
}

std::string ascii_lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool iequals_ascii(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool is_valid_utf8(std::string_view s) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t n = s.size(), i = 0;
#if defined(ADSIEVE_AVX2_VARIANTS)
    // Most documents are ASCII throughout: their long runs are passed over
    // 32 bytes a load where the processor has it.
    const bool wide = n >= 256 && __builtin_cpu_supports("avx2");
#endif
    while (i < n) {
        // Fast skip over ASCII, 128 bytes at a time, then 64, 32, 16 and 8.
#if defined(ADSIEVE_AVX2_VARIANTS)
        if (wide && n - i >= 128) i += ascii_runs(s.data() + i, n - i);
#endif
#if defined(__SSE2__)
        while (n - i >= 128) {
            const auto* b = reinterpret_cast<const __m128i*>(p + i);
            const __m128i any = _mm_or_si128(
                _mm_or_si128(_mm_or_si128(_mm_loadu_si128(b), _mm_loadu_si128(b + 1)),
                             _mm_or_si128(_mm_loadu_si128(b + 2), _mm_loadu_si128(b + 3))),
                _mm_or_si128(_mm_or_si128(_mm_loadu_si128(b + 4), _mm_loadu_si128(b + 5)),
                             _mm_or_si128(_mm_loadu_si128(b + 6), _mm_loadu_si128(b + 7))));
            if (_mm_movemask_epi8(any) != 0) break;
            i += 128;
        }
        while (n - i >= 64) {
            const auto* b = reinterpret_cast<const __m128i*>(p + i);
            const __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(b), _mm_loadu_si128(b + 1)),
                                             _mm_or_si128(_mm_loadu_si128(b + 2), _mm_loadu_si128(b + 3)));
            if (_mm_movemask_epi8(any) != 0) break;
            i += 64;
        }
        while (i + 32 <= n &&
               _mm_movemask_epi8(_mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)),
                                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16)))) == 0)
            i += 32;
        while (i + 16 <= n &&
               _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0)
            i += 16;
#endif
        while (i + 8 <= n) {
            std::uint64_t w;
            __builtin_memcpy(&w, p + i, 8);
            if (w & 0x8080808080808080ULL) break;
            i += 8;
        }
        if (i >= n) break;
        unsigned char c = p[i];
        if (c < 0x80) { ++i; continue; }
        std::size_t len;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
        else return false;
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) return false;
        if (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) return false;
        i += len;
    }
    return true;
}

}  // namespace adsieve::text
