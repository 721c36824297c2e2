// Macro checks: finds the [MACRO] names in the content of URL-bearing
// elements and reports unknown, mis-cased, deprecated and misplaced macros,
// and URLs that will break once the macros are substituted.
#include "rules/macros.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "rules/security.h"
#include "text.h"

namespace adsieve::rules::macros {

namespace {

constexpr std::array<std::string_view, 51> KNOWN_MACROS = {
    "ADCATEGORIES",      "ADCOUNT",          "ADPLAYHEAD",         "ADSERVINGID",
    "ADTYPE",            "APIFRAMEWORKS",    "APPBUNDLE",          "ASSETURI",
    "BLOCKEDADCATEGORIES", "BREAKMAXADLENGTH", "BREAKMAXADS",      "BREAKMAXDURATION",
    "BREAKMINADLENGTH",  "BREAKMINDURATION", "BREAKPOSITION",      "CACHEBUSTING",
    "CLICKPOS",          "CLIENTUA",         "CONTENTID",          "CONTENTPLAYHEAD",
    "CONTENTURI",        "DEVICEIP",         "DEVICEUA",           "DOMAIN",
    "ERRORCODE",         "EXTENSIONS",       "GDPR",               "GDPRCONSENT",
    "IFA",               "IFATYPE",          "INVENTORYSTATE",     "LATLONG",
    "LIMITADTRACKING",   "MEDIAMIME",        "MEDIAPLAYHEAD",      "OMIDPARTNER",
    "PAGEURL",           "PLACEMENTTYPE",    "PLAYERCAPABILITIES", "PLAYERSIZE",
    "PLAYERSTATE",       "PODSEQUENCE",      "REASON",             "REGULATIONS",
    "SERVERSIDE",        "SERVERUA",         "TIMESTAMP",          "TRANSACTIONID",
    "UNIVERSALADID",     "VASTVERSIONS",     "VERIFICATIONVENDORS",
};
constexpr auto kKnownMacroSet = text::make_name_set(KNOWN_MACROS);

// Elements whose content may carry macros.
constexpr std::array<std::string_view, 25> kMacroElements = {
    "Impression",
    "Error",
    "ClickThrough",
    "ClickTracking",
    "CustomClick",
    "IconClickThrough",
    "IconClickTracking",
    "IconViewTracking",
    "NonLinearClickThrough",
    "NonLinearClickTracking",
    "CompanionClickThrough",
    "CompanionClickTracking",
    "Viewable",
    "NotViewable",
    "ViewUndetermined",
    "VASTAdTagURI",
    "MediaFile",
    "Tracking",
    "Mezzanine",
    "JavaScriptResource",
    "ExecutableResource",
    "InteractiveCreativeFile",
    "StaticResource",
    "IFrameResource",
    "ClosedCaptionFile",
};

constexpr auto kMacroElementSet = text::make_name_set(kMacroElements);
constexpr int kErrorElement = 1;
constexpr int kTrackingElement = 17;
static_assert(kMacroElements[kErrorElement] == "Error" && kMacroElements[kTrackingElement] == "Tracking");

static_assert([] {
    for (std::string_view name : security::kHttpsElements)
        if (kMacroElementSet.find(name) < 0) return false;
    for (std::string_view name : kMacroElements)
        if (kElementSet.find(name) < 0) return false;
    return true;
}());
// An element's place in kMacroElements by its code (TopLevel::code), or -1.
constexpr auto kMacroKindByCode =
    by_code<std::int8_t>(-1, [](std::string_view n) { return static_cast<std::int8_t>(kMacroElementSet.find(n)); });

constexpr std::size_t kMaxNameBytes = 48;

constexpr int kMediaPlayhead = 34, kContentPlayhead = 19, kReason = 42, kErrorCode = 24;
static_assert(KNOWN_MACROS[kMediaPlayhead] == "MEDIAPLAYHEAD" && KNOWN_MACROS[kContentPlayhead] == "CONTENTPLAYHEAD" &&
              KNOWN_MACROS[kReason] == "REASON" && KNOWN_MACROS[kErrorCode] == "ERRORCODE");

// Bytes of macro names, as bits: 0 for any other byte. The bit of a small
// letter is 0x20 apart from its capital.
constexpr unsigned char kUpperCase = 1, kLowerCase = 0x20, kDigitOrUnderscore = 2;
constexpr std::array<unsigned char, 256> kNameByte = [] {
    std::array<unsigned char, 256> t{};
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = kUpperCase;
    for (int c = 'a'; c <= 'z'; ++c) t[c] = kLowerCase;
    for (int c = '0'; c <= '9'; ++c) t[c] = kDigitOrUnderscore;
    t['_'] = kDigitOrUnderscore;
    return t;
}();

// True when the text holds a character that must be percent-encoded in a URL:
// a C0 or C1 control, space, '"', '\\', '`', '<', '>', '^', '{', '|' or '}'.
// In UTF-8 every such character but the C1 controls is one ASCII byte, and the
// C1 controls U+0080..U+009F are exactly the pairs C2 80..C2 9F; ASCII bytes
// and the lead byte C2 never occur inside another character's encoding, so the
// byte test matches the test on characters.
constexpr std::array<bool, 256> kMustEncode = [] {
    std::array<bool, 256> t{};
    for (unsigned c = 0; c < 0x20; ++c) t[c] = true;
    t[0x7F] = true;
    for (unsigned char c : std::string_view(" \"\\`<>^{|}")) t[c] = true;
    return t;
}();

// Whether the character starting at s[i] must be encoded.
bool must_encode_at(std::string_view s, std::size_t i) noexcept {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (kMustEncode[c]) return true;
    if (c != 0xC2 || i + 1 >= s.size()) return false;
    const unsigned char next = static_cast<unsigned char>(s[i + 1]);
    return next >= 0x80 && next <= 0x9F;
}

bool has_unencoded_character(std::string_view s) noexcept {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time; a block holding a candidate byte is looked at
    // byte by byte. The candidates are a few more than the bytes looked for,
    // so that pairs and ranges take one test each: up to 0x22 (with "!"),
    // "<" and ">" (3C, 3E: x | 2 is 3E), "\\" and "^" (5C, 5E), "`", "{", "|"
    // and "}", DEL and C2.
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const __m128i low = _mm_set1_epi8(0x22), two = _mm_set1_epi8(2);
    const __m128i angle = _mm_set1_epi8('>'), caret = _mm_set1_epi8('^'), grave = _mm_set1_epi8('`');
    const __m128i del = _mm_set1_epi8(0x7F), c2 = _mm_set1_epi8(static_cast<char>(0xC2));
    // '{', '|' and '}' are 7B..7D: x - 7B, unsigned, is at most 2.
    const __m128i brace = _mm_set1_epi8('{');
    auto candidates = [&](std::size_t at) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i from_brace = _mm_sub_epi8(x, brace), x2 = _mm_or_si128(x, two);
        __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(x, low), x),
                                   _mm_cmpeq_epi8(_mm_min_epu8(from_brace, two), from_brace));
        hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(x2, angle), _mm_cmpeq_epi8(x2, caret)));
        hit = _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi8(x, grave), _mm_cmpeq_epi8(x, del)));
        hit = _mm_or_si128(hit, _mm_cmpeq_epi8(x, c2));
        return _mm_movemask_epi8(hit) != 0;
    };
    for (; i + 16 <= s.size(); i += 16) {
        if (!candidates(i)) continue;
        for (std::size_t k = i; k < i + 16; ++k)
            if (must_encode_at(s, k)) return true;
    }
    // The last bytes: one more block, ending where the text ends, over bytes
    // already found clean; with a candidate, byte by byte below.
    if (i < s.size() && s.size() >= 16 && !candidates(s.size() - 16)) return false;
