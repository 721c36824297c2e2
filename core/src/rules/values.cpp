#include "rules/values.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <charconv>
#include <cmath>
#include <limits>

#include "text.h"

namespace adsieve::rules::values {

namespace {

// Tracking event values accepted by each VAST version.
constexpr std::string_view kEvents2_0[] = {
    "creativeView", "start",  "midpoint", "firstQuartile",    "thirdQuartile", "complete",
    "mute",         "unmute", "pause",    "rewind",           "resume",        "acceptInvitation",
    "close",        "fullscreen", "expand", "collapse",
};
constexpr std::string_view kEvents3_0[] = {
    "creativeView", "start",      "midpoint",       "firstQuartile", "thirdQuartile",
    "complete",     "mute",       "unmute",         "pause",         "rewind",
    "resume",       "acceptInvitation", "close",    "fullscreen",    "exitFullscreen",
    "expand",       "collapse",   "skip",           "progress",      "acceptInvitationLinear",
    "closeLinear",
};
constexpr std::string_view kEvents4_0[] = {
    "creativeView",   "start",          "midpoint",         "firstQuartile",
    "thirdQuartile",  "complete",       "mute",             "unmute",
    "pause",          "rewind",         "resume",           "acceptInvitation",
    "close",          "skip",           "progress",         "acceptInvitationLinear",
    "playerExpand",   "playerCollapse", "timeSpentViewing", "adExpand",
    "adCollapse",     "minimize",       "overlayViewDuration", "otherAdInteraction",
};
constexpr std::string_view kEvents4_1[] = {
    "creativeView",  "start",          "midpoint",   "firstQuartile", "thirdQuartile",
    "complete",      "mute",           "unmute",     "pause",         "rewind",
    "resume",        "acceptInvitation", "close",    "skip",          "progress",
    "closeLinear",   "playerExpand",   "playerCollapse", "adExpand",  "adCollapse",
    "minimize",      "overlayViewDuration", "otherAdInteraction", "loaded", "interactiveStart",
};
static_assert(std::size(kEvents2_0) == 16 && std::size(kEvents3_0) == 21 &&
              std::size(kEvents4_0) == 24 && std::size(kEvents4_1) == 25);

constexpr std::string_view kAdTypes[] = {"video", "audio", "hybrid"};
constexpr std::string_view kDeliveries[] = {"progressive", "streaming"};
constexpr std::string_view kCompanionRequired[] = {"all", "any", "none"};
constexpr std::string_view kRenderingModes[] = {"default", "end-card", "concurrent"};

// Domains of the body that publishes the content taxonomy.
constexpr std::string_view kTaxonomyDomain = "iab.com";
constexpr std::string_view kTaxonomyLabDomain = "iabtechlab.com";
static_assert(kTaxonomyDomain.size() == 7 && kTaxonomyLabDomain.size() == 14);

// Every event above, once; each version's vocabulary is a mask over this set.
constexpr std::array<std::string_view, 31> kEventNames = {
    "creativeView",   "start",          "midpoint",         "firstQuartile",  "thirdQuartile",
    "complete",       "mute",           "unmute",           "pause",          "rewind",
    "resume",         "acceptInvitation", "close",          "fullscreen",     "exitFullscreen",
    "expand",         "collapse",       "skip",             "progress",       "acceptInvitationLinear",
    "closeLinear",    "playerExpand",   "playerCollapse",   "timeSpentViewing", "adExpand",
    "adCollapse",     "minimize",       "overlayViewDuration", "otherAdInteraction", "loaded",
    "interactiveStart",
};
constexpr auto kEventSet = text::make_name_set(kEventNames);

consteval std::uint64_t event_mask(std::span<const std::string_view> events) { return kEventSet.mask(events); }

// The vocabulary of version v, as a mask over kEventSet.
std::uint64_t known_events(VastVersion v) noexcept {
    static constexpr std::uint64_t kMasks[] = {event_mask(kEvents2_0), event_mask(kEvents3_0),
                                               event_mask(kEvents4_0), event_mask(kEvents4_1)};
    switch (v) {
        case VastVersion::V2_0: return kMasks[0];
        case VastVersion::V3_0: return kMasks[1];
        case VastVersion::V4_0: return kMasks[2];
        default: return kMasks[3];
    }
}

// True when `event` is in a vocabulary made by known_events.
bool is_known_event(std::string_view event, std::uint64_t known) noexcept {
    const int i = kEventSet.find(event);
    return i >= 0 && (known >> i & 1) != 0;
}

// Names below an ad's InLine and Wrapper are told apart by their codes.
constexpr unsigned kTracking = code_for("Tracking"), kMediaFile = code_for("MediaFile"),
                   kCompanion = code_for("Companion"), kCategory = code_for("Category"),
                   kBlockedAdCategories = code_for("BlockedAdCategories");

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
bool is_ascii_letter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool all_digits(std::string_view s) noexcept {
    for (char c : s)
        if (!is_digit(c)) return false;
    return true;
}

bool two_digits_below_60(std::string_view s) noexcept {
    return s.size() == 2 && all_digits(s) && s[0] <= '5';
}

// Reads the decimal floating-point grammar
//   [sign] (digits [. [digits]] | . digits) [(e|E) [sign] digits]
// and the words for infinity and not-a-number, rounding to the nearest double.
std::optional<double> parse_decimal(std::string_view s) noexcept {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::string_view body = s.substr(i);
    if (text::iequals_ascii(body, "inf") || text::iequals_ascii(body, "infinity"))
        return negative ? -HUGE_VAL : HUGE_VAL;
    if (text::iequals_ascii(body, "nan")) return std::numeric_limits<double>::quiet_NaN();

    std::size_t int_start = i;
    while (i < s.size() && is_digit(s[i])) ++i;
    std::string_view int_part = s.substr(int_start, i - int_start);
    std::string_view frac_part;
    if (i < s.size() && s[i] == '.') {
        std::size_t f = ++i;
        while (i < s.size() && is_digit(s[i])) ++i;
        frac_part = s.substr(f, i - f);
    }
    if (int_part.empty() && frac_part.empty()) return std::nullopt;
    long long exponent = 0;  // saturated, only its size relative to the digits matters
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool exp_negative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) exp_negative = s[i++] == '-';
        std::size_t e = i;
        while (i < s.size() && is_digit(s[i])) {
            if (exponent < 1'000'000'000'000LL) exponent = exponent * 10 + (s[i] - '0');
            ++i;
        }
        if (i == e) return std::nullopt;
        if (exp_negative) exponent = -exponent;
    }
    if (i != s.size()) return std::nullopt;

