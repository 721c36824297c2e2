// The basic URL parser reduced to its verdict: the parser's states are walked
// in order, but nothing is serialised. Only the scheme and the authority can
// make parsing fail; paths, queries, fragments and opaque paths never do, so
// the text after the authority is not examined at all.
#include "url/url.h"

#include <unicode/uidna.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace adsieve::url {

namespace {

constexpr std::array<std::string_view, 5> kSpecialSchemes = {"http", "https", "ws", "wss", "ftp"};

// Code points that may not appear in any host.
constexpr std::string_view kForbiddenHostChars{"\0\t\n\r #/:<>?@[\\]^|", 17};

constexpr std::array<bool, 256> make_forbidden_host_table() {
    std::array<bool, 256> t{};
    for (char c : kForbiddenHostChars) t[static_cast<unsigned char>(c)] = true;
    return t;
}

// Domains additionally exclude C0 controls, "%" and DEL.
constexpr std::array<bool, 256> make_forbidden_domain_table() {
    std::array<bool, 256> t = make_forbidden_host_table();
    for (int c = 0; c < 0x20; ++c) t[c] = true;
    t['%'] = true;
    t[0x7F] = true;
    return t;
}

constexpr std::array<bool, 256> kForbiddenHost = make_forbidden_host_table();
constexpr std::array<bool, 256> kForbiddenDomain = make_forbidden_domain_table();

// Classes of bytes met while looking for the end of an authority.
constexpr std::uint8_t kEndsAuthority = 1;         // "/", "?" and "#"
constexpr std::uint8_t kEndsSpecialAuthority = 2;  // those and "\\"
constexpr std::uint8_t kAtSign = 4;

constexpr std::array<std::uint8_t, 256> make_authority_class_table() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned char c : {'/', '?', '#'}) t[c] = kEndsAuthority | kEndsSpecialAuthority;
    t['\\'] = kEndsSpecialAuthority;
    t['@'] = kAtSign;
    return t;
}

constexpr std::array<std::uint8_t, 256> kAuthorityClass = make_authority_class_table();

// UTS #46 errors that the URL parser does not treat as failure: hyphen
// placement (CheckHyphens off) and DNS lengths (VerifyDnsLength off).
constexpr uint32_t kIgnoredIdnaErrors = UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG |
                                        UIDNA_ERROR_DOMAIN_NAME_TOO_LONG | UIDNA_ERROR_LEADING_HYPHEN |
                                        UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;

// Hosts that need the IDNA library and are longer than this (16 MiB) are
// rejected: its lengths are 32-bit and mappings can expand text many times over.
constexpr std::size_t kMaxIdnaInput = std::size_t{1} << 24;

constexpr bool is_alpha(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr char lower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

constexpr int hex_value(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

constexpr bool is_scheme_char(char c) noexcept {
    return is_alpha(c) || is_digit(c) || c == '+' || c == '-' || c == '.';
}

constexpr bool is_tab_or_newline(char c) noexcept { return c == '\t' || c == '\n' || c == '\r'; }

// Classes of bytes for finding "scheme:": letters may start a scheme, letters,
// digits, "+", "-" and "." continue it, and tabs and newlines are dropped
// wherever they are.
constexpr std::uint8_t kSchemeFirst = 1, kSchemeNext = 2, kSchemeDropped = 4;

constexpr std::array<std::uint8_t, 256> make_scheme_class_table() {
    std::array<std::uint8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        if (is_alpha(char(c))) t[c] = kSchemeFirst | kSchemeNext;
        else if (is_scheme_char(char(c))) t[c] = kSchemeNext;
        else if (is_tab_or_newline(char(c))) t[c] = kSchemeDropped;
    }
    return t;
}

constexpr std::array<std::uint8_t, 256> kSchemeClass = make_scheme_class_table();

bool iequals(std::string_view a, std::string_view lower_b) noexcept {
    if (a.size() != lower_b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower_b[i]) return false;
    return true;
}

const UIDNA* uts46() {
    static const UIDNA* const instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        const UIDNA* idna = uidna_openUTS46(
            UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ | UIDNA_NONTRANSITIONAL_TO_ASCII | UIDNA_NONTRANSITIONAL_TO_UNICODE,
            &status);
        // Without the IDNA tables no host can be judged: an internal failure.
        if (U_FAILURE(status) || idna == nullptr) std::abort();
        return idna;
    }();
    return instance;
}

