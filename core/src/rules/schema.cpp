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
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"
#include "url/url.h"
#include "walk.h"

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

// Every attribute name above, once; a list of allowed attributes is kept as
// a mask of positions in this set, so testing an attribute is one probe.
constexpr std::array<std::string_view, 46> kAttrNames{
    "version",       "id",             "adType",        "sequence",         "conditionalAd",
    "fallbackOnNoAd", "allowMultipleAds", "followAdditionalWrappers", "adId", "apiFramework",
    "skipoffset",    "width",          "height",        "offset",           "program",
    "pxratio",       "duration",       "xPosition",     "yPosition",        "scalable",
    "expandedWidth", "expandedHeight", "maintainAspectRatio", "minSuggestedDuration", "required",
    "adSlotId",      "assetWidth",     "assetHeight",   "renderingMode",    "model",
    "currency",      "type",           "idRegistry",    "idValue",          "xmlEncoded",
    "delivery",      "codec",          "bitrate",       "minBitrate",       "maxBitrate",
    "fileSize",      "mediaType",      "variableDuration", "language",      "event",
    "creativeType",
};
constexpr auto kAttrSet = text::make_name_set(kAttrNames);

using Attrs = std::uint64_t;  // bit i: kAttrNames[i] is allowed
static_assert(kAttrNames.size() <= 64);

consteval Attrs attrs_of(std::span<const std::string_view> names) { return kAttrSet.mask(names); }

bool is_allowed(std::string_view attr, Attrs allowed) noexcept {
    const int i = kAttrSet.find(attr);
    return i >= 0 && (allowed >> i & 1) != 0;
}

constexpr Attrs kNoAttrs = 0;

// ---------------------------------------------------------------------------
// Text-only elements: name and allowed attributes

struct TextOnly {
    std::string_view name;
    Attrs attrs;
};

constexpr TextOnly kAdSystem{"AdSystem", attrs_of(kAttrsVersion)};
constexpr TextOnly kAdTitle{"AdTitle", kNoAttrs};
constexpr TextOnly kAdServingId{"AdServingId", kNoAttrs};
constexpr TextOnly kDescription{"Description", kNoAttrs};
constexpr TextOnly kAdvertiser{"Advertiser", kNoAttrs};
constexpr TextOnly kPricing{"Pricing", attrs_of(kAttrsPricing)};
constexpr TextOnly kSurvey{"Survey", attrs_of(kAttrsSurvey)};
constexpr TextOnly kErrorElement{"Error", kNoAttrs};
constexpr TextOnly kImpression{"Impression", attrs_of(kAttrsId)};
constexpr TextOnly kVastAdTagUri{"VASTAdTagURI", kNoAttrs};
constexpr TextOnly kUniversalAdId{"UniversalAdId", attrs_of(kAttrsUniversalAdId)};
constexpr TextOnly kDuration{"Duration", kNoAttrs};
constexpr TextOnly kAdParameters{"AdParameters", attrs_of(kAttrsAdParameters)};
constexpr TextOnly kMediaFile{"MediaFile", attrs_of(kAttrsMediaFile)};
constexpr TextOnly kMezzanine{"Mezzanine", attrs_of(kAttrsMezzanine)};
constexpr TextOnly kInteractiveCreativeFile{"InteractiveCreativeFile", attrs_of(kAttrsInteractiveCreativeFile)};
constexpr TextOnly kClosedCaptionFile{"ClosedCaptionFile", attrs_of(kAttrsClosedCaptionFile)};
constexpr TextOnly kClickThrough{"ClickThrough", attrs_of(kAttrsId)};
constexpr TextOnly kClickTracking{"ClickTracking", attrs_of(kAttrsId)};
constexpr TextOnly kCustomClick{"CustomClick", attrs_of(kAttrsId)};
constexpr TextOnly kTracking{"Tracking", attrs_of(kAttrsTracking)};
constexpr TextOnly kStaticResource{"StaticResource", attrs_of(kAttrsStaticResource)};
constexpr TextOnly kIFrameResource{"IFrameResource", kNoAttrs};
constexpr TextOnly kHtmlResource{"HTMLResource", kNoAttrs};
constexpr TextOnly kIconViewTracking{"IconViewTracking", kNoAttrs};
constexpr TextOnly kIconClickThrough{"IconClickThrough", kNoAttrs};
constexpr TextOnly kIconClickTracking{"IconClickTracking", attrs_of(kAttrsId)};
constexpr TextOnly kNonLinearClickThrough{"NonLinearClickThrough", kNoAttrs};
constexpr TextOnly kNonLinearClickTracking{"NonLinearClickTracking", attrs_of(kAttrsId)};
constexpr TextOnly kAltText{"AltText", kNoAttrs};
constexpr TextOnly kCompanionClickThrough{"CompanionClickThrough", kNoAttrs};
constexpr TextOnly kCompanionClickTracking{"CompanionClickTracking", attrs_of(kAttrsId)};

