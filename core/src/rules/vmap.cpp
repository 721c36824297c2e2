// Checks on VMAP playlists: the root, the ad breaks with their attributes,
// the ad source of each break and its content, the break tracking events,
// and the VAST documents embedded in <VASTAdData>, which go through the whole
// VAST rule set with their issues folded in under the embedding path.
#include "rules/vmap.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rules/values.h"
#include "text.h"
#include "version.h"

namespace adsieve::rules::vmap {

namespace {

constexpr PathRef kVmapPath{nullptr, "/VMAP"};
constexpr std::string_view kNamespaceUri = "http://www.iab.net/videosuite/vmap";

constexpr std::array<std::string_view, 3> kBreakTypes = {"linear", "nonlinear", "display"};
constexpr std::array<std::string_view, 3> kContentNames = {"VASTAdData", "AdTagURI", "CustomAdData"};

// "#" then an optional "+" and one or more ASCII digits, fitting 64 bits, at least 1.
bool is_position_offset(std::string_view s) noexcept {
    if (s.empty() || s[0] != '#') return false;
    std::string_view digits = s.substr(1);
    if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
    if (digits.empty()) return false;
    for (char c : digits)
        if (c < '0' || c > '9') return false;
    std::uint64_t v = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    return ec == std::errc() && ptr == digits.data() + digits.size() && v >= 1;
}

bool is_valid_time_offset(std::string_view raw) noexcept {
    std::string_view s = text::trim(raw);
    if (s.empty()) return false;
    if (s == "start" || s == "end") return true;
    if (s[0] == '#') return is_position_offset(s);
    // Ends in "%": the percentage rule; otherwise the clock time.
    return values::is_valid_time_or_percent(s);
}

bool is_valid_break_type(std::string_view raw) noexcept {
    std::size_t start = 0;
    while (true) {
        std::size_t comma = raw.find(',', start);
        std::string_view piece = raw.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (!one_of(piece, kBreakTypes)) return false;
        if (comma == std::string_view::npos) return true;
        start = comma + 1;
    }
}

bool is_valid_boolean(std::string_view raw) noexcept {
    std::string_view s = text::trim(raw);
    return s == "true" || s == "false";
}

}  // namespace

// The embedded document is validated in place with the full VAST rule set,
// its findings reported under the path of the element that carries it.
void check_embedded_vast(const Node& vast, const PathRef& data_path, Report& report) {
    const std::string_view outer = report.path_prefix;
    const std::string prefix = path_string(outer, data_path);
    report.path_prefix = prefix;
    run(vast, false, detect_version(vast), report);
    report.path_prefix = outer;
}

void check_content(const Node& content, const PathRef& source_path, Report& report) {
    if (content.name() == "CustomAdData") {
        if (!text::trim(content.text()).empty() && !content.has_cdata)
            report(rule::vmap_customaddata_cdata, join(source_path, "/CustomAdData"), &content);
    } else if (content.name() == "AdTagURI") {
        if (text::trim(content.text()).empty())
            report(rule::vmap_adtaguri_empty, join(source_path, "/AdTagURI"), &content);
        else if (!content.has_cdata)
            report(rule::vmap_adtaguri_cdata, join(source_path, "/AdTagURI"), &content);
    } else if (content.name() == "VASTAdData") {
        const PathRef data_path = join(source_path, "/VASTAdData");
        const Node* vast = content.child("VAST");
        if (!vast) {
            report(rule::vmap_vastaddata_vast_root, data_path, &content);
            return;
        }
        auto version = vast->attr("version");
        if (version && text::trim(*version) != "3.0")
            report(rule::vmap_embedded_vast_version, join(data_path, "/VAST[@version]"), vast);
        check_embedded_vast(*vast, data_path, report);
    }
}

void check_ad_source(const Node& source, const PathRef& break_path, Report& report) {
    const PathRef source_path = join(break_path, "/AdSource");
    for (std::string_view name : {std::string_view("allowMultipleAds"), std::string_view("followRedirects")}) {
        auto v = source.attr(name);
        if (v && !is_valid_boolean(*v))
            report(rule::vmap_adsource_bool_attr, attr_path(source_path, name), &source);
    }
    std::size_t contents = 0;
    for (const Node& c : source.children())
        if (one_of(c.name(), kContentNames)) ++contents;
    if (contents != 1)
        report(rule::vmap_adsource_content, source_path, &source);
    if (contents == 0) return;
    for (const Node& c : source.children())
        if (one_of(c.name(), kContentNames)) check_content(c, source_path, report);
}

void check_tracking_events(const Node& events, const PathRef& break_path, Report& report) {
    const PathRef events_path = join(break_path, "/TrackingEvents");
    for (const Node& c : events.children())
        if (c.name() != "Tracking")
            report(rule::vmap_trackingevents_unknown_child, named(events_path, c.name()), &c);
    std::size_t k = 0;
    for (const Node& t : events.children()) {
        if (t.name() != "Tracking") continue;
        const PathRef path = indexed(events_path, "Tracking", k++);
        auto event = t.attr("event");
        if (!event) {
            report(rule::vmap_tracking_event, path, &t);
        } else if (*event == "error") {
            if (t.text().find("[ERROR_CODE]") == std::string::npos)
                report(rule::vmap_error_tracking_macro, path, &t);
        } else if (*event != "breakStart" && *event != "breakEnd") {
            report(rule::vmap_tracking_event_value, attr_path(path, "event"), &t);
        }
        if (text::trim(t.text()).empty())
            report(rule::vmap_tracking_url_empty, path, &t);
    }
}

void check_ad_break(const Node& brk, const PathRef& break_path, Report& report) {
    auto offset = brk.attr("timeOffset");
    if (!offset)
        report(rule::vmap_adbreak_timeoffset, break_path, &brk);
    else if (!is_valid_time_offset(*offset))
        report(rule::vmap_adbreak_timeoffset_format, attr_path(break_path, "timeOffset"), &brk);

    auto type = brk.attr("breakType");
    if (!type)
        report(rule::vmap_adbreak_breaktype, break_path, &brk);
    else if (!is_valid_break_type(*type))
        report(rule::vmap_adbreak_breaktype_value, attr_path(break_path, "breakType"), &brk);

    if (auto repeat = brk.attr("repeatAfter")) {
        if (!values::is_hhmmss(text::trim(*repeat)))
            report(rule::vmap_adbreak_repeatafter_format, attr_path(break_path, "repeatAfter"), &brk);
        if (offset) {
            std::string_view o = text::trim(*offset);
            if (o == "start" || o == "end")
                report(rule::vmap_repeatafter_conflict, attr_path(break_path, "repeatAfter"), &brk);
        }
    }

    for (const Node& c : brk.children())
        if (c.name() != "AdSource" && c.name() != "Extensions" && c.name() != "TrackingEvents")
            report(rule::vmap_adbreak_unknown_child, named(break_path, c.name()), &c);

    const Node* first_source = nullptr;
    const Node* second_source = nullptr;
    for (const Node& c : brk.children()) {
        if (c.name() != "AdSource") continue;
        if (!first_source) {
            first_source = &c;
        } else {
            second_source = &c;
            break;
        }
    }
    if (second_source)
        report(rule::vmap_adbreak_multiple_adsource, join(break_path, "/AdSource[1]"), second_source);
    if (first_source) check_ad_source(*first_source, break_path, report);

    for (const Node& c : brk.children())
        if (c.name() == "TrackingEvents") check_tracking_events(c, break_path, report);
}

void check(const Node& root, Report& report) {

    auto version = root.attr("version");
    if (!version)
        report(rule::vmap_root_version, "/VMAP", &root);
    else if (text::trim(*version) != "1.0")
        report(rule::vmap_root_version_value, "/VMAP[@version]", &root);

    bool declares_namespace = false;
    for (const Attr& a : root.attrs())
        if (text::trim(a.value) == kNamespaceUri) {
            declares_namespace = true;
            break;
        }
    if (!declares_namespace)
        report(rule::vmap_root_namespace, "/VMAP", &root);

    for (const Node& c : root.children())
        if (c.name() != "AdBreak" && c.name() != "Extensions")
            report(rule::vmap_root_unknown_child, named(kVmapPath, c.name()), &c);

    std::size_t i = 0;
    for (const Node& c : root.children())
        if (c.name() == "AdBreak") check_ad_break(c, indexed(kVmapPath, "AdBreak", i++), report);
}

}  // namespace adsieve::rules::vmap