// The IPv4 number parser; `value` saturates just above 2^32.
bool parse_ipv4_number(std::string_view s, uint64_t& value) noexcept {
    if (s.empty()) return false;
    unsigned radix = 10;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        radix = 16;
    } else if (s.size() >= 2 && s[0] == '0') {
        s.remove_prefix(1);
        radix = 8;
    }
    uint64_t v = 0;
    for (char c : s) {
        int d = hex_value(c);
        if (d < 0 || unsigned(d) >= radix) return false;
        v = v * radix + unsigned(d);
        if (v > 0xFFFFFFFFull) v = 0x100000000ull;
    }
    value = v;
    return true;
}

// Whether an ASCII domain's last label (ignoring one trailing dot) is a number.
bool ends_in_number(std::string_view domain) noexcept {
    if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
    std::size_t dot = domain.rfind('.');
    std::string_view last = dot == std::string_view::npos ? domain : domain.substr(dot + 1);
    if (last.empty()) return false;
    bool all_digits = true;
    for (char c : last) all_digits = all_digits && is_digit(c);
    if (all_digits) return true;
    uint64_t ignored = 0;
    return parse_ipv4_number(last, ignored);
}

bool parse_ipv4(std::string_view domain) noexcept {
    if (domain.size() > 1 && domain.back() == '.') domain.remove_suffix(1);
    uint64_t numbers[4] = {};
    std::size_t count = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = domain.find('.', start);
        std::string_view part =
            domain.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (count == 4) return false;
        if (!parse_ipv4_number(part, numbers[count])) return false;
        ++count;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    for (std::size_t i = 0; i + 1 < count; ++i)
        if (numbers[i] > 255) return false;
    return numbers[count - 1] < (uint64_t{1} << (8 * (5 - count)));
}

bool parse_ipv6(std::string_view s) noexcept {
    std::size_t n = s.size();
    std::size_t p = 0;
    int piece = 0;
    bool compressed = false;
    if (p < n && s[p] == ':') {
        if (p + 1 >= n || s[p + 1] != ':') return false;
        p += 2;
        ++piece;
        compressed = true;
    }
    while (p < n) {
        if (piece == 8) return false;
        if (s[p] == ':') {
            if (compressed) return false;
            ++p;
            ++piece;
            compressed = true;
            continue;
        }
        std::size_t length = 0;
        while (length < 4 && p < n && hex_value(s[p]) >= 0) {
            ++p;
            ++length;
        }
        if (p < n && s[p] == '.') {
            if (length == 0) return false;
            p -= length;
            if (piece > 6) return false;
            int numbers_seen = 0;
            while (p < n) {
                if (numbers_seen > 0) {
                    if (s[p] == '.' && numbers_seen < 4)
                        ++p;
                    else
                        return false;
                }
                if (p >= n || !is_digit(s[p])) return false;
                int value = -1;
                while (p < n && is_digit(s[p])) {
                    int d = s[p] - '0';
                    if (value < 0)
                        value = d;
                    else if (value == 0)
                        return false;
                    else
                        value = value * 10 + d;
                    if (value > 255) return false;
                    ++p;
                }
                ++numbers_seen;
                if (numbers_seen == 2 || numbers_seen == 4) ++piece;
            }
            if (numbers_seen != 4) return false;
            break;
        }
        if (p < n && s[p] == ':') {
            ++p;
            if (p >= n) return false;
        } else if (p < n) {
            return false;
        }
        ++piece;
    }
    return compressed || piece == 8;
}

// Length of a label separator (".", or a character that maps to it) at d[i], or 0.
std::size_t label_separator_at(std::string_view d, std::size_t i) noexcept {
    if (d[i] == '.') return 1;
    if (i + 3 > d.size()) return 0;
    std::string_view three = d.substr(i, 3);
    // U+3002 ideographic, U+FF0E fullwidth and U+FF61 halfwidth ideographic full stops.
    return three == "\xE3\x80\x82" || three == "\xEF\xBC\x8E" || three == "\xEF\xBD\xA1" ? 3 : 0;
}

