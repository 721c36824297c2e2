#include "rules/consistency.h"

namespace adsieve::rules::consistency {

void check(const VastDocument& doc, const DetectedVersion&, const ValidationContext& ctx,
           Issues& issues) {
    if (doc.parse_error) {
        emit(ctx, issues, "VAST-2.0-parse-error", kError,
             "XML parse error \u2014 document may be malformed", std::string("/VAST"),
             "IAB VAST 2.0 \u00a72", nullptr);
        return;
    }
}

}  // namespace adsieve::rules::consistency
