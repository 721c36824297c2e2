// URL security and validity: walks everything below each ad's InLine and
// Wrapper and checks the URLs a player will fetch.
#include "rules/security.h"

#include <array>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"
#include "url/url.h"

namespace adsieve::rules::security {

namespace {

// Elements whose content is a URL that must use https: the tracker and click
// elements, then Tracking and MediaFile, which have rules of their own.
constexpr std::array<std::string_view, 18> kHttpsElements = {
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
constexpr auto kHttpsElementSet = text::make_name_set(kHttpsElements);
constexpr int kTrackingElement = 16;
constexpr int kMediaFileElement = 17;
static_assert(kHttpsElements[kTrackingElement] == "Tracking" && kHttpsElements[kMediaFileElement] == "MediaFile");

bool is_valid_url(std::string_view s) {
    return text::starts_with(s, "data:") || s == "about:blank" || url::is_absolute_url(s);
}

bool is_plain_http(std::string_view s) noexcept { return text::starts_with(s, "http://"); }

}  // namespace

void check_url_value(std::string_view value, const PathRef& path, Report& report) {
    if (value.empty())
        report(rule::vast_url_empty, path, nullptr);
    else if (!is_valid_url(value))
        report(rule::vast_url_invalid, path, nullptr);
}

// The issues of one element of the walk, before those of its children; the
// path is written out only for a finding, and once for all of the element's.
void check_url_element(const Node& node, const WalkPath& path, Report& report) {
    const std::string_view value = node.text();
    // The URL test runs at most once per element.
    int valid = -1;
    auto is_valid = [&] {
        if (valid < 0) valid = !value.empty() && is_valid_url(value);
        return valid == 1;
    };
    std::optional<std::string_view> kept;  // the path as the first finding recorded it
    auto put = [&](const auto& r, const Node* at) {
        if (kept) report(r, PathArg::same_as(*kept), at);
        else kept = report(r, path, at);
    };
    if (node.children().empty() && !value.empty() && !node.has_cdata && is_valid()) put(rule::vast_url_cdata, &node);

    const int kind = kHttpsElementSet.find(node.name());
    if (kind < 0) return;
    if (value.empty()) put(rule::vast_url_empty, nullptr);
    else if (!is_valid()) put(rule::vast_url_invalid, nullptr);
    if (!is_plain_http(value)) return;
    if (kind == kTrackingElement)
        put(rule::vast_tracking_https, &node);
    else if (kind == kMediaFileElement)
        put(rule::vast_mediafile_https, &node);
    else
        put(rule::vast_click_tracking_https, &node);
}

namespace {

// Whether check_url_element reports anything for `node`.
bool has_url_finding(const Node& node) {
    const std::string_view value = node.text();
    if (kHttpsElementSet.find(node.name()) < 0)
        return !value.empty() && !node.has_cdata && !node.has_children() && is_valid_url(value);
    if (value.empty() || !is_valid_url(value)) return true;
    return (!node.has_cdata && !node.has_children()) || is_plain_http(value);
}

}  // namespace

// Checks `node` and its whole subtree in pre-order. Child paths index each
// child among all children of its parent. Most subtrees have nothing to
// report: a scan without paths finds the first element that has, and the walk
// that keeps paths checks from there on.
void check_url_elements(const Node& node, const PathRef& path, Report& report) {
    const Node* first = nullptr;
    walk(node, path, Segment::None, [&](const Node& n, const WalkPath&) {
        if (!has_url_finding(n)) return Step::Into;
        first = &n;
        return Step::Stop;
    });
    if (first == nullptr) return;
    // Nodes are in document order, so those before `first` were found clean.
    walk(node, path, Segment::NameIndex, [&](const Node& n, const WalkPath& p) {
        if (&n >= first) check_url_element(n, p, report);
        return Step::Into;
    });
}

void check(const Node& root, const DetectedVersion&, Report& report) {
    if (root.name() != "VAST") return;
    std::size_t i = 0;
    for (const Node& ad : root.children()) {
        if (ad.name() != "Ad") continue;
        const PathRef ad_path = indexed(kVastPath, "Ad", i++);
        if (const Node* inline_ad = ad.child("InLine"))
            check_url_elements(*inline_ad, join(ad_path, "/InLine"), report);
        if (const Node* wrapper = ad.child("Wrapper")) {
            check_url_elements(*wrapper, join(ad_path, "/Wrapper"), report);
            // The tag URI is checked once more under its plain path.
            if (const Node* tag = wrapper->child("VASTAdTagURI"))
                check_url_value(tag->text(), join(ad_path, "/Wrapper/VASTAdTagURI"), report);
        }
    }
}

}  // namespace adsieve::rules::security
