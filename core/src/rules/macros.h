#pragma once

#include <vector>

#include "rules/rules.h"

namespace adsieve::rules::macros {

void check(const Node& root, const DetectedVersion& version, Report& report);
// The same with the root's children already sorted out, for the ads in
// `ads` (see AdRange), and with where each of them finds its first issue
// (`firsts.ads[0]` for the first of them).
void check_ads(const Node& root, const TopLevel& top, AdRange ads, const UrlFindings& firsts, const DetectedVersion& version,
           Report& report);

// For each ad in `ads`, where the walk of this family below its InLine and
// Wrapper finds its first issue, and every element there that the security
// family reports something for: one scan of each subtree, which also sets the
// code of each of its elements (TopLevel::codes).
UrlFindings first_url_findings(TopLevel& top, AdRange ads, const DetectedVersion& version,
                                                std::pmr::memory_resource* mem = std::pmr::get_default_resource());

}  // namespace adsieve::rules::macros
