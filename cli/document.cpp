#include "document.h"

#include <algorithm>
#include <memory>

namespace cli {

namespace {

std::string_view view(adsieve_str s) { return s.ptr ? std::string_view(s.ptr, s.len) : std::string_view(); }

struct ResultFree {
    void operator()(adsieve_result* r) const noexcept { adsieve_result_free(r); }
};

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The parser states its position itself ("... at position 126: reason");
// the command gives line and column instead, so that prefix goes.
std::string_view without_offset(std::string_view reason) {
    constexpr std::string_view lead = "XML parse error at position ";
    if (reason.substr(0, lead.size()) != lead) return reason;
    std::size_t i = lead.size();
    while (i < reason.size() && reason[i] >= '0' && reason[i] <= '9') ++i;
    if (reason.substr(i, 2) != ": ") return reason;
    return reason.substr(i + 2);
}

}  // namespace

Report input_error(std::string name, std::string error) {
    Report r;
    r.name = std::move(name);
    r.error = std::move(error);
    return r;
}

Report check_document(const Checker& checker, std::string name, std::string_view text, std::uint32_t wrapper_depth) {
    adsieve_options o = checker.options;
    o.wrapper_depth = wrapper_depth;
    adsieve_error err{};
    std::unique_ptr<adsieve_result, ResultFree> res(adsieve_validate_opts(text.data(), text.size(), &o, &err));
    if (!res) {
        std::string why = err.status == ADSIEVE_ERR_UTF8 ? "not valid UTF-8" : std::string(err.message);
        return input_error(std::move(name), why.empty() ? "cannot be checked" : why);
    }
    Report r;
    r.name = std::move(name);
    r.json = adsieve_result_json(res.get());
    r.errors = adsieve_result_errors(res.get());
    r.warnings = adsieve_result_warnings(res.get());
    r.infos = adsieve_result_infos(res.get());
    r.empty_input = blank(text);

    const std::size_t n = adsieve_result_issue_count(res.get());
    r.findings.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        adsieve_issue is{};
        if (!adsieve_result_issue(res.get(), i, &is)) continue;
        Finding f;
        f.id = std::string(view(is.id));
        f.severity = severity_named(view(is.severity)).value_or(Severity::error);
        f.message = std::string(view(is.message));
        f.path = std::string(view(is.path));
        // Line 0 is the library's mark for "the document as a whole".
        if (is.has_position && is.line > 0) {
            f.line = is.line;
            f.col = is.col;
        }
        r.findings.push_back(std::move(f));
    }
    std::stable_sort(r.findings.begin(), r.findings.end(), [](const Finding& a, const Finding& b) {
        return a.line != b.line ? a.line < b.line : a.col < b.col;
    });
    const std::size_t counted = r.errors + r.warnings + r.infos;
    r.unlisted = counted > r.findings.size() ? counted - r.findings.size() : 0;

    adsieve_str reason{};
    std::uint32_t line = 0, col = 0;
    if (adsieve_result_parse_error(res.get(), &reason, &line, &col)) {
        r.parse_failed = true;
        r.parse_reason = std::string(without_offset(view(reason)));
        r.parse_line = line;
        r.parse_col = col;
    }
    return r;
}

bool fails_at(const Report& r, Severity level) {
    if (r.errors > 0) return true;
    if (level <= Severity::warning && r.warnings > 0) return true;
    return level == Severity::info && r.infos > 0;
}

}  // namespace cli