#endif
    for (; i < s.size(); ++i)
        if (must_encode_at(s, i)) return true;
    return false;
}

// What one text's macros give, each issue at most once.
// What one text's macros give, each issue at most once: a set of the bits
// below, 0 for none.
using TextFindings = unsigned;
constexpr TextFindings kUnknown = 1, kLowercase = 2, kDeprecated = 4, kWrongContext = 8, kUnencoded = 16;
// [REASON] was seen; whether that is in context is the caller's to tell.
constexpr TextFindings kReasonSeen = 32;

// Scans one text that holds a "[" for macros. With `any`, only whether the
// text has an issue matters: the scan stops at the first.
TextFindings scan_macros(std::string_view text, bool deprecation_enabled, bool error_context, bool any) {
    TextFindings f = 0;
    bool macro_seen = false;

    std::size_t p = 0;
    while (p < text.size()) {
        const void* open = std::memchr(text.data() + p, '[', text.size() - p);
        if (open == nullptr) break;
        p = static_cast<std::size_t>(static_cast<const char*>(open) - text.data());
        if (p + 1 == text.size()) break;
        const std::size_t window_end = std::min(text.size(), p + 2 + kMaxNameBytes);
        // The name runs to the first byte that is not a letter, digit or
        // "_"; it is a macro when that byte is a "]" inside the window and
        // the name holds a letter. Anything else fails as a name too, so the
        // search goes on after the "[".
        unsigned seen = 0;  // the classes of the name's bytes
        std::size_t close = p + 1;
        for (; close < window_end; ++close) {
            const unsigned char cls = kNameByte[static_cast<unsigned char>(text[close])];
            if (cls == 0) break;
            seen |= cls;
        }
        const bool letter = (seen & (kUpperCase | kLowerCase)) != 0, lower_case = (seen & kLowerCase) != 0;
        if (close == window_end || text[close] != ']' || !letter) {
            ++p;
            continue;
        }
        macro_seen = true;
        // Names are looked up in capitals; most are written so already.
        std::string_view upper = text.substr(p + 1, close - p - 1);
        std::array<char, kMaxNameBytes + 1> buffer;
        if (lower_case) {
            for (std::size_t k = 0; k < upper.size(); ++k) {
                const unsigned char c = static_cast<unsigned char>(upper[k]);
                buffer[k] = static_cast<char>(c - (kNameByte[c] & kLowerCase));
            }
            upper = std::string_view(buffer.data(), upper.size());
        }
        const int known = kKnownMacroSet.find(upper);
        if (known < 0) {
            f |= kUnknown;
        } else if (lower_case) {
            f |= kLowercase;
        } else {
            if (deprecation_enabled && (known == kMediaPlayhead || known == kContentPlayhead)) f |= kDeprecated;
            if (known == kReason) f |= kReasonSeen;
            if (known == kErrorCode && !error_context) f |= kWrongContext;
        }
        if (any && (f & ~kReasonSeen) != 0) return f;
        p = close + 1;
    }
    if (macro_seen && has_unencoded_character(text)) f |= kUnencoded;
    return f;
}

