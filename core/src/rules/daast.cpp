// Checks on DAAST audio ad documents: the root and its version, the root
// <Error> URIs, each <Ad> with its InLine or Wrapper, and then the pricing and
// the linear creatives (VAST-only elements, duration, audio media files and
// the audio tracking events) of each InLine and Wrapper.
#include "rules/daast.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "rules/values.h"
#include "text.h"

namespace adsieve::rules::daast {

// Pricing (model and currency) of one InLine or Wrapper, given its children.
void check_pricing(Children children, const PathRef& content_path, Report& report);
// Linear creatives of one InLine or Wrapper; duration and media files only for an InLine.
void check_ad_content(Children children, const PathRef& content_path, bool is_inline,
                      Report& report);

namespace {

constexpr std::array<std::string_view, 13> kAudioEvents = {
    "creativeView", "start", "midpoint", "firstQuartile", "thirdQuartile", "complete", "mute",
    "unmute",       "pause", "rewind",   "resume",        "skip",          "progress"};

constexpr PathRef kDaastPath{nullptr, "/DAAST"};

constexpr std::array<std::string_view, 5> kPricingModels = {"cpm", "cpc", "cpe", "cpv", "cpo"};

void check_media_files(const Node& linear, const PathRef& linear_path, Report& report) {
    const Node* files = linear.child("MediaFiles");
    if (!files || !files->has_child("MediaFile")) {
        report(rule::daast_linear_mediafiles, linear_path, &linear);
        return;
    }
    const PathRef files_path = join(linear_path, "/MediaFiles");
    std::size_t m = 0;
    for (const Node& f : files->children()) {
        if (f.name() != "MediaFile") continue;
        const PathRef path = indexed(files_path, "MediaFile", m++);
        auto delivery = f.attr("delivery");
        if (!delivery)
            report(rule::daast_mediafile_delivery, path, &f);
        else if (*delivery != "progressive" && *delivery != "streaming")
            report(rule::daast_mediafile_delivery_enum, attr_path(path, "delivery"), &f);
        auto type = f.attr("type");
        if (!type)
            report(rule::daast_mediafile_type, path, &f);
        else if (type->size() > 5 && type->starts_with("video/"))
            report(rule::daast_mediafile_audio_type, attr_path(path, "type"), &f);
        if (!f.attr("id"))
            report(rule::daast_mediafile_id, path, &f);
        if (text::trim(f.text()).empty())
            report(rule::daast_mediafile_url_empty, path, &f);
    }
}

void check_tracking(const Node& linear, const PathRef& linear_path, Report& report) {
    const Node* events = linear.child("TrackingEvents");
    if (!events) return;
    const PathRef events_path = join(linear_path, "/TrackingEvents");
    std::size_t k = 0;
    for (const Node& t : events->children()) {
        if (t.name() != "Tracking") continue;
        std::size_t index = k++;
        auto event = t.attr("event");
        if (!event) continue;
        const PathRef path = indexed(events_path, "Tracking", index);
        if (!one_of(*event, kAudioEvents))
            report(rule::daast_tracking_event_value, attr_path(path, "event"), &t);
        if (*event != "progress") continue;
        auto offset = t.attr("offset");
        if (!offset)
            report(rule::daast_progress_offset, path, &t);
        else if (!values::is_valid_time_or_percent(text::trim(*offset)))
            report(rule::daast_progress_offset, attr_path(path, "offset"), &t);
    }
}

void check_linear(const Node& linear, const PathRef& linear_path, bool is_inline, Report& report) {
    if (const Node* clicks = linear.child("VideoClicks"))
        report(rule::daast_videoclicks_element, join(linear_path, "/VideoClicks"), clicks);
    if (const Node* old = linear.child("AudioInteractions"))
        report(rule::daast_audiointeractions_renamed, join(linear_path, "/AudioInteractions"), old);
    if (is_inline) {
        const Node* duration = linear.child("Duration");
        if (!duration) {
            report(rule::daast_linear_duration, linear_path, &linear);
        } else {
            std::string_view d = text::trim(duration->text());
            if (!d.empty() && !values::is_hhmmss(d))
                report(rule::daast_duration_format, join(linear_path, "/Duration"), duration);
        }
        check_media_files(linear, linear_path, report);
    }
    check_tracking(linear, linear_path, report);
}

void check_inline(const Node& inl, const PathRef& path, Report& report) {
    if (!inl.has_child("AdTitle"))
        report(rule::daast_inline_adtitle, path, &inl);
    if (!inl.has_child("Impression"))
        report(rule::daast_inline_impression, path, &inl);
    if (!inl.has_child("Category"))
        report(rule::daast_inline_category, path, &inl);
    const Node* creatives = inl.child("Creatives");
    if (!creatives || !creatives->has_child("Creative"))
        report(rule::daast_inline_creatives, path, &inl);
    check_pricing(inl.children(), path, report);
    check_ad_content(inl.children(), path, true, report);
}

void check_wrapper(const Node& wrapper, const PathRef& path, Report& report) {
    if (!wrapper.has_child("DAASTAdTagURI"))
        report(rule::daast_wrapper_daastadtaguri, path, &wrapper);
    if (const Node* vast_uri = wrapper.child("VASTAdTagURI"))
        report(rule::daast_wrapper_vast_adtaguri, join(path, "/VASTAdTagURI"), vast_uri);
    if (!wrapper.has_child("Impression"))
        report(rule::daast_wrapper_impression, path, &wrapper);
    check_pricing(wrapper.children(), path, report);
    check_ad_content(wrapper.children(), path, false, report);
}

void check_ad(const Node& ad, const PathRef& ad_path, Report& report) {
    const Node* inl = nullptr;
    const Node* wrapper = nullptr;
    std::size_t count = 0;
    for (const Node& c : ad.children()) {
        if (c.name() == "InLine") {
            ++count;
            if (!inl) inl = &c;
        } else if (c.name() == "Wrapper") {
            ++count;
            if (!wrapper) wrapper = &c;
        }
    }
    if (count != 1)
        report(rule::daast_ad_has_inline_or_wrapper, ad_path, &ad);
    if (inl) check_inline(*inl, join(ad_path, "/InLine"), report);
    if (wrapper) check_wrapper(*wrapper, join(ad_path, "/Wrapper"), report);
}

}  // namespace

void check_pricing(Children children, const PathRef& content_path, Report& report) {
    const Node* pricing = first_child(children, "Pricing");
    if (!pricing) return;
    const PathRef path = join(content_path, "/Pricing");
    auto model = pricing->attr("model");
    if (!model)
        report(rule::daast_pricing_model, path, pricing);
    else if (!one_of(text::ascii_lower(*model), kPricingModels))
        report(rule::daast_pricing_model_value, attr_path(path, "model"), pricing);
    if (!pricing->attr("currency"))
        report(rule::daast_pricing_currency, path, pricing);
}

void check_ad_content(Children children, const PathRef& content_path, bool is_inline,
                      Report& report) {
    const Node* creatives = first_child(children, "Creatives");
    if (!creatives) return;
    const PathRef creatives_path = join(content_path, "/Creatives");
    std::size_t j = 0;
    for (const Node& creative : creatives->children()) {
        if (creative.name() != "Creative") continue;
        std::size_t index = j++;
        const Node* linear = creative.child("Linear");
        if (!linear) continue;
        const PathRef creative_path = indexed(creatives_path, "Creative", index);
        check_linear(*linear, join(creative_path, "/Linear"), is_inline, report);
    }
}

void check(const Node& root, Report& report) {

    auto version = root.attr("version");
    if (!version) {
        report(rule::daast_root_version, "/DAAST", &root);
    } else {
        std::string_view v = text::trim(*version);
        if (v != "1.0" && v != "1.1")
            report(rule::daast_root_version_value, "/DAAST[@version]", &root);
    }

    if (!root.has_child("Ad") && !root.has_child("Error"))
        report(rule::daast_root_has_ad_or_error, "/DAAST", &root);

    std::size_t e = 0;
    for (const Node& c : root.children()) {
        if (c.name() != "Error") continue;
        const PathRef path = indexed(kDaastPath, "Error", e++);
        std::string_view uri = text::trim(c.text());
        if (uri.empty())
            report(rule::daast_error_url_empty, path, &c);
        else if (uri.find("[ERRORCODE]") == std::string_view::npos)
            report(rule::daast_error_tracking_macro, path, &c);
    }

    std::size_t i = 0;
    for (const Node& c : root.children())
        if (c.name() == "Ad") check_ad(c, indexed(kDaastPath, "Ad", i++), report);
}

}  // namespace adsieve::rules::daast
