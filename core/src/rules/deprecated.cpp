// Deprecated features: conditionalAd, Survey, apiFramework on MediaFile (VPAID
// in particular) and Flash media files.
#include "rules/deprecated.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "text.h"

namespace adsieve::rules::deprecated {

namespace {

// Names below an ad's InLine and Wrapper are told apart by their codes.
constexpr unsigned kMediaFile = code_for("MediaFile");

void check_survey(const Node& holder, const BodyNodes& body, const PathRef& holder_path, Report& report) {
    if (!body.survey) return;
    // Reported at the element that holds the Survey.
    report(rule::vast_survey_deprecated, join(holder_path, "/Survey"), &holder);
}

// v40, v41: the document is at least VAST 4.0, 4.1.
void check_media_file(const Node& mf, const PathRef& path, bool v40, bool v41, Report& report) {
    if (v40) {
        if (auto api = mf.attr("apiFramework")) {
            if (v41 && text::iequals_ascii(*api, "vpaid")) {
                report(rule::vast_vpaid_apiframework, path, &mf);
            } else {
                report(rule::vast_mediafile_apiframework, path, &mf);
            }
        }
    }
    if (auto type = mf.attr("type"); type && type->find("flash") != std::string_view::npos) {
        report(rule::vast_flash_mediafile, path, &mf);
    }
}

void check_inline(const TopLevel& top, const Node& inl, const BodyNodes& body, std::span<const CreativeNodes> creatives,
                  const PathRef& inline_path, bool v40, bool v41, Report& report) {
    if (v41) check_survey(inl, body, inline_path, report);

    // The Creative counter runs across every Creatives container of the InLine.
    const PathRef creatives_path = join(inline_path, "/Creatives");
    std::size_t c = 0;
    for (const CreativeNodes& creative : creatives) {
        const std::size_t index = c++;
        const Node* media_files = creative.in_linear.media_files;
        const Node* first = creative.in_linear.media_file;
        if (!first) continue;
        const PathRef creative_path = indexed(creatives_path, "Creative", index);
        const PathRef base = join(creative_path, "/Linear/MediaFiles");
        std::size_t m = 0;
        for (const Node& mf : Children(first, media_files + media_files->span)) {
            if (top.code(mf) != kMediaFile) continue;
            check_media_file(mf, indexed(base, "MediaFile", m++), v40, v41, report);
        }
    }
}

}  // namespace

void check(const Node& root, const DetectedVersion& version, Report& report) {
    const TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), version, report);
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, const DetectedVersion& version, Report& report) {
    const bool v40 = version.at_least(VastVersion::V4_0), v41 = version.at_least(VastVersion::V4_1);
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        if (v41 && ad.ad->attr("conditionalAd")) {
            report(rule::vast_conditionalad, ad_path, ad.ad);
        }
        if (const Node* inl = ad.inline_ad)
            check_inline(top, *inl, ad.inline_body, top.range(ad.inline_all), join(ad_path, "/InLine"), v40, v41, report);
        if (const Node* wrapper = ad.wrapper; wrapper && v41)
            check_survey(*wrapper, ad.wrapper_body, join(ad_path, "/Wrapper"), report);
    }
}

}  // namespace adsieve::rules::deprecated
