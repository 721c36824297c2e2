#include "rules/consistency.h"

#include <unordered_set>

#include "text.h"

namespace adsieve::rules::consistency {

namespace {

// Reports the first impression text repeated within one ad's container.
void check_duplicate_impressions(const Node& container, std::string path,
                                 const ValidationContext& ctx, Issues& issues) {
    std::unordered_set<std::string_view> seen;
    for (const Node& c : container.children) {
        if (c.name != "Impression") continue;
        std::string_view url = text::trim(c.text);
        if (url.empty()) continue;
        if (!seen.insert(url).second) {
            emit(ctx, issues, "VAST-2.0-duplicate-impression", kWarning,
                 "Duplicate <Impression> URL found \u2014 the same pixel appears more than once",
                 std::move(path) + "/Impression", "IAB VAST 2.0 \u00a72.3.3", nullptr);
            return;
        }
    }
}

}  // namespace

void check(const VastDocument& doc, const DetectedVersion& version, const ValidationContext& ctx,
           Issues& issues) {
    // A document that fails to parse is reported by this one issue alone.
    if (doc.parse_error) {
        emit(ctx, issues, "VAST-2.0-parse-error", kError,
             "XML parse error \u2014 document may be malformed", std::string("/VAST"),
             "IAB VAST 2.0 \u00a72", nullptr);
        return;
    }

    if (version.state == VersionState::Mismatch)
        emit(ctx, issues, "VAST-2.0-version-mismatch", kWarning,
             "VAST version attribute does not match structural signals in the document",
             std::string("/VAST"), "IAB VAST 2.0 \u00a72.1", nullptr);

    const Node& root = doc.root;
    if (root.name != "VAST") return;
    std::size_t i = 0;
    for (const Node& ad : root.children) {
        if (ad.name != "Ad") continue;
        std::string ad_path = indexed("/VAST", "Ad", i++);
        if (const Node* inline_ = ad.child("InLine"))
            check_duplicate_impressions(*inline_, ad_path + "/InLine", ctx, issues);
        else if (const Node* wrapper = ad.child("Wrapper"))
            check_duplicate_impressions(*wrapper, ad_path + "/Wrapper", ctx, issues);
    }
}

}  // namespace adsieve::rules::consistency
