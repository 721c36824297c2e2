// SIMID interactive creatives: linear InteractiveCreativeFile and non-linear IFrameResource checks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"
#include "validate.h"

namespace {

using adsieve::ValidationContext;
using adsieve::VastVersion;
using Lines = std::vector<std::string>;

Lines run(const std::string& xml, std::optional<VastVersion> forced = std::nullopt) {
    return adsieve::testing::run(xml, adsieve::Family::Simid, adsieve::testing::context(forced));
}

// A document with one InLine creative whose Linear MediaFiles hold `media`.
std::string linear(const std::string& media, const std::string& version = "4.2") {
    return "<VAST version=\"" + version + "\">\n<Ad>\n<InLine>\n<Creatives>\n<Creative>\n<Linear>\n<MediaFiles>\n" +
           media + "</MediaFiles>\n</Linear>\n</Creative>\n</Creatives>\n</InLine>\n</Ad>\n</VAST>\n";
}

const std::string kMf = "/VAST/Ad[0]/InLine/Creatives/Creative[0]/Linear/MediaFiles/";
const std::string kLinear = "/VAST/Ad[0]/InLine/Creatives/Creative[0]/Linear";
const std::string kGood = "<InteractiveCreativeFile apiFramework=\"SIMID\" type=\"text/html\">https://x/</InteractiveCreativeFile>\n";

TEST(Simid, InteractiveCreativeFileValueTests) {
    // Lines 1-7 are the frame; the media start on line 8.
    const std::string video = "<MediaFile type=\"video/mp4\">u</MediaFile>\n";
    EXPECT_TRUE(run(linear(kGood + video)).empty());
    // Any version, 2.0 included.
    EXPECT_TRUE(run(linear(kGood + video, "2.0")).empty());

    const std::string files =
        "<InteractiveCreativeFile apiFramework=\"SIMID\" type=\"text/html; charset=utf-8\" "
        "variableDuration=\"True\">http://x/</InteractiveCreativeFile>\n"
        "<InteractiveCreativeFile apiFramework=\"simid\">http://x/</InteractiveCreativeFile>\n"
        "<InteractiveCreativeFile apiFramework=\"SIMID\" type=\"text/html\" variableDuration=\"false\">  "
        "</InteractiveCreativeFile>\n"
        "<InteractiveCreativeFile apiFramework=\"SIMID\" type=\"text/html\" variableDuration=\"true\">"
        "HTTP://x/</InteractiveCreativeFile>\n"
        "<InteractiveCreativeFile apiFramework=\"SIMID\" type=\"text/html\">http://</InteractiveCreativeFile>\n";
    EXPECT_EQ(run(linear(files + video, "2.0")), (Lines{
        "SIMID-1.0-simid-type-required|2|" + kMf + "InteractiveCreativeFile[0]|8|1",
        "SIMID-1.0-simid-url-https|2|" + kMf + "InteractiveCreativeFile[0]|8|1",
        "SIMID-1.0-simid-variable-duration-value|1|" + kMf + "InteractiveCreativeFile[0]|8|1",
        // [1] is lower-case simid: ignored but counted.
        "SIMID-1.0-simid-url-empty|2|" + kMf + "InteractiveCreativeFile[2]|10|1",
        "SIMID-1.0-simid-variable-duration-value|1|" + kMf + "InteractiveCreativeFile[2]|10|1",
        // [3] upper-case scheme passes; [4] is exactly "http://".
        "SIMID-1.0-simid-url-https|2|" + kMf + "InteractiveCreativeFile[4]|12|1",
    }));
}

TEST(Simid, MediaFileRequirement) {
    const std::string two = kGood + kGood;
    const Lines required{"SIMID-1.0-simid-mediafile-required|2|" + kLinear + "|6|1"};
    // Two SIMID files and only an HLS MediaFile of another spelling: one finding, after the files'.
    EXPECT_EQ(run(linear(two + "<MediaFile type=\"application/vnd.apple.mpegurl\">u</MediaFile>\n")), required);
    // Only a SIMID file, with a finding of its own first.
    EXPECT_EQ(run(linear("<InteractiveCreativeFile apiFramework=\"SIMID\"/>\n")), (Lines{
        "SIMID-1.0-simid-type-required|2|" + kMf + "InteractiveCreativeFile[0]|8|1",
        "SIMID-1.0-simid-url-empty|2|" + kMf + "InteractiveCreativeFile[0]|8|1",
        "SIMID-1.0-simid-mediafile-required|2|" + kLinear + "|6|1",
    }));
    // What counts as audio or video.
    for (const char* type : {"application/x-mpegURL", "audio/mpeg", "video/"})
        EXPECT_TRUE(run(linear(std::string("<MediaFile type=\"") + type + "\">u</MediaFile>\n" + kGood)).empty())
            << type;
    for (const char* m : {"<MediaFile type=\"Video/mp4\">u</MediaFile>\n", "<MediaFile>u</MediaFile>\n",
                          "<Mezzanine type=\"video/mp4\">u</Mezzanine>\n",
                          "<MediaFile type=\"application/x-mpegurl\">u</MediaFile>\n"})
        EXPECT_EQ(run(linear(kGood + m)), required) << m;
    // A non-SIMID interactive file needs no media file.
    EXPECT_TRUE(run(linear("<InteractiveCreativeFile apiFramework=\"VPAID\"/>\n")).empty());
}

const std::string kNonLinear = R"(<VAST version="4.1">
<Ad>
<InLine>
<Creatives>
<Creative>
<NonLinearAds>
<NonLinear apiFramework="SIMID">
<StaticResource>u</StaticResource>
</NonLinear>
<Other/>
<NonLinear>
<IFrameResource>http://plain/</IFrameResource>
<IFrameResource apiFramework="SIMID">  </IFrameResource>
<IFrameResource apiFramework="SIMID" type="text/html">http://x/</IFrameResource>
</NonLinear>
<NonLinear apiFramework="SIMID">
<IFrameResource type="text/html">https://x/</IFrameResource>
<IFrameResource apiFramework="other" type="text/html">http://x/</IFrameResource>
</NonLinear>
</NonLinearAds>
</Creative>
</Creatives>
<Creatives>
<Creative><NonLinearAds><NonLinear apiFramework="SIMID"/></NonLinearAds></Creative>
</Creatives>
</InLine>
<Wrapper>
<Creatives>
<Creative>
<Linear><MediaFiles><InteractiveCreativeFile apiFramework="SIMID"/></MediaFiles></Linear>
</Creative>
<Creative>
<NonLinearAds>
<NonLinear apiFramework="SIMID"/>
</NonLinearAds>
</Creative>
</Creatives>
</Wrapper>
</Ad>
</VAST>
)";

