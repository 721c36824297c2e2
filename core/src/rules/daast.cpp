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
void check_pricing(std::span<const Node> children, const std::string& content_path, const ValidationContext& ctx,
                   Issues& issues);
// Linear creatives of one InLine or Wrapper; duration and media files only for an InLine.
void check_ad_content(std::span<const Node> children, const std::string& content_path, bool is_inline,
                      const ValidationContext& ctx, Issues& issues);

namespace {

constexpr std::array<std::string_view, 13> kAudioEvents = {
    "creativeView", "start", "midpoint", "firstQuartile", "thirdQuartile", "complete", "mute",
    "unmute",       "pause", "rewind",   "resume",        "skip",          "progress"};

constexpr std::array<std::string_view, 5> kPricingModels = {"cpm", "cpc", "cpe", "cpv", "cpo"};

void check_media_files(const Node& linear, const std::string& linear_path, const ValidationContext& ctx,
                       Issues& issues) {
    const Node* files = linear.child("MediaFiles");
    if (!files || !files->has_child("MediaFile")) {
        emit(ctx, issues, "DAAST-1.0-linear-mediafiles", kError,
             "DAAST <Linear> must contain <MediaFiles> with at least one <MediaFile>", linear_path,
             "IAB DAAST 1.0 §3.2.1.3", &linear);
        return;
    }
    std::string files_path = join(linear_path, "/MediaFiles");
    std::size_t m = 0;
    for (const Node& f : files->children) {
        if (f.name != "MediaFile") continue;
        std::string path = indexed(files_path, "MediaFile", m++);
        auto delivery = f.attr("delivery");
        if (!delivery)
            emit(ctx, issues, "DAAST-1.0-mediafile-delivery", kError, "DAAST <MediaFile> must have a delivery attribute",
                 path, "IAB DAAST 1.0 §3.2.1.4", &f);
        else if (*delivery != "progressive" && *delivery != "streaming")
            emit(ctx, issues, "DAAST-1.0-mediafile-delivery-enum", kError,
                 "DAAST <MediaFile> delivery must be \"progressive\" or \"streaming\"", attr_path(path, "delivery"),
                 "IAB DAAST 1.0 §3.2.1.4", &f);
        auto type = f.attr("type");
        if (!type)
            emit(ctx, issues, "DAAST-1.0-mediafile-type", kError,
                 "DAAST <MediaFile> must have a type attribute with the audio MIME type", path, "IAB DAAST 1.0 §3.2.1.4",
                 &f);
        else if (type->size() > 5 && type->starts_with("video/"))
            emit(ctx, issues, "DAAST-1.0-mediafile-audio-type", kWarning,
                 "DAAST <MediaFile> type is a video MIME type — DAAST creative is audio", attr_path(path, "type"),
                 "IAB DAAST 1.0 §3.2.1.4", &f);
        if (!f.attr("id"))
            emit(ctx, issues, "DAAST-1.0-mediafile-id", kWarning,
                 "DAAST <MediaFile> should have an id attribute (required by the DAAST XSD)", path,
                 "IAB DAAST 1.0 §3.2.1.4", &f);
        if (text::trim(f.text).empty())
            emit(ctx, issues, "DAAST-1.0-mediafile-url-empty", kError, "DAAST <MediaFile> does not contain a media URI",
                 path, "IAB DAAST 1.0 §3.2.1.4", &f);
    }
}

void check_tracking(const Node& linear, const std::string& linear_path, const ValidationContext& ctx,
                    Issues& issues) {
    const Node* events = linear.child("TrackingEvents");
    if (!events) return;
    std::string events_path = join(linear_path, "/TrackingEvents");
    std::size_t k = 0;
    for (const Node& t : events->children) {
        if (t.name != "Tracking") continue;
        std::size_t index = k++;
        auto event = t.attr("event");
        if (!event) continue;
        std::string path = indexed(events_path, "Tracking", index);
        if (!one_of(*event, kAudioEvents))
            emit(ctx, issues, "DAAST-1.0-tracking-event-value", kError,
                 "DAAST <Tracking> event is not in the DAAST audio event set", attr_path(path, "event"),
                 "IAB DAAST 1.0 §3.2.1.7", &t);
        if (*event != "progress") continue;
        auto offset = t.attr("offset");
        if (!offset)
            emit(ctx, issues, "DAAST-1.0-progress-offset", kError,
                 "DAAST <Tracking event=\"progress\"> requires an offset attribute", path, "IAB DAAST 1.0 §3.2.4.3",
                 &t);
        else if (!values::is_valid_time_or_percent(text::trim(*offset)))
            emit(ctx, issues, "DAAST-1.0-progress-offset", kError,
                 "DAAST <Tracking event=\"progress\"> requires an offset attribute", attr_path(path, "offset"),
                 "IAB DAAST 1.0 §3.2.4.3", &t);
    }
}

void check_linear(const Node& linear, const std::string& linear_path, bool is_inline, const ValidationContext& ctx,
                  Issues& issues) {
    if (const Node* clicks = linear.child("VideoClicks"))
        emit(ctx, issues, "DAAST-1.0-videoclicks-element", kWarning,
             "<VideoClicks> is a VAST element — DAAST uses <AdInteractions> for click elements",
             join(linear_path, "/VideoClicks"), "IAB DAAST 1.0 §3.2.1.6", clicks);
    if (const Node* old = linear.child("AudioInteractions"))
        emit(ctx, issues, "DAAST-1.0-audiointeractions-renamed", kWarning,
             "<AudioInteractions> was renamed <AdInteractions> in the final DAAST release",
             join(linear_path, "/AudioInteractions"), "IAB DAAST 1.1 Document Updates", old);
    if (is_inline) {
        const Node* duration = linear.child("Duration");
        if (!duration) {
            emit(ctx, issues, "DAAST-1.0-linear-duration", kError, "DAAST <Linear> must contain <Duration>", linear_path,
                 "IAB DAAST 1.0 §3.2.1.2", &linear);
        } else {
            std::string_view d = text::trim(duration->text);
            if (!d.empty() && !values::is_hhmmss(d))
                emit(ctx, issues, "DAAST-1.0-duration-format", kError,
                     "DAAST <Duration> value does not match required format HH:MM:SS or HH:MM:SS.mmm",
                     join(linear_path, "/Duration"), "IAB DAAST 1.0 §3.2.1.2", duration);
        }
        check_media_files(linear, linear_path, ctx, issues);
    }
    check_tracking(linear, linear_path, ctx, issues);
}

void check_inline(const Node& inl, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    if (!inl.has_child("AdTitle"))
        emit(ctx, issues, "DAAST-1.0-inline-adtitle", kError, "DAAST <InLine> must contain <AdTitle>", path,
             "IAB DAAST 1.0 §3.1.4.1", &inl);
    if (!inl.has_child("Impression"))
        emit(ctx, issues, "DAAST-1.0-inline-impression", kError, "DAAST <InLine> must contain at least one <Impression>",
             path, "IAB DAAST 1.0 §3.1.4.1", &inl);
    if (!inl.has_child("Category"))
        emit(ctx, issues, "DAAST-1.0-inline-category", kError,
             "DAAST <InLine> must contain <Category> identifying the ad category code", path, "IAB DAAST 1.0 §3.1.4.1",
             &inl);
    const Node* creatives = inl.child("Creatives");
    if (!creatives || !creatives->has_child("Creative"))
        emit(ctx, issues, "DAAST-1.0-inline-creatives", kError,
             "DAAST <InLine> must contain <Creatives> with at least one <Creative>", path, "IAB DAAST 1.0 §3.1.6", &inl);
    check_pricing(inl.children, path, ctx, issues);
    check_ad_content(inl.children, path, true, ctx, issues);
}

void check_wrapper(const Node& wrapper, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    if (!wrapper.has_child("DAASTAdTagURI"))
        emit(ctx, issues, "DAAST-1.0-wrapper-daastadtaguri", kError, "DAAST <Wrapper> must contain <DAASTAdTagURI>",
             path, "IAB DAAST 1.0 §3.3.1.1", &wrapper);
    if (const Node* vast_uri = wrapper.child("VASTAdTagURI"))
        emit(ctx, issues, "DAAST-1.0-wrapper-vast-adtaguri", kWarning,
             "<VASTAdTagURI> is a VAST element — DAAST wrappers redirect via <DAASTAdTagURI>",
             join(path, "/VASTAdTagURI"), "IAB DAAST 1.0 §3.3.1.1", vast_uri);
    if (!wrapper.has_child("Impression"))
        emit(ctx, issues, "DAAST-1.0-wrapper-impression", kError,
             "DAAST <Wrapper> must contain at least one <Impression>", path, "IAB DAAST 1.0 §3.3.1.1", &wrapper);
    check_pricing(wrapper.children, path, ctx, issues);
    check_ad_content(wrapper.children, path, false, ctx, issues);
}

void check_ad(const Node& ad, const std::string& ad_path, const ValidationContext& ctx, Issues& issues) {
    const Node* inl = nullptr;
    const Node* wrapper = nullptr;
    std::size_t count = 0;
    for (const Node& c : ad.children) {
        if (c.name == "InLine") {
            ++count;
            if (!inl) inl = &c;
        } else if (c.name == "Wrapper") {
            ++count;
            if (!wrapper) wrapper = &c;
        }
    }
    if (count != 1)
        emit(ctx, issues, "DAAST-1.0-ad-has-inline-or-wrapper", kError,
             "Each DAAST <Ad> must contain exactly one <InLine> or <Wrapper>", ad_path, "IAB DAAST 1.0 §3.1.2", &ad);
    if (inl) check_inline(*inl, join(ad_path, "/InLine"), ctx, issues);
    if (wrapper) check_wrapper(*wrapper, join(ad_path, "/Wrapper"), ctx, issues);
}

}  // namespace

