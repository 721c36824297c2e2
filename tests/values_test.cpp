// Value formats, wrapper depth and ad sequence, and cross-field consistency.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "adsieve.h"
#include "rules/consistency.h"
#include "rules/structure.h"
#include "rules/values.h"
#include "support.h"
#include "validate.h"

namespace {

using adsieve::Severity;
using adsieve::ValidationContext;
using adsieve::rules::values::is_hhmmss;
using adsieve::rules::values::is_valid_time_or_percent;
using Lines = std::vector<std::string>;

std::string id_of(const std::string& line) { return line.substr(0, line.find('|')); }

// Issue lines of the given rules, in emission order.
Lines issues(const std::string& xml, const std::set<std::string>& ids, ValidationContext ctx = {}) {
    Lines out;
    for (std::string& l : adsieve::testing::issue_lines(adsieve::validate_with_context(xml, ctx)))
        if (ids.count(id_of(l))) out.push_back(std::move(l));
    return out;
}

const std::set<std::string> kValueRules = {
    "VAST-4.1-adtype-value", "VAST-2.0-duration-format", "VAST-3.0-skipoffset-format",
    "VAST-3.0-skip-event-no-skipoffset", "VAST-3.0-progress-offset-format",
    "VAST-4.1-tracking-event-value", "VAST-4.0-tracking-event-removed",
    "VAST-2.0-mediafile-delivery-enum", "VAST-3.0-minmaxbitrate-pair", "VAST-3.0-bitrate-conflict",
    "VAST-3.0-companion-required-attr", "VAST-4.1-companion-renderingmode-value",
    "VAST-3.0-pricing-currency-format", "VAST-3.0-pricing-model-case",
    "VAST-4.0-category-authority-not-uri", "VAST-4.0-category-authority-unknown",
    "VAST-4.1-blockedadcategories-authority-not-uri", "VAST-4.1-blockedadcategories-authority-unknown"};

Lines values(const std::string& xml, ValidationContext ctx = {}) { return issues(xml, kValueRules, ctx); }

Lines value_ids(const std::string& xml) {
    Lines out;
    for (const std::string& l : values(xml)) out.push_back(id_of(l));
    return out;
}

std::string inline_doc(const std::string& version, const std::string& creatives,
                       const std::string& ad_content = "") {
    std::string v = version.empty() ? "" : " version=\"" + version + "\"";
    return "<VAST" + v + "><Ad><InLine><Creatives>" + creatives + "</Creatives>" + ad_content +
           "</InLine></Ad></VAST>";
}

std::string tracking(const std::string& event, const std::string& extra = "") {
    return "<Creative><Linear><TrackingEvents><Tracking event=\"" + event + "\"" + extra +
           ">u</Tracking></TrackingEvents></Linear></Creative>";
}

TEST(ValueGrammar, ClockTime) {
    for (const char* ok : {"00:00:30", "00:00:30.500", "123:59:59.000", "100:00:00"})
        EXPECT_TRUE(is_hhmmss(ok)) << ok;
    for (const char* bad : {"", "00:60:00", "00:00:60", "00:00:30.5", "00:00:30.", "00:00:30.5000",
                            "1:00:00", " 00:00:30", "00:00:30 ", "00:00", "00:00:00:00", "00:0:00",
                            "00:00:30.500.000", "00.000:00:30", "+0:00:00"})
        EXPECT_FALSE(is_hhmmss(bad)) << bad;
}

// The clock reading as it was first written, part by part, to compare the
// reading from the end against.
bool reference_hhmmss(std::string_view s) {
    auto digits = [](std::string_view t) { return t.find_first_not_of("0123456789") == std::string_view::npos; };
    auto below_60 = [&](std::string_view t) { return t.size() == 2 && digits(t) && t[0] <= '5'; };
    std::string_view clock = s;
    if (const std::size_t dot = s.find('.'); dot != std::string_view::npos) {
        clock = s.substr(0, dot);
        if (s.size() - dot - 1 != 3 || !digits(s.substr(dot + 1))) return false;
    }
    const std::size_t c1 = clock.find(':');
    if (c1 == std::string_view::npos) return false;
    const std::size_t c2 = clock.find(':', c1 + 1);
    if (c2 == std::string_view::npos || clock.find(':', c2 + 1) != std::string_view::npos) return false;
    return c1 >= 2 && digits(clock.substr(0, c1)) && below_60(clock.substr(c1 + 1, c2 - c1 - 1)) &&
           below_60(clock.substr(c2 + 1));
}

TEST(ValueGrammar, ClockTimeAgainstReference) {
    // Random texts over the bytes that matter, and valid times with one byte
    // changed, dropped or added.
    std::mt19937 rng(7);
    const std::string_view bytes = "0123456789::..5 6a";
    auto pick = [&](std::size_t n) { return std::size_t(rng() % n); };
    for (int round = 0; round < 200000; ++round) {
        std::string t;
        if (round % 2 == 0) {
            for (std::size_t k = pick(17); k > 0; --k) t += bytes[pick(bytes.size())];
        } else {
            t = std::string(2 + pick(3), '1') + ":" + char('0' + pick(7)) + "9:" + char('0' + pick(7)) + "0";
            if (pick(2)) t += ".123";
            const std::size_t at = pick(t.size() + 1);
            switch (pick(3)) {
                case 0: if (at < t.size()) t[at] = bytes[pick(bytes.size())]; break;
                case 1: if (at < t.size()) t.erase(at, 1); break;
                default: t.insert(at, 1, bytes[pick(bytes.size())]); break;
            }
        }
        ASSERT_EQ(is_hhmmss(t), reference_hhmmss(t)) << '"' << t << '"';
    }
}

TEST(ValueGrammar, TimeOrPercentage) {
    for (const char* ok : {"0%", "100%", "12.5%", "1e2%", "-0%", "+5%", ".5%", "5.%", "1.e1%",
                           "00:00:05.250", "100.000000000000000001%", "-1e-400%"})
        EXPECT_TRUE(is_valid_time_or_percent(ok)) << ok;
    for (const char* bad : {"", "%", "101%", "-1%", "50 %", " 50%", "50", "1e%", ".%", "0x10%",
                            "inf%", "-infinity%", "nan%", "1e400%", "100.0000000001%", "-1e-310%",
                            "5%%", " 00:00:05"})
        EXPECT_FALSE(is_valid_time_or_percent(bad)) << bad;
    // Out of range values: the position of the first digit decides, not the exponent's sign.
    EXPECT_FALSE(is_valid_time_or_percent("1" + std::string(400, '0') + "e-5%"));   // 1e395
    EXPECT_TRUE(is_valid_time_or_percent("0." + std::string(400, '0') + "1e5%"));   // 1e-396
    EXPECT_TRUE(is_valid_time_or_percent("1" + std::string(400, '0') + "e-399%"));  // 10
    EXPECT_FALSE(is_valid_time_or_percent("1e99999999999999999999999%"));
}

// Whole percentages are read without the decimal grammar; written with a
// fraction they take it. Both readings agree on every length of digits,
// leading zeros included.
TEST(ValueGrammar, WholePercentagesAgreeWithTheDecimalReading) {
    std::mt19937 rng(100);
    for (int i = 0; i < 20000; ++i) {
        std::string digits(1 + rng() % 12, '0');
        for (char& c : digits) c = static_cast<char>('0' + (rng() % 4 == 0 ? rng() % 10 : (rng() % 2) * (1 + rng() % 9) % 10));
        if (i < 200) digits = std::to_string(i);  // every value around the bound
        const bool whole = is_valid_time_or_percent(digits + "%");
        EXPECT_EQ(whole, is_valid_time_or_percent(digits + ".0%")) << digits;
        EXPECT_EQ(whole, is_valid_time_or_percent(digits + "e0%")) << digits;
    }
    EXPECT_TRUE(is_valid_time_or_percent("100%"));
    EXPECT_TRUE(is_valid_time_or_percent("000000000100%"));
    EXPECT_FALSE(is_valid_time_or_percent("101%"));
    EXPECT_FALSE(is_valid_time_or_percent("999999999%"));
    EXPECT_FALSE(is_valid_time_or_percent("4294967396%"));  // 100 once wrapped at 32 bits
    EXPECT_FALSE(is_valid_time_or_percent("%"));
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
    const std::string cr = "/VAST/Ad[0]/InLine/Creatives/Creative[0]";
    const std::string lin = cr + "/Linear";
    EXPECT_EQ(values(xml),
              (Lines{"VAST-2.0-duration-format|2|" + lin + "/Duration|4|3",
                     "VAST-3.0-skipoffset-format|1|" + lin + "[@skipoffset]|3|2",
                     "VAST-3.0-progress-offset-format|1|" + lin + "/TrackingEvents/Tracking[0][@offset]|7|4",
                     "VAST-4.1-tracking-event-value|2|" + lin + "/TrackingEvents/Tracking[2][@event]|10|4",
                     "VAST-2.0-mediafile-delivery-enum|2|" + lin + "/MediaFiles/MediaFile[0][@delivery]|13|4",
                     "VAST-3.0-minmaxbitrate-pair|2|" + lin + "/MediaFiles/MediaFile[0]|13|4",
                     "VAST-3.0-bitrate-conflict|1|" + lin + "/MediaFiles/MediaFile[0]|13|4",
                     "VAST-3.0-minmaxbitrate-pair|2|" + lin + "/MediaFiles/MediaFile[2]|15|4",
                     "VAST-3.0-companion-required-attr|1|" + cr + "/CompanionAds[@required]|18|2",
                     "VAST-4.1-companion-renderingmode-value|1|" + cr +
                         "/CompanionAds/Companion[1][@renderingMode]|19|40"}));
}

TEST(Values, SkipEventsAndOffsets) {
    const std::string lin = "/VAST/Ad[0]/InLine/Creatives/Creative[0]/Linear";
    std::string skips = "<Creative><Linear><TrackingEvents><Tracking event=\"skip\">u</Tracking>"
                        "<Tracking event=\"skip\">u</Tracking></TrackingEvents></Linear></Creative>";
    EXPECT_EQ(values(inline_doc("3.0", skips)),
              Lines{"VAST-3.0-skip-event-no-skipoffset|1|" + lin + "/TrackingEvents|1|54"});
    // A present but empty skipoffset: a format issue and no skip-event issue.
    std::string empty = "<Creative><Linear skipoffset=\"\"><TrackingEvents><Tracking event=\"skip\"/>"
                        "</TrackingEvents></Linear></Creative>";
    EXPECT_EQ(values(inline_doc("3.0", empty)), Lines{"VAST-3.0-skipoffset-format|1|" + lin + "[@skipoffset]|1|54"});
    // Progress offsets are checked before the vocabulary, in every version.
    const std::string t = lin + "/TrackingEvents/Tracking[0]";
    EXPECT_EQ(values(inline_doc("2.0", tracking("progress", " offset=\"5%\""))),
              Lines{"VAST-4.1-tracking-event-value|2|" + t + "[@event]|1|78"});
    EXPECT_EQ(values(inline_doc("2.0", tracking("progress", " offset=\"5 %\""))),
              (Lines{"VAST-3.0-progress-offset-format|1|" + t + "[@offset]|1|78",
                     "VAST-4.1-tracking-event-value|2|" + t + "[@event]|1|78"}));
    EXPECT_EQ(value_ids(inline_doc("", tracking("progress", " offset=\"\""))),
              Lines{"VAST-3.0-progress-offset-format"});
    EXPECT_EQ(value_ids(inline_doc("3.0", tracking("progress"))), Lines{});
    // A skip event's finding comes before the events' own, wherever the skip
    // event and the faulty events are in the list.
    const std::string skip_id = "VAST-3.0-skip-event-no-skipoffset", offset_id = "VAST-3.0-progress-offset-format",
                      value_id = "VAST-4.1-tracking-event-value";
    auto events = [](const std::string& list) {
        return "<Creative><Linear><TrackingEvents>" + list + "</TrackingEvents></Linear></Creative>";
    };
    const std::string skip = "<Tracking event=\"skip\"/>", bad = "<Tracking event=\"bogus\"/>",
                      late = "<Tracking event=\"progress\" offset=\"x\"/>", fine = "<Tracking event=\"start\"/>";
    EXPECT_EQ(value_ids(inline_doc("3.0", events(bad + fine + skip))), (Lines{skip_id, value_id}));
    EXPECT_EQ(value_ids(inline_doc("3.0", events(skip + fine + late + bad))), (Lines{skip_id, offset_id, value_id}));
    EXPECT_EQ(value_ids(inline_doc("3.0", events(fine + fine + late))), Lines{offset_id});
    EXPECT_EQ(value_ids(inline_doc("3.0", events(fine + skip + fine))), Lines{skip_id});
    EXPECT_EQ(value_ids(inline_doc("", events(skip + bad))), Lines{skip_id});
}

TEST(Values, TrackingVocabularyPerVersion) {
    const std::string ok, bad = "VAST-4.1-tracking-event-value", removed = "VAST-4.0-tracking-event-removed";
    struct Case { const char* version; const char* event; std::string expected; };
    for (const Case& c : std::vector<Case>{
             {"3.0", "fullscreen", ok}, {"2.0", "exitFullscreen", bad}, {"4.0", "fullscreen", removed},
             {"4.2", "fullscreen", removed}, {"4.3", "exitFullscreen", removed}, {"4.0", "loaded", bad},
             {"4.1", "loaded", ok}, {"4.0", "expand", bad}, {"3.0", "collapse", ok},
             {"4.0", "timeSpentViewing", ok}, {"4.1", "timeSpentViewing", bad},
             {"4.0", "acceptInvitationLinear", ok}, {"4.2", "acceptInvitationLinear", bad},
             {"4.0", "closeLinear", bad}, {"4.3", "closeLinear", ok}, {"2.0", "progress", bad},
             {"3.0", "playerExpand", bad}, {"4.3", "interactiveStart", ok}, {"2.0", "Start", bad},
             {"4.1", "Start", bad}, {"4.1", " start", bad}, {"2.0", "creativeView", ok},
             {"", "bogus", ok}, {"9.9", "bogus", ok}}) {
        Lines expected = c.expected.empty() ? Lines{} : Lines{c.expected};
        EXPECT_EQ(value_ids(inline_doc(c.version, tracking(c.event))), expected) << c.version << " " << c.event;
    }
    // An inferred version counts (a MediaFile implies 2.0).
    EXPECT_EQ(value_ids(inline_doc("", "<Creative><Linear skipoffset=\"1%\"><TrackingEvents><Tracking event=\"skip\"/>"
                                       "</TrackingEvents><MediaFiles><MediaFile/></MediaFiles></Linear></Creative>")),
              Lines{bad});
}

TEST(Values, PricingCurrencyAndModel) {
    auto pricing = [](const std::string& version, const std::string& attrs) {
        return value_ids(inline_doc(version, "", "<Pricing " + attrs + ">1</Pricing>"));
    };
    const Lines none, currency = {"VAST-3.0-pricing-currency-format"}, model = {"VAST-3.0-pricing-model-case"};
    for (const char* ok : {"USD", "usd", "eUr"}) EXPECT_EQ(pricing("3.0", std::string("currency=\"") + ok + "\""), none);
    for (const char* bad : {"US", "US1", "USDX", "", " USD", "U\xc3\x89"})
        EXPECT_EQ(pricing("", std::string("currency=\"") + bad + "\""), currency) << bad;
    for (const char* upper : {"CPM", "Cpm", "cp\xc3\x89"}) EXPECT_EQ(pricing("3.0", std::string("model=\"") + upper + "\""), model);
    for (const char* lower : {"cpm", "", "cp\xc3\xa9 1"}) EXPECT_EQ(pricing("3.0", std::string("model=\"") + lower + "\""), none);
    EXPECT_EQ(pricing("4.0", "model=\"CPM\""), none);
    EXPECT_EQ(pricing("2.0", "model=\"CPM\""), none);
    // Only the first Pricing, with its position.
    EXPECT_EQ(values(inline_doc("3.0", "", "<Pricing currency=\"X\"/><Pricing currency=\"Y\"/>")),
              Lines{"VAST-3.0-pricing-currency-format|1|/VAST/Ad[0]/InLine/Pricing[@currency]|1|56"});
}

TEST(Values, Authorities) {
    auto category = [](const std::string& version, const std::string& authority) {
        return value_ids(inline_doc(version, "", "<Category authority=\"" + authority + "\">1</Category>"));
    };
    const Lines none, not_uri = {"VAST-4.0-category-authority-not-uri"}, unknown = {"VAST-4.0-category-authority-unknown"};
    for (const char* known : {"iabtechlab.com", "https://iabtechlab.com", "http://www.iabtechlab.com/x?y#z",
                              "IABTECHLAB.COM", "iab.com", " iab.com\t", "cdn.iabtechlab.com", "WWW.iabtechlab.com"})
        EXPECT_EQ(category("4.0", known), none) << known;
    for (const char* other : {"sub.iab.com", "example.com", "xiabtechlab.com", "https://www.example.org/iabtechlab.com"})
        EXPECT_EQ(category("4.1", other), unknown) << other;
    for (const char* bad : {"iabtechlab", "https://", "", ".iab.com", "iab.com.", "iab..com", "my_host.com",
                            "iabtechlab.com:443", "www.", "HTTPS://iab.com", "\xc3\xa9.com"})
        EXPECT_EQ(category("4.2", bad), not_uri) << bad;
    EXPECT_EQ(category("3.0", "bad"), none);
    EXPECT_EQ(category("", "bad"), none);
    // All Categories, then all BlockedAdCategories (from 4.1), with the element positions.
    std::string both = "<Category authority=\"x\"/><BlockedAdCategories authority=\"https://iab.com\"/>"
                       "<Category authority=\"example.com\"/><BlockedAdCategories authority=\"x y\"/>"
                       "<BlockedAdCategories authority=\"example.com\"/>";
    const std::string c = "/VAST/Ad[0]/InLine/";
    EXPECT_EQ(values(inline_doc("4.1", "", both)),
              (Lines{"VAST-4.0-category-authority-not-uri|1|" + c + "Category[0][@authority]|1|56",
                     "VAST-4.0-category-authority-unknown|0|" + c + "Category[1][@authority]|1|131",
                     "VAST-4.1-blockedadcategories-authority-not-uri|1|" + c + "BlockedAdCategories[1][@authority]|1|166",
                     "VAST-4.1-blockedadcategories-authority-unknown|0|" + c + "BlockedAdCategories[2][@authority]|1|204"}));
    EXPECT_EQ(values(inline_doc("4.0", "", both)).size(), 2u);
}

TEST(Values, AdTypeThenContentOfEveryAd) {
    std::string xml =
        "<VAST version=\"4.1\">"
        "<Ad adType=\"Video\"><Wrapper><Pricing currency=\"1\"/></Wrapper>"
        "<InLine><Pricing currency=\"2\"/></InLine></Ad>"
        "<Other/>"
        "<Ad adType=\"audio\"/>"
        "<Ad adType=\"\" adType=\"video\"><InLine><Pricing currency=\"3\"/></InLine></Ad>"
        "</VAST>";
    EXPECT_EQ(values(xml),
              (Lines{"VAST-4.1-adtype-value|1|/VAST/Ad[0][@adType]|1|21",
                     "VAST-4.1-adtype-value|1|/VAST/Ad[2][@adType]|1|155",
                     "VAST-3.0-pricing-currency-format|1|/VAST/Ad[0]/InLine/Pricing[@currency]|1|90",
                     "VAST-3.0-pricing-currency-format|1|/VAST/Ad[0]/Wrapper/Pricing[@currency]|1|49",
                     "VAST-3.0-pricing-currency-format|1|/VAST/Ad[2]/InLine/Pricing[@currency]|1|192"}));
    EXPECT_EQ(values("<VAST version=\"4.0\"><Ad adType=\"x\"/></VAST>"), Lines{});
    EXPECT_EQ(values("<VAST><Ad adType=\"x\"/></VAST>"), Lines{});
    EXPECT_EQ(values("<Vast version=\"4.1\"><Ad adType=\"x\"/></Vast>"), Lines{});
    // Only the first Creatives and Linear are examined.
    EXPECT_EQ(values(inline_doc("4.0", "<Creative><Linear><Duration>x</Duration></Linear><Linear><Duration>y"
                                       "</Duration></Linear></Creative></Creatives><Creatives><Creative><Linear>"
                                       "<Duration>z</Duration></Linear></Creative>")).size(), 1u);
    // Off rules add nothing and an off not-URI rule does not fall through to the unknown one.
    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-4.0-tracking-event-removed"] = Severity::Off;
    (*ctx.rule_overrides)["VAST-4.1-tracking-event-value"] = Severity::Info;
    (*ctx.rule_overrides)["VAST-4.0-category-authority-not-uri"] = Severity::Off;
    Lines got = values(inline_doc("4.2", tracking("fullscreen") + tracking("bogus"), "<Category authority=\"x\"/>"), ctx);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].substr(0, 32), "VAST-4.1-tracking-event-value|0|");
}

