#include "report.h"

#include <array>

namespace adsieve {

namespace {
constexpr std::array<std::string_view, 4> kSeverityWords{"info", "warning", "error", "off"};
constexpr std::array<std::string_view, 13> kFamilyWords{
    "required", "schema", "structure", "security", "consistency", "deprecated", "ambiguous",
    "values",   "ctv",    "simid",     "macros",   "vmap",        "daast"};
}  // namespace

std::string_view severity_word(Severity s) noexcept { return kSeverityWords[static_cast<std::size_t>(s)]; }

std::optional<Severity> severity_from_word(std::string_view w) noexcept {
    for (std::size_t i = 0; i < kSeverityWords.size(); ++i)
        if (kSeverityWords[i] == w) return static_cast<Severity>(i);
    return std::nullopt;
}

std::string_view family_word(Family f) noexcept { return kFamilyWords[static_cast<std::size_t>(f)]; }

Severity ValidationContext::resolve(const Rule& rule) const {
    if (!rule_overrides || rule_overrides->empty()) return rule.severity;
    auto it = rule_overrides->find(rule.id);
    return it == rule_overrides->end() ? rule.severity : it->second;
}

void Report::add(const Rule& r, std::string_view message, std::string_view spec_ref, Severity s,
                 std::optional<std::string> path, std::optional<Position> at) {
    switch (s) {
        case Severity::Off: return;
        case Severity::Error: ++errors; break;
        case Severity::Warning: ++warnings; break;
        case Severity::Info: ++infos; break;
    }
    if (ctx.max_issues != 0 && issues.size() >= ctx.max_issues) {
        truncated = true;
        return;
    }
    Issue& is = issues.emplace_back();
    if (!path_prefix.empty()) {
        std::string full(path_prefix);
        if (path) full += *path;
        is.path = std::move(full);
    } else {
        is.path = std::move(path);
    }
    if (at) {
        is.line = at->line;
        is.col = at->col;
    }
    is.id = r.id;
    is.message = message;
    is.spec_ref = spec_ref;
    is.severity = s;
}

}  // namespace adsieve
