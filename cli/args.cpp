#include "args.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <CLI/CLI.hpp>

#include "config.h"

namespace cli {

namespace {

constexpr const char* kCheckFooter = R"(Commands:
  adsieve [OPTIONS] INPUT...          check documents (this help)
  adsieve rules [--format FORMAT]     list the rule catalogue (text, json, markdown)
  adsieve tree FILE                   print the element tree as it was read
  adsieve follow URL|FILE [OPTIONS]   fetch a wrapper chain and check every hop (adsieve follow --help)

INPUT is a file, a directory (searched for *.xml and *.xml.gz), a quoted glob
pattern, or - for standard input. Gzip-compressed input is read as is.

Examples:
  adsieve ad.xml
      check one document and print its findings
  adsieve --format github --fail-on warning --exclude 'fixtures/*' tags/
      annotate a pull request from every document under tags/
  zcat responses.ndjson.gz | adsieve --ndjson --format jsonl --select VAST-4.1- - > results.jsonl
      check a log with one {"id": ..., "xml": ...} object per line

Settings may also come from .adsieve.toml in the working directory or the
nearest directory above it (keys named as the long options, rule levels in a
[rules] table); the command line wins.

Exit status: 0 nothing failing, 1 a finding at the --fail-on level, 2 a usage
or input/output error.)";

constexpr const char* kFollowFooter = R"(The first hop is checked as wrapper depth 0, the next as depth 1, and so on.
A wrapper's <VASTAdTagURI> (and each VMAP ad break's <AdTagURI>) is followed
after [CACHEBUSTING] and [TIMESTAMP] are replaced; --macro NAME=VALUE sets
others. Only http, https and local files (first hop) are fetched.

Examples:
  adsieve follow 'https://ads.example.com/tag?id=7'
  adsieve follow --format json --timeout 2 wrapper.xml
  adsieve follow --macro GDPRCONSENT=abc --fail-on warning "$TAG_URL"

Exit status: 0 nothing failing, 1 a finding at the --fail-on level (a failed
fetch is an error finding), 2 a usage or input/output error.)";

struct Choices {
    std::string format, color, fail_on;
    bool json = false;
    std::string config;
    bool no_config = false;
};

// Runs CLI11 and turns its outcome into our statuses.
int parse(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        if (rc != 0) return kExitUsage;
        std::cout.flush();
        if (!std::cout || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "adsieve: write error: %s\n", std::strerror(errno ? errno : EIO));
            return kExitUsage;
        }
        return kExitClean;
    }
    return -1;
}

void setup(CLI::App& app) {
    app.get_formatter()->column_width(34);
    app.set_version_flag("--version", std::string("adsieve ") + adsieve_version());
}

void add_output_options(CLI::App& app, Settings& s, Choices& c) {
    const std::string out = "Output";
    app.add_option("--format", c.format, "Output format (default text)")
                       ->check(CLI::IsMember({"text", "json", "jsonl", "sarif", "github"}))
                       ->type_name("FORMAT")
                       ->group(out);
    app.add_flag("--json", c.json, "Same as --format json")->group(out);
    app.add_option("--color", c.color, "Colour on a terminal (default auto; NO_COLOR is honoured)")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->type_name("WHEN")
        ->group(out);
    app.add_option("--fail-on", c.fail_on, "Lowest severity that fails the run (default error)")
        ->check(CLI::IsMember({"error", "warning", "info"}))
        ->type_name("LEVEL")
        ->group(out);
    app.add_flag("-q,--quiet", s.quiet, "Print errors only")->group(out);
}

void add_rule_options(CLI::App& app, Settings& s) {
    const std::string rules = "Rules";
    app.add_option("--rules", s.rules, "Rule levels, e.g. '{\"VAST-2.0-url-cdata\":\"off\"}' (error, warning, info, off)")
        ->type_name("JSON")
        ->group(rules);
    app.add_option("--select", s.select, "Only these rules: ids or id prefixes such as VAST-4.1- (repeatable, comma-separated)")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->type_name("ID")
        ->group(rules);
    app.add_option("--ignore", s.ignore, "Not these rules: ids or id prefixes (repeatable, comma-separated)")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->type_name("ID")
        ->group(rules);
    app.add_option("--max-wrapper-depth", s.max_wrapper_depth, "Greatest acceptable wrapper depth, 1-255 (default 5)")
        ->check(CLI::Range(1, 255).description(""))
        ->type_name("N")
        ->group(rules);
    app.add_option("--max-issues", s.max_issues, "List at most N findings per document (counts stay exact)")
        ->type_name("N")
        ->group(rules);
}

void add_config_options(CLI::App& app, Choices& c) {
    const std::string group = "Config";
    app.add_option("--config", c.config, "Read settings from this file instead of the nearest .adsieve.toml")
        ->type_name("FILE")
        ->group(group);
    app.add_flag("--no-config", c.no_config, "Read no config file")->group(group);
}

void add_max_bytes(CLI::App& app, Settings& s) {
    app.add_option("--max-bytes", s.max_bytes, "Refuse inputs larger than this, e.g. 64MiB (default 256MiB)")
        ->transform(CLI::AsSizeValue(false).description(""))
        ->type_name("SIZE")
        ->group("Inputs");
}

bool given(const CLI::App& app, const std::string& name) {
    const CLI::Option* o = app.get_option_no_throw("--" + name);
    return o && o->count() > 0;
}

