#include "json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace adsieve {

namespace {

// Length of the leading run of s[from..] that needs no escaping.
std::size_t plain_run(const char* s, std::size_t from, std::size_t n) noexcept {
    std::size_t i = from;
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i control = _mm_set1_epi8(0x1F);
    // Bit k set when byte k of the 16 at p is <= 0x1F (unsigned), '"' or '\\'.
    auto hits = [&](const char* p) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i low = _mm_cmpeq_epi8(_mm_max_epu8(v, control), control);
        __m128i hit = _mm_or_si128(low, _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
        return static_cast<unsigned>(_mm_movemask_epi8(hit));
    };
    for (; i + 16 <= n; i += 16)
        if (unsigned mask = hits(s + i)) return i + static_cast<std::size_t>(__builtin_ctz(mask));
    if (i < n && n >= 16) {
        // The tail, as the last 16 bytes less those already seen.
        const unsigned seen = static_cast<unsigned>(16 - (n - i));
        if (unsigned mask = hits(s + n - 16) >> seen) return i + static_cast<std::size_t>(__builtin_ctz(mask));
        return n;
    }
#endif
    for (; i < n; ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == '"' || c == '\\') return i;
    }
    return n;
}

// The escape of a byte plain_run stops at; a \u form is written into `buf`.
std::string_view escape(unsigned char c, char (&buf)[6]) noexcept {
    switch (c) {
        case '"': return "\\\"";
        case '\\': return "\\\\";
        case '\t': return "\\t";
        case '\n': return "\\n";
        case '\r': return "\\r";
        default: {
            static constexpr char kHex[] = "0123456789abcdef";
            buf[0] = '\\', buf[1] = 'u', buf[2] = '0', buf[3] = '0', buf[4] = kHex[c >> 4], buf[5] = kHex[c & 0xF];
            return {buf, sizeof buf};
        }
    }
}

}  // namespace

void append_escaped(std::string& out, std::string_view s) {
    out.push_back('"');
    const char* p = s.data();
    const std::size_t n = s.size();
    std::size_t run = 0;  // start of the pending unescaped run
    for (std::size_t i = plain_run(p, 0, n); i < n; i = plain_run(p, run, n)) {
        out.append(p + run, i - run);
        run = i + 1;
        char buf[6];
        out.append(escape(static_cast<unsigned char>(p[i]), buf));
    }
    out.append(p + run, n - run);
    out.push_back('"');
}

namespace {

// The result document is written through a pointer into one block, grown
// (rarely) when a piece would not fit; `room` makes sure of that first.
// The block is the writer's own, or carved from an arena when one is given
// (a block outgrown there stays in the arena until it goes).
struct Out {
    std::unique_ptr<char[]> owned;
    Arena* arena;
    char* base;
    char* p;
    char* end;

