// Helpers shared by the test programs.
#pragma once

#include <initializer_list>
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

// The lines of the issues whose rule id is one of `ids`, in order.
std::vector<std::string> issue_lines_for(const ValidationResult& result,
                                         std::initializer_list<std::string_view> ids);
// The lines of the issues whose rule id begins with `prefix`, in order.
std::vector<std::string> issue_lines_with_prefix(const ValidationResult& result, std::string_view prefix);

}  // namespace adsieve::testing
