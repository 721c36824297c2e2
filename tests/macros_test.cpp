// Macro family: macro recognition, contexts, deprecation, unencoded characters.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "rules/macros.h"
#include "support.h"

namespace {

using adsieve::testing::issue_lines;
using Lines = std::vector<std::string>;

Lines family_lines(const adsieve::ValidationResult& r) {
    return adsieve::testing::family_lines(r, adsieve::Family::Macros);
}

Lines check(std::string_view xml) { return family_lines(adsieve::validate(xml)); }

// The family's findings for one Impression text in a 4.2 document; the
// Impression opens at line 1, column 33.
Lines impression(const std::string& text) {
    return check("<VAST version=\"4.2\"><Ad><InLine><Impression>" + text +
                 "</Impression></InLine></Ad></VAST>");
}

Lines at_impression(std::initializer_list<std::string_view> ids) {
    Lines out;
    for (std::string_view id : ids) {
        const char* sev = id == "VAST-4.1-macro-deprecated" || id == "VAST-2.0-macro-wrong-context" ? "0" : "1";
        out.push_back(std::string(id) + "|" + sev + "|/VAST/Ad[0]/InLine/Impression[0]|1|33");
    }
    return out;
}

TEST(Macros, MacroNames) {
    const std::string u = "https://a.example/?";
    EXPECT_EQ(impression(u + "t=[TIMESTAMP]&amp;c=[CACHEBUSTING]"), Lines{});
    EXPECT_EQ(impression(u + "t=[timestamp]"), at_impression({"VAST-2.0-macro-lowercase"}));
    EXPECT_EQ(impression(u + "t=[TimeStamp]"), at_impression({"VAST-2.0-macro-lowercase"}));
    // Two unknown names give one finding; an unknown lower-case name is only unknown.
    EXPECT_EQ(impression(u + "t=[TIMESTAMPS]&amp;v=[vendor_id]"), at_impression({"VAST-2.0-macro-unknown"}));
    // Not macros, so the blanks are not looked at either.
    EXPECT_EQ(impression(u + "a=[123]&amp;b=[]&amp;c=[A-B]&amp;d=[ AD ]&amp;e=[_1]"), Lines{});
    // A '[' inside a rejected candidate can still open a macro.
    EXPECT_EQ(impression(u + "t=[[TIMESTAMP]"), Lines{});
    EXPECT_EQ(impression(u + "t=[[timestamp]"), at_impression({"VAST-2.0-macro-lowercase"}));
    EXPECT_EQ(impression(u + "t=[A-[timestamp]"), at_impression({"VAST-2.0-macro-lowercase"}));
    // Names are at most 48 bytes long.
    EXPECT_EQ(impression("[" + std::string(48, 'A') + "]"), at_impression({"VAST-2.0-macro-unknown"}));
    EXPECT_EQ(impression("[" + std::string(49, 'A') + "] x"), Lines{});
    EXPECT_EQ(impression("[" + std::string(47, 'a') + "b]"), at_impression({"VAST-2.0-macro-unknown"}));
    EXPECT_EQ(impression("[" + std::string(48, 'a') + "b]"), Lines{});
    EXPECT_EQ(impression("[" + std::string(47, 'A') + "[timestamp]"), at_impression({"VAST-2.0-macro-lowercase"}));
    // Texts are looked through for '[' sixteen bytes at a time: a macro at
    // every place.
    for (std::size_t pad = 0; pad < 40; ++pad)
        EXPECT_EQ(impression(std::string(pad, 'a') + "[timestamp]"), at_impression({"VAST-2.0-macro-lowercase"})) << pad;
    // Unclosed or trailing brackets.
    EXPECT_EQ(impression(u + "t=[TIMESTAMP"), Lines{});
    EXPECT_EQ(impression(u + "t=["), Lines{});
    // Scanning resumes after a macro's ']'; findings follow the fixed order, each once.
    EXPECT_EQ(impression("[timestamp][foo][bar][TIMESTAMP][Gdpr]"),
              at_impression({"VAST-2.0-macro-unknown", "VAST-2.0-macro-lowercase"}));
}

TEST(Macros, UnencodedCharactersAreCharacters) {
    const std::string base = "https://a.example/?t=[TIMESTAMP]";
    const Lines flagged = at_impression({"VAST-2.0-macro-uri-unencoded"});
    for (std::string c : {" ", "\t", "\"", "\\", "`", "&lt;", "&gt;", "^", "{", "|", "}", "&#1;",
                          "&#x7F;", "\xC2\x85", "\xC2\x9F"})
        EXPECT_EQ(impression(base + c + "x"), flagged) << c;
    // Percent signs, brackets, '&', and characters from U+00A0 on (including
    // those whose UTF-8 form holds the bytes 80..9F) pass.
    for (std::string c : {"%20", "[", "]", "&amp;", "'", "~", "\xC3\xA9", "\xC3\x85", "\xC4\x9F",
                          "\xE2\x80\x94", "\xC2\xA0", "\xF0\x9F\x98\x80"})
        EXPECT_EQ(impression(base + c + "x"), Lines{}) << c;
    // Texts are scanned in blocks of sixteen bytes: every character at every
    // position in a block, a C1 control split across two blocks, and a block
    // whose only candidate is the lead of a character that passes.
    for (std::size_t pad = 0; pad < 34; ++pad) {
        const std::string head = "[TIMESTAMP]" + std::string(pad, 'a');
        const std::string tail(20, 'b');
        for (std::string c : {" ", "{", "|", "}", "\"", "&#x7F;", "\xC2\x85", "\xC2\x9F", "&lt;", "&gt;", "\\", "^", "`"})
            EXPECT_EQ(impression(head + c + tail), flagged) << pad << " " << c;
        // Bytes next to those looked for, some of which the blocks pick out too.
        for (std::string c : {"z", "~", "\xC2\xA0", "\xC3\x85", "\xC2\xA9", "!", "=", "?", "]", "_", "@", "a"})
            EXPECT_EQ(impression(head + c + tail), Lines{}) << pad << " " << c;
    }
    EXPECT_EQ(impression("[TIMESTAMP]\xC2\xA9" + std::string(40, 'a') + "|"), flagged);
    // The last bytes are read in one block that ends with the text and
    // overlaps the block before: each character at each place near the end.
    for (std::size_t size : {16u, 21u, 32u, 40u})
        for (std::size_t back = 0; back < 18 && back + 12 < size; ++back) {
            const std::string head = "[TIMESTAMP]" + std::string(size - 11 - back, 'a');
            for (std::string c : {"\"", "}", "\xC2\x9F"})
                EXPECT_EQ(impression(head + c + std::string(back, 'b')), flagged) << size << " " << back << " " << c;
            for (std::string c : {"\xC2\xA9", "~"})
                EXPECT_EQ(impression(head + c + std::string(back, 'b')), Lines{}) << size << " " << back << " " << c;
        }
    // Without a macro nothing is looked at; with several forbidden characters one finding.
    EXPECT_EQ(impression("https://a.example/? |x"), Lines{});
    EXPECT_EQ(impression("[TIMESTAMP] | {x}"), flagged);
}

constexpr std::string_view kContexts = R"(<VAST version="4.2">
<Error>https://e.example/?c=[ERRORCODE]&amp;r=[REASON]</Error>
<Ad><InLine>
<Error>https://e.example/?c=[ERRORCODE]</Error>
<Impression>https://i.example/?c=[ERRORCODE]</Impression>
<Impression>https://i.example/?p=[CONTENTPLAYHEAD]&amp;m=[MEDIAPLAYHEAD]</Impression>
<Impression>https://i.example/?p=[contentplayhead]</Impression>
<Creatives><Creative><Linear><TrackingEvents>
<Tracking event="verificationNotExecuted">https://t.example/?r=[REASON]</Tracking>
<Tracking event="start">https://t.example/?r=[REASON]</Tracking>
<Tracking>https://t.example/?r=[REASON]</Tracking>
</TrackingEvents></Linear></Creative></Creatives>
<AdTitle>[foo] x</AdTitle>
<Impression></Impression>
<Impression>[x_unknown][timestamp][MEDIAPLAYHEAD][ERRORCODE] |</Impression>
</InLine>
<Wrapper><Error>[ERRORCODE] [REASON]</Error></Wrapper>
</Ad>
<Error></Error>
<Foo/>
<Error>[REASON]</Error>
</VAST>)";

