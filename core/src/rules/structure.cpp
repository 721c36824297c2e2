#include "rules/structure.h"

namespace adsieve::rules::structure {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::structure
