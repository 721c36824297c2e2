#pragma once

#include "rules/rules.h"

namespace adsieve::rules::schema {

void check(const VastDocument& doc, const DetectedVersion& version, const ValidationContext& ctx,
           Issues& issues);

}  // namespace adsieve::rules::schema
