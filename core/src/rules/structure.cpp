#include "rules/structure.h"

namespace adsieve::rules::structure {

void check(const VastDocument& doc, const DetectedVersion&, const ValidationContext& ctx,
           Issues& issues) {
    if (ctx.wrapper_depth > ctx.max_wrapper_depth)
        emit(ctx, issues, "VAST-2.0-wrapper-depth", kError,
             "Wrapper chain depth exceeds the maximum allowed limit", std::string("/VAST"),
             "IAB VAST 4.x \u00a72.3", nullptr);

    const Node& root = doc.root;
    if (root.name != "VAST") return;
    std::size_t ads = 0, sequenced = 0;
    for (const Node& c : root.children) {
        if (c.name != "Ad") continue;
        ++ads;
        if (c.attr("sequence")) ++sequenced;
    }
    if (ads >= 2 && sequenced != 0 && sequenced != ads)
        emit(ctx, issues, "VAST-2.0-ad-sequence", kWarning,
             "Multiple <Ad> elements present but sequence attribute is missing on some \u2014 "
             "ambiguous ordering",
             std::string("/VAST"), "IAB VAST 2.0 \u00a72.2", nullptr);
}

}  // namespace adsieve::rules::structure
