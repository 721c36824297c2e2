// Reads the rule-override option text.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "validate.h"

namespace adsieve::ffi {

using OverrideMap = std::map<std::string, Level, std::less<>>;

// The overrides a text assigns, or nothing when it gives none.
std::optional<OverrideMap> read_overrides(const char* text);

}  // namespace adsieve::ffi