// An ASCII label "xn--X-" with X not empty: Punycode with no encoded part.
bool is_ascii_ace_of_ascii(std::string_view label) noexcept {
    if (label.size() <= 5 || label.back() != '-') return false;
    if (lower(label[0]) != 'x' || lower(label[1]) != 'n' || label[2] != '-' || label[3] != '-') return false;
    for (char c : label)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Whether a label begins with "xn--" (any case).
bool has_xn_label(std::string_view d) noexcept {
    for (std::size_t i = 0; i + 4 <= d.size(); ++i) {
        if (lower(d[i]) != 'x' || lower(d[i + 1]) != 'n' || d[i + 2] != '-' || d[i + 3] != '-') continue;
        if (i == 0 || d[i - 1] == '.' || (i >= 3 && label_separator_at(d, i - 3) == 3)) return true;
    }
    return false;
}

// The domain-to-ASCII step and what follows it, on the percent-decoded host.
// The IDNA library's ToUnicode processing runs the same mapping, Punycode
// decoding and validity checks as its ToASCII, but does not Punycode-encode
// the result (its encoder refuses labels of more than 1000 code points, while
// the URL parser sets no length limit). The result is only searched for
// forbidden ASCII characters and for a trailing number, and encoding changes
// neither: an encoded label keeps its ASCII characters and begins "xn--".
bool parse_domain(std::string_view domain) {
    bool ascii = true;
    bool forbidden = false;
    bool xn_label = false;
    bool label_start = true;
    for (std::size_t i = 0; i < domain.size(); ++i) {
        auto b = static_cast<unsigned char>(domain[i]);
        ascii = ascii && b < 0x80;
        forbidden = forbidden || kForbiddenDomain[b];
        if (label_start && (b | 0x20) == 'x' && domain.size() - i >= 4 && (domain[i + 1] | 0x20) == 'n' &&
            domain[i + 2] == '-' && domain[i + 3] == '-')
            xn_label = true;
        label_start = b == '.';
    }
    if (ascii) {
        // ASCII passes UTS #46 unchanged apart from lower-casing, except that
        // "xn--" labels must decode to valid labels.
        if (forbidden) return false;
        if (!xn_label) return !ends_in_number(domain) || parse_ipv4(domain);
    }
    if (domain.size() > kMaxIdnaInput) return false;

    // An ASCII label "xn--X-" is the Punycode form of the ASCII label X. The
    // IDNA library rejects such labels outright; here X is validated in their
    // place, and the label keeps its form in the result (so it is no number).
    std::string substituted;
    bool last_label_substituted = false;
    if (has_xn_label(domain)) {
        std::size_t copied = 0;
        std::size_t start = 0;
        bool previous = false;  // whether the label before the current one was replaced
        bool current = false;
        bool last_empty = false;
        while (true) {
            std::size_t end = start;
            std::size_t sep = 0;
            while (end < domain.size() && (sep = label_separator_at(domain, end)) == 0) ++end;
            std::string_view label = domain.substr(start, end - start);
            previous = current;
            current = is_ascii_ace_of_ascii(label);
            last_empty = label.empty();
            if (current) {
                substituted.append(domain.substr(copied, start - copied));
                substituted.append(label.substr(4, label.size() - 5));
                copied = end;
            }
            if (end == domain.size()) break;
            start = end + sep;
        }
        // The label examined for a trailing number is the last one, or the one
        // before it when the domain ends in a separator.
        last_label_substituted = last_empty && start != 0 ? previous : current;
        if (copied != 0) {
            substituted.append(domain.substr(copied));
            domain = substituted;
        }
    }

    char stack_out[512];
    std::string heap_out;
    char* out = stack_out;
    UIDNAInfo info = UIDNA_INFO_INITIALIZER;
    UErrorCode status = U_ZERO_ERROR;
    int32_t len = uidna_nameToUnicodeUTF8(uts46(), domain.data(), int32_t(domain.size()), out,
                                          int32_t(sizeof stack_out), &info, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR && len > 0) {
        heap_out.resize(std::size_t(len));
        out = heap_out.data();
        info = UIDNA_INFO_INITIALIZER;
        status = U_ZERO_ERROR;
        len = uidna_nameToUnicodeUTF8(uts46(), domain.data(), int32_t(domain.size()), out, len, &info, &status);
    }
    if (U_FAILURE(status) || len <= 0) return false;
    if ((info.errors & ~kIgnoredIdnaErrors) != 0) return false;
    std::string_view result(out, std::size_t(len));
    for (char c : result)
        if (kForbiddenDomain[static_cast<unsigned char>(c)]) return false;
    if (last_label_substituted) return true;
    return !ends_in_number(result) || parse_ipv4(result);
}

// The host parser for a host of a special scheme (domain or IPv4) or a
// non-special one (opaque host); both accept bracketed IPv6 addresses.
bool parse_host(std::string_view host, bool special) {
    if (!host.empty() && host.front() == '[') {
        if (host.size() < 2 || host.back() != ']') return false;
        return parse_ipv6(host.substr(1, host.size() - 2));
    }
    if (!special) {
        for (char c : host)
            if (kForbiddenHost[static_cast<unsigned char>(c)]) return false;
        return true;
    }
    if (host.find('%') == std::string_view::npos) return parse_domain(host);
    std::string decoded;
    decoded.reserve(host.size());
    for (std::size_t i = 0; i < host.size(); ++i) {
        int hi = 0;
        int lo = 0;
        if (host[i] == '%' && i + 2 < host.size() && (hi = hex_value(host[i + 1])) >= 0 &&
            (lo = hex_value(host[i + 2])) >= 0) {
            decoded.push_back(char(hi * 16 + lo));
            i += 2;
        } else {
            decoded.push_back(host[i]);
        }
    }
    return parse_domain(decoded);
}

// The authority, host and port states; `rest` starts just after the slashes.
bool parse_authority(std::string_view rest, bool special) {
    const std::uint8_t end_mask = special ? kEndsSpecialAuthority : kEndsAuthority;
    std::size_t end = 0;
    std::size_t at = std::string_view::npos;
    for (; end < rest.size(); ++end) {
        auto c = static_cast<unsigned char>(rest[end]);
        std::uint8_t cls = kAuthorityClass[c];
        if (cls & end_mask) break;
        if (cls & kAtSign) at = end;
    }
    std::string_view host_port = at == std::string_view::npos ? rest.substr(0, end) : rest.substr(at + 1, end - at - 1);
    if (at != std::string_view::npos && host_port.empty()) return false;

    bool in_brackets = false;
    std::size_t colon = 0;
    for (; colon < host_port.size(); ++colon) {
        char c = host_port[colon];
        if (c == ':' && !in_brackets) break;
        if (c == '[') in_brackets = true;
        if (c == ']') in_brackets = false;
    }
    std::string_view host = host_port.substr(0, colon);
    if (colon < host_port.size()) {
        if (host.empty()) return false;
        if (!parse_host(host, special)) return false;
        uint32_t port = 0;
        for (char c : host_port.substr(colon + 1)) {
            if (!is_digit(c)) return false;
            port = port * 10 + unsigned(c - '0');
            if (port > 65535) return false;
        }
        return true;
    }
    if (special && host.empty()) return false;
    return parse_host(host, special);
}

// The file, file slash and file host states; `rest` follows "file:".
bool parse_file(std::string_view rest) {
    if (rest.size() < 2 || (rest[0] != '/' && rest[0] != '\\') || (rest[1] != '/' && rest[1] != '\\')) return true;
    rest.remove_prefix(2);
    std::size_t end = 0;
    while (end < rest.size()) {
        char c = rest[end];
        if (c == '/' || c == '\\' || c == '?' || c == '#') break;
        ++end;
    }
    std::string_view host = rest.substr(0, end);
    if (host.empty()) return true;
    // A drive letter where the host would be is kept as the first path segment.
    if (host.size() == 2 && is_alpha(host[0]) && (host[1] == ':' || host[1] == '|')) return true;
    return parse_host(host, true);
}

// Parses text already stripped of surrounding C0 controls and spaces and of
// inner tabs and newlines.
bool parse(std::string_view s) {
    if (s.empty() || !is_alpha(s[0])) return false;
    std::size_t colon = 1;
    while (colon < s.size() && is_scheme_char(s[colon])) ++colon;
    if (colon == s.size() || s[colon] != ':') return false;
    std::string_view scheme = s.substr(0, colon);
    std::string_view rest = s.substr(colon + 1);

    if (scheme.size() <= 5 && iequals(scheme, "file")) return parse_file(rest);
    bool special = false;
    if (scheme.size() <= 5)
        for (std::string_view name : kSpecialSchemes) special = special || iequals(scheme, name);
    if (special) {
        std::size_t skip = 0;
        while (skip < rest.size() && (rest[skip] == '/' || rest[skip] == '\\')) ++skip;
        return parse_authority(rest.substr(skip), true);
    }
    if (rest.size() >= 2 && rest[0] == '/' && rest[1] == '/') return parse_authority(rest.substr(2), false);
    // A path, or an opaque path: neither can fail.
    return true;
}

// Classes of bytes for the quick test of plain web URLs.
constexpr std::uint8_t kQuickLabel = 1;   // ASCII letters, digits, "_" and "."
constexpr std::uint8_t kQuickHyphen = 2;  // "-"
constexpr std::uint8_t kQuickEnd = 4;     // "/", "?" and "#"
constexpr std::uint8_t kQuickColon = 8;   // ":"

constexpr std::array<std::uint8_t, 256> make_quick_class_table() {
    std::array<std::uint8_t, 256> t{};
    for (int c = 'a'; c <= 'z'; ++c) t[c] = kQuickLabel;
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = kQuickLabel;
    for (int c = '0'; c <= '9'; ++c) t[c] = kQuickLabel;
    t['_'] = kQuickLabel;
    t['.'] = kQuickLabel;
    t['-'] = kQuickHyphen;
    for (unsigned char c : {'/', '?', '#'}) t[c] = kQuickEnd;
    t[':'] = kQuickColon;
    return t;
}

constexpr std::array<std::uint8_t, 256> kQuickClass = make_quick_class_table();

#if defined(__SSE2__)
// Passes over domain bytes of the quick test (ASCII letters, digits, "-", "."
// and "_") sixteen at a time, from s[i] for as long as sixteen bytes remain:
// returns the position of the first other byte, or of the last block too
// short to load. Adds kQuickHyphen to `seen` when a byte passed is a "-",
// and sets `last_dot` to the position of the last "." passed, if any.
std::size_t skip_quick_host_blocks(std::string_view s, std::size_t i, std::uint8_t& seen,
                                   std::size_t& last_dot) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const __m128i case_bit = _mm_set1_epi8(0x20), a = _mm_set1_epi8('a'), z_span = _mm_set1_epi8(25);
    const __m128i zero = _mm_set1_epi8('0'), nine_span = _mm_set1_epi8(9);
    const __m128i hyphen = _mm_set1_epi8('-'), one = _mm_set1_epi8(1), underscore = _mm_set1_epi8('_');
    const __m128i dot = _mm_set1_epi8('.');
    // x - lo, unsigned, is at most span.
    auto within = [](__m128i x, __m128i lo, __m128i span) {
        const __m128i d = _mm_sub_epi8(x, lo);
        return _mm_cmpeq_epi8(_mm_min_epu8(d, span), d);
    };
    for (; i + 16 <= s.size(); i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // Letters of either case, digits, "-" or "." (2D, 2E), and "_".
        const __m128i ok = _mm_or_si128(
            _mm_or_si128(within(_mm_or_si128(x, case_bit), a, z_span), within(x, zero, nine_span)),
            _mm_or_si128(within(x, hyphen, one), _mm_cmpeq_epi8(x, underscore)));
        const unsigned ok_bits = unsigned(_mm_movemask_epi8(ok));
        unsigned hyphen_bits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(x, hyphen)));
        unsigned dot_bits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(x, dot)));
        if (ok_bits != 0xFFFF) {
            const unsigned stop = unsigned(__builtin_ctz(~ok_bits));
            hyphen_bits &= (1u << stop) - 1;
            dot_bits &= (1u << stop) - 1;
            if (hyphen_bits != 0) seen |= kQuickHyphen;
            if (dot_bits != 0) last_dot = i + 31 - unsigned(__builtin_clz(dot_bits));
            return i + stop;
        }
        if (hyphen_bits != 0) seen |= kQuickHyphen;
        if (dot_bits != 0) last_dot = i + 31 - unsigned(__builtin_clz(dot_bits));
    }
    return i;
}
#endif

}  // namespace

