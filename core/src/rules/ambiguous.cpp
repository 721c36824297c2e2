#include "rules/ambiguous.h"

namespace adsieve::rules::ambiguous {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::ambiguous
