// Compares the JSON results of the golden cases through the C API, whole
// texts byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "adsieve.h"
#include "support.h"

namespace {

using nlohmann::json;
using adsieve::testing::read_file;
using adsieve::testing::shared_dir;

// The library writes a path of more than 64 element segments as its first 32,
// "...", and its last 31, so that a deeply nested document cannot make the
// output grow with the square of its depth; the expected results predate
// that, so their few longer paths are shortened the same way here.
std::string shorten_long_paths(const std::string& json_text) {
    const std::string key = "\"path\":\"";
    std::string out;
    std::size_t pos = 0;
    for (std::size_t at = json_text.find(key); at != std::string::npos; at = json_text.find(key, pos)) {
        const std::size_t start = at + key.size();
        std::size_t end = start;
        while (json_text[end] != '"') end += json_text[end] == '\\' ? 2 : 1;
        out.append(json_text, pos, start - pos);
        out += adsieve::testing::shortened_path(std::string_view(json_text).substr(start, end - start));
        pos = end;
    }
    out.append(json_text, pos);
    return out;
}

// Describes the first difference between the expected and actual texts.
std::string first_difference(const std::string& expected, const std::string& actual) {
    if (expected == actual) return "";
    json e = json::parse(expected), a = json::parse(actual);
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
             adsieve_result* r) {
    ++out.cases;
    std::string diff;
    if (!expected) {
        if (r) diff = "expected NULL, got a result";
    } else if (!r) {
        diff = "expected a result, got NULL";
    } else {
        diff = first_difference(*expected, adsieve_result_json(r));
    }
    adsieve_result_free(r);
    if (diff.empty()) return;
    if (++out.failures <= 15) out.report += name + ": " + diff + "\n";
}

TEST(Golden, CorpusDocuments) {
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
        if (!c["json"].is_null()) expected = shorten_long_paths(c["json"].get<std::string>());
        compare(out, file, expected, r);
    }
    EXPECT_EQ(out.failures, 0) << out.failures << " of " << out.cases << " differ\n" << out.report;
}

TEST(Golden, GeneratedDocuments) {
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
        if (!c["json"].is_null()) expected = shorten_long_paths(c["json"].get<std::string>());
        compare(out, c["name"].get<std::string>(), expected, r);
    }
    EXPECT_EQ(out.failures, 0) << out.failures << " of " << out.cases << " differ\n" << out.report;
}

// The <Ad>s of the whole corpus that read well on their own (not cut from a
// comment, a CDATA section or another namespace), in a fixed order.
std::vector<std::string> corpus_ads() {
    std::vector<std::string> ads;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(shared_dir() + "/corpus")) {
        if (entry.path().extension() != ".xml") continue;
        const std::string xml = read_file(entry.path().string());
        for (std::size_t at = xml.find("<Ad"); at != std::string::npos; at = xml.find("<Ad", at + 3)) {
            if (xml.size() < at + 4 || (xml[at + 3] != ' ' && xml[at + 3] != '>' && xml[at + 3] != '\n')) continue;
            const std::size_t end = xml.find("</Ad>", at);
            if (end == std::string::npos) break;
            std::string ad = xml.substr(at, end + 5 - at);
            at = end;
            const std::string alone = "<VAST version=\"4.1\">" + ad + "</VAST>";
            adsieve_result* r = adsieve_validate(alone.data(), alone.size());
            if (r && !adsieve_result_parse_error(r, nullptr, nullptr, nullptr)) ads.push_back(std::move(ad));
            adsieve_result_free(r);
        }
    }
    std::sort(ads.begin(), ads.end());
    return ads;
}

// A capped list is made in one run: the default result must list exactly
// what it lists.
void expect_as_one_run(const std::string& doc, std::size_t at_least, const std::string& what) {
    adsieve_result* runs = adsieve_validate(doc.data(), doc.size());
    adsieve_options opts;
    adsieve_options_init(&opts);
    opts.max_issues = static_cast<std::size_t>(-1);
    adsieve_result* whole = adsieve_validate_opts(doc.data(), doc.size(), &opts, nullptr);
    ASSERT_TRUE(runs && whole);
    EXPECT_GT(adsieve_result_issue_count(runs), at_least) << what;
    EXPECT_EQ(first_difference(adsieve_result_json(whole), adsieve_result_json(runs)), "") << what;
    adsieve_result_free(runs);
    adsieve_result_free(whole);
}

// A large document's ads are checked a few hundred at a time, every family in
// turn, and the findings then put back family by family. The documents here
// gather the ads of the whole corpus (some 2 MB, so many runs), between
// root-level errors, and twice embedded in a VMAP document between findings
// of the VMAP itself.
TEST(Golden, LargeDocumentsListFindingsAsOneRunDoes) {
    const std::vector<std::string> ads = corpus_ads();
    ASSERT_GT(ads.size(), 300u);
    std::string all;
    for (std::size_t i = 0; i < ads.size(); ++i) {
        all += ads[i];
        if (i % 97 == 0) all += "<Error>[ERRORCODE] [TIMESTAMP]</Error>";
    }
    for (const char* version : {"4.1", "3.0"})
        expect_as_one_run(std::string("<VAST version=\"") + version + "\"><Error>http://e.example/[BADMACRO]</Error>" +
                              all + "<Error><![CDATA[ftp://e.example/]]></Error></VAST>",
                          5000, version);

    std::string vmap = "<vmap:VMAP xmlns:vmap=\"http://www.iab.net/videosuite/vmap\" version=\"1.0\">";
    for (const char* offset : {"start", "bogus", "end"})
        vmap += std::string("<vmap:AdBreak timeOffset=\"") + offset +
                "\" breakType=\"linear,odd\"><vmap:AdSource allowMultipleAds=\"maybe\"><vmap:VASTAdData>"
                "<VAST version=\"3.0\">" + all + "</VAST></vmap:VASTAdData></vmap:AdSource></vmap:AdBreak>";
    vmap += "</vmap:VMAP>";
    expect_as_one_run(vmap, 15000, "VMAP");
}

}  // namespace
