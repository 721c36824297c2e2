// Compares the JSON results of the golden cases through the C API. Only the
// rules listed in golden_rules.txt are compared (plus the version) while some
// families are still missing; with every rule listed, whole texts are compared.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "adsieve.h"
#include "rules/rules.h"
#include "support.h"

namespace {

using nlohmann::json;
using adsieve::testing::read_file;
using adsieve::testing::shared_dir;
using adsieve::testing::source_dir;

std::set<std::string> compared_rules() {
    std::set<std::string> ids;
    std::string list;
    if (const char* env = std::getenv("ADSIEVE_GOLDEN_IDS")) {
        list = env;
        for (char& c : list)
            if (c == ',') c = '\n';
    } else {
        list = read_file(source_dir() + "/tests/golden_rules.txt");
    }
    std::istringstream in(list);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        if (!line.empty() && line[0] != '#') ids.insert(line);
    }
    return ids;
}

json filtered(const json& doc, const std::set<std::string>& ids) {
    json out = json::object();
    out["version"] = doc["version"];
    json issues = json::array();
    for (const json& is : doc["issues"])
        if (ids.count(is["id"].get<std::string>())) issues.push_back(is);
    out["issues"] = issues;
    return out;
}

// Describes the first difference between the expected and actual texts.
std::string first_difference(const std::string& expected, const std::string& actual,
                             const std::set<std::string>& ids, bool whole) {
    json e = json::parse(expected), a = json::parse(actual);
    if (!whole) {
        e = filtered(e, ids);
        a = filtered(a, ids);
    }
    if (e == a && (!whole || expected == actual)) return "";
    if (e["version"] != a["version"])
        return "version: expected " + e["version"].dump() + " got " + a["version"].dump();
    const json& ei = e["issues"];
    const json& ai = a["issues"];
    for (std::size_t i = 0; i < std::max(ei.size(), ai.size()); ++i) {
        std::string es = i < ei.size() ? ei[i].dump() : "(none)";
        std::string as = i < ai.size() ? ai[i].dump() : "(none)";
        if (es != as) return "issue " + std::to_string(i) + ":\n  expected " + es + "\n  got      " + as;
    }
    return "summary or bytes differ:\n  expected " + expected + "\n  got      " + actual;
}

struct Outcome {
    int cases = 0;
    int failures = 0;
    std::string report;
};

void compare(Outcome& out, const std::string& name, const std::optional<std::string>& expected,
             adsieve_result* r, const std::set<std::string>& ids, bool whole) {
    ++out.cases;
    std::string diff;
    if (!expected) {
        if (r) diff = "expected NULL, got a result";
    } else if (!r) {
        diff = "expected a result, got NULL";
    } else {
        diff = first_difference(*expected, adsieve_result_json(r), ids, whole);
    }
    adsieve_result_free(r);
    if (diff.empty()) return;
    if (++out.failures <= 15) out.report += name + ": " + diff + "\n";
}

class Golden : public ::testing::Test {
protected:
    std::set<std::string> ids = compared_rules();
    bool whole = ids.size() == adsieve::rules::CATALOG.size() && !std::getenv("ADSIEVE_GOLDEN_IDS");
};

TEST_F(Golden, CorpusDocuments) {
    std::ifstream in(shared_dir() + "/golden/corpus.jsonl");
    ASSERT_TRUE(in) << "golden corpus results missing";
    Outcome out;
    std::string line;
    while (std::getline(in, line)) {
        json c = json::parse(line);
        std::string file = c["file"].get<std::string>();
        std::string xml = read_file(shared_dir() + "/corpus/" + file);
        adsieve_result* r = adsieve_validate(xml.data(), xml.size());
        std::optional<std::string> expected;
        if (!c["json"].is_null()) expected = c["json"].get<std::string>();
        compare(out, file, expected, r, ids, whole);
    }
    EXPECT_EQ(out.failures, 0) << out.failures << " of " << out.cases << " differ\n" << out.report;
}

TEST_F(Golden, GeneratedDocuments) {
    std::ifstream in(shared_dir() + "/golden/generated.jsonl");
    ASSERT_TRUE(in) << "golden generated results missing";
    Outcome out;
    std::string line;
    while (std::getline(in, line)) {
        json c = json::parse(line);
        std::string xml = c["input"].get<std::string>();
        adsieve_result* r;
        if (c.contains("depth") || c.contains("max") || c.contains("overrides")) {
            std::uint32_t depth = c.value("depth", 0u), max = c.value("max", 0u);
            std::string ov;
            bool has_ov = c.contains("overrides") && !c["overrides"].is_null();
            if (has_ov) ov = c["overrides"].get<std::string>();
            r = adsieve_validate_with_options(xml.data(), xml.size(), depth, max, has_ov ? ov.c_str() : nullptr);
        } else {
            r = adsieve_validate(xml.data(), xml.size());
        }
        std::optional<std::string> expected;
        if (!c["json"].is_null()) expected = c["json"].get<std::string>();
        compare(out, c["name"].get<std::string>(), expected, r, ids, whole);
    }
    EXPECT_EQ(out.failures, 0) << out.failures << " of " << out.cases << " differ\n" << out.report;
}

}  // namespace
