// The schema family: walks the ad structure of a VAST document against one
// fixed element vocabulary (admitted children, allowed attributes, text-only
// elements) and checks the extension containers it meets on the way.
//
// The container walk follows the vocabulary, so its nesting is bounded by the
// vocabulary and not by the document; the scan of extension content, which
// may nest arbitrarily deep, uses an explicit stack.
#include "rules/schema.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "url/url.h"

namespace adsieve::rules::schema {
namespace {

using Names = std::span<const std::string_view>;

// ---------------------------------------------------------------------------
// Attribute lists

constexpr std::array<std::string_view, 1> kAttrsVersion{"version"};
constexpr std::array<std::string_view, 1> kAttrsId{"id"};
constexpr std::array<std::string_view, 4> kAttrsAd{"id", "adType", "sequence", "conditionalAd"};
constexpr std::array<std::string_view, 3> kAttrsWrapper{"fallbackOnNoAd", "allowMultipleAds",
                                                        "followAdditionalWrappers"};
constexpr std::array<std::string_view, 4> kAttrsCreative{"id", "adId", "sequence", "apiFramework"};
constexpr std::array<std::string_view, 1> kAttrsLinear{"skipoffset"};
constexpr std::array<std::string_view, 9> kAttrsIcon{"width",    "height",    "offset",
                                                     "program",  "pxratio",   "duration",
                                                     "xPosition", "yPosition", "apiFramework"};
constexpr std::array<std::string_view, 9> kAttrsNonLinear{
    "id",           "width",          "height",
    "scalable",     "apiFramework",   "expandedWidth",
    "expandedHeight", "maintainAspectRatio", "minSuggestedDuration"};
constexpr std::array<std::string_view, 1> kAttrsCompanionAds{"required"};
constexpr std::array<std::string_view, 11> kAttrsCompanion{
    "id",          "width",       "height",        "pxratio",
    "adSlotId",    "assetWidth",  "assetHeight",   "apiFramework",
    "expandedWidth", "renderingMode", "expandedHeight"};

constexpr std::array<std::string_view, 2> kAttrsPricing{"model", "currency"};
constexpr std::array<std::string_view, 1> kAttrsSurvey{"type"};
constexpr std::array<std::string_view, 2> kAttrsUniversalAdId{"idRegistry", "idValue"};
constexpr std::array<std::string_view, 1> kAttrsAdParameters{"xmlEncoded"};
constexpr std::array<std::string_view, 14> kAttrsMediaFile{
    "id",         "delivery",   "type",     "width",
    "height",     "codec",      "bitrate",  "minBitrate",
    "maxBitrate", "scalable",   "maintainAspectRatio",
    "apiFramework", "fileSize", "mediaType"};
constexpr std::array<std::string_view, 8> kAttrsMezzanine{"id",     "delivery", "type",     "width",
                                                          "height", "codec",    "fileSize", "mediaType"};
constexpr std::array<std::string_view, 3> kAttrsInteractiveCreativeFile{"type", "apiFramework",
                                                                        "variableDuration"};
constexpr std::array<std::string_view, 2> kAttrsClosedCaptionFile{"type", "language"};
constexpr std::array<std::string_view, 2> kAttrsTracking{"event", "offset"};
constexpr std::array<std::string_view, 1> kAttrsStaticResource{"creativeType"};

constexpr Names kNoAttrs{};

// ---------------------------------------------------------------------------
// Text-only elements: name and allowed attributes

struct TextOnly {
    std::string_view name;
    Names attrs;
};

constexpr TextOnly kAdSystem{"AdSystem", kAttrsVersion};
constexpr TextOnly kAdTitle{"AdTitle", kNoAttrs};
constexpr TextOnly kAdServingId{"AdServingId", kNoAttrs};
constexpr TextOnly kDescription{"Description", kNoAttrs};
constexpr TextOnly kAdvertiser{"Advertiser", kNoAttrs};
constexpr TextOnly kPricing{"Pricing", kAttrsPricing};
constexpr TextOnly kSurvey{"Survey", kAttrsSurvey};
constexpr TextOnly kErrorElement{"Error", kNoAttrs};
constexpr TextOnly kImpression{"Impression", kAttrsId};
constexpr TextOnly kVastAdTagUri{"VASTAdTagURI", kNoAttrs};
constexpr TextOnly kUniversalAdId{"UniversalAdId", kAttrsUniversalAdId};
constexpr TextOnly kDuration{"Duration", kNoAttrs};
constexpr TextOnly kAdParameters{"AdParameters", kAttrsAdParameters};
constexpr TextOnly kMediaFile{"MediaFile", kAttrsMediaFile};
constexpr TextOnly kMezzanine{"Mezzanine", kAttrsMezzanine};
constexpr TextOnly kInteractiveCreativeFile{"InteractiveCreativeFile", kAttrsInteractiveCreativeFile};
constexpr TextOnly kClosedCaptionFile{"ClosedCaptionFile", kAttrsClosedCaptionFile};
constexpr TextOnly kClickThrough{"ClickThrough", kAttrsId};
constexpr TextOnly kClickTracking{"ClickTracking", kAttrsId};
constexpr TextOnly kCustomClick{"CustomClick", kAttrsId};
constexpr TextOnly kTracking{"Tracking", kAttrsTracking};
constexpr TextOnly kStaticResource{"StaticResource", kAttrsStaticResource};
constexpr TextOnly kIFrameResource{"IFrameResource", kNoAttrs};
constexpr TextOnly kHtmlResource{"HTMLResource", kNoAttrs};
constexpr TextOnly kIconViewTracking{"IconViewTracking", kNoAttrs};
constexpr TextOnly kIconClickThrough{"IconClickThrough", kNoAttrs};
constexpr TextOnly kIconClickTracking{"IconClickTracking", kAttrsId};
constexpr TextOnly kNonLinearClickThrough{"NonLinearClickThrough", kNoAttrs};
constexpr TextOnly kNonLinearClickTracking{"NonLinearClickTracking", kAttrsId};
constexpr TextOnly kAltText{"AltText", kNoAttrs};
constexpr TextOnly kCompanionClickThrough{"CompanionClickThrough", kNoAttrs};
constexpr TextOnly kCompanionClickTracking{"CompanionClickTracking", kAttrsId};

// ---------------------------------------------------------------------------
// Containers: allowed attributes, text-only children, unknown-child rule

struct Container {
    Names attrs;
    std::span<const TextOnly> text_only;
    // Children accepted without any check (neither reported nor descended).
    Names accepted;
    std::string_view unknown_rule;
    std::string_view unknown_message;
    std::string_view unknown_ref;
};

constexpr std::array kInLineText{kAdSystem, kAdTitle,   kAdServingId, kDescription, kAdvertiser,
                                 kPricing,  kSurvey,    kErrorElement, kImpression};
constexpr std::array<std::string_view, 4> kInLineAccepted{"Category", "AdVerifications",
                                                          "ViewableImpression", "BlockedAdCategories"};
constexpr std::array kWrapperText{kAdSystem, kErrorElement, kImpression, kVastAdTagUri};
constexpr std::array<std::string_view, 3> kWrapperAccepted{"AdVerifications", "ViewableImpression",
                                                           "BlockedAdCategories"};
constexpr std::array kCreativeText{kUniversalAdId};
constexpr std::array kLinearText{kDuration, kAdParameters};
constexpr std::array kIconText{kStaticResource,   kIFrameResource,    kHtmlResource,
                               kIconViewTracking, kIconClickThrough, kIconClickTracking};
constexpr std::array kIconClicksText{kIconClickThrough, kIconClickTracking};
constexpr std::array<std::string_view, 1> kIconClicksAccepted{"IconClickFallbackImages"};
constexpr std::array kMediaFilesText{kMediaFile, kMezzanine, kInteractiveCreativeFile};
constexpr std::array kClosedCaptionFilesText{kClosedCaptionFile};
constexpr std::array kVideoClicksText{kClickThrough, kClickTracking, kCustomClick};
constexpr std::array kNonLinearText{kStaticResource, kIFrameResource,         kHtmlResource,
                                    kAdParameters,   kNonLinearClickThrough, kNonLinearClickTracking};
constexpr std::array kCompanionText{kAltText,      kStaticResource,        kIFrameResource,
                                    kHtmlResource, kAdParameters,          kCompanionClickThrough,
                                    kCompanionClickTracking};

constexpr Container kInLine{kNoAttrs, kInLineText, kInLineAccepted, "VAST-2.0-inline-unknown-child",
                            "<InLine> contains an unrecognised child element", "IAB VAST 2.0 §2.3.1"};
constexpr Container kWrapper{kAttrsWrapper, kWrapperText, kWrapperAccepted,
                             "VAST-2.0-wrapper-unknown-child",
                             "<Wrapper> contains an unrecognised child element", "IAB VAST 2.0 §2.3.2"};
constexpr Container kCreatives{kNoAttrs, {}, {}, "VAST-2.0-creatives-unknown-child",
                               "<Creatives> may only contain <Creative> elements", "IAB VAST 2.0 §2.3.5"};
constexpr Container kCreative{kAttrsCreative, kCreativeText, {}, "VAST-2.0-creative-unknown-child",
                              "<Creative> contains an unrecognised child element", "IAB VAST 2.0 §2.3.5"};
constexpr Container kLinear{kAttrsLinear, kLinearText, {}, "VAST-2.0-linear-unknown-child",
                            "<Linear> contains an unrecognised child element", "IAB VAST 2.0 §2.3.6"};
constexpr Container kIcons{kNoAttrs, {}, {}, "VAST-3.0-icons-unknown-child",
                           "<Icons> may only contain <Icon> elements", "IAB VAST 3.0 §2.3.6.4"};
constexpr Container kIcon{kAttrsIcon, kIconText, {}, "VAST-3.0-icon-unknown-child",
                          "<Icon> contains an unrecognised child element", "IAB VAST 3.0 §2.3.6.4"};
constexpr Container kIconClicks{kNoAttrs, kIconClicksText, kIconClicksAccepted,
                                "VAST-3.0-iconclicks-unknown-child",
                                "<IconClicks> contains an unrecognised child element",
                                "IAB VAST 3.0 §2.3.6.4"};
constexpr Container kMediaFiles{kNoAttrs, kMediaFilesText, {}, "VAST-2.0-mediafiles-unknown-child",
                                "<MediaFiles> contains an unrecognised child element",
                                "IAB VAST 2.0 §2.3.5.2"};
constexpr Container kClosedCaptionFiles{kNoAttrs, kClosedCaptionFilesText, {},
                                        "VAST-4.2-closedcaptionfiles-unknown-child",
                                        "<ClosedCaptionFiles> may only contain <ClosedCaptionFile> elements",
                                        "IAB VAST 4.2 §2.3.5.2"};
constexpr Container kVideoClicks{kNoAttrs, kVideoClicksText, {}, "VAST-2.0-videoclicks-unknown-child",
                                 "<VideoClicks> contains an unrecognised child element",
                                 "IAB VAST 2.0 §2.3.6"};
constexpr Container kNonLinearAds{kNoAttrs, {}, {}, "VAST-2.0-nonlinearads-unknown-child",
                                  "<NonLinearAds> contains an unrecognised child element",
                                  "IAB VAST 2.0 §2.3.7"};
constexpr Container kNonLinear{kAttrsNonLinear, kNonLinearText, {}, "VAST-2.0-nonlinear-unknown-child",
                               "<NonLinear> contains an unrecognised child element", "IAB VAST 2.0 §2.3.7"};
constexpr Container kCompanionAds{kAttrsCompanionAds, {}, {}, "VAST-2.0-companionads-unknown-child",
                                  "<CompanionAds> may only contain <Companion> elements",
                                  "IAB VAST 2.0 §2.3.8"};
constexpr Container kCompanion{kAttrsCompanion, kCompanionText, {}, "VAST-2.0-companion-unknown-child",
                               "<Companion> contains an unrecognised child element", "IAB VAST 2.0 §2.3.8"};

// ---------------------------------------------------------------------------
// Names that have a dedicated place in VAST and must not sit inside extensions

constexpr std::array<std::string_view, 62> kDedicatedNames{
    "VAST", "Ad", "InLine", "Wrapper", "AdSystem", "AdTitle", "AdServingId", "Description", "Advertiser",
    "Pricing", "Impression", "Error", "Survey", "VASTAdTagURI", "Category", "BlockedAdCategories",
    "Creatives", "Creative", "UniversalAdId", "Linear", "Duration", "AdParameters", "VideoClicks",
    "ClickThrough", "ClickTracking", "CustomClick", "TrackingEvents", "Tracking", "MediaFiles", "MediaFile",
    "Mezzanine", "InteractiveCreativeFile", "ClosedCaptionFiles", "ClosedCaptionFile", "NonLinearAds",
    "NonLinear", "NonLinearClickThrough", "NonLinearClickTracking", "CompanionAds", "Companion",
    "CompanionClickThrough", "CompanionClickTracking", "StaticResource", "IFrameResource", "HTMLResource",
    "AltText", "Icons", "Icon", "IconClicks", "IconClickThrough", "IconClickTracking", "IconViewTracking",
    "IconClickFallbackImages", "AdVerifications", "Verification", "JavaScriptResource", "ExecutableResource",
    "ViewableImpression", "Viewable", "NotViewable", "ViewUndetermined", "AdCreativeId",
};

// ---------------------------------------------------------------------------
// Rule texts

constexpr std::string_view kUnknownAttribute = "VAST-2.0-unknown-attribute";
constexpr std::string_view kUnknownAttributeMessage = "Element has an attribute not defined in the VAST spec";
constexpr std::string_view kTextOnlyElement = "VAST-2.0-text-only-element";
constexpr std::string_view kTextOnlyElementMessage =
    "Element is text-only per spec but contains a child element";
constexpr std::string_view kVastSection2 = "IAB VAST 2.0 §2";

constexpr std::string_view kTrackingEventsUnknown = "VAST-2.0-trackingevents-unknown-child";
constexpr std::string_view kTrackingEventsUnknownMessage = "<TrackingEvents> may only contain <Tracking> elements";
constexpr std::string_view kTrackingEventsRef = "IAB VAST 2.0 §2.3.6";

constexpr std::string_view kExtensionsUnknown = "VAST-2.0-extensions-unknown-child";
constexpr std::string_view kExtensionsUnknownMessage = "<Extensions> may only contain <Extension> elements";
constexpr std::string_view kExtensionsRef = "IAB VAST 3.0 §3.1";
constexpr std::string_view kCreativeExtensionsUnknown = "VAST-2.0-creativeextensions-unknown-child";
constexpr std::string_view kCreativeExtensionsUnknownMessage =
    "<CreativeExtensions> may only contain <CreativeExtension> elements";
constexpr std::string_view kCreativeExtensionsRef = "IAB VAST 2.0 §2.3.5";

constexpr std::string_view kExtensionCdata = "VAST-2.0-extension-cdata";
constexpr std::string_view kExtensionCdataMessage =
    "<Extension> leaf text payload with XML-sensitive characters should be wrapped in CDATA so JSON "
    "blobs and URL-rich vendor data do not rely on fragile XML escaping";
constexpr std::string_view kCreativeExtensionCdata = "VAST-2.0-creative-extension-cdata";
constexpr std::string_view kCreativeExtensionCdataMessage =
    "<CreativeExtension> leaf text payload with XML-sensitive characters should be wrapped in CDATA so "
    "JSON blobs and URL-rich vendor data do not rely on fragile XML escaping";
constexpr std::string_view kCdataRef = "W3C XML 1.0 §2.7";

constexpr std::string_view kExtensionMisplaced = "VAST-2.0-extension-misplaced-element";
constexpr std::string_view kCreativeExtensionMisplaced = "VAST-2.0-creative-extension-misplaced-element";
constexpr std::string_view kMisplacedMessage =
    "<Extension> contains an element that has a dedicated location in the VAST spec — likely misplaced";

// ---------------------------------------------------------------------------
// Helpers

const TextOnly* find_text_only(std::span<const TextOnly> list, std::string_view n) {
    for (const TextOnly& t : list)
        if (t.name == n) return &t;
    return nullptr;
}

std::string child_path(std::string_view base, std::string_view name) {
    std::string out;
    out.reserve(base.size() + name.size() + 1);
    out.append(base);
    out.push_back('/');
    out.append(name);
    return out;
}

// Each attribute outside `allowed`, in document order.
void check_attributes(const Node& element, std::string_view path, Names allowed, const ValidationContext& ctx,
                      Issues& issues) {
    for (const Attr& a : element.attrs)
        if (!one_of(a.name, allowed))
            emit(ctx, issues, kUnknownAttribute, kWarning, kUnknownAttributeMessage, attr_path(path, a.name),
                 kVastSection2, &element);
}

void unknown_child(const Container& c, const Node& child, std::string path, const ValidationContext& ctx,
                   Issues& issues) {
    emit(ctx, issues, c.unknown_rule, kError, c.unknown_message, std::move(path), c.unknown_ref, &child);
}

// Handles a child that is one of the container's text-only or accepted
// names; returns false when it is neither.
bool check_simple_child(const Container& c, const Node& child, const std::string& path,
                        const ValidationContext& ctx, Issues& issues);

void check_linear(const Node& linear, const std::string& path, const ValidationContext& ctx, Issues& issues);
void check_icons(const Node& icons, const std::string& path, const ValidationContext& ctx, Issues& issues);
void check_icon(const Node& icon, const std::string& path, const ValidationContext& ctx, Issues& issues);
void check_icon_clicks(const Node& clicks, const std::string& path, const ValidationContext& ctx, Issues& issues);
void check_media_files(const Node& files, const std::string& path, const ValidationContext& ctx, Issues& issues);
void check_closed_caption_files(const Node& files, const std::string& path, const ValidationContext& ctx,
                                Issues& issues);
void check_video_clicks(const Node& clicks, const std::string& path, const ValidationContext& ctx,
                        Issues& issues);
void check_non_linear_ads(const Node& ads, const std::string& path, const ValidationContext& ctx, Issues& issues);
void check_non_linear(const Node& nl, const std::string& path, const ValidationContext& ctx, Issues& issues);
void check_companion_ads(const Node& ads, const std::string& path, const ValidationContext& ctx, Issues& issues);
void check_companion(const Node& companion, const std::string& path, const ValidationContext& ctx,
                     Issues& issues);
void check_ad_body(const Node& body, const Container& c, const std::string& path, const ValidationContext& ctx,
                   Issues& issues);
void check_creatives(const Node& creatives, const std::string& path, const ValidationContext& ctx,
                     Issues& issues);

// ---------------------------------------------------------------------------
// Text-only elements and tracking events

// Child elements first, then attributes outside the list.
void check_text_only(const Node& element, std::string_view path, Names allowed, const ValidationContext& ctx,
                     Issues& issues) {
    for (const Node& c : element.children)
        emit(ctx, issues, kTextOnlyElement, kError, kTextOnlyElementMessage, child_path(path, c.name),
             kVastSection2, &c);
    check_attributes(element, path, allowed, ctx, issues);
}

void check_tracking_events(std::span<const Node> children, std::string_view path, const ValidationContext& ctx,
                           Issues& issues) {
    for (std::size_t k = 0; k < children.size(); ++k) {
        const Node& c = children[k];
        std::string p = indexed(path, "Tracking", k);
        if (c.name == kTracking.name)
            check_text_only(c, p, kTracking.attrs, ctx, issues);
        else
            emit(ctx, issues, kTrackingEventsUnknown, kError, kTrackingEventsUnknownMessage, std::move(p),
                 kTrackingEventsRef, &c);
    }
}

// ---------------------------------------------------------------------------
// Extensions

// A leaf payload holding "&" or "<" that is neither CDATA nor a URL.
void maybe_warn_on_extension_like_text_without_cdata(const Node& element, std::string_view path,
                                                     std::string_view rule, std::string_view message,
                                                     const ValidationContext& ctx, Issues& issues) {
    if (!element.children.empty()) return;
    std::string_view text = element.text;
    if (text.empty() || element.has_cdata) return;
    if (text.starts_with("data:") || text == "about:blank") return;
    // Cheaper than the URL parse and independent of it, so tested first.
    if (text.find_first_of("&<") == std::string_view::npos) return;
    if (url::is_absolute_url(text)) return;
    emit(ctx, issues, rule, kWarning, message, std::string(path), kCdataRef, &element);
}

// Pre-order scan of the element's descendants for names with a dedicated
// place; a found element is reported and not looked into. These findings
// cannot be switched off: off reports them as warnings.
void scan_extension_for_misplaced_elements(const Node& element, std::string_view path, std::string_view rule,
                                           const ValidationContext& ctx, Issues& issues) {
    std::uint8_t severity = ValidationContext::resolve(ctx, rule, kWarning);
    if (severity == kOff) severity = kWarning;

    struct Frame {
        const Node* node;
        std::size_t next;      // index of the next child to visit
        std::size_t path_len;  // length of the node's path in `current`
    };
    std::string current(path);
    std::vector<Frame> stack;
    stack.push_back({&element, 0, current.size()});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->children.size()) {
            stack.pop_back();
            continue;
        }
        const Node& c = top.node->children[top.next++];
        current.resize(top.path_len);
        current.push_back('/');
        current.append(c.name);
        if (one_of(c.name, kDedicatedNames)) {
            Issue& is = issues.emplace_back();
            is.path = current;
            is.line = c.line;
            is.col = c.col;
            is.id = rule;
            is.message = kMisplacedMessage;
            is.spec_ref = kVastSection2;
            is.severity = severity;
        } else if (!c.children.empty()) {
            stack.push_back({&c, 0, current.size()});  // `top` is not used past this point
        }
    }
}

