#pragma once

#include "rules/rules.h"

namespace adsieve::rules::vmap {

void check(const Node& root, Report& report);

}  // namespace adsieve::rules::vmap
