#include "settings.h"

#include <array>
#include <utility>

namespace cli {

namespace {

constexpr std::array<std::pair<std::string_view, Format>, 5> kFormats{{
    {"text", Format::text},
    {"json", Format::json},
    {"jsonl", Format::jsonl},
    {"sarif", Format::sarif},
    {"github", Format::github},
}};

constexpr std::array<std::pair<std::string_view, Color>, 3> kColors{{
    {"auto", Color::automatic},
    {"always", Color::always},
    {"never", Color::never},
}};

constexpr std::array<std::pair<std::string_view, Severity>, 3> kSeverities{{
    {"error", Severity::error},
    {"warning", Severity::warning},
    {"info", Severity::info},
}};

template <typename T, std::size_t N>
std::optional<T> lookup(const std::array<std::pair<std::string_view, T>, N>& table, std::string_view s) {
    for (const auto& [name, value] : table)
        if (name == s) return value;
    return std::nullopt;
}

std::string_view view(adsieve_str s) { return s.ptr ? std::string_view(s.ptr, s.len) : std::string_view(); }

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The entries of an override text the library has accepted, without braces.
std::string_view override_body(std::string_view text) {
    text = trim(text);
    if (text.size() >= 2) text = text.substr(1, text.size() - 2);
    return trim(text);
}

// Lets the library judge an override text on its own; returns its reason or "".
std::string check_overrides(const std::string& text) {
    adsieve_options o;
    adsieve_options_init(&o);
    o.rule_overrides = text.c_str();
    adsieve_error err{};
    adsieve_result* r = adsieve_validate_opts(nullptr, 0, &o, &err);
    if (r) {
        adsieve_result_free(r);
        return {};
    }
    return err.message[0] ? std::string(err.message) : std::string("cannot read rule overrides");
}

bool selects(std::string_view selector, std::string_view id) {
    return id.size() >= selector.size() && id.substr(0, selector.size()) == selector;
}

}  // namespace

std::optional<Format> format_named(std::string_view s) { return lookup(kFormats, s); }
std::optional<Color> color_named(std::string_view s) { return lookup(kColors, s); }
std::optional<Severity> severity_named(std::string_view s) { return lookup(kSeverities, s); }

std::string_view severity_word(Severity s) {
    switch (s) {
        case Severity::error: return "error";
        case Severity::warning: return "warning";
        case Severity::info: break;
    }
    return "info";
}

Catalog load_catalog() {
    Catalog c;
    const std::size_t n = adsieve_rule_count();
    c.rules.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        adsieve_rule_info info{};
        if (!adsieve_rule(i, &info)) break;
        RuleInfo r;
        r.id = std::string(view(info.id));
        r.default_severity = severity_named(view(info.default_severity)).value_or(Severity::error);
        r.description = std::string(view(info.description));
        r.family = std::string(view(info.family));
        c.index.emplace(r.id, c.rules.size());
        c.rules.push_back(std::move(r));
    }
    return c;
}

std::string build_checker(const Settings& s, const Catalog& catalog, Checker& checker) {
    if (s.wrapper_depth > 255)
        return "--wrapper-depth " + std::to_string(s.wrapper_depth) + " is above 255";
    if (s.max_wrapper_depth < 1 || s.max_wrapper_depth > 255)
        return "--max-wrapper-depth " + std::to_string(s.max_wrapper_depth) + " is not between 1 and 255";

    std::string combined;
    if (!s.config_rules.empty()) {
        if (std::string why = check_overrides(s.config_rules); !why.empty())
            return s.config_file + ": [rules]: " + why;
        combined += override_body(s.config_rules);
    }
    if (!s.rules.empty()) {
        if (std::string why = check_overrides(s.rules); !why.empty()) return "--rules: " + why;
        std::string_view body = override_body(s.rules);
        if (!body.empty()) {
            if (!combined.empty()) combined += ',';
            combined += body;
        }
    }

    for (const auto* list : {&s.select, &s.ignore}) {
        for (const std::string& sel : *list) {
            bool any = false;
            for (const RuleInfo& r : catalog.rules) any = any || selects(sel, r.id);
            if (sel.empty() || !any)
                return std::string(list == &s.select ? "--select" : "--ignore") + ": \"" + sel +
                       "\" matches no rule id (see adsieve rules)";
        }
    }
    for (const RuleInfo& r : catalog.rules) {
        bool keep = s.select.empty();
        for (const std::string& sel : s.select) keep = keep || selects(sel, r.id);
        for (const std::string& ign : s.ignore) keep = keep && !selects(ign, r.id);
        if (!keep) checker.off.push_back(r.id);
    }

    adsieve_options_init(&checker.options);
    checker.options.wrapper_depth = s.wrapper_depth;
    checker.options.max_wrapper_depth = s.max_wrapper_depth;
    checker.options.max_issues = s.max_issues;
    if (!combined.empty()) {
        checker.overrides = "{" + combined + "}";
        checker.options.rule_overrides = checker.overrides.c_str();
    }
    checker.pairs.reserve(checker.off.size());
    for (const std::string& id : checker.off) checker.pairs.push_back({id.c_str(), "off"});
    checker.options.overrides = checker.pairs.empty() ? nullptr : checker.pairs.data();
    checker.options.override_count = checker.pairs.size();

    // A last look by the library itself, so nothing it would refuse slips through.
    adsieve_error err{};
    adsieve_result* r = adsieve_validate_opts(nullptr, 0, &checker.options, &err);
    if (!r) return err.message;
    adsieve_result_free(r);
    return {};
}

}  // namespace cli
