// Deprecated features: conditionalAd, Survey, apiFramework on MediaFile (VPAID
// in particular) and Flash media files.
#include "rules/deprecated.h"

#include <cstddef>
#include <string>
#include <string_view>

#include "text.h"

namespace adsieve::rules::deprecated {

namespace {

constexpr std::string_view kConditionalAdMsg = "conditionalAd attribute is deprecated as of VAST 4.1";
constexpr std::string_view kSurveyMsg =
    "<Survey> is deprecated as of VAST 4.1 — use <Extensions> or a custom solution";
constexpr std::string_view kVpaidMsg =
    "apiFramework=\"VPAID\" is deprecated as of VAST 4.1 — use SIMID or OMID instead";
constexpr std::string_view kApiFrameworkMsg =
    "<MediaFile apiFramework> is deprecated in VAST 4.0+ — use <InteractiveCreativeFile> instead";
constexpr std::string_view kFlashMsg = "Flash-based MediaFile type is no longer supported in modern browsers";

void check_survey(const Node& holder, std::string_view holder_path, const ValidationContext& ctx,
                  Issues& issues) {
    if (!holder.has_child("Survey")) return;
    // Reported at the element that holds the Survey.
    emit(ctx, issues, "VAST-4.1-survey-deprecated", kWarning, kSurveyMsg,
         std::string(holder_path) + "/Survey", "IAB VAST 4.1 §4", &holder);
}

void check_media_file(const Node& mf, const std::string& path, const DetectedVersion& version,
                      const ValidationContext& ctx, Issues& issues) {
    if (version.at_least(VastVersion::V4_0)) {
        if (auto api = mf.attr("apiFramework")) {
            if (version.at_least(VastVersion::V4_1) && text::iequals_ascii(*api, "vpaid")) {
                emit(ctx, issues, "VAST-4.1-vpaid-apiframework", kWarning, kVpaidMsg, path,
                     "IAB VAST 4.1 §2.3.5.1", &mf);
            } else {
                emit(ctx, issues, "VAST-4.0-mediafile-apiframework", kInfo, kApiFrameworkMsg, path,
                     "IAB VAST 4.0 §2.3.5.2", &mf);
            }
        }
    }
    if (auto type = mf.attr("type"); type && type->find("flash") != std::string_view::npos) {
        emit(ctx, issues, "VAST-2.0-flash-mediafile", kWarning, kFlashMsg, path,
             "IAB VAST 2.0 §2.3.5.2", &mf);
    }
}

void check_inline(const Node& inl, const std::string& inline_path, const DetectedVersion& version,
                  const ValidationContext& ctx, Issues& issues) {
    if (version.at_least(VastVersion::V4_1)) check_survey(inl, inline_path, ctx, issues);

    // The Creative counter runs across every Creatives container of the InLine.
    const std::string creatives_path = inline_path + "/Creatives";
    std::size_t c = 0;
    for (const Node& creatives : inl.children) {
        if (creatives.name != "Creatives") continue;
        for (const Node& creative : creatives.children) {
            if (creative.name != "Creative") continue;
            const std::size_t index = c++;
            const Node* linear = creative.child("Linear");
            if (!linear) continue;
            const Node* media_files = linear->child("MediaFiles");
            if (!media_files) continue;
            const std::string base = indexed(creatives_path, "Creative", index) + "/Linear/MediaFiles";
            std::size_t m = 0;
            for (const Node& mf : media_files->children) {
                if (mf.name != "MediaFile") continue;
                check_media_file(mf, indexed(base, "MediaFile", m++), version, ctx, issues);
            }
        }
    }
}

}  // namespace

void check(const VastDocument& doc, const DetectedVersion& version, const ValidationContext& ctx,
           Issues& issues) {
    if (doc.root.name != "VAST") return;
    const bool v41 = version.at_least(VastVersion::V4_1);
    std::size_t i = 0;
    for (const Node& ad : doc.root.children) {
        if (ad.name != "Ad") continue;
        const std::string ad_path = indexed("/VAST", "Ad", i++);
        if (v41 && ad.attr("conditionalAd")) {
            emit(ctx, issues, "VAST-4.0-conditionalad", kWarning, kConditionalAdMsg, ad_path,
                 "IAB VAST 4.1 §2.2.1", &ad);
        }
        if (const Node* inl = ad.child("InLine")) check_inline(*inl, ad_path + "/InLine", version, ctx, issues);
        if (const Node* wrapper = ad.child("Wrapper"); wrapper && v41)
            check_survey(*wrapper, ad_path + "/Wrapper", ctx, issues);
    }
}

}  // namespace adsieve::rules::deprecated
