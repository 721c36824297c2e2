// Deprecated features: conditionalAd, Survey, MediaFile apiFramework/VPAID, Flash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/deprecated.h"
#include "support.h"
#include "validate.h"

namespace {

using adsieve::ValidationContext;
using adsieve::VastVersion;
using Lines = std::vector<std::string>;

Lines family(const adsieve::ValidationResult& r) {
    return adsieve::testing::family_lines(r, adsieve::Family::Deprecated);
}

Lines run(const std::string& xml, std::optional<VastVersion> forced = std::nullopt) {
    return adsieve::testing::run(xml, adsieve::Family::Deprecated, adsieve::testing::context(forced));
}

// One element per line, so an element's line is its position in this text and its column is 1.
const std::string kDoc = R"(<VAST version="4.1">
<Ad conditionalAd="false">
<InLine>
<Survey>a</Survey>
<Survey>b</Survey>
<Creatives>
<Creative>
<Linear>
<MediaFiles>
<Mezzanine>m</Mezzanine>
<MediaFile apiFramework="vpaid" type="application/x-shockwave-flash">u</MediaFile>
<MediaFile apiFramework=" VPAID" type="video/x-flv">u</MediaFile>
</MediaFiles>
</Linear>
<Linear>
<MediaFiles>
<MediaFile apiFramework="VPAID">u</MediaFile>
</MediaFiles>
</Linear>
</Creative>
</Creatives>
<Creatives>
<Creative>
<Linear>
<MediaFiles>
<MediaFile apiFramework="omid" type="video/Flash">u</MediaFile>
</MediaFiles>
</Linear>
</Creative>
</Creatives>
</InLine>
<Wrapper>
<Survey>s</Survey>
<Creatives><Creative><Linear><MediaFiles>
<MediaFile apiFramework="VPAID" type="flash">u</MediaFile>
</MediaFiles></Linear></Creative></Creatives>
</Wrapper>
</Ad>
<Other/>
<Ad conditionalAd="">
</Ad>
</VAST>
)";

const std::string kCreatives = "/VAST/Ad[0]/InLine/Creatives/";

TEST(Deprecated, FindingsOrderPathsAndPositionsIn41) {
    EXPECT_EQ(run(kDoc), (Lines{
        "VAST-4.0-conditionalad|1|/VAST/Ad[0]|2|1",
        // Reported once, at the InLine's position.
        "VAST-4.1-survey-deprecated|1|/VAST/Ad[0]/InLine/Survey|3|1",
        // apiFramework finding before the Flash one on the same MediaFile; Mezzanine not counted.
        "VAST-4.1-vpaid-apiframework|1|" + kCreatives + "Creative[0]/Linear/MediaFiles/MediaFile[0]|11|1",
        "VAST-2.0-flash-mediafile|1|" + kCreatives + "Creative[0]/Linear/MediaFiles/MediaFile[0]|11|1",
        // A blank before VPAID makes it another framework.
        "VAST-4.0-mediafile-apiframework|0|" + kCreatives + "Creative[0]/Linear/MediaFiles/MediaFile[1]|12|1",
        // Second Linear is not examined; the Creative counter carries over to the next Creatives;
        // "Flash" with a capital does not match.
        "VAST-4.0-mediafile-apiframework|0|" + kCreatives + "Creative[1]/Linear/MediaFiles/MediaFile[0]|26|1",
        // Wrapper: Survey at the Wrapper's position, its creatives are not examined.
        "VAST-4.1-survey-deprecated|1|/VAST/Ad[0]/Wrapper/Survey|32|1",
        // Ad index counts Ad children only; any value of conditionalAd counts.
        "VAST-4.0-conditionalad|1|/VAST/Ad[1]|40|1",
    }));
}

TEST(Deprecated, VersionGates) {
    // 4.0: no conditionalAd or Survey; every apiFramework (VPAID included) is the info finding.
    EXPECT_EQ(run(kDoc, VastVersion::V4_0), (Lines{
        "VAST-4.0-mediafile-apiframework|0|" + kCreatives + "Creative[0]/Linear/MediaFiles/MediaFile[0]|11|1",
        "VAST-2.0-flash-mediafile|1|" + kCreatives + "Creative[0]/Linear/MediaFiles/MediaFile[0]|11|1",
        "VAST-4.0-mediafile-apiframework|0|" + kCreatives + "Creative[0]/Linear/MediaFiles/MediaFile[1]|12|1",
        "VAST-4.0-mediafile-apiframework|0|" + kCreatives + "Creative[1]/Linear/MediaFiles/MediaFile[0]|26|1",
    }));
    // 3.0: only Flash, which has no gate.
    const Lines flash_only{
        "VAST-2.0-flash-mediafile|1|" + kCreatives + "Creative[0]/Linear/MediaFiles/MediaFile[0]|11|1"};
    EXPECT_EQ(run(kDoc, VastVersion::V3_0), flash_only);
    // 4.3 as declared (not forced) behaves like 4.1.
    std::string v43 = kDoc;
    v43.replace(v43.find("4.1"), 3, "4.3");
    EXPECT_EQ(run(v43), run(kDoc));

    // Unknown effective version: only Flash can fire.
    adsieve::Document doc = adsieve::parse(kDoc);
    adsieve::ValidationResult r;
    adsieve::testing::run_family(r, adsieve::rules::deprecated::check, doc.root(), adsieve::DetectedVersion{}, ValidationContext{}, doc.text);
    EXPECT_EQ(family(r), flash_only);
}

TEST(Deprecated, OverridesAndOtherRoots) {
    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-4.1-vpaid-apiframework"] = adsieve::Severity::Off;
    (*ctx.rule_overrides)["VAST-2.0-flash-mediafile"] = adsieve::Severity::Error;
    Lines got = family(adsieve::validate_with_context(kDoc, ctx));
    // Switching the VPAID rule off does not turn it into the info finding.
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got[2], "VAST-2.0-flash-mediafile|2|" + kCreatives + "Creative[0]/Linear/MediaFiles/MediaFile[0]|11|1");
    EXPECT_EQ(got[3], "VAST-4.0-mediafile-apiframework|0|" + kCreatives + "Creative[0]/Linear/MediaFiles/MediaFile[1]|12|1");

    // A root other than VAST yields nothing from this family.
    std::string lower = kDoc;
    lower.replace(lower.find("<VAST"), 5, "<vast").replace(lower.rfind("</VAST>"), 7, "</vast>");
    EXPECT_TRUE(run(lower).empty());
}

}  // namespace