// Structure rules, read back from the JSON of the C options call.
Lines structure(const std::string& xml, std::uint32_t depth, std::uint32_t max, const char* overrides = nullptr) {
    adsieve_result* r = adsieve_validate_with_options(xml.data(), xml.size(), depth, max, overrides);
    if (!r) return {"NULL"};
    nlohmann::json j = nlohmann::json::parse(adsieve_result_json(r));
    adsieve_result_free(r);
    Lines out;
    for (const auto& is : j["issues"]) {
        std::string id = is["id"];
        if (id == "VAST-2.0-wrapper-depth" || id == "VAST-2.0-ad-sequence" || id == "VAST-2.0-parse-error")
            out.push_back(id + "|" + is["severity"].get<std::string>() + "|" + is["path"].get<std::string>() + "|" +
                          is["line"].dump() + "|" + is["col"].dump());
    }
    return out;
}

TEST(Structure, WrapperDepthAndAdSequence) {
    const std::string depth = "VAST-2.0-wrapper-depth|error|/VAST|null|null";
    const std::string seq = "VAST-2.0-ad-sequence|warning|/VAST|null|null";
    const std::string v = "<VAST version=\"4.0\"/>";
    EXPECT_EQ(structure(v, 6, 0), Lines{depth});  // 0 means the default maximum 5
    EXPECT_EQ(structure(v, 5, 0), Lines{});
    EXPECT_EQ(structure(v, 6, 6), Lines{});
    EXPECT_EQ(structure(v, 256 + 6, 0), Lines{depth});  // low 8 bits
    EXPECT_EQ(structure(v, 1, 256), Lines{depth});      // a maximum of 0
    EXPECT_EQ(structure(v, 255, 255), Lines{});
    EXPECT_EQ(structure("<Playlist><Ad/><Ad sequence=\"1\"/></Playlist>", 7, 0), Lines{depth});
    EXPECT_EQ(structure("<VAST><Ad>", 9, 0), Lines{"VAST-2.0-parse-error|error|/VAST|null|null"});

    for (const char* quiet : {"<VAST><Ad/></VAST>", "<VAST><Ad/><Ad/></VAST>", "<VAST><Ad sequence=\"1\"/><Ad sequence=\"2\"/></VAST>",
                              "<VAST><Ad sequence=\"1\"/><Other/><ad/></VAST>", "<VAST><Ad Sequence=\"1\"/><Ad/></VAST>",
                              "<VAST><Ad><Ad sequence=\"1\"/></Ad><Ad/></VAST>"})
        EXPECT_EQ(structure(quiet, 0, 0), Lines{}) << quiet;
    EXPECT_EQ(structure("<VAST><Ad sequence=\"1\"/><Ad/><Ad/></VAST>", 0, 0), Lines{seq});
    const std::string pod = "<VAST><Ad/><Ad sequence=\"\"/></VAST>";
    EXPECT_EQ(structure(pod, 6, 0), (Lines{depth, seq}));
    EXPECT_EQ(structure(pod, 6, 0, "{\"VAST-2.0-ad-sequence\":\"off\"}"), Lines{depth});
    EXPECT_EQ(structure(pod, 6, 0, "{\"VAST-2.0-wrapper-depth\":\"info\"}"),
              (Lines{"VAST-2.0-wrapper-depth|info|/VAST|null|null", seq}));
    EXPECT_EQ(structure(pod, 6, 0, "{\"VAST-2.0-wrapper-depth\":\"off\",nocolon}"), (Lines{depth, seq}));
}

