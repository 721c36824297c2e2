// Command lines of the four commands. Each parser returns -1 when the command
// should run, or the exit status to stop with (0 after --help or --version,
// 2 after a usage error, already reported).
#pragma once

#include <string>

#include "settings.h"

namespace cli {

// adsieve [OPTIONS] INPUT...
int parse_check_args(int argc, char** argv, Settings& s);

// adsieve follow URL|FILE [OPTIONS]
int parse_follow_args(int argc, char** argv, Settings& s, std::string& start);

enum class RulesFormat { text, json, markdown };

// adsieve rules [--format text|json|markdown]
int parse_rules_args(int argc, char** argv, RulesFormat& format);

// adsieve tree FILE [--max-bytes N]
int parse_tree_args(int argc, char** argv, std::string& file, std::uint64_t& max_bytes);

}  // namespace cli