// Reads the config file under the command line, then the enum choices.
int finish(const CLI::App& app, Settings& s, const Choices& c) {
    if (c.json && !c.format.empty() && c.format != "json") {
        std::fprintf(stderr, "adsieve: --json and --format %s disagree\n", c.format.c_str());
        return kExitUsage;
    }
    if (!c.no_config) {
        std::optional<std::string> path = c.config.empty() ? find_config() : std::optional<std::string>(c.config);
        if (path) {
            std::string why = apply_config(*path, s, [&](std::string_view key) {
                if (key == "rules") return false;  // merged, the command line's entries win
                if (key == "format" && c.json) return true;
                return given(app, std::string(key));
            });
            if (!why.empty()) {
                std::fprintf(stderr, "adsieve: %s\n", why.c_str());
                return kExitUsage;
            }
        }
    }
    if (!c.format.empty()) s.format = *format_named(c.format);
    if (c.json) s.format = Format::json;
    if (!c.color.empty()) s.color = *color_named(c.color);
    if (!c.fail_on.empty()) s.fail_on = *severity_named(c.fail_on);
    return -1;
}

}  // namespace

int parse_check_args(int argc, char** argv, Settings& s) {
    CLI::App app("Checks VAST, VMAP and DAAST ad documents and reports every finding.", "adsieve");
    setup(app);
    Choices c;
    app.add_option("inputs", s.inputs, "Files, directories, glob patterns, or - for standard input")
        ->type_name("INPUT");
    const std::string in = "Inputs";
    app.add_option("--exclude", s.exclude, "Skip paths matching this glob in directories (repeatable)")
        ->allow_extra_args(false)
        ->type_name("GLOB")
        ->group(in);
    app.add_flag("--ndjson", s.ndjson, "Each input holds lines of JSON objects with a document in a field")->group(in);
    app.add_option("--xml-field", s.xml_field, "Field holding the document in --ndjson lines (default xml)")
        ->type_name("NAME")
        ->group(in);
    app.add_option("--id-field", s.id_field, "Field naming the document in --ndjson lines (default id)")
        ->type_name("NAME")
        ->group(in);
    add_max_bytes(app, s);
    add_output_options(app, s, c);
    app.add_flag("--statistics", s.statistics, "Count findings per rule across all inputs")->group("Output");
    add_rule_options(app, s);
    app.add_option("--wrapper-depth", s.wrapper_depth, "Wrapper documents already followed to reach the inputs, 0-255")
        ->check(CLI::Range(0, 255).description(""))
        ->type_name("N")
        ->group("Rules");
    app.add_option("-j,--jobs", s.jobs, "Documents checked at once (default: one per core)")
        ->check(CLI::Range(1, 1024).description(""))
        ->type_name("N")
        ->group("Batches");
    app.add_flag("--progress,!--no-progress", s.progress, "Progress line on a terminal for long batches (default on)")
        ->group("Batches");
    add_config_options(app, c);
    app.footer(kCheckFooter);
    if (int rc = parse(app, argc, argv); rc >= 0) return rc;
    if (int rc = finish(app, s, c); rc >= 0) return rc;
    if (s.inputs.empty()) {
        std::fprintf(stderr, "adsieve: no input: give files, directories, or - for standard input\n"
                             "Run with --help for more information.\n");
        return kExitUsage;
    }
    return -1;
}

int parse_follow_args(int argc, char** argv, Settings& s, std::string& start) {
    CLI::App app("Fetches an ad tag and every wrapper it leads to, checking each hop at its wrapper depth.",
                 "adsieve follow");
    setup(app);
    Choices c;
    app.add_option("start", start, "An http(s) URL, or a local file as the first hop")
        ->required()
        ->type_name("URL|FILE");
    add_max_bytes(app, s);
    add_output_options(app, s, c);
    add_rule_options(app, s);
    const std::string fetch = "Fetching";
    app.add_option("--timeout", s.timeout, "Seconds allowed for each hop after the first (default 4)")
        ->check(CLI::Range(0.001, 3600.0).description(""))
        ->type_name("SECONDS")
        ->group(fetch);
    app.add_option("--first-timeout", s.first_timeout, "Seconds allowed for the first hop (default 8)")
        ->check(CLI::Range(0.001, 3600.0).description(""))
        ->type_name("SECONDS")
        ->group(fetch);
    app.add_option("--macro", s.macros, "Value for a [NAME] macro in followed URLs (repeatable)")
        ->allow_extra_args(false)
        ->type_name("NAME=VALUE")
        ->group(fetch);
    add_config_options(app, c);
    app.footer(kFollowFooter);
    if (int rc = parse(app, argc, argv); rc >= 0) return rc;
    if (int rc = finish(app, s, c); rc >= 0) return rc;
    return -1;
}

int parse_rules_args(int argc, char** argv, RulesFormat& format) {
    CLI::App app("Lists every rule with its default severity and description.", "adsieve rules");
    setup(app);
    std::string f = "text";
    app.add_option("--format", f, "text (default), json or markdown")
        ->check(CLI::IsMember({"text", "json", "markdown"}))
        ->type_name("FORMAT");
    if (int rc = parse(app, argc, argv); rc >= 0) return rc;
    format = f == "json" ? RulesFormat::json : f == "markdown" ? RulesFormat::markdown : RulesFormat::text;
    return -1;
}

int parse_tree_args(int argc, char** argv, std::string& file, std::uint64_t& max_bytes) {
    CLI::App app("Prints the element tree of a document as the parser read it, as JSON.", "adsieve tree");
    setup(app);
    app.add_option("file", file, "A file, or - for standard input")->required()->type_name("FILE");
    app.add_option("--max-bytes", max_bytes, "Refuse inputs larger than this (default 256MiB)")
        ->transform(CLI::AsSizeValue(false).description(""))
        ->type_name("SIZE");
    if (int rc = parse(app, argc, argv); rc >= 0) return rc;
    return -1;
}

}  // namespace cli