void check_extension_container(std::span<const Node> children, std::string_view path,
                               std::string_view admitted, std::string_view unknown_rule,
                               std::string_view unknown_message, std::string_view unknown_ref,
                               std::string_view cdata_rule, std::string_view cdata_message,
                               std::string_view misplaced_rule, const ValidationContext& ctx, Issues& issues) {
    for (std::size_t k = 0; k < children.size(); ++k) {
        const Node& c = children[k];
        std::string p = indexed(path, c.name, k);
        if (c.name == admitted) {
            maybe_warn_on_extension_like_text_without_cdata(c, p, cdata_rule, cdata_message, ctx, issues);
            scan_extension_for_misplaced_elements(c, p, misplaced_rule, ctx, issues);
        } else {
            emit(ctx, issues, unknown_rule, kError, unknown_message, std::move(p), unknown_ref, &c);
        }
    }
}

void check_extensions(std::span<const Node> children, std::string_view path, const ValidationContext& ctx,
                      Issues& issues) {
    check_extension_container(children, path, "Extension", kExtensionsUnknown, kExtensionsUnknownMessage,
                              kExtensionsRef, kExtensionCdata, kExtensionCdataMessage, kExtensionMisplaced,
                              ctx, issues);
}

void check_creative_extensions(std::span<const Node> children, std::string_view path,
                               const ValidationContext& ctx, Issues& issues) {
    check_extension_container(children, path, "CreativeExtension", kCreativeExtensionsUnknown,
                              kCreativeExtensionsUnknownMessage, kCreativeExtensionsRef,
                              kCreativeExtensionCdata, kCreativeExtensionCdataMessage,
                              kCreativeExtensionMisplaced, ctx, issues);
}

