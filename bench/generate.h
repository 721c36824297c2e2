// Generated test documents shared by the benchmark programs.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// One realistic VAST 4.2 in-line ad, numbered i.
inline std::string ad(int i) {
    std::string n = std::to_string(i);
    return "  <Ad id=\"" + n + "\" sequence=\"" + std::to_string(i + 1) + "\">\n"
           "    <InLine>\n"
           "      <AdSystem version=\"2.1\">Example Ad Server</AdSystem>\n"
           "      <AdTitle>Creative number " + n + " &amp; friends</AdTitle>\n"
           "      <AdServingId>serving-" + n + "</AdServingId>\n"
           "      <Impression id=\"i" + n + "\"><![CDATA[https://track.example.com/imp?ad=" + n +
           "&cb=[CACHEBUSTING]&ts=[TIMESTAMP]]]></Impression>\n"
           "      <Error><![CDATA[https://track.example.com/err?code=[ERRORCODE]]]></Error>\n"
           "      <Pricing model=\"cpm\" currency=\"USD\">1.25</Pricing>\n"
           "      <Creatives>\n"
           "        <Creative id=\"c" + n + "\" sequence=\"1\">\n"
           "          <UniversalAdId idRegistry=\"Ad-ID\">UA-" + n + "</UniversalAdId>\n"
           "          <Linear skipoffset=\"00:00:05\">\n"
           "            <Duration>00:00:30.000</Duration>\n"
           "            <TrackingEvents>\n"
           "              <Tracking event=\"start\"><![CDATA[https://track.example.com/start?ad=" + n + "]]></Tracking>\n"
           "              <Tracking event=\"firstQuartile\"><![CDATA[https://track.example.com/q1?ad=" + n + "]]></Tracking>\n"
           "              <Tracking event=\"midpoint\"><![CDATA[https://track.example.com/mid?ad=" + n + "]]></Tracking>\n"
           "              <Tracking event=\"thirdQuartile\"><![CDATA[https://track.example.com/q3?ad=" + n + "]]></Tracking>\n"
           "              <Tracking event=\"complete\"><![CDATA[https://track.example.com/done?ad=" + n + "]]></Tracking>\n"
           "              <Tracking event=\"progress\" offset=\"50%\"><![CDATA[https://track.example.com/p?ad=" + n + "]]></Tracking>\n"
           "            </TrackingEvents>\n"
           "            <VideoClicks>\n"
           "              <ClickThrough><![CDATA[https://www.example.com/landing?ad=" + n + "]]></ClickThrough>\n"
           "            </VideoClicks>\n"
           "            <MediaFiles>\n"
           "              <MediaFile delivery=\"progressive\" type=\"video/mp4\" width=\"1280\" height=\"720\" bitrate=\"2000\">"
           "<![CDATA[https://cdn.example.com/v/" + n + "-720.mp4]]></MediaFile>\n"
           "              <MediaFile delivery=\"streaming\" type=\"application/x-mpegURL\" width=\"1920\" height=\"1080\">"
           "<![CDATA[https://cdn.example.com/v/" + n + ".m3u8]]></MediaFile>\n"
           "            </MediaFiles>\n"
           "          </Linear>\n"
           "        </Creative>\n"
           "      </Creatives>\n"
           "    </InLine>\n"
           "  </Ad>\n";
}

inline std::string document(std::size_t target_bytes) {
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VAST version=\"4.2\">\n";
    for (int i = 0; doc.size() < target_bytes; ++i) doc += ad(i);
    doc += "</VAST>\n";
    return doc;
}

// `depth` nested elements around one text leaf.
inline std::string deep_document(std::size_t depth) {
    std::string doc = "<VAST version=\"4.2\">";
    doc.reserve(depth * 7 + 32);
    for (std::size_t i = 0; i < depth; ++i) doc += "<a>";
    doc += "x";
    for (std::size_t i = 0; i < depth; ++i) doc += "</a>";
    doc += "</VAST>";
    return doc;
}

// A flat run of `count` empty elements.
inline std::string flood_document(std::size_t count) {
    std::string doc = "<VAST version=\"4.2\">";
    doc.reserve(count * 4 + 32);
    for (std::size_t i = 0; i < count; ++i) doc += "<a/>";
    doc += "</VAST>";
    return doc;
}

}  // namespace bench
