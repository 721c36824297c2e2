// The commands, each returning the process exit status.
#pragma once

#include <cstdint>
#include <string>

#include "args.h"
#include "settings.h"

namespace cli {

int run_check(const Settings& s);
int run_follow(const Settings& s, const std::string& start);
int run_rules(RulesFormat format);
int run_tree(const std::string& file, std::uint64_t max_bytes);

}  // namespace cli
