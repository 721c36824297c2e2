#include "json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
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
struct Out {
    std::unique_ptr<char[]> block;
    char* p;
    char* end;

    explicit Out(std::size_t size) : block(std::make_unique_for_overwrite<char[]>(size)) {
        p = block.get();
        end = p + size;
    }
    std::size_t size() const noexcept { return static_cast<std::size_t>(p - block.get()); }
    void room(std::size_t n) {
        if (static_cast<std::size_t>(end - p) >= n) return;
        const std::size_t at = size(), capacity = std::max(2 * static_cast<std::size_t>(end - block.get()), at + n);
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
        std::memcpy(bigger.get(), block.get(), at);
        block = std::move(bigger);
        p = block.get() + at;
        end = block.get() + capacity;
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

// v in decimal; the room for 20 digits is made by the caller.
void put_uint(Out& out, std::uint64_t v) noexcept {
    if (v < 10) {
        out.put(static_cast<char>('0' + v));
        return;
    }
    char buf[20];
    char* b = buf + sizeof buf;
    for (; v >= 10; v /= 10) *--b = static_cast<char>('0' + v % 10);
    *--b = static_cast<char>('0' + v);
    out.put(std::string_view(b, static_cast<std::size_t>(buf + sizeof buf - b)));
}

// A finding's fixed part before its path ({"id":..,"severity":..,"message":..,
// "path":) and the one after it (,"spec_ref":..,"line":) are the same for
// every finding of a rule: each is written once per result and copied from
// where it was first written. Keyed by the texts' addresses; a miss just
// writes the part again.
struct FixedParts {
    struct Slot {
        const char* a;
        const char* b;
        std::size_t a_size;
        std::size_t b_size;
        Severity severity;
        std::size_t at;   // offset of the written part in the output
        std::size_t len;  // its length
    };
    // Slots are read only once their bit is set, so they start unwritten.
    std::array<Slot, 128> slots;
    std::uint64_t used[2] = {0, 0};

    template <class Write>
    void append(Out& out, std::string_view a, std::string_view b, Severity s, Write&& write) {
        const auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(a.data())) * 31 +
                         static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(b.data())) +
                         static_cast<std::uint64_t>(s);
        // Two places for each key, so that two parts meeting on one slot do
        // not push each other out.
        const auto i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 57);
        auto is_used = [&](std::size_t j) { return (used[j >> 6] >> (j & 63)) & 1; };
        auto holds = [&](std::size_t j) {
            const Slot& k = slots[j];
            return is_used(j) && k.a == a.data() && k.b == b.data() && k.a_size == a.size() && k.b_size == b.size() &&
                   k.severity == s;
        };
        const std::size_t j = holds(i) ? i : holds(i ^ 1) ? (i ^ 1) : slots.size();
        if (j != slots.size()) {
            const Slot& k = slots[j];
            out.room(k.len);
            std::memcpy(out.p, out.block.get() + k.at, k.len);
            out.p += k.len;
            return;
        }
        const std::size_t at = out.size();
        write();
        const std::size_t to = is_used(i) && !is_used(i ^ 1) ? (i ^ 1) : i;
        slots[to] = Slot{a.data(), b.data(), a.size(), b.size(), s, at, out.size() - at};
        used[to >> 6] |= std::uint64_t{1} << (to & 63);
    }
};

}  // namespace

JsonText write_json(const ValidationResult& result) {
    // Sized once: the fixed parts, the fields and room for a few escapes.
    std::size_t size = 160;
    for (const Issue& is : result.issues)
        size += 120 + is.id.size() + is.message.size() + is.spec_ref.size() + (is.path ? is.path->size() : 4);
    Out out(size + size / 16);
    out.put("{\"version\":");
    if (auto v = result.version.effective()) {
        const std::string_view text = version_text(*v);
        out.room(text.size() + 2);
        out.put('"');
        out.put(text);
        out.put('"');
    } else {
        out.append("null");
    }
    out.room(32);
    out.put(",\"issues\":[");
    FixedParts fixed;
    bool first = true;
    for (const Issue& is : result.issues) {
        out.room(1);
        if (!first) out.put(',');
        first = false;
        fixed.append(out, is.id, is.message, is.severity, [&] {
            out.append("{\"id\":");
            write_escaped(out, is.id);
            out.append(",\"severity\":\"");
            out.append(severity_word(is.severity));
            out.append("\",\"message\":");
            write_escaped(out, is.message);
            out.append(",\"path\":");
        });
        if (is.path) write_escaped(out, *is.path);
        else out.append("null");
        fixed.append(out, is.spec_ref, {}, Severity::Off, [&] {
            out.append(",\"spec_ref\":");
            write_escaped(out, is.spec_ref);
            out.append(",\"line\":");
        });
        // Two numbers of at most ten digits and what is between them.
        out.room(32);
        if (is.line) put_uint(out, *is.line);
        else out.put("null");
        out.put(",\"col\":");
        if (is.col) put_uint(out, *is.col);
        else out.put("null");
        out.put('}');
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
    const std::size_t written = out.size() - 1;
    return {std::move(out.block), written};
}

std::string render_json(const ValidationResult& result) { return std::string(write_json(result).view()); }

}  // namespace adsieve
