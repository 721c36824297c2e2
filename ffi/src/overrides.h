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

// Reads the same text strictly into `map` (later entries win): returns an
// empty string, or the reason the text is refused (cannot be read, an unknown
// rule id, an unknown level).
std::string read_overrides_strict(std::string_view text, OverrideMap& map);

// The level a word names ("error", "warning", "info", "off"), if any.
std::optional<Level> level_word(std::string_view w);

}  // namespace adsieve::ffi
