#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "rules/rules.h"

namespace adsieve::rules::values {

void check(const Node& root, const DetectedVersion& version, Report& report);
// The same with the root's children already sorted out, for the ads in
// `ads` (see AdRange), in two parts: the ads' adType values, which this
// family lists before everything else,
void check_ad_types(const TopLevel& top, AdRange ads, const DetectedVersion& version, Report& report);
// and the rest, the content of their InLines and Wrappers.
void check_ads(const Node& root, const TopLevel& top, AdRange ads, const DetectedVersion& version, Report& report);

// Checks the children of one <InLine> or <Wrapper> of `top` whose path is `content_path`
// ("/VAST/Ad[0]/InLine"), with its indexed children and the Creatives of its
// first <Creatives>. `version` is the effective version, if known.
void check_ad_content(const TopLevel& top, Children children, const BodyNodes& body, std::span<const CreativeNodes> creatives,
                      const PathRef& content_path, std::optional<VastVersion> version, Report& report);

// Checks one taxonomy authority attribute value and reports at most one of
// the two rules.
void check_authority_value(std::string_view value, const PathRef& path, const Rule& not_uri,
                           const Rule& unknown, const Node* at, Report& report);

// Clock time HH:MM:SS or HH:MM:SS.mmm (two or more hour digits), taken unchanged.
bool is_hhmmss(std::string_view s) noexcept;

// A clock time, or a decimal number from 0 to 100 followed by "%".
bool is_valid_time_or_percent(std::string_view s) noexcept;

}  // namespace adsieve::rules::values
