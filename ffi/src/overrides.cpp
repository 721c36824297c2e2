#include "overrides.h"

#include <cstring>

#include "rules/rules.h"
#include "text.h"

namespace adsieve::ffi {

namespace {

std::string_view strip_quotes(std::string_view s) {
    s = text::trim(s);
    while (!s.empty() && s.front() == '"') s.remove_prefix(1);
    while (!s.empty() && s.back() == '"') s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<Level> level_word(std::string_view w) {
    if (w == "error") return Level::Error;
    if (w == "warning") return Level::Warning;
    if (w == "info") return Level::Info;
    if (w == "off") return Level::Off;
    return std::nullopt;
}

std::optional<OverrideMap> read_overrides(const char* raw) {
    if (!raw) return std::nullopt;
    std::string_view all(raw, std::strlen(raw));
    if (!text::is_valid_utf8(all)) return std::nullopt;
    std::string_view t = text::trim(all);
    if (t.size() < 2 || t.front() != '{' || t.back() != '}') return std::nullopt;
    std::string_view body = t.substr(1, t.size() - 2);
    OverrideMap map;
    std::size_t pos = 0;
    while (true) {
        std::size_t comma = body.find(',', pos);
        std::string_view piece =
            text::trim(body.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
        std::size_t colon = piece.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        std::string_view key = strip_quotes(piece.substr(0, colon));
        std::string_view value = strip_quotes(piece.substr(colon + 1));
        auto level = level_word(value);
        if (level && rules::find_rule(key)) map.insert_or_assign(std::string(key), *level);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    if (map.empty()) return std::nullopt;
    return map;
}

std::string read_overrides_strict(std::string_view all, OverrideMap& map) {
    if (!text::is_valid_utf8(all)) return "rule overrides are not valid UTF-8";
    std::string_view t = text::trim(all);
    if (t.size() < 2 || t.front() != '{' || t.back() != '}')
        return "cannot read rule overrides: expected an object such as {\"RULE-ID\":\"off\"}";
    std::string_view body = text::trim(t.substr(1, t.size() - 2));
    if (body.empty()) return {};
    std::size_t pos = 0;
    while (true) {
        std::size_t comma = body.find(',', pos);
        std::string_view piece =
            text::trim(body.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
        std::size_t colon = piece.find(':');
        if (colon == std::string_view::npos)
            return "cannot read rule overrides: expected \"RULE-ID\":\"LEVEL\" but found \"" +
                   std::string(piece) + "\"";
        std::string_view key = strip_quotes(piece.substr(0, colon));
        std::string_view value = strip_quotes(piece.substr(colon + 1));
        if (!rules::find_rule(key)) return "unknown rule id \"" + std::string(key) + "\"";
        auto level = level_word(value);
        if (!level)
            return "unknown level \"" + std::string(value) + "\" for " + std::string(key) +
                   " (use error, warning, info or off)";
        map.insert_or_assign(std::string(key), *level);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    return {};
}

}  // namespace adsieve::ffi
