#include "formats.h"

#include <algorithm>
#include <cstdio>

#include "escape.h"

namespace cli {

namespace {

constexpr std::string_view kBold = "1";
constexpr std::string_view kDim = "2";
constexpr std::string_view kRed = "1;31";
constexpr std::string_view kGreen = "32";
constexpr std::string_view kYellow = "1;33";
constexpr std::string_view kCyan = "1;36";
constexpr std::string_view kBlue = "1;34";

bool is_parse_finding(const Finding& f) {
    constexpr std::string_view tail = "-parse-error";
    return f.id.size() > tail.size() && f.id.compare(f.id.size() - tail.size(), tail.size(), tail) == 0;
}

std::string position(std::uint32_t line, std::uint32_t col) {
    return std::to_string(line) + ":" + std::to_string(col) + ":";
}

// The parser's reason, in the words a reader of one line needs.
std::string parse_detail(const Report& r) {
    return r.parse_reason + " (line " + std::to_string(r.parse_line) + ", column " + std::to_string(r.parse_col) + ")";
}

std::string note_line(const Style& st, const std::string& name, std::string_view pos, std::string_view text) {
    std::string line = paint(st, kBold, printable(name)) + ":";
    line += pos;
    line += " " + paint(st, kBlue, "note") + ": ";
    line += printable(text);
    line += '\n';
    return line;
}

std::string text_report(const Report& r, const Style& st) {
    const std::string name = printable(r.name);
    std::string out;
    bool parse_noted = false;
    auto parse_note = [&] {
        if (!r.parse_failed || parse_noted) return;
        parse_noted = true;
        out += note_line(st, r.name, position(r.parse_line, r.parse_col), r.parse_reason);
    };
    for (const Finding& f : r.findings) {
        if (st.quiet && f.severity != Severity::error) continue;
        out += paint(st, kBold, name) + ":";
        if (f.line) out += position(f.line, f.col);
        out += " " + severity_painted(st, f.severity) + ": ";
        out += printable(f.message);
        out += " [" + paint(st, kDim, printable(f.id)) + "]";
        if (!f.path.empty()) out += " (" + printable(f.path) + ")";
        out += '\n';
        if (is_parse_finding(f)) parse_note();
    }
    parse_note();
    if (r.empty_input) out += note_line(st, r.name, "", "the input is empty");
    if (r.unlisted)
        out += note_line(st, r.name, "",
                         std::to_string(r.unlisted) + " more finding(s) not listed (--max-issues)");
    if (!st.quiet) {
        const bool valid = r.errors == 0;
        char counts[160];
        std::snprintf(counts, sizeof counts, ", %zu error(s), %zu warning(s), %zu info(s)\n", r.errors, r.warnings,
                      r.infos);
        out += paint(st, kBold, name) + ": " + paint(st, valid ? kGreen : kRed, valid ? "valid" : "invalid") + counts;
    }
    return out;
}

std::string jsonl_report(const Report& r) {
    std::string out = "{\"file\":";
    append_json_quoted(out, r.name);
    if (r.unreadable()) {
        out += ",\"error\":";
        append_json_quoted(out, r.error);
    } else {
        out += ",\"result\":";
        out += r.json;
    }
    out += "}\n";
    return out;
}

std::string github_report(const Report& r, const Style& st) {
    std::string out;
    for (const Finding& f : r.findings) {
        if (st.quiet && f.severity != Severity::error) continue;
        if (is_parse_finding(f) && r.parse_failed && !f.line) {
            Finding at = f;
            at.line = r.parse_line;
            at.col = r.parse_col;
            out += github_line(at, r.name, parse_detail(r));
        } else {
            out += github_line(f, r.name, {});
        }
    }
    return out;
}

std::string sarif_report(const Report& r, const Style& st) {
    std::string out;
    const std::string artifact = uri_reference(r.name);
    for (const Finding& f : r.findings) {
        if (st.quiet && f.severity != Severity::error) continue;
        out += ',';
        if (is_parse_finding(f) && r.parse_failed && !f.line) {
            Finding at = f;
            at.line = r.parse_line;
            at.col = r.parse_col;
            out += sarif_result(st, at, artifact, parse_detail(r));
        } else {
            out += sarif_result(st, f, artifact, {});
        }
    }
    return out;
}

}  // namespace

std::string paint(const Style& st, std::string_view code, std::string_view text) {
    if (!st.color) return std::string(text);
    std::string s = "\x1b[";
    s += code;
    s += 'm';
    s += text;
    s += "\x1b[0m";
    return s;
}

std::string severity_painted(const Style& st, Severity s) {
    std::string_view code = s == Severity::error ? kRed : s == Severity::warning ? kYellow : kCyan;
    return paint(st, code, severity_word(s));
}

std::string sarif_level(Severity s) {
    return s == Severity::error ? "error" : s == Severity::warning ? "warning" : "note";
}

std::string sarif_result(const Style& st, const Finding& f, std::string_view artifact, std::string_view extra) {
    std::string out = "{\"ruleId\":";
    append_json_quoted(out, f.id);
    if (st.catalog) {
        auto it = st.catalog->index.find(f.id);
        if (it != st.catalog->index.end()) out += ",\"ruleIndex\":" + std::to_string(it->second);
    }
    out += ",\"level\":\"" + sarif_level(f.severity) + "\",\"message\":{\"text\":";
    std::string message = f.message;
    if (!extra.empty()) message += ": " + std::string(extra);
    if (f.vast_code) message += " (VAST error " + std::to_string(f.vast_code) + ")";
    append_json_quoted(out, message);
    out += "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":";
    append_json_quoted(out, artifact);
    out += "}";
    if (f.line) {
        out += ",\"region\":{\"startLine\":" + std::to_string(f.line);
        if (f.col) out += ",\"startColumn\":" + std::to_string(f.col);
        out += "}";
    }
    out += "}";
    if (!f.path.empty()) {
        out += ",\"logicalLocations\":[{\"fullyQualifiedName\":";
        append_json_quoted(out, f.path);
        out += ",\"kind\":\"element\"}]";
    }
    out += "}]";
    if (f.vast_code) out += ",\"properties\":{\"vastErrorCode\":" + std::to_string(f.vast_code) + "}";
    out += "}";
    return out;
}

std::string github_line(const Finding& f, std::string_view file, std::string_view extra) {
    std::string_view command = f.severity == Severity::error     ? "error"
                               : f.severity == Severity::warning ? "warning"
                                                                 : "notice";
    std::string out = "::";
    out += command;
    out += " file=" + github_property(file);
    if (f.line) out += ",line=" + std::to_string(f.line) + ",col=" + std::to_string(f.col);
    out += ",title=" + github_property(f.id) + "::";
    std::string message = f.message;
    if (!extra.empty()) message += ": " + std::string(extra);
    if (f.vast_code) message += " (VAST error " + std::to_string(f.vast_code) + ")";
    if (!f.path.empty()) message += " (" + f.path + ")";
    out += github_data(message);
    out += '\n';
    return out;
}

Rendered render_report(const Report& r, const Style& st) {
    Rendered out;
    if (r.unreadable()) out.err = "adsieve: " + printable(r.name) + ": " + printable(r.error) + "\n";
    switch (st.format) {
        case Format::text:
            if (!r.unreadable()) out.out = text_report(r, st);
            break;
        case Format::json:
            if (!r.unreadable()) out.out = r.json + "\n";
            break;
        case Format::jsonl:
            out.out = jsonl_report(r);
            break;
        case Format::github:
            if (r.unreadable())
                out.out = "::error file=" + github_property(r.name) + ",title=adsieve::" + github_data(r.error) + "\n";
            else
                out.out = github_report(r, st);
            break;
        case Format::sarif:
            if (!r.unreadable()) out.out = sarif_report(r, st);
            break;
    }
    return out;
}

void tally(Totals& t, const Report& r, Severity fail_on) {
    ++t.documents;
    if (r.unreadable()) {
        ++t.unreadable;
        t.input_errors.emplace_back(r.name, r.error);
        return;
    }
    ++(r.errors == 0 ? t.valid : t.invalid);
    t.errors += r.errors;
    t.warnings += r.warnings;
    t.infos += r.infos;
    if (fails_at(r, fail_on)) ++t.failing;
    for (const Finding& f : r.findings) {
        auto& slot = t.per_rule[f.id];
        slot.first = f.severity;
        ++slot.second;
    }
}

int exit_status(const Totals& t) {
    if (t.unreadable) return kExitUsage;
    return t.failing ? kExitFindings : kExitClean;
}

std::string render_summary(const Totals& t, const Style& st) {
    char line[320];
    std::snprintf(line, sizeof line,
                  "%zu document(s) checked: %zu valid, %zu invalid, %zu unreadable; %zu error(s), %zu warning(s), "
                  "%zu info(s)",
                  t.documents, t.valid, t.invalid, t.unreadable, t.errors, t.warnings, t.infos);
    return paint(st, kBold, line) + "\n";
}

std::string render_statistics(const Totals& t, const Style& st) {
    std::vector<std::pair<std::string, std::pair<Severity, std::size_t>>> rows(t.per_rule.begin(), t.per_rule.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.second.second > b.second.second; });
    std::string out = "Findings per rule:\n";
    for (const auto& [id, v] : rows) {
        char count[32];
        std::snprintf(count, sizeof count, "%7zu  ", v.second);
        std::string sev = std::string(severity_word(v.first));
        sev.resize(9, ' ');
        out += count + paint(st, v.first == Severity::error ? kRed : v.first == Severity::warning ? kYellow : kCyan, sev) +
               printable(id) + "\n";
    }
    if (rows.empty()) out += "      0  (no findings)\n";
    return out;
}

