#pragma once

#include "rules/rules.h"

namespace adsieve::rules::vmap {

void check(const VastDocument& doc, const ValidationContext& ctx, Issues& issues);

}  // namespace adsieve::rules::vmap