TEST(Macros, ContextsOrderAndPaths) {
    const std::string in = "/VAST/Ad[0]/InLine/";
    const std::string tracking = in + "Creatives[4]/Creative[0]/Linear[0]/TrackingEvents[0]/";
    EXPECT_EQ(check(kContexts), (Lines{
        "VAST-2.0-macro-wrong-context|0|" + in + "Impression[1]|5|1",
        "VAST-4.1-macro-deprecated|0|" + in + "Impression[2]|6|1",
        "VAST-2.0-macro-lowercase|1|" + in + "Impression[3]|7|1",
        "VAST-2.0-macro-wrong-context|0|" + tracking + "Tracking[1]|10|1",
        "VAST-2.0-macro-wrong-context|0|" + tracking + "Tracking[2]|11|1",
        "VAST-2.0-macro-unknown|1|" + in + "Impression[7]|15|1",
        "VAST-2.0-macro-lowercase|1|" + in + "Impression[7]|15|1",
        "VAST-4.1-macro-deprecated|0|" + in + "Impression[7]|15|1",
        "VAST-2.0-macro-wrong-context|0|" + in + "Impression[7]|15|1",
        "VAST-2.0-macro-uri-unencoded|1|" + in + "Impression[7]|15|1",
        "VAST-2.0-macro-wrong-context|0|/VAST/Ad[0]/Wrapper/Error[0]|17|10",
        "VAST-2.0-macro-uri-unencoded|1|/VAST/Ad[0]/Wrapper/Error[0]|17|10",
        // Root-level Error elements come after the ads, indexed among Error children.
        "VAST-2.0-macro-wrong-context|0|/VAST/Error[0]|2|1",
        "VAST-2.0-macro-wrong-context|0|/VAST/Error[2]|21|1",
    }));

    // A macro-bearing element inside another is scanned after it.
    EXPECT_EQ(check("<VAST><Ad><InLine><Impression>[foo]<Extensions><Impression>[bar]</Impression>"
                    "</Extensions></Impression></InLine></Ad></VAST>"),
              (Lines{
                  "VAST-2.0-macro-unknown|1|/VAST/Ad[0]/InLine/Impression[0]|1|19",
                  "VAST-2.0-macro-unknown|1|/VAST/Ad[0]/InLine/Impression[0]/Extensions[0]/Impression[0]|1|48",
              }));
    EXPECT_EQ(check("<vast><Ad><InLine><Impression>[foo]</Impression></InLine></Ad></vast>"), Lines{});
}

