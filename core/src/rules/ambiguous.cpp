// Ambiguous constructs: markup the schema accepts but that leaves a player
// guessing (progress without offset, no quartile trackers, icons and overlays
// without placement attributes, wrapper click-throughs in 4.0/4.1).
#include "rules/ambiguous.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace adsieve::rules::ambiguous {

namespace {

constexpr std::array<std::string_view, 5> kQuartileEvents = {"start", "firstQuartile", "midpoint",
                                                             "thirdQuartile", "complete"};
constexpr std::array<std::string_view, 5> kIconAttrs = {"program", "width", "height", "xPosition",
                                                        "yPosition"};

// Unrolled over the table, so that each name compares as a literal.
bool is_quartile_event(std::string_view ev) {
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        return ((ev == kQuartileEvents[I]) || ...);
    }(std::make_index_sequence<kQuartileEvents.size()>{});
}

// Names below an ad's InLine and Wrapper are told apart by their codes.
constexpr unsigned kIcon = code_for("Icon"), kIconClicks = code_for("IconClicks"),
                   kIconClickFallbackImages = code_for("IconClickFallbackImages"), kTracking = code_for("Tracking"),
                   kNonLinear = code_for("NonLinear"), kCompanion = code_for("Companion"),
                   kClickThrough = code_for("ClickThrough");

bool has_width_and_height(const Node& n) { return n.attr("width") && n.attr("height"); }

void check_icons(const TopLevel& top, const Node& icons, const PathRef& linear_path, const DetectedVersion& version,
                 Report& report) {
    const bool v42 = version.at_least(VastVersion::V4_2);
    const PathRef base = join(linear_path, "/Icons");
    std::size_t k = 0;
    for (const Node& icon : icons.children()) {
        if (top.code(icon) != kIcon) continue;
        const PathRef icon_path = indexed(base, "Icon", k++);
        bool complete = true;
        for (std::string_view a : kIconAttrs)
            if (!icon.attr(a)) complete = false;
        if (!complete)
            report(rule::vast_icon_attrs, icon_path, &icon);
        if (!v42) continue;
        const Node* clicks = first_coded(top, icon, kIconClicks);
        const Node* images = clicks ? first_coded(top, *clicks, kIconClickFallbackImages) : nullptr;
        if (!images) continue;
        const PathRef images_path = join(icon_path, "/IconClicks/IconClickFallbackImages");
        std::size_t m = 0;
        for (const Node& img : images->children()) {
            if (img.name() != "IconClickFallbackImage") continue;
            const std::size_t index = m++;
            if (has_width_and_height(img)) continue;
            report(rule::vast_icon_fallback_image_width_height, indexed(images_path, "IconClickFallbackImage", index), &img);
        }
    }
}

void check_linear(const TopLevel& top, const Node& linear, const LinearNodes& in_linear, const PathRef& linear_path,
                  const DetectedVersion& version, Report& report) {
    const Node* events = in_linear.tracking_events;
    bool has_quartile = false;
    if (events) {
        const PathRef base = join(linear_path, "/TrackingEvents");
        std::size_t t = 0;
        for (const Node& tr : events->children()) {
            if (top.code(tr) != kTracking) continue;
            const std::size_t index = t++;
            auto ev = tr.attr("event");
            if (!ev) continue;
            if (!has_quartile && is_quartile_event(*ev)) has_quartile = true;
            if (*ev == "progress" && !tr.attr("offset"))
                report(rule::vast_progress_offset, indexed(base, "Tracking", index), &tr);
        }
    }
    if (!has_quartile)
        report(rule::vast_linear_tracking_quartiles, linear_path, &linear);
    if (const Node* icons = in_linear.icons) check_icons(top, *icons, linear_path, version, report);
}

// Reports every child named `item` of `container` that lacks width or height.
void check_dimensions(const TopLevel& top, const Node& container, const PathRef& container_path, std::string_view item, unsigned code,
                      const Rule& rule, Report& report) {
    std::size_t n = 0;
    for (const Node& child : container.children()) {
        if (top.code(child) != code) continue;
        const std::size_t index = n++;
        if (!has_width_and_height(child))
            report(rule, indexed(container_path, item, index), &child);
    }
}

void check_inline(const TopLevel& top, std::span<const CreativeNodes> creatives, const PathRef& ad_path, const DetectedVersion& version,
                  Report& report) {
    // The Creative counter runs across every Creatives container of the InLine.
    const PathRef creatives_path = join(ad_path, "/InLine/Creatives");
    std::size_t c = 0;
    for (const CreativeNodes& creative : creatives) {
        const PathRef creative_path = indexed(creatives_path, "Creative", c++);
        if (const Node* linear = creative.linear)
            check_linear(top, *linear, creative.in_linear, join(creative_path, "/Linear"), version, report);
        if (const Node* nl = creative.nonlinear_ads)
            check_dimensions(top, *nl, join(creative_path, "/NonLinearAds"), "NonLinear", kNonLinear, rule::vast_nonlinear_dimensions,
                             report);
        if (const Node* comp = creative.companion_ads)
            check_dimensions(top, *comp, join(creative_path, "/CompanionAds"), "Companion", kCompanion, rule::vast_companion_dimensions,
                             report);
    }
}

void check_wrapper(const TopLevel& top, std::span<const CreativeNodes> creatives, const PathRef& ad_path, Report& report) {
    const PathRef creatives_path = join(ad_path, "/Wrapper/Creatives");
    std::size_t c = 0;
    for (const CreativeNodes& creative : creatives) {
        const std::size_t index = c++;
        const Node* clicks = creative.in_linear.video_clicks;
        if (!clicks || !first_coded(top, *clicks, kClickThrough)) continue;
        const PathRef creative_path = indexed(creatives_path, "Creative", index);
        report(rule::vast_wrapper_clickthrough, join(creative_path, "/Linear/VideoClicks/ClickThrough"), clicks);
    }
}

}  // namespace

void check(const Node& root, const DetectedVersion& version, Report& report) {
    const TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), version, report);
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, const DetectedVersion& version, Report& report) {
    const auto effective = version.effective();
    const bool wrapper_gate =
        effective && (*effective == VastVersion::V4_0 || *effective == VastVersion::V4_1);
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        const AdNodes& ad = top.ads[i];
        const PathRef ad_path = indexed(kVastPath, "Ad", i);
        if (ad.inline_ad) check_inline(top, top.range(ad.inline_all), ad_path, version, report);
        if (ad.wrapper && wrapper_gate) check_wrapper(top, top.range(ad.wrapper_first), ad_path, report);
    }
}

}  // namespace adsieve::rules::ambiguous
