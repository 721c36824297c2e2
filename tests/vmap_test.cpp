// VMAP playlist checks, at the level of the issue list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support.h"
#include "validate.h"

namespace {

using adsieve::ValidationContext;
using adsieve::testing::issue_lines;
using Lines = std::vector<std::string>;

const std::string kNs = "http://www.iab.net/videosuite/vmap";

Lines lines(const std::string& xml) { return issue_lines(adsieve::validate(xml)); }

// A playlist with one break of the given attributes and body.
std::string one_break(const std::string& attrs, const std::string& body = "") {
    return "<VMAP version=\"1.0\" xmlns=\"" + kNs + "\">\n<AdBreak " + attrs + ">" + body + "</AdBreak>\n</VMAP>";
}

TEST(Vmap, RootVersionNamespaceAndChildren) {
    EXPECT_EQ(lines("<VMAP version=\" 1.0 \" xmlns:vmap=\"" + kNs + "\"/>"), Lines{});
    // The namespace may be carried by any attribute, and is compared trimmed.
    EXPECT_EQ(lines("<VMAP version=\"1.0\" other=\" " + kNs + " \"/>"), Lines{});
    EXPECT_EQ(lines("<vmap:VMAP xmlns:vmap=\"" + kNs + "\" version=\"1.0\"></vmap:VMAP>"), Lines{});

    // No attributes at all: missing version (never the value rule) and missing namespace.
    EXPECT_EQ(lines("<VMAP/>"), (Lines{"VMAP-1.0-root-version|2|/VMAP|1|1", "VMAP-1.0-root-namespace|1|/VMAP|1|1"}));
    // Declared on a child only, with a near-miss on the root.
    EXPECT_EQ(lines("<VMAP version=\"1.1\" xmlns=\"" + kNs + "/\">\n  <Extensions xmlns=\"" + kNs + "\"/>\n</VMAP>"),
              (Lines{"VMAP-1.0-root-version-value|1|/VMAP[@version]|1|1", "VMAP-1.0-root-namespace|1|/VMAP|1|1"}));
    EXPECT_EQ(lines("<VMAP version=\"\" xmlns=\"" + kNs + "\"/>"),
              (Lines{"VMAP-1.0-root-version-value|1|/VMAP[@version]|1|1"}));

    // Unknown root children: no index in the path, the child's own position; breaks still counted apart.
    std::string xml = "<VMAP version=\"1.0\" xmlns=\"" + kNs +
                      "\">\n"
                      "  <Foo/>\n"
                      "  <AdBreak breakType=\"linear\"/>\n"
                      "  <Extensions/>\n"
                      "  <adbreak/>\n"
                      "  <AdBreak timeOffset=\"start\"/>\n"
                      "</VMAP>";
    EXPECT_EQ(lines(xml), (Lines{
                              "VMAP-1.0-root-unknown-child|2|/VMAP/Foo|2|3",
                              "VMAP-1.0-root-unknown-child|2|/VMAP/adbreak|5|3",
                              "VMAP-1.0-adbreak-timeoffset|2|/VMAP/AdBreak[0]|3|3",
                              "VMAP-1.0-adbreak-breaktype|2|/VMAP/AdBreak[1]|6|3",
                          }));
}

TEST(Vmap, TimeOffsetValues) {
    for (const char* ok : {"00:00:10.000", "50%", "100%", "0%", "#3", " end ", "start", "#+2", "#007",
                           "#18446744073709551615", "#000000000000000000000000001", "123:59:59", "12.5%"}) {
        EXPECT_EQ(lines(one_break(std::string("timeOffset=\"") + ok + "\" breakType=\"linear\"")), Lines{}) << ok;
    }
    for (const char* bad : {"101%", "#0", "10", "00:00:10.5", "End", "", "  ", "#", "#+", "#-1", "#1a", "# 1",
                            "#18446744073709551616", "#5%", "-1%", "00:60:00", "0:00:10", "startx"}) {
        EXPECT_EQ(lines(one_break(std::string("timeOffset=\"") + bad + "\" breakType=\"linear\"")),
                  (Lines{"VMAP-1.0-adbreak-timeoffset-format|2|/VMAP/AdBreak[0][@timeOffset]|2|1"}))
            << bad;
    }
}

TEST(Vmap, BreakTypeValues) {
    for (const char* ok : {"linear", "nonlinear,display", "linear,linear,display"}) {
        EXPECT_EQ(lines(one_break(std::string("timeOffset=\"start\" breakType=\"") + ok + "\"")), Lines{}) << ok;
    }
    // Not trimmed, no empty pieces, no blanks, case-sensitive.
    for (const char* bad : {"", "linear,", ",linear", "linear,,display", "linear, display", " linear", "Linear",
                            "linear;display"}) {
        EXPECT_EQ(lines(one_break(std::string("timeOffset=\"start\" breakType=\"") + bad + "\"")),
                  (Lines{"VMAP-1.0-adbreak-breaktype-value|2|/VMAP/AdBreak[0][@breakType]|2|1"}))
            << bad;
    }
}

TEST(Vmap, RepeatAfterAndConflict) {
    EXPECT_EQ(lines(one_break("timeOffset=\"start\" breakType=\"linear\" repeatAfter=\"00:10:00\"")),
              (Lines{"VMAP-1.0-repeatafter-conflict|1|/VMAP/AdBreak[0][@repeatAfter]|2|1"}));
    EXPECT_EQ(lines(one_break("timeOffset=\" end \" breakType=\"linear\" repeatAfter=\"10 min\"")),
              (Lines{"VMAP-1.0-adbreak-repeatafter-format|1|/VMAP/AdBreak[0][@repeatAfter]|2|1",
                     "VMAP-1.0-repeatafter-conflict|1|/VMAP/AdBreak[0][@repeatAfter]|2|1"}));
    // A trimmed clock time passes; a mid-playback offset never conflicts.
    EXPECT_EQ(lines(one_break("timeOffset=\"00:05:00\" breakType=\"linear\" repeatAfter=\" 00:10:00.000 \"")), Lines{});
    // Without timeOffset there is nothing to conflict with; the order is timeOffset, breakType, repeatAfter.
    EXPECT_EQ(lines(one_break("repeatAfter=\"10\"")),
              (Lines{"VMAP-1.0-adbreak-timeoffset|2|/VMAP/AdBreak[0]|2|1",
                     "VMAP-1.0-adbreak-breaktype|2|/VMAP/AdBreak[0]|2|1",
                     "VMAP-1.0-adbreak-repeatafter-format|1|/VMAP/AdBreak[0][@repeatAfter]|2|1"}));
    // An invalid "End" is not "end": no conflict.
    EXPECT_EQ(lines(one_break("timeOffset=\"End\" breakType=\"linear\" repeatAfter=\"00:10:00\"")),
              (Lines{"VMAP-1.0-adbreak-timeoffset-format|2|/VMAP/AdBreak[0][@timeOffset]|2|1"}));
}

TEST(Vmap, BreakChildrenAndAdSources) {
    std::string body =
        "\n"
        "  <Foo/>\n"
        "  <AdSource allowMultipleAds=\"yes\" followRedirects=\" true \">"
        "<AdTagURI><![CDATA[https://a.example/vast]]></AdTagURI></AdSource>\n"
        "  <AdSource followRedirects=\"no\"><Bar/></AdSource>\n"
        "  <AdSource/>\n"
        "  <Extensions/>\n";
    EXPECT_EQ(lines(one_break("timeOffset=\"start\" breakType=\"linear\"", body)),
              (Lines{
                  "VMAP-1.0-adbreak-unknown-child|2|/VMAP/AdBreak[0]/Foo|3|3",
                  "VMAP-1.0-adbreak-multiple-adsource|2|/VMAP/AdBreak[0]/AdSource[1]|5|3",
                  "VMAP-1.0-adsource-bool-attr|1|/VMAP/AdBreak[0]/AdSource[@allowMultipleAds]|4|3",
              }));

    // Two content children: the count issue, then both checked in document order. Unknown
    // children of AdSource are neither counted nor reported.
    std::string two =
        "<AdSource>\n"
        "<CustomAdData>plain</CustomAdData>\n"
        "<Other>x</Other>\n"
        "<AdTagURI>https://a.example/vast</AdTagURI>\n"
        "</AdSource>";
    EXPECT_EQ(lines(one_break("timeOffset=\"start\" breakType=\"linear\"", two)),
              (Lines{
                  "VMAP-1.0-adsource-content|2|/VMAP/AdBreak[0]/AdSource|2|48",
                  "VMAP-1.0-customaddata-cdata|2|/VMAP/AdBreak[0]/AdSource/CustomAdData|3|1",
                  "VMAP-1.0-adtaguri-cdata|2|/VMAP/AdBreak[0]/AdSource/AdTagURI|5|1",
              }));

    EXPECT_EQ(lines(one_break("timeOffset=\"start\" breakType=\"linear\"", "<AdSource><Other/></AdSource>")),
              (Lines{"VMAP-1.0-adsource-content|2|/VMAP/AdBreak[0]/AdSource|2|48"}));
}

TEST(Vmap, ContentKinds) {
    auto source = [](const std::string& inner) {
        return lines(one_break("timeOffset=\"start\" breakType=\"linear\"", "<AdSource>" + inner + "</AdSource>"));
    };
    EXPECT_EQ(source("<AdTagURI><![CDATA[ https://a.example/vast ]]></AdTagURI>"), Lines{});
    EXPECT_EQ(source("<AdTagURI>  </AdTagURI>"), (Lines{"VMAP-1.0-adtaguri-empty|2|/VMAP/AdBreak[0]/AdSource/AdTagURI|2|58"}));
    // A blank CDATA section leaves the element empty: only the emptiness is reported.
    EXPECT_EQ(source("<AdTagURI><![CDATA[  ]]></AdTagURI>"),
              (Lines{"VMAP-1.0-adtaguri-empty|2|/VMAP/AdBreak[0]/AdSource/AdTagURI|2|58"}));
    EXPECT_EQ(source("<CustomAdData/>"), Lines{});
    EXPECT_EQ(source("<CustomAdData><![CDATA[{\"k\":1}]]></CustomAdData>"), Lines{});
    // A VAST document kept as CDATA text is not an embedded element.
    EXPECT_EQ(source("<VASTAdData><![CDATA[<VAST version=\"3.0\"/>]]></VASTAdData>"),
              (Lines{"VMAP-1.0-vastaddata-vast-root|2|/VMAP/AdBreak[0]/AdSource/VASTAdData|2|58"}));
    EXPECT_EQ(source("<VASTAdData><vast/></VASTAdData>"),
              (Lines{"VMAP-1.0-vastaddata-vast-root|2|/VMAP/AdBreak[0]/AdSource/VASTAdData|2|58"}));
}

TEST(Vmap, BreakTracking) {
    std::string body =
        "\n<TrackingEvents>\n"
        "<Tracking event=\"error\"></Tracking>\n"
        "<Beacon/>\n"
        "<Tracking event=\"error\">https://t.example/e?c=[ERROR_CODE]</Tracking>\n"
        "<Tracking event=\"breakstart\">https://t.example/s</Tracking>\n"
        "<Tracking>https://t.example/n</Tracking>\n"
        "<Tracking event=\"error\">https://t.example/e?c=[error_code]</Tracking>\n"
        "</TrackingEvents>\n"
        "<TrackingEvents><Tracking event=\"breakEnd\"> </Tracking></TrackingEvents>\n";
    const std::string te = "/VMAP/AdBreak[0]/TrackingEvents";
    EXPECT_EQ(lines(one_break("timeOffset=\"start\" breakType=\"linear\"", body)),
              (Lines{
                  "VMAP-1.0-trackingevents-unknown-child|2|" + te + "/Beacon|5|1",
                  "VMAP-1.0-error-tracking-macro|0|" + te + "/Tracking[0]|4|1",
                  "VMAP-1.0-tracking-url-empty|2|" + te + "/Tracking[0]|4|1",
                  "VMAP-1.0-tracking-event-value|2|" + te + "/Tracking[2][@event]|7|1",
                  "VMAP-1.0-tracking-event|2|" + te + "/Tracking[3]|8|1",
                  "VMAP-1.0-error-tracking-macro|0|" + te + "/Tracking[4]|9|1",
                  // The second TrackingEvents shares the path and restarts the index.
                  "VMAP-1.0-tracking-url-empty|2|" + te + "/Tracking[0]|11|17",
              }));
}

// The embedded VAST document, placed at the start of its own lines so that the
// playlist positions are the standalone ones shifted by a whole number of lines.
const std::string kEmbedded =
    "<VAST version=\"4.2\">\n"
    "<Ad id=\"1\">\n"
    "<InLine>\n"
    "<AdSystem>Acme</AdSystem>\n"
    "<AdTitle>t</AdTitle>\n"
    "<Creatives><Creative><Linear><Duration>00:00:15</Duration><MediaFiles>"
    "<MediaFile delivery=\"progressive\" type=\"video/mp4\" width=\"640\" height=\"360\">"
    "http://media.example/a.mp4</MediaFile></MediaFiles></Linear></Creative></Creatives>\n"
    "</InLine>\n"
    "</Ad>\n"
    "</VAST>";

std::string playlist_with_embedded() {
    return "<VMAP version=\"1.0\" xmlns=\"" + kNs +
           "\">\n"
           "<AdBreak timeOffset=\"start\" breakType=\"linear\">\n"
           "<AdSource>\n"
           "<VASTAdData>\n" +
           kEmbedded +
           "\n</VASTAdData>\n"
           "<AdTagURI>https://a.example/next</AdTagURI>\n"
           "</AdSource>\n"
           "</AdBreak>\n"
           "</VMAP>";
}

// The standalone issues of the embedded document as they must appear in the playlist.
Lines folded(const adsieve::ValidationResult& standalone, const std::string& prefix, unsigned line_shift) {
    Lines out;
    for (const adsieve::Issue& is : standalone.issues) {
        std::string s(is.id);
        s += "|" + std::to_string(static_cast<int>(is.severity)) + "|" + prefix + std::string(is.path.value_or(""));
        s += "|" + (is.line ? std::to_string(*is.line + line_shift) : "-");
        s += "|" + (is.col ? std::to_string(*is.col) : "-");
        out.push_back(s);
    }
    return out;
}

Lines expected_playlist(const adsieve::ValidationResult& standalone, std::uint8_t version_severity) {
    const std::string data = "/VMAP/AdBreak[0]/AdSource/VASTAdData";
    Lines expected{"VMAP-1.0-adsource-content|2|/VMAP/AdBreak[0]/AdSource|3|1",
                   "VMAP-1.0-embedded-vast-version|" + std::to_string(version_severity) + "|" + data +
                       "/VAST[@version]|5|1"};
    Lines embedded = folded(standalone, data, 4);
    expected.insert(expected.end(), embedded.begin(), embedded.end());
    expected.push_back("VMAP-1.0-adtaguri-cdata|2|/VMAP/AdBreak[0]/AdSource/AdTagURI|15|1");
    return expected;
}

TEST(Vmap, EmbeddedVastIsValidatedAndFolded) {
    // The embedded issues are those of the document validated on its own, with the data path
    // prefixed and the playlist positions, right after the version issue and before the next
    // content child.
    adsieve::ValidationResult standalone = adsieve::validate(kEmbedded);
    ASSERT_EQ(standalone.version.effective(), adsieve::VastVersion::V4_2);
    Lines expected = expected_playlist(standalone, 0);

    adsieve::ValidationResult r = adsieve::validate(playlist_with_embedded());
    EXPECT_EQ(r.kind, adsieve::DocumentKind::Vmap);
    EXPECT_EQ(r.version.state, adsieve::VersionState::Unknown);
    EXPECT_EQ(issue_lines(r), expected);
    // Embedded issues count in the totals.
    EXPECT_EQ(r.errors + r.warnings + r.infos, expected.size());
    EXPECT_EQ(r.errors, standalone.errors + 2);

    // A version forced by the caller does not reach the embedded document.
    ValidationContext forced;
    forced.forced_version = adsieve::VastVersion::V2_0;
    EXPECT_EQ(issue_lines(adsieve::validate_with_context(playlist_with_embedded(), forced)), expected);
}

TEST(Vmap, OverridesReachTheEmbeddedRun) {
    const std::string impression =
        "VAST-2.0-inline-impression|2|/VMAP/AdBreak[0]/AdSource/VASTAdData/VAST/Ad[0]/InLine|7|1";
    // The embedded document lacks an Impression, which the VAST rules report.
    Lines by_default = lines(playlist_with_embedded());
    EXPECT_NE(std::find(by_default.begin(), by_default.end(), impression), by_default.end());

    // Switched off, that rule vanishes from the embedded issues; another one changes severity.
    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-2.0-inline-impression"] = adsieve::Severity::Off;
    (*ctx.rule_overrides)["VMAP-1.0-embedded-vast-version"] = adsieve::Severity::Warning;
    Lines got = issue_lines(adsieve::validate_with_context(playlist_with_embedded(), ctx));
    EXPECT_EQ(got, expected_playlist(adsieve::validate_with_context(kEmbedded, ctx), 1));
    for (const std::string& l : got) EXPECT_EQ(l.find("VAST-2.0-inline-impression"), std::string::npos) << l;
}

TEST(Vmap, EmbeddedVersionRule) {
    auto embedded = [](const std::string& vast) {
        return lines(one_break("timeOffset=\"start\" breakType=\"linear\"",
                               "<AdSource><VASTAdData>" + vast + "</VASTAdData></AdSource>"));
    };
    auto has_version_issue = [](const Lines& ls) {
        for (const std::string& l : ls)
            if (l.rfind("VMAP-1.0-embedded-vast-version|", 0) == 0) return true;
        return false;
    };
    EXPECT_FALSE(has_version_issue(embedded("<VAST version=\" 3.0 \"/>")));
    EXPECT_FALSE(has_version_issue(embedded("<VAST/>")));
    EXPECT_TRUE(has_version_issue(embedded("<VAST version=\"2.0\"/>")));
    EXPECT_TRUE(has_version_issue(embedded("<VAST version=\"\"/>")));
    // Only the first VAST child is validated; the namespace prefix is dropped by the parser.
    Lines two = embedded("<v:VAST version=\"3.0\"/><VAST version=\"4.0\"/>");
    EXPECT_FALSE(has_version_issue(two));
}

TEST(Vmap, DeeplyNestedEmbeddedDocument) {
    // The copy of the embedded tree must not recurse on its depth.
    const int depth = 1000000;
    std::string open, close;
    open.reserve(depth * 3);
    close.reserve(depth * 4);
    for (int i = 0; i < depth; ++i) open += "<a>";
    for (int i = 0; i < depth; ++i) close += "</a>";
    std::string doc = "<VMAP version=\"1.0\" xmlns=\"" + kNs +
                      "\"><AdBreak timeOffset=\"start\" breakType=\"linear\"><AdSource><VASTAdData><VAST "
                      "version=\"3.0\">" +
                      open + close + "</VAST></VASTAdData></AdSource></AdBreak></VMAP>";
    adsieve::ValidationResult r = adsieve::validate(doc);
    EXPECT_EQ(r.kind, adsieve::DocumentKind::Vmap);
    for (const adsieve::Issue& is : r.issues) {
        ASSERT_TRUE(is.path);
        EXPECT_EQ(is.path->rfind("/VMAP", 0), 0u) << *is.path;
    }
}

}  // namespace
