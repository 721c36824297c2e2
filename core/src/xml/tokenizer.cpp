#include "xml/tokenizer.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text.h"

namespace adsieve::xml {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The bytes [from, to) of `in`, for offsets the caller has already checked
// (from <= to <= in.size()); substr would test them again.
inline std::string_view slice(std::string_view in, std::size_t from, std::size_t to) noexcept {
    return {in.data() + from, to - from};
}

// Byte classes for the scans of names and attribute keys; kMarkup are the
// bytes that end a word of a plain tag besides blanks.
enum : unsigned char { kBlank = 1, kEquals = 2, kColon = 4, kMarkup = 8 };

constexpr std::array<unsigned char, 256> kByteClass = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned char c : {' ', '\t', '\n', '\r'}) t[c] = kBlank;
    t['='] = kEquals;
    t[':'] = kColon;
    for (unsigned char c : {'>', '/', '"', '\''}) t[c] = kMarkup;
    return t;
}();

inline unsigned char byte_class(char c) noexcept { return kByteClass[static_cast<unsigned char>(c)]; }
inline bool is_blank(char c) noexcept { return byte_class(c) == kBlank; }

// Scans a name from `from` up to the first byte of class `stop` (or n);
// blanks always stop it. `local` gets the offset just past the first ':'
// relative to `from`, or 0.
inline std::size_t scan_name(std::string_view s, std::size_t from, unsigned char stop, std::size_t& local) noexcept {
    std::size_t i = from;
    const std::size_t n = s.size();
    local = 0;
#if defined(__SSE2__)
    // Every byte that can end a word, and the colon, lies up to '/' or from
    // ':' to '>'. Those few are looked at one by one; name bytes (letters,
    // digits, anything beyond ASCII) are passed over sixteen at a time.
    const __m128i slash = _mm_set1_epi8('/'), colon = _mm_set1_epi8(':'), four = _mm_set1_epi8(4);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + i));
        const __m128i from_colon = _mm_sub_epi8(v, colon);
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(v, slash), v),
                         _mm_cmpeq_epi8(_mm_min_epu8(from_colon, four), from_colon))));
        for (; mask != 0; mask &= mask - 1) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            const unsigned char k = byte_class(s[at]);
            if (k & stop) return at;
            if (k == kColon && local == 0) local = at - from + 1;
        }
    }
#endif
    for (; i < n; ++i) {
        const unsigned char k = byte_class(s[i]);
        if (k & stop) break;
        if (k == kColon && local == 0) local = i - from + 1;
    }
    return i;
}

// Offset of the first `c` in [from, to), or npos.
inline std::size_t find_byte(std::string_view in, std::size_t from, std::size_t to, char c) noexcept {
    if (from >= to) return npos;
    const void* hit = std::memchr(in.data() + from, c, to - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - in.data()) : npos;
}

inline std::size_t find_byte(std::string_view in, std::size_t from, char c) noexcept {
    return find_byte(in, from, in.size(), c);
}

// Offset of the first `c` at or after `from`, or npos: find_byte for the
// short runs inside tags, where a library call costs more than the scan.
inline std::size_t find_short(std::string_view in, std::size_t from, char c) noexcept {
    std::size_t i = from;
    const std::size_t n = in.size();
#if defined(__SSE2__)
    const __m128i want = _mm_set1_epi8(c);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in.data() + i));
        if (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, want))))
            return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
#endif
    for (; i < n; ++i)
        if (in[i] == c) return i;
    return npos;
}

inline bool has_quote(std::string_view s) noexcept {
    for (char c : s)
        if (c == '"' || c == '\'') return true;
    return false;
}

// Offset of the first occurrence of the three-byte marker `m` at or after
// `from`, or npos.
std::size_t find3(std::string_view in, std::size_t from, const char (&m)[4]) noexcept {
    // Look for the last byte and check the two before it.
    std::size_t i = from + 2;
    while (i < in.size()) {
        std::size_t hit = find_byte(in, i, m[2]);
        if (hit == npos) return npos;
        if (in[hit - 1] == m[1] && in[hit - 2] == m[0]) return hit - 2;
        i = hit + 1;
    }
    return npos;
}

