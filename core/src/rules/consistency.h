#pragma once

#include "rules/rules.h"

namespace adsieve::rules::consistency {

void check(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report);
// The same with the root's children already sorted out.
void check_ads(const Node& root, const TopLevel& top, bool parse_failed, const DetectedVersion& version, Report& report);

}  // namespace adsieve::rules::consistency