    Out(std::size_t size, Arena* in) : arena(in) {
        base = get(size);
        p = base;
        end = p + size;
    }
    char* get(std::size_t size) {
        if (arena) return static_cast<char*>(arena->allocate(size, 1));
        owned = std::make_unique_for_overwrite<char[]>(size);
        return owned.get();
    }
    std::size_t size() const noexcept { return static_cast<std::size_t>(p - base); }
    void room(std::size_t n) {
        if (static_cast<std::size_t>(end - p) >= n) return;
        grow(n);
    }
    [[gnu::noinline]] void grow(std::size_t n) {
        const std::size_t at = size(), capacity = std::max(2 * static_cast<std::size_t>(end - base), at + n);
        std::unique_ptr<char[]> old = std::move(owned);
        char* bigger = get(capacity);
        std::memcpy(bigger, base, at);
        base = bigger;
        p = base + at;
        end = base + capacity;
    }
    // Pieces that fit in the room already made.
    void put(char c) noexcept { *p++ = c; }
    void put(std::string_view v) noexcept {
        if (!v.empty()) std::memcpy(p, v.data(), v.size());
        p += v.size();
    }
    void append(std::string_view v) {
        room(v.size());
        put(v);
    }
};

// s as a JSON string literal; most texts need no escape and go in one copy.
void write_escaped(Out& out, std::string_view s) {
    const char* p = s.data();
    const std::size_t n = s.size();
    out.room(n + 2);
    out.put('"');
    std::size_t i = plain_run(p, 0, n);
    if (i == n) {
        out.put(s);
        out.put('"');
        return;
    }
    // Six bytes at most for each byte left, and the closing quote.
    out.put(s.substr(0, i));
    out.room(6 * (n - i) + 1);
    std::size_t run = i;  // start of the pending unescaped run
    for (; i < n; i = plain_run(p, run, n)) {
        out.put(s.substr(run, i - run));
        run = i + 1;
        char buf[6];
        out.put(escape(static_cast<unsigned char>(p[i]), buf));
    }
    out.put(s.substr(run));
    out.put('"');
}

// "00" to "99", for writing numbers two digits at a time.
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> t{};
    for (int i = 0; i < 100; ++i) {
        t[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        t[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return t;
}();

// v in decimal, written in place from its last digit; the room for 20
// digits is made by the caller.
void put_uint(Out& out, std::uint64_t v) noexcept {
    std::size_t n = v < 10 ? 1 : v < 100 ? 2 : v < 1000 ? 3 : v < 10000 ? 4 : 5;
    for (std::uint64_t rest = v / 100000; rest != 0; rest /= 10) ++n;
    char* b = out.p + n;
    out.p = b;
    for (; v >= 100; v /= 100) {
        b -= 2;
        std::memcpy(b, &kDigitPairs[static_cast<std::size_t>(2 * (v % 100))], 2);
    }
    if (v >= 10) {
        b -= 2;
        std::memcpy(b, &kDigitPairs[static_cast<std::size_t>(2 * v)], 2);
    } else {
        *--b = static_cast<char>('0' + v);
    }
}

// A finding's fixed part before its path ({"id":..,"severity":..,"message":..,
// "path":) and the one after it (,"spec_ref":..,"line":) are the same for
// every finding of a rule: both are written once per result and copied from
// where they were first written. Keyed by the texts' addresses and sizes; a
// miss just writes the parts again.
struct FixedParts {
    // A view's bytes (its size and address) as kept in a slot: left
    // unwritten until the slot is used, unlike a string_view member.
    using View = unsigned char[sizeof(std::string_view)];
    struct Slot {
        alignas(16) View id;
        View message;
        View spec_ref;
        Severity severity;
        std::uint32_t before_len;
        std::uint32_t after_len;
        std::size_t before;  // offset of the written part before the path
        std::size_t after;   // and of the one after it
    };
    std::array<Slot, 128> slots;
    std::uint64_t used[2] = {0, 0};

    bool is_used(std::size_t j) const noexcept { return (used[j >> 6] >> (j & 63)) & 1; }
    static std::size_t place(const Issue& is) noexcept {
        const auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(is.id.data())) * 31 +
                         static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(is.message.data())) +
                         static_cast<std::uint64_t>(is.severity);
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 57);
    }
    bool holds(std::size_t j, const Issue& is) const noexcept {
        const Slot& k = slots[j];
        if (!is_used(j)) return false;
#if defined(__SSE2__)
        // Each view's size and address compared in one go.
        if constexpr (sizeof(std::string_view) == 16) {
            auto load = [](const void* v) { return _mm_loadu_si128(static_cast<const __m128i*>(v)); };
            const __m128i eq = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(load(k.id), load(&is.id)),
                                                           _mm_cmpeq_epi8(load(k.message), load(&is.message))),
                                             _mm_cmpeq_epi8(load(k.spec_ref), load(&is.spec_ref)));
            return _mm_movemask_epi8(eq) == 0xFFFF && k.severity == is.severity;
        }
#endif
        return std::memcmp(k.id, &is.id, sizeof(View)) == 0 && std::memcmp(k.message, &is.message, sizeof(View)) == 0 &&
               std::memcmp(k.spec_ref, &is.spec_ref, sizeof(View)) == 0 && k.severity == is.severity;
    }
    // The slot holding the parts of this finding's rule, if any. Two places
    // for each key, so that two rules meeting on one slot do not push each
    // other out.
    const Slot* find(const Issue& is) const noexcept {
        const std::size_t i = place(is);
        return holds(i, is) ? &slots[i] : holds(i ^ 1, is) ? &slots[i ^ 1] : nullptr;
    }
    void keep(const Issue& is, std::size_t before, std::size_t before_len, std::size_t after, std::size_t after_len) {
        // Parts too long for the slot's sizes are just written every time.
        if (before_len > UINT32_MAX || after_len > UINT32_MAX) return;
        const std::size_t i = place(is);
        const std::size_t to = is_used(i) && !is_used(i ^ 1) ? (i ^ 1) : i;
        Slot& k = slots[to];
        std::memcpy(k.id, &is.id, sizeof(View));
        std::memcpy(k.message, &is.message, sizeof(View));
        std::memcpy(k.spec_ref, &is.spec_ref, sizeof(View));
        k.severity = is.severity;
        k.before_len = static_cast<std::uint32_t>(before_len);
        k.after_len = static_cast<std::uint32_t>(after_len);
        k.before = before;
        k.after = after;
        used[to >> 6] |= std::uint64_t{1} << (to & 63);
    }
};

// A JSON string: copied as it is when it is known to need no escape.
[[gnu::always_inline]] inline void write_string(Out& out, std::string_view s, bool plain) {
    if (!plain) return write_escaped(out, s);
    out.room(s.size() + 2);
    out.put('"');
    out.put(s);
    out.put('"');
}

}  // namespace

