// SIMID interactive creatives: InteractiveCreativeFile in linear MediaFiles,
// and NonLinear / IFrameResource in non-linear creatives.
#include "rules/simid.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"

namespace adsieve::rules::simid {

namespace {

// Names below an ad's InLine and Wrapper are told apart by their codes.
constexpr unsigned kMediaFile = code_for("MediaFile"), kInteractiveCreativeFile = code_for("InteractiveCreativeFile"),
                   kNonLinear = code_for("NonLinear"), kIFrameResource = code_for("IFrameResource");

bool is_simid(const Node& n) {
    auto api = n.attr("apiFramework");
    return api && *api == "SIMID";
}

bool is_html_type(const Node& n) {
    auto type = n.attr("type");
    return type && *type == "text/html";
}

bool is_insecure_url(std::string_view url) { return text::starts_with(url, "http://"); }

bool is_audio_video_media_file(const TopLevel& top, const Node& mf) {
    if (top.code(mf) != kMediaFile) return false;
    auto type = mf.attr("type");
    return type && (text::starts_with(*type, "video/") || text::starts_with(*type, "audio/") ||
                    *type == "application/x-mpegURL");
}

void check_interactive_file(const Node& icf, const PathRef& path, Report& report) {
    if (!is_html_type(icf))
        report(rule::simid_simid_type_required, path, &icf);
    const std::string_view url = text::trim(icf.text());
    if (url.empty())
        report(rule::simid_simid_url_empty, path, &icf);
    else if (is_insecure_url(url))
        report(rule::simid_simid_url_https, path, &icf);
    if (auto vd = icf.attr("variableDuration"); vd && *vd != "true")
        report(rule::simid_simid_variable_duration_value, path, &icf);
}

void check_linear(const TopLevel& top, const Node& linear, const LinearNodes& in_linear, const PathRef& linear_path, Report& report) {
    const Node* media_files = in_linear.media_files;
    // Everything here is about interactive files.
    if (!media_files || !in_linear.interactive_creative_file) return;
    bool has_media = false;
    for (const Node& mf : media_files->children())
        if (is_audio_video_media_file(top, mf)) has_media = true;
    const PathRef base = join(linear_path, "/MediaFiles");
    bool has_simid = false;
    std::size_t n = 0;
    for (const Node& icf : media_files->children()) {
        if (top.code(icf) != kInteractiveCreativeFile) continue;
        const std::size_t index = n++;
        if (!is_simid(icf)) continue;
        has_simid = true;
        check_interactive_file(icf, indexed(base, "InteractiveCreativeFile", index), report);
    }
    if (has_simid && !has_media)
        report(rule::simid_simid_mediafile_required, linear_path, &linear);
}

// The checks on one SIMID IFrameResource.
void check_iframe_resource(const Node& iframe, const PathRef& path, Report& report) {
    if (!is_html_type(iframe))
        report(rule::simid_iframe_simid_type_required, path, &iframe);
    const std::string_view url = text::trim(iframe.text());
    if (url.empty())
        report(rule::simid_iframe_simid_url_empty, path, &iframe);
    else if (is_insecure_url(url))
        report(rule::simid_iframe_simid_url_https, path, &iframe);
}

// The non-linear part, shared by InLine and Wrapper creatives.
void check_nonlinear_ads(const TopLevel& top, const CreativeNodes& creative, const PathRef& creative_path, Report& report) {
    const Node* ads = creative.nonlinear_ads;
    if (!ads) return;
    const PathRef base = join(creative_path, "/NonLinearAds");
    std::size_t k = 0;
    for (const Node& nl : ads->children()) {
        if (top.code(nl) != kNonLinear) continue;
        const PathRef nl_path = indexed(base, "NonLinear", k++);
        const bool simid_nonlinear = is_simid(nl);
        if (simid_nonlinear && !first_coded(top, nl, kIFrameResource))
            report(rule::simid_nonlinear_simid_no_iframe, nl_path, &nl);
        std::size_t j = 0;
        for (const Node& iframe : nl.children()) {
            if (top.code(iframe) != kIFrameResource) continue;
            const std::size_t index = j++;
            if (simid_nonlinear || is_simid(iframe))
                check_iframe_resource(iframe, indexed(nl_path, "IFrameResource", index), report);
        }
    }
}

}  // namespace

void check(const Node& root, const DetectedVersion& version, Report& report) {
    const TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), version, report);
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, const DetectedVersion&, Report& report) {
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        if (ad.inline_body.creatives) {
            const PathRef base = join(ad_path, "/InLine/Creatives");
            std::size_t m = 0;
            for (const CreativeNodes& creative : top.range(ad.inline_first)) {
                const PathRef creative_path = indexed(base, "Creative", m++);
                if (const Node* linear = creative.linear)
                    check_linear(top, *linear, creative.in_linear, join(creative_path, "/Linear"), report);
                check_nonlinear_ads(top, creative, creative_path, report);
            }
        }
        if (ad.wrapper_body.creatives) {
            const PathRef base = join(ad_path, "/Wrapper/Creatives");
            std::size_t m = 0;
            for (const CreativeNodes& creative : top.range(ad.wrapper_first))
                check_nonlinear_ads(top, creative, indexed(base, "Creative", m++), report);
        }
    }
}

}  // namespace adsieve::rules::simid
