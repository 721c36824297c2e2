// Rule dispatch and the helpers the rule families share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"
#include "report.h"
#include "rules/catalog.h"
#include "text.h"
#include "version.h"
#include "walk.h"

namespace adsieve::rules {

// The element vocabulary below an ad's InLine and Wrapper: every name the
// families look up there. The first kDedicatedNames have a place of their
// own in VAST and must not sit inside extensions; the rest may.
inline constexpr std::array<std::string_view, 64> kElementNames{
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
    // Names of the vocabulary that may be used in extensions.
    "Extensions", "CreativeExtensions",
};
inline constexpr int kDedicatedNames = 62;
inline constexpr auto kElementSet = text::make_name_set(kElementNames);

// An element's code (see TopLevel::code) for a name of kElementNames; does not
// compile for any other name.
consteval unsigned code_for(std::string_view name) {
    const int i = kElementSet.find(name);
    if (i < 0) throw "not a name of kElementNames";
    return static_cast<unsigned>(i) + 1;
}

// A table indexed by an element's code (see TopLevel::code): `of(name)` for
// each name of kElementNames, `none` for code 0 (a name outside it).
template <class T, class Of>
consteval std::array<T, kElementNames.size() + 1> by_code(T none, Of of) {
    std::array<T, kElementNames.size() + 1> table{};
    table[0] = none;
    for (std::size_t i = 0; i < kElementNames.size(); ++i) table[i + 1] = of(kElementNames[i]);
    return table;
}

// The first child of each name the families look up below a <Linear>.
struct LinearNodes {
    const Node* duration = nullptr;
    const Node* media_files = nullptr;
    const Node* tracking_events = nullptr;
    const Node* icons = nullptr;
    const Node* video_clicks = nullptr;
    // The first child of each name below that <MediaFiles>.
    const Node* media_file = nullptr;
    const Node* mezzanine = nullptr;
    const Node* interactive_creative_file = nullptr;
};

// One <Creative> of an InLine's or Wrapper's <Creatives>, with the first
// child of each name the families look up below it, found in one pass.
struct CreativeNodes {
    const Node* creative = nullptr;
    const Node* universal_ad_id = nullptr;
    const Node* linear = nullptr;
    const Node* nonlinear_ads = nullptr;
    const Node* companion_ads = nullptr;
    LinearNodes in_linear;  // all nullptr without a Linear
};

// The first child of each name the families look up below an InLine or a
// Wrapper, found in one pass over its children.
struct BodyNodes {
    const Node* ad_system = nullptr;
    const Node* ad_title = nullptr;
    const Node* ad_serving_id = nullptr;
    const Node* impression = nullptr;
    const Node* creatives = nullptr;
    const Node* pricing = nullptr;
    const Node* category = nullptr;
    const Node* blocked_ad_categories = nullptr;
    const Node* ad_verifications = nullptr;
    const Node* extensions = nullptr;
    const Node* vast_ad_tag_uri = nullptr;
    const Node* survey = nullptr;
};

// A run of TopLevel::creatives, [begin, end).
struct CreativeRange {
    std::size_t begin = 0, end = 0;
};

// One <Ad> child of the root, with its first <InLine> and first <Wrapper>.
// The creative ranges hold, in document order, the <Creative> children of
// the first <Creatives> (first) and of every <Creatives> (all; the first's
// come first, so `first` is a prefix of `all`).
struct AdNodes {
    const Node* ad = nullptr;
    const Node* inline_ad = nullptr;
    const Node* wrapper = nullptr;
    BodyNodes inline_body, wrapper_body;  // all nullptr without an InLine, a Wrapper
    CreativeRange inline_first, inline_all, wrapper_first;
};

// The root's children that the VAST families look at, found in one pass over
// them: a root with a flood of other children is then passed over once, not
// by every family. The creatives below them are indexed once as well.
// Its lists take their room from the memory resource given to root_children.
struct TopLevel {
    std::pmr::vector<AdNodes> ads;          // every <Ad>, in document order
    std::pmr::vector<const Node*> errors;   // every <Error>, in document order
    std::pmr::vector<CreativeNodes> creatives;
    std::size_t sequenced_ads = 0;     // <Ad>s with a sequence attribute
    // Each element's code, by its slot from the root on: its place in
    // kElementNames + 1, 0 for any other name. Set for the elements of the
    // ads' InLine and Wrapper by the first scan of a run that reads them all
    // (macros::first_url_findings), or by code_elements; their names are
    // then looked up once for all families.
    const Node* base = nullptr;
    std::pmr::vector<std::uint8_t> codes;