// ---------------------------------------------------------------------------
// Containers

bool check_simple_child(const Container& c, const Node& child, const std::string& path,
                        const ValidationContext& ctx, Issues& issues) {
    if (const TextOnly* t = find_text_only(c.text_only, child.name)) {
        check_text_only(child, path, t->attrs, ctx, issues);
        return true;
    }
    return one_of(child.name, c.accepted);
}

// InLine and Wrapper, which differ only in their vocabulary.
void check_ad_body(const Node& body, const Container& c, const std::string& path, const ValidationContext& ctx,
                   Issues& issues) {
    check_attributes(body, path, c.attrs, ctx, issues);
    for (const Node& child : body.children) {
        std::string p = child_path(path, child.name);
        if (check_simple_child(c, child, p, ctx, issues)) continue;
        if (child.name == "Creatives")
            check_creatives(child, p, ctx, issues);
        else if (child.name == "Extensions")
            check_extensions(child.children, p, ctx, issues);
        else
            unknown_child(c, child, std::move(p), ctx, issues);
    }
}

void check_linear(const Node& linear, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    check_attributes(linear, path, kLinear.attrs, ctx, issues);
    for (const Node& child : linear.children) {
        std::string p = child_path(path, child.name);
        if (check_simple_child(kLinear, child, p, ctx, issues)) continue;
        if (child.name == "MediaFiles")
            check_media_files(child, p, ctx, issues);
        else if (child.name == "Icons")
            check_icons(child, p, ctx, issues);
        else if (child.name == "VideoClicks")
            check_video_clicks(child, p, ctx, issues);
        else if (child.name == "TrackingEvents")
            check_tracking_events(child.children, p, ctx, issues);
        else if (child.name == "Extensions")
            check_extensions(child.children, p, ctx, issues);
        else
            unknown_child(kLinear, child, std::move(p), ctx, issues);
    }
}

