#pragma once

#include "rules/rules.h"

namespace adsieve::rules::consistency {

void check(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report);

}  // namespace adsieve::rules::consistency
