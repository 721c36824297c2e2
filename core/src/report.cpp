#include "report.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <functional>
#include <memory>

#include "walk.h"
#include "xml/tokenizer.h"

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

Severity ValidationContext::overridden(const Rule& rule) const {
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

// One segment as written out: its length, and its text written so that it
// ends at `end` (the start is returned). A Walk segment is the walk's whole
// path.
inline std::size_t segment_size(const PathRef& r) {
    switch (r.kind) {
        case PathRef::Kind::Text: return r.text.size();
        case PathRef::Kind::Name: return 1 + r.text.size();
        case PathRef::Kind::NameIndex: return 3 + r.text.size() + decimal_digits(r.index);
        case PathRef::Kind::Attr: return 3 + r.text.size();
        case PathRef::Kind::Walk: return r.walk ? r.walk->text().size() : 0;
    }
    return 0;
}

inline char* write_segment(const PathRef& r, char* end) {
    auto put = [&](std::string_view s) {
        end -= s.size();
        copy_short(end, s.data(), s.size());
    };
    switch (r.kind) {
        case PathRef::Kind::Text: put(r.text); break;
        case PathRef::Kind::Name:
            put(r.text);
            *--end = '/';
            break;
        case PathRef::Kind::NameIndex: {
            *--end = ']';
            std::size_t v = r.index;
            do *--end = static_cast<char>('0' + v % 10);
            while ((v /= 10) != 0);
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
            if (r.walk) put(r.walk->text());
            break;
    }
    return end;
}

// The segment before r in its chain: a walk's text already holds the path the
// walk started from.
inline const PathRef* above(const PathRef& r) { return r.kind == PathRef::Kind::Walk ? nullptr : r.parent; }

}  // namespace

std::size_t path_size(std::string_view prefix, const PathRef& path) {
    std::size_t size = prefix.size();
    for (const PathRef* p = &path; p; p = above(*p)) size += segment_size(*p);
    return size;
}

void write_path(std::string_view prefix, const PathRef& path, char* out, std::size_t size) {
    char* end = out + size;
    for (const PathRef* p = &path; p; p = above(*p)) end = write_segment(*p, end);
    if (!prefix.empty()) std::memcpy(out, prefix.data(), prefix.size());
}

// A walk's path, written out when a finding asks for it.
void WalkPath::build() const {
    if (!base_built_) {
        // The start node's path, from the chain the walk was given.
        const std::size_t size = path_size({}, *ref_.parent);
        write_path({}, *ref_.parent, reserve(size), size);
        base_len_ = size;
        base_built_ = true;
        if (!frames_.empty()) frames_[0].path_len = base_len_;
    }
    current_ = true;
    if (!visiting_) {
        len_ = base_len_;
        return;
    }
    // The open ancestors' paths first, each from its parent's.
    for (; built_ < frames_.size(); ++built_) {
        len_ = frames_[built_ - 1].path_len;
        append(*frames_[built_].node, frames_[built_].index);
        frames_[built_].path_len = len_;
    }
    len_ = frames_.back().path_len;
    append(*visiting_, visiting_index_);
}

[[gnu::always_inline]] inline void WalkPath::append(const Node& child, std::size_t k) const {
    const std::string_view name = child.name();
    char* p = reserve(name.size() + 24);
    *p++ = '/';
    copy_short(p, name.data(), name.size());
    p += name.size();
    if (seg_ == Segment::NameIndex) {
        *p++ = '[';
        if (k < 10) {
            *p++ = static_cast<char>('0' + k);
        } else {
            char digits[20];
            char* d = digits + sizeof digits;
            for (; k != 0; k /= 10) *--d = static_cast<char>('0' + k % 10);
            const auto n = static_cast<std::size_t>(digits + sizeof digits - d);
            std::memcpy(p, d, n);
            p += n;
        }
        *p++ = ']';
    }
    len_ = static_cast<std::size_t>(p - text_);
}

char* WalkPath::reserve(std::size_t n) const {
    if (cap_ - len_ >= n) [[likely]]
        return text_ + len_;
    return grow(n);
}

char* WalkPath::grow(std::size_t n) const {
    const std::size_t cap = std::max({2 * cap_, len_ + n, std::size_t{256}});
    auto bigger = std::make_unique_for_overwrite<char[]>(cap);
    if (len_ != 0) std::memcpy(bigger.get(), text_, len_);
    heap_ = std::move(bigger);
    text_ = heap_.get();
    cap_ = cap;
    return text_ + len_;
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

// What is learnt of a path in one pass over it: its separators, and whether
// it holds a byte that the JSON result has to escape (a control byte, '"' or
// '\\').
struct PathScan {
    std::size_t slashes = 0;
    bool plain = true;
};

#if defined(__SSE2__)
// Read 16 bytes from kTailMask + k (0 < k < 16): the last k bytes of a block
// are kept, the others masked off.
alignas(16) constexpr unsigned char kTailMask[32] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
#endif

// The scan of the n bytes at `from`; with kCopy, they are copied to `to` as
// they are read (one pass over them instead of two).
template <bool kCopy>
PathScan scan_blocks(char* to, const char* from, std::size_t n) {
    PathScan r;
    std::size_t i = 0;
#if defined(__SSE2__)
    if (n >= 16) {
        const __m128i slash = _mm_set1_epi8('/');
        const __m128i quote = _mm_set1_epi8('"');
        const __m128i backslash = _mm_set1_epi8('\\');
        const __m128i control = _mm_set1_epi8(0x1F);
        const __m128i zero = _mm_setzero_si128();
        // Separators are counted per byte lane (a lane takes 255 at most, so
        // the lanes are summed every 127 blocks); escapes are or-ed together.
        __m128i count = zero, escapes = zero;
        auto look = [&](const __m128i v, const __m128i keep) {
            const __m128i low = _mm_cmpeq_epi8(_mm_max_epu8(v, control), control);
            const __m128i hit = _mm_or_si128(low, _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
            escapes = _mm_or_si128(escapes, _mm_and_si128(hit, keep));
            count = _mm_sub_epi8(count, _mm_and_si128(_mm_cmpeq_epi8(v, slash), keep));
        };
        auto sum = [&] {
            const __m128i halves = _mm_sad_epu8(count, zero);
            r.slashes += static_cast<std::size_t>(_mm_cvtsi128_si32(halves)) +
                         static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(halves, 8)));
            count = zero;
        };
        const __m128i all = _mm_cmpeq_epi8(zero, zero);
        // Runs of at most 127 blocks, so that the tail block still fits in
        // the lanes: one run, summed once at the end, for most paths.
        while (n - i >= 16) {
            const std::size_t stop = i + std::min<std::size_t>((n - i) / 16, 127) * 16;
            for (; i < stop; i += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
                if constexpr (kCopy) _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), v);
                look(v, all);
            }
            if (n - i >= 16) sum();
        }
        if (i < n) {
            // The tail, as the last 16 bytes less those already seen.
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + n - 16));
            if constexpr (kCopy) _mm_storeu_si128(reinterpret_cast<__m128i*>(to + n - 16), v);
            look(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kTailMask + (n - i))));
            i = n;
        }
        sum();
        r.plain = _mm_movemask_epi8(escapes) == 0;
        return r;
    }