// ---------------------------------------------------------------------------
// Containers: allowed attributes, text-only children, accepted children, the
// children that are containers (or lists) themselves, and the rule for any
// other child. Each kind of child extends the path in its own way.

enum class Seg : unsigned char {
    Name,        // "/name"
    NameIndex,   // "/name[k]", k the index among all children
    FixedIndex,  // "/<fixed>[k]", whatever the child's name
};

enum class Kind : unsigned char {
    InLine, Wrapper, Creatives, Creative, Linear, Icons, Icon, IconClicks, MediaFiles,
    ClosedCaptionFiles, VideoClicks, NonLinearAds, NonLinear, CompanionAds, Companion,
    TrackingEvents, Extensions, CreativeExtensions,
};

struct Sub {
    std::string_view name;
    Kind kind;
    Seg seg;
};

struct Container {
    Attrs attrs;
    std::span<const TextOnly> text_only;
    Seg text_seg;  // path of a text-only (or accepted) child
    // Children accepted without any check (neither reported nor descended).
    Names accepted;
    std::span<const Sub> subs;
    const Rule* unknown;
    Seg unknown_seg;
    std::string_view fixed = {};  // the name of FixedIndex segments
};

constexpr Sub kAdBodySubs[]{{"Creatives", Kind::Creatives, Seg::Name}, {"Extensions", Kind::Extensions, Seg::Name}};
constexpr Sub kCreativesSubs[]{{"Creative", Kind::Creative, Seg::FixedIndex}};
constexpr Sub kCreativeSubs[]{{"Linear", Kind::Linear, Seg::Name},
                              {"NonLinearAds", Kind::NonLinearAds, Seg::Name},
                              {"CompanionAds", Kind::CompanionAds, Seg::Name},
                              {"CreativeExtensions", Kind::CreativeExtensions, Seg::Name}};
constexpr Sub kLinearSubs[]{{"MediaFiles", Kind::MediaFiles, Seg::Name},
                            {"Icons", Kind::Icons, Seg::Name},
                            {"VideoClicks", Kind::VideoClicks, Seg::Name},
                            {"TrackingEvents", Kind::TrackingEvents, Seg::Name},
                            {"Extensions", Kind::Extensions, Seg::Name}};
constexpr Sub kIconsSubs[]{{"Icon", Kind::Icon, Seg::FixedIndex}};
constexpr Sub kIconSubs[]{{"IconClicks", Kind::IconClicks, Seg::Name}};
constexpr Sub kMediaFilesSubs[]{{"ClosedCaptionFiles", Kind::ClosedCaptionFiles, Seg::Name}};
constexpr Sub kNonLinearAdsSubs[]{{"NonLinear", Kind::NonLinear, Seg::Name},
                                  {"TrackingEvents", Kind::TrackingEvents, Seg::Name}};
constexpr Sub kCompanionAdsSubs[]{{"Companion", Kind::Companion, Seg::Name}};
constexpr Sub kCompanionSubs[]{{"TrackingEvents", Kind::TrackingEvents, Seg::Name},
                               {"CreativeExtensions", Kind::CreativeExtensions, Seg::Name}};

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