    double v = 0;
    auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), v,
                                     std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // The value rounds to zero or to infinity; which one follows from the
        // decimal position of the first significant digit.
        long long magnitude = 0;
        std::size_t p = int_part.find_first_not_of('0');
        if (p != std::string_view::npos) {
            magnitude = static_cast<long long>(int_part.size() - p - 1) + exponent;
        } else {
            std::size_t q = frac_part.find_first_not_of('0');
            if (q == std::string_view::npos) return negative ? -0.0 : 0.0;
            magnitude = exponent - static_cast<long long>(q + 1);
        }
        v = magnitude >= 0 ? HUGE_VAL : 0.0;
    } else if (ec != std::errc() || ptr != body.data() + body.size()) {
        return std::nullopt;
    }
    return negative ? -v : v;
}

// True when the text holds an ASCII capital or a character with the Unicode
// Uppercase property.
bool has_upper_case(std::string_view s) noexcept {
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    int32_t len = static_cast<int32_t>(std::min<std::size_t>(s.size(), INT32_MAX));
    int32_t i = 0;
    while (i < len) {
        UChar32 c;
        U8_NEXT(p, i, len, c);
        if (c >= 'A' && c <= 'Z') return true;
        if (c > 0x7F && u_isUUppercase(c)) return true;
    }
    return false;
}

bool is_well_formed_host(std::string_view host) noexcept {
    if (host.find('.') == std::string_view::npos) return false;
    if (host.front() == '.' || host.back() == '.') return false;
    if (host.find("..") != std::string_view::npos) return false;
    for (char c : host)
        if (!is_ascii_letter(c) && !is_digit(c) && c != '-' && c != '.') return false;
    return true;
}

bool is_taxonomy_authority(std::string_view host) {
    std::string lower = text::ascii_lower(host);
    std::string_view h = lower;
    return h == kTaxonomyDomain || h == kTaxonomyLabDomain ||
           (h.size() > kTaxonomyLabDomain.size() && h.ends_with(kTaxonomyLabDomain) &&
            h[h.size() - kTaxonomyLabDomain.size() - 1] == '.');
}

