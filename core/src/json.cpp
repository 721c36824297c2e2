#include "json.h"

#include <array>
#include <charconv>
#include <cstdint>
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

void append_uint(std::string& out, std::uint64_t v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    out.append(buf, end);
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
        auto c = static_cast<unsigned char>(p[i]);
        switch (c) {
            case '"': out.append("\\\""); break;
            case '\\': out.append("\\\\"); break;
            case '\t': out.append("\\t"); break;
            case '\n': out.append("\\n"); break;
            case '\r': out.append("\\r"); break;
            default: {
                static constexpr char kHex[] = "0123456789abcdef";
                const char buf[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
                out.append(buf, sizeof buf);
            }
        }
    }
    out.append(p + run, n - run);
    out.push_back('"');
}

namespace {

// A finding's fixed part before its path ({"id":..,"severity":..,"message":..,
// "path":) and the one after it (,"spec_ref":..,"line":) are the same for
// every finding of a rule: each is written once per result and copied from
// where it was first written. Keyed by the texts' addresses; a miss just
// writes the part again.
struct FixedParts {
    struct Slot {
        const char* a = nullptr;
        const char* b = nullptr;
        std::size_t a_size = 0;
        std::size_t b_size = 0;
        Severity severity = Severity::Off;
        std::size_t at = 0;   // offset of the written part in the output
        std::size_t len = 0;  // its length
    };
    std::array<Slot, 128> slots{};

    Slot& slot(std::string_view a, std::string_view b, Severity s) noexcept {
        const auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(a.data())) * 31 +
                         static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(b.data())) +
                         static_cast<std::uint64_t>(s);
        return slots[static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 57)];
    }
    template <class Write>
    void append(std::string& out, std::string_view a, std::string_view b, Severity s, Write&& write) {
        Slot& k = slot(a, b, s);
        if (k.len != 0 && k.a == a.data() && k.b == b.data() && k.a_size == a.size() && k.b_size == b.size() &&
            k.severity == s) {
            out.append(out, k.at, k.len);
            return;
        }
        const std::size_t at = out.size();
        write();
        k = Slot{a.data(), b.data(), a.size(), b.size(), s, at, out.size() - at};
    }
};

}  // namespace

std::string render_json(const ValidationResult& result) {
    // Sized once: the fixed parts, the fields and room for a few escapes.
    std::size_t size = 160;
    for (const Issue& is : result.issues)
        size += 120 + is.id.size() + is.message.size() + is.spec_ref.size() + (is.path ? is.path->size() : 4);
    std::string out;
    out.reserve(size + size / 16);
    out.append("{\"version\":");
    if (auto v = result.version.effective()) {
        out.push_back('"');
        out.append(version_text(*v));
        out.push_back('"');
    } else {
        out.append("null");
    }
    out.append(",\"issues\":[");
    FixedParts fixed;
    bool first = true;
    for (const Issue& is : result.issues) {
        if (!first) out.push_back(',');
        first = false;
        fixed.append(out, is.id, is.message, is.severity, [&] {
            out.append("{\"id\":");
            append_escaped(out, is.id);
            out.append(",\"severity\":\"");
            out.append(severity_word(is.severity));
            out.append("\",\"message\":");
            append_escaped(out, is.message);
            out.append(",\"path\":");
        });
        if (is.path) append_escaped(out, *is.path);
        else out.append("null");
        fixed.append(out, is.spec_ref, {}, Severity::Off, [&] {
            out.append(",\"spec_ref\":");
            append_escaped(out, is.spec_ref);
            out.append(",\"line\":");
        });
        if (is.line) append_uint(out, *is.line);
        else out.append("null");
        out.append(",\"col\":");
        if (is.col) append_uint(out, *is.col);
        else out.append("null");
        out.push_back('}');
    }
    out.append("],\"summary\":{\"errors\":");
    append_uint(out, result.errors);
    out.append(",\"warnings\":");
    append_uint(out, result.warnings);
    out.append(",\"infos\":");
    append_uint(out, result.infos);
    out.append(",\"valid\":");
    out.append(result.errors == 0 ? "true" : "false");
    if (result.truncated) out.append(",\"truncated\":true");
    out.append("}}");
    return out;
}

}  // namespace adsieve