const std::set<std::string> kConsistencyRules = {"VAST-2.0-parse-error", "VAST-2.0-version-mismatch",
                                                 "VAST-2.0-duplicate-impression"};

TEST(Consistency, ParseErrorAndVersionMismatch) {
    const Lines parse_error = {"VAST-2.0-parse-error|2|/VAST|-|-"};
    for (const char* bad : {"<VAST><Ad>", "<VAST><Ad></InLine></VAST>", "<VMAP><x>", "<DAAST><Ad>", "</VAST>",
                            "<VAST version=\"2.0\"><Ad sequence=\"1\"/><Ad/><AdServingId/>&</VAST>"})
        EXPECT_EQ(adsieve::testing::issue_lines(adsieve::validate(bad)), parse_error) << bad;
    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-2.0-parse-error"] = Severity::Info;
    adsieve::ValidationResult r = adsieve::validate_with_context("<VAST><Ad>", ctx);
    EXPECT_EQ(adsieve::testing::issue_lines(r), Lines{"VAST-2.0-parse-error|0|/VAST|-|-"});
    EXPECT_EQ(r.errors, 0u);
    (*ctx.rule_overrides)["VAST-2.0-parse-error"] = Severity::Off;
    EXPECT_TRUE(adsieve::validate_with_context("<VAST><Ad>", ctx).issues.empty());

    const Lines mismatch = {"VAST-2.0-version-mismatch|1|/VAST|-|-"};
    EXPECT_EQ(issues("<VAST version=\"2.0\"><Ad><InLine><AdServingId>x</AdServingId></InLine></Ad></VAST>", kConsistencyRules), mismatch);
    for (const char* quiet : {"<VAST version=\"4.1\"><Icons/></VAST>", "<VAST version=\"4.1\"><AdServingId/></VAST>",
                              "<VAST><AdServingId/></VAST>", "<VAST version=\"5\"><AdServingId/></VAST>",
                              "<vast version=\"2.0\"><AdServingId/></vast>"})
        EXPECT_EQ(issues(quiet, kConsistencyRules), Lines{}) << quiet;
    ValidationContext forced;
    forced.forced_version = adsieve::VastVersion::V2_0;
    EXPECT_EQ(issues("<VAST version=\"2.0\"><AdServingId/></VAST>", kConsistencyRules, forced), Lines{});
}

