// The absolute-URL test against the shared URL vectors and hand-picked
// tracking URLs.
#include "url/url.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "support.h"

namespace {

using adsieve::url::is_absolute_url;
using nlohmann::json;

std::string vectors_dir() { return adsieve::testing::shared_dir() + "/url-vectors/"; }

std::vector<json> read_json_lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<json> out;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) out.push_back(json::parse(line));
    return out;
}

// Inputs on which the two editions of the URL parser (older and current IDNA
// tables and Punycode checks) give different verdicts; either is accepted.
std::set<std::string> edition_dependent() {
    std::set<std::string> out;
    for (const json& j : read_json_lines(vectors_dir() + "disagreements.jsonl"))
        out.insert(j.at("input").get<std::string>());
    return out;
}

TEST(Url, AgreesWithAbsoluteVectors) {
    std::vector<json> lines = read_json_lines(vectors_dir() + "absolute.jsonl");
    ASSERT_EQ(lines.size(), 6818u);
    std::set<std::string> extras;
    {
        json list = json::parse(adsieve::testing::read_file(vectors_dir() + "adtech-extra-inputs.json"));
        for (const json& s : list) extras.insert(s.get<std::string>());
    }
    const std::set<std::string> either = edition_dependent();
    // The first 814 lines are the URL parser inputs, then come the host data.
    constexpr std::size_t kParserLines = 814;

    std::size_t agreed = 0, compared = 0, edition_valid = 0, edition_invalid = 0;
    std::vector<std::string> failures[3];  // parser data, host data, ad-tech extras
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string input = lines[i].at("input").get<std::string>();
        const bool expected = lines[i].at("valid").get<bool>();
        const bool got = is_absolute_url(input);
        if (either.count(input) != 0) {
            ++(got ? edition_valid : edition_invalid);
            continue;
        }
        ++compared;
        if (got == expected) {
            ++agreed;
            continue;
        }
        std::size_t group = extras.count(input) != 0 ? 2 : i < kParserLines ? 0 : 1;
        failures[group].push_back(json(input).dump() + (expected ? " should be valid" : " should be invalid"));
    }
    std::cout << "absolute.jsonl: " << agreed << "/" << compared
              << " agreed; disagreements.jsonl lines: " << edition_valid << " valid, " << edition_invalid
              << " invalid\n";
    const char* names[3] = {"WPT parser data", "WPT host data", "ad-tech extras"};
    for (int g = 0; g < 3; ++g)
        for (const std::string& f : failures[g]) ADD_FAILURE() << names[g] << ": " << f;
    EXPECT_EQ(agreed, compared);
}

TEST(Url, AgreesWithParserTestsWithoutBase) {
    json data = json::parse(adsieve::testing::read_file(vectors_dir() + "urltestdata.json"));
    const std::set<std::string> either = edition_dependent();
    std::size_t agreed = 0, compared = 0, skipped = 0;
    for (const json& entry : data) {
        if (!entry.is_object() || !entry.contains("base") || !entry.at("base").is_null()) continue;
        const std::string input = entry.at("input").get<std::string>();
        if (either.count(input) != 0) {
            ++skipped;
            continue;
        }
        const bool expected = !entry.value("failure", false);
        ++compared;
        if (is_absolute_url(input) == expected)
            ++agreed;
        else
            ADD_FAILURE() << json(input).dump() << (expected ? " should be valid" : " should be invalid");
    }
    std::cout << "urltestdata.json (no base): " << agreed << "/" << compared << " agreed, " << skipped
              << " edition-dependent skipped\n";
    EXPECT_EQ(compared + skipped, 555u);
    EXPECT_EQ(agreed, compared);
}

// The IDNA library follows the older edition: ASCII "xn--" labels must be
// valid Punycode of a valid label, and characters added to the tables later
// are rejected. Labels "xn--X-" with X plain ASCII are accepted by both.
TEST(Url, EditionDependentHostsFollowTheOlderEdition) {
    for (const char* s : {"https://xn--/", "https://xn--a.com/", "https://XN--A.com/", "https://xn---.com/",
                          "https://xn--55555577.com/", "https://xn--0.com/", "https://xn--bcher-kva.xn--a/",
                          "http://xn--/", "http://xn--a.com/", "https://ex\u180Eample.com/",
                          "http://a.b.c.xn--pokxncvks", "https://xn--1ug.example/", "https://\u2183.com/"})
        EXPECT_FALSE(is_absolute_url(s)) << s;
    for (const char* s : {"https://xn--ASCII-/", "https://xn--a-.com/", "https://b.xn--09-/", "https://xn--09-./",
                          "https://xn--bcher-kva.example/"})
        EXPECT_TRUE(is_absolute_url(s)) << s;
}

