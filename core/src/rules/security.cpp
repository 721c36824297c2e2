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
void report_url_element(const TopLevel& top, const Node& node, unsigned what, const WalkPath& path, Report& report) {
    std::optional<std::string_view> kept;  // the path as the first finding recorded it
    auto put = [&](const auto& r, const Node* at) {
        if (kept) report(r, PathArg::same_as(*kept), at);
        else kept = report(r, path, at);
    };
    if (what & kUrlCdata) put(rule::vast_url_cdata, &node);
    if (what & kUrlEmpty) put(rule::vast_url_empty, nullptr);
    if (what & kUrlInvalid) put(rule::vast_url_invalid, nullptr);
    if (!(what & kUrlHttp)) return;
    const int kind = kHttpsByCode[top.code(node)];
    if (kind == kTrackingElement)
        put(rule::vast_tracking_https, &node);
    else if (kind == kMediaFileElement)
        put(rule::vast_mediafile_https, &node);
    else
        put(rule::vast_click_tracking_https, &node);
}

// Reports the findings `found` of `node`'s subtree, in pre-order. Child paths
// index each child among all children of its parent. The walk that keeps
// paths goes only into the subtrees that hold the next finding.
void check_url_elements(const TopLevel& top, const Node& node, std::span<const UrlFinding> found, const PathRef& path,
                        Report& report) {
    if (found.empty()) return;
    const UrlFinding* next = found.data();
    const UrlFinding* const end = next + found.size();
    walk(node, path, Segment::NameIndex, [&](const Node& n, const WalkPath& p) {
        if (&n + n.span <= next->node) return Step::Over;  // holds no finding
        if (&n != next->node) return Step::Into;
        report_url_element(top, n, next->what, p, report);
        return ++next == end ? Step::Stop : Step::Into;
    });
}

void check(const Node& root, const DetectedVersion& version, Report& report) {
    TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), macros::first_url_findings(top, all_ads(top), version), version, report);
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, const UrlFindings& firsts, const DetectedVersion&,
           Report& report) {
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const AdUrlFirsts& first = firsts.ads[i - ads.begin];
        auto found = [&](const UrlFirsts& f) {
            return std::span<const UrlFinding>(firsts.security).subspan(f.security_begin, f.security_end - f.security_begin);
        };
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        if (const Node* inline_ad = ad.inline_ad)
            check_url_elements(top, *inline_ad, found(first.inline_ad), join(ad_path, "/InLine"), report);
        if (const Node* wrapper = ad.wrapper) {
            check_url_elements(top, *wrapper, found(first.wrapper), join(ad_path, "/Wrapper"), report);
            // The tag URI is checked once more under its plain path.
            if (const Node* tag = wrapper->child("VASTAdTagURI"))
                check_url_value(tag->text(), join(ad_path, "/Wrapper/VASTAdTagURI"), report);
        }
    }
}

}  // namespace adsieve::rules::security
