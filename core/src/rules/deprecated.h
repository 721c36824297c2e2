#pragma once

#include "rules/rules.h"

namespace adsieve::rules::deprecated {

void check(const Node& root, const DetectedVersion& version, Report& report);

}  // namespace adsieve::rules::deprecated
