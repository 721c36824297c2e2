// Small text helpers shared by the parser and the rules.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <span>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// x86-64 builds carry AVX2 variants of a few long scans, each chosen at run
// time (__builtin_cpu_supports) over the SSE2 one every processor there has.
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#define ADSIEVE_AVX2_VARIANTS 1
#include <immintrin.h>
#endif

namespace adsieve::text {

// Length in bytes of a Unicode White_Space character starting at s[i], or 0.
std::size_t white_space_at(std::string_view s, std::size_t i) noexcept;
// Length of a White_Space character ending just before s[end], or 0.
std::size_t white_space_before(std::string_view s, std::size_t end) noexcept;

// trim for a text whose ends, once ASCII blanks are stripped, are not ASCII.
std::string_view trim_beyond_ascii(std::string_view s) noexcept;

constexpr bool is_ascii_blank(char c) noexcept { return c == ' ' || (c >= 0x09 && c <= 0x0D); }

// Number of ASCII blanks (space, tab, LF, VT, FF, CR) that start `s`. Runs of
// indentation are passed over sixteen or eight bytes at a time; the last
// bytes are read in one load that ends at the end of `s` and overlaps bytes
// already known to be blanks.
inline std::size_t leading_ascii_blanks(std::string_view s) noexcept {
    const std::size_t n = s.size();
    if (n == 0 || !is_ascii_blank(s[0])) return 0;
#if defined(__SSE2__)
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8(0x09), four = _mm_set1_epi8(4);
    // A bit for each blank byte: a space, or 09..0D (x - 09, unsigned, at most 4).
    auto blank_bits = [&](__m128i x) {
        const __m128i from_tab = _mm_sub_epi8(x, tab);
        return unsigned(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(x, space), _mm_cmpeq_epi8(_mm_min_epu8(from_tab, four), from_tab))));
    };
    auto load8 = [&](std::size_t at) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + at)); };
    auto load4 = [&](std::size_t at) {
        std::int32_t v;
        __builtin_memcpy(&v, p + at, 4);
        return _mm_cvtsi32_si128(v);
    };
    if (n >= 8) {
        std::size_t b = 0;
        for (; b + 16 <= n; b += 16) {
            const unsigned bits = blank_bits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + b)));
            if (bits != 0xFFFF) return b + std::size_t(__builtin_ctz(~bits));
        }
        if (b + 8 <= n) {
            const unsigned bits = blank_bits(load8(b)) | 0xFF00;
            if (bits != 0xFFFF) return b + std::size_t(__builtin_ctz(~bits));
            b += 8;
        }
        if (b == n) return n;
        // Bits 0..7 are s[n - 8, n), of which s[n - 8, b) are already known blanks.
        const unsigned bits = blank_bits(load8(n - 8)) | 0xFF00;
        return bits == 0xFFFF ? n : n - 8 + std::size_t(__builtin_ctz(~bits));
    }
    if (n >= 4) {
        // Bits 0..3 are s[0, 4), bits 4..7 are s[n - 4, n).
        const unsigned bits = blank_bits(_mm_unpacklo_epi32(load4(0), load4(n - 4))) | 0xFF00;
        if (bits == 0xFFFF) return n;
        const std::size_t first = std::size_t(__builtin_ctz(~bits));
        return first < 4 ? first : n - 8 + first;
    }
#endif
    std::size_t b = 1;
    while (b < n && is_ascii_blank(s[b])) ++b;
    return b;
}

// Removes leading and trailing Unicode White_Space characters. ASCII blanks
// are stripped here; the rest only when an end is not ASCII.
inline std::string_view trim(std::string_view s) noexcept {
    std::size_t b = leading_ascii_blanks(s), e = s.size();
    while (e > b && is_ascii_blank(s[e - 1])) --e;
    s = s.substr(b, e - b);
    if (s.empty() || (static_cast<unsigned char>(s.front()) < 0x80 && static_cast<unsigned char>(s.back()) < 0x80))
        return s;
    return trim_beyond_ascii(s);
}

// Maps only A-Z to a-z.
std::string ascii_lower(std::string_view s);
bool iequals_ascii(std::string_view a, std::string_view b) noexcept;

inline bool starts_with(std::string_view s, std::string_view p) noexcept { return s.substr(0, p.size()) == p; }

// The ends of a name, read as numbers: its first and last eight bytes from
// eight bytes on, its first and last four from four bytes on, else its first,
// middle and last byte. For names of at most sixteen bytes they are all the
// bytes of the name. The same in constant evaluation and at run time, on any
// byte order.
struct NameEnds {
    std::uint64_t head = 0, tail = 0;
};

template <std::size_t W>
constexpr std::uint64_t load_le(const char* p) noexcept {
    std::uint64_t v = 0;
    if (std::is_constant_evaluated()) {
        for (std::size_t i = W; i-- > 0;) v = v << 8 | static_cast<unsigned char>(p[i]);
        return v;
    }
    if constexpr (W == 8) {
        __builtin_memcpy(&v, p, 8);
        if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    } else {
        std::uint32_t w;
        __builtin_memcpy(&w, p, 4);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
        v = w;
    }
    return v;
}

