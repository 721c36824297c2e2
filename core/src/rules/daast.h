#pragma once

#include "rules/rules.h"

namespace adsieve::rules::daast {

void check(const Node& root, Report& report);

}  // namespace adsieve::rules::daast