void check_icons(const Node& icons, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    check_attributes(icons, path, kIcons.attrs, ctx, issues);
    for (std::size_t k = 0; k < icons.children.size(); ++k) {
        const Node& child = icons.children[k];
        if (child.name == "Icon")
            check_icon(child, indexed(path, "Icon", k), ctx, issues);
        else
            unknown_child(kIcons, child, child_path(path, child.name), ctx, issues);
    }
}

void check_icon(const Node& icon, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    check_attributes(icon, path, kIcon.attrs, ctx, issues);
    for (const Node& child : icon.children) {
        std::string p = child_path(path, child.name);
        if (check_simple_child(kIcon, child, p, ctx, issues)) continue;
        if (child.name == "IconClicks")
            check_icon_clicks(child, p, ctx, issues);
        else
            unknown_child(kIcon, child, std::move(p), ctx, issues);
    }
}

void check_icon_clicks(const Node& clicks, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    check_attributes(clicks, path, kIconClicks.attrs, ctx, issues);
    for (const Node& child : clicks.children) {
        std::string p = child_path(path, child.name);
        if (!check_simple_child(kIconClicks, child, p, ctx, issues))
            unknown_child(kIconClicks, child, std::move(p), ctx, issues);
    }
}

void check_media_files(const Node& files, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    check_attributes(files, path, kMediaFiles.attrs, ctx, issues);
    for (std::size_t k = 0; k < files.children.size(); ++k) {
        const Node& child = files.children[k];
        if (const TextOnly* t = find_text_only(kMediaFiles.text_only, child.name))
            check_text_only(child, indexed(path, child.name, k), t->attrs, ctx, issues);
        else if (child.name == "ClosedCaptionFiles")
            check_closed_caption_files(child, child_path(path, child.name), ctx, issues);
        else
            unknown_child(kMediaFiles, child, child_path(path, child.name), ctx, issues);
    }
}

