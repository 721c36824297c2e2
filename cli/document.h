// One document checked through the library, with everything the formats print.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings.h"

namespace cli {

struct Finding {
    std::string id;
    Severity severity = Severity::error;
    std::string message;
    std::string path;  // empty when the finding has none
    std::uint32_t line = 0;  // 0: no position
    std::uint32_t col = 0;
    int vast_code = 0;  // the VAST error code a player would report; only for chain findings
};

struct Report {
    std::string name;
    std::string error;  // the input could not be read or checked; nothing else is set
    std::string json;   // the library's JSON result, unchanged
    std::vector<Finding> findings;  // sorted by position, unpositioned first
    std::size_t errors = 0, warnings = 0, infos = 0;
    std::size_t unlisted = 0;  // findings cut by --max-issues
    bool parse_failed = false;
    std::string parse_reason;
    std::uint32_t parse_line = 0, parse_col = 0;
    bool empty_input = false;  // nothing but white space

    bool unreadable() const { return !error.empty(); }
};

// Validates `text` with the run's options at the given wrapper depth.
Report check_document(const Checker& checker, std::string name, std::string_view text, std::uint32_t wrapper_depth);

// A report for an input that could not be read.
Report input_error(std::string name, std::string error);

// True when the report has a finding at or above `level`.
bool fails_at(const Report& r, Severity level);

}  // namespace cli
