#include "rules/vmap.h"

namespace adsieve::rules::vmap {

void check(const VastDocument&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::vmap