// Whether `s` holds the byte `c`. Texts of 16 to 64 bytes, most URLs, are
// read in place sixteen bytes at a time, the last bytes in one block that
// ends with the text; shorter and longer ones by memchr, whose call costs
// less than its wider reading saves on long texts.
inline bool holds_byte(std::string_view s, char c) noexcept {
#if defined(__SSE2__)
    const std::size_t n = s.size();
    if (n >= 16 && n <= 64) {
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        const __m128i needle = _mm_set1_epi8(c);
        auto found = [&](std::size_t at) {
            return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at)), needle)) != 0;
        };
        std::size_t i = 0;
        for (; i + 16 <= n; i += 16)
            if (found(i)) return true;
        return i < n && found(n - 16);
    }
#endif
    return std::memchr(s.data(), c, s.size()) != nullptr;
}

// Scans one text for macros. Most texts hold none, and no "[" either.
// `reason_context` tells whether [REASON] belongs in the text; it is asked
// only when the text names it.
template <class ReasonContext>
TextFindings scan_text(std::string_view text, bool deprecation_enabled, bool error_context,
                       ReasonContext&& reason_context, bool any = false) {
    if (!holds_byte(text, '[')) return 0;
    TextFindings f = scan_macros(text, deprecation_enabled, error_context, any);
    if ((f & kReasonSeen) != 0) {
        f &= ~kReasonSeen;
        if (!reason_context()) f |= kWrongContext;
    }
    return f;
}

// Emits one text's issues in a fixed order. Positions are those of `node`,
// the element whose text this is.
template <class Path>
void report_text(const TextFindings& f, const Path& path, const Node& node, Report& report) {
    if (f & kUnknown)
        report(rule::vast_macro_unknown, path, &node);
    if (f & kLowercase)
        report(rule::vast_macro_lowercase, path, &node);
    if (f & kDeprecated)
        report(rule::vast_macro_deprecated, path, &node);
    if (f & kWrongContext)
        report(rule::vast_macro_wrong_context, path, &node);
    if (f & kUnencoded)
        report(rule::vast_macro_uri_unencoded, path, &node);
}

// The findings of one element's own text; `kind` is the element's place in
// kMacroElements, or -1. With `any`, some of them when there are any.
TextFindings scan_macro_element(const Node& node, int kind, bool deprecation_enabled, bool any = false) {
    if (kind < 0) return 0;
    return scan_text(
        node.text(), deprecation_enabled, kind == kErrorElement,
        [&] { return kind == kTrackingElement && node.attr("event") == std::string_view("verificationNotExecuted"); },
        any);
}