// Offset of the first "?>" whose '?' lies at or after `from`, or npos.
std::size_t find_pi_end(std::string_view in, std::size_t from) noexcept {
    std::size_t i = from + 1;
    while (i < in.size()) {
        std::size_t hit = find_byte(in, i, '>');
        if (hit == npos) return npos;
        if (in[hit - 1] == '?') return hit - 1;
        i = hit + 1;
    }
    return npos;
}

// Cached search: the first `c` at or after `from`. The cache holds the first
// hit at or after some earlier (smaller) search start, so it stays valid
// while it is not behind `from`.
inline std::size_t cached_find(std::string_view in, std::size_t& cache, std::size_t from, char c) noexcept {
    if (cache != npos && cache < from) cache = find_byte(in, from, c);
    return cache;
}

// Quote state at the end of a tag scan.
enum class Quote : std::uint8_t { kNone, kDouble, kSingle };

// Finds the '>' closing a tag whose content starts at `from`, honouring
// quotes. Returns npos and the quote state at the end when unclosed.
// Offset of the first '>', '"' or '\'' at or after `from`, or n.
inline std::size_t find_tag_stop(std::string_view in, std::size_t from) noexcept {
    std::size_t i = from;
    const std::size_t n = in.size();
#if defined(__SSE2__)
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i dq = _mm_set1_epi8('"');
    const __m128i sq = _mm_set1_epi8('\'');
    for (; i + 16 <= n; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in.data() + i));
        __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, gt), _mm_or_si128(_mm_cmpeq_epi8(v, dq), _mm_cmpeq_epi8(v, sq)));
        if (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)))
            return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
#endif
    for (; i < n; ++i) {
        char c = in[i];
        if (c == '>' || c == '"' || c == '\'') return i;
    }
    return n;
}

inline std::size_t find_tag_end(std::string_view in, std::size_t from, Quote& state) noexcept {
    std::size_t i = from;
    const std::size_t n = in.size();
    while (i < n) {
        i = find_tag_stop(in, i);
        if (i >= n) break;
        char c = in[i];
        if (c == '>') {
            state = Quote::kNone;
            return i;
        }
        if (c == '"' || c == '\'') {
            std::size_t close = find_byte(in, i + 1, c);
            if (close == npos) {
                state = c == '"' ? Quote::kDouble : Quote::kSingle;
                return npos;
            }
            i = close + 1;
            continue;
        }
        ++i;
    }
    state = Quote::kNone;
    return npos;
}

// Ends reading with an error at `pos`; returns true (an event was made).
bool set_error(Tokenizer& t, Event& e, std::size_t pos, ErrorKind kind) {
    t.pos = t.in.size();  // every later call reports the end
    e.kind = EventKind::kError;
    e.pos = pos;
    e.error = kind;
    return true;
}

bool starts_at(std::string_view in, std::size_t at, std::string_view s) noexcept {
    return at <= in.size() && in.substr(at, s.size()) == s;
}

constexpr std::size_t kSmallSeen = 16;

void reset_keys(SeenKeys& seen) {
    seen.small.clear();
    if (seen.use_big) {
        // A fresh set rather than clear(): clearing walks every bucket, and a
        // set that once held a huge tag's keys keeps its buckets, so each later
        // tag with many attributes would pay for the largest one seen.
        std::unordered_set<std::string_view>().swap(seen.big);
        seen.use_big = false;
    }
}

// Adds `key`; false when it was already there.
bool insert_key(SeenKeys& seen, std::string_view key) {
    if (seen.use_big) return seen.big.insert(key).second;
    for (std::string_view k : seen.small)
        if (k == key) return false;
    if (seen.small.size() < kSmallSeen) {
        seen.small.push_back(key);
        return true;
    }
    seen.big.insert(seen.small.begin(), seen.small.end());
    seen.use_big = true;
    return seen.big.insert(key).second;
}

inline bool is_quote(char c) noexcept { return c == '"' || c == '\''; }