// Only the authority of a special URL can fail, and a domain made of ASCII
// letters, digits, "_", "-" and "." passes the host parser unchanged unless
// a label starts "xn--" or the last label is a number. So "http(s)://" (any
// case), such a domain, an optional port of at most five digits, then the
// end or one of "/?#" is certainly a URL: no byte before the end of the
// authority is one the parser strips, drops or maps, and what follows the
// authority is never judged.
bool is_plain_web_url(std::string_view s) noexcept {
    const std::size_t n = s.size();
    if (n < 8) return false;
    // "http" in any case, as one word.
    std::uint32_t head, http;
    std::memcpy(&head, s.data(), 4);
    std::memcpy(&http, "http", 4);
    if ((head | 0x20202020u) != http) return false;
    std::size_t i = 4;
    if ((s[i] | 0x20) == 's') ++i;
    if (n - i < 4 || std::memcmp(s.data() + i, "://", 3) != 0) return false;
    i += 3;
    const std::size_t host_begin = i;
    std::uint8_t seen = 0;
    std::size_t last_dot = std::string_view::npos;  // in s
#if defined(__SSE2__)
    i = skip_quick_host_blocks(s, i, seen, last_dot);
#endif
    std::uint8_t cls = 0;
    for (; i < n; ++i) {
        cls = kQuickClass[static_cast<unsigned char>(s[i])];
        if (!(cls & (kQuickLabel | kQuickHyphen))) break;
        if (s[i] == '.') last_dot = i;
        seen |= cls;
    }
    if (i < n && !(cls & (kQuickEnd | kQuickColon))) return false;
    const std::string_view host = s.substr(host_begin, i - host_begin);
    if (host.empty()) return false;
    if (i < n && cls == kQuickColon) {
        std::size_t digits = 0;
        uint32_t port = 0;
        for (++i; i < n && is_digit(s[i]); ++i, ++digits) port = port * 10 + unsigned(s[i] - '0');
        if (digits > 5 || port > 65535) return false;
        if (i < n && kQuickClass[static_cast<unsigned char>(s[i])] != kQuickEnd) return false;
    }
    // "xn--" labels need the IDNA library.
    if ((seen & kQuickHyphen) && host.find("--") != std::string_view::npos) {
        for (std::size_t k = 0; k + 4 <= host.size(); ++k)
            if ((k == 0 || host[k - 1] == '.') && (host[k] | 0x20) == 'x' && (host[k + 1] | 0x20) == 'n' &&
                host[k + 2] == '-' && host[k + 3] == '-')
                return false;
    }
    // A last label (before one trailing dot) that starts with a digit may be
    // a number; one that starts otherwise, or is empty, is not.
    std::size_t domain_end = host_begin + host.size();
    if (last_dot + 1 == domain_end) {
        --domain_end;
        const std::size_t dot = host.substr(0, host.size() - 1).rfind('.');
        last_dot = dot == std::string_view::npos ? dot : host_begin + dot;
    }
    const std::size_t last_begin = last_dot == std::string_view::npos ? host_begin : last_dot + 1;
    return last_begin == domain_end || !is_digit(s[last_begin]);
}

