// Rule dispatch, the one way rules add findings, and the rule catalogue.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model.h"
#include "validate.h"
#include "version.h"

namespace adsieve::rules {

// Resolves the rule's severity and appends an issue unless it is off.
// The position comes from `node` when one is given.
void emit(const ValidationContext& ctx, Issues& issues, std::string_view id,
          std::uint8_t default_severity, std::string_view message,
          std::optional<std::string> path, std::string_view spec_ref, const Node* node);

// Runs the families that apply to the document, appending to `issues`.
void run(const VastDocument& doc, const DetectedVersion& version, const ValidationContext& ctx,
         Issues& issues);

struct CatalogEntry {
    std::string_view id;
    std::string_view description;
    std::uint8_t kind;
    std::uint8_t default_severity;
};

extern const std::span<const CatalogEntry> CATALOG;

// The catalogue entry with exactly this id, or nullptr.
const CatalogEntry* find_rule(std::string_view id) noexcept;

// Path helpers: "/VAST/Ad[2]" and "/VAST[@version]".
std::string indexed(std::string_view base, std::string_view name, std::size_t index);
std::string attr_path(std::string_view element_path, std::string_view attr);

}  // namespace adsieve::rules