// Reads a start or empty tag whose attributes all have the plain form
// key="value" or key='value', with blanks or nothing between them, and
// fills t.attributes. Returns false, with the event untouched, for anything
// else (a repeated key, many attributes, blanks around '=', stray bytes, no
// closing '>'): the general reading decides those.
bool read_plain_tag(Tokenizer& t, std::size_t lt, Event& e) {
    // Up to this many attributes, repeated keys are looked for among the
    // ones already read.
    constexpr std::size_t kMaxPlain = 16;
    const std::string_view in = t.in;
    const char* s = in.data();
    const std::size_t n = in.size();
    std::size_t local = 0;
    // The name: at least one byte, up to a blank, '>' or "/>".
    std::size_t i = scan_name(in, lt + 1, kBlank | kMarkup, local);
    if (i == lt + 1 || i >= n || is_quote(s[i])) return false;
    const std::size_t name_end = i;
    t.attributes.clear();
    // One bit for each key read, chosen by its length and last byte: keys
    // are compared only when their bit is already set.
    std::uint64_t keys_seen = 0;
    // Most tags end right after the name. Here i < n.
    while (s[i] != '>' && s[i] != '/') {
        while (i < n && is_blank(s[i])) ++i;
        if (i >= n) return false;
        if (s[i] == '>' || s[i] == '/') break;
        if (s[i] == '=' || is_quote(s[i]) || t.attributes.size() == kMaxPlain) return false;
        const std::size_t key_start = i;
        std::size_t key_local = 0;
        i = scan_name(in, i, kBlank | kEquals | kMarkup, key_local);
        if (i + 1 >= n || s[i] != '=' || !is_quote(s[i + 1])) return false;
        const std::size_t close = find_short(in, i + 2, s[i + 1]);
        if (close == npos) return false;
        const std::string_view key = slice(in, key_start, i);
        const std::uint64_t bit = std::uint64_t{1} << ((key.size() * 7 + static_cast<unsigned char>(s[i - 1])) & 63);
        if (keys_seen & bit) {
            for (const RawAttr& a : t.attributes)
                if (a.key == key) return false;
        }
        keys_seen |= bit;
        t.attributes.push_back(RawAttr{key, slice(in, i + 2, close), key_local});
        i = close + 1;
        if (i >= n) return false;
    }
    // At '>' or '/': an empty tag needs "/>" right away.
    const bool empty = s[i] == '/';
    if (empty && (i + 1 >= n || s[i + 1] != '>')) return false;
    const std::size_t gt = empty ? i + 1 : i;
    t.pos = gt + 1;
    e.kind = empty ? EventKind::kEmpty : EventKind::kStart;
    e.pos = lt;
    e.data = slice(in, lt + 1, name_end);
    e.local = local;
    e.attrs = slice(in, name_end, i);
    if (!empty) t.open.push_back(e.data);
    return true;
}

// An end tag `</name>` for the open element whose name holds no quote
// byte: nothing in it can be quoted, so the tag ends at the first '>', and
// the name needs no trimming. Returns false, with the event untouched, for
// anything else.
inline bool read_plain_end(Tokenizer& t, std::size_t lt, Event& e) {
    if (t.open.empty() || t.quoted_open != 0) return false;
    const std::string_view in = t.in;
    const std::string_view top = t.open.back();
    const std::size_t len = top.size();
    const std::size_t gt = lt + 2 + len;
    if (gt >= in.size() || in[gt] != '>') return false;
    const char* at = in.data() + lt + 2;
#if defined(__SSE2__)
    // The open name lies earlier in the input, so both 16-byte loads stay
    // inside it when the end tag's does.
    if (len < 16 && lt + 18 <= in.size()) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top.data()));
        const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
        if ((~same & ((1u << len) - 1)) != 0) return false;
    } else
#endif
        if (std::memcmp(at, top.data(), len) != 0)
        return false;
    t.pos = gt + 1;
    e.kind = EventKind::kEnd;
    e.pos = lt;
    e.data = std::string_view(at, len);
    t.open.pop_back();
    return true;
}

