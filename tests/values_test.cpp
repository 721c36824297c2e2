// Value formats: the two time grammars and the per-ad value checks.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "rules/values.h"
#include "support.h"
#include "validate.h"

namespace {

using adsieve::ValidationContext;
using adsieve::rules::values::is_hhmmss;
using adsieve::rules::values::is_valid_time_or_percent;
using Lines = std::vector<std::string>;

const std::set<std::string> kValueRules = {
    "VAST-4.1-adtype-value",
    "VAST-2.0-duration-format",
    "VAST-3.0-skipoffset-format",
    "VAST-3.0-skip-event-no-skipoffset",
    "VAST-3.0-progress-offset-format",
    "VAST-4.1-tracking-event-value",
    "VAST-4.0-tracking-event-removed",
    "VAST-2.0-mediafile-delivery-enum",
    "VAST-3.0-minmaxbitrate-pair",
    "VAST-3.0-bitrate-conflict",
    "VAST-3.0-companion-required-attr",
    "VAST-4.1-companion-renderingmode-value",
    "VAST-3.0-pricing-currency-format",
    "VAST-3.0-pricing-model-case",
    "VAST-4.0-category-authority-not-uri",
    "VAST-4.0-category-authority-unknown",
    "VAST-4.1-blockedadcategories-authority-not-uri",
    "VAST-4.1-blockedadcategories-authority-unknown",
};

// Issue lines of this family only, in emission order.
Lines value_issues(const std::string& xml, ValidationContext ctx = {}) {
    Lines out;
    for (std::string& l : adsieve::testing::issue_lines(adsieve::validate_with_context(xml, ctx)))
        if (kValueRules.count(l.substr(0, l.find('|')))) out.push_back(std::move(l));
    return out;
}

// A document with one InLine ad whose Creatives hold `creatives`; `ad_content`
// goes after the Creatives element.
std::string inline_doc(const std::string& version, const std::string& creatives,
                       const std::string& ad_content = "") {
    std::string v = version.empty() ? "" : " version=\"" + version + "\"";
    return "<VAST" + v + "><Ad><InLine><Creatives>" + creatives + "</Creatives>" + ad_content +
           "</InLine></Ad></VAST>";
}

std::string linear_with_event(const std::string& event, const std::string& extra = "") {
    return "<Creative><Linear><TrackingEvents><Tracking event=\"" + event + "\"" + extra +
           ">u</Tracking></TrackingEvents></Linear></Creative>";
}

TEST(ValueGrammar, ClockTime) {
    for (const char* ok : {"00:00:30", "00:00:30.500", "123:59:59.000", "100:00:00", "00:59:59"})
        EXPECT_TRUE(is_hhmmss(ok)) << ok;
    for (const char* bad :
         {"", "00:60:00", "00:00:60", "00:00:30.5", "00:00:30.", "00:00:30.5000", "1:00:00",
          " 00:00:30", "00:00:30 ", "00:00", "00:00:00:00", "0a:00:00", "00:0:00", "00:00:3",
          "00:00:30.5a0", "00:00:30.500.000", "00.000:00:30", "::", "+0:00:00", "00:-1:00"})
        EXPECT_FALSE(is_hhmmss(bad)) << bad;
}

TEST(ValueGrammar, TimeOrPercentage) {
    for (const char* ok : {"0%", "100%", "12.5%", "1e2%", "-0%", "+5%", ".5%", "5.%", "1.e1%",
                           "00:00:05", "00:00:05.250", "100.000000000000000001%", "1E-400%",
                           "-1e-400%", "0.0000001%"})
        EXPECT_TRUE(is_valid_time_or_percent(ok)) << ok;
    for (const char* bad :
         {"", "%", "101%", "-1%", "50 %", " 50%", "50% ", "50", "1e%", "e2%", ".%", "0x10%",
          "inf%", "-inf%", "infinity%", "nan%", "NaN%", "1e400%", "100.0000000001%",
          "-1e-310%", "5%%", "1,5%", " 00:00:05", "1:00:00", "50\xc2\xa0%"})
        EXPECT_FALSE(is_valid_time_or_percent(bad)) << bad;

    // Very long mantissas: the value decides, not the sign of the exponent.
    std::string huge = "1" + std::string(400, '0') + "e-5%";   // 1e395
    std::string tiny = "0." + std::string(400, '0') + "1e5%";  // 1e-396
    std::string ten = "1" + std::string(400, '0') + "e-399%";  // 10
    EXPECT_FALSE(is_valid_time_or_percent(huge));
    EXPECT_TRUE(is_valid_time_or_percent(tiny));
    EXPECT_TRUE(is_valid_time_or_percent(ten));
    EXPECT_FALSE(is_valid_time_or_percent("1e99999999999999999999999%"));
    EXPECT_TRUE(is_valid_time_or_percent("1e-99999999999999999999999%"));
}

TEST(Values, LinearChecksInOrderWithPositions) {
    std::string xml =
        "<VAST version=\"3.0\"><Ad><InLine><Creatives>\n"
        "<Creative>\n"
        " <Linear skipoffset=\" 00:00:05\">\n"
        "  <Duration> 0:00:15 </Duration>\n"
        "  <Duration>bad</Duration>\n"
        "  <TrackingEvents>\n"
        "   <Tracking event=\"progress\" offset=\"5 %\">u</Tracking>\n"
        "   <Other event=\"bogus\"/>\n"
        "   <Tracking>u</Tracking>\n"
        "   <Tracking event=\"Start\">u</Tracking>\n"
        "  </TrackingEvents>\n"
        "  <MediaFiles>\n"
        "   <MediaFile delivery=\"Progressive\" minBitrate=\"1\" bitrate=\"2\">u</MediaFile>\n"
        "   <MediaFile delivery=\"streaming\" minBitrate=\"1\" maxBitrate=\"2\">u</MediaFile>\n"
        "   <MediaFile maxBitrate=\"\">u</MediaFile>\n"
        "  </MediaFiles>\n"
        " </Linear>\n"
        " <CompanionAds required=\"some\">\n"
        "  <Companion renderingMode=\"end-card\"/><Companion renderingMode=\"x\"/>\n"
        " </CompanionAds>\n"
        "</Creative>\n"
        "</Creatives></InLine></Ad></VAST>";
    const std::string lin = "/VAST/Ad[0]/InLine/Creatives/Creative[0]/Linear";
    Lines expected = {
        "VAST-2.0-duration-format|2|" + lin + "/Duration|4|3",
        "VAST-3.0-skipoffset-format|1|" + lin + "[@skipoffset]|3|2",
        "VAST-3.0-progress-offset-format|1|" + lin + "/TrackingEvents/Tracking[0][@offset]|7|4",
        "VAST-4.1-tracking-event-value|2|" + lin + "/TrackingEvents/Tracking[2][@event]|10|4",
        "VAST-2.0-mediafile-delivery-enum|2|" + lin + "/MediaFiles/MediaFile[0][@delivery]|13|4",
        "VAST-3.0-minmaxbitrate-pair|2|" + lin + "/MediaFiles/MediaFile[0]|13|4",
        "VAST-3.0-bitrate-conflict|1|" + lin + "/MediaFiles/MediaFile[0]|13|4",
        "VAST-3.0-minmaxbitrate-pair|2|" + lin + "/MediaFiles/MediaFile[2]|15|4",
        "VAST-3.0-companion-required-attr|1|/VAST/Ad[0]/InLine/Creatives/Creative[0]/CompanionAds[@required]|18|2",
        "VAST-4.1-companion-renderingmode-value|1|/VAST/Ad[0]/InLine/Creatives/Creative[0]/CompanionAds/Companion[1][@renderingMode]|19|40",
    };
    EXPECT_EQ(value_issues(xml), expected);
}

TEST(Values, SkipEventAndSkipOffset) {
    const std::string lin = "/VAST/Ad[0]/InLine/Creatives/Creative[0]/Linear";
    // Two skip events without skipoffset: one issue, at the Linear.
    std::string two_skips =
        "<Creative><Linear><TrackingEvents><Tracking event=\"skip\">u</Tracking>"
        "<Tracking event=\"skip\">u</Tracking></TrackingEvents></Linear></Creative>";
    EXPECT_EQ(value_issues(inline_doc("3.0", two_skips)),
              Lines{"VAST-3.0-skip-event-no-skipoffset|1|" + lin + "/TrackingEvents|1|54"});
    // An empty skipoffset is present: format issue, no skip-event issue.
    std::string empty_offset =
        "<Creative><Linear skipoffset=\"\"><TrackingEvents><Tracking event=\"skip\">u</Tracking>"
        "</TrackingEvents></Linear></Creative>";
    EXPECT_EQ(value_issues(inline_doc("3.0", empty_offset)),
              Lines{"VAST-3.0-skipoffset-format|1|" + lin + "[@skipoffset]|1|54"});
    // Valid offsets in every form, and the 2.0 document still checks skipoffset.
    for (const char* v : {"00:00:05", "00:00:05.000", "10%", "0%"}) {
        std::string c = std::string("<Creative><Linear skipoffset=\"") + v +
                        "\"><Duration>00:00:15</Duration></Linear></Creative>";
        EXPECT_TRUE(value_issues(inline_doc("2.0", c)).empty()) << v;
    }
    EXPECT_EQ(value_issues(inline_doc("2.0", "<Creative><Linear skipoffset=\"5\"/></Creative>")).size(), 1u);
}

TEST(Values, TrackingVocabularyPerVersion) {
    auto ids = [](const std::string& version, const std::string& event) {
        Lines out;
        for (const std::string& l : value_issues(inline_doc(version, linear_with_event(event))))
            out.push_back(l.substr(0, l.find('|')));
        return out;
    };
    const Lines none;
    const Lines value_error = {"VAST-4.1-tracking-event-value"};
    const Lines removed = {"VAST-4.0-tracking-event-removed"};
    EXPECT_EQ(ids("3.0", "fullscreen"), none);
    EXPECT_EQ(ids("2.0", "exitFullscreen"), value_error);
    EXPECT_EQ(ids("4.0", "fullscreen"), removed);
    EXPECT_EQ(ids("4.2", "fullscreen"), removed);
    EXPECT_EQ(ids("4.3", "exitFullscreen"), removed);
    EXPECT_EQ(ids("4.0", "loaded"), value_error);
    EXPECT_EQ(ids("4.1", "loaded"), none);
    EXPECT_EQ(ids("4.0", "expand"), value_error);
    EXPECT_EQ(ids("3.0", "expand"), none);
    EXPECT_EQ(ids("4.0", "timeSpentViewing"), none);
    EXPECT_EQ(ids("4.1", "timeSpentViewing"), value_error);
    EXPECT_EQ(ids("4.0", "acceptInvitationLinear"), none);
    EXPECT_EQ(ids("4.2", "acceptInvitationLinear"), value_error);
    EXPECT_EQ(ids("4.0", "closeLinear"), value_error);
    EXPECT_EQ(ids("4.3", "closeLinear"), none);
    EXPECT_EQ(ids("2.0", "skip"), (Lines{"VAST-3.0-skip-event-no-skipoffset", "VAST-4.1-tracking-event-value"}));
    EXPECT_EQ(ids("3.0", "playerExpand"), value_error);
    EXPECT_EQ(ids("4.3", "interactiveStart"), none);
    for (const char* v : {"2.0", "3.0", "4.0", "4.1"}) {
        EXPECT_EQ(ids(v, "Start"), value_error) << v;
        EXPECT_EQ(ids(v, " start"), value_error) << v;
        EXPECT_EQ(ids(v, "creativeView"), none) << v;
    }
    // Unknown version: no vocabulary check at all.
    EXPECT_EQ(ids("", "bogus"), none);
    EXPECT_EQ(ids("9.9", "bogus"), none);
    // An inferred version counts: MediaFile implies 2.0.
    std::string inferred =
        "<Creative><Linear><TrackingEvents><Tracking event=\"skip\" />"
        "</TrackingEvents><MediaFiles><MediaFile/></MediaFiles></Linear></Creative>";
    Lines got = value_issues(inline_doc("", inferred));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].substr(0, got[1].find('|')), "VAST-4.1-tracking-event-value");
}