    unsigned code(const Node& n) const noexcept { return codes[static_cast<std::size_t>(&n - base)]; }

    std::span<const CreativeNodes> range(CreativeRange r) const noexcept {
        return std::span<const CreativeNodes>(creatives).subspan(r.begin, r.end - r.begin);
    }
};
// Empty unless the root is <VAST>; with every element's code set.
TopLevel top_level(const Node& root);

// A run of TopLevel::ads, [begin, end). A large document's ads are checked a
// run at a time, every family in turn, so that a run's nodes are still in
// cache when the next family reads them. A family's document-level checks
// go with the run its findings come before or after: checks listed before
// the ads with the first run, those listed after them with the last.
struct AdRange {
    std::size_t begin = 0, end = 0;
    bool first() const noexcept { return begin == 0; }
    bool last(const TopLevel& top) const noexcept { return end == top.ads.size(); }
};
inline AdRange all_ads(const TopLevel& top) noexcept { return {0, top.ads.size()}; }

// top_level in steps: the root's children alone (each AdNodes with just its
// `ad`); then, for some of the ads, their InLine and Wrapper (find_bodies),
// the codes of the elements below them (set by macros::first_url_findings
// or code_elements), and the rest of AdNodes and the creatives (index_ads).
// Runs are taken in document order, each run once. The lists take their room
// from `mem`.
TopLevel root_children(const Node& root, std::pmr::memory_resource* mem = std::pmr::get_default_resource());
void find_bodies(TopLevel& top, AdRange ads);
void index_ads(TopLevel& top, AdRange ads);
// Sets TopLevel::codes for the elements of `sub`'s subtree.
void code_elements(TopLevel& top, const Node& sub);

// An element below an ad's InLine or Wrapper that the security family reports
// something for, with what (bits of that family's own).
struct UrlFinding {
    const Node* node;
    unsigned what;
};
// Below an ad's InLine or Wrapper (the element itself included): the elements
// the security family reports something for, [security_begin, security_end)
// of UrlFindings::security in document order, and the first element that the
// macros family reports something for (nullptr when there is none). Both
// families walk the same elements, so one scan finds both.
struct UrlFirsts {
    std::size_t security_begin = 0, security_end = 0;
    const Node* macros = nullptr;
};
struct AdUrlFirsts {
    UrlFirsts inline_ad, wrapper;
};
struct UrlFindings {
    std::pmr::vector<AdUrlFirsts> ads;  // ads[0] for the first ad of the run
    std::pmr::vector<UrlFinding> security;
};

// Runs the families that apply to a document's root, reporting into `report`.
// `parse_failed` is true when the text could not be read to its end.
void run(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report);

// First element of a child list with exactly this name, or nullptr. Inline,
// so that a comparison with a literal name compiles to a few loads.
inline const Node* first_child(Children children, std::string_view name) noexcept {
    for (const Node& c : children)
        if (Node::same_name(c.name(), name)) return &c;
    return nullptr;
}
// First child of `n` with this code (see TopLevel::code), or nullptr; `n` is
// an element below an ad's InLine or Wrapper.
inline const Node* first_coded(const TopLevel& top, const Node& n, unsigned code) noexcept {
    for (const Node& c : n.children())
        if (top.code(c) == code) return &c;
    return nullptr;
}
// True when v equals one of the values of a vocabulary table.
inline bool one_of(std::string_view v, std::span<const std::string_view> set) noexcept {
    for (std::string_view s : set)
        if (v == s) return true;
    return false;
}

}  // namespace adsieve::rules