void check_pricing(std::span<const Node> children, const std::string& content_path, const ValidationContext& ctx,
                   Issues& issues) {
    const Node* pricing = first_child(children, "Pricing");
    if (!pricing) return;
    std::string path = join(content_path, "/Pricing");
    auto model = pricing->attr("model");
    if (!model)
        emit(ctx, issues, "DAAST-1.0-pricing-model", kError, "DAAST <Pricing> is missing the required model attribute",
             path, "IAB DAAST 1.0 §3.1.4.2", pricing);
    else if (!one_of(text::ascii_lower(*model), kPricingModels))
        emit(ctx, issues, "DAAST-1.0-pricing-model-value", kWarning,
             "DAAST <Pricing> model must be one of cpm, cpc, cpe, cpv, cpo", attr_path(path, "model"),
             "IAB DAAST 1.0 §3.1.4.2", pricing);
    if (!pricing->attr("currency"))
        emit(ctx, issues, "DAAST-1.0-pricing-currency", kError,
             "DAAST <Pricing> is missing the required currency attribute", path, "IAB DAAST 1.0 §3.1.4.2", pricing);
}

void check_ad_content(std::span<const Node> children, const std::string& content_path, bool is_inline,
                      const ValidationContext& ctx, Issues& issues) {
    const Node* creatives = first_child(children, "Creatives");
    if (!creatives) return;
    std::string creatives_path = join(content_path, "/Creatives");
    std::size_t j = 0;
    for (const Node& creative : creatives->children) {
        if (creative.name != "Creative") continue;
        std::size_t index = j++;
        const Node* linear = creative.child("Linear");
        if (!linear) continue;
        check_linear(*linear, join(indexed(creatives_path, "Creative", index), "/Linear"), is_inline, ctx, issues);
    }
}

