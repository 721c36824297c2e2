#include "rules/structure.h"

namespace adsieve::rules::structure {

void check(const Node& root, const DetectedVersion& version, Report& report) {
    check_ads(root, top_level(root), version, report);
}

void check_ads(const Node&, const TopLevel& top, const DetectedVersion&, Report& report) {
    if (report.ctx.wrapper_depth > report.ctx.max_wrapper_depth)
        report(rule::vast_wrapper_depth, "/VAST", nullptr);
    const std::size_t ads = top.ads.size();
    std::size_t sequenced = 0;
    for (const AdNodes& ad : top.ads)
        if (ad.ad->attr("sequence")) ++sequenced;
    if (ads >= 2 && sequenced != 0 && sequenced != ads)
        report(rule::vast_ad_sequence, "/VAST", nullptr);
}

}  // namespace adsieve::rules::structure
