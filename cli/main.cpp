// The adsieve command: validates documents and prints findings as a linter does.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "adsieve.h"
#include "api.h"

namespace {

constexpr const char* kUsage =
    "usage: adsieve [--json] [--wrapper-depth N] [--max-wrapper-depth N] [--rules TEXT] FILE...\n"
    "       adsieve rules\n"
    "       adsieve tree FILE\n"
    "       adsieve --version\n"
    "FILE may be - for standard input. Exit status: 0 all valid, 1 an error found, 2 usage or I/O error.\n";

int usage_error(const std::string& msg) {
    std::fprintf(stderr, "adsieve: %s\n%s", msg.c_str(), kUsage);
    return 2;
}

// Reads a whole file, or standard input for "-".
std::optional<std::string> read_input(const std::string& name) {
    std::FILE* f = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (!f) return std::nullopt;
    std::string data;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    bool failed = std::ferror(f) != 0;
    if (f != stdin) std::fclose(f);
    if (failed) return std::nullopt;
    return data;
}

std::optional<std::uint32_t> parse_number(const char* s) {
    if (!s || !*s) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(s, &end, 10);
    if (*end || errno || v > 0xFFFFFFFFul || s[0] == '-') return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

using adsieve::severity_word;

int list_rules() {
    for (const adsieve::Rule* e : adsieve::CATALOG)
        std::printf("%-52s %-8s %.*s\n", std::string(e->id).c_str(),
                    std::string(severity_word(e->severity)).c_str(),
                    static_cast<int>(e->summary().size()), e->summary().data());
    return 0;
}

int show_tree(const std::string& name) {
    auto data = read_input(name);
    if (!data) {
        std::fprintf(stderr, "adsieve: %s: cannot read file: %s\n", name.c_str(), std::strerror(errno));
        return 2;
    }
    if (!adsieve::text::is_valid_utf8(*data)) {
        std::fprintf(stderr, "adsieve: %s: not valid UTF-8\n", name.c_str());
        return 2;
    }
    std::string out = adsieve::tree_json(*data);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage_error("no input files");
    if (args[0] == "rules" && args.size() == 1) return list_rules();
    if (args[0] == "tree") {
        if (args.size() != 2) return usage_error("tree takes exactly one FILE");
        return show_tree(args[1]);
    }
    bool json = false;
    std::uint32_t depth = 0, max_depth = 0;
    const char* overrides = nullptr;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("adsieve %s\n", adsieve_version());
            return 0;
        } else if (a == "--wrapper-depth" || a == "--max-wrapper-depth") {
            if (i + 1 >= args.size()) return usage_error(a + " needs a number");
            auto n = parse_number(args[++i].c_str());
            if (!n) return usage_error(a + ": not a number: " + args[i]);
            (a == "--wrapper-depth" ? depth : max_depth) = *n;
        } else if (a == "--rules") {
            if (i + 1 >= args.size()) return usage_error("--rules needs a text");
            overrides = args[++i].c_str();
        } else if (a.size() > 1 && a[0] == '-' ) {
            return usage_error("unknown option " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return usage_error("no input files");

    adsieve::ValidationContext base;
    base.wrapper_depth = static_cast<std::uint8_t>(depth & 0xFF);
    base.max_wrapper_depth = max_depth == 0 ? adsieve::ValidationContext::kDefaultMaxWrapperDepth
                                            : static_cast<std::uint8_t>(max_depth & 0xFF);
    base.rule_overrides = adsieve::read_overrides(overrides);

    int status = 0;
    for (const std::string& file : files) {
        const std::string shown = file == "-" ? "<stdin>" : file;
        auto data = read_input(file);
        if (!data) {
            std::fprintf(stderr, "adsieve: %s: cannot read file: %s\n", shown.c_str(), std::strerror(errno));
            status = 2;
            continue;
        }
        if (!adsieve::text::is_valid_utf8(*data)) {
            std::fprintf(stderr, "adsieve: %s: not valid UTF-8\n", shown.c_str());
            status = 2;
            continue;
        }
        adsieve::ValidationResult result = adsieve::validate_with_context(*data, base);
        if (json) {
            std::string out = adsieve::render_json(result);
            out += '\n';
            std::fwrite(out.data(), 1, out.size(), stdout);
        } else {
            for (const adsieve::Issue& is : result.issues) {
                std::string line = shown + ":";
                if (is.line) line += std::to_string(*is.line) + ":" + std::to_string(*is.col) + ":";
                line += " ";
                line += severity_word(is.severity);
                line += ": ";
                line += is.message;
                line += " [";
                line += is.id;
                line += "]";
                if (is.path) line += " (" + *is.path + ")";
                line += '\n';
                std::fwrite(line.data(), 1, line.size(), stdout);
            }
            std::printf("%s: %s, %zu error(s), %zu warning(s), %zu info(s)\n", shown.c_str(),
                        result.errors == 0 ? "valid" : "invalid", result.errors, result.warnings,
                        result.infos);
        }
        if (result.errors > 0 && status == 0) status = 1;
    }
    return status;
}