// The walk with paths goes only into subtrees that hold the next element with
// a finding: every choice of six places, at several depths and in subtrees
// side by side, gives exactly the findings of those places, in order.
TEST(Macros, EveryPlaceWithAFindingIsReported) {
    const std::string in = "/VAST/Ad[0]/InLine/";
    const std::string linear = in + "Creatives[2]/Creative[0]/Linear[0]/";
    const std::string companion = in + "Creatives[2]/Creative[1]/CompanionAds[0]/Companion[0]/";
    const std::vector<std::string> paths = {
        in + "Impression[0]",
        linear + "TrackingEvents[0]/Tracking[0]",
        linear + "TrackingEvents[0]/Tracking[1]",
        linear + "VideoClicks[2]/ClickThrough[1]",
        companion + "StaticResource[0]",
        in + "Impression[3]",
    };
    for (unsigned set = 0; set < 64; ++set) {
        auto text = [&](unsigned k) { return std::string((set >> k & 1) ? "https://a.example/[NOPE]" : "https://a.example/"); };
        const std::string doc =
            "<VAST version=\"4.2\"><Ad><InLine><Impression>" + text(0) + "</Impression><AdTitle>t</AdTitle>" +
            "<Creatives><Creative><Linear><TrackingEvents><Tracking event=\"start\">" + text(1) +
            "</Tracking><Tracking event=\"complete\">" + text(2) + "</Tracking></TrackingEvents>" +
            "<Duration>00:00:10</Duration><VideoClicks><ClickTracking>https://a.example/</ClickTracking>" +
            "<ClickThrough>" + text(3) + "</ClickThrough></VideoClicks></Linear></Creative>" +
            "<Creative><CompanionAds><Companion><StaticResource>" + text(4) +
            "</StaticResource></Companion></CompanionAds></Creative></Creatives>" +
            "<Impression>" + text(5) + "</Impression></InLine></Ad></VAST>";
        Lines want;
        for (unsigned k = 0; k < paths.size(); ++k)
            if (set >> k & 1) want.push_back(paths[k]);
        Lines got;
        for (const std::string& line : check(doc)) {
            const std::size_t a = line.find('|', line.find('|') + 1) + 1;
            got.push_back(line.substr(a, line.find('|', a) - a));
        }
        EXPECT_EQ(got, want) << set;
    }
}

