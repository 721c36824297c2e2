#pragma once

#include "rules/rules.h"

namespace adsieve::rules::daast {

void check(const VastDocument& doc, const ValidationContext& ctx, Issues& issues);

}  // namespace adsieve::rules::daast
