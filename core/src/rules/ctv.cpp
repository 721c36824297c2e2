// Connected-TV and server-side insertion readiness of 4.1+ linear ads.
#include "rules/ctv.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "text.h"

namespace adsieve::rules::ctv {

namespace {

// Names below an ad's InLine and Wrapper are told apart by their codes.
constexpr unsigned kMediaFile = code_for("MediaFile");

void check_media_files(const TopLevel& top, const Node& media_files, const LinearNodes& in_linear, const PathRef& linear_path,
                       Report& report) {
    const PathRef mf_path = join(linear_path, "/MediaFiles");
    if (!in_linear.mezzanine)
        report(rule::vast_mezzanine_recommended, mf_path, &media_files);
    if (!in_linear.interactive_creative_file) return;
    std::size_t k = 0;
    for (const Node& mf : media_files.children()) {
        if (top.code(mf) != kMediaFile) continue;
        const std::size_t index = k++;
        auto api = mf.attr("apiFramework");
        if (api && text::iequals_ascii(*api, "vpaid"))
            report(rule::vast_vpaid_in_interactive_context, indexed(mf_path, "MediaFile", index), &mf);
    }
}

void check_inline(const TopLevel& top, const BodyNodes& body, std::span<const CreativeNodes> creatives, const PathRef& inline_path,
                  Report& report) {
    const PathRef creatives_path = join(inline_path, "/Creatives");
    bool serving_id_checked = false;
    std::size_t j = 0;
    for (const CreativeNodes& creative : creatives) {
        const std::size_t index = j++;
        const Node* media_files = creative.in_linear.media_files;
        if (!media_files) continue;
        const PathRef creative_path = indexed(creatives_path, "Creative", index);
        check_media_files(top, *media_files, creative.in_linear, join(creative_path, "/Linear"), report);
        // The serving identifier is looked at once, by the first Creative with MediaFiles.
        if (serving_id_checked) continue;
        serving_id_checked = true;
        const Node* sid = body.ad_serving_id;
        if (sid && text::trim(sid->text()).empty())
            report(rule::vast_ad_serving_id_empty, join(inline_path, "/AdServingId"), sid);
    }
}

}  // namespace

void check(const Node& root, const DetectedVersion& version, Report& report) {
    const TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), version, report);
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, const DetectedVersion& version, Report& report) {
    if (!version.at_least(VastVersion::V4_1)) return;
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        if (ad.inline_ad) check_inline(top, ad.inline_body, top.range(ad.inline_first), join(ad_path, "/InLine"), report);
    }
}

}  // namespace adsieve::rules::ctv