TEST(Macros, DeprecationFollowsTheEffectiveVersion) {
    auto deprecated = [](std::string_view root_attrs, std::string_view extra, std::string_view macro) {
        Lines lines = check("<VAST" + std::string(root_attrs) + "><Ad><InLine>" + std::string(extra) +
                            "<Impression>https://a.example/?p=" + std::string(macro) +
                            "</Impression></InLine></Ad></VAST>");
        for (const std::string& l : lines)
            if (l.starts_with("VAST-4.1-macro-deprecated|")) return true;
        return false;
    };
    EXPECT_TRUE(deprecated(" version=\"4.1\"", "", "[CONTENTPLAYHEAD]"));
    EXPECT_TRUE(deprecated(" version=\"4.3\"", "", "[MEDIAPLAYHEAD]"));
    EXPECT_FALSE(deprecated(" version=\"4.0\"", "", "[CONTENTPLAYHEAD]"));
    EXPECT_FALSE(deprecated("", "", "[CONTENTPLAYHEAD]"));
    EXPECT_FALSE(deprecated(" version=\"4.1\"", "", "[contentplayhead]"));
    EXPECT_FALSE(deprecated(" version=\"4.1\"", "", "[ADPLAYHEAD]"));
    // Inferred 4.1 counts; a 2.0 declaration with 4.1 structure does not.
    EXPECT_TRUE(deprecated("", "<AdServingId>x</AdServingId>", "[CONTENTPLAYHEAD]"));
    EXPECT_FALSE(deprecated(" version=\"2.0\"", "<AdServingId>x</AdServingId>", "[CONTENTPLAYHEAD]"));
}

TEST(Macros, Overrides) {
    adsieve::ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-2.0-macro-unknown"] = adsieve::Severity::Off;
    (*ctx.rule_overrides)["VAST-2.0-macro-uri-unencoded"] = adsieve::Severity::Error;
    (*ctx.rule_overrides)["VAST-4.1-macro-deprecated"] = adsieve::Severity::Warning;
    const std::string p = "/VAST/Ad[0]/InLine/Impression[7]|15|1";
    Lines lines;
    for (std::string& l : family_lines(adsieve::validate_with_context(kContexts, ctx)))
        if (l.ends_with(p)) lines.push_back(std::move(l));
    EXPECT_EQ(lines, (Lines{
        "VAST-2.0-macro-lowercase|1|/VAST/Ad[0]/InLine/Impression[7]|15|1",
        "VAST-4.1-macro-deprecated|1|/VAST/Ad[0]/InLine/Impression[7]|15|1",
        "VAST-2.0-macro-wrong-context|0|/VAST/Ad[0]/InLine/Impression[7]|15|1",
        "VAST-2.0-macro-uri-unencoded|2|/VAST/Ad[0]/InLine/Impression[7]|15|1",
    }));
}

TEST(Macros, DeepDocumentsAreWalkedWithoutRecursion) {
    constexpr std::size_t kDepth = 1'000'000;
    // The leaf's '<' on line 9, column 4 of a text of its own.
    const std::string text = std::string(8, '\n') + "   <Impression>";
    adsieve::Node leaf;
    leaf.set_name(std::string_view(text).substr(12, 10));
    leaf.set_text("[foo]");
    adsieve::Document doc = adsieve::testing::nested_vast("Wrapper", std::move(leaf), kDepth);

    adsieve::ValidationResult found;
    const adsieve::Issues& issues = found.issues;
    adsieve::testing::run_family(found, adsieve::rules::macros::check, doc.root(), adsieve::DetectedVersion{},
                                 adsieve::ValidationContext{}, text);
    ASSERT_EQ(issues.size(), 1u);
    std::string expected = "/VAST/Ad[0]/Wrapper";
    for (std::size_t i = 0; i < kDepth; ++i) expected += "/a[0]";
    expected += "/Impression[0]";
    EXPECT_EQ(issues[0].id, "VAST-2.0-macro-unknown");
    EXPECT_TRUE(issues[0].path == adsieve::testing::shortened_path(expected));
    EXPECT_EQ(issues[0].line, 9u);
    EXPECT_EQ(issues[0].col, 4u);
}

}  // namespace
