#include "rules/daast.h"

namespace adsieve::rules::daast {

void check(const VastDocument&, const ValidationContext&, Issues&) {}

}  // namespace adsieve::rules::daast