void check_linear(const TopLevel& top, const Node& linear, const LinearNodes& in_linear, const PathRef& linear_path,
                  std::optional<VastVersion> version, Report& report) {
    if (const Node* duration = in_linear.duration) {
        std::string_view d = text::trim(duration->text());
        if (!d.empty() && !is_hhmmss(d))
            report(rule::vast_duration_format, join(linear_path, "/Duration"), duration);
    }

    auto skipoffset = linear.attr("skipoffset");
    if (skipoffset && !is_valid_time_or_percent(*skipoffset))
        report(rule::vast_skipoffset_format, attr_path(linear_path, "skipoffset"), &linear);

    const Node* tracking_events = in_linear.tracking_events;
    if (!skipoffset && tracking_events) {
        for (const Node& t : tracking_events->children()) {
            if (top.code(t) != kTracking || t.attr("event") != "skip") continue;
            report(rule::vast_skip_event_no_skipoffset, join(linear_path, "/TrackingEvents"), &linear);
            break;
        }
    }

    if (tracking_events) {
        const PathRef events_path = join(linear_path, "/TrackingEvents");
        const std::uint64_t known = version ? known_events(*version) : 0;
        std::size_t k = 0;
        for (const Node& t : tracking_events->children()) {
            if (top.code(t) != kTracking) continue;
            std::size_t index = k++;
            auto event = t.attr("event");
            if (!event) continue;
            const PathRef tracking_path = indexed(events_path, "Tracking", index);
            if (*event == "progress") {
                auto offset = t.attr("offset");
                if (offset && !is_valid_time_or_percent(*offset))
                    report(rule::vast_progress_offset_format, attr_path(tracking_path, "offset"), &t);
            }
            if (!version || is_known_event(*event, known)) continue;
            if (*version >= VastVersion::V4_0 && (*event == "fullscreen" || *event == "exitFullscreen"))
                report(rule::vast_tracking_event_removed, attr_path(tracking_path, "event"), &t);
            else
                report(rule::vast_tracking_event_value, attr_path(tracking_path, "event"), &t);
        }
    }

    if (const Node* first = in_linear.media_file) {
        const Node* media_files = in_linear.media_files;
        const PathRef files_path = join(linear_path, "/MediaFiles");
        std::size_t m = 0;
        for (const Node& mf : Children(first, media_files + media_files->span)) {
            if (top.code(mf) != kMediaFile) continue;
            std::size_t index = m++;
            const PathRef media_path = indexed(files_path, "MediaFile", index);
            // The four attributes looked at, in one pass (the first of a name counts).
            std::optional<std::string_view> delivery;
            bool has_min = false, has_max = false, has_bitrate = false;
            for (const Attr& a : mf.attrs()) {
                switch (a.name.size()) {
                    case 7: has_bitrate = has_bitrate || a.name == "bitrate"; break;
                    case 8:
                        if (!delivery && a.name == "delivery") delivery = a.value;
                        break;
                    case 10:
                        has_min = has_min || a.name == "minBitrate";
                        has_max = has_max || a.name == "maxBitrate";
                        break;
                    default: break;
                }
            }
            if (delivery && !one_of(*delivery, kDeliveries))
                report(rule::vast_mediafile_delivery_enum, attr_path(media_path, "delivery"), &mf);
            if (has_min != has_max)
                report(rule::vast_minmaxbitrate_pair, media_path, &mf);
            if (has_bitrate && (has_min || has_max))
                report(rule::vast_bitrate_conflict, media_path, &mf);
        }
    }
}

void check_companions(const TopLevel& top, const Node& companion_ads, const PathRef& creative_path,
                      Report& report) {
    const PathRef companions_path = join(creative_path, "/CompanionAds");
    auto required = companion_ads.attr("required");
    if (required && !one_of(*required, kCompanionRequired))
        report(rule::vast_companion_required_attr, attr_path(companions_path, "required"), &companion_ads);
    std::size_t c = 0;
    for (const Node& companion : companion_ads.children()) {
        if (top.code(companion) != kCompanion) continue;
        std::size_t index = c++;
        auto mode = companion.attr("renderingMode");
        if (mode && !one_of(*mode, kRenderingModes)) {
            const PathRef companion_path = indexed(companions_path, "Companion", index);
            report(rule::vast_companion_renderingmode_value, attr_path(companion_path, "renderingMode"), &companion);
        }
    }
}

void check_pricing(const Node& pricing, const PathRef& pricing_path,
                   std::optional<VastVersion> version, Report& report) {
    if (auto currency = pricing.attr("currency")) {
        bool ok = currency->size() == 3 && std::all_of(currency->begin(), currency->end(), is_ascii_letter);
        if (!ok)
            report(rule::vast_pricing_currency_format, attr_path(pricing_path, "currency"), &pricing);
    }
    if (version == VastVersion::V3_0) {
        auto model = pricing.attr("model");
        if (model && has_upper_case(*model))
            report(rule::vast_pricing_model_case, attr_path(pricing_path, "model"), &pricing);
    }
}

void check_authorities(const TopLevel& top, Children children, const PathRef& content_path, std::string_view element, unsigned code,
                       const Rule& not_uri, const Rule& unknown, Report& report) {
    std::size_t g = 0;
    for (const Node& c : children) {
        if (top.code(c) != code) continue;
        std::size_t index = g++;
        if (auto authority = c.attr("authority")) {
            const PathRef element_path = indexed(content_path, element, index);
            check_authority_value(*authority, attr_path(element_path, "authority"), not_uri, unknown,
                                  &c, report);
        }
    }
}

}  // namespace

