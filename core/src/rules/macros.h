#pragma once

#include "rules/rules.h"

namespace adsieve::rules::macros {

void check(const VastDocument& doc, const DetectedVersion& version, const ValidationContext& ctx,
           Issues& issues);

}  // namespace adsieve::rules::macros
