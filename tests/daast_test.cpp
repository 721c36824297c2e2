// DAAST audio ad checks, at the level of the issue list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"
#include "validate.h"

namespace {

using adsieve::testing::issue_lines;
using Lines = std::vector<std::string>;

Lines lines(const std::string& xml) { return issue_lines(adsieve::validate(xml)); }

// A complete InLine whose Linear body is given, each element on its own line.
std::string inline_ad(const std::string& linear_body, const std::string& extra = "") {
    return "<DAAST version=\"1.0\">\n"
           "<Ad>\n"
           "<InLine>\n"
           "<AdTitle>t</AdTitle>\n"
           "<Impression>https://i.example/</Impression>\n"
           "<Category>IAB1</Category>\n" +
           extra +
           "<Creatives>\n"
           "<Creative>\n"
           "<Linear>\n" +
           linear_body +
           "</Linear>\n"
           "</Creative>\n"
           "</Creatives>\n"
           "</InLine>\n"
           "</Ad>\n"
           "</DAAST>";
}

const std::string kGoodLinear =
    "<Duration>00:00:30</Duration>\n"
    "<MediaFiles>\n"
    "<MediaFile id=\"1\" delivery=\"progressive\" type=\"audio/mpeg\">https://m.example/a.mp3</MediaFile>\n"
    "</MediaFiles>\n";

const std::string kLinear = "/DAAST/Ad[0]/InLine/Creatives/Creative[0]/Linear";

TEST(Daast, RootVersionAndContent) {
    EXPECT_EQ(lines(inline_ad(kGoodLinear)), Lines{});
    EXPECT_EQ(lines("<DAAST version=\" 1.1 \"><Error>https://e.example/?c=[ERRORCODE]</Error></DAAST>"), Lines{});
    EXPECT_EQ(lines("<DAAST version=\"1.2\"><Error>https://e.example/?c=[ERRORCODE]</Error></DAAST>"),
              (Lines{"DAAST-1.0-root-version-value|1|/DAAST[@version]|1|1"}));
    // Neither version nor content; unknown children are not reported.
    EXPECT_EQ(lines("<DAAST>\n  <Foo/>\n</DAAST>"),
              (Lines{"DAAST-1.0-root-version|2|/DAAST|1|1", "DAAST-1.0-root-has-ad-or-error|2|/DAAST|1|1"}));
    EXPECT_EQ(lines("<daast:DAAST xmlns:daast=\"urn:x\" version=\"1.0\"><daast:Error>[ERRORCODE]</daast:Error></daast:DAAST>"),
              Lines{});
}

TEST(Daast, ErrorsComeBeforeAds) {
    std::string xml =
        "<DAAST version=\"1.0\">\n"
        "<Ad/>\n"
        "<Error>https://e.example/?c=[ERROR_CODE]</Error>\n"
        "<Ad><Wrapper/><Wrapper/></Ad>\n"
        "<Error>  </Error>\n"
        "<Error>https://e.example/?c=[ERRORCODE]</Error>\n"
        "<Error>https://e.example/?c=[errorcode]</Error>\n"
        "</DAAST>";
    EXPECT_EQ(lines(xml), (Lines{
                              "DAAST-1.0-error-tracking-macro|0|/DAAST/Error[0]|3|1",
                              "DAAST-1.0-error-url-empty|1|/DAAST/Error[1]|5|1",
                              "DAAST-1.0-error-tracking-macro|0|/DAAST/Error[3]|7|1",
                              "DAAST-1.0-ad-has-inline-or-wrapper|2|/DAAST/Ad[0]|2|1",
                              "DAAST-1.0-ad-has-inline-or-wrapper|2|/DAAST/Ad[1]|4|1",
                              "DAAST-1.0-wrapper-daastadtaguri|2|/DAAST/Ad[1]/Wrapper|4|5",
                              "DAAST-1.0-wrapper-impression|2|/DAAST/Ad[1]/Wrapper|4|5",
                          }));
}

TEST(Daast, InLineAndWrapperTogether) {
    // Both are checked after the count issue: the full InLine checks, then the full Wrapper
    // checks, each on the first of its name only.
    std::string xml =
        "<DAAST version=\"1.0\">\n"
        "<Ad>\n"
        "<Wrapper>\n"
        "<DAASTAdTagURI>https://w.example/</DAASTAdTagURI>\n"
        "<VASTAdTagURI>https://v.example/</VASTAdTagURI>\n"
        "<VASTAdTagURI>https://v2.example/</VASTAdTagURI>\n"
        "<Pricing model=\"cpx\"/>\n"
        "</Wrapper>\n"
        "<InLine>\n"
        "<Creatives/>\n"
        "<Pricing currency=\"USD\"/>\n"
        "</InLine>\n"
        "<InLine/>\n"
        "</Ad>\n"
        "</DAAST>";
    EXPECT_EQ(lines(xml), (Lines{
                              "DAAST-1.0-ad-has-inline-or-wrapper|2|/DAAST/Ad[0]|2|1",
                              "DAAST-1.0-inline-adtitle|2|/DAAST/Ad[0]/InLine|9|1",
                              "DAAST-1.0-inline-impression|2|/DAAST/Ad[0]/InLine|9|1",
                              "DAAST-1.0-inline-category|2|/DAAST/Ad[0]/InLine|9|1",
                              "DAAST-1.0-inline-creatives|2|/DAAST/Ad[0]/InLine|9|1",
                              "DAAST-1.0-pricing-model|2|/DAAST/Ad[0]/InLine/Pricing|11|1",
                              "DAAST-1.0-wrapper-vast-adtaguri|1|/DAAST/Ad[0]/Wrapper/VASTAdTagURI|5|1",
                              "DAAST-1.0-wrapper-impression|2|/DAAST/Ad[0]/Wrapper|3|1",
                              "DAAST-1.0-pricing-model-value|1|/DAAST/Ad[0]/Wrapper/Pricing[@model]|7|1",
                              "DAAST-1.0-pricing-currency|2|/DAAST/Ad[0]/Wrapper/Pricing|7|1",
                          }));
}

TEST(Daast, PricingValues) {
    for (const char* ok : {"CPO", "cpm", "Cpc", "cpe", "cpv"}) {
        EXPECT_EQ(lines(inline_ad(kGoodLinear, std::string("<Pricing model=\"") + ok + "\" currency=\"anything\"/>\n")),
                  Lines{})
            << ok;
    }
    for (const char* bad : {" cpm", "cpm ", "", "cpa"}) {
        EXPECT_EQ(lines(inline_ad(kGoodLinear, std::string("<Pricing model=\"") + bad + "\" currency=\"\"/>\n")),
                  (Lines{"DAAST-1.0-pricing-model-value|1|/DAAST/Ad[0]/InLine/Pricing[@model]|7|1"}))
            << bad;
    }
    EXPECT_EQ(lines(inline_ad(kGoodLinear, "<Pricing/>\n<Pricing model=\"cpm\" currency=\"USD\"/>\n")),
              (Lines{"DAAST-1.0-pricing-model|2|/DAAST/Ad[0]/InLine/Pricing|7|1",
                     "DAAST-1.0-pricing-currency|2|/DAAST/Ad[0]/InLine/Pricing|7|1"}));
}

TEST(Daast, LinearChecksOnlyForInLine) {
    std::string linear =
        "<AudioInteractions/>\n"
        "<VideoClicks/>\n"
        "<VideoClicks/>\n"
        "<TrackingEvents>\n"
        "<Tracking event=\"close\">https://t.example/</Tracking>\n"
        "</TrackingEvents>\n";
    // Wrapper: no duration or media file issues; the VAST-element and tracking checks still run,
    // VideoClicks before AudioInteractions whatever the document order.
    std::string wrapper =
        "<DAAST version=\"1.0\">\n"
        "<Ad>\n"
        "<Wrapper>\n"
        "<DAASTAdTagURI>https://w.example/</DAASTAdTagURI>\n"
        "<Impression>https://i.example/</Impression>\n"
        "<Creatives>\n"
        "<Creative>\n"
        "<Linear>\n" +
        linear +
        "</Linear>\n"
        "</Creative>\n"
        "</Creatives>\n"
        "</Wrapper>\n"
        "</Ad>\n"
        "</DAAST>";
    const std::string wl = "/DAAST/Ad[0]/Wrapper/Creatives/Creative[0]/Linear";
    EXPECT_EQ(lines(wrapper), (Lines{
                                  "DAAST-1.0-videoclicks-element|1|" + wl + "/VideoClicks|10|1",
                                  "DAAST-1.0-audiointeractions-renamed|1|" + wl + "/AudioInteractions|9|1",
                                  "DAAST-1.0-tracking-event-value|2|" + wl + "/TrackingEvents/Tracking[0][@event]|13|1",
                              }));
    // The same Linear in an InLine also misses Duration and MediaFiles.
    EXPECT_EQ(lines(inline_ad(linear)), (Lines{
                                            "DAAST-1.0-videoclicks-element|1|" + kLinear + "/VideoClicks|11|1",
                                            "DAAST-1.0-audiointeractions-renamed|1|" + kLinear + "/AudioInteractions|10|1",
                                            "DAAST-1.0-linear-duration|2|" + kLinear + "|9|1",
                                            "DAAST-1.0-linear-mediafiles|2|" + kLinear + "|9|1",
                                            "DAAST-1.0-tracking-event-value|2|" + kLinear +
                                                "/TrackingEvents/Tracking[0][@event]|14|1",
                                        }));
}

TEST(Daast, DurationAndMediaFiles) {
    auto with_duration = [](const std::string& d) {
        return lines(inline_ad("<Duration>" + d + "</Duration>\n<MediaFiles>\n<MediaFile id=\"1\" delivery=\"streaming\" "
                               "type=\"audio/aac\">u</MediaFile>\n</MediaFiles>\n"));
    };
    EXPECT_EQ(with_duration(" 00:00:15.250 "), Lines{});
    EXPECT_EQ(with_duration(""), Lines{});
    EXPECT_EQ(with_duration("0:00:15"), (Lines{"DAAST-1.0-duration-format|2|" + kLinear + "/Duration|10|1"}));
    EXPECT_EQ(with_duration("15"), (Lines{"DAAST-1.0-duration-format|2|" + kLinear + "/Duration|10|1"}));

    // Empty MediaFiles, or one holding only other elements.
    EXPECT_EQ(lines(inline_ad("<Duration>00:00:15</Duration>\n<MediaFiles><Mezzanine>u</Mezzanine></MediaFiles>\n")),
              (Lines{"DAAST-1.0-linear-mediafiles|2|" + kLinear + "|9|1"}));

    std::string files =
        "<Duration>00:00:15</Duration>\n"
        "<MediaFiles>\n"
        "<MediaFile/>\n"
        "<Mezzanine/>\n"
        "<MediaFile id=\"2\" delivery=\"Progressive\" type=\"video/mp4\">u</MediaFile>\n"
        "<MediaFile id=\"3\" delivery=\"streaming\" type=\"video/\">u</MediaFile>\n"
        "<MediaFile id=\"4\" delivery=\"streaming\" type=\"Video/mp4\">u</MediaFile>\n"
        "<MediaFile id=\"5\" delivery=\"streaming\" type=\"video\"> </MediaFile>\n"
        "</MediaFiles>\n";
    const std::string mf = kLinear + "/MediaFiles/MediaFile";
    EXPECT_EQ(lines(inline_ad(files)), (Lines{
                                           "DAAST-1.0-mediafile-delivery|2|" + mf + "[0]|12|1",
                                           "DAAST-1.0-mediafile-type|2|" + mf + "[0]|12|1",
                                           "DAAST-1.0-mediafile-id|1|" + mf + "[0]|12|1",
                                           "DAAST-1.0-mediafile-url-empty|2|" + mf + "[0]|12|1",
                                           "DAAST-1.0-mediafile-delivery-enum|2|" + mf + "[1][@delivery]|14|1",
                                           "DAAST-1.0-mediafile-audio-type|1|" + mf + "[1][@type]|14|1",
                                           "DAAST-1.0-mediafile-audio-type|1|" + mf + "[2][@type]|15|1",
                                           "DAAST-1.0-mediafile-url-empty|2|" + mf + "[4]|17|1",
                                       }));
}

TEST(Daast, TrackingEvents) {
    std::string linear = kGoodLinear +
                         "<TrackingEvents>\n"
                         "<Tracking>https://t.example/none</Tracking>\n"
                         "<Other event=\"bogus\"/>\n"
                         "<Tracking event=\"progress\" offset=\" 25% \">u</Tracking>\n"
                         "<Tracking event=\"progress\" offset=\"125%\">u</Tracking>\n"
                         "<Tracking event=\"progress\">u</Tracking>\n"
                         "<Tracking event=\"progress\" offset=\" 00:00:05 \">u</Tracking>\n"
                         "<Tracking event=\"Progress\" offset=\"5\">u</Tracking>\n"
                         "<Tracking event=\"fullscreen\">u</Tracking>\n"
                         "<Tracking event=\"skip\">u</Tracking>\n"
                         "</TrackingEvents>\n"
                         "<TrackingEvents><Tracking event=\"close\"/></TrackingEvents>\n";
    const std::string tr = kLinear + "/TrackingEvents/Tracking";
    EXPECT_EQ(lines(inline_ad(linear)), (Lines{
                                            "DAAST-1.0-progress-offset|2|" + tr + "[2][@offset]|18|1",
                                            "DAAST-1.0-progress-offset|2|" + tr + "[3]|19|1",
                                            "DAAST-1.0-tracking-event-value|2|" + tr + "[5][@event]|21|1",
                                            "DAAST-1.0-tracking-event-value|2|" + tr + "[6][@event]|22|1",
                                        }));
}

TEST(Daast, CreativeIndicesAndOverrides) {
    // A Creative without Linear is skipped but counted; only the first Creatives is read.
    std::string xml =
        "<DAAST version=\"1.0\">\n"
        "<Ad>\n"
        "<InLine>\n"
        "<AdTitle>t</AdTitle>\n"
        "<Impression>i</Impression>\n"
        "<Category>c</Category>\n"
        "<Creatives>\n"
        "<Creative><CompanionAds/></Creative>\n"
        "<Note/>\n"
        "<Creative><Linear><Duration>x</Duration><MediaFiles><MediaFile id=\"1\" delivery=\"streaming\" "
        "type=\"audio/mpeg\">u</MediaFile></MediaFiles></Linear></Creative>\n"
        "</Creatives>\n"
        "<Creatives><Creative><Linear/></Creative></Creatives>\n"
        "</InLine>\n"
        "</Ad>\n"
        "</DAAST>";
    EXPECT_EQ(lines(xml), (Lines{"DAAST-1.0-duration-format|2|/DAAST/Ad[0]/InLine/Creatives/Creative[1]/Linear/Duration|10|19"}));

    adsieve::ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["DAAST-1.0-duration-format"] = adsieve::Severity::Off;
    (*ctx.rule_overrides)["DAAST-1.0-root-version"] = adsieve::Severity::Info;
    EXPECT_EQ(issue_lines(adsieve::validate_with_context(xml, ctx)), Lines{});
    adsieve::ValidationResult r = adsieve::validate_with_context("<DAAST><Error>[ERRORCODE]</Error></DAAST>", ctx);
    EXPECT_EQ(issue_lines(r), (Lines{"DAAST-1.0-root-version|0|/DAAST|1|1"}));
    EXPECT_EQ(r.errors, 0u);
    EXPECT_EQ(r.infos, 1u);
    EXPECT_EQ(r.kind, adsieve::DocumentKind::Daast);
}

}  // namespace
