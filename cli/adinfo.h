// What a player reads from a response to go on: its ads, the wrapper URIs to
// follow, the ad systems and the trackers it would fire. Read from the
// library's element tree, so the command parses nothing itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct Tracker {
    std::string kind;  // impression, error, click, a tracking event name, ...
    std::string url;
};

// A VMAP ad break whose source is fetched as a chain of its own.
struct BreakSource {
    std::string label;  // the break's id, or its time offset
    std::string uri;
    std::uint32_t depth = 0;  // 1 when the URI comes from an embedded wrapper
};

struct AdInfo {
    std::string root;  // local name of the root element; empty when there is none
    std::size_t ads = 0, inline_ads = 0, wrapper_ads = 0;
    std::vector<std::string> wrapper_uris;  // one per wrapper ad, in order ("" when it has none)
    std::vector<std::string> ad_systems;
    std::vector<Tracker> trackers;
    std::vector<BreakSource> breaks;
};

// Reads `xml` (valid UTF-8) through adsieve_tree_json. Returns false with
// `error` set when the library refuses it.
bool read_ad_info(std::string_view xml, AdInfo& out, std::string& error);

}  // namespace cli