// Start, empty or end tag; `lt` is the '<'. The event is written into `e`,
// which is fresh.
void read_tag(Tokenizer& t, std::size_t lt, Event& e) {
    std::string_view in = t.in;
    Quote q = Quote::kNone;
    std::size_t gt = find_tag_end(in, lt + 1, q);
    if (gt == npos) {
        ErrorKind k = q == Quote::kDouble   ? ErrorKind::kDoubleQuoteNotClosed
                      : q == Quote::kSingle ? ErrorKind::kSingleQuoteNotClosed
                                            : ErrorKind::kTagNotClosed;
        set_error(t, e, lt, k);
        return;
    }
    t.pos = gt + 1;
    std::string_view content = in.substr(lt + 1, gt - lt - 1);
    e.pos = lt;
    if (in[lt + 1] == '/') {
        std::string_view name = content.substr(1);
        std::size_t end = name.size();
        while (end > 0 && is_blank(name[end - 1])) --end;
        if (end > 0) name = name.substr(0, end);  // an all-blank name stays as it is
        e.data = name;
        if (t.open.empty()) {
            set_error(t, e, lt, ErrorKind::kUnmatchedEndTag);
            return;
        }
        if (t.open.back() != name) {
            set_error(t, e, lt, ErrorKind::kEndTagMismatch);
            e.expected = t.open.back();
            return;
        }
        if (t.quoted_open != 0 && has_quote(name)) --t.quoted_open;
        t.open.pop_back();
        e.kind = EventKind::kEnd;
        return;
    }
    if (!content.empty() && content.back() == '/') {
        e.kind = EventKind::kEmpty;
        content.remove_suffix(1);
    } else {
        e.kind = EventKind::kStart;
    }
    const std::size_t name_end = scan_name(content, 0, kBlank, e.local);
    e.data = content.substr(0, name_end);
    e.attrs = content.substr(name_end);
    if (e.kind == EventKind::kStart) {
        t.open.push_back(e.data);
        if (has_quote(e.data)) ++t.quoted_open;
    }
    if (t.one_pass) {
        t.attributes.clear();
        AttrScan scan = scan_attributes(e.attrs, t.seen);
        RawAttr a;
        while (next_attribute(scan, t.seen, a)) t.attributes.push_back(a);
    }
}

// "<!" followed by '[': a CDATA section.
void read_cdata(Tokenizer& t, std::size_t lt, Event& e) {
    std::string_view in = t.in;
    std::size_t close = find3(in, lt + 2, "]]>");
    if (close == npos || close < lt + 9 || std::memcmp(in.data() + lt + 1, "![CDATA[", 8) != 0) {
        set_error(t, e, lt, ErrorKind::kCDataNotClosed);
        return;
    }
    t.pos = close + 3;
    e.kind = EventKind::kCData;
    e.pos = lt;
    e.data = in.substr(lt + 9, close - (lt + 9));
}

// "<!" followed by '-': a comment. Returns true when skipped, false when
// it is not closed.
bool skip_comment(Tokenizer& t, std::size_t lt) {
    std::string_view in = t.in;
    // The shortest comment is "<!---->", so the closing "--" starts at lt+4 at
    // the earliest.
    std::size_t close = find3(in, lt + 4, "-->");
    if (close == npos || !starts_at(in, lt, "<!--")) return false;
    t.pos = close + 3;
    return true;
}

// "<!" followed by 'D' or 'd': a document type declaration. Returns the
// offset of its closing '>', or npos when it is not closed.
std::size_t find_doctype_end(std::string_view in, std::size_t lt) {
    const std::size_t n = in.size();
    std::size_t i = lt + 1;
    // Before the internal subset.
    for (;;) {
        if (i >= n) return npos;
        char c = in[i];
        if (c == '>') return i;
        if (c == '"' || c == '\'') {
            std::size_t close = find_byte(in, i + 1, c);
            if (close == npos) return npos;
            i = close + 1;
            continue;
        }
        ++i;
        if (c == '[') break;
    }
    // Inside the internal subset.
    for (;;) {
        std::size_t j = i;
        while (j < n && in[j] != ']' && in[j] != '<') ++j;
        if (j >= n) return npos;
        if (in[j] == ']') {
            i = j + 1;
            break;
        }
        std::size_t l = j;
        std::size_t end;
        if (l + 1 < n && in[l + 1] == '?') {
            std::size_t q = find_pi_end(in, l + 2);
            end = q == npos ? npos : q + 1;
        } else if (starts_at(in, l + 1, "!--")) {
            std::size_t q = find3(in, l + 4, "-->");
            end = q == npos ? npos : q + 2;
        } else if (starts_at(in, l + 1, "!ELEMENT")) {
            end = find_byte(in, l + 9, '>');
        } else if (starts_at(in, l + 1, "!ENTITY") || starts_at(in, l + 1, "!ATTLIST") ||
                   starts_at(in, l + 1, "!NOTATION")) {
            Quote q = Quote::kNone;
            end = find_tag_end(in, l + 1, q);
        } else {
            if (n - (l + 1) < 9) return npos;
            end = find_byte(in, l + 1, '>');
        }
        if (end == npos) return npos;
        i = end + 1;
    }
    // After the internal subset.
    return find_byte(in, i, '>');
}

