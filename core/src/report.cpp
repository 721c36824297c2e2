#include "report.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "walk.h"

namespace adsieve {

namespace {
constexpr std::array<std::string_view, 4> kSeverityWords{"info", "warning", "error", "off"};
constexpr std::array<std::string_view, 13> kFamilyWords{
    "required", "schema", "structure", "security", "consistency", "deprecated", "ambiguous",
    "values",   "ctv",    "simid",     "macros",   "vmap",        "daast"};
}  // namespace

std::string_view severity_word(Severity s) noexcept { return kSeverityWords[static_cast<std::size_t>(s)]; }

std::optional<Severity> severity_from_word(std::string_view w) noexcept {
    for (std::size_t i = 0; i < kSeverityWords.size(); ++i)
        if (kSeverityWords[i] == w) return static_cast<Severity>(i);
    return std::nullopt;
}

std::string_view family_word(Family f) noexcept { return kFamilyWords[static_cast<std::size_t>(f)]; }

Severity ValidationContext::resolve(const Rule& rule) const {
    if (!rule_overrides || rule_overrides->empty()) return rule.severity;
    auto it = rule_overrides->find(rule.id);
    return it == rule_overrides->end() ? rule.severity : it->second;
}

namespace {

// The number of '/' in s, counting no further than `limit`: a deep path is
// not scanned to its end, so reporting along a deep chain stays linear.
std::size_t slashes_upto(std::string_view s, std::size_t limit) {
    std::size_t n = 0, i = 0;
    const char* p = s.data();
#if defined(__SSE2__)
    const __m128i slash = _mm_set1_epi8('/');
    auto count = [&](const char* at, unsigned skip) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        for (auto m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, slash))) >> skip; m; m &= m - 1) ++n;
    };
    for (; i + 16 <= s.size() && n < limit; i += 16) count(p + i, 0);
    if (i < s.size() && s.size() >= 16 && n < limit) {
        // The tail, as the last 16 bytes less those already counted.
        count(p + s.size() - 16, static_cast<unsigned>(16 - (s.size() - i)));
        i = s.size();
    }
#endif
    for (; i < s.size() && n < limit; ++i)
        if (p[i] == '/') ++n;
    return std::min(n, limit);
}

}  // namespace

std::string bounded_path(std::string_view head, std::string_view tail) {
    // Most paths are short enough to be kept whole.
    const std::size_t in_head = slashes_upto(head, kPathSegments + 1);
    if (in_head + slashes_upto(tail, kPathSegments + 1 - std::min(in_head, kPathSegments + 1)) <= kPathSegments) {
        std::string out;
        out.reserve(head.size() + tail.size());
        out.append(head);
        out.append(tail);
        return out;
    }
    const std::size_t size = head.size() + tail.size();
    auto at = [&](std::size_t i) { return i < head.size() ? head[i] : tail[i - head.size()]; };
    // The separator before segment kPathHead + 1, and whether there are more
    // than kPathSegments segments at all; both found from the front.
    std::size_t seen = 0, cut_front = size;
    bool long_path = false;
    for (std::size_t i = 0; i < size; ++i) {
        if (at(i) != '/') continue;
        if (seen == kPathHead) cut_front = i;
        if (++seen > kPathSegments) {
            long_path = true;
            break;
        }
    }
    std::string out;
    auto append = [&](std::size_t from, std::size_t to) {
        if (from < head.size()) out.append(head.substr(from, std::min(to, head.size()) - from));
        if (to > head.size()) {
            const std::size_t f = std::max(from, head.size()) - head.size();
            out.append(tail.substr(f, to - head.size() - f));
        }
    };
    if (!long_path) {
        out.reserve(size);
        append(0, size);
        return out;
    }
    // The separator before the last kPathTail segments, found from the back.
    std::size_t cut_back = size, found = 0;
    while (cut_back > 0 && found < kPathTail)
        if (at(--cut_back) == '/') ++found;
    append(0, cut_front);
    out.append("/...");
    append(cut_back, size);
    return out;
}

namespace {

std::size_t decimal_digits(std::size_t v) {
    std::size_t n = 1;
    for (; v >= 10; v /= 10) ++n;
    return n;
}

}  // namespace

std::size_t segment_size(const PathRef& r) {
    switch (r.kind) {
        case PathRef::Kind::Text: return r.text.size();
        case PathRef::Kind::Name: return 1 + r.text.size();
        case PathRef::Kind::NameIndex: return 3 + r.text.size() + decimal_digits(r.index);
        case PathRef::Kind::Attr: return 3 + r.text.size();
        case PathRef::Kind::Walk: return r.walk ? r.walk->tail().size() : 0;
    }
    return 0;
}

