#include "rules/schema.h"

namespace adsieve::rules::schema {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::schema
