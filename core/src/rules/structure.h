#pragma once

#include "rules/rules.h"

namespace adsieve::rules::structure {

void check(const Node& root, const DetectedVersion& version, Report& report);
// The same with the root's children already sorted out.
void check_ads(const Node& root, const TopLevel& top, const DetectedVersion& version, Report& report);

}  // namespace adsieve::rules::structure