TEST(Values, ProgressOffsetBeforeVocabulary) {
    const std::string t = "/VAST/Ad[0]/InLine/Creatives/Creative[0]/Linear/TrackingEvents/Tracking[0]";
    EXPECT_EQ(value_issues(inline_doc("2.0", linear_with_event("progress", " offset=\"5%\""))),
              Lines{"VAST-4.1-tracking-event-value|2|" + t + "[@event]|1|78"});
    EXPECT_EQ(value_issues(inline_doc("2.0", linear_with_event("progress", " offset=\"5 %\""))),
              (Lines{"VAST-3.0-progress-offset-format|1|" + t + "[@offset]|1|78",
                     "VAST-4.1-tracking-event-value|2|" + t + "[@event]|1|78"}));
    // No offset: nothing here; a version-less document still checks the format.
    EXPECT_TRUE(value_issues(inline_doc("3.0", linear_with_event("progress"))).empty());
    EXPECT_EQ(value_issues(inline_doc("", linear_with_event("progress", " offset=\"\""))).size(), 1u);
}

TEST(Values, PricingCurrencyAndModel) {
    auto pricing = [](const std::string& version, const std::string& attrs) {
        Lines out;
        for (const std::string& l : value_issues(inline_doc(version, "", "<Pricing " + attrs + ">1</Pricing>")))
            out.push_back(l.substr(0, l.find('|')));
        return out;
    };
    const Lines none;
    const Lines currency = {"VAST-3.0-pricing-currency-format"};
    const Lines model = {"VAST-3.0-pricing-model-case"};
    for (const char* ok : {"USD", "usd", "eUr"}) EXPECT_EQ(pricing("3.0", std::string("currency=\"") + ok + "\""), none);
    for (const char* bad : {"US", "US1", "USDX", "", " USD", "U\xc3\x89"})
        EXPECT_EQ(pricing("", std::string("currency=\"") + bad + "\""), currency) << bad;
    EXPECT_EQ(pricing("3.0", "model=\"CPM\""), model);
    EXPECT_EQ(pricing("3.0", "model=\"Cpm\""), model);
    EXPECT_EQ(pricing("3.0", "model=\"cp\xc3\x89\""), model);  // non-ASCII capital
    EXPECT_EQ(pricing("3.0", "model=\"cpm\""), none);
    EXPECT_EQ(pricing("3.0", "model=\"\""), none);
    EXPECT_EQ(pricing("3.0", "model=\"cp\xc3\xa9 1\""), none);
    EXPECT_EQ(pricing("4.0", "model=\"CPM\""), none);
    EXPECT_EQ(pricing("2.0", "model=\"CPM\""), none);
    EXPECT_EQ(pricing("3.0", "model=\"CPM\" currency=\"US\""), (Lines{"VAST-3.0-pricing-currency-format", "VAST-3.0-pricing-model-case"}));
    // Path and position: the first Pricing only.
    EXPECT_EQ(value_issues(inline_doc("3.0", "", "<Pricing currency=\"X\"/><Pricing currency=\"Y\"/>")),
              Lines{"VAST-3.0-pricing-currency-format|1|/VAST/Ad[0]/InLine/Pricing[@currency]|1|56"});
}

