// The output formats: text, json, jsonl, sarif and github.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "document.h"
#include "settings.h"

namespace cli {

struct Style {
    Format format = Format::text;
    bool color = false;
    bool quiet = false;
    const Catalog* catalog = nullptr;
};

// What one report prints: `out` to standard output, `err` to standard error.
// For sarif, `out` is the report's results, each preceded by a comma.
struct Rendered {
    std::string out;
    std::string err;
};

Rendered render_report(const Report& r, const Style& st);

// Counts over a whole run, gathered in input order.
struct Totals {
    std::size_t documents = 0, valid = 0, invalid = 0, unreadable = 0;
    std::size_t errors = 0, warnings = 0, infos = 0;
    std::size_t failing = 0;  // documents with a finding at the fail-on level
    std::map<std::string, std::pair<Severity, std::size_t>> per_rule;
    std::vector<std::pair<std::string, std::string>> input_errors;  // name, reason
};

void tally(Totals& t, const Report& r, Severity fail_on);

// The status a run ends with: 2 when an input could not be read, 1 when a
// document fails at the fail-on level, otherwise 0.
int exit_status(const Totals& t);

std::string render_summary(const Totals& t, const Style& st);
std::string render_statistics(const Totals& t, const Style& st);

// A SARIF log is one document: its head (tool and rule catalogue) up to the
// opening of the results array, the results, then its tail.
std::string sarif_head(const Catalog& catalog);
std::string sarif_tail(const Totals& t);

// Pieces shared with the follow command.
std::string sarif_level(Severity s);
std::string sarif_result(const Style& st, const Finding& f, std::string_view artifact, std::string_view extra_message);
std::string github_line(const Finding& f, std::string_view file, std::string_view extra_message);
std::string paint(const Style& st, std::string_view code, std::string_view text);
std::string severity_painted(const Style& st, Severity s);

}  // namespace cli
