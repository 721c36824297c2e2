// Rule dispatch and the helpers the rule families share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"
#include "report.h"
#include "rules/catalog.h"
#include "version.h"
#include "walk.h"

namespace adsieve::rules {

// Runs the families that apply to a document's root, reporting into `report`.
// `parse_failed` is true when the text could not be read to its end.
void run(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report);

// First element of a child list with exactly this name, or nullptr.
const Node* first_child(Children children, std::string_view name) noexcept;
// True when v equals one of the values of a vocabulary table.
bool one_of(std::string_view v, std::span<const std::string_view> set) noexcept;

}  // namespace adsieve::rules