char* write_segment(const PathRef& r, char* end) {
    auto put = [&](std::string_view s) {
        end -= s.size();
        if (!s.empty()) std::memcpy(end, s.data(), s.size());
    };
    switch (r.kind) {
        case PathRef::Kind::Text: put(r.text); break;
        case PathRef::Kind::Name:
            put(r.text);
            *--end = '/';
            break;
        case PathRef::Kind::NameIndex: {
            char digits[24];
            auto res = std::to_chars(digits, digits + sizeof digits, r.index);
            *--end = ']';
            put(std::string_view(digits, static_cast<std::size_t>(res.ptr - digits)));
            *--end = '[';
            put(r.text);
            *--end = '/';
            break;
        }
        case PathRef::Kind::Attr:
            *--end = ']';
            put(r.text);
            *--end = '@';
            *--end = '[';
            break;
        case PathRef::Kind::Walk:
            if (r.walk) put(r.walk->tail());
            break;
    }
    return end;
}

std::size_t path_size(std::string_view prefix, const PathRef& path) {
    std::size_t size = prefix.size();
    for (const PathRef* p = &path; p; p = p->parent) size += segment_size(*p);
    return size;
}

void write_path(std::string_view prefix, const PathRef& path, char* out, std::size_t size) {
    char* end = out + size;
    for (const PathRef* p = &path; p; p = p->parent) end = write_segment(*p, end);
    if (!prefix.empty()) std::memcpy(out, prefix.data(), prefix.size());
}

std::string path_string(std::string_view prefix, const PathRef& path) {
    const std::size_t size = path_size(prefix, path);
    std::string out(size, '\0');
    write_path(prefix, path, out.data(), size);
    return out;
}

std::string bounded_path(std::string_view prefix, const PathRef& path) {
    std::string out = path_string(prefix, path);
    // A path of at most kPathSegments bytes cannot hold more separators.
    if (out.size() <= kPathSegments || slashes_upto(out, kPathSegments + 1) <= kPathSegments) return out;
    return bounded_path(out, std::string_view());
}

namespace {

// Shortens the path of `size` bytes at `s` where it lies, as bounded_path
// would, when it holds more than kPathSegments separators; its new size, or
// none when the short form would not fit in the same bytes.
std::optional<std::size_t> bound_in_place(char* s, std::size_t size) {
    // A path of at most kPathSegments bytes cannot hold more separators.
    if (size <= kPathSegments || slashes_upto({s, size}, kPathSegments + 1) <= kPathSegments) return size;
    std::size_t seen = 0, cut_front = 0;
    for (std::size_t i = 0; seen <= kPathHead; ++i)
        if (s[i] == '/' && seen++ == kPathHead) cut_front = i;
    std::size_t cut_back = size, found = 0;
    while (found < kPathTail)
        if (s[--cut_back] == '/') ++found;
    constexpr std::string_view kCut = "/...";
    if (cut_back < cut_front + kCut.size()) return std::nullopt;
    std::memmove(s + cut_front + kCut.size(), s + cut_back, size - cut_back);
    std::memcpy(s + cut_front, kCut.data(), kCut.size());
    return cut_front + kCut.size() + (size - cut_back);
}

}  // namespace

std::string_view Report::store_path(const PathArg& path) {
    // The path is written straight into the arena and shortened there; a
    // very long one is built aside and only its short form is kept.
    constexpr std::size_t kInPlace = 4096;
    const std::size_t size =
        path.ref ? path_size(path_prefix, *path.ref) : path_prefix.size() + path.text.size();
    if (size <= kInPlace) {
        char* out = static_cast<char*>(paths.allocate(size, 1));
        if (path.ref) {
            write_path(path_prefix, *path.ref, out, size);
        } else {
            if (!path_prefix.empty()) std::memcpy(out, path_prefix.data(), path_prefix.size());
            if (!path.text.empty()) std::memcpy(out + path_prefix.size(), path.text.data(), path.text.size());
        }
        if (auto kept = bound_in_place(out, size)) return {out, *kept};
        return paths.copy(bounded_path(std::string_view(out, size), std::string_view()));
    }
    return paths.copy(path.ref ? bounded_path(path_prefix, *path.ref) : bounded_path(path_prefix, path.text));
}

std::optional<std::string_view> Report::add(const Rule& r, std::string_view message, std::string_view spec_ref,
                                            Severity s, const PathArg& path, std::optional<Position> at) {
    switch (s) {
        case Severity::Off: return std::nullopt;
        case Severity::Error: ++errors; break;
        case Severity::Warning: ++warnings; break;
        case Severity::Info: ++infos; break;
    }
    if (ctx.max_issues != 0 && issues.size() >= ctx.max_issues) {
        truncated = true;
        return std::nullopt;
    }
    // Room for a document's usual few findings in one allocation.
    if (issues.empty()) issues.reserve(ctx.max_issues != 0 && ctx.max_issues < 16 ? ctx.max_issues : 16);
    std::optional<std::string_view> text;
    if (path.recorded) text = path.text;
    else if (path.ref || path.present || !path_prefix.empty()) text = store_path(path);
    Issue& is = issues.emplace_back();
    is.path = text;
    if (at) {
        is.line = at->line;
        is.col = at->col;
    }
    is.id = r.id;
    is.message = message;
    is.spec_ref = spec_ref;
    is.severity = s;
    return text;
}

}  // namespace adsieve
