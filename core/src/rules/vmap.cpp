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

constexpr std::string_view kNamespaceUri = "http://www.iab.net/videosuite/vmap";
constexpr std::string_view kNamespaceMessage =
    "<VMAP> should declare the VMAP namespace URI http://www.iab.net/videosuite/vmap";

constexpr std::string_view kRef22 = "IAB VMAP 1.0.1 §2.2";
constexpr std::string_view kRef23 = "IAB VMAP 1.0.1 §2.3";
constexpr std::string_view kRef231 = "IAB VMAP 1.0.1 §2.3.1";
constexpr std::string_view kRef232 = "IAB VMAP 1.0.1 §2.3.2";
constexpr std::string_view kRef233 = "IAB VMAP 1.0.1 §2.3.3";
constexpr std::string_view kRef25 = "IAB VMAP 1.0.1 §2.5";
constexpr std::string_view kRef32 = "IAB VMAP 1.0.1 §3.2";

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

void check_embedded_vast(const Node& vast, const std::string& data_path, const ValidationContext& ctx,
                         Issues& issues) {
    VastDocument embedded;
    embedded.root = deep_copy(vast);
    DetectedVersion version = detect_version(embedded.root);
    Issues found;
    run(embedded, version, ctx, found);
    for (Issue& is : found) {
        is.path = is.path ? join(data_path, *is.path) : data_path;
        issues.push_back(std::move(is));
    }
}

void check_content(const Node& content, const std::string& source_path, const ValidationContext& ctx,
                   Issues& issues) {
    if (content.name == "CustomAdData") {
        if (!text::trim(content.text).empty() && !content.has_cdata)
            emit(ctx, issues, "VMAP-1.0-customaddata-cdata", kError,
                 "<CustomAdData> data must be contained within a CDATA block", join(source_path, "/CustomAdData"),
                 kRef232, &content);
    } else if (content.name == "AdTagURI") {
        if (text::trim(content.text).empty())
            emit(ctx, issues, "VMAP-1.0-adtaguri-empty", kError,
                 "<AdTagURI> must contain a URI referencing an ad response", join(source_path, "/AdTagURI"),
                 kRef232, &content);
        else if (!content.has_cdata)
            emit(ctx, issues, "VMAP-1.0-adtaguri-cdata", kError,
                 "<AdTagURI> URI must be contained within a CDATA block", join(source_path, "/AdTagURI"), kRef232,
                 &content);
    } else if (content.name == "VASTAdData") {
        std::string data_path = join(source_path, "/VASTAdData");
        const Node* vast = content.child("VAST");
        if (!vast) {
            emit(ctx, issues, "VMAP-1.0-vastaddata-vast-root", kError,
                 "<VASTAdData> must contain an embedded <VAST> element (as XML, not CDATA)", data_path, kRef232,
                 &content);
            return;
        }
        auto version = vast->attr("version");
        if (version && text::trim(*version) != "3.0")
            emit(ctx, issues, "VMAP-1.0-embedded-vast-version", kInfo,
                 "Embedded VAST is not version 3.0 — VMAP-compliant players are only required to support VAST 3.0",
                 attr_path(join(data_path, "/VAST"), "version"), kRef32, vast);
        check_embedded_vast(*vast, data_path, ctx, issues);
    }
}

void check_ad_source(const Node& source, const std::string& break_path, const ValidationContext& ctx,
                     Issues& issues) {
    std::string source_path = join(break_path, "/AdSource");
    for (std::string_view name : {std::string_view("allowMultipleAds"), std::string_view("followRedirects")}) {
        auto v = source.attr(name);
        if (v && !is_valid_boolean(*v))
            emit(ctx, issues, "VMAP-1.0-adsource-bool-attr", kWarning,
                 "<AdSource> allowMultipleAds and followRedirects attributes must be \"true\" or \"false\"",
                 attr_path(source_path, name), kRef232, &source);
    }
    std::vector<const Node*> contents;
    for (const Node& c : source.children)
        if (one_of(c.name, kContentNames)) contents.push_back(&c);
    if (contents.size() != 1)
        emit(ctx, issues, "VMAP-1.0-adsource-content", kError,
             "<AdSource> must contain exactly one of <VASTAdData>, <AdTagURI>, or <CustomAdData>", source_path,
             kRef232, &source);
    for (const Node* c : contents) check_content(*c, source_path, ctx, issues);
}

void check_tracking_events(const Node& events, const std::string& break_path, const ValidationContext& ctx,
                           Issues& issues) {
    std::string events_path = join(break_path, "/TrackingEvents");
    for (const Node& c : events.children)
        if (c.name != "Tracking")
            emit(ctx, issues, "VMAP-1.0-trackingevents-unknown-child", kError,
                 "VMAP <TrackingEvents> may only contain <Tracking> elements", join(events_path, "/" + c.name),
                 kRef233, &c);
    std::size_t k = 0;
    for (const Node& t : events.children) {
        if (t.name != "Tracking") continue;
        std::string path = indexed(events_path, "Tracking", k++);
        auto event = t.attr("event");
        if (!event) {
            emit(ctx, issues, "VMAP-1.0-tracking-event", kError,
                 "VMAP <Tracking> is missing the required event attribute", path, kRef233, &t);
        } else if (*event == "error") {
            if (t.text.find("[ERROR_CODE]") == std::string::npos)
                emit(ctx, issues, "VMAP-1.0-error-tracking-macro", kInfo,
                     "VMAP error tracking URI does not include the [ERROR_CODE] macro — error diagnostics will be lost",
                     path, kRef25, &t);
        } else if (*event != "breakStart" && *event != "breakEnd") {
            emit(ctx, issues, "VMAP-1.0-tracking-event-value", kError,
                 "VMAP <Tracking> event must be \"breakStart\", \"breakEnd\", or \"error\"", attr_path(path, "event"),
                 kRef233, &t);
        }
        if (text::trim(t.text).empty())
            emit(ctx, issues, "VMAP-1.0-tracking-url-empty", kError,
                 "VMAP <Tracking> element does not contain a tracking URI", path, kRef233, &t);
    }
}