void check_closed_caption_files(const Node& files, const std::string& path, const ValidationContext& ctx,
                                Issues& issues) {
    check_attributes(files, path, kClosedCaptionFiles.attrs, ctx, issues);
    for (std::size_t k = 0; k < files.children.size(); ++k) {
        const Node& child = files.children[k];
        std::string p = indexed(path, child.name, k);
        if (!check_simple_child(kClosedCaptionFiles, child, p, ctx, issues))
            unknown_child(kClosedCaptionFiles, child, std::move(p), ctx, issues);
    }
}

void check_video_clicks(const Node& clicks, const std::string& path, const ValidationContext& ctx,
                        Issues& issues) {
    check_attributes(clicks, path, kVideoClicks.attrs, ctx, issues);
    for (std::size_t k = 0; k < clicks.children.size(); ++k) {
        const Node& child = clicks.children[k];
        if (const TextOnly* t = find_text_only(kVideoClicks.text_only, child.name))
            check_text_only(child, indexed(path, child.name, k), t->attrs, ctx, issues);
        else
            unknown_child(kVideoClicks, child, child_path(path, child.name), ctx, issues);
    }
}

void check_non_linear_ads(const Node& ads, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    check_attributes(ads, path, kNonLinearAds.attrs, ctx, issues);
    for (const Node& child : ads.children) {
        std::string p = child_path(path, child.name);
        if (child.name == "NonLinear")
            check_non_linear(child, p, ctx, issues);
        else if (child.name == "TrackingEvents")
            check_tracking_events(child.children, p, ctx, issues);
        else
            unknown_child(kNonLinearAds, child, std::move(p), ctx, issues);
    }
}