// For a non-empty name.
constexpr NameEnds name_ends(std::string_view s) noexcept {
    const std::size_t n = s.size();
    const char* p = s.data();
    if (n >= 8) return {load_le<8>(p), load_le<8>(p + n - 8)};
    if (n >= 4) return {load_le<4>(p), load_le<4>(p + n - 4)};
    return {std::uint64_t(static_cast<unsigned char>(p[0])) | std::uint64_t(static_cast<unsigned char>(p[n / 2])) << 8 |
                std::uint64_t(static_cast<unsigned char>(p[n - 1])) << 16,
            0};
}

// A fixed set of names answered with one probe. The names are placed at
// compile time in a table indexed by a multiplicative hash of a name's length
// and ends; the multiplier is searched for so that no two names share a slot.
// A probe compares the ends and the length, and the bytes between the ends
// only for names longer than sixteen bytes. A free slot points at an entry of
// length 0, which no probe matches, so a probe tests the slot only through
// the entry.
template <std::size_t N, unsigned Bits>
struct NameSet {
    static_assert(N > 0 && N < 255 && Bits >= 4 && Bits <= 12);
    struct Entry {
        NameEnds ends;
        std::size_t size = 0;
    };
    std::array<std::string_view, N> names;
    std::array<Entry, N + 1> entries{};  // entries[i + 1] for names[i]; entries[0] matches nothing
    std::uint64_t multiplier = 0;
    std::array<std::uint8_t, std::size_t{1} << Bits> slots{};  // index + 1 into names, 0 when free

    // The slot's multiplication mixes the key; the key only has to keep the
    // set's names apart (checked when the set is made), so the tail is
    // rotated by a bit instead of multiplied.
    static constexpr std::uint64_t key(const NameEnds& e, std::size_t n) noexcept {
        return e.head ^ ((e.tail + n) << 1 | (e.tail + n) >> 63);
    }
    constexpr std::size_t slot(std::uint64_t key) const noexcept {
        return std::size_t((key * multiplier) >> (64 - Bits));
    }

    // The position of `s` in `names`, or -1.
    constexpr int find(std::string_view s) const noexcept {
        const std::size_t n = s.size();
        if (n == 0) return -1;
        const NameEnds e = name_ends(s);
        const unsigned k = slots[slot(key(e, n))];
        const Entry& m = entries[k];
        if (m.size != n || m.ends.head != e.head || m.ends.tail != e.tail) return -1;
        if (n > 16 && names[k - 1].substr(8, n - 16) != s.substr(8, n - 16)) return -1;
        return int(k) - 1;
    }
    constexpr bool contains(std::string_view s) const noexcept { return find(s) >= 0; }

    // Some of the names as a mask of their positions (bit i: names[i]);
    // fails to compile when one of them is not in the set.
    consteval std::uint64_t mask(std::span<const std::string_view> some) const {
        static_assert(N <= 64, "a mask holds at most 64 names");
        std::uint64_t m = 0;
        for (std::string_view s : some) {
            const int i = find(s);
            if (i < 0) throw "a name is missing from the set";
            m |= std::uint64_t{1} << i;
        }
        return m;
    }
};

constexpr unsigned name_set_bits(std::size_t n) {
    unsigned bits = 4;
    while ((std::size_t{1} << bits) < 8 * n) ++bits;
    return bits;
}

// Builds the set of `names`; fails to compile when a name is empty or two
// names have the same hash key.
template <std::size_t N>
consteval NameSet<N, name_set_bits(N)> make_name_set(const std::array<std::string_view, N>& names) {
    using Set = NameSet<N, name_set_bits(N)>;
    Set set{names};
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i].empty()) throw "a name is empty";
        set.entries[i + 1] = {name_ends(names[i]), names[i].size()};
        for (std::size_t j = 0; j < i; ++j)
            if (Set::key(set.entries[i + 1].ends, names[i].size()) == Set::key(set.entries[j + 1].ends, names[j].size()))
                throw "two names have the same hash key";
    }
    for (std::uint64_t m = 0x9E3779B97F4A7C15u, tries = 0; tries < 2000; m += 0x2545F4914F6CDD1Eu, ++tries) {
        set.multiplier = m | 1;
        set.slots = {};
        bool clash = false;
        for (std::size_t i = 0; i < N && !clash; ++i) {
            std::uint8_t& slot = set.slots[set.slot(Set::key(set.entries[i + 1].ends, names[i].size()))];
            clash = slot != 0;
            slot = std::uint8_t(i + 1);
        }
        if (!clash) return set;
    }
    throw "no multiplier separates these names";
}

// The lengths of a set of names as a mask: bit n for a name of n bytes, bit
// 63 for every name of 63 bytes or more. A name whose bit is clear is in none
// of them, which a lookup can tell before it hashes anything.
template <std::size_t N>
consteval std::uint64_t length_mask(const std::array<std::string_view, N>& names) {
    std::uint64_t mask = 0;
    for (std::string_view n : names) mask |= std::uint64_t{1} << (n.size() < 63 ? n.size() : 63);
    return mask;
}
constexpr bool may_have_length(std::uint64_t mask, std::size_t n) noexcept {
    return (mask >> (n < 63 ? n : 63) & 1) != 0;
}

// True when the bytes are well-formed UTF-8.
bool is_valid_utf8(std::string_view s) noexcept;

}  // namespace adsieve::text