void check_ad_break(const Node& brk, const std::string& break_path, const ValidationContext& ctx, Issues& issues) {
    auto offset = brk.attr("timeOffset");
    if (!offset)
        emit(ctx, issues, "VMAP-1.0-adbreak-timeoffset", kError,
             "<AdBreak> is missing the required timeOffset attribute", break_path, kRef231, &brk);
    else if (!is_valid_time_offset(*offset))
        emit(ctx, issues, "VMAP-1.0-adbreak-timeoffset-format", kError,
             "<AdBreak> timeOffset must be hh:mm:ss[.mmm], n% (0-100), \"start\", \"end\", or #m (m >= 1)",
             attr_path(break_path, "timeOffset"), kRef231, &brk);

    auto type = brk.attr("breakType");
    if (!type)
        emit(ctx, issues, "VMAP-1.0-adbreak-breaktype", kError, "<AdBreak> is missing the required breakType attribute",
             break_path, kRef231, &brk);
    else if (!is_valid_break_type(*type))
        emit(ctx, issues, "VMAP-1.0-adbreak-breaktype-value", kError,
             "<AdBreak> breakType must be a comma-separated list of \"linear\", \"nonlinear\", or \"display\" with no "
             "spaces",
             attr_path(break_path, "breakType"), kRef231, &brk);

    if (auto repeat = brk.attr("repeatAfter")) {
        if (!values::is_hhmmss(text::trim(*repeat)))
            emit(ctx, issues, "VMAP-1.0-adbreak-repeatafter-format", kWarning,
                 "<AdBreak> repeatAfter attribute does not match the required hh:mm:ss[.mmm] format",
                 attr_path(break_path, "repeatAfter"), kRef231, &brk);
        if (offset) {
            std::string_view o = text::trim(*offset);
            if (o == "start" || o == "end")
                emit(ctx, issues, "VMAP-1.0-repeatafter-conflict", kWarning,
                     "repeatAfter has no effect when timeOffset is \"start\" or \"end\" — those positions occur once "
                     "per playback",
                     attr_path(break_path, "repeatAfter"), kRef231, &brk);
        }
    }

    for (const Node& c : brk.children)
        if (c.name != "AdSource" && c.name != "Extensions" && c.name != "TrackingEvents")
            emit(ctx, issues, "VMAP-1.0-adbreak-unknown-child", kError,
                 "<AdBreak> may only contain <AdSource>, <TrackingEvents>, and <Extensions> elements",
                 join(break_path, "/" + c.name), kRef231, &c);

    const Node* first_source = nullptr;
    const Node* second_source = nullptr;
    for (const Node& c : brk.children) {
        if (c.name != "AdSource") continue;
        if (!first_source) {
            first_source = &c;
        } else {
            second_source = &c;
            break;
        }
    }
    if (second_source)
        emit(ctx, issues, "VMAP-1.0-adbreak-multiple-adsource", kError,
             "<AdBreak> may contain at most one <AdSource> element", join(break_path, "/AdSource[1]"), kRef232,
             second_source);
    if (first_source) check_ad_source(*first_source, break_path, ctx, issues);

    for (const Node& c : brk.children)
        if (c.name == "TrackingEvents") check_tracking_events(c, break_path, ctx, issues);
}

void check(const VastDocument& doc, const ValidationContext& ctx, Issues& issues) {
    const Node& root = doc.root;

    auto version = root.attr("version");
    if (!version)
        emit(ctx, issues, "VMAP-1.0-root-version", kError,
             "Root <VMAP> element is missing the required version attribute", std::string("/VMAP"), kRef23, &root);
    else if (text::trim(*version) != "1.0")
        emit(ctx, issues, "VMAP-1.0-root-version-value", kWarning,
             "<VMAP> version attribute is not \"1.0\" — the only published VMAP version", std::string("/VMAP[@version]"),
             kRef23, &root);

    bool declares_namespace = false;
    for (const Attr& a : root.attrs)
        if (text::trim(a.value) == kNamespaceUri) {
            declares_namespace = true;
            break;
        }
    if (!declares_namespace)
        emit(ctx, issues, "VMAP-1.0-root-namespace", kWarning, kNamespaceMessage, std::string("/VMAP"), kRef22, &root);

    for (const Node& c : root.children)
        if (c.name != "AdBreak" && c.name != "Extensions")
            emit(ctx, issues, "VMAP-1.0-root-unknown-child", kError,
                 "<VMAP> may only contain <AdBreak> and <Extensions> elements", join("/VMAP/", c.name), kRef231, &c);

    std::size_t i = 0;
    for (const Node& c : root.children)
        if (c.name == "AdBreak") check_ad_break(c, indexed("/VMAP", "AdBreak", i++), ctx, issues);
}

}  // namespace adsieve::rules::vmap
