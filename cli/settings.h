// Settings of a run, read from the project config file and the command line,
// and the library options built from them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "adsieve.h"

namespace cli {

enum class Format { text, json, jsonl, sarif, github };
enum class Color { automatic, always, never };
enum class Severity : int { info = 0, warning = 1, error = 2 };

std::optional<Format> format_named(std::string_view s);
std::optional<Color> color_named(std::string_view s);
std::optional<Severity> severity_named(std::string_view s);
std::string_view severity_word(Severity s);

// Exit statuses shared by every command.
constexpr int kExitClean = 0;
constexpr int kExitFindings = 1;
constexpr int kExitUsage = 2;

constexpr std::uint64_t kDefaultMaxBytes = 256ull << 20;

struct Settings {
    // Inputs.
    std::vector<std::string> inputs;
    std::vector<std::string> exclude;
    bool ndjson = false;
    std::string xml_field = "xml";
    std::string id_field = "id";
    std::uint64_t max_bytes = kDefaultMaxBytes;
    // Validation.
    std::uint32_t wrapper_depth = 0;
    std::uint32_t max_wrapper_depth = 5;
    std::string rules;         // --rules text
    std::string config_rules;  // the config file's [rules] table, as the same kind of text
    std::string config_file;   // where config_rules came from, for messages
    std::vector<std::string> select;
    std::vector<std::string> ignore;
    std::size_t max_issues = 0;
    // Output.
    Format format = Format::text;
    Color color = Color::automatic;
    Severity fail_on = Severity::error;
    bool quiet = false;
    bool statistics = false;
    // Batches.
    unsigned jobs = 0;  // 0: one per core
    bool progress = true;
    // Following wrapper chains: seconds allowed per hop, and for the first.
    double timeout = 4.0;
    double first_timeout = 8.0;
    std::vector<std::string> macros;  // NAME=VALUE
};

// The rule catalogue as the library lists it.
struct RuleInfo {
    std::string id;
    Severity default_severity = Severity::error;
    std::string description;
    std::string family;
};

struct Catalog {
    std::vector<RuleInfo> rules;
    std::unordered_map<std::string, std::size_t> index;  // id -> position in rules
};

Catalog load_catalog();

// Library options for every document of a run. Holds pointers into itself,
// so it is built in place and never copied.
struct Checker {
    adsieve_options options{};
    std::string overrides;         // config rules, then --rules (later entries win)
    std::vector<std::string> off;  // rules switched off by --select / --ignore
    std::vector<adsieve_override> pairs;

    Checker() = default;
    Checker(const Checker&) = delete;
    Checker& operator=(const Checker&) = delete;
};

// Fills `checker` from the settings. Returns an empty text, or the reason the
// settings cannot be used (an unreadable override, an unknown rule, a depth
// out of range, a selector that matches no rule).
std::string build_checker(const Settings& s, const Catalog& catalog, Checker& checker);

}  // namespace cli
