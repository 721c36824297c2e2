// Wrapper chain depth and ad sequencing, also through the C options call.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "adsieve.h"
#include "support.h"
#include "validate.h"

namespace {

using Lines = std::vector<std::string>;

// "id|severity|path|line|col" of the structure rules, from the JSON of the C call.
Lines structure_issues(const std::string& xml, std::uint32_t depth, std::uint32_t max,
                       const char* overrides = nullptr) {
    adsieve_result* r = adsieve_validate_with_options(xml.data(), xml.size(), depth, max, overrides);
    EXPECT_NE(r, nullptr);
    if (!r) return {};
    nlohmann::json j = nlohmann::json::parse(adsieve_result_json(r));
    adsieve_result_free(r);
    Lines out;
    for (const auto& is : j["issues"]) {
        std::string id = is["id"];
        if (id != "VAST-2.0-wrapper-depth" && id != "VAST-2.0-ad-sequence") continue;
        out.push_back(id + "|" + is["severity"].get<std::string>() + "|" + is["path"].get<std::string>() +
                      "|" + is["line"].dump() + "|" + is["col"].dump());
    }
    return out;
}

const std::string kDepth = "VAST-2.0-wrapper-depth|error|/VAST|null|null";
const std::string kSequence = "VAST-2.0-ad-sequence|warning|/VAST|null|null";

TEST(Structure, WrapperDepthAgainstMaximum) {
    const std::string xml = "<VAST version=\"4.0\"/>";
    EXPECT_EQ(structure_issues(xml, 6, 0), Lines{kDepth});  // 0 means the default 5
    EXPECT_EQ(structure_issues(xml, 5, 0), Lines{});
    EXPECT_EQ(structure_issues(xml, 5, 5), Lines{});
    EXPECT_EQ(structure_issues(xml, 6, 5), Lines{kDepth});
    EXPECT_EQ(structure_issues(xml, 6, 6), Lines{});
    EXPECT_EQ(structure_issues(xml, 0, 0), Lines{});
    EXPECT_EQ(structure_issues(xml, 256 + 6, 0), Lines{kDepth});  // low 8 bits
    EXPECT_EQ(structure_issues(xml, 1, 256), Lines{kDepth});      // 256 gives a maximum of 0
    EXPECT_EQ(structure_issues(xml, 255, 255), Lines{});
    // Any root that reaches the family, without an ad-sequence check.
    const std::string other = "<Playlist><Ad/><Ad sequence=\"1\"/></Playlist>";
    EXPECT_EQ(structure_issues(other, 7, 0), Lines{kDepth});
    EXPECT_EQ(structure_issues(other, 0, 0), Lines{});
    // The default context never fires.
    adsieve::ValidationResult res = adsieve::validate(xml);
    for (const std::string& l : adsieve::testing::issue_lines(res))
        EXPECT_NE(l.substr(0, l.find('|')), "VAST-2.0-wrapper-depth");
    // A document that fails to parse reports only the parse error.
    adsieve_result* r = adsieve_validate_with_options("<VAST><Ad>", 0, 9, 0, nullptr);
    ASSERT_NE(r, nullptr);
    nlohmann::json j = nlohmann::json::parse(adsieve_result_json(r));
    adsieve_result_free(r);
    ASSERT_EQ(j["issues"].size(), 1u);
    EXPECT_EQ(j["issues"][0]["id"], "VAST-2.0-parse-error");
}

TEST(Structure, AdSequence) {
    EXPECT_EQ(structure_issues("<VAST><Ad/></VAST>", 0, 0), Lines{});
    EXPECT_EQ(structure_issues("<VAST><Ad/><Ad/></VAST>", 0, 0), Lines{});
    EXPECT_EQ(structure_issues("<VAST><Ad sequence=\"1\"/><Ad sequence=\"2\"/></VAST>", 0, 0), Lines{});
    EXPECT_EQ(structure_issues("<VAST><Ad/><Ad sequence=\"\"/></VAST>", 0, 0), Lines{kSequence});
    // One issue however many ads lack the attribute; other children don't count.
    EXPECT_EQ(structure_issues("<VAST><Ad sequence=\"1\"/><Ad/><Ad/><Ad/></VAST>", 0, 0), Lines{kSequence});
    EXPECT_EQ(structure_issues("<VAST><Ad sequence=\"1\"/><Other/><ad/></VAST>", 0, 0), Lines{});
    EXPECT_EQ(structure_issues("<VAST><Ad Sequence=\"1\"/><Ad/></VAST>", 0, 0), Lines{});
    EXPECT_EQ(structure_issues("<VAST><Ad><Ad sequence=\"1\"/></Ad><Ad/></VAST>", 0, 0), Lines{});
    // Depth first, then sequence.
    EXPECT_EQ(structure_issues("<VAST><Ad/><Ad sequence=\"1\"/></VAST>", 6, 0), (Lines{kDepth, kSequence}));
}

TEST(Structure, Overrides) {
    const std::string pod = "<VAST><Ad/><Ad sequence=\"1\"/></VAST>";
    EXPECT_EQ(structure_issues(pod, 6, 0, "{\"VAST-2.0-ad-sequence\":\"off\"}"), Lines{kDepth});
    EXPECT_EQ(structure_issues(pod, 6, 0, "{\"VAST-2.0-wrapper-depth\":\"info\"}"),
              (Lines{"VAST-2.0-wrapper-depth|info|/VAST|null|null", kSequence}));
    EXPECT_EQ(structure_issues(pod, 6, 0, "{\"VAST-2.0-wrapper-depth\":\"off\", \"vast-2.0-ad-sequence\":\"off\"}"),
              Lines{kSequence});
    // An unreadable override text changes nothing.
    EXPECT_EQ(structure_issues(pod, 6, 0, "{\"VAST-2.0-wrapper-depth\":\"off\",nocolon}"), (Lines{kDepth, kSequence}));
}

}  // namespace
