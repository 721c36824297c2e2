// Reading text into an element tree.
#pragma once

#include <string_view>

#include "model.h"

namespace adsieve {

// Parses UTF-8 text (already checked) into a tree. Never fails: problems
// end the reading and are recorded in parse_error.
Document parse(std::string_view text);

}  // namespace adsieve
