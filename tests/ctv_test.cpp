// Connected-TV readiness: mezzanine, VPAID next to interactive files, empty AdServingId.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/ctv.h"
#include "support.h"
#include "validate.h"

namespace {

using adsieve::ValidationContext;
using adsieve::VastVersion;
using Lines = std::vector<std::string>;

Lines run(const std::string& xml, std::optional<VastVersion> forced = std::nullopt,
          const char* off = nullptr) {
    adsieve::Overrides overrides;
    if (off) overrides[off] = adsieve::Severity::Off;
    return adsieve::testing::run(xml, adsieve::Family::Ctv, adsieve::testing::context(forced, overrides));
}

// One element per line: an element's line is its line here, its column 1.
const std::string kDoc = R"(<VAST version="4.2">
<Ad>
<InLine>
<AdServingId>   </AdServingId>
<Creatives>
<Creative>
<CompanionAds/>
</Creative>
<Creative>
<Linear/>
</Creative>
<Creative>
<Linear>
<MediaFiles>
<MediaFile apiFramework="VPAID">u</MediaFile>
<InteractiveCreativeFile>u</InteractiveCreativeFile>
<MediaFile apiFramework="VPaid">u</MediaFile>
<MediaFile apiFramework=" VPAID">u</MediaFile>
</MediaFiles>
</Linear>
</Creative>
<Creative>
<Linear>
<MediaFiles>
<Mezzanine>m</Mezzanine>
<MediaFile apiFramework="VPAID">u</MediaFile>
</MediaFiles>
</Linear>
</Creative>
</Creatives>
<AdServingId></AdServingId>
</InLine>
</Ad>
<Ad>
<Wrapper>
<Creatives><Creative><Linear><MediaFiles><MediaFile>u</MediaFile></MediaFiles></Linear></Creative></Creatives>
</Wrapper>
<InLine>
<AdServingId>id</AdServingId>
<Creatives>
<Creative>
<Linear>
<MediaFiles>
<MediaFile>u</MediaFile>
</MediaFiles>
</Linear>
</Creative>
</Creatives>
</InLine>
</Ad>
</VAST>
)";

const std::string kI0 = "/VAST/Ad[0]/InLine";

TEST(Ctv, FindingsOrderAndOncePerInline) {
    const Lines expected{
        // Creatives without a Linear with MediaFiles are skipped entirely (indices still count).
        "VAST-4.1-mezzanine-recommended|0|" + kI0 + "/Creatives/Creative[2]/Linear/MediaFiles|14|1",
        // VPAID in any case, but not with a leading blank; index among MediaFile children only.
        "VAST-4.1-vpaid-in-interactive-context|1|" + kI0 + "/Creatives/Creative[2]/Linear/MediaFiles/MediaFile[0]|15|1",
        "VAST-4.1-vpaid-in-interactive-context|1|" + kI0 + "/Creatives/Creative[2]/Linear/MediaFiles/MediaFile[1]|17|1",
        // The first AdServingId, checked once, after the first Creative with MediaFiles.
        "VAST-4.1-ad-serving-id-empty|1|" + kI0 + "/AdServingId|4|1",
        // The last Creative has a Mezzanine and no InteractiveCreativeFile: nothing.
        // Second Ad: the Wrapper is not examined; the InLine lacks a Mezzanine only.
        "VAST-4.1-mezzanine-recommended|0|/VAST/Ad[1]/InLine/Creatives/Creative[0]/Linear/MediaFiles|43|1",
    };
    EXPECT_EQ(run(kDoc), expected);
    EXPECT_EQ(run(kDoc, VastVersion::V4_1), expected);

    // A rule switched off changes nothing else, in particular not the once-per-InLine check.
    Lines without_mezzanine;
    for (const std::string& l : expected)
        if (l.find("mezzanine") == std::string::npos) without_mezzanine.push_back(l);
    EXPECT_EQ(run(kDoc, std::nullopt, "VAST-4.1-mezzanine-recommended"), without_mezzanine);
}

TEST(Ctv, GatedOn41AndVastRoot) {
    EXPECT_TRUE(run(kDoc, VastVersion::V4_0).empty());
    // Without a usable declaration the AdServingId infers 4.1.
    std::string inferred = kDoc;
    inferred.replace(inferred.find("4.2"), 3, "5.0");
    EXPECT_EQ(run(inferred), run(kDoc));
    adsieve::Document doc = adsieve::parse(kDoc);
    adsieve::ValidationResult found;
    const adsieve::Issues& issues = found.issues;
    adsieve::testing::run_family(found, adsieve::rules::ctv::check, doc.root(), adsieve::DetectedVersion{}, ValidationContext{}, doc.text);
    EXPECT_TRUE(issues.empty());
    std::string other = kDoc;
    other.replace(other.find("<VAST"), 5, "<Vast").replace(other.rfind("</VAST>"), 7, "</Vast>");
    EXPECT_TRUE(run(other, VastVersion::V4_1).empty());

    // An InLine none of whose Creatives reaches MediaFiles gets no AdServingId check.
    const std::string no_media = R"(<VAST version="4.1"><Ad><InLine><AdServingId/>
<Creatives><Creative><Linear/></Creative></Creatives></InLine></Ad></VAST>)";
    EXPECT_TRUE(run(no_media).empty());
    // Only the first Creatives is examined.
    const std::string second = R"(<VAST version="4.1"><Ad><InLine><AdServingId/><Creatives/>
<Creatives><Creative><Linear><MediaFiles/></Linear></Creative></Creatives></InLine></Ad></VAST>)";
    EXPECT_TRUE(run(second).empty());
}

}  // namespace