void check_non_linear(const Node& nl, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    check_attributes(nl, path, kNonLinear.attrs, ctx, issues);
    for (const Node& child : nl.children) {
        std::string p = child_path(path, child.name);
        if (!check_simple_child(kNonLinear, child, p, ctx, issues))
            unknown_child(kNonLinear, child, std::move(p), ctx, issues);
    }
}

void check_companion_ads(const Node& ads, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    check_attributes(ads, path, kCompanionAds.attrs, ctx, issues);
    for (const Node& child : ads.children) {
        std::string p = child_path(path, child.name);
        if (child.name == "Companion")
            check_companion(child, p, ctx, issues);
        else
            unknown_child(kCompanionAds, child, std::move(p), ctx, issues);
    }
}

void check_companion(const Node& companion, const std::string& path, const ValidationContext& ctx,
                     Issues& issues) {
    check_attributes(companion, path, kCompanion.attrs, ctx, issues);
    for (const Node& child : companion.children) {
        std::string p = child_path(path, child.name);
        if (check_simple_child(kCompanion, child, p, ctx, issues)) continue;
        if (child.name == "TrackingEvents")
            check_tracking_events(child.children, p, ctx, issues);
        else if (child.name == "CreativeExtensions")
            check_creative_extensions(child.children, p, ctx, issues);
        else
            unknown_child(kCompanion, child, std::move(p), ctx, issues);
    }
}