void check(const VastDocument& doc, const ValidationContext& ctx, Issues& issues) {
    const Node& root = doc.root;

    auto version = root.attr("version");
    if (!version) {
        emit(ctx, issues, "DAAST-1.0-root-version", kError, "Root <DAAST> element is missing the required version attribute",
             std::string("/DAAST"), "IAB DAAST 1.0 §3.1.1", &root);
    } else {
        std::string_view v = text::trim(*version);
        if (v != "1.0" && v != "1.1")
            emit(ctx, issues, "DAAST-1.0-root-version-value", kWarning,
                 "<DAAST> version attribute is not a recognised version (\"1.0\" or \"1.1\")",
                 std::string("/DAAST[@version]"), "IAB DAAST 1.0 §3.1.1", &root);
    }

    if (!root.has_child("Ad") && !root.has_child("Error"))
        emit(ctx, issues, "DAAST-1.0-root-has-ad-or-error", kError,
             "<DAAST> must contain at least one <Ad> or <Error> element", std::string("/DAAST"), "IAB DAAST 1.0 §3.1.2",
             &root);

    std::size_t e = 0;
    for (const Node& c : root.children) {
        if (c.name != "Error") continue;
        std::string path = indexed("/DAAST", "Error", e++);
        std::string_view uri = text::trim(c.text);
        if (uri.empty())
            emit(ctx, issues, "DAAST-1.0-error-url-empty", kWarning,
                 "DAAST <Error> element is present but contains no URI — error events will not fire", std::move(path),
                 "IAB DAAST 1.0 §3.1.3", &c);
        else if (uri.find("[ERRORCODE]") == std::string_view::npos)
            emit(ctx, issues, "DAAST-1.0-error-tracking-macro", kInfo,
                 "DAAST <Error> URI does not include the [ERRORCODE] macro — error diagnostics will be incomplete",
                 std::move(path), "IAB DAAST 1.0 §3.1.3", &c);
    }

    std::size_t i = 0;
    for (const Node& c : root.children)
        if (c.name == "Ad") check_ad(c, indexed("/DAAST", "Ad", i++), ctx, issues);
}

}  // namespace adsieve::rules::daast
