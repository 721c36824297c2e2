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
// `ads` (see AdRange), and with where each of them finds its first issue
// (`firsts[0]` for the first of them; see first_url_findings in macros.h).
void check_ads(const Node& root, const TopLevel& top, AdRange ads, std::span<const AdUrlFirsts> firsts, const DetectedVersion& version,
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

// Whether the walk below an ad's InLine or Wrapper reports anything for
// `node`; `https` is the node name's place in kHttpsElements, or -1.
inline bool has_url_finding(const Node& node, int https) {
    const std::string_view value = node.text();
    if (https < 0)
        return !value.empty() && !node.has_cdata && !node.has_children() && url::may_be_absolute_url(value) &&
               is_valid_url(value);
    if (value.empty() || !is_valid_url(value)) return true;
    return (!node.has_cdata && !node.has_children()) || is_plain_http(value);
}

}  // namespace adsieve::rules::security
