#include "rules/deprecated.h"

namespace adsieve::rules::deprecated {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::deprecated
