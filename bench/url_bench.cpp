// Absolute-URL test throughput on typical tracking and media URLs.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "url/url.h"

namespace {

// Mostly https trackers with query strings and macros, some http, a few
// international hosts, and the occasional relative or broken text.
const std::vector<std::string>& tracking_urls() {
    static const std::vector<std::string> urls = [] {
        std::vector<std::string> v;
        for (int i = 0; i < 40; ++i) {
            std::string n = std::to_string(i);
            v.push_back("https://track.example.com/imp?ad=" + n + "&cb=[CACHEBUSTING]&ts=[TIMESTAMP]&gdpr=${GDPR}");
            v.push_back("https://ads.example.net/v1/event?e=start&adid=" + n +
                        "&pos=[ADPLAYHEAD]&ua=[DEVICEUA]&ip=[DEVICEIP]&r=%%CACHEBUSTER%%");
            v.push_back("https://cdn.example.com/v/" + n + "/video-1280x720-2000k.mp4");
            v.push_back("https://Pixel.Example-CDN.com:8443/px.gif?u=" + n + "&page=[PAGEURL]#frag");
            v.push_back("http://t.example.org/click?id=" + n + "&redirect=https%3A%2F%2Fwww.example.com%2Flanding");
            v.push_back("https://www.example.com/landing?utm_source=vast&utm_campaign=c" + n);
            v.push_back("https://measure.example.io/q1?ad=" + n + "&macro={{AUCTION_ID}}&w=__WIDTH__");
            v.push_back("http://203.0.113." + n + "/imp?c=" + n);
        }
        for (int i = 0; i < 4; ++i) {
            v.push_back("https://bücher.example/imp?cb=[CACHEBUSTING]");
            v.push_back("https://例え.テスト/track?e=complete");
            v.push_back("//cdn.example.com/x.mp4");
            v.push_back("https://[DOMAIN]/imp?x=1");
        }
        return v;
    }();
    return urls;
}

void BM_IsAbsoluteUrl_Mix(benchmark::State& state) {
    const auto& urls = tracking_urls();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(adsieve::url::is_absolute_url(urls[i]));
        if (++i == urls.size()) i = 0;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_IsAbsoluteUrl_Mix);

void BM_IsAbsoluteUrl_AsciiHttps(benchmark::State& state) {
    const std::string url = "https://track.example.com/imp?ad=42&cb=[CACHEBUSTING]&ts=[TIMESTAMP]&gdpr=${GDPR}";
    for (auto _ : state) benchmark::DoNotOptimize(adsieve::url::is_absolute_url(url));
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_IsAbsoluteUrl_AsciiHttps);

// The same URL through the full parser alone, without the quick test.
void BM_FullParser_AsciiHttps(benchmark::State& state) {
    const std::string url = "https://track.example.com/imp?ad=42&cb=[CACHEBUSTING]&ts=[TIMESTAMP]&gdpr=${GDPR}";
    for (auto _ : state) benchmark::DoNotOptimize(adsieve::url::parses_as_absolute_url(url));
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_FullParser_AsciiHttps);

void BM_IsAbsoluteUrl_Idn(benchmark::State& state) {
    const std::string url = "https://bücher.example/imp?cb=[CACHEBUSTING]";
    for (auto _ : state) benchmark::DoNotOptimize(adsieve::url::is_absolute_url(url));
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_IsAbsoluteUrl_Idn);

}  // namespace
