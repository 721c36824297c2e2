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
#include "rules/macros.h"
#include "url/url.h"

namespace adsieve::rules::security {

namespace {

constexpr int kTrackingElement = 16;
constexpr int kMediaFileElement = 17;
static_assert(kHttpsElements[kTrackingElement] == "Tracking" && kHttpsElements[kMediaFileElement] == "MediaFile");

}  // namespace

void check_url_value(std::string_view value, const PathRef& path, Report& report) {
    if (value.empty())
        report(rule::vast_url_empty, path, nullptr);
    else if (!is_valid_url(value))
        report(rule::vast_url_invalid, path, nullptr);
}

// The issues of one element of the walk, before those of its children; the
// path is written out only for a finding, and once for all of the element's.
void check_url_element(const TopLevel& top, const Node& node, const WalkPath& path, Report& report) {
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
    const int kind = kHttpsByCode[top.code(node)];
    // Texts of other elements are mostly not URLs.
    if (node.children().empty() && !value.empty() && !node.has_cdata && (kind >= 0 || url::may_be_absolute_url(value)) &&
        is_valid())
        put(rule::vast_url_cdata, &node);
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

// Checks `node` and its whole subtree in pre-order. Child paths index each
// child among all children of its parent. Most subtrees have nothing to
// report: a scan without paths has found the first element that has (or
// none), and the walk that keeps paths checks from there on.
void check_url_elements(const TopLevel& top, const Node& node, const Node* first, const PathRef& path, Report& report) {
    if (first == nullptr) return;
    // Nodes are in document order, so those before `first` were found clean.
    walk(node, path, Segment::NameIndex, [&](const Node& n, const WalkPath& p) {
        if (&n >= first) check_url_element(top, n, p, report);
        else if (&n + n.span <= first) return Step::Over;  // a subtree found clean
        return Step::Into;
    });
}

void check(const Node& root, const DetectedVersion& version, Report& report) {
    TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), macros::first_url_findings(top, all_ads(top), version), version, report);
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, std::span<const AdUrlFirsts> firsts, const DetectedVersion&,
           Report& report) {
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const AdUrlFirsts& first = firsts[i - ads.begin];
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        if (const Node* inline_ad = ad.inline_ad)
            check_url_elements(top, *inline_ad, first.inline_ad.security, join(ad_path, "/InLine"), report);
        if (const Node* wrapper = ad.wrapper) {
            check_url_elements(top, *wrapper, first.wrapper.security, join(ad_path, "/Wrapper"), report);
            // The tag URI is checked once more under its plain path.
            if (const Node* tag = wrapper->child("VASTAdTagURI"))
                check_url_value(tag->text(), join(ad_path, "/Wrapper/VASTAdTagURI"), report);
        }
    }
}

}  // namespace adsieve::rules::security
