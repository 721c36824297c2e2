#include "rules/structure.h"

namespace adsieve::rules::structure {

void check(const Node& root, const DetectedVersion&, Report& report) {
    if (report.ctx.wrapper_depth > report.ctx.max_wrapper_depth)
        report(rule::vast_wrapper_depth, "/VAST", nullptr);
    if (root.name() != "VAST") return;
    std::size_t ads = 0, sequenced = 0;
    for (const Node& c : root.children()) {
        if (c.name() != "Ad") continue;
        ++ads;
        if (c.attr("sequence")) ++sequenced;
    }
    if (ads >= 2 && sequenced != 0 && sequenced != ads)
        report(rule::vast_ad_sequence, "/VAST", nullptr);
}

}  // namespace adsieve::rules::structure