// HH:MM:SS or HH:MM:SS.mmm: two or more digits of hours, minutes and seconds
// below 60. Read from the end, where every part but the hours has its fixed
// place; a '.' or ':' anywhere else fails the digit tests.
bool is_hhmmss(std::string_view s) noexcept {
    std::size_t n = s.size();
    if (n >= 4 && s[n - 4] == '.') {
        if (!is_digit(s[n - 3]) || !is_digit(s[n - 2]) || !is_digit(s[n - 1])) return false;
        n -= 4;
    }
    if (n < 8 || s[n - 3] != ':' || s[n - 6] != ':') return false;
    return two_digits_below_60(s.substr(n - 2, 2)) && two_digits_below_60(s.substr(n - 5, 2)) &&
           all_digits(s.substr(0, n - 6));
}

bool is_valid_time_or_percent(std::string_view s) noexcept {
    if (s.empty()) return false;
    if (s.back() == '%') {
        // Whole percentages, the usual case, without the decimal reading.
        const std::string_view number = s.substr(0, s.size() - 1);
        if (!number.empty() && number.size() <= 9 && all_digits(number)) {
            std::uint32_t v = 0;
            for (char c : number) v = v * 10 + std::uint32_t(c - '0');
            return v <= 100;
        }
        auto v = parse_decimal(number);
        return v && *v >= 0.0 && *v <= 100.0;  // NaN fails both comparisons
    }
    return is_hhmmss(s);
}

void check_authority_value(std::string_view value, const PathRef& path, const Rule& not_uri,
                           const Rule& unknown, const Node* at, Report& report) {
    std::string_view host = text::trim(value);
    if (host.starts_with("https://"))
        host.remove_prefix(8);
    else if (host.starts_with("http://"))
        host.remove_prefix(7);
    host = host.substr(0, host.find_first_of("/?#"));
    if (host.starts_with("www.")) host.remove_prefix(4);
    if (!is_well_formed_host(host)) {
        report(not_uri, path, at);
        return;
    }
    if (!is_taxonomy_authority(host))
        report(unknown, path, at);
}

void check_ad_content(const TopLevel& top, Children children, const BodyNodes& body, std::span<const CreativeNodes> creatives,
                      const PathRef& content_path, std::optional<VastVersion> version, Report& report) {
    if (body.creatives) {
        const PathRef creatives_path = join(content_path, "/Creatives");
        std::size_t j = 0;
        for (const CreativeNodes& creative : creatives) {
            const PathRef creative_path = indexed(creatives_path, "Creative", j++);
            if (const Node* linear = creative.linear)
                check_linear(top, *linear, creative.in_linear, join(creative_path, "/Linear"), version, report);
            if (const Node* companion_ads = creative.companion_ads)
                check_companions(top, *companion_ads, creative_path, report);
        }
    }

    if (const Node* pricing = body.pricing)
        check_pricing(*pricing, join(content_path, "/Pricing"), version, report);

    if (version && *version >= VastVersion::V4_0 && body.category)
        check_authorities(top, children, content_path, "Category", kCategory, rule::vast_category_authority_not_uri,
                          rule::vast_category_authority_unknown, report);
    if (version && *version >= VastVersion::V4_1 && body.blocked_ad_categories)
        check_authorities(top, children, content_path, "BlockedAdCategories", kBlockedAdCategories,
                          rule::vast_blockedadcategories_authority_not_uri,
                          rule::vast_blockedadcategories_authority_unknown, report);
}

void check(const Node& root, const DetectedVersion& version, Report& report) {
    const TopLevel top = top_level(root);
    check_ad_types(top, all_ads(top), version, report);
    check_ads(root, top, all_ads(top), version, report);
}

void check_ad_types(const TopLevel& top, AdRange ads, const DetectedVersion& version, Report& report) {
    if (!version.at_least(VastVersion::V4_1)) return;
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        auto ad_type = ad.ad->attr("adType");
        if (ad_type && !one_of(*ad_type, kAdTypes)) {
            const PathRef ad_path = indexed(kVastPath, "Ad", i);
            report(rule::vast_adtype_value, attr_path(ad_path, "adType"), ad.ad);
        }
    }
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, const DetectedVersion& version, Report& report) {
    const std::optional<VastVersion> effective = version.effective();
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        if (const Node* inline_ = ad.inline_ad)
            check_ad_content(top, inline_->children(), ad.inline_body, top.range(ad.inline_first), join(ad_path, "/InLine"),
                             effective, report);
        if (const Node* wrapper = ad.wrapper)
            check_ad_content(top, wrapper->children(), ad.wrapper_body, top.range(ad.wrapper_first), join(ad_path, "/Wrapper"),
                             effective, report);
    }
}

}  // namespace adsieve::rules::values