// Indexed by Kind; the last three are lists with walks of their own.
constexpr Container kContainers[]{
    {kNoAttrs, kInLineText, Seg::Name, kInLineAccepted, kAdBodySubs, &rule::vast_inline_unknown_child, Seg::Name},
    {attrs_of(kAttrsWrapper), kWrapperText, Seg::Name, kWrapperAccepted, kAdBodySubs, &rule::vast_wrapper_unknown_child,
     Seg::Name},
    {kNoAttrs, {}, Seg::Name, {}, kCreativesSubs, &rule::vast_creatives_unknown_child, Seg::FixedIndex,
     "Creative"},
    {attrs_of(kAttrsCreative), kCreativeText, Seg::Name, {}, kCreativeSubs, &rule::vast_creative_unknown_child, Seg::Name},
    {attrs_of(kAttrsLinear), kLinearText, Seg::Name, {}, kLinearSubs, &rule::vast_linear_unknown_child, Seg::Name},
    {kNoAttrs, {}, Seg::Name, {}, kIconsSubs, &rule::vast_icons_unknown_child, Seg::Name, "Icon"},
    {attrs_of(kAttrsIcon), kIconText, Seg::Name, {}, kIconSubs, &rule::vast_icon_unknown_child, Seg::Name},
    {kNoAttrs, kIconClicksText, Seg::Name, kIconClicksAccepted, {}, &rule::vast_iconclicks_unknown_child,
     Seg::Name},
    {kNoAttrs, kMediaFilesText, Seg::NameIndex, {}, kMediaFilesSubs, &rule::vast_mediafiles_unknown_child,
     Seg::Name},
    {kNoAttrs, kClosedCaptionFilesText, Seg::NameIndex, {}, {}, &rule::vast_closedcaptionfiles_unknown_child,
     Seg::NameIndex},
    {kNoAttrs, kVideoClicksText, Seg::NameIndex, {}, {}, &rule::vast_videoclicks_unknown_child, Seg::Name},
    {kNoAttrs, {}, Seg::Name, {}, kNonLinearAdsSubs, &rule::vast_nonlinearads_unknown_child, Seg::Name},
    {attrs_of(kAttrsNonLinear), kNonLinearText, Seg::Name, {}, {}, &rule::vast_nonlinear_unknown_child, Seg::Name},
    {attrs_of(kAttrsCompanionAds), {}, Seg::Name, {}, kCompanionAdsSubs, &rule::vast_companionads_unknown_child, Seg::Name},
    {attrs_of(kAttrsCompanion), kCompanionText, Seg::Name, {}, kCompanionSubs, &rule::vast_companion_unknown_child,
     Seg::Name},
};

// What a container does with a child, by the child's code (TopLevel::code):
// 0 reports it as unknown, kAccepted lets it be, kTextOnly + i checks it as
// text_only[i], kSub + i enters it as subs[i]. A name in more than one list
// is taken from the first of text_only, accepted, subs that holds it.
using ChildActions = std::array<std::uint8_t, kElementNames.size() + 1>;
constexpr std::uint8_t kAccepted = 1, kTextOnly = 2, kSub = 0x80;

consteval std::array<ChildActions, std::size(kContainers)> make_child_actions() {
    std::array<ChildActions, std::size(kContainers)> all{};
    for (std::size_t k = 0; k < std::size(kContainers); ++k) {
        const Container& c = kContainers[k];
        if (c.text_only.size() >= kSub - kTextOnly || c.subs.size() >= kSub) throw "too many children";
        ChildActions& actions = all[k];
        for (std::size_t i = c.subs.size(); i-- > 0;)
            actions[code_for(c.subs[i].name)] = std::uint8_t(kSub + i);
        for (std::string_view n : c.accepted) actions[code_for(n)] = kAccepted;
        for (std::size_t i = c.text_only.size(); i-- > 0;)
            actions[code_for(c.text_only[i].name)] = std::uint8_t(kTextOnly + i);
    }
    return all;
}
constexpr auto kChildActions = make_child_actions();

// ---------------------------------------------------------------------------
// Helpers

// Each attribute outside `allowed`, in document order.
void check_attributes(const Node& element, const PathRef& path, Attrs allowed, Report& report) {
    for (const Attr& a : element.attrs())
        if (!is_allowed(a.name, allowed))
            report(rule::vast_unknown_attribute, attr_path(path, a.name), &element);
}

