#include "rules/consistency.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "text.h"

namespace adsieve::rules::consistency {

namespace {

// Names below an ad's InLine and Wrapper are told apart by their codes.
constexpr unsigned kImpression = code_for("Impression");

// Impression texts compared with each other before a hash set is worth making.
constexpr std::size_t kFewImpressions = 16;

// Reports the first impression text repeated within one ad's container.
void check_duplicate_impressions(const TopLevel& top, const Node& container, const Node* first_impression, const PathRef& path,
                                 Report& report) {
    if (first_impression == nullptr) return;
    std::array<std::string_view, kFewImpressions> few;
    std::size_t count = 0;
    std::unordered_set<std::string_view> seen;  // once there are more
    for (const Node& c : Children(first_impression, &container + container.span)) {
        if (top.code(c) != kImpression) continue;
        std::string_view url = text::trim(c.text());
        if (url.empty()) continue;
        bool repeated;
        if (count < few.size()) {
            repeated = std::find(few.begin(), few.begin() + count, url) != few.begin() + count;
            few[count++] = url;
        } else {
            if (seen.empty()) seen.insert(few.begin(), few.end());
            repeated = !seen.insert(url).second;
        }
        if (repeated) {
            report(rule::vast_duplicate_impression, join(path, "/Impression"), nullptr);
            return;
        }
    }
}

}  // namespace

void check(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report) {
    const TopLevel top = parse_failed ? TopLevel{} : top_level(root);
    check_ads(root, top, all_ads(top), parse_failed, version, report);
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, bool parse_failed, const DetectedVersion& version, Report& report) {
    // A document that fails to parse is reported by this one issue alone.
    if (parse_failed) {
        if (ads.first()) report(rule::vast_parse_error, "/VAST", nullptr);
        return;
    }

    if (ads.first() && version.state == VersionState::Mismatch)
        report(rule::vast_version_mismatch, "/VAST", nullptr);
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        if (const Node* inline_ = ad.inline_ad)
            check_duplicate_impressions(top, *inline_, ad.inline_body.impression, join(ad_path, "/InLine"), report);
        else if (const Node* wrapper = ad.wrapper)
            check_duplicate_impressions(top, *wrapper, ad.wrapper_body.impression, join(ad_path, "/Wrapper"), report);
    }
}

}  // namespace adsieve::rules::consistency
