#include "rules/simid.h"

namespace adsieve::rules::simid {

void check(const VastDocument&, const DetectedVersion&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::simid