TEST(Values, Authorities) {
    auto category = [](const std::string& version, const std::string& authority) {
        Lines out;
        std::string c = "<Category authority=\"" + authority + "\">1</Category>";
        for (const std::string& l : value_issues(inline_doc(version, "", c)))
            out.push_back(l.substr(0, l.find('|')));
        return out;
    };
    const Lines none;
    const Lines not_uri = {"VAST-4.0-category-authority-not-uri"};
    const Lines unknown = {"VAST-4.0-category-authority-unknown"};
    for (const char* known :
         {"iabtechlab.com", "https://iabtechlab.com", "http://iabtechlab.com/", "www.iabtechlab.com",
          "https://www.iabtechlab.com/taxonomy?x#y", "IABTECHLAB.COM", "iab.com", " iab.com\t",
          "cdn.iabtechlab.com", "WWW.iabtechlab.com"})
        EXPECT_EQ(category("4.0", known), none) << known;
    for (const char* other : {"sub.iab.com", "example.com", "xiabtechlab.com",
                              "https://www.example.org/iabtechlab.com"})
        EXPECT_EQ(category("4.1", other), unknown) << other;
    for (const char* bad : {"iabtechlab", "https://", "", "   ", ".iab.com", "iab.com.", "iab..com",
                            "my_host.com", "iabtechlab.com:443", "www.", "http://www.",
                            "https:/iabtechlab.com", "HTTPS://iab.com", "\xc3\xa9.com"})
        EXPECT_EQ(category("4.2", bad), not_uri) << bad;
    // Version gates: Category from 4.0, BlockedAdCategories from 4.1.
    EXPECT_EQ(category("3.0", "bad"), none);
    EXPECT_EQ(category("", "bad"), none);
    std::string both =
        "<Category authority=\"x\"/><BlockedAdCategories authority=\"https://iab.com\"/>"
        "<Category authority=\"example.com\"/><BlockedAdCategories authority=\"x y\"/>"
        "<BlockedAdCategories authority=\"example.com\"/>";
    const std::string c = "/VAST/Ad[0]/InLine/";
    EXPECT_EQ(value_issues(inline_doc("4.1", "", both)),
              (Lines{"VAST-4.0-category-authority-not-uri|1|" + c + "Category[0][@authority]|1|56",
                     "VAST-4.0-category-authority-unknown|0|" + c + "Category[1][@authority]|1|131",
                     "VAST-4.1-blockedadcategories-authority-not-uri|1|" + c +
                         "BlockedAdCategories[1][@authority]|1|166",
                     "VAST-4.1-blockedadcategories-authority-unknown|0|" + c +
                         "BlockedAdCategories[2][@authority]|1|204"}));
    Lines v40 = value_issues(inline_doc("4.0", "", both));
    EXPECT_EQ(v40.size(), 2u);
}

