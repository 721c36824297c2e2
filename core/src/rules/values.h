#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rules/rules.h"

namespace adsieve::rules::values {

void check(const VastDocument& doc, const DetectedVersion& version, const ValidationContext& ctx,
           Issues& issues);

// Checks the children of one <InLine> or <Wrapper> whose path is `content_path`
// ("/VAST/Ad[0]/InLine"). `version` is the effective version, if known.
void check_ad_content(std::span<const Node> children, std::string_view content_path,
                      std::optional<VastVersion> version, const ValidationContext& ctx,
                      Issues& issues);

// Checks one taxonomy authority attribute value and emits at most one of the
// two rules (ids must be constant texts). The not-well-formed rule carries
// `spec_ref`; the unknown-authority rule its own reference.
void check_authority_value(std::string_view value, std::string path,
                           std::string_view not_uri_rule_id, std::string_view unknown_rule_id,
                           std::string_view spec_ref, std::uint32_t line, std::uint32_t col,
                           const ValidationContext& ctx, Issues& issues);

// Clock time HH:MM:SS or HH:MM:SS.mmm (two or more hour digits), taken unchanged.
bool is_hhmmss(std::string_view s) noexcept;

// A clock time, or a decimal number from 0 to 100 followed by "%".
bool is_valid_time_or_percent(std::string_view s) noexcept;

}  // namespace adsieve::rules::values