std::string sarif_head(const Catalog& catalog) {
    std::string out =
        "{\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\",\"version\":\"2.1.0\",\"runs\":[{\"tool\":{"
        "\"driver\":{\"name\":\"adsieve\",\"version\":";
    append_json_quoted(out, adsieve_version());
    out += ",\"semanticVersion\":";
    append_json_quoted(out, adsieve_version());
    out += ",\"rules\":[";
    bool first = true;
    for (const RuleInfo& r : catalog.rules) {
        if (!first) out += ',';
        first = false;
        out += "{\"id\":";
        append_json_quoted(out, r.id);
        out += ",\"shortDescription\":{\"text\":";
        append_json_quoted(out, r.description);
        out += "},\"defaultConfiguration\":{\"level\":\"" + sarif_level(r.default_severity) + "\"}";
        out += ",\"properties\":{\"family\":";
        append_json_quoted(out, r.family);
        out += "}}";
    }
    out += "]}},\"results\":[";
    return out;
}

std::string sarif_tail(const Totals& t) {
    std::string out = "],\"invocations\":[{\"executionSuccessful\":";
    out += t.unreadable ? "false" : "true";
    if (!t.input_errors.empty()) {
        out += ",\"toolExecutionNotifications\":[";
        bool first = true;
        for (const auto& [name, reason] : t.input_errors) {
            if (!first) out += ',';
            first = false;
            out += "{\"level\":\"error\",\"message\":{\"text\":";
            append_json_quoted(out, reason);
            out += "},\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":";
            append_json_quoted(out, uri_reference(name));
            out += "}}}]}";
        }
        out += "]";
    }
    out += "}]}]}\n";
    return out;
}

}  // namespace cli
