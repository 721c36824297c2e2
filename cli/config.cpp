#include "config.h"

#include <array>
#include <filesystem>
#include <system_error>

#include <toml++/toml.h>

#include "escape.h"
#include "inputs.h"

namespace fs = std::filesystem;

namespace cli {

namespace {

constexpr std::uint64_t kConfigMaxBytes = 1u << 20;

using Setter = std::string (*)(const toml::node&, Settings&);

std::string want(std::string_view what) { return "expected " + std::string(what); }

std::string get_string(const toml::node& n, std::string& out) {
    if (!n.is_string()) return want("a string");
    out = *n.value<std::string>();
    return {};
}

std::string get_bool(const toml::node& n, bool& out) {
    if (!n.is_boolean()) return want("true or false");
    out = *n.value<bool>();
    return {};
}

template <typename T>
std::string get_count(const toml::node& n, T& out, std::int64_t max) {
    if (!n.is_integer()) return want("a whole number");
    std::int64_t v = *n.value<std::int64_t>();
    if (v < 0 || v > max) return "expected a whole number from 0 to " + std::to_string(max);
    out = static_cast<T>(v);
    return {};
}

std::string get_list(const toml::node& n, std::vector<std::string>& out) {
    const toml::array* a = n.as_array();
    if (!a) return want("a list of strings");
    std::vector<std::string> items;
    for (const toml::node& e : *a) {
        if (!e.is_string()) return want("a list of strings");
        items.push_back(*e.value<std::string>());
    }
    out = std::move(items);
    return {};
}

template <typename T>
std::string get_named(const toml::node& n, T& out, std::optional<T> (*named)(std::string_view),
                      std::string_view choices) {
    std::string word;
    if (!get_string(n, word).empty() || !named(word)) return "expected one of " + std::string(choices);
    out = *named(word);
    return {};
}

std::string get_seconds(const toml::node& n, double& out) {
    if (!n.is_number()) return want("a number of seconds");
    double v = *n.value<double>();
    if (!(v > 0 && v <= 3600)) return want("a number of seconds above 0 and at most 3600");
    out = v;
    return {};
}

std::string get_rules(const toml::node& n, Settings& s) {
    const toml::table* t = n.as_table();
    if (!t) return want("a table of RULE-ID = \"LEVEL\"");
    std::string text = "{";
    for (const auto& [key, value] : *t) {
        if (!value.is_string()) return "\"" + std::string(key.str()) + "\": expected a level text";
        if (text.size() > 1) text += ',';
        append_json_quoted(text, key.str());
        text += ':';
        append_json_quoted(text, *value.value<std::string>());
    }
    s.config_rules = text + "}";
    return {};
}

struct Key {
    std::string_view name;
    Setter set;
};

// Every key the file may hold; each is the long option of the same name.
const std::array<Key, 20> kKeys{{
    {"format", [](const toml::node& n, Settings& s) {
         return get_named(n, s.format, format_named, "text, json, jsonl, sarif, github");
     }},
    {"color", [](const toml::node& n, Settings& s) {
         return get_named(n, s.color, color_named, "auto, always, never");
     }},
    {"fail-on", [](const toml::node& n, Settings& s) {
         return get_named(n, s.fail_on, severity_named, "error, warning, info");
     }},
    {"quiet", [](const toml::node& n, Settings& s) { return get_bool(n, s.quiet); }},
    {"statistics", [](const toml::node& n, Settings& s) { return get_bool(n, s.statistics); }},
    {"progress", [](const toml::node& n, Settings& s) { return get_bool(n, s.progress); }},
    {"select", [](const toml::node& n, Settings& s) { return get_list(n, s.select); }},
    {"ignore", [](const toml::node& n, Settings& s) { return get_list(n, s.ignore); }},
    {"exclude", [](const toml::node& n, Settings& s) { return get_list(n, s.exclude); }},
    {"wrapper-depth", [](const toml::node& n, Settings& s) { return get_count(n, s.wrapper_depth, 255); }},
    {"max-wrapper-depth", [](const toml::node& n, Settings& s) { return get_count(n, s.max_wrapper_depth, 255); }},
    {"max-issues", [](const toml::node& n, Settings& s) {
         return get_count(n, s.max_issues, std::numeric_limits<std::int64_t>::max());
     }},
    {"max-bytes", [](const toml::node& n, Settings& s) {
         return get_count(n, s.max_bytes, std::numeric_limits<std::int64_t>::max());
     }},
    {"jobs", [](const toml::node& n, Settings& s) { return get_count(n, s.jobs, 1024); }},
    {"ndjson", [](const toml::node& n, Settings& s) { return get_bool(n, s.ndjson); }},
    {"xml-field", [](const toml::node& n, Settings& s) { return get_string(n, s.xml_field); }},
    {"id-field", [](const toml::node& n, Settings& s) { return get_string(n, s.id_field); }},
    {"rules", get_rules},
    {"timeout", [](const toml::node& n, Settings& s) { return get_seconds(n, s.timeout); }},
    {"first-timeout", [](const toml::node& n, Settings& s) { return get_seconds(n, s.first_timeout); }},
}};

}  // namespace

std::optional<std::string> find_config() {
    std::error_code ec;
    fs::path dir = fs::current_path(ec);
    if (ec) return std::nullopt;
    while (true) {
        fs::path candidate = dir / kConfigName;
        if (fs::is_regular_file(candidate, ec)) return candidate.string();
        if (!dir.has_parent_path() || dir.parent_path() == dir) return std::nullopt;
        dir = dir.parent_path();
    }
}

std::string apply_config(const std::string& path, Settings& s,
                         const std::function<bool(std::string_view)>& given_on_command_line) {
    std::string text, error;
    if (!read_file(path, kConfigMaxBytes, text, error)) return path + ": " + error;
    try {
        toml::table table = toml::parse(text, path);
        for (const auto& [key, value] : table) {
            const Key* k = nullptr;
            for (const Key& candidate : kKeys)
                if (candidate.name == key.str()) k = &candidate;
            const std::string where = path + ":" + std::to_string(value.source().begin.line) + ": ";
            if (!k) return where + "unknown key \"" + printable(key.str()) + "\"";
            if (given_on_command_line(k->name)) continue;
            if (std::string why = k->set(value, s); !why.empty()) return where + std::string(k->name) + ": " + why;
        }
        if (!s.config_rules.empty()) s.config_file = path;
    } catch (const toml::parse_error& e) {
        return path + ":" + std::to_string(e.source().begin.line) + ":" + std::to_string(e.source().begin.column) +
               ": " + std::string(e.description());
    }
    return {};
}

}  // namespace cli