TEST(Url, TrackingUrlsWithMacros) {
    for (const char* s : {
             "https://t.example.com/imp?cb=[CACHEBUSTING]&ts=[TIMESTAMP]&url=[PAGEURL]",
             "https://t.example.com/[ADSERVINGID]/px.gif",
             "https://t.example.com/ev#[CONTENTPLAYHEAD]",
             "http://t.example.com/ev?c=%%CACHEBUSTER%%&g=${GDPR}&u={{uid}}&x=__X__&y=#{y}",
             "https://t.example.com/ev?q=a b|c&d=\"e\"&f=<g>&h={i}",
             "https://ad.example.com:8443/vast?x=1",
             "https://ad.example.com:/vast",
         })
        EXPECT_TRUE(is_absolute_url(s)) << s;
    for (const char* s : {
             "https://[DOMAIN]/px.gif",          // a bracketed host must be an IPv6 address
             "https://t.example.com:[PORT]/px",  // ports are digits only
             "https://%%HOST%%/px",              // "%" is no domain character
             "https://t.exa mple.com/px",        // nor is a space
             "https://t.example.com|x/px",
             "[SCHEME]://t.example.com/px",
             "https://[REPLACE_ME]",
         })
        EXPECT_FALSE(is_absolute_url(s)) << s;
}

TEST(Url, SchemesAndRelativeReferences) {
    for (const char* s :
         {"https:///x", "https:\\\\t.example.com\\x", "cdn.example.com:8080/x.mp4", "C:\\ads\\video.mp4",
          "javascript:void(0)", "mailto:ads@example.com", "urn:uuid:1", "myapp://open?x=1", "myapp://",
          "file:///C:/ads/video.mp4", "file://localhost/x", "file:x", "about:blank", "data:text/plain,x"})
        EXPECT_TRUE(is_absolute_url(s)) << s;
    for (const char* s :
         {"", "   ", "//cdn.example.com/x.mp4", "www.example.com/x", "/x/y.mp4", "x.mp4", "1http://a/", "https://",
          "https://?x", "http://user@/x", "myapp://user@/", "myapp://:80/", "file://a:b/x", "file://a b/x"})
        EXPECT_FALSE(is_absolute_url(s)) << s;
}

TEST(Url, WhitespaceAndControls) {
    EXPECT_TRUE(is_absolute_url("  \x01https://t.example.com/px\x1f \n"));
    EXPECT_TRUE(is_absolute_url("ht\ttps://t.exa\nmple.com:4\r43/px"));
    EXPECT_TRUE(is_absolute_url(std::string_view("https://t.example.com/\0x", 24)));
    EXPECT_FALSE(is_absolute_url(std::string_view("https://t.exa\0mple.com/", 24)));
    EXPECT_FALSE(is_absolute_url("\u00A0https://t.example.com/"));  // NBSP is not stripped
    EXPECT_FALSE(is_absolute_url("\uFEFFhttps://t.example.com/"));
    EXPECT_FALSE(is_absolute_url("https://t.example.com\u3000/"));  // ideographic space is disallowed in hosts
}

TEST(Url, PortsAndAddresses) {
    for (const char* s :
         {"http://a.example:0/", "http://a.example:65535/", "http://a.example:000000000080/", "http://127.0.0.1/",
          "http://0x7f.1/", "http://0177.0.0.1/", "http://4294967295/", "http://[::1]/", "http://[::1]:8080/",
          "http://[1:2:3:4:5:6:7:8]/", "http://[::ffff:1.2.3.4]/", "foo://[::1]/", "http://1.2.3.4./", "http://a.1x/"})
        EXPECT_TRUE(is_absolute_url(s)) << s;
    for (const char* s :
         {"http://a.example:65536/", "http://a.example:-1/", "http://a.example:0x50/", "http://a.example:８０/",
          "http://a.example:80:81/", "http://1.2.3.256/", "http://4294967296/", "http://1.2.3.4.5/", "http://a.09/",
          "http://[::1/", "http://[::1]x/", "http://[::1%25eth0]/", "http://[1:2:3:4:5:6:7]/",
          "http://[1:2:3:4:5:6:7:8:9]/", "http://[::1.2.3.256]/", "http://[::01.2.3.4]/", "http://[:1]/", "http://[]/"})
        EXPECT_FALSE(is_absolute_url(s)) << s;
}