TEST(Simid, NonLinearInInlineAndWrapper) {
    const std::string nl = "/VAST/Ad[0]/InLine/Creatives/Creative[0]/NonLinearAds/NonLinear";
    EXPECT_EQ(run(kNonLinear), (Lines{
        "SIMID-1.1-nonlinear-simid-no-iframe|2|" + nl + "[0]|7|1",
        // A plain NonLinear: only the IFrameResources that declare SIMID themselves; indices
        // count every IFrameResource.
        "SIMID-1.1-iframe-simid-type-required|1|" + nl + "[1]/IFrameResource[1]|13|1",
        "SIMID-1.1-iframe-simid-url-empty|2|" + nl + "[1]/IFrameResource[1]|13|1",
        "SIMID-1.1-iframe-simid-url-https|2|" + nl + "[1]/IFrameResource[2]|14|1",
        // A SIMID NonLinear: every IFrameResource, whatever its own attributes.
        "SIMID-1.1-iframe-simid-url-https|2|" + nl + "[2]/IFrameResource[1]|18|1",
        // The second Creatives of the InLine is not examined; Wrapper creatives get only the
        // non-linear part.
        "SIMID-1.1-nonlinear-simid-no-iframe|2|/VAST/Ad[0]/Wrapper/Creatives/Creative[1]/NonLinearAds/NonLinear[0]|34|1",
    }));

    // Off for one rule removes only its findings.
    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["SIMID-1.1-nonlinear-simid-no-iframe"] = adsieve::Severity::Off;
    (*ctx.rule_overrides)["SIMID-1.1-iframe-simid-type-required"] = adsieve::Severity::Error;
    Lines got = adsieve::testing::issue_lines_with_prefix(adsieve::validate_with_context(kNonLinear, ctx), "SIMID-");
    EXPECT_EQ(got, (Lines{
        "SIMID-1.1-iframe-simid-type-required|2|" + nl + "[1]/IFrameResource[1]|13|1",
        "SIMID-1.1-iframe-simid-url-empty|2|" + nl + "[1]/IFrameResource[1]|13|1",
        "SIMID-1.1-iframe-simid-url-https|2|" + nl + "[1]/IFrameResource[2]|14|1",
        "SIMID-1.1-iframe-simid-url-https|2|" + nl + "[2]/IFrameResource[1]|18|1",
    }));
}

TEST(Simid, FirstCreativesOnlyAndEmptyMediaFiles) {
    // The first Creatives is empty: the SIMID creative in the second is not examined.
    const std::string second = R"(<VAST version="4.1"><Ad><InLine><Creatives/><Creatives><Creative><Linear><MediaFiles>
<InteractiveCreativeFile apiFramework="SIMID"/></MediaFiles></Linear></Creative></Creatives></InLine></Ad></VAST>)";
    EXPECT_TRUE(run(second).empty());
    // Other roots yield nothing.
    std::string other = linear("<InteractiveCreativeFile apiFramework=\"SIMID\"/>\n");
    other.replace(other.find("<VAST"), 5, "<vast").replace(other.rfind("</VAST>"), 7, "</vast>");
    EXPECT_TRUE(run(other).empty());
}

}  // namespace