PathRef child_path(const PathRef& base, const Node& child, std::size_t k, Seg seg, std::string_view fixed) {
    switch (seg) {
        case Seg::Name: return named(base, child.name());
        case Seg::NameIndex: return indexed(base, child.name(), k);
        case Seg::FixedIndex: return indexed(base, fixed, k);
    }
    return named(base, child.name());
}

// ---------------------------------------------------------------------------
// Text-only elements and tracking events

bool has_attribute_outside(const Node& element, Attrs allowed) {
    for (const Attr& a : element.attrs())
        if (!is_allowed(a.name, allowed)) return true;
    return false;
}

// True when check_text_only has something to report, so its path is needed.
bool text_only_has_findings(const Node& element, Attrs allowed) {
    return !element.children().empty() || has_attribute_outside(element, allowed);
}

// Child elements first, then attributes outside the list.
void check_text_only(const Node& element, const PathRef& path, Attrs allowed, Report& report) {
    for (const Node& c : element.children())
        report(rule::vast_text_only_element, named(path, c.name()), &c);
    check_attributes(element, path, allowed, report);
}

// is_allowed(name, kTracking.attrs), the names compared as literals.
bool is_tracking_attribute(std::string_view name) noexcept { return name == "event" || name == "offset"; }
static_assert(kTracking.attrs == attrs_of(kAttrsTracking) && kAttrsTracking[0] == "event" &&
              kAttrsTracking[1] == "offset" && kAttrsTracking.size() == 2);

constexpr unsigned kTrackingCode = code_for(kTracking.name);

void check_tracking_events(const TopLevel& top, Children children, const PathRef& path, Report& report) {
    std::size_t k = 0;
    for (const Node& c : children) {
        if (top.code(c) != kTrackingCode) {
            report(rule::vast_trackingevents_unknown_child, indexed(path, "Tracking", k), &c);
        } else if (c.has_children() ||
                   !std::all_of(c.attrs().begin(), c.attrs().end(),
                                [](const Attr& a) { return is_tracking_attribute(a.name); })) {
            check_text_only(c, indexed(path, "Tracking", k), kTracking.attrs, report);
        }
        ++k;
    }
}

// ---------------------------------------------------------------------------
// Extensions

struct ExtensionList {
    std::string_view admitted;
    const Rule& unknown;
    const Rule& cdata;
    const Rule& misplaced;
};

constexpr ExtensionList kExtensions{"Extension", rule::vast_extensions_unknown_child, rule::vast_extension_cdata,
                                    rule::vast_extension_misplaced_element};
constexpr ExtensionList kCreativeExtensions{"CreativeExtension", rule::vast_creativeextensions_unknown_child,
                                            rule::vast_creative_extension_cdata,
                                            rule::vast_creative_extension_misplaced_element};

// A leaf payload holding "&" or "<" that is neither CDATA nor a URL.
void maybe_warn_on_extension_like_text_without_cdata(const Node& element, const PathRef& path,
                                                     const Rule& cdata, Report& report) {
    if (!element.children().empty()) return;
    std::string_view text = element.text();
    if (text.empty() || element.has_cdata) return;
    if (text.starts_with("data:") || text == "about:blank") return;
    // Cheaper than the URL parse and independent of it, so tested first.
    if (text.find_first_of("&<") == std::string_view::npos) return;
    if (url::is_absolute_url(text)) return;
    report(cdata, path, &element);
}

// Pre-order scan of the element's descendants for names with a dedicated
// place; a found element is reported and not looked into.
void scan_extension_for_misplaced_elements(const TopLevel& top, const Node& element, const PathRef& path,
                                           const Rule& misplaced, Report& report) {
    // Most extensions hold none: one scan of the subtree's codes tells, and
    // the walk (its frames and paths) is made only for those that do.
    const std::uint8_t* const codes = &top.codes[static_cast<std::size_t>(&element - top.base)];
    const Node* n = element.first_child();
    for (const Node* const end = &element + element.span; n != end; n = n->first_child())
        if (codes[n - &element] - 1u < unsigned{kDedicatedNames}) break;
    if (n == &element + element.span) return;
    walk(element, path, Segment::Name, [&](const Node& c, const WalkPath& p) {
        const unsigned code = top.code(c);
        if (&c == &element || code == 0 || code > kDedicatedNames) return Step::Into;
        report.unmutable(misplaced, p, &c);
        return Step::Over;
    });
}

