// The required-elements family, at the level of the issue list.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"
#include "rules/required.h"
#include "support.h"
#include "validate.h"
#include "version.h"

namespace {

using adsieve::Severity;
using adsieve::ValidationContext;
using adsieve::ValidationResult;
using Lines = std::vector<std::string>;

// Findings of this family only; the other families run too and are not under test here.
bool is_required_rule(std::string_view id) {
    static const std::set<std::string_view> ids = {
        "VAST-2.0-root-element", "VAST-2.0-root-version", "VAST-2.0-root-version-value",
        "VAST-2.0-root-has-ad-or-error", "VAST-4.0-wrapper-root-error",
        "VAST-2.0-ad-has-inline-or-wrapper", "VAST-2.0-inline-adsystem", "VAST-2.0-inline-adtitle",
        "VAST-2.0-inline-impression", "VAST-2.0-inline-creatives", "VAST-4.1-adservingid-present",
        "VAST-2.0-wrapper-adsystem", "VAST-2.0-wrapper-impression", "VAST-2.0-wrapper-vastadtaguri",
        "VAST-4.1-blockedadcategories-no-authority", "VAST-4.0-universaladid-present",
        "VAST-4.0-universaladid-idregistry", "VAST-4.0-universaladid-idvalue",
        "VAST-4.1-universaladid-idvalue-removed", "VAST-4.1-universaladid-content",
        "VAST-4.0-companion-clicktracking-id", "VAST-2.0-companion-resource",
        "VAST-2.0-nonlinear-resource", "VAST-2.0-linear-duration", "VAST-2.0-linear-mediafiles",
        "VAST-2.0-mediafile-delivery", "VAST-2.0-mediafile-type", "VAST-2.0-mediafile-dimensions",
        "VAST-4.1-mezzanine-delivery", "VAST-4.1-mezzanine-type", "VAST-4.1-mezzanine-width",
        "VAST-4.1-mezzanine-height", "VAST-3.0-icon-program", "VAST-3.0-icon-width",
        "VAST-3.0-icon-height", "VAST-3.0-icon-xposition", "VAST-3.0-icon-yposition",
        "VAST-3.0-icon-resource", "VAST-4.0-interactive-creative-no-api",
        "VAST-4.1-interactive-creative-type", "VAST-3.0-pricing-model", "VAST-3.0-pricing-currency",
        "VAST-4.0-category-authority", "VAST-4.1-verification-duplicate-vendor",
        "VAST-4.1-verification-no-resource", "VAST-4.1-verification-vendor",
        "VAST-4.1-verification-vendor-format", "VAST-4.1-verification-parameters",
        "VAST-4.1-tracking-event-value", "VAST-4.1-verification-tracking-reason",
        "VAST-4.1-js-resource-apiframework", "VAST-4.1-js-resource-apiframework-value",
        "VAST-4.1-js-resource-https", "VAST-4.3-js-resource-browser-optional",
        "VAST-4.1-exec-resource-apiframework", "VAST-4.1-exec-resource-apiframework-value",
        "VAST-4.1-exec-resource-type", "VAST-4.1-exec-resource-https"};
    return ids.count(id) > 0;
}

ValidationResult own(ValidationResult r) {
    std::erase_if(r.issues, [](const adsieve::Issue& is) { return !is_required_rule(is.id); });
    return r;
}

Lines lines(std::string_view xml) { return adsieve::testing::issue_lines(own(adsieve::validate(xml))); }

Lines lines_with(std::string_view xml, std::map<std::string, Severity, std::less<>> overrides) {
    ValidationContext ctx;
    ctx.rule_overrides = std::move(overrides);
    return adsieve::testing::issue_lines(own(adsieve::validate_with_context(xml, ctx)));
}

// The lines without "|line|col", where positions are not the point.
Lines no_pos(Lines in) {
    for (auto& l : in) l.erase(l.rfind('|', l.rfind('|') - 1));
    return in;
}

std::vector<std::string> messages(std::string_view xml) {
    std::vector<std::string> out;
    for (const auto& is : own(adsieve::validate(xml)).issues) out.emplace_back(is.message);
    return out;
}

// A complete InLine ad (one line) followed by the given body inside <InLine>.
std::string inline_doc(std::string_view version, std::string_view body) {
    std::string s = "<VAST version=\"";
    s += version;
    s += "\"><Ad><InLine><AdSystem>s</AdSystem><AdTitle>t</AdTitle><Impression>i</Impression>"
         "<AdServingId>x</AdServingId>";
    s += body;
    s += "</InLine></Ad></VAST>";
    return s;
}

// A complete 4.1 InLine whose <AdVerifications> holds the given content from line 2 on.
std::string verification_doc(std::string_view verifications) {
    return inline_doc("4.1", "<Creatives><Creative><UniversalAdId idRegistry=\"r\">u</UniversalAdId>"
                             "</Creative></Creatives><AdVerifications>\n" +
                                 std::string(verifications) + "</AdVerifications>");
}

const std::string kVp = "/VAST/Ad[0]/InLine/AdVerifications/Verification";

TEST(Required, RootChecks) {
    EXPECT_EQ(lines("<vast version=\"4.0\"><Ad/></vast>"), (Lines{"VAST-2.0-root-element|2|/|1|1"}));
    EXPECT_EQ(lines(""), (Lines{"VAST-2.0-root-element|2|/|0|0"}));
    EXPECT_EQ(lines("\n  <VAST/>"),
              (Lines{"VAST-2.0-root-version|2|/VAST|2|3", "VAST-2.0-root-has-ad-or-error|2|/VAST|2|3"}));

    // The raw value is compared, without trimming.
    EXPECT_EQ(lines("<VAST version=\"2.0.1\"><Error>e</Error></VAST>"), Lines{});
    for (const char* v : {"4.3 ", "V4.0", "4", ""})
        EXPECT_EQ(lines(std::string("<VAST version=\"") + v + "\"><Error>e</Error></VAST>"),
                  (Lines{"VAST-2.0-root-version-value|1|/VAST[@version]|1|1"}))
            << v;

    // Ad beside Error: only from 4.0 on, by the effective version.
    auto both = [](std::string_view version) {
        return "<VAST version=\"" + std::string(version) +
               "\"><Ad><Wrapper><AdSystem>a</AdSystem><Impression>i</Impression><VASTAdTagURI>u</VASTAdTagURI>"
               "<AdServingId>x</AdServingId></Wrapper></Ad><Error>e</Error></VAST>";
    };
    EXPECT_EQ(lines(both("4.0")), (Lines{"VAST-4.0-wrapper-root-error|1|/VAST|1|1"}));
    EXPECT_EQ(lines(both("3.0")), Lines{});  // AdServingId infers 4.1, the declaration wins
    EXPECT_EQ(lines(both("x")), (Lines{"VAST-2.0-root-version-value|1|/VAST[@version]|1|1",
                                       "VAST-4.0-wrapper-root-error|1|/VAST|1|1"}));
}

TEST(Required, AdsInlineAndWrapper) {
    // Ad indices count only <Ad> siblings; an Ad with neither child stops there.
    EXPECT_EQ(lines("<VAST version=\"2.0\">\n<Ad/>\n<Error/>\n<Ad><Foo/></Ad>\n<Ad>\n<InLine/></Ad></VAST>"),
              (Lines{"VAST-2.0-ad-has-inline-or-wrapper|2|/VAST/Ad[0]|2|1",
                     "VAST-2.0-ad-has-inline-or-wrapper|2|/VAST/Ad[1]|4|1",
                     "VAST-2.0-inline-adsystem|2|/VAST/Ad[2]/InLine|6|1",
                     "VAST-2.0-inline-adtitle|2|/VAST/Ad[2]/InLine|6|1",
                     "VAST-2.0-inline-impression|2|/VAST/Ad[2]/InLine|6|1",
                     "VAST-2.0-inline-creatives|2|/VAST/Ad[2]/InLine|6|1"}));

    // Both: the "must not contain both" message, then the first InLine's and the Wrapper's checks.
    std::string both = "<VAST version=\"4.1\"><Ad>\n<InLine/>\n<InLine><AdSystem/></InLine>\n<Wrapper/></Ad></VAST>";
    EXPECT_EQ(lines(both), (Lines{"VAST-2.0-ad-has-inline-or-wrapper|2|/VAST/Ad[0]|1|21",
                                  "VAST-2.0-inline-adsystem|2|/VAST/Ad[0]/InLine|2|1",
                                  "VAST-2.0-inline-adtitle|2|/VAST/Ad[0]/InLine|2|1",
                                  "VAST-2.0-inline-impression|2|/VAST/Ad[0]/InLine|2|1",
                                  "VAST-2.0-inline-creatives|2|/VAST/Ad[0]/InLine|2|1",
                                  "VAST-4.1-adservingid-present|2|/VAST/Ad[0]/InLine|2|1",
                                  "VAST-2.0-wrapper-adsystem|2|/VAST/Ad[0]/Wrapper|4|1",
                                  "VAST-2.0-wrapper-impression|2|/VAST/Ad[0]/Wrapper|4|1",
                                  "VAST-2.0-wrapper-vastadtaguri|2|/VAST/Ad[0]/Wrapper|4|1"}));
    EXPECT_EQ(messages(both)[0], "<Ad> must not contain both <InLine> and <Wrapper>");
    EXPECT_EQ(messages("<VAST version=\"2.0\"><Ad/></VAST>")[0], "<Ad> must contain either <InLine> or <Wrapper>");

    // 4.0 has no AdServingId requirement; an empty <Creatives> is reported at the InLine.
    std::string empty_creatives =
        "<VAST version=\"4.0\"><Ad>\n<InLine><AdSystem/><AdTitle/><Impression/>\n<Creatives/></InLine></Ad></VAST>";
    EXPECT_EQ(lines(empty_creatives), (Lines{"VAST-2.0-inline-creatives|2|/VAST/Ad[0]/InLine/Creatives|2|1"}));
    EXPECT_EQ(messages(empty_creatives)[0], "<Creatives> must contain at least one <Creative>");
    EXPECT_EQ(messages("<VAST version=\"4.0\"><Ad><InLine/></Ad></VAST>")[3], "<InLine> is missing required <Creatives>");
    // Without a usable version the Wrapper's own checks still run.
    EXPECT_EQ(no_pos(lines("<VAST><Ad><Wrapper><BlockedAdCategories/></Wrapper></Ad></VAST>")),
              (Lines{"VAST-2.0-root-version|2|/VAST", "VAST-2.0-wrapper-adsystem|2|/VAST/Ad[0]/Wrapper",
                     "VAST-2.0-wrapper-impression|2|/VAST/Ad[0]/Wrapper",
                     "VAST-2.0-wrapper-vastadtaguri|2|/VAST/Ad[0]/Wrapper",
                     "VAST-4.1-blockedadcategories-no-authority|1|/VAST/Ad[0]/Wrapper/BlockedAdCategories[0]"}));
}

TEST(Required, WrapperVerificationGateAndBlockedCategories) {
    // Below 4.1 a Wrapper's AdVerifications are skipped but its Extensions are walked;
    // an InLine's AdVerifications are examined at any version. BlockedAdCategories
    // are checked in a Wrapper only, indexed among their own name.
    std::string doc = "<VAST version=\"2.0\"><Ad>\n<Wrapper>\n<BlockedAdCategories/>\n<Foo/>\n"
                      "<BlockedAdCategories authority=\"a\"/>\n<BlockedAdCategories/>\n"
                      "<AdVerifications><Verification vendor=\"a.b-omid\"/></AdVerifications>\n"
                      "<Extensions>\n<AdVerifications>\n<Verification vendor=\"a.b-omid\"/></AdVerifications>"
                      "</Extensions></Wrapper></Ad>\n<Ad>\n<InLine><BlockedAdCategories/>\n<AdVerifications>\n"
                      "<Verification vendor=\"a.b-omid\"/></AdVerifications></InLine></Ad></VAST>";
    const std::string w = "/VAST/Ad[0]/Wrapper";
    const std::string i = "/VAST/Ad[1]/InLine";
    EXPECT_EQ(lines(doc),
              (Lines{"VAST-2.0-wrapper-adsystem|2|" + w + "|2|1",
                     "VAST-2.0-wrapper-impression|2|" + w + "|2|1",
                     "VAST-2.0-wrapper-vastadtaguri|2|" + w + "|2|1",
                     "VAST-4.1-blockedadcategories-no-authority|1|" + w + "/BlockedAdCategories[0]|3|1",
                     "VAST-4.1-blockedadcategories-no-authority|1|" + w + "/BlockedAdCategories[2]|6|1",
                     "VAST-4.1-verification-no-resource|1|" + w + "/Extensions/AdVerifications[0]/Verification[0]|10|1",
                     "VAST-4.1-verification-parameters|1|" + w + "/Extensions/AdVerifications[0]/Verification[0]|10|1",
                     "VAST-2.0-inline-adsystem|2|" + i + "|12|1",
                     "VAST-2.0-inline-adtitle|2|" + i + "|12|1",
                     "VAST-2.0-inline-impression|2|" + i + "|12|1",
                     "VAST-2.0-inline-creatives|2|" + i + "|12|1",
                     "VAST-4.1-verification-no-resource|1|" + i + "/AdVerifications/Verification[0]|14|1",
                     "VAST-4.1-verification-parameters|1|" + i + "/AdVerifications/Verification[0]|14|1"}));

    // From 4.1 on they are examined, after the BlockedAdCategories.
    EXPECT_EQ(lines("<VAST version=\"4.1\"><Ad>\n<Wrapper><AdSystem/><Impression/><VASTAdTagURI/>\n<AdVerifications>\n"
                    "<Verification vendor=\"a.b-omid\"/></AdVerifications>\n<BlockedAdCategories/></Wrapper></Ad></VAST>"),
              (Lines{"VAST-4.1-blockedadcategories-no-authority|1|" + w + "/BlockedAdCategories[0]|5|1",
                     "VAST-4.1-verification-no-resource|1|" + w + "/AdVerifications/Verification[0]|4|1",
                     "VAST-4.1-verification-parameters|1|" + w + "/AdVerifications/Verification[0]|4|1"}));
}

TEST(Required, UniversalAdIdByVersion) {
    auto creative = [](std::string_view version, std::string_view inner) {
        return inline_doc(version, "<Creatives>\n<Creative>" + std::string(inner) + "</Creative></Creatives>");
    };
    const std::string c = "/VAST/Ad[0]/InLine/Creatives/Creative[0]";
    const std::string u = c + "/UniversalAdId";
    EXPECT_EQ(lines(creative("4.0", "")), (Lines{"VAST-4.0-universaladid-present|2|" + c + "|2|1"}));
    EXPECT_EQ(lines(creative("3.0", "")), Lines{});
    EXPECT_EQ(lines("<VAST><Ad><InLine><AdSystem/><AdTitle/><Impression/><Creatives><Creative/>"
                    "</Creatives></InLine></Ad></VAST>"),
              (Lines{"VAST-2.0-root-version|2|/VAST|1|1"}));

    // idRegistry: any version, reported at the Creative's position.
    EXPECT_EQ(lines(creative("2.0", "<UniversalAdId/>")), (Lines{"VAST-4.0-universaladid-idregistry|2|" + u + "|2|1"}));
    // 4.1 on: idValue is obsolete; with idValue and no text only the warning.
    EXPECT_EQ(lines(creative("4.1", "<UniversalAdId idRegistry=\"r\" idValue=\"v\"/>")),
              (Lines{"VAST-4.1-universaladid-idvalue-removed|1|" + u + "|2|11"}));
    EXPECT_EQ(lines(creative("4.2", "<UniversalAdId idRegistry=\"r\">  </UniversalAdId>")),
              (Lines{"VAST-4.1-universaladid-content|2|" + u + "|2|11"}));
    // 4.0 exactly: text or idValue satisfies it; only the first UniversalAdId counts.
    EXPECT_EQ(lines(creative("4.0", "<UniversalAdId idRegistry=\"r\">t</UniversalAdId>")), Lines{});
    EXPECT_EQ(lines(creative("4.0", "<UniversalAdId>&#32;</UniversalAdId><UniversalAdId/>")),
              (Lines{"VAST-4.0-universaladid-idregistry|2|" + u + "|2|1",
                     "VAST-4.0-universaladid-idvalue|2|" + u + "|2|11"}));
    EXPECT_EQ(lines(creative("3.0", "<UniversalAdId idRegistry=\"r\"/>")), Lines{});
}

TEST(Required, LinearCompanionsAndNonLinears) {
    auto creative = [](std::string_view inner) {
        return inline_doc("2.0", "<Creatives><Creative>\n" + std::string(inner) + "</Creative></Creatives>");
    };
    const std::string c = "/VAST/Ad[0]/InLine/Creatives/Creative[0]";
    const std::string l = c + "/Linear";
    const std::string m = l + "/MediaFiles";

    // MediaFiles, then Mezzanines, then Icons, then interactive files (at the Linear).
    EXPECT_EQ(lines(creative("<Linear>\n<MediaFiles><Mezzanine/>\n<MediaFile/>\n"
                             "<MediaFile delivery=\"d\" type=\"t\" width=\"\" height=\"\"/>\n<InteractiveCreativeFile/>\n"
                             "<InteractiveCreativeFile apiFramework=\"SIMID\"/></MediaFiles>\n<Icons>\n<Icon/></Icons>"
                             "<Icons><Icon/></Icons></Linear><Linear/>")),
              (Lines{"VAST-2.0-linear-duration|2|" + l + "|2|1",
                     "VAST-2.0-mediafile-delivery|2|" + m + "/MediaFile[0]|4|1",
                     "VAST-2.0-mediafile-type|2|" + m + "/MediaFile[0]|4|1",
                     "VAST-2.0-mediafile-dimensions|2|" + m + "/MediaFile[0]|4|1",
                     "VAST-2.0-mediafile-dimensions|2|" + m + "/MediaFile[0]|4|1",
                     "VAST-4.1-mezzanine-delivery|2|" + m + "/Mezzanine[0]|3|13",
                     "VAST-4.1-mezzanine-type|2|" + m + "/Mezzanine[0]|3|13",
                     "VAST-4.1-mezzanine-width|2|" + m + "/Mezzanine[0]|3|13",
                     "VAST-4.1-mezzanine-height|2|" + m + "/Mezzanine[0]|3|13",
                     "VAST-3.0-icon-program|2|" + l + "/Icons/Icon[0]|9|1",
                     "VAST-3.0-icon-width|2|" + l + "/Icons/Icon[0]|9|1",
                     "VAST-3.0-icon-height|2|" + l + "/Icons/Icon[0]|9|1",
                     "VAST-3.0-icon-xposition|2|" + l + "/Icons/Icon[0]|9|1",
                     "VAST-3.0-icon-yposition|2|" + l + "/Icons/Icon[0]|9|1",
                     "VAST-3.0-icon-resource|2|" + l + "/Icons/Icon[0]|9|1",
                     "VAST-4.0-interactive-creative-no-api|1|" + m + "/InteractiveCreativeFile[0]|2|1",
                     "VAST-4.1-interactive-creative-type|1|" + m + "/InteractiveCreativeFile[0]|2|1",
                     "VAST-4.1-interactive-creative-type|1|" + m + "/InteractiveCreativeFile[1]|2|1"}));
    std::string media_messages = creative("<Linear><Duration/><MediaFiles><MediaFile/></MediaFiles></Linear>");
    EXPECT_EQ(messages(media_messages)[2], "<MediaFile> is missing required width attribute");
    EXPECT_EQ(messages(media_messages)[3], "<MediaFile> is missing required height attribute");

    // The second mediafiles message sits at the Linear; no MediaFiles still checks Icons.
    std::string only_mezz = creative("<Linear><Duration/><MediaFiles><Mezzanine delivery=\"d\" type=\"t\" "
                                     "width=\"1\" height=\"1\"/></MediaFiles></Linear>");
    EXPECT_EQ(lines(only_mezz), (Lines{"VAST-2.0-linear-mediafiles|2|" + m + "|2|1"}));
    EXPECT_EQ(messages(only_mezz)[0], "<MediaFiles> must contain at least one <MediaFile>");
    std::string no_media = creative("<Linear><Duration/><Icons>\n<Icon program=\"p\" width=\"1\" height=\"1\" "
                                    "xPosition=\"0\" yPosition=\"0\"/><Icon program=\"p\" width=\"1\" "
                                    "height=\"1\" xPosition=\"0\" yPosition=\"0\"><HTMLResource/></Icon></Icons></Linear>");
    EXPECT_EQ(lines(no_media), (Lines{"VAST-2.0-linear-mediafiles|2|" + l + "|2|1",
                                      "VAST-3.0-icon-resource|2|" + l + "/Icons/Icon[0]|3|1"}));
    EXPECT_EQ(messages(no_media)[0], "<Linear> is missing required <MediaFiles>");

    // Companion: click trackings first, then the resource; indices by name; first container only.
    EXPECT_EQ(lines(creative("<CompanionAds><Foo/><Companion><StaticResource/></Companion>\n<Companion>"
                             "<CompanionClickTracking id=\"1\"/>\n<CompanionClickTracking/></Companion></CompanionAds>"
                             "<CompanionAds><Companion/></CompanionAds>\n<NonLinearAds><Tracking/>\n<NonLinear/>"
                             "<NonLinear><IFrameResource/></NonLinear>\n<NonLinear/></NonLinearAds>")),
              (Lines{"VAST-4.0-companion-clicktracking-id|2|" + c + "/CompanionAds/Companion[1]/CompanionClickTracking[1]|4|1",
                     "VAST-2.0-companion-resource|2|" + c + "/CompanionAds/Companion[1]|3|1",
                     "VAST-2.0-nonlinear-resource|2|" + c + "/NonLinearAds/NonLinear[0]|6|1",
                     "VAST-2.0-nonlinear-resource|2|" + c + "/NonLinearAds/NonLinear[2]|7|1"}));

    // Creatives of a Wrapper are not examined.
    EXPECT_EQ(lines("<VAST version=\"2.0\"><Ad><Wrapper><AdSystem/><Impression/><VASTAdTagURI/>"
                    "<Creatives><Creative><Linear/></Creative></Creatives></Wrapper></Ad></VAST>"),
              Lines{});
}

TEST(Required, PricingAndCategories) {
    const std::string p = "/VAST/Ad[0]/InLine";
    std::string creatives = "<Creatives><Creative/></Creatives>";
    EXPECT_EQ(lines(inline_doc("3.0", creatives + "\n<Pricing model=\"cpm\"/>\n<Pricing model=\"cpm\" currency=\"USD\"/>")),
              (Lines{"VAST-3.0-pricing-currency|2|" + p + "/Pricing|2|1"}));
    EXPECT_EQ(lines(inline_doc("3.0", creatives + "<Pricing model=\"cpm\" currency=\"USD\"/><Pricing/>")), Lines{});
    // Categories come before Pricing whatever the document order.
    EXPECT_EQ(lines(inline_doc("3.0", creatives + "\n<Pricing/><Category authority=\"a\"/>\n<Category/>"
                                                  "<Category authority=\"\"/>")),
              (Lines{"VAST-4.0-category-authority|2|" + p + "/Category[1]|3|1",
                     "VAST-3.0-pricing-model|2|" + p + "/Pricing|2|1",
                     "VAST-3.0-pricing-currency|2|" + p + "/Pricing|2|1"}));
}

TEST(Required, VerificationVendors) {
    // Duplicates by trimmed, lower-cased key; an empty vendor is a format problem only.
    std::string res = "<JavaScriptResource apiFramework=\"omid\" browserOptional=\"true\">https://x/v.js"
                      "</JavaScriptResource><VerificationParameters>p</VerificationParameters></Verification>\n";
    EXPECT_EQ(lines(verification_doc("<Verification vendor=\"a.b-omid\">" + res + "<Verification vendor=\" A.B-omid \">" +
                                     res + "<Verification vendor=\"a.b-omid\">" + res + "<Verification vendor=\"\">" +
                                     res + "<Verification vendor=\"  \">" + res)),
              (Lines{"VAST-4.1-verification-duplicate-vendor|1|" + kVp + "[1]|3|1",
                     "VAST-4.1-verification-duplicate-vendor|1|" + kVp + "[2]|4|1",
                     "VAST-4.1-verification-vendor-format|1|" + kVp + "[3]|5|1",
                     "VAST-4.1-verification-vendor-format|1|" + kVp + "[4]|6|1"}));

    // The vendor form, and the exact format message.
    for (const char* ok : {"a.b-omid", "iabtechlab.com-omid", "a.b/x_y", "a.b-c-d", "1.2-x.y_z"})
        EXPECT_EQ(lines(verification_doc(std::string("<Verification vendor=\"") + ok + "\">" + res)), Lines{}) << ok;
    for (const char* bad : {"vendorx", "omid", "a.b-", "-omid", "ab-omid", "my a.b-omid", "a_b.c-omid", "a.b-om!d",
                            "a.b/c-d", "a.b-x y", "a.b\xc2\xa0-omid"})
        EXPECT_EQ(no_pos(lines(verification_doc(std::string("<Verification vendor=\"") + bad + "\">" + res))),
                  (Lines{"VAST-4.1-verification-vendor-format|1|" + kVp + "[0]"}))
            << bad;
    EXPECT_EQ(messages(verification_doc("<Verification vendor=\"omid\">" + res))[0],
              "<Verification> vendor should use a domain-qualified key such as \"iabtechlab.com-omid\"");

    // No children: no-resource before the missing vendor; OMID through a "/omid" vendor.
    EXPECT_EQ(lines(verification_doc("<Verification/>")),
              (Lines{"VAST-4.1-verification-no-resource|1|" + kVp + "[0]|2|1",
                     "VAST-4.1-verification-vendor|2|" + kVp + "[0]|2|1"}));
    EXPECT_EQ(lines(verification_doc("<Verification vendor=\" x/OMID\"><VerificationParameters> </VerificationParameters>"
                                     "</Verification>")),
              (Lines{"VAST-4.1-verification-no-resource|1|" + kVp + "[0]|2|1",
                     "VAST-4.1-verification-vendor-format|1|" + kVp + "[0]|2|1",
                     "VAST-4.1-verification-parameters|1|" + kVp + "[0]|2|1"}));
}

TEST(Required, VerificationResourcesAndTracking) {
    const std::string v = "|" + kVp + "[0]";
    auto only = [](std::string_view inner, std::string_view vendor) {
        return no_pos(lines(verification_doc("<Verification vendor=\"" + std::string(vendor) + "\">" +
                                             std::string(inner) + "</Verification>")));
    };
    std::string params = "<VerificationParameters>p</VerificationParameters>";
    std::string js = "<JavaScriptResource apiFramework=\"omid\" browserOptional=\"true\">";
    EXPECT_EQ(only(js + "https://x/v.js</JavaScriptResource>" + params, "a.b-omid"), Lines{});
    EXPECT_EQ(only(js + "HTTP://x/v.js</JavaScriptResource>" + params, "a.b-omid"), Lines{});
    EXPECT_EQ(only(js + "http://x/v.js</JavaScriptResource>" + params, "a.b-omid"),
              (Lines{"VAST-4.1-js-resource-https|1" + v + "/JavaScriptResource[0]"}));

    // Not OMID: no parameters, apiframework-value or https warnings.
    EXPECT_EQ(only("<JavaScriptResource apiFramework=\"custom\" browserOptional=\"1\">http://x</JavaScriptResource>"
                   "<ExecutableResource apiFramework=\"custom\" type=\"t\">http://x</ExecutableResource>",
                   "a.b-custom"),
              Lines{});

    // OMID through an apiFramework in capitals, which is itself not exactly "omid";
    // JavaScript resources before executable ones, each indexed among its name.
    EXPECT_EQ(only("<ExecutableResource apiFramework=\"OMID\">http://x/e</ExecutableResource>"
                   "<JavaScriptResource>https://x</JavaScriptResource><ExecutableResource/>"
                   "<JavaScriptResource apiFramework=\"Omid\" browserOptional=\"\">http://x</JavaScriptResource>",
                   "a.b-custom"),
              (Lines{"VAST-4.1-verification-parameters|1" + v,
                     "VAST-4.1-js-resource-apiframework|2" + v + "/JavaScriptResource[0]",
                     "VAST-4.3-js-resource-browser-optional|1" + v + "/JavaScriptResource[0]",
                     "VAST-4.1-js-resource-apiframework-value|1" + v + "/JavaScriptResource[1]",
                     "VAST-4.1-js-resource-https|1" + v + "/JavaScriptResource[1]",
                     "VAST-4.1-exec-resource-apiframework-value|1" + v + "/ExecutableResource[0]",
                     "VAST-4.1-exec-resource-type|2" + v + "/ExecutableResource[0]",
                     "VAST-4.1-exec-resource-https|1" + v + "/ExecutableResource[0]",
                     "VAST-4.1-exec-resource-apiframework|2" + v + "/ExecutableResource[1]",
                     "VAST-4.1-exec-resource-type|2" + v + "/ExecutableResource[1]"}));

    // Tracking: any other event value is wrong; the reason macro in either spelling.
    std::string tracking = "<TrackingEvents><Tracking event=\"verificationNotExecuted\">https://t?r=%5BREASON%5D</Tracking>"
                           "<Foo/><Tracking event=\"verificationNotExecuted\">https://t?r=[reason]</Tracking>"
                           "<Tracking>https://t</Tracking><Tracking event=\"start\">https://t</Tracking>"
                           "<Tracking event=\"verificationNotExecuted\">https://t?r=%5breason%5d</Tracking>"
                           "<Tracking event=\"verificationNotExecuted\">[REASON]</Tracking></TrackingEvents>";
    EXPECT_EQ(only(js + "https://x</JavaScriptResource>" + params + tracking, "a.b-omid"),
              (Lines{"VAST-4.1-verification-tracking-reason|1" + v + "/TrackingEvents/Tracking[1]",
                     "VAST-4.1-tracking-event-value|2" + v + "/TrackingEvents/Tracking[3][@event]"}));
    // Tracking comes after the vendor and parameters findings, before the resources.
    EXPECT_EQ(only("<JavaScriptResource apiFramework=\"omid\"/><TrackingEvents><Tracking event=\"x\"/></TrackingEvents>",
                   "omid"),
              (Lines{"VAST-4.1-verification-vendor-format|1" + v, "VAST-4.1-verification-parameters|1" + v,
                     "VAST-4.1-tracking-event-value|2" + v + "/TrackingEvents/Tracking[0][@event]",
                     "VAST-4.3-js-resource-browser-optional|1" + v + "/JavaScriptResource[0]"}));
}

TEST(Required, EmbeddedVerifications) {
    const std::string x = "|/VAST/Ad[0]/InLine/Extensions";
    std::string two = "<Verification vendor=\"a.b-custom\"><ExecutableResource apiFramework=\"c\" type=\"t\"/>"
                      "</Verification><Verification/>";
    // Indices count every child; the walk stops at the first container on each branch,
    // and only the first <Extensions> is walked.
    EXPECT_EQ(no_pos(lines(inline_doc("2.0", "<Creatives><Creative/></Creatives><Extensions><Other/>"
                                             "<Extension>" + two + "<Extension>" + two + "</Extension></Extension>"
                                             "<Extension><X/><Y><AdVerifications><Verification/></AdVerifications>"
                                             "<AdVerifications><Verification/></AdVerifications></Y></Extension>"
                                             "</Extensions><Extensions><Extension>" + two + "</Extension></Extensions>"))),
              (Lines{"VAST-4.1-verification-no-resource|1" + x + "/Extension[1]/Verification[1]",
                     "VAST-4.1-verification-vendor|2" + x + "/Extension[1]/Verification[1]",
                     "VAST-4.1-verification-no-resource|1" + x + "/Extension[2]/Y[1]/AdVerifications[0]/Verification[0]",
                     "VAST-4.1-verification-vendor|2" + x + "/Extension[2]/Y[1]/AdVerifications[0]/Verification[0]",
                     "VAST-4.1-verification-no-resource|1" + x + "/Extension[2]/Y[1]/AdVerifications[1]/Verification[0]",
                     "VAST-4.1-verification-vendor|2" + x + "/Extension[2]/Y[1]/AdVerifications[1]/Verification[0]"}));

    // The vendor set is per container: one vendor in two containers is no duplicate.
    std::string one = "<Verification vendor=\"a.b-custom\"><ExecutableResource apiFramework=\"c\" type=\"t\"/></Verification>";
    EXPECT_EQ(no_pos(lines(inline_doc("2.0", "<Creatives><Creative/></Creatives><Extensions><E>" + one + one +
                                                 "</E><E>" + one + "</E></Extensions>"))),
              (Lines{"VAST-4.1-verification-duplicate-vendor|1" + x + "/E[0]/Verification[1]"}));
}

TEST(Required, DeepExtensionsDoNotExhaustTheStack) {
    // Runs the family alone so that only this walk is exercised.
    constexpr std::size_t kDepth = 1'000'000;
    std::string xml = "<VAST version=\"4.1\"><Ad><Wrapper><AdSystem/><Impression/><VASTAdTagURI/><Extensions>";
    xml.reserve(xml.size() + kDepth * 7 + 200);
    for (std::size_t i = 0; i < kDepth; ++i) xml += "<E>";
    xml += "<Verification vendor=\"a.b-c\"/>";
    for (std::size_t i = 0; i < kDepth; ++i) xml += "</E>";
    xml += "</Extensions></Wrapper></Ad></VAST>";
    adsieve::Document doc = adsieve::parse(xml);
    ASSERT_FALSE(doc.parse_error);
    adsieve::ValidationResult found;
    const adsieve::Issues& issues = found.issues;
    adsieve::testing::run_family(found, adsieve::rules::required::check, doc.root(), adsieve::detect_version(doc.root()), ValidationContext{}, doc.text);
    ASSERT_EQ(issues.size(), 1u);
    EXPECT_EQ(issues[0].id, "VAST-4.1-verification-no-resource");
    ASSERT_TRUE(issues[0].path);
    std::string expected = "/VAST/Ad[0]/Wrapper/Extensions";
    for (std::size_t i = 0; i < kDepth; ++i) expected += "/E[0]";
    EXPECT_EQ(*issues[0].path, adsieve::testing::shortened_path(expected + "/Verification[0]"));
}

TEST(Required, Overrides) {
    // Off removes one finding and nothing else; other levels change only the severity.
    std::string res = "<ExecutableResource apiFramework=\"c\" type=\"t\"/>";
    std::string doc = "<VAST version=\"4.1\"><Ad><InLine><AdServingId/><AdVerifications>"
                      "<Verification vendor=\"a.b-c\">" + res + "</Verification>"
                      "<Verification vendor=\"a.b-c\">" + res + "</Verification>"
                      "<Verification vendor=\"A.B-C\">" + res + "</Verification></AdVerifications></InLine></Ad></VAST>";
    const std::string p = "/VAST/Ad[0]/InLine";
    EXPECT_EQ(no_pos(lines_with(doc, {{"VAST-2.0-inline-adsystem", Severity::Off},
                                      {"VAST-2.0-inline-impression", Severity::Info},
                                      {"VAST-4.1-verification-duplicate-vendor", Severity::Error}})),
              (Lines{"VAST-2.0-inline-adtitle|2|" + p, "VAST-2.0-inline-impression|0|" + p,
                     "VAST-2.0-inline-creatives|2|" + p,
                     "VAST-4.1-verification-duplicate-vendor|2|" + p + "/AdVerifications/Verification[1]",
                     "VAST-4.1-verification-duplicate-vendor|2|" + p + "/AdVerifications/Verification[2]"}));
    EXPECT_EQ(no_pos(lines_with(doc, {{"VAST-4.1-verification-duplicate-vendor", Severity::Off},
                                      {"VAST-2.0-inline-creatives", Severity::Warning}})),
              (Lines{"VAST-2.0-inline-adsystem|2|" + p, "VAST-2.0-inline-adtitle|2|" + p,
                     "VAST-2.0-inline-impression|2|" + p, "VAST-2.0-inline-creatives|1|" + p}));
    // With the root rule off a foreign root still stops the family.
    EXPECT_EQ(lines_with("<vast><Ad/></vast>", {{"VAST-2.0-root-element", Severity::Off}}), Lines{});
}

}  // namespace
