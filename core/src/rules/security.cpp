#include "rules/security.h"

namespace adsieve::rules::security {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::security