bool is_doctype_word(std::string_view in, std::size_t at) noexcept {
    static constexpr std::string_view kWord = "doctype";
    if (at + kWord.size() > in.size()) return false;
    for (std::size_t k = 0; k < kWord.size(); ++k) {
        char c = in[at + k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kWord[k]) return false;
    }
    return true;
}

// "<!" constructs. Returns false when the construct was skipped.
bool read_bang(Tokenizer& t, std::size_t lt, Event& e) {
    std::string_view in = t.in;
    if (lt + 2 >= in.size()) return set_error(t, e, lt, ErrorKind::kUnknownMarkup);
    char sel = in[lt + 2];
    if (sel == '[') {
        read_cdata(t, lt, e);
        return true;
    }
    if (sel == '-') {
        if (!skip_comment(t, lt)) return set_error(t, e, lt, ErrorKind::kCommentNotClosed);
        return false;
    }
    if (sel == 'D' || sel == 'd') {
        std::size_t gt = find_doctype_end(in, lt);
        if (gt == npos || gt < lt + 9 || !is_doctype_word(in, lt + 2))
            return set_error(t, e, lt, ErrorKind::kDoctypeNotClosed);
        bool named = false;
        for (std::size_t k = lt + 9; k < gt && !named; ++k) named = !is_blank(in[k]);
        if (!named) return set_error(t, e, gt, ErrorKind::kDoctypeWithoutName);
        t.pos = gt + 1;
        return false;
    }
    return set_error(t, e, lt, ErrorKind::kUnknownMarkup);
}

// "<?": a processing instruction or XML declaration. Returns false when
// skipped.
bool read_pi(Tokenizer& t, std::size_t lt, Event& e) {
    std::string_view in = t.in;
    std::size_t q = find_pi_end(in, lt + 1);
    if (q == npos) {
        bool decl = starts_at(in, lt + 1, "?xml") &&
                    (lt + 5 >= in.size() || is_blank(in[lt + 5]) || in[lt + 5] == '?');
        return set_error(t, e, lt, decl ? ErrorKind::kXmlDeclNotClosed : ErrorKind::kPiNotClosed);
    }
    if (q == lt + 1) return set_error(t, e, lt, ErrorKind::kPiNotClosed);  // "<?>"
    t.pos = q + 2;
    return false;
}

}  // namespace

