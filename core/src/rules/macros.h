#pragma once

#include <vector>

#include "rules/rules.h"

namespace adsieve::rules::macros {

void check(const Node& root, const DetectedVersion& version, Report& report);
// The same with the root's children already sorted out, for the ads in
// `ads` (see AdRange), and with where each of them finds its first issue
// (`firsts[0]` for the first of them).
void check_ads(const Node& root, const TopLevel& top, AdRange ads, std::span<const AdUrlFirsts> firsts, const DetectedVersion& version,
           Report& report);

// For each ad in `ads`, where the walks of this family and of the security
// family below its InLine and Wrapper find their first issue: one scan of each
// subtree, which also sets the code of each of its elements (TopLevel::codes).
std::pmr::vector<AdUrlFirsts> first_url_findings(TopLevel& top, AdRange ads, const DetectedVersion& version,
                                                std::pmr::memory_resource* mem = std::pmr::get_default_resource());

}  // namespace adsieve::rules::macros
