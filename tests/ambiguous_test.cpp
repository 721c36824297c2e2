// Ambiguous constructs: progress offsets, quartile trackers, icon and overlay
// attributes, wrapper click-throughs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rules/ambiguous.h"
#include "support.h"
#include "validate.h"

namespace {

using adsieve::ValidationContext;
using adsieve::VastVersion;
using Lines = std::vector<std::string>;

Lines run(const std::string& xml, std::optional<VastVersion> forced = std::nullopt) {
    return adsieve::testing::run(xml, adsieve::Family::Ambiguous, adsieve::testing::context(forced));
}

// One element per line: an element's line is its line here, its column 1.
const std::string kInline = R"(<VAST version="4.2">
<Ad>
<InLine>
<Creatives>
<Creative>
<Linear>
<TrackingEvents>
<Tracking event="creativeView">u</Tracking>
<Tracking event="progress">u</Tracking>
<Tracking event="Start">u</Tracking>
<Other event="progress"/>
<Tracking event="progress" offset="">u</Tracking>
<Tracking event="progress">u</Tracking>
</TrackingEvents>
<Icons>
<Icon program="p" width="" height="1" xPosition="left">
<IconClicks>
<IconClickFallbackImages>
<IconClickFallbackImage width="1" height="1"/>
<Other/>
<IconClickFallbackImage width="1"/>
</IconClickFallbackImages>
</IconClicks>
</Icon>
<Icon program="p" width="1" height="1" xPosition="1" yPosition="1">
<IconClicks><IconClickFallbackImages>
<IconClickFallbackImage/>
</IconClickFallbackImages></IconClicks>
</Icon>
</Icons>
</Linear>
<NonLinearAds>
<NonLinear width="1"/>
<NonLinear width="1" height="1"/>
<NonLinear height="1"/>
</NonLinearAds>
<CompanionAds>
<Companion/>
</CompanionAds>
</Creative>
</Creatives>
<Creatives>
<Creative>
<Linear>
<TrackingEvents>
<Tracking event="complete">u</Tracking>
</TrackingEvents>
</Linear>
</Creative>
<Creative>
<Linear>
</Linear>
</Creative>
</Creatives>
</InLine>
</Ad>
</VAST>
)";

const std::string kC0 = "/VAST/Ad[0]/InLine/Creatives/Creative[0]";

TEST(Ambiguous, InlineFindingsInOrder) {
    Lines expected{
        // Progress trackers without offset; an empty offset counts as present.
        "VAST-3.0-progress-offset|2|" + kC0 + "/Linear/TrackingEvents/Tracking[1]|9|1",
        "VAST-3.0-progress-offset|2|" + kC0 + "/Linear/TrackingEvents/Tracking[4]|13|1",
        // creativeView, progress and Start (capital S) are no quartile events.
        "VAST-2.0-linear-tracking-quartiles|1|" + kC0 + "/Linear|6|1",
        // Icon without yPosition, then its fallback images; an empty width is present.
        "VAST-3.0-icon-attrs|1|" + kC0 + "/Linear/Icons/Icon[0]|16|1",
        "VAST-4.2-icon-fallback-image-width-height|1|" + kC0 +
            "/Linear/Icons/Icon[0]/IconClicks/IconClickFallbackImages/IconClickFallbackImage[1]|21|1",
        "VAST-4.2-icon-fallback-image-width-height|1|" + kC0 +
            "/Linear/Icons/Icon[1]/IconClicks/IconClickFallbackImages/IconClickFallbackImage[0]|27|1",
        "VAST-2.0-nonlinear-dimensions|1|" + kC0 + "/NonLinearAds/NonLinear[0]|33|1",
        "VAST-2.0-nonlinear-dimensions|1|" + kC0 + "/NonLinearAds/NonLinear[2]|35|1",
        "VAST-2.0-companion-dimensions|1|" + kC0 + "/CompanionAds/Companion[0]|38|1",
        // The Creative counter runs on across the second Creatives; one complete tracker is
        // enough, a Linear without TrackingEvents is not.
        "VAST-2.0-linear-tracking-quartiles|1|/VAST/Ad[0]/InLine/Creatives/Creative[2]/Linear|51|1",
    };
    EXPECT_EQ(run(kInline), expected);
    EXPECT_EQ(run(kInline, VastVersion::V4_3), expected);

    // Below 4.2, and with no effective version, the fallback-image rule is silent.
    Lines without_fallback;
    for (const std::string& l : expected)
        if (l.find("fallback") == std::string::npos) without_fallback.push_back(l);
    EXPECT_EQ(run(kInline, VastVersion::V4_1), without_fallback);
    adsieve::Document doc = adsieve::parse(kInline);
    adsieve::ValidationResult unknown;
    adsieve::testing::run_family(unknown, adsieve::rules::ambiguous::check, doc.root(), adsieve::DetectedVersion{}, ValidationContext{}, doc.text);
    EXPECT_EQ(adsieve::testing::issue_lines(unknown), without_fallback);

    // Only a root named VAST is examined.
    std::string other = kInline;
    other.replace(other.find("<VAST"), 5, "<Vast").replace(other.rfind("</VAST>"), 7, "</Vast>");
    EXPECT_TRUE(run(other).empty());
}

const std::string kWrapper = R"(<VAST version="4.0">
<Ad>
<Wrapper>
<Creatives>
<Creative>
<Linear>
<VideoClicks>
<ClickThrough>u</ClickThrough>
</VideoClicks>
</Linear>
</Creative>
<Other/>
<Creative>
<Linear/>
<Linear><VideoClicks><ClickThrough>u</ClickThrough></VideoClicks></Linear>
</Creative>
<Creative>
<Linear>
<VideoClicks><ClickTracking>u</ClickTracking></VideoClicks>
<VideoClicks><ClickThrough>u</ClickThrough></VideoClicks>
</Linear>
</Creative>
<Creative>
<Linear>
<VideoClicks>
<ClickThrough>u</ClickThrough>
</VideoClicks>
</Linear>
</Creative>
</Creatives>
</Wrapper>
</Ad>
</VAST>
)";

TEST(Ambiguous, WrapperClickThroughOnlyIn40And41) {
    // Only the first Linear and its first VideoClicks count; position is the VideoClicks.
    const Lines expected{
        "VAST-4.0-wrapper-clickthrough|1|/VAST/Ad[0]/Wrapper/Creatives/Creative[0]/Linear/VideoClicks/ClickThrough|7|1",
        "VAST-4.0-wrapper-clickthrough|1|/VAST/Ad[0]/Wrapper/Creatives/Creative[3]/Linear/VideoClicks/ClickThrough|25|1",
    };
    EXPECT_EQ(run(kWrapper), expected);
    EXPECT_EQ(run(kWrapper, VastVersion::V4_1), expected);
    EXPECT_TRUE(run(kWrapper, VastVersion::V3_0).empty());
    EXPECT_TRUE(run(kWrapper, VastVersion::V4_2).empty());
    std::string unknown = kWrapper;
    unknown.replace(unknown.find("4.0"), 3, "4.x");
    EXPECT_TRUE(run(unknown).empty());

    // Switched off, the rule reports nothing.
    ValidationContext ctx;
    ctx.rule_overrides.emplace();
    (*ctx.rule_overrides)["VAST-4.0-wrapper-clickthrough"] = adsieve::Severity::Off;
    for (const std::string& l : adsieve::testing::issue_lines(adsieve::validate_with_context(kWrapper, ctx)))
        EXPECT_EQ(l.find("wrapper-clickthrough"), std::string::npos) << l;
}

}  // namespace
