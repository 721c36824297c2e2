// The schema family: vocabulary walk, paths, order of findings, extension checks.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support.h"
#include "validate.h"

namespace {

using namespace adsieve;
using Lines = std::vector<std::string>;


// This family's findings only, as "id|severity|path|line|col".
Lines schema_lines(const ValidationResult& r) { return adsieve::testing::family_lines(r, adsieve::Family::Schema); }

Lines run(const std::string& xml) { return schema_lines(validate(xml)); }

Lines run_with(const std::string& xml, std::map<std::string, Severity, std::less<>> overrides) {
    ValidationContext ctx;
    ctx.rule_overrides = std::move(overrides);
    return schema_lines(validate_with_context(xml, ctx));
}

// An InLine ad whose body is `body`, starting on line 3.
std::string inline_ad(const std::string& body, const std::string& version = "4.2") {
    return "<VAST version=\"" + version + "\">\n<Ad>\n<InLine>\n" + body + "</InLine>\n</Ad>\n</VAST>\n";
}

// A Creative whose body is `body`, starting on line 6.
std::string creative(const std::string& body) {
    return inline_ad("<Creatives>\n<Creative>\n" + body + "</Creative>\n</Creatives>\n");
}

const std::string kCreativePath = "/VAST/Ad[0]/InLine/Creatives/Creative[0]";

TEST(SchemaRoot, RootAdSelectionAndAdBodies) {
    EXPECT_EQ(run("<vast version=\"4.2\" foo=\"1\"><Ad><InLine><Expires/></InLine></Ad></vast>"), Lines{});
    EXPECT_EQ(run("<VMAP x=\"1\"/>"), Lines{});

    // Root attributes other than version, at the root's position; prefixes are gone.
    EXPECT_EQ(run("\n  <VAST xmlns=\"http://x\" version=\"4.2\" xmlns:xsi=\"http://w\" xsi:noNamespaceSchemaLocation=\"v.xsd\"/>"),
              (Lines{"VAST-2.0-unknown-attribute|1|/VAST[@xmlns]|2|3",
                     "VAST-2.0-unknown-attribute|1|/VAST[@xsi]|2|3",
                     "VAST-2.0-unknown-attribute|1|/VAST[@noNamespaceSchemaLocation]|2|3"}));

    // Ad index counts Ad children only; the Wrapper is walked after the InLine
    // whatever their order; a second InLine is never looked at; other
    // children of the root and of Ad are ignored.
    EXPECT_EQ(run("<VAST version=\"2.0\">\n"
                  "<Error><X/></Error>\n"
                  "<Ad id=\"a\" adType=\"video\" sequence=\"1\" conditionalAd=\"false\" foo=\"1\">\n"
                  "<Wrapper fallbackOnNoAd=\"true\" bad=\"1\"><Pricing/><Survey/><Category/></Wrapper>\n"
                  "<InLine><Expires/></InLine>\n"
                  "<InLine><Bogus/></InLine>\n"
                  "<Junk><Expires/></Junk>\n"
                  "</Ad>\n"
                  "<Ad><InLine a=\"1\"><adTitle/></InLine></Ad>\n"
                  "</VAST>"),
              (Lines{"VAST-2.0-unknown-attribute|1|/VAST/Ad[0][@foo]|3|1",
                     "VAST-2.0-inline-unknown-child|2|/VAST/Ad[0]/InLine/Expires|5|9",
                     "VAST-2.0-unknown-attribute|1|/VAST/Ad[0]/Wrapper[@bad]|4|1",
                     "VAST-2.0-wrapper-unknown-child|2|/VAST/Ad[0]/Wrapper/Pricing|4|40",
                     "VAST-2.0-wrapper-unknown-child|2|/VAST/Ad[0]/Wrapper/Survey|4|50",
                     "VAST-2.0-wrapper-unknown-child|2|/VAST/Ad[0]/Wrapper/Category|4|59",
                     "VAST-2.0-unknown-attribute|1|/VAST/Ad[1]/InLine[@a]|9|5",
                     "VAST-2.0-inline-unknown-child|2|/VAST/Ad[1]/InLine/adTitle|9|19"}));

    // The vocabulary ignores the version: Mezzanine and ClosedCaptionFiles in
    // 2.0; accepted elements are not looked into, whatever they hold.
    EXPECT_EQ(run(inline_ad("<Category x=\"1\"><Y/></Category><AdVerifications><Z/></AdVerifications>"
                            "<ViewableImpression q=\"1\"><W/></ViewableImpression>"
                            "<BlockedAdCategories><V/></BlockedAdCategories>\n"
                            "<Creatives><Creative><Linear><MediaFiles><Mezzanine/><ClosedCaptionFiles>"
                            "<ClosedCaptionFile/></ClosedCaptionFiles></MediaFiles></Linear></Creative></Creatives>\n",
                            "2.0")),
              Lines{});
}

TEST(SchemaPaths, IndicesCountAllChildrenWhereTheyApply) {
    // Creatives: every child is at Creative[k], the real one walked at its own k.
    EXPECT_EQ(run(inline_ad("<Creatives x=\"1\">\n<Foo/>\n<Creative><Oops/></Creative>\n<!-- c -->\n<Bar/>\n</Creatives>\n")),
              (Lines{"VAST-2.0-unknown-attribute|1|/VAST/Ad[0]/InLine/Creatives[@x]|4|1",
                     "VAST-2.0-creatives-unknown-child|2|/VAST/Ad[0]/InLine/Creatives/Creative[0]|5|1",
                     "VAST-2.0-creative-unknown-child|2|/VAST/Ad[0]/InLine/Creatives/Creative[1]/Oops|6|11",
                     "VAST-2.0-creatives-unknown-child|2|/VAST/Ad[0]/InLine/Creatives/Creative[2]|8|1"}));

    const std::string L = kCreativePath + "/Linear";
    EXPECT_EQ(run(creative("<Linear>\n"
                           "<MediaFiles><Mezzanine/><MediaFile bitrate=\"1\" foo=\"2\"/><X/>"
                           "<ClosedCaptionFiles><ClosedCaptionFile/><Cc/></ClosedCaptionFiles>"
                           "<InteractiveCreativeFile variableDuration=\"1\" id=\"z\"/></MediaFiles>\n"
                           "<VideoClicks><ClickTracking/><ClickThrough>u<b/></ClickThrough><Other/>"
                           "<CustomClick id=\"c\" name=\"n\"/></VideoClicks>\n"
                           "<Icons><Junk/><Icon bad=\"1\"/><Icon><IconClicks><IconClickFallbackImages>"
                           "<Any/></IconClickFallbackImages><Q/></IconClicks></Icon></Icons>\n"
                           "<TrackingEvents any=\"1\"><Tracking/><Track/><Tracking foo=\"1\"/></TrackingEvents>\n"
                           "</Linear>\n")),
              (Lines{"VAST-2.0-unknown-attribute|1|" + L + "/MediaFiles/MediaFile[1][@foo]|7|25",
                     "VAST-2.0-mediafiles-unknown-child|2|" + L + "/MediaFiles/X|7|57",
                     "VAST-4.2-closedcaptionfiles-unknown-child|2|" + L +
                         "/MediaFiles/ClosedCaptionFiles/Cc[1]|7|101",
                     "VAST-2.0-unknown-attribute|1|" + L + "/MediaFiles/InteractiveCreativeFile[4][@id]|7|127",
                     "VAST-2.0-text-only-element|2|" + L + "/VideoClicks/ClickThrough[1]/b|8|45",
                     "VAST-2.0-videoclicks-unknown-child|2|" + L + "/VideoClicks/Other|8|64",
                     "VAST-2.0-unknown-attribute|1|" + L + "/VideoClicks/CustomClick[3][@name]|8|72",
                     "VAST-3.0-icons-unknown-child|2|" + L + "/Icons/Junk|9|8",
                     "VAST-2.0-unknown-attribute|1|" + L + "/Icons/Icon[1][@bad]|9|15",
                     "VAST-3.0-iconclicks-unknown-child|2|" + L + "/Icons/Icon[2]/IconClicks/Q|9|105",
                     "VAST-2.0-trackingevents-unknown-child|2|" + L + "/TrackingEvents/Tracking[1]|10|36",
                     "VAST-2.0-unknown-attribute|1|" + L + "/TrackingEvents/Tracking[2][@foo]|10|44"}));
}

TEST(SchemaOrder, ContainersAttributesFirstTextOnlyChildrenFirst) {
    const std::string C = kCreativePath;
    // Text-only: child elements before attributes. Container: attributes
    // before children, each child complete before the next.
    EXPECT_EQ(run(creative("<UniversalAdId idRegistry=\"r\" x=\"1\"><a/><b/></UniversalAdId>\n"
                           "<CompanionAds required=\"all\" y=\"2\">\n"
                           "<Companion width=\"1\" creativeType=\"x\"><HTMLResource xmlEncoded=\"true\"/>"
                           "<IFrameResource creativeType=\"t\"/><StaticResource creativeType=\"t\"/><Nope/></Companion>\n"
                           "<Companion><AdParameters xmlEncoded=\"1\" q=\"1\"/></Companion>\n"
                           "<NonLinear/>\n"
                           "</CompanionAds>\n"
                           "<NonLinearAds><NonLinear expandedWidth=\"1\" x=\"1\"><AdParameters/><Foo/></NonLinear>"
                           "<TrackingEvents><Tracking event=\"start\" offset=\"1\"/></TrackingEvents><Bar/></NonLinearAds>\n")),
              (Lines{"VAST-2.0-text-only-element|2|" + C + "/UniversalAdId/a|6|37",
                     "VAST-2.0-text-only-element|2|" + C + "/UniversalAdId/b|6|41",
                     "VAST-2.0-unknown-attribute|1|" + C + "/UniversalAdId[@x]|6|1",
                     "VAST-2.0-unknown-attribute|1|" + C + "/CompanionAds[@y]|7|1",
                     "VAST-2.0-unknown-attribute|1|" + C + "/CompanionAds/Companion[@creativeType]|8|1",
                     "VAST-2.0-unknown-attribute|1|" + C + "/CompanionAds/Companion/HTMLResource[@xmlEncoded]|8|39",
                     "VAST-2.0-unknown-attribute|1|" + C + "/CompanionAds/Companion/IFrameResource[@creativeType]|8|72",
                     "VAST-2.0-companion-unknown-child|2|" + C + "/CompanionAds/Companion/Nope|8|140",
                     "VAST-2.0-unknown-attribute|1|" + C + "/CompanionAds/Companion/AdParameters[@q]|9|12",
                     "VAST-2.0-companionads-unknown-child|2|" + C + "/CompanionAds/NonLinear|10|1",
                     "VAST-2.0-unknown-attribute|1|" + C + "/NonLinearAds/NonLinear[@x]|12|15",
                     "VAST-2.0-nonlinear-unknown-child|2|" + C + "/NonLinearAds/NonLinear/Foo|12|65",
                     "VAST-2.0-nonlinearads-unknown-child|2|" + C + "/NonLinearAds/Bar|12|152"}));

    // Mezzanine lacks the bitrate attributes that MediaFile admits.
    EXPECT_EQ(run(creative("<Linear><MediaFiles><Mezzanine bitrate=\"1\" codec=\"c\" scalable=\"1\"/>"
                           "<MediaFile bitrate=\"1\" scalable=\"1\"/></MediaFiles></Linear>\n")),
              (Lines{"VAST-2.0-unknown-attribute|1|" + C + "/Linear/MediaFiles/Mezzanine[0][@bitrate]|6|21",
                     "VAST-2.0-unknown-attribute|1|" + C + "/Linear/MediaFiles/Mezzanine[0][@scalable]|6|21"}));
}

TEST(SchemaOverrides, UnknownAttributeOffOrErrorLeavesTheWalkAlone) {
    const std::string doc = inline_ad("<Impression id=\"1\" foo=\"2\"><x/></Impression><Expires/>\n");
    EXPECT_EQ(run_with(doc, {{"VAST-2.0-unknown-attribute", Severity::Off}}),
              (Lines{"VAST-2.0-text-only-element|2|/VAST/Ad[0]/InLine/Impression/x|4|28",
                     "VAST-2.0-inline-unknown-child|2|/VAST/Ad[0]/InLine/Expires|4|45"}));
    EXPECT_EQ(run_with(doc, {{"VAST-2.0-unknown-attribute", Severity::Error},
                             {"VAST-2.0-inline-unknown-child", Severity::Info}}),
              (Lines{"VAST-2.0-text-only-element|2|/VAST/Ad[0]/InLine/Impression/x|4|28",
                     "VAST-2.0-unknown-attribute|2|/VAST/Ad[0]/InLine/Impression[@foo]|4|1",
                     "VAST-2.0-inline-unknown-child|0|/VAST/Ad[0]/InLine/Expires|4|45"}));
    // Off for a container's unknown-child rule still walks its admitted children.
    EXPECT_EQ(run_with(inline_ad("<Bad/><Creatives><Nope/><Creative><X/></Creative></Creatives>\n"),
                       {{"VAST-2.0-inline-unknown-child", Severity::Off},
                        {"VAST-2.0-creatives-unknown-child", Severity::Off}}),
              Lines{"VAST-2.0-creative-unknown-child|2|/VAST/Ad[0]/InLine/Creatives/Creative[1]/X|4|35"});
}

TEST(SchemaExtensions, ContainerWalkAndCdataTest) {
    const std::string E = "/VAST/Ad[0]/InLine/Extensions";
    EXPECT_EQ(run(inline_ad("<Extensions a=\"1\">\n"
                            "<Extension type=\"json\">{\"k\":\"a&amp;b\"}</Extension>\n"              // 0: flagged
                            "<Foo><MediaFile/></Foo>\n"                                                  // 1: unknown
                            "<Extension><![CDATA[{\"k\":\"a&b\"}]]></Extension>\n"                     // 2
                            "<Extension>https://x.example/p?a=1&amp;b=2</Extension>\n"                 // 3
                            "<Extension>data:text/plain,a&amp;b</Extension>\n"                         // 4
                            "<Extension>about:blank</Extension>\n"                                     // 5
                            "<Extension>plain text &gt; \"quoted\" 'single'</Extension>\n"             // 6
                            "<Extension><V>a&amp;b</V><W>x &lt; y</W></Extension>\n"                   // 7
                            "<Extension>x &lt; y</Extension>\n"                                        // 8: flagged
                            "<Extension>   </Extension>\n"                                             // 9
                            "<extension>lower</extension>\n"                                           // 10
                            "</Extensions>\n")),
              (Lines{"VAST-2.0-extension-cdata|1|" + E + "/Extension[0]|5|1",
                     "VAST-2.0-extensions-unknown-child|2|" + E + "/Foo[1]|6|1",
                     "VAST-2.0-extension-cdata|1|" + E + "/Extension[8]|13|1",
                     "VAST-2.0-extensions-unknown-child|2|" + E + "/extension[10]|15|1"}));

    // Extensions inside Wrapper and Linear, CreativeExtensions inside Creative
    // and Companion; the cdata finding precedes the misplaced findings of the
    // same element and everything sits between the neighbours' findings.
    const std::string C = kCreativePath;
    EXPECT_EQ(run(creative("<Linear><Extensions><Extension>a&amp;b<Ad/></Extension></Extensions><Oops/></Linear>\n"
                           "<CreativeExtensions><CreativeExtension>a&amp;b</CreativeExtension>"
                           "<CreativeExtension><X><Icon/></X></CreativeExtension><Extension/></CreativeExtensions>\n"
                           "<CompanionAds><Companion><CreativeExtensions><CreativeExtension>&lt;p&gt;"
                           "</CreativeExtension></CreativeExtensions></Companion></CompanionAds>\n")),
              (Lines{"VAST-2.0-extension-misplaced-element|1|" + C + "/Linear/Extensions/Extension[0]/Ad|6|39",
                     "VAST-2.0-linear-unknown-child|2|" + C + "/Linear/Oops|6|69",
                     "VAST-2.0-creative-extension-cdata|1|" + C + "/CreativeExtensions/CreativeExtension[0]|7|21",
                     "VAST-2.0-creative-extension-misplaced-element|1|" + C +
                         "/CreativeExtensions/CreativeExtension[1]/X/Icon|7|89",
                     "VAST-2.0-creativeextensions-unknown-child|2|" + C + "/CreativeExtensions/Extension[2]|7|120",
                     "VAST-2.0-creative-extension-cdata|1|" + C +
                         "/CompanionAds/Companion/CreativeExtensions/CreativeExtension[0]|8|46"}));

    EXPECT_EQ(run("<VAST><Ad><Wrapper><Extensions><Extension>{\"a\":1,\"b\":\"&amp;\"}<![CDATA[ ]]></Extension>"
                  "</Extensions></Wrapper></Ad></VAST>"),
              Lines{"VAST-2.0-extension-cdata|1|/VAST/Ad[0]/Wrapper/Extensions/Extension[0]|1|32"});
}

TEST(SchemaExtensions, MisplacedElementScan) {
    const std::string X = "/VAST/Ad[0]/InLine/Extensions/Extension[0]";
    EXPECT_EQ(run(inline_ad("<Extensions><Extension>\n"
                            "<MediaFile/>\n"
                            "<Vendor><Deep><Tracking><Impression/></Tracking></Deep></Vendor>\n"
                            "<Wrapper><Impression/></Wrapper>\n"
                            "<Extension><AdTitle/></Extension>\n"
                            "<mediafile/><Extensions/><CreativeExtension/>\n"
                            "<AdCreativeId/><Viewable/>\n"
                            "</Extension></Extensions>\n")),
              (Lines{"VAST-2.0-extension-misplaced-element|1|" + X + "/MediaFile|5|1",
                     "VAST-2.0-extension-misplaced-element|1|" + X + "/Vendor/Deep/Tracking|6|15",
                     "VAST-2.0-extension-misplaced-element|1|" + X + "/Wrapper|7|1",
                     "VAST-2.0-extension-misplaced-element|1|" + X + "/Extension/AdTitle|8|12",
                     "VAST-2.0-extension-misplaced-element|1|" + X + "/AdCreativeId|10|1",
                     "VAST-2.0-extension-misplaced-element|1|" + X + "/Viewable|10|16"}));

    // The misplaced rules cannot be switched off: off reports warnings; other
    // levels apply. The cdata rules switch off normally.
    const std::string doc = inline_ad("<Extensions><Extension>a&amp;b</Extension><Extension><Ad/></Extension>"
                                      "</Extensions><Creatives><Creative><CreativeExtensions><CreativeExtension>"
                                      "<Ad/></CreativeExtension></CreativeExtensions></Creative></Creatives>\n");
    const std::string P = "/VAST/Ad[0]/InLine/";
    EXPECT_EQ(run_with(doc, {{"VAST-2.0-extension-misplaced-element", Severity::Off},
                             {"VAST-2.0-creative-extension-misplaced-element", Severity::Off},
                             {"VAST-2.0-extension-cdata", Severity::Off}}),
              (Lines{"VAST-2.0-extension-misplaced-element|1|" + P + "Extensions/Extension[1]/Ad|4|54",
                     "VAST-2.0-creative-extension-misplaced-element|1|" + P +
                         "Creatives/Creative[0]/CreativeExtensions/CreativeExtension[0]/Ad|4|144"}));
    EXPECT_EQ(run_with(doc, {{"VAST-2.0-extension-misplaced-element", Severity::Error},
                             {"VAST-2.0-creative-extension-misplaced-element", Severity::Info}}),
              (Lines{"VAST-2.0-extension-cdata|1|" + P + "Extensions/Extension[0]|4|13",
                     "VAST-2.0-extension-misplaced-element|2|" + P + "Extensions/Extension[1]/Ad|4|54",
                     "VAST-2.0-creative-extension-misplaced-element|0|" + P +
                         "Creatives/Creative[0]/CreativeExtensions/CreativeExtension[0]/Ad|4|144"}));
}

TEST(SchemaDepth, DeepExtensionContentAndDeepTextOnlyContent) {
    constexpr int kDepth = 1000000;
    std::string doc = "<VAST><Ad><InLine><Extensions><Extension>";
    doc.reserve(doc.size() + kDepth * 7 + 200);
    for (int i = 0; i < kDepth; ++i) doc += "<v>";
    doc += "<Icon/>";
    for (int i = 0; i < kDepth; ++i) doc += "</v>";
    doc += "</Extension></Extensions><AdTitle>";
    for (int i = 0; i < kDepth; ++i) doc += "<t>";
    for (int i = 0; i < kDepth; ++i) doc += "</t>";
    doc += "</AdTitle></InLine></Ad></VAST>";
    Lines lines = run(doc);
    ASSERT_EQ(lines.size(), 2u);
    std::string expected_path = "/VAST/Ad[0]/InLine/Extensions/Extension[0]";
    for (int i = 0; i < kDepth; ++i) expected_path += "/v";
    expected_path += "/Icon";
    EXPECT_EQ(lines[0], "VAST-2.0-extension-misplaced-element|1|" + expected_path + "|1|" +
                            std::to_string(41 + 3 * kDepth + 1));
    EXPECT_EQ(lines[1].substr(0, lines[1].find("|1|")),
              "VAST-2.0-text-only-element|2|/VAST/Ad[0]/InLine/AdTitle/t");
}

}  // namespace