// The reading of one event. parse.cpp compiles this file into its own unit
// and calls it in its loop, so that the call costs nothing there; its modes
// are passed as constants then (they are `t`'s own otherwise).
[[gnu::always_inline]] inline void read_event(Tokenizer& t, Event& e, bool one_pass, bool blank_text) {
    const std::string_view in = t.in;
    const std::size_t n = in.size();
    for (;;) {
        std::size_t pos = t.pos;
        if (pos >= n) {
            e.kind = EventKind::kEof;
            return;
        }
        // Markup is the common case, then texts, then references.
        if (in[pos] != '<') {
            if (in[pos] == '&') {
                // A reference ends at the first ';' unless '&' or '<' comes first.
                std::size_t lt = cached_find(in, t.next_lt, pos + 1, '<');
                std::size_t amp = cached_find(in, t.next_amp, pos + 1, '&');
                std::size_t limit = lt < amp ? lt : amp;
                if (limit == npos) limit = n;
                std::size_t semi = find_byte(in, pos + 1, limit, ';');
                if (semi == npos) {
                    set_error(t, e, pos, ErrorKind::kReferenceNotClosed);
                    return;
                }
                t.pos = semi + 1;
                e.kind = EventKind::kReference;
                e.pos = pos;
                e.data = slice(in, pos + 1, semi);
                return;
            }
            const std::size_t stop = blank_text ? pos : pos + text::leading_ascii_blanks(slice(in, pos, n));
            if (stop == pos || (stop < n && in[stop] != '<')) {
                // Texts between tags are short: the next '<' is looked for in
                // place rather than through a library call.
                if (t.next_lt != npos && t.next_lt < pos) t.next_lt = find_short(in, pos, '<');
                std::size_t lt = t.next_lt;
                std::size_t amp = cached_find(in, t.next_amp, pos, '&');
                std::size_t end = lt < amp ? lt : amp;
                if (end == npos) end = n;
                t.pos = end;
                e.kind = EventKind::kText;
                e.pos = pos;
                e.data = slice(in, pos, end);
                return;
            }
            // Blanks up to markup or the end make no text: passed over.
            if (stop >= n) {
                t.pos = n;
                e.kind = EventKind::kEof;
                return;
            }
            t.next_lt = pos = stop;
        }
        // Markup at `pos`.
        const std::size_t lt = pos;
        if (lt + 1 >= n) {
            set_error(t, e, lt, ErrorKind::kTagNotClosed);
            return;
        }
        const char sel = in[lt + 1];
        if (sel == '!') {
            if (read_bang(t, lt, e)) return;
        } else if (sel == '?') {
            if (read_pi(t, lt, e)) return;
        } else {
            if (!(one_pass && (sel == '/' ? read_plain_end(t, lt, e) : read_plain_tag(t, lt, e))))
                read_tag(t, lt, e);
            return;
        }
        // A comment, declaration or instruction was skipped; keep reading.
    }
}

