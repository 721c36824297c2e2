#include "rules/required.h"

namespace adsieve::rules::required {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::required