TEST(Url, InternationalAndEncodedHosts) {
    for (const char* s :
         {"https://bücher.example/", "https://xn--bcher-kva.example/", "https://BÜCHER.EXAMPLE/",
          "https://例え.テスト/x", "https://a。b．c/", "https://ex%41mple.com/", "https://ex\u00ADample.com/",
          "https://ｅｘａｍｐｌｅ.com/", "https://a..b/", "http://a<\u0338b/", "https://a_b.example/"})
        EXPECT_TRUE(is_absolute_url(s)) << s;
    for (const char* s : {"https://exa%20mple.com/", "https://ex%ample.com/", "https://%ff.com/", "https://\u00AD/",
                          "https://ex\uFFFDample.com/", "https://a／b.com/", "https://a\u200Db.com/", "https://\xC3/",
                          "https://a\xFF.com/"})
        EXPECT_FALSE(is_absolute_url(s)) << s;
    // Invalid UTF-8 outside the host is carried along without judgement.
    EXPECT_TRUE(is_absolute_url("https://t.example.com/\xFF\xC3?\x80"));
}

// The quick test may only accept what the full parser accepts; it must also
// take the common tracking URLs, or it is dead weight.
TEST(Url, QuickTestNeverAcceptsWhatTheParserRejects) {
    std::vector<std::string> inputs;
    for (const json& j : read_json_lines(vectors_dir() + "absolute.jsonl")) inputs.push_back(j.at("input").get<std::string>());
    for (const json& entry : json::parse(adsieve::testing::read_file(vectors_dir() + "urltestdata.json")))
        if (entry.is_object() && entry.contains("input")) inputs.push_back(entry.at("input").get<std::string>());
    // Near misses of the quick test's shape, and random texts built from the
    // bytes it cares about behind the prefixes it looks for.
    for (const char* s :
         {"http://1.2.3.4/", "http://a.09/", "http://a.0x/", "http://a.0x1f", "http://a.1./", "http://0/", "http://a.b.1.",
          "http://xn--a.com/", "http://a.XN--a/", "http://a.xN--/", "http://axn--b.com/", "http://a.com:65536/",
          "http://a.com:123456/", "http://a.com:0000080/", "http://a.com:8a/", "http://a.com:80:81/", "http:///a.com",
          "http:/a.com", "https:a.com", "http://a.com\\x", "http://a@b.com/", "http://a.com%41/", "http://a.b\t.com/",
          "http://a.com /", "http://a.com\x01/", "httpss://a.com", "http://", "http://:80/", "http://./", "http://../",
          "http://-/", "http://_/", "http://a..b/", "HTTPS://A.COM:/", "http://a.com?", "http://a.com#", "http://a.com\x7f"})
        inputs.emplace_back(s);
    inputs.emplace_back("http://a.com\0/", 14);
    // Long hosts are classified sixteen bytes at a time: one odd byte at each
    // position of a host that spans several blocks.
    const std::string host(40, 'a');
    for (std::size_t k = 0; k < host.size(); ++k)
        for (char odd : std::string("%@\\ \t\x01\x7F\xC3[]`{:", 13)) {
            std::string h = host;
            h[k] = odd;
            inputs.push_back("https://" + h + ".example/x");
            inputs.push_back("http://" + h.substr(0, k + 1) + "/x");
        }
    // The last label is found while the host is classified: a numeric last
    // label, with or without a trailing dot, ending at each position.
    for (std::size_t k = 0; k + 2 < host.size(); ++k) {
        std::string h = host.substr(0, k + 2);
        h[k] = '.';
        h[k + 1] = '7';
        inputs.push_back("https://" + h + "/x");
        inputs.push_back("https://" + h + "./x");
        inputs.push_back("http://" + host + "." + h);
    }
    const std::string common = "aZ9-._";
    const std::string rare = "xn0:/?#@%[]\\\t \x01\x7f\xC3\xA9";
    std::uint32_t state = 12345;
    auto next = [&] { return state = state * 1103515245u + 12345u, (state >> 16) & 0x7FFF; };
    for (int k = 0; k < 30000; ++k) {
        std::string s = (k % 3 == 0) ? "https://" : (k % 3 == 1) ? "http://" : "HtTp://";
        for (std::size_t len = next() % 48; len > 0; --len)
            s.push_back(next() % 4 != 0 ? common[next() % common.size()] : rare[next() % rare.size()]);
        inputs.push_back(std::move(s));
    }
    std::size_t quick = 0;
    for (const std::string& input : inputs) {
        if (!adsieve::url::is_plain_web_url(input)) continue;
        ++quick;
        EXPECT_TRUE(adsieve::url::parses_as_absolute_url(input)) << json(input).dump();
    }
    EXPECT_GT(quick, 1000u);
    for (const char* s : {"https://track.example.com/imp?cb=[CACHEBUSTING]", "HTTP://Pixel.Example-CDN.com:8443/px.gif",
                          "http://t.example.org", "https://a_b.example.co.uk#[ADPLAYHEAD]", "https://x.example.com:/",
                          "https://ads-delivery-cluster-0042.eu-west.Example-CDN.com:443/v?x=1"})
        EXPECT_TRUE(adsieve::url::is_plain_web_url(s)) << s;
}