TEST(Consistency, DuplicateImpressions) {
    auto dup = [](const std::string& path) { return "VAST-2.0-duplicate-impression|1|" + path + "/Impression|-|-"; };
    auto scan = [](const std::string& ads) { return issues("<VAST>" + ads + "</VAST>", kConsistencyRules); };
    EXPECT_EQ(scan("<Ad><InLine><Impression>u1</Impression><Impression>u1</Impression><Impression>u1</Impression></InLine></Ad>"),
              Lines{dup("/VAST/Ad[0]/InLine")});
    // Trimmed, CDATA like text, case-sensitive, empty ones skipped.
    EXPECT_EQ(scan("<Ad><Wrapper><Impression> u1</Impression><Impression><![CDATA[u1 ]]></Impression></Wrapper></Ad>"),
              Lines{dup("/VAST/Ad[0]/Wrapper")});
    EXPECT_EQ(scan("<Ad><InLine><Impression>U1</Impression><Impression>u1</Impression><Impression/><Impression/>"
                   "<X><Impression>u1</Impression></X></InLine></Ad>"),
              Lines{});
    // Judged by the InLine alone; sets are per Ad; Ads counted among Ad children only.
    EXPECT_EQ(scan("<Ad><Wrapper><Impression>u</Impression><Impression>u</Impression></Wrapper><InLine/></Ad>"), Lines{});
    EXPECT_EQ(scan("<Ad><InLine><Impression>u</Impression><Impression>u</Impression></InLine></Ad><Other/>"
                   "<Ad><InLine><Impression>u</Impression></InLine></Ad>"
                   "<Ad><Wrapper><Impression>u</Impression><Impression>u</Impression></Wrapper></Ad>"),
              (Lines{dup("/VAST/Ad[0]/InLine"), dup("/VAST/Ad[2]/Wrapper")}));
    EXPECT_EQ(issues("<Other><Ad><InLine><Impression>u</Impression><Impression>u</Impression></InLine></Ad></Other>",
                     kConsistencyRules),
              Lines{});
    // Past the first sixteen texts the comparison moves to a set: a repeat of
    // any earlier text, on either side of that point, is found.
    auto impressions = [](int count, int repeat) {
        std::string out = "<Ad><InLine>";
        for (int id = 0; id < count; ++id) out += "<Impression>u" + std::to_string(id) + "</Impression>";
        if (repeat >= 0) out += "<Impression>u" + std::to_string(repeat) + "</Impression>";
        return out + "</InLine></Ad>";
    };
    EXPECT_EQ(scan(impressions(40, -1)), Lines{});
    for (int count : {15, 16, 17, 30})
        for (int repeat : {0, 2, count / 2, count - 1})
            EXPECT_EQ(scan(impressions(count, repeat)), Lines{dup("/VAST/Ad[0]/InLine")}) << count << " " << repeat;
}

TEST(ValueStructureConsistency, DeepDocumentsDoNotRecurse) {
    std::string xml = "<VAST version=\"4.1\"><Ad><InLine><Creatives><Creative><Linear><TrackingEvents>";
    const int depth = 1'000'000;
    for (int i = 0; i < depth; ++i) xml += "<Tracking event=\"bogus\">";
    adsieve::Document doc = adsieve::parse(xml);
    adsieve::DetectedVersion version = adsieve::detect_version(doc.root());
    adsieve::ValidationResult found;
    const adsieve::Issues& out = found.issues;
    ValidationContext ctx;
    adsieve::testing::run_family(found, adsieve::rules::structure::check, doc.root(), version, ctx, doc.text);
    adsieve::testing::run_family(found, adsieve::rules::values::check, doc.root(), version, ctx, doc.text);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].id, "VAST-4.1-tracking-event-value");
    doc.parse_error.reset();
    adsieve::testing::run_family(
        found,
        [](const adsieve::Node& r, const adsieve::DetectedVersion& v, adsieve::Report& rep) {
            adsieve::rules::consistency::check(r, false, v, rep);
        },
        doc.root(), version, ctx, doc.text);
    EXPECT_EQ(out.size(), 1u);
}

}  // namespace