void check_creative(const Node& creative, const std::string& path, const ValidationContext& ctx, Issues& issues) {
    check_attributes(creative, path, kCreative.attrs, ctx, issues);
    for (const Node& child : creative.children) {
        std::string p = child_path(path, child.name);
        if (check_simple_child(kCreative, child, p, ctx, issues)) continue;
        if (child.name == "Linear")
            check_linear(child, p, ctx, issues);
        else if (child.name == "NonLinearAds")
            check_non_linear_ads(child, p, ctx, issues);
        else if (child.name == "CompanionAds")
            check_companion_ads(child, p, ctx, issues);
        else if (child.name == "CreativeExtensions")
            check_creative_extensions(child.children, p, ctx, issues);
        else
            unknown_child(kCreative, child, std::move(p), ctx, issues);
    }
}

void check_creatives(const Node& creatives, const std::string& path, const ValidationContext& ctx,
                     Issues& issues) {
    check_attributes(creatives, path, kCreatives.attrs, ctx, issues);
    for (std::size_t k = 0; k < creatives.children.size(); ++k) {
        const Node& child = creatives.children[k];
        std::string p = indexed(path, "Creative", k);
        if (child.name == "Creative")
            check_creative(child, p, ctx, issues);
        else
            unknown_child(kCreatives, child, std::move(p), ctx, issues);
    }
}

}  // namespace

void check(const VastDocument& doc, const DetectedVersion&, const ValidationContext& ctx, Issues& issues) {
    const Node& root = doc.root;
    if (root.name != "VAST") return;
    const std::string root_path = "/VAST";
    check_attributes(root, root_path, kAttrsVersion, ctx, issues);
    std::size_t i = 0;
    for (const Node& ad : root.children) {
        if (ad.name != "Ad") continue;
        std::string ad_path = indexed(root_path, "Ad", i++);
        check_attributes(ad, ad_path, kAttrsAd, ctx, issues);
        if (const Node* inline_ = ad.child("InLine"))
            check_ad_body(*inline_, kInLine, ad_path + "/InLine", ctx, issues);
        if (const Node* wrapper = ad.child("Wrapper"))
            check_ad_body(*wrapper, kWrapper, ad_path + "/Wrapper", ctx, issues);
    }
}

}  // namespace adsieve::rules::schema