// The scheme filter only ever turns away texts the parser fails: the vectors,
// texts of leaf elements that are no URLs, and random texts made of the bytes
// it looks at (scheme bytes, ":", the bytes the parser strips or drops).
TEST(Url, SchemeFilterNeverRejectsAUrl) {
    std::vector<std::string> inputs;
    for (const json& j : read_json_lines(vectors_dir() + "absolute.jsonl")) inputs.push_back(j.at("input").get<std::string>());
    for (const json& entry : json::parse(adsieve::testing::read_file(vectors_dir() + "urltestdata.json")))
        if (entry.is_object() && entry.contains("input")) inputs.push_back(entry.at("input").get<std::string>());
    for (const char* s : {"00:00:30.000", "Example Ad Server", "serving-0", "1.25", "UA-0", "a:", "a", ":", "h\ttp://a.b/",
                          "ht\ntps://a.b", " https://a.b", "\x01https://a.b", "a+b-c.d:x", "about:blank", "data:,",
                          "javascript:void(0)", "mailto:x@y", "x :y", "9a:b", "+a:b", "\xC3\xA9:x"})
        inputs.emplace_back(s);
    constexpr char kBytes[] = "aZ9+-.:/ \t\n\r\x01\x7f\xC3_%";
    const std::string bytes(kBytes, sizeof kBytes - 1);
    std::uint32_t state = 777;
    auto next = [&] { return state = state * 1103515245u + 12345u, (state >> 16) & 0x7FFF; };
    for (int k = 0; k < 30000; ++k) {
        std::string s;
        for (std::size_t len = next() % 12; len > 0; --len) s.push_back(bytes[next() % bytes.size()]);
        if (k % 2 == 0) s += "//a.example/";
        inputs.push_back(std::move(s));
    }
    std::size_t turned_away = 0, urls = 0;
    for (const std::string& input : inputs) {
        const bool url = is_absolute_url(input);
        urls += url;
        if (adsieve::url::may_be_absolute_url(input)) continue;
        ++turned_away;
        EXPECT_FALSE(url) << json(input).dump();
    }
    EXPECT_GT(turned_away, 10000u);
    EXPECT_GT(urls, 1000u);
}

TEST(Url, LongInputs) {
    const std::string label(100000, 'a');
    EXPECT_TRUE(is_absolute_url("https://" + label + ".example/"));
    EXPECT_TRUE(is_absolute_url("https://t.example.com/?" + std::string(1000000, 'q')));
    std::string idn;
    for (int i = 0; i < 5000; ++i) idn += "\u00E9";  // no length limit on labels
    EXPECT_TRUE(is_absolute_url("https://" + idn + "/"));
    EXPECT_FALSE(is_absolute_url("https://" + std::string(200000, '[') + "/"));
    EXPECT_FALSE(is_absolute_url("https://[" + std::string(200000, ':') + "]/"));
    EXPECT_FALSE(is_absolute_url("https://" + std::string(200000, '1') + "/"));
    EXPECT_TRUE(is_absolute_url("myapp://" + std::string(200000, '@') + "h/"));
}

}  // namespace
