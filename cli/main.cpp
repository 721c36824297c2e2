// The adsieve command: checks ad documents as a linter does.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "args.h"
#include "commands.h"

namespace {

int run(int argc, char** argv) {
    using namespace cli;
    const char* first = argc > 1 ? argv[1] : "";
    if (std::strcmp(first, "rules") == 0) {
        RulesFormat format = RulesFormat::text;
        if (int rc = parse_rules_args(argc - 1, argv + 1, format); rc >= 0) return rc;
        return run_rules(format);
    }
    if (std::strcmp(first, "tree") == 0) {
        std::string file;
        std::uint64_t max_bytes = kDefaultMaxBytes;
        if (int rc = parse_tree_args(argc - 1, argv + 1, file, max_bytes); rc >= 0) return rc;
        return run_tree(file, max_bytes);
    }
    if (std::strcmp(first, "follow") == 0) {
        Settings s;
        std::string start;
        if (int rc = parse_follow_args(argc - 1, argv + 1, s, start); rc >= 0) return rc;
        return run_follow(s, start);
    }
    Settings s;
    if (int rc = parse_check_args(argc, argv, s); rc >= 0) return rc;
    return run_check(s);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("adsieve: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "adsieve: %s\n", e.what());
    }
    return cli::kExitUsage;
}
