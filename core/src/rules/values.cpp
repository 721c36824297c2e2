#include "rules/values.h"

namespace adsieve::rules::values {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::values