void check_extension_list(const TopLevel& top, Children children, const PathRef& path, const ExtensionList& list,
                          Report& report) {
    std::size_t k = 0;
    for (const Node& c : children) {
        const PathRef p = indexed(path, c.name(), k++);
        if (c.name() == list.admitted) {
            maybe_warn_on_extension_like_text_without_cdata(c, p, list.cdata, report);
            scan_extension_for_misplaced_elements(top, c, p, list.misplaced, report);
        } else {
            report(list.unknown, p, &c);
        }
    }
}

// ---------------------------------------------------------------------------
// Containers

// Checks a container and, in document order, everything below it that the
// vocabulary describes. No container kind holds itself or one of its
// ancestors' kinds, so the nesting is at most one frame per kind; each
// frame's path is the parent of its children's.
void check_container(const TopLevel& index, const Node& top, Kind top_kind, const PathRef& top_path, Report& report) {
    struct Frame {
        const Node* node;  // the container (kept: the frame's size suits the stack's indexing)
        const Container* c;
        const ChildActions* actions;
        PathRef path;
        const Node* next;  // next child to look at
        const Node* end;   // past the last child
        std::size_t k;     // its index among the children
    };
    std::array<Frame, std::size(kContainers)> stack;
    std::size_t depth = 0;
    auto enter = [&](const Node& n, Kind kind, const PathRef& path) {
        switch (kind) {
            case Kind::TrackingEvents: check_tracking_events(index, n.children(), path, report); return;
            case Kind::Extensions: check_extension_list(index, n.children(), path, kExtensions, report); return;
            case Kind::CreativeExtensions:
                check_extension_list(index, n.children(), path, kCreativeExtensions, report);
                return;
            default: break;
        }
        const Container& c = kContainers[static_cast<std::size_t>(kind)];
        if (depth == stack.size()) return;  // not reached with the table above
        Frame& f = stack[depth++];
        f = {&n, &c, &kChildActions[static_cast<std::size_t>(kind)], path, n.first_child(), &n + n.span, 0};
        if (n.attr_count != 0) check_attributes(n, f.path, c.attrs, report);
    };
    enter(top, top_kind, top_path);
    while (depth > 0) {
        Frame& f = stack[depth - 1];
        if (f.next == f.end) {
            --depth;
            continue;
        }
        const std::size_t k = f.k++;
        const Node& child = *f.next;
        f.next += child.span;
        const Container& c = *f.c;
        const unsigned action = (*f.actions)[index.code(child)];
        // Most children are text-only: they are sorted out first.
        if (action - kTextOnly < unsigned{kSub - kTextOnly}) {
            const TextOnly& t = c.text_only[action - kTextOnly];
            if (text_only_has_findings(child, t.attrs))
                check_text_only(child, child_path(f.path, child, k, c.text_seg, c.fixed), t.attrs, report);
        } else if (action >= kSub) {
            const Sub& s = c.subs[action - kSub];
            enter(child, s.kind, child_path(f.path, child, k, s.seg, c.fixed));
        } else if (action == 0) {
            report(*c.unknown, child_path(f.path, child, k, c.unknown_seg, c.fixed), &child);
        }
    }
}

}  // namespace

void check(const Node& root, const DetectedVersion& version, Report& report) {
    const TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), version, report);
}

void check_ads(const Node& root, const TopLevel& top, AdRange ads, const DetectedVersion&, Report& report) {
    if (root.name() != "VAST") return;
    if (ads.first()) check_attributes(root, kVastPath, attrs_of(kAttrsVersion), report);
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        check_attributes(*ad.ad, ad_path, attrs_of(kAttrsAd), report);
        if (const Node* inline_ = ad.inline_ad)
            check_container(top, *inline_, Kind::InLine, join(ad_path, "/InLine"), report);
        if (const Node* wrapper = ad.wrapper)
            check_container(top, *wrapper, Kind::Wrapper, join(ad_path, "/Wrapper"), report);
    }
}

}  // namespace adsieve::rules::schema
