// Fuzz entry for the rule-override text. The first byte picks one of a few
// fixed documents, the rest is the text. It goes through both readers: the
// strict one of the typed call must accept it or refuse it with an overrides
// error, and when it accepts, the lenient options call must give the same
// result, since a text that is read without complaint means the same to both.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "adsieve.h"

namespace {

// Documents with findings from many rules, so overrides change the result.
constexpr std::string_view kDocuments[] = {
    R"(<VAST version="4.2"><Ad id="1"><InLine><AdSystem>s</AdSystem><AdTitle>t</AdTitle>)"
    R"(<Impression>http://ads.example.com/i?x=[timestamp]</Impression><Error></Error>)"
    R"(<Creatives><Creative id="c" foo="1"><Linear><Duration>00:00:15</Duration><TrackingEvents>)"
    R"(<Tracking event="start">http://ads.example.com/s</Tracking><Tracking event="bogus"></Tracking>)"
    R"(</TrackingEvents><MediaFiles><MediaFile delivery="stream" type="video/x-flv" width="0" height="1">)"
    R"(http://cdn.example.com/a.flv</MediaFile></MediaFiles></Linear></Creative></Creatives>)"
    R"(<Extensions><Extension><Impression>x</Impression>a&amp;b</Extension></Extensions></InLine></Ad></VAST>)",
    R"(<VAST version="3.0"><Ad><Wrapper><AdSystem>s</AdSystem><VASTAdTagURI>not a url</VASTAdTagURI>)"
    R"(<Impression/></Wrapper></Ad><Ad sequence="1"><InLine/></Ad></VAST>)",
    R"(<vmap:VMAP xmlns:vmap="http://www.iab.net/videosuite/vmap" version="1.0"><vmap:AdBreak timeOffset="x">)"
    R"(<vmap:AdSource><vmap:AdTagURI templateType="vast3">http://a.example/t</vmap:AdTagURI></vmap:AdSource>)"
    R"(</vmap:AdBreak><Foo/></vmap:VMAP>)",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view doc = kDocuments[data[0] % std::size(kDocuments)];
    // Both readers take a NUL-terminated text, so an embedded NUL ends it for both.
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    adsieve_options opts;
    adsieve_options_init(&opts);
    opts.rule_overrides = text.c_str();
    adsieve_error err;
    std::memset(&err, 0x5a, sizeof err);
    adsieve_result* strict = adsieve_validate_opts(doc.data(), doc.size(), &opts, &err);
    adsieve_result* lenient = adsieve_validate_with_options(doc.data(), doc.size(), 0, 0, text.c_str());
    if (!lenient || !adsieve_result_json(lenient)) __builtin_trap();
    if (std::memchr(err.message, '\0', sizeof err.message) == nullptr) __builtin_trap();
    if (strict) {
        if (err.status != ADSIEVE_OK) __builtin_trap();
        if (std::strcmp(adsieve_result_json(strict), adsieve_result_json(lenient)) != 0) __builtin_trap();
    } else if (err.status != ADSIEVE_ERR_OVERRIDES || err.message[0] == '\0') {
        __builtin_trap();
    }
    adsieve_result_free(strict);
    adsieve_result_free(lenient);
    return 0;
}
