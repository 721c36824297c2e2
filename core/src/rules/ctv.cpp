#include "rules/ctv.h"

namespace adsieve::rules::ctv {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::ctv