bool parses_as_absolute_url(std::string_view input) {
    std::size_t begin = 0;
    std::size_t end = input.size();
    while (begin < end && static_cast<unsigned char>(input[begin]) <= 0x20) ++begin;
    // Most texts fail at the scheme: look for "scheme:" first, passing over
    // the tabs and newlines that are dropped before parsing. The ":" is never
    // among the trailing bytes stripped below, so the end can be trimmed after.
    {
        std::size_t i = begin;
        while (i < end && kSchemeClass[static_cast<unsigned char>(input[i])] == kSchemeDropped) ++i;
        if (i == end || !(kSchemeClass[static_cast<unsigned char>(input[i])] & kSchemeFirst)) return false;
        ++i;
        while (i < end && kSchemeClass[static_cast<unsigned char>(input[i])] != 0) ++i;
        if (i == end || input[i] != ':') return false;
    }
    while (end > begin && static_cast<unsigned char>(input[end - 1]) <= 0x20) --end;
    std::string_view s = input.substr(begin, end - begin);

    bool clean = std::memchr(s.data(), '\t', s.size()) == nullptr && std::memchr(s.data(), '\n', s.size()) == nullptr &&
                 std::memchr(s.data(), '\r', s.size()) == nullptr;
    if (clean) return parse(s);
    std::string copy;
    copy.reserve(s.size());
    for (char c : s)
        if (!is_tab_or_newline(c)) copy.push_back(c);
    return parse(copy);
}

}  // namespace adsieve::url
