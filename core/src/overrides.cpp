#include "overrides.h"

#include <cstring>

#include "rules/catalog.h"
#include "text.h"

namespace adsieve {

namespace {

std::string_view strip_quotes(std::string_view s) {
    s = text::trim(s);
    while (!s.empty() && s.front() == '"') s.remove_prefix(1);
    while (!s.empty() && s.back() == '"') s.remove_suffix(1);
    return s;
}

// Levels an override may name; "off" switches a rule off.
std::optional<Severity> level_word(std::string_view w) noexcept { return severity_from_word(w); }

}  // namespace

std::string add_override(std::string_view id, std::string_view level, Overrides& map) {
    const Rule* rule = find_rule(id);
    if (!rule) return "unknown rule id \"" + std::string(id) + "\"";
    auto sev = level_word(level);
    if (!sev)
        return "unknown level \"" + std::string(level) + "\" for " + std::string(id) +
               " (use error, warning, info or off)";
    map.insert_or_assign(std::string(rule->id), *sev);
    return {};
}

namespace {

// The text between the braces of an override object, or nothing when the
// text is not one.
std::optional<std::string_view> object_body(std::string_view all) {
    if (!text::is_valid_utf8(all)) return std::nullopt;
    std::string_view t = text::trim(all);
    if (t.size() < 2 || t.front() != '{' || t.back() != '}') return std::nullopt;
    return t.substr(1, t.size() - 2);
}

// Calls entry(key, value) for each comma-separated "key":"value" piece;
// returns the first piece without a colon, or nothing when all were read.
template <class Entry>
std::optional<std::string_view> for_each_entry(std::string_view body, Entry&& entry) {
    std::size_t pos = 0;
    while (true) {
        std::size_t comma = body.find(',', pos);
        std::string_view piece =
            text::trim(body.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
        std::size_t colon = piece.find(':');
        if (colon == std::string_view::npos) return piece;
        if (!entry(strip_quotes(piece.substr(0, colon)), strip_quotes(piece.substr(colon + 1)))) return std::nullopt;
        if (comma == std::string_view::npos) return std::nullopt;
        pos = comma + 1;
    }
}

}  // namespace

std::optional<Overrides> read_overrides(const char* raw) {
    if (!raw) return std::nullopt;
    auto body = object_body(std::string_view(raw, std::strlen(raw)));
    if (!body) return std::nullopt;
    Overrides map;
    auto unread = for_each_entry(*body, [&](std::string_view key, std::string_view value) {
        auto level = level_word(value);
        if (level && find_rule(key)) map.insert_or_assign(std::string(key), *level);
        return true;
    });
    if (unread || map.empty()) return std::nullopt;
    return map;
}

std::string read_overrides_strict(std::string_view all, Overrides& map) {
    if (!text::is_valid_utf8(all)) return "rule overrides are not valid UTF-8";
    auto body = object_body(all);
    if (!body) return "cannot read rule overrides: expected an object such as {\"RULE-ID\":\"off\"}";
    if (text::trim(*body).empty()) return {};
    std::string why;
    auto unread = for_each_entry(*body, [&](std::string_view key, std::string_view value) {
        why = add_override(key, value, map);
        return why.empty();
    });
    if (unread)
        return "cannot read rule overrides: expected \"RULE-ID\":\"LEVEL\" but found \"" + std::string(*unread) + "\"";
    return why;
}

}  // namespace adsieve
