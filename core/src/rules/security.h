#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "rules/rules.h"
#include "text.h"
#include "url/url.h"

namespace adsieve::rules::security {

void check(const Node& root, const DetectedVersion& version, Report& report);
// The same with the root's children already sorted out, for the ads in
// `ads` (see AdRange), and with the elements each of them reports something
// for (`firsts.ads[0]` for the first of them; see first_url_findings in
// macros.h).
void check_ads(const Node& root, const TopLevel& top, AdRange ads, const UrlFindings& firsts, const DetectedVersion& version,
           Report& report);

// Elements whose content is a URL that must use https: the tracker and click
// elements, then Tracking and MediaFile, which have rules of their own.
inline constexpr std::array<std::string_view, 18> kHttpsElements = {
    "Error",
    "Impression",
    "ClickThrough",
    "ClickTracking",
    "CustomClick",
    "Viewable",
    "NotViewable",
    "ViewUndetermined",
    "IconClickThrough",
    "IconClickTracking",
    "IconViewTracking",
    "NonLinearClickThrough",
    "NonLinearClickTracking",
    "CompanionClickThrough",
    "CompanionClickTracking",
    "VASTAdTagURI",
    "Tracking",
    "MediaFile",
};
inline constexpr auto kHttpsElementSet = text::make_name_set(kHttpsElements);
// An element's place in kHttpsElements by its code (TopLevel::code), or -1.
inline constexpr auto kHttpsByCode =
    by_code<std::int8_t>(-1, [](std::string_view n) { return static_cast<std::int8_t>(kHttpsElementSet.find(n)); });
static_assert([] {
    for (std::string_view name : kHttpsElements)
        if (kElementSet.find(name) < 0) return false;
    return true;
}());

// Whether `s` starts with the literal `prefix`; compiles to a compare of a
// few bytes in place.
template <std::size_t N>
inline bool has_prefix(std::string_view s, const char (&prefix)[N]) noexcept {
    return s.size() >= N - 1 && std::memcmp(s.data(), prefix, N - 1) == 0;
}

inline bool is_valid_url(std::string_view s) {
    // Most texts asked about are plain web URLs: the quick test goes first.
    return url::is_plain_web_url(s) || has_prefix(s, "data:") || s == "about:blank" ||
           url::parses_as_absolute_url(s);
}

inline bool is_plain_http(std::string_view s) noexcept { return has_prefix(s, "http://"); }

// What the walk below an ad's InLine or Wrapper reports for an element, as
// bits: a URL outside CDATA, an empty or invalid URL, a plain http URL.
inline constexpr unsigned kUrlCdata = 1, kUrlEmpty = 2, kUrlInvalid = 4, kUrlHttp = 8;

// The findings of `node` (UrlFinding::what), 0 for none; `https` is the node
// name's place in kHttpsElements, or -1.
inline unsigned url_findings(const Node& node, int https) {
    const std::string_view value = node.text();
    const bool bare = !node.has_cdata && !node.has_children();
    // Texts of other elements are mostly not URLs.
    if (https < 0) return !value.empty() && bare && url::may_be_absolute_url(value) && is_valid_url(value) ? kUrlCdata : 0;
    if (value.empty()) return kUrlEmpty;
    const unsigned f = !is_valid_url(value) ? kUrlInvalid : bare ? kUrlCdata : 0;
    return is_plain_http(value) ? f | kUrlHttp : f;
}

}  // namespace adsieve::rules::security