namespace {

// Room for the fixed parts, the fields and a few escapes: the usual document
// is written without growing its block.
std::size_t expected_size(const ValidationResult& result) {
    std::size_t size = 160;
    for (const Issue& is : result.issues)
        size += 120 + is.id.size() + is.message.size() + is.spec_ref.size() + (is.path ? is.path->size() : 4);
    return size + size / 16;
}

// Where the last path was written, for a next finding at the same place.
struct LastPath {
    std::optional<std::string_view> path;
    std::size_t at = 0, len = 0;
};

// The bytes of a finding besides its id, message, spec_ref and path: keys,
// quotes, the severity, two numbers of at most ten digits and the comma.
constexpr std::size_t kFindingFrame = 128;

// One finding. With kRoomMade the caller has made room for all of it, and
// all its texts need no escape.
template <bool kRoomMade>
[[gnu::always_inline]] inline void write_finding(Out& out, const Issue& is, FixedParts& fixed, LastPath& last,
                                                 bool first) {
    auto room = [&](std::size_t n) {
        if constexpr (!kRoomMade) out.room(n);
    };
    auto text = [&](std::string_view s, bool plain) {
        if (kRoomMade || plain) {
            room(s.size() + 2);
            out.put('"');
            out.put(s);
            out.put('"');
        } else {
            write_escaped(out, s);
        }
    };
    // `len` bytes written earlier at offset `at`.
    auto copy = [&](std::size_t at, std::size_t len) {
        room(len);
        std::memcpy(out.p, out.base + at, len);
        out.p += len;
    };
    auto append = [&](std::string_view v) {
        room(v.size());
        out.put(v);
    };
    room(1);
    if (!first) out.put(',');
    const FixedParts::Slot* parts = fixed.find(is);
    const std::size_t before = out.size();
    if (parts) {
        copy(parts->before, parts->before_len);
    } else {
        append("{\"id\":");
        text(is.id, is.texts_plain);
        append(",\"severity\":\"");
        append(severity_word(is.severity));
        append("\",\"message\":");
        text(is.message, is.texts_plain);
        append(",\"path\":");
    }
    const std::size_t before_len = out.size() - before;
    if (!is.path) {
        append("null");
    } else if (last.path && last.path->data() == is.path->data() && last.path->size() == is.path->size()) {
        copy(last.at, last.len);
    } else {
        last.path = is.path;
        last.at = out.size();
        if (kRoomMade && is.path->size() >= 16) {
            // Paths are mostly a few dozen bytes: copied in blocks, the last
            // one ending with the path, rather than through a call.
            const char* from = is.path->data();
            const std::size_t n = is.path->size();
            char* to = out.p + 1;
            out.p[0] = '"';
#if defined(__SSE2__)
            const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + n - 16));
            for (std::size_t k = 0; k + 16 < n; k += 16)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k),
                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + n - 16), tail);
#else
            std::memcpy(to, from, n);
#endif
            to[n] = '"';
            out.p = to + n + 1;
        } else {
            text(*is.path, is.path_plain);
        }
        last.len = out.size() - last.at;
    }
    if (parts) {
        copy(parts->after, parts->after_len);
    } else {
        const std::size_t after = out.size();
        append(",\"spec_ref\":");
        text(is.spec_ref, is.texts_plain);
        append(",\"line\":");
        fixed.keep(is, before, before_len, after, out.size() - after);
    }
    // Two numbers of at most ten digits and what is between them.
    room(32);
    if (is.line) put_uint(out, *is.line);
    else out.put("null");
    out.put(",\"col\":");
    if (is.col) put_uint(out, *is.col);
    else out.put("null");
    out.put('}');
}

// Writes the document, its NUL included.
void write_document(Out& out, const ValidationResult& result) {
    out.put("{\"version\":");
    if (auto v = result.version.effective()) {
        write_string(out, version_text(*v), true);
    } else {
        out.append("null");
    }
    out.room(32);
    out.put(",\"issues\":[");
    FixedParts fixed;
    LastPath last;
    bool first = true;
    for (const Issue& is : result.issues) {
        // A finding whose texts need no escape takes at most this much: its
        // room is made once, and its pieces go in without further checks.
        if (is.texts_plain && (!is.path || is.path_plain)) {
            out.room(kFindingFrame + is.id.size() + is.message.size() + is.spec_ref.size() +
                     (is.path ? is.path->size() : 0));
            write_finding<true>(out, is, fixed, last, first);
        } else {
            write_finding<false>(out, is, fixed, last, first);
        }
        first = false;
    }
    out.room(160);
    out.put("],\"summary\":{\"errors\":");
    put_uint(out, result.errors);
    out.put(",\"warnings\":");
    put_uint(out, result.warnings);
    out.put(",\"infos\":");
    put_uint(out, result.infos);
    out.put(",\"valid\":");
    out.put(result.errors == 0 ? "true" : "false");
    if (result.truncated) out.put(",\"truncated\":true");
    out.put("}}");
    out.put('\0');
}

}  // namespace

JsonText write_json(const ValidationResult& result) {
    Out out(expected_size(result), nullptr);
    write_document(out, result);
    const std::size_t written = out.size() - 1;
    return {std::move(out.owned), written};
}

std::string_view write_json(const ValidationResult& result, Arena& into) {
    Out out(expected_size(result), &into);
    write_document(out, result);
    return {out.base, out.size() - 1};
}

std::string render_json(const ValidationResult& result) { return std::string(write_json(result).view()); }

}  // namespace adsieve
