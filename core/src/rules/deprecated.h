#pragma once

#include "rules/rules.h"

namespace adsieve::rules::deprecated {

void check(const Node& root, const DetectedVersion& version, Report& report);
// The same with the root's children already sorted out, for the ads in
// `ads` (see AdRange).
void check_ads(const Node& root, const TopLevel& top, AdRange ads, const DetectedVersion& version, Report& report);

}  // namespace adsieve::rules::deprecated
