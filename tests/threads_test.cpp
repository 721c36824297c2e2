// Four threads validate the whole corpus at once, with and without options,
// and read shared result handles, the catalogue and element trees; every
// result must equal the one computed before on a single thread. Built a
// second time under ThreadSanitizer by scripts/tsan.sh.
//
//   threads_test [CORPUS_DIR]
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "adsieve.h"

namespace {

constexpr int kThreads = 4;

// The ways a document is validated: the plain call, the lenient options call,
// the typed call with every option, and the typed call with defaults.
enum class Way { Plain, Lenient, Typed, TypedDefault };
constexpr Way kWays[] = {Way::Plain, Way::Lenient, Way::Typed, Way::TypedDefault};
constexpr std::size_t kWayCount = std::size(kWays);

constexpr const char* kOverrideText = R"({"VAST-2.0-url-cdata":"off","VAST-2.0-tracking-https":"error"})";
constexpr adsieve_override kPairs[] = {{"VAST-2.0-url-empty", "info"},
                                       {"VAST-2.0-extension-misplaced-element", "off"}};

adsieve_result* validate(const std::string& doc, Way way) {
    switch (way) {
        case Way::Plain: return adsieve_validate(doc.data(), doc.size());
        case Way::Lenient: return adsieve_validate_with_options(doc.data(), doc.size(), 2, 3, kOverrideText);
        case Way::Typed: {
            adsieve_options o;
            adsieve_options_init(&o);
            o.wrapper_depth = 1;
            o.max_wrapper_depth = 2;
            o.rule_overrides = kOverrideText;
            o.overrides = kPairs;
            o.override_count = std::size(kPairs);
            o.max_issues = 5;
            return adsieve_validate_opts(doc.data(), doc.size(), &o, nullptr);
        }
        case Way::TypedDefault: return adsieve_validate_opts(doc.data(), doc.size(), nullptr, nullptr);
    }
    return nullptr;
}

void append(std::string& out, adsieve_str s) {
    if (s.ptr) out.append(s.ptr, s.len);
    out.push_back('|');
}

// Everything a caller can read from a handle, as one text.
std::string snapshot(const adsieve_result* r) {
    if (!r) return "NULL";
    std::string out = adsieve_result_json(r);
    out += "\n" + std::to_string(adsieve_result_errors(r)) + " " + std::to_string(adsieve_result_warnings(r)) + " " +
           std::to_string(adsieve_result_infos(r)) + " " + std::to_string(adsieve_result_valid(r)) + " " +
           std::to_string(adsieve_result_truncated(r)) + " ";
    const char* version = adsieve_result_version(r);
    out += version ? version : "-";
    adsieve_str reason{};
    std::uint32_t line = 0, col = 0;
    if (adsieve_result_parse_error(r, &reason, &line, &col)) {
        out += "\nparse error ";
        append(out, reason);
        out += std::to_string(line) + ":" + std::to_string(col);
    }
    const std::size_t n = adsieve_result_issue_count(r);
    for (std::size_t i = 0; i < n; ++i) {
        adsieve_issue is{};
        if (!adsieve_result_issue(r, i, &is)) return out + "\nissue unreadable";
        out.push_back('\n');
        for (adsieve_str s : {is.id, is.severity, is.message, is.path, is.spec_ref}) append(out, s);
        if (is.has_position) out += std::to_string(is.line) + ":" + std::to_string(is.col);
    }
    return out;
}

std::string catalogue() {
    std::string out;
    const std::size_t n = adsieve_rule_count();
    for (std::size_t i = 0; i < n; ++i) {
        adsieve_rule_info info{};
        if (!adsieve_rule(i, &info)) return "rule unreadable";
        for (adsieve_str s : {info.id, info.default_severity, info.description, info.family}) append(out, s);
    }
    return out;
}

std::string tree(const std::string& doc) {
    char* t = adsieve_tree_json(doc.data(), doc.size(), nullptr);
    std::string out = t ? t : "NULL";
    adsieve_string_free(t);
    return out;
}

std::vector<std::string> read_corpus(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == ".xml") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<std::string> docs;
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        docs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return docs;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir = argc > 1 ? argv[1] : ADSIEVE_SHARED_DIR "/corpus";
    const std::vector<std::string> docs = read_corpus(dir);
    if (docs.empty()) {
        std::fprintf(stderr, "no documents under %s\n", dir.c_str());
        return 1;
    }

    // Single-threaded results first.
    std::vector<std::string> expected(docs.size() * kWayCount);
    std::vector<std::string> trees(docs.size());
    for (std::size_t d = 0; d < docs.size(); ++d) {
        for (std::size_t w = 0; w < kWayCount; ++w) {
            adsieve_result* r = validate(docs[d], kWays[w]);
            expected[d * kWayCount + w] = snapshot(r);
            adsieve_result_free(r);
        }
        trees[d] = tree(docs[d]);
    }
    const std::string rules = catalogue();

    // Handles made on this thread and read by all threads at once.
    std::vector<adsieve_result*> shared;
    for (std::size_t d = 0; d < docs.size(); d += 16) shared.push_back(validate(docs[d], Way::Typed));

    std::atomic<std::size_t> mismatches{0}, calls{0};
    auto work = [&](int t) {
        const std::size_t total = expected.size();
        // Each thread walks the cases from its own start, so calls on the
        // same document and options overlap in time.
        for (std::size_t k = 0; k < total; ++k) {
            const std::size_t i = (k + static_cast<std::size_t>(t) * total / kThreads) % total;
            adsieve_result* r = validate(docs[i / kWayCount], kWays[i % kWayCount]);
            if (snapshot(r) != expected[i]) {
                std::fprintf(stderr, "thread %d: document %zu, way %zu differs\n", t, i / kWayCount, i % kWayCount);
                ++mismatches;
            }
            adsieve_result_free(r);
            ++calls;
        }
        for (std::size_t s = 0; s < shared.size(); ++s)
            if (snapshot(shared[s]) != expected[s * 16 * kWayCount + 2]) ++mismatches;
        for (std::size_t d = static_cast<std::size_t>(t); d < docs.size(); d += 8)
            if (tree(docs[d]) != trees[d]) ++mismatches;
        if (catalogue() != rules) ++mismatches;
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
    for (std::thread& th : threads) th.join();
    for (adsieve_result* r : shared) adsieve_result_free(r);

    std::printf("%zu documents, %zu ways, %d threads: %zu calls, %zu mismatches\n", docs.size(), kWayCount, kThreads,
                calls.load(), mismatches.load());
    return mismatches == 0 ? 0 : 1;
}
