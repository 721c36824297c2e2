#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rules/rules.h"

namespace adsieve::rules::values {

void check(const VastDocument& doc, const DetectedVersion& version, const ValidationContext& ctx,
           Issues& issues);

// Clock time HH:MM:SS or HH:MM:SS.mmm (two or more hour digits), taken unchanged.
bool is_hhmmss(std::string_view s) noexcept;

// A clock time, or a decimal number from 0 to 100 followed by "%".
bool is_valid_time_or_percent(std::string_view s) noexcept;

}  // namespace adsieve::rules::values
