// Helpers shared by the test programs.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "parse.h"
#include "rules/rules.h"
#include "validate.h"

namespace adsieve::testing {

std::string read_file(const std::string& path);
std::string shared_dir();
std::string source_dir();

// <VAST><Ad><container> then `depth` nested <a> elements around `leaf`,
// built directly as a tree.
Document nested_vast(std::string_view container, Node leaf, std::size_t depth);

// One line per issue: "id|severity|path|line|col" ("-" for an absent value).
std::vector<std::string> issue_lines(const ValidationResult& result);

// The lines of the issues whose rule id is one of `ids`, in order.
std::vector<std::string> issue_lines_for(const ValidationResult& result,
                                         std::initializer_list<std::string_view> ids);
// The lines of the issues whose rule id begins with `prefix`, in order.
std::vector<std::string> issue_lines_with_prefix(const ValidationResult& result, std::string_view prefix);

// `path` as findings carry it: a path of more than 64 element segments keeps
// its first 32, then "...", then its last 31.
std::string shortened_path(std::string_view path);

// The lines of one family's findings, in order.
std::vector<std::string> family_lines(const ValidationResult& result, Family family);
// Validates `xml` with `ctx` and keeps the lines of one family's findings.
std::vector<std::string> run(std::string_view xml, Family family, const ValidationContext& ctx = {});

// A context that forces a version (or not) and switches the given rules to the given levels.
ValidationContext context(std::optional<VastVersion> forced, Overrides overrides = {});

// Runs one rule family over a root with a context and appends its findings
// (and the texts of their paths) to `out`.
template <class Check>
void run_family(ValidationResult& out, Check&& check, const Node& root, const DetectedVersion& version,
                const ValidationContext& ctx, std::string_view text = {}) {
    Report report(ctx);
    check(root, version, report);
    report.finish(text);
    for (Issue& is : report.issues) out.issues.push_back(is);
    out.paths.adopt(std::move(report.paths));
}

}  // namespace adsieve::testing
