// URL security family: emptiness, validity, plain HTTP and CDATA advice.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "rules/security.h"
#include "support.h"

namespace {

using adsieve::testing::issue_lines;
using Lines = std::vector<std::string>;

Lines family_lines(const adsieve::ValidationResult& r) {
    return adsieve::testing::family_lines(r, adsieve::Family::Security);
}

Lines check(std::string_view xml) { return family_lines(adsieve::validate(xml)); }

// One InLine whose children are each on their own line, at column 1.
constexpr std::string_view kElements = R"(<VAST version="4.2">
<Ad><InLine>
<Impression/>
<Impression>http://t.example/i</Impression>
<Impression><![CDATA[http://t.example/i]]></Impression>
<Impression>HTTP://t.example/i</Impression>
<ClickThrough>not a url</ClickThrough>
<MediaFile><![CDATA[data:video/mp4;base64,AAAA]]></MediaFile>
<AdTitle>urn:x</AdTitle>
<MediaFile>http://m.example/a.mp4</MediaFile>
<Tracking event="start">  http://t.example/s  </Tracking>
<Impression>//ads.example.com/i</Impression>
<Viewable><![CDATA[ https://v.example/ ]]></Viewable>
<Duration>00:00:05</Duration>
</InLine></Ad>
</VAST>)";

TEST(Security, ElementChecks) {
    const std::string p = "/VAST/Ad[0]/InLine/";
    EXPECT_EQ(check(kElements), (Lines{
        "VAST-2.0-url-empty|2|" + p + "Impression[0]|-|-",
        "VAST-2.0-url-cdata|1|" + p + "Impression[1]|4|1",
        "VAST-2.0-tracking-https|1|" + p + "Impression[1]|4|1",
        "VAST-2.0-tracking-https|1|" + p + "Impression[2]|5|1",
        "VAST-2.0-url-cdata|1|" + p + "Impression[3]|6|1",
        "VAST-2.0-url-invalid|1|" + p + "ClickThrough[4]|-|-",
        "VAST-2.0-url-cdata|1|" + p + "AdTitle[6]|9|1",
        "VAST-2.0-url-cdata|1|" + p + "MediaFile[7]|10|1",
        "VAST-2.0-mediafile-https|1|" + p + "MediaFile[7]|10|1",
        "VAST-2.0-url-cdata|1|" + p + "Tracking[8]|11|1",
        "VAST-2.0-tracking-https|1|" + p + "Tracking[8]|11|1",
        "VAST-2.0-url-invalid|1|" + p + "Impression[9]|-|-",
    }));

    // The three HTTP warnings carry their own texts.
    adsieve::ValidationResult r = adsieve::validate(kElements);
    std::vector<const adsieve::Issue*> http;
    for (const adsieve::Issue& is : r.issues)
        if (is.id == "VAST-2.0-tracking-https" || is.id == "VAST-2.0-mediafile-https") http.push_back(&is);
    ASSERT_EQ(http.size(), 4u);
    EXPECT_EQ(http[0]->message,
              "Tracking/click URL uses HTTP instead of HTTPS — may be blocked in secure contexts");
    EXPECT_EQ(http[0]->spec_ref, "IAB VAST 2.0 §2");
    EXPECT_EQ(http[2]->message,
              "<MediaFile> URL uses HTTP instead of HTTPS — may be blocked in secure contexts");
    EXPECT_EQ(http[2]->spec_ref, "IAB VAST 2.0 §2.3.5.2");
    EXPECT_EQ(http[3]->message,
              "Tracking URL uses HTTP instead of HTTPS — may be blocked in secure contexts");
}

TEST(Security, WalkOrderPathsAndTagUri) {
    constexpr std::string_view xml = R"(<VAST version="4.2">
<Error>http://e.example/</Error>
<Ad id="1"><Wrapper>
<AdSystem>x</AdSystem>
<Error><![CDATA[https://e.example/]]></Error>
<VASTAdTagURI></VASTAdTagURI>
</Wrapper></Ad>
<Ad id="2">
<InLine>
<Impression>http://i.example/
<Extra>urn:y</Extra></Impression>
<Creatives>
<Creative/>
<Creative>
<Linear>
<Duration>00:00:05</Duration>
<MediaFiles>
<MediaFile>http://m.example/a.mp4<X/></MediaFile>
</MediaFiles>
</Linear>
</Creative>
</Creatives>
</InLine>
<InLine><Impression/></InLine>
<Wrapper><VASTAdTagURI>bad tag</VASTAdTagURI></Wrapper>
</Ad>
<Foo><Ad><InLine><Impression/></InLine></Ad></Foo>
</VAST>)";
    EXPECT_EQ(check(xml), (Lines{
        // The tag URI is reported under its walk path, then under its plain path.
        "VAST-2.0-url-empty|2|/VAST/Ad[0]/Wrapper/VASTAdTagURI[2]|-|-",
        "VAST-2.0-url-empty|2|/VAST/Ad[0]/Wrapper/VASTAdTagURI|-|-",
        // An element's own issues come before its children's; no CDATA advice
        // for an element that has children.
        "VAST-2.0-tracking-https|1|/VAST/Ad[1]/InLine/Impression[0]|10|1",
        "VAST-2.0-url-cdata|1|/VAST/Ad[1]/InLine/Impression[0]/Extra[0]|11|1",
        "VAST-2.0-mediafile-https|1|/VAST/Ad[1]/InLine/Creatives[1]/Creative[1]/Linear[0]/MediaFiles[1]/MediaFile[0]|18|1",
        // Only the first InLine is walked; the Wrapper walk follows the InLine walk.
        "VAST-2.0-url-invalid|1|/VAST/Ad[1]/Wrapper/VASTAdTagURI[0]|-|-",
        "VAST-2.0-url-invalid|1|/VAST/Ad[1]/Wrapper/VASTAdTagURI|-|-",
    }));
}

TEST(Security, OverridesAndRoots) {
    adsieve::ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-2.0-url-cdata"] = adsieve::Severity::Off;
    (*ctx.rule_overrides)["VAST-2.0-tracking-https"] = adsieve::Severity::Error;
    (*ctx.rule_overrides)["VAST-2.0-url-empty"] = adsieve::Severity::Info;
    const std::string p = "/VAST/Ad[0]/InLine/";
    EXPECT_EQ(family_lines(adsieve::validate_with_context(kElements, ctx)), (Lines{
        "VAST-2.0-url-empty|0|" + p + "Impression[0]|-|-",
        "VAST-2.0-tracking-https|2|" + p + "Impression[1]|4|1",
        "VAST-2.0-tracking-https|2|" + p + "Impression[2]|5|1",
        "VAST-2.0-url-invalid|1|" + p + "ClickThrough[4]|-|-",
        "VAST-2.0-mediafile-https|1|" + p + "MediaFile[7]|10|1",
        "VAST-2.0-tracking-https|2|" + p + "Tracking[8]|11|1",
        "VAST-2.0-url-invalid|1|" + p + "Impression[9]|-|-",
    }));

    EXPECT_EQ(check("<vast><Ad><InLine><Impression/></InLine></Ad></vast>"), Lines{});
    EXPECT_EQ(check("<VAST><Ad><Inline><Impression/></Inline></Ad></VAST>"), Lines{});
}

TEST(Security, DeepDocumentsAreWalkedWithoutRecursion) {
    constexpr std::size_t kDepth = 1'000'000;
    // The leaf's '<' on line 7, column 3 of a text of its own.
    const std::string text = std::string(6, '\n') + "  <AdTitle>";
    adsieve::Node leaf;
    leaf.set_name(std::string_view(text).substr(9, 7));
    leaf.set_text("urn:x");
    adsieve::Document doc = adsieve::testing::nested_vast("InLine", std::move(leaf), kDepth);

    adsieve::ValidationResult found;
    const adsieve::Issues& issues = found.issues;
    adsieve::testing::run_family(found, adsieve::rules::security::check, doc.root(), adsieve::DetectedVersion{},
                                 adsieve::ValidationContext{}, text);
    ASSERT_EQ(issues.size(), 1u);
    std::string expected = "/VAST/Ad[0]/InLine";
    for (std::size_t i = 0; i < kDepth; ++i) expected += "/a[0]";
    expected += "/AdTitle[0]";
    EXPECT_EQ(issues[0].id, "VAST-2.0-url-cdata");
    EXPECT_TRUE(issues[0].path == adsieve::testing::shortened_path(expected));
    EXPECT_EQ(issues[0].line, 7u);
    EXPECT_EQ(issues[0].col, 3u);
}

// Security and macros find where their walks start in one scan of each
// InLine and Wrapper: either family's first finding may come first, and
// other children of the root (here <x/>, and an <Error>) sit between the ads.
TEST(Security, FindingsNextToMacroFindings) {
    constexpr std::string_view kDoc = R"(<VAST version="4.2">
<x/>
<Ad><InLine>
<Impression><![CDATA[https://t.example/i?c=[NOPE]]]></Impression>
<Impression>http://t.example/j</Impression>
</InLine></Ad>
<Error><![CDATA[https://t.example/e?r=[REASON]]]></Error>
<x/><x/>
<Ad><Wrapper>
<VASTAdTagURI><![CDATA[http://t.example/w]]></VASTAdTagURI>
<Impression><![CDATA[https://t.example/k?c=[cachebusting]]]></Impression>
<Impression>https://t.example/l?c=[NOPE]</Impression>
</Wrapper></Ad>
</VAST>)";
    const adsieve::ValidationResult r = adsieve::validate(kDoc);
    EXPECT_EQ(family_lines(r), (Lines{
        "VAST-2.0-url-cdata|1|/VAST/Ad[0]/InLine/Impression[1]|5|1",
        "VAST-2.0-tracking-https|1|/VAST/Ad[0]/InLine/Impression[1]|5|1",
        "VAST-2.0-tracking-https|1|/VAST/Ad[1]/Wrapper/VASTAdTagURI[0]|10|1",
        "VAST-2.0-url-cdata|1|/VAST/Ad[1]/Wrapper/Impression[2]|12|1",
    }));
    EXPECT_EQ(adsieve::testing::family_lines(r, adsieve::Family::Macros), (Lines{
        "VAST-2.0-macro-unknown|1|/VAST/Ad[0]/InLine/Impression[0]|4|1",
        "VAST-2.0-macro-lowercase|1|/VAST/Ad[1]/Wrapper/Impression[1]|11|1",
        "VAST-2.0-macro-unknown|1|/VAST/Ad[1]/Wrapper/Impression[2]|12|1",
        "VAST-2.0-macro-wrong-context|0|/VAST/Error[0]|7|1",
    }));
}


// A document large enough to be checked a run of ads at a time: each ad's
// findings sit after clean subtrees and deeper than them, in the InLine of
// some ads and the Wrapper of others, so that the walk passes over, goes into
// and stops at the right elements of every run.
TEST(Security, FindingsOfManyAdsInRuns) {
    constexpr int kAds = 700;
    std::string xml = "<VAST version=\"4.2\">\n";
    Lines expected;
    for (int i = 0; i < kAds; ++i) {
        const std::string ad = "/VAST/Ad[" + std::to_string(i) + "]/";
        const int line = static_cast<int>(std::count(xml.begin(), xml.end(), '\n')) + 1;
        if (i % 3 == 2) {
            const std::string wrapper =
                "<Ad><Wrapper><AdSystem>s</AdSystem><Creatives><Creative><Linear><TrackingEvents>"
                "<Tracking event=\"start\"><![CDATA[https://t.example/]]></Tracking>"
                "<Tracking event=\"end\"><![CDATA[http://t.example/]]></Tracking>"
                "</TrackingEvents></Linear></Creative></Creatives>"
                "<VASTAdTagURI><![CDATA[https://w.example/]]></VASTAdTagURI></Wrapper></Ad>\n";
            xml += wrapper;
            expected.push_back("VAST-2.0-tracking-https|1|" + ad +
                               "Wrapper/Creatives[1]/Creative[0]/Linear[0]/TrackingEvents[0]/Tracking[1]|" +
                               std::to_string(line) + "|" + std::to_string(wrapper.find("<Tracking event=\"end\"") + 1));
        } else {
            xml += "<Ad><InLine><AdTitle>t</AdTitle><Creatives><Creative><Linear><Duration>00:00:01</Duration>"
                   "</Linear></Creative><Creative><Linear><MediaFiles><MediaFile><![CDATA[https://m.example/a.mp4]]>"
                   "</MediaFile><MediaFile></MediaFile></MediaFiles></Linear></Creative></Creatives>"
                   "<Impression><![CDATA[https://i.example/]]></Impression></InLine></Ad>\n";
            expected.push_back("VAST-2.0-url-empty|2|" + ad +
                               "InLine/Creatives[1]/Creative[1]/Linear[0]/MediaFiles[0]/MediaFile[1]|-|-");
        }
    }
    xml += "</VAST>";
    EXPECT_EQ(check(xml), expected);
}

}  // namespace
