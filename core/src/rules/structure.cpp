#include "rules/structure.h"

namespace adsieve::rules::structure {

void check(const Node& root, const DetectedVersion& version, Report& report) {
    const TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), version, report);
}

void check_ads(const Node&, const TopLevel& top, AdRange ads, const DetectedVersion&, Report& report) {
    // Document-level only: all of it goes with the first run.
    if (!ads.first()) return;
    if (report.ctx.wrapper_depth > report.ctx.max_wrapper_depth)
        report(rule::vast_wrapper_depth, "/VAST", nullptr);
    const std::size_t count = top.ads.size(), sequenced = top.sequenced_ads;
    if (count >= 2 && sequenced != 0 && sequenced != count)
        report(rule::vast_ad_sequence, "/VAST", nullptr);
}

}  // namespace adsieve::rules::structure
