// Renders a validation result as the JSON result document.
#pragma once

#include <string>
#include <string_view>

#include "validate.h"

namespace adsieve {

std::string render_json(const ValidationResult& result);

// Appends s as a JSON string literal (control characters escaped).
void append_escaped(std::string& out, std::string_view s);

}  // namespace adsieve