#endif
    if constexpr (kCopy)
        if (n != 0) std::memcpy(to, from, n);
    for (; i < n; ++i) {
        const auto c = static_cast<unsigned char>(from[i]);
        r.slashes += c == '/';
        if (c < 0x20 || c == '"' || c == '\\') r.plain = false;
    }
    return r;
}

PathScan scan_path(const char* s, std::size_t n) { return scan_blocks<false>(nullptr, s, n); }

// Shortens the path of `size` bytes at `s` where it lies, as bounded_path
// would, when it holds more than kPathSegments separators; its new size, or
// none when the short form would not fit in the same bytes.
std::optional<std::size_t> bound_in_place(char* s, std::size_t size, std::size_t slashes) {
    if (slashes <= kPathSegments) return size;
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

namespace {

// scan_path of n bytes copied from `from` to `to`, as they are copied.
PathScan copy_scanned(char* to, const char* from, std::size_t n) { return scan_blocks<true>(to, from, n); }

}  // namespace

std::string_view Report::store_path(const PathArg& path, bool& plain) {
    // The path is written straight into the arena and shortened there; a
    // very long one is built aside and only its short form is kept.
    constexpr std::size_t kInPlace = 4096;
    plain = false;
    // The `size` bytes at `out`, in the arena, as kept: shortened where they
    // lie when they can be.
    auto kept_as = [&](char* out, std::size_t size, const PathScan& scan) -> std::string_view {
        if (auto kept = bound_in_place(out, size, scan.slashes)) {
            plain = scan.plain;
            return {out, *kept};
        }
        return paths.copy(bounded_path(std::string_view(out, size), std::string_view()));
    };
    // `size` bytes from `from`, scanned as they are copied into the arena.
    auto keep = [&](const char* from, std::size_t size) {
        char* out = static_cast<char*>(paths.allocate(size, 1));
        return kept_as(out, size, copy_scanned(out, from, size));
    };
    if (!path.ref) {
        const std::size_t size = path_prefix.size() + path.text.size();
        if (size > kInPlace) return paths.copy(bounded_path(path_prefix, path.text));
        char* out = static_cast<char*>(paths.allocate(size, 1));
        if (!path_prefix.empty()) std::memcpy(out, path_prefix.data(), path_prefix.size());
        if (!path.text.empty()) std::memcpy(out + path_prefix.size(), path.text.data(), path.text.size());
        return kept_as(out, size, scan_path(out, size));
    }
    if (path.ref->kind == PathRef::Kind::Walk && path.ref->walk && path_prefix.empty()) {
        // The usual chain, a walk's node itself, is one text.
        const std::string_view whole = path.ref->walk->text();
        if (whole.size() <= kInPlace) return keep(whole.data(), whole.size());
    } else {
        // Another chain is written from its end, in one pass, into a block
        // on the stack; one too long for the block is measured first and
        // written in place.
        char block[512];
        char* at = block + sizeof block;
        const PathRef* r = path.ref;
        for (; r; r = above(*r)) {
            const std::size_t room = static_cast<std::size_t>(at - block);
            if (r->kind == PathRef::Kind::Walk ? segment_size(*r) > room : r->text.size() + 24 > room) break;
            at = write_segment(*r, at);
        }
        if (!r && path_prefix.size() <= static_cast<std::size_t>(at - block)) {
            at -= path_prefix.size();
            if (!path_prefix.empty()) std::memcpy(at, path_prefix.data(), path_prefix.size());
            return keep(at, static_cast<std::size_t>(block + sizeof block - at));
        }
    }
    const std::size_t size = path_size(path_prefix, *path.ref);
    if (size > kInPlace) return paths.copy(bounded_path(path_prefix, *path.ref));
    char* out = static_cast<char*>(paths.allocate(size, 1));
    write_path(path_prefix, *path.ref, out, size);
    return kept_as(out, size, scan_path(out, size));
}

std::optional<std::string_view> Report::add(const Rule& r, std::string_view message, std::string_view spec_ref,
                                            bool plain, Severity s, const PathArg& path, const Node* at) {
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
    // The first finding takes the room carved for the findings.
    if (issues.empty()) issues.reserve(issues.get_allocator().room);
    // The path as a plain view and a flag: an optional built here and read
    // back whole would stall on its one-byte flag.
    std::string_view text;
    bool has_text = true, path_plain = false;
    if (path.recorded) text = path.text;
    else if (path.ref || path.present || !path_prefix.empty()) text = store_path(path, path_plain);
    else has_text = false;
    // Made where it is kept: a finding built aside and then copied is read
    // back in wide words from the narrow stores that made it, which the
    // processor cannot forward.
    issues.emplace_back(has_text, text, r.id, message, spec_ref, s, plain, path_plain, at);
    if (at) {
        ++placed_;
        out_of_order_ |= std::less<const Node*>{}(at, last_at_);
        last_at_ = at;
    }
    if (!has_text) return std::nullopt;
    return text;
}

void Report::finish(std::string_view text) {
    // Elements lie in document order, so findings taken by element are taken
    // by offset: one count of line breaks up to the last of them. Most
    // documents report in that order already; the others are sorted aside.
    // Elements not read from the text (a stand-in root) are at line 0,
    // column 0.
    const std::less<const Node*> before;
    const bool in_order = !out_of_order_;
    const std::size_t placed = placed_;
    xml::LineCounter lines;
    xml::LineCol pos{0, 0};
    const Node* last = nullptr;
    auto resolve = [&](Issue& is) {
        if (is.at != last) {
            last = is.at;
            const auto off = tag_offset(text, *is.at);
            pos = off ? xml::locate(lines, text, *off) : xml::LineCol{0, 0};
        }
        is.line = pos.line;
        is.col = pos.col;
    };
    if (in_order) {
        for (Issue& is : issues)
            if (is.at) resolve(is);
        return;
    }
    // Most documents that report out of order report a few dozen findings:
    // their list is sorted on the stack.
    constexpr std::size_t kOnStack = 128;
    std::array<Issue*, kOnStack> small;
    std::unique_ptr<Issue*[]> large;
    Issue** pending = small.data();
    if (placed > kOnStack) {
        large = std::make_unique_for_overwrite<Issue*[]>(placed);
        pending = large.get();
    }
    Issue** end = pending;
    for (Issue& is : issues)
        if (is.at) *end++ = &is;
    std::sort(pending, end, [&](const Issue* a, const Issue* b) { return before(a->at, b->at); });
    for (Issue** p = pending; p != end; ++p) resolve(**p);
}

void Report::stream(std::uint8_t s) {
    if (!runs_.empty() && runs_.back().begin == issues.size()) {
        runs_.back().stream = s;  // the last run is still empty
        return;
    }
    runs_.push_back({s, issues.size()});
}

void Report::merge_streams() {
    auto by_stream = [](const Run& a, const Run& b) { return a.stream < b.stream; };
    if (!std::is_sorted(runs_.begin(), runs_.end(), by_stream)) {
        struct Span {
            std::uint8_t stream;
            std::size_t begin, end;
        };
        std::vector<Span> spans;
        spans.reserve(runs_.size());
        for (std::size_t k = 0; k < runs_.size(); ++k)
            spans.push_back({runs_[k].stream, runs_[k].begin, k + 1 < runs_.size() ? runs_[k + 1].begin : issues.size()});
        std::stable_sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.stream < b.stream; });
        // Findings carry their element until positions are resolved, so
        // they can move as they are.
        Issues ordered;
        ordered.reserve(issues.size());
        ordered.insert(ordered.end(), issues.begin(), issues.begin() + runs_.front().begin);
        for (const Span& sp : spans) ordered.insert(ordered.end(), issues.begin() + sp.begin, issues.begin() + sp.end);
        issues = std::move(ordered);
        out_of_order_ = true;  // elements need not be in order any more
    }
    runs_.clear();
}

}  // namespace adsieve
