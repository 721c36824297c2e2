// Reads the rule-override option text, e.g. {"RULE-ID":"off"}.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "report.h"

namespace adsieve {

// The overrides a text assigns, or nothing when it gives none. Lenient:
// entries with an unknown id or level are passed over, and a text that
// cannot be read assigns nothing.
std::optional<Overrides> read_overrides(const char* text);

// Reads the same text strictly into `map` (later entries win): returns an
// empty string, or the reason the text is refused (cannot be read, an unknown
// rule id, an unknown level).
std::string read_overrides_strict(std::string_view text, Overrides& map);

// Adds one override strictly; returns an empty string or the reason it is refused.
std::string add_override(std::string_view id, std::string_view level, Overrides& map);

}  // namespace adsieve
