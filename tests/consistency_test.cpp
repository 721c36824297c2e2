// Parse errors, declared-version mismatch and duplicate impressions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"
#include "validate.h"

namespace {

using adsieve::ValidationContext;
using Lines = std::vector<std::string>;

Lines all_issues(const std::string& xml, ValidationContext ctx = {}) {
    return adsieve::testing::issue_lines(adsieve::validate_with_context(xml, ctx));
}

Lines consistency_issues(const std::string& xml) {
    Lines out;
    for (std::string& l : all_issues(xml)) {
        std::string id = l.substr(0, l.find('|'));
        if (id == "VAST-2.0-parse-error" || id == "VAST-2.0-version-mismatch" ||
            id == "VAST-2.0-duplicate-impression")
            out.push_back(std::move(l));
    }
    return out;
}

const std::string kParseError = "VAST-2.0-parse-error|2|/VAST|-|-";

TEST(Consistency, ParseErrorIsTheOnlyIssue) {
    for (const char* bad : {"<VAST><Ad>", "<VAST><Ad></InLine></VAST>", "<VMAP><x>", "<DAAST><Ad>",
                            "<VAST version=\"2.0\"><Ad><InLine><AdServingId/><Impression>a&b</Impression>",
                            "</VAST>", "<VAST a=\"1\"><Ad/><Ad sequence=\"1\"/>&</VAST>"})
        EXPECT_EQ(all_issues(bad), Lines{kParseError}) << bad;
    // Off removes it entirely; info lowers it and the document has no error.
    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-2.0-parse-error"] = adsieve::Level::Off;
    EXPECT_EQ(all_issues("<VAST><Ad>", ctx), Lines{});
    (*ctx.rule_overrides)["VAST-2.0-parse-error"] = adsieve::Level::Info;
    adsieve::ValidationResult r = adsieve::validate_with_context("<VAST><Ad>", ctx);
    EXPECT_EQ(adsieve::testing::issue_lines(r), Lines{"VAST-2.0-parse-error|0|/VAST|-|-"});
    EXPECT_EQ(r.errors, 0u);
    EXPECT_EQ(r.infos, 1u);
    // Other families' deep checks stay off even with a huge wrapper depth.
    ctx.rule_overrides.reset();
    ctx.wrapper_depth = 200;
    EXPECT_EQ(all_issues("<VAST><Ad>", ctx), Lines{kParseError});
}

TEST(Consistency, VersionMismatch) {
    const std::string mismatch = "VAST-2.0-version-mismatch|1|/VAST|-|-";
    EXPECT_EQ(consistency_issues("<VAST version=\"2.0\"><Ad><InLine><AdServingId>x</AdServingId></InLine></Ad></VAST>"),
              Lines{mismatch});
    EXPECT_EQ(consistency_issues("<VAST version=\"3.0\"><Ad><InLine><Creatives><Creative><UniversalAdId/></Creative></Creatives></InLine></Ad></VAST>"),
              Lines{mismatch});
    // Consistent, declared-only, inferred and unknown states do not fire.
    EXPECT_EQ(consistency_issues("<VAST version=\"4.1\"><Ad><InLine><Icons/></InLine></Ad></VAST>"), Lines{});
    EXPECT_EQ(consistency_issues("<VAST version=\"4.1\"><Ad><InLine><AdServingId/></InLine></Ad></VAST>"), Lines{});
    EXPECT_EQ(consistency_issues("<VAST><Ad><InLine><AdServingId/></InLine></Ad></VAST>"), Lines{});
    EXPECT_EQ(consistency_issues("<VAST version=\"5\"><Ad><InLine><AdServingId/></InLine></Ad></VAST>"), Lines{});
    EXPECT_EQ(consistency_issues("<vast version=\"2.0\"><AdServingId/></vast>"), Lines{});
    // A forced version is never a mismatch.
    ValidationContext ctx;
    ctx.forced_version = adsieve::VastVersion::V2_0;
    for (const std::string& l : all_issues("<VAST version=\"2.0\"><AdServingId/></VAST>", ctx))
        EXPECT_NE(l.substr(0, l.find('|')), "VAST-2.0-version-mismatch");
}

TEST(Consistency, DuplicateImpressions) {
    auto dup = [](const std::string& path) { return "VAST-2.0-duplicate-impression|1|" + path + "/Impression|-|-"; };
    EXPECT_EQ(consistency_issues("<VAST><Ad><InLine><Impression>u1</Impression><Impression>u1</Impression>"
                                 "<Impression>u1</Impression></InLine></Ad></VAST>"),
              Lines{dup("/VAST/Ad[0]/InLine")});
    // Trimmed, case-sensitive, empty ones skipped; only the first repeat per Ad.
    EXPECT_EQ(consistency_issues("<VAST><Ad><Wrapper><Impression> u1</Impression><Impression>u1 </Impression>"
                                 "</Wrapper></Ad></VAST>"),
              Lines{dup("/VAST/Ad[0]/Wrapper")});
    EXPECT_EQ(consistency_issues("<VAST><Ad><InLine><Impression>U1</Impression><Impression>u1</Impression>"
                                 "<Impression/><Impression><![CDATA[ ]]></Impression><Impression/>"
                                 "</InLine></Ad></VAST>"),
              Lines{});
    EXPECT_EQ(consistency_issues("<VAST><Ad><InLine><Impression>a</Impression><Impression>b</Impression>"
                                 "<Impression>a</Impression><Impression>b</Impression></InLine></Ad></VAST>"),
              Lines{dup("/VAST/Ad[0]/InLine")});
    // CDATA and plain text with the same content are the same pixel.
    EXPECT_EQ(consistency_issues("<VAST><Ad><InLine><Impression><![CDATA[x]]></Impression><Impression>x</Impression>"
                                 "</InLine></Ad></VAST>"),
              Lines{dup("/VAST/Ad[0]/InLine")});
    // An Ad with both is judged by its InLine alone.
    EXPECT_EQ(consistency_issues("<VAST><Ad><Wrapper><Impression>u</Impression><Impression>u</Impression></Wrapper>"
                                 "<InLine><Impression>u</Impression></InLine></Ad></VAST>"),
              Lines{});
    // Ads counted among Ad children only; one issue each, in order; sets are per Ad.
    EXPECT_EQ(consistency_issues("<VAST><Ad><InLine><Impression>u</Impression><Impression>u</Impression></InLine></Ad>"
                                 "<Other/><Ad><InLine><Impression>u</Impression></InLine></Ad>"
                                 "<Ad><Wrapper><Impression>u</Impression><Impression>u</Impression></Wrapper></Ad></VAST>"),
              (Lines{dup("/VAST/Ad[0]/InLine"), dup("/VAST/Ad[2]/Wrapper")}));
    // Nested impressions and non-VAST roots are not looked at.
    EXPECT_EQ(consistency_issues("<VAST><Ad><InLine><X><Impression>u</Impression><Impression>u</Impression></X>"
                                 "</InLine></Ad></VAST>"),
              Lines{});
    EXPECT_EQ(consistency_issues("<Other><Ad><InLine><Impression>u</Impression><Impression>u</Impression>"
                                 "</InLine></Ad></Other>"),
              Lines{});
    // Off: no issue, and nothing else changes.
    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-2.0-duplicate-impression"] = adsieve::Level::Off;
    for (const std::string& l : all_issues("<VAST><Ad><InLine><Impression>u</Impression><Impression>u</Impression>"
                                           "</InLine></Ad></VAST>", ctx))
        EXPECT_EQ(l.find("duplicate-impression"), std::string::npos);
}

}  // namespace