TEST(Values, AdTypeAndContentWalk) {
    // adType for every Ad first, then the content checks; both InLine and Wrapper.
    std::string xml =
        "<VAST version=\"4.1\">"
        "<Ad adType=\"Video\"><Wrapper><Pricing currency=\"1\"/></Wrapper>"
        "<InLine><Pricing currency=\"2\"/></InLine></Ad>"
        "<Other/>"
        "<Ad adType=\"audio\"/>"
        "<Ad adType=\"\" adType=\"video\"><InLine><Pricing currency=\"3\"/></InLine></Ad>"
        "</VAST>";
    EXPECT_EQ(value_issues(xml),
              (Lines{"VAST-4.1-adtype-value|1|/VAST/Ad[0][@adType]|1|21",
                     "VAST-4.1-adtype-value|1|/VAST/Ad[2][@adType]|1|155",
                     "VAST-3.0-pricing-currency-format|1|/VAST/Ad[0]/InLine/Pricing[@currency]|1|90",
                     "VAST-3.0-pricing-currency-format|1|/VAST/Ad[0]/Wrapper/Pricing[@currency]|1|49",
                     "VAST-3.0-pricing-currency-format|1|/VAST/Ad[2]/InLine/Pricing[@currency]|1|192"}));
    // Below 4.1 or without a version, adType is not checked.
    EXPECT_TRUE(value_issues("<VAST version=\"4.0\"><Ad adType=\"x\"/></VAST>").empty());
    EXPECT_TRUE(value_issues("<VAST><Ad adType=\"x\"/></VAST>").empty());
    // Not a VAST root: nothing.
    EXPECT_TRUE(value_issues("<Vast version=\"4.1\"><Ad adType=\"x\"/></Vast>").empty());
    // Only the first Creatives, Linear and MediaFiles are examined.
    std::string dup =
        "<Creative><Linear><Duration>x</Duration></Linear><Linear><Duration>y</Duration></Linear>"
        "</Creative></Creatives><Creatives><Creative><Linear><Duration>z</Duration></Linear>"
        "</Creative>";
    EXPECT_EQ(value_issues(inline_doc("4.0", dup)).size(), 1u);
}

TEST(Values, Overrides) {
    std::string xml = inline_doc("4.2", linear_with_event("fullscreen") + linear_with_event("bogus"));
    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-4.0-tracking-event-removed"] = adsieve::Level::Off;
    (*ctx.rule_overrides)["VAST-4.1-tracking-event-value"] = adsieve::Level::Info;
    Lines got = value_issues(xml, ctx);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].substr(0, got[0].find('|', got[0].find('|') + 1)), "VAST-4.1-tracking-event-value|0");
    // An off not-URI rule does not fall through to the unknown rule.
    ctx.rule_overrides->clear();
    (*ctx.rule_overrides)["VAST-4.0-category-authority-not-uri"] = adsieve::Level::Off;
    EXPECT_TRUE(value_issues(inline_doc("4.0", "", "<Category authority=\"x\"/>"), ctx).empty());
}

}  // namespace
