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

// The fixed texts of findings (ids, messages, references) are the same few
// over and over: each is escaped once per result and copied from where it was
// first written. Keyed by the text's address; a miss just escapes again.
struct EscapedTexts {
    struct Slot {
        const char* data = nullptr;
        std::size_t size = 0;
        std::size_t at = 0;   // offset of the escaped copy in the output
        std::size_t len = 0;  // its length, quotes included
    };
    std::array<Slot, 64> slots{};

    void append(std::string& out, std::string_view s) {
        Slot& slot = slots[(reinterpret_cast<std::uintptr_t>(s.data()) >> 3) % slots.size()];
        if (slot.data == s.data() && slot.size == s.size() && s.data() != nullptr) {
            out.append(out, slot.at, slot.len);
            return;
        }
        const std::size_t at = out.size();
        append_escaped(out, s);
        slot = Slot{s.data(), s.size(), at, out.size() - at};
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
    EscapedTexts fixed;
    bool first = true;
    for (const Issue& is : result.issues) {
        if (!first) out.push_back(',');
        first = false;
        out.append("{\"id\":");
        fixed.append(out, is.id);
        out.append(",\"severity\":\"");
        out.append(severity_word(is.severity));
        out.append("\",\"message\":");
        fixed.append(out, is.message);
        out.append(",\"path\":");
        if (is.path) append_escaped(out, *is.path);
        else out.append("null");
        out.append(",\"spec_ref\":");
        fixed.append(out, is.spec_ref);
        out.append(",\"line\":");
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
