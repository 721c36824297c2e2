#include "rules/macros.h"

namespace adsieve::rules::macros {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::macros
