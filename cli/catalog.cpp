// adsieve rules and adsieve tree.
#include <cstdio>

#include "commands.h"
#include "escape.h"
#include "inputs.h"
#include "output.h"

namespace cli {

namespace {

// Markdown table cells: the pipe would end the cell, < and > are HTML.
std::string markdown_cell(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '|': out += "\\|"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace

int run_rules(RulesFormat format) {
    const Catalog catalog = load_catalog();
    Output out = open_output(false);
    std::string text;
    switch (format) {
        case RulesFormat::text:
            for (const RuleInfo& r : catalog.rules) {
                char head[128];
                std::snprintf(head, sizeof head, "%-52s %-8s ", r.id.c_str(),
                              std::string(severity_word(r.default_severity)).c_str());
                text += head + r.description + "\n";
            }
            break;
        case RulesFormat::json: {
            text = "[";
            bool first = true;
            for (const RuleInfo& r : catalog.rules) {
                text += first ? "\n" : ",\n";
                first = false;
                text += "{\"id\":" + json_quote(r.id) + ",\"default_severity\":\"" +
                        std::string(severity_word(r.default_severity)) + "\",\"family\":" + json_quote(r.family) +
                        ",\"description\":" + json_quote(r.description) + "}";
            }
            text += "\n]\n";
            break;
        }
        case RulesFormat::markdown:
            text = "| id | family | default | description |\n|---|---|---|---|\n";
            for (const RuleInfo& r : catalog.rules)
                text += "| `" + r.id + "` | " + r.family + " | " + std::string(severity_word(r.default_severity)) +
                        " | " + markdown_cell(r.description) + " |\n";
            break;
    }
    write_out(out, text);
    return finish_output(out) ? kExitClean : kExitUsage;
}

int run_tree(const std::string& file, std::uint64_t max_bytes) {
    const std::string shown = file == "-" ? "<stdin>" : file;
    std::string data, error;
    if (!read_file(file == "-" ? std::string() : file, max_bytes, data, error)) {
        std::fprintf(stderr, "adsieve: %s: %s\n", printable(shown).c_str(), error.c_str());
        return kExitUsage;
    }
    adsieve_error err{};
    char* tree = adsieve_tree_json(data.data(), data.size(), &err);
    if (!tree) {
        std::fprintf(stderr, "adsieve: %s: %s\n", printable(shown).c_str(),
                     err.status == ADSIEVE_ERR_UTF8 ? "not valid UTF-8" : err.message);
        return kExitUsage;
    }
    Output out = open_output(false);
    write_out(out, tree);
    adsieve_string_free(tree);
    write_out(out, "\n");
    return finish_output(out) ? kExitClean : kExitUsage;
}

}  // namespace cli