TextFindings scan_macro_element(const TopLevel& top, const Node& node, bool deprecation_enabled) {
    if (node.text().empty()) return {};
    return scan_macro_element(node, kMacroKindByCode[top.code(node)], deprecation_enabled);
}

// Scans `node` and its subtree in pre-order; child paths index each child
// among all children of its parent. Most subtrees have nothing to report: a
// scan without paths has found the first element that has (or none). From
// there on the same scan finds each next one, and the walk that keeps paths
// goes only into the subtrees that hold it.
void scan_subtree(const TopLevel& top, const Node& node, const Node* first, const PathRef& path, bool deprecation_enabled,
                  Report& report) {
    if (first == nullptr) return;
    const Node* const end = &node + node.span;
    const Node* next = first;
    TextFindings f = scan_macro_element(top, *first, deprecation_enabled);
    walk(node, path, Segment::NameIndex, [&](const Node& n, const WalkPath& p) {
        if (&n + n.span <= next) return Step::Over;  // found clean
        if (&n != next) return Step::Into;
        report_text(f, p, n, report);
        for (next = n.first_child(); next != end; next = next->first_child())
            if ((f = scan_macro_element(top, *next, deprecation_enabled)) != 0) break;
        return next == end ? Step::Stop : Step::Into;
    });
}

// The elements of `node`'s subtree, in document order, with a finding of the
// security family (appended to `security`), and the first with a finding of
// this family. Codes every element on the way.
UrlFirsts first_findings(TopLevel& top, const Node& node, bool deprecation_enabled, std::pmr::vector<UrlFinding>& security) {
    UrlFirsts first;
    first.security_begin = security.size();
    std::uint8_t* const codes = top.codes.data() + (&node - top.base);
    const Node* n = &node;
    const Node* const end = &node + node.span;
    for (; n != end; n = n->first_child()) {
        const unsigned code = static_cast<unsigned>(kElementSet.find(n->name()) + 1);
        codes[n - &node] = static_cast<std::uint8_t>(code);
        if (const unsigned what = security::url_findings(*n, security::kHttpsByCode[code])) security.push_back({n, what});
        if (scan_macro_element(*n, kMacroKindByCode[code], deprecation_enabled, true) != 0) {
            first.macros = n;
            n = n->first_child();
            break;
        }
    }
    // The rest without the macro scan.
    for (; n != end; n = n->first_child()) {
        const unsigned code = static_cast<unsigned>(kElementSet.find(n->name()) + 1);
        codes[n - &node] = static_cast<std::uint8_t>(code);
        if (const unsigned what = security::url_findings(*n, security::kHttpsByCode[code])) security.push_back({n, what});
    }
    first.security_end = security.size();
    return first;
}

}  // namespace

UrlFindings first_url_findings(TopLevel& top, AdRange ads, const DetectedVersion& version, std::pmr::memory_resource* mem) {
    const bool deprecation_enabled = version.at_least(VastVersion::V4_1);
    UrlFindings out{std::pmr::vector<AdUrlFirsts>(ads.end - ads.begin, mem), std::pmr::vector<UrlFinding>(mem)};
    out.security.reserve(32);
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        AdUrlFirsts& firsts = out.ads[i - ads.begin];
        if (ad.inline_ad) firsts.inline_ad = first_findings(top, *ad.inline_ad, deprecation_enabled, out.security);
        if (ad.wrapper) firsts.wrapper = first_findings(top, *ad.wrapper, deprecation_enabled, out.security);
    }
    return out;
}

void check(const Node& root, const DetectedVersion& version, Report& report) {
    TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), first_url_findings(top, all_ads(top), version), version, report);
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, const UrlFindings& firsts, const DetectedVersion& version,
           Report& report) {
    const bool deprecation_enabled = version.at_least(VastVersion::V4_1);

    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const AdUrlFirsts& first = firsts.ads[i - ads.begin];
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        if (const Node* inline_ad = ad.inline_ad)
            scan_subtree(top, *inline_ad, first.inline_ad.macros, join(ad_path, "/InLine"), deprecation_enabled, report);
        if (const Node* wrapper = ad.wrapper)
            scan_subtree(top, *wrapper, first.wrapper.macros, join(ad_path, "/Wrapper"), deprecation_enabled, report);
    }

    if (!ads.last(top)) return;
    std::size_t n = 0;
    for (const Node* error : top.errors) {
        const std::size_t index = n++;
        if (!error->text().empty())
            report_text(scan_text(error->text(), deprecation_enabled, true, [] { return false; }),
                        indexed(kVastPath, "Error", index), *error, report);
    }
}

}  // namespace adsieve::rules::macros