Tokenizer::Tokenizer(std::string_view input) : in(input) {
    if (in.size() >= 3 && in.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
    next_lt = find_byte(in, pos, '<');
    next_amp = find_byte(in, pos, '&');
}

void next_event(Tokenizer& t, Event& e) { read_event(t, e, t.one_pass, t.blank_text); }

std::string describe(const Event& e) {
    switch (e.error) {
        case ErrorKind::kNone:
            return {};
        case ErrorKind::kTagNotClosed:
            return "syntax error: tag not closed: `>` not found before end of input";
        case ErrorKind::kDoubleQuoteNotClosed:
            return "syntax error: attribute value not closed: `\"` not found before end of input";
        case ErrorKind::kSingleQuoteNotClosed:
            return "syntax error: attribute value not closed: `'` not found before end of input";
        case ErrorKind::kCDataNotClosed:
            return "syntax error: CDATA not closed: `]]>` not found before end of input";
        case ErrorKind::kCommentNotClosed:
            return "syntax error: comment not closed: `-->` not found before end of input";
        case ErrorKind::kDoctypeNotClosed:
            return "syntax error: DOCTYPE not closed: `>` not found before end of input";
        case ErrorKind::kPiNotClosed:
            return "syntax error: processing instruction not closed: `?>` not found before end of input";
        case ErrorKind::kXmlDeclNotClosed:
            return "syntax error: XML declaration not closed: `?>` not found before end of input";
        case ErrorKind::kUnknownMarkup:
            return "syntax error: unknown or missed symbol in markup";
        case ErrorKind::kEndTagMismatch: {
            std::string s = "ill-formed document: expected `</";
            s.append(e.expected);
            s += ">`, but `</";
            s.append(e.data);
            s += ">` was found";
            return s;
        }
        case ErrorKind::kUnmatchedEndTag: {
            std::string s = "ill-formed document: close tag `</";
            s.append(e.data);
            s += ">` does not match any open tag";
            return s;
        }
        case ErrorKind::kReferenceNotClosed:
            return "ill-formed document: entity or character reference not closed: `;` not found before end of input";
        case ErrorKind::kDoctypeWithoutName:
            return "ill-formed document: `<!DOCTYPE>` declaration does not contain a name of a document type";
    }
    return {};
}

// ---- attributes ----------------------------------------------------------

AttrScan scan_attributes(std::string_view attrs, SeenKeys& seen) {
    reset_keys(seen);
    AttrScan a;
    a.s = attrs;
    return a;
}

bool next_attribute(AttrScan& a, SeenKeys& seen, RawAttr& out) {
    const std::string_view s = a.s;
    const std::size_t n = s.size();
    while (!a.done) {
        std::size_t p = a.p;
        if (a.skip) {
            while (p < n && !is_blank(s[p])) ++p;
            if (p >= n) break;
            a.skip = false;
        }
        while (p < n && is_blank(s[p])) ++p;
        if (p >= n) break;
        // The key is at least one byte, whatever it is.
        const std::size_t key_start = p;
        std::size_t rest_local = 0;
        std::size_t e = scan_name(s, p + 1, kBlank | kEquals, rest_local);
        const std::size_t local = byte_class(s[p]) == kColon ? 1 : rest_local != 0 ? rest_local + 1 : 0;
        if (e >= n) break;
        std::size_t eq;
        if (s[e] == '=') {
            eq = e;
        } else {
            std::size_t q = e;
            while (q < n && is_blank(s[q])) ++q;
            if (q >= n) break;
            if (s[q] != '=') {
                a.p = q;  // a bare word: dropped, not remembered
                continue;
            }
            eq = q;
        }
        std::string_view key = s.substr(key_start, e - key_start);
        if (!insert_key(seen, key)) {
            // A repeated key: scanning resumes at the first blank after '='.
            a.p = eq;
            a.skip = true;
            continue;
        }
        std::size_t v = eq + 1;
        while (v < n && is_blank(s[v])) ++v;
        if (v >= n) break;
        if (s[v] == '"' || s[v] == '\'') {
            std::size_t close = find_byte(s, v + 1, s[v]);
            if (close == npos) break;
            out.key = key;
            out.local = local;
            out.value = s.substr(v + 1, close - v - 1);
            a.p = close + 1;
            return true;
        }
        // Unquoted value: dropped; its key stays claimed.
        a.p = v;
        a.skip = true;
    }
    a.done = true;
    return false;
}

// ---- positions -----------------------------------------------------------

LineCol locate(LineCounter& lc, std::string_view in, std::size_t off) {
    if (off > in.size()) off = in.size();
    if (off < lc.offset) lc = LineCounter{};
    const std::size_t from = lc.offset, lines_before = lc.lines;
    const char* p = in.data();
    std::size_t i = from;
    // Offsets are asked for only where findings are, so the spans between
    // them can be long: line breaks are counted 64 bytes at a time, in
    // byte-wide counters summed before they can overflow.
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    auto at = [p](std::size_t k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)); };
    while (off - i >= 64) {
        const std::size_t runs = std::min<std::size_t>((off - i) / 64, 63);  // 252 blocks at most
        __m128i counts = _mm_setzero_si128();
        for (std::size_t r = 0; r < runs; ++r, i += 64) {
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(at(i), lf));
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(at(i + 16), lf));
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(at(i + 32), lf));
            counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(at(i + 48), lf));
        }
        const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
        lc.lines += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                    static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
    }
    for (; off - i >= 16; i += 16)
        for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(at(i), lf))); mask; mask &= mask - 1)
            ++lc.lines;
    if (i < off && off >= 16) {
        // The last bytes, as the 16 before `off` less those already counted.
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(at(off - 16), lf)));
        for (mask >>= 16 - (off - i); mask; mask &= mask - 1) ++lc.lines;
        i = off;
    }
#endif
    for (; i < off; ++i)
        if (p[i] == '\n') ++lc.lines;
    // The line starts after the last line break before `off`: when the span
    // had any, it is found from the back, which stops at it.
    if (lc.lines != lines_before) {
        std::size_t j = off;
#if defined(__SSE2__)
        for (; j >= from + 16; j -= 16) {
            if (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(at(j - 16), lf)))) {
                lc.line_start = j - 16 + static_cast<std::size_t>(31 - __builtin_clz(mask)) + 1;
                j = from;
                break;
            }
        }
#endif
        for (; j > from; --j)
            if (p[j - 1] == '\n') {
                lc.line_start = j;
                break;
            }
    }
    lc.offset = off;
    return LineCol{static_cast<std::uint32_t>(lc.lines + 1), static_cast<std::uint32_t>(off - lc.line_start + 1)};
}

}  // namespace adsieve::xml
