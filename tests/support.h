// Helpers shared by the test programs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "validate.h"

namespace adsieve::testing {

std::string read_file(const std::string& path);
std::string shared_dir();
std::string source_dir();

// <VAST><Ad><container> then `depth` nested <a> elements around `leaf`,
// built directly as a tree.
VastDocument nested_vast(std::string_view container, Node leaf, std::size_t depth);

// One line per issue: "id|severity|path|line|col" ("-" for an absent value).
std::vector<std::string> issue_lines(const ValidationResult& result);

}  // namespace adsieve::testing
