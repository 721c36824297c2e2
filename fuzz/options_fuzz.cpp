// Fuzz entry for the typed options: the input is decoded into options and a
// document, then validated through adsieve_validate_opts and checked against
// what the header promises:
//   - a depth above 255 is refused with a depth error, a bad override with an
//     overrides error, a document that is not UTF-8 with an encoding error, in
//     that order, and nothing else is refused;
//   - a cap lists exactly the first findings of the uncapped call, keeps its
//     counts and says it was cut exactly when findings were left out;
//   - without overrides or cap, the result equals the options call's.
//
// Input layout (missing bytes read as 0):
//   flags    bits 0-1: override text (0 none, 1 a valid one, 2 an invalid one,
//            3 raw: a length byte and that many bytes after the pairs);
//            bits 2, 3, 4: wrapper depth, maximum depth, cap as 4 bytes
//            (little-endian) instead of 1
//   wrapper depth, maximum depth, cap
//   pair count (low 2 bits), then per pair: 2 bytes choosing a rule of the
//            catalogue (one past the end: an unknown id) and 1 byte a level
//   raw override text, when chosen
//   the document: everything left
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "adsieve.h"

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;

    std::uint8_t byte() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(byte()) << (8 * i);
        return v;
    }
    std::uint32_t number(bool wide) { return wide ? u32() : byte(); }
    std::string bytes(std::size_t len) {
        len = len < n ? len : n;
        std::string s(reinterpret_cast<const char*>(p), len);
        p += len;
        n -= len;
        return s;
    }
};

constexpr const char* kValidText = R"({"VAST-2.0-url-cdata":"off","VAST-2.0-tracking-https":"error"})";
constexpr const char* kInvalidText = R"({"VAST-2.0-url-cdata":"loud"})";
constexpr const char* kLevels[] = {"error", "warning", "info", "off", "OFF", ""};
constexpr std::size_t kValidLevels = 4;

std::string as_string(adsieve_str s) { return s.ptr ? std::string(s.ptr, s.len) : std::string("\x01null"); }

bool same_issue(const adsieve_result* a, const adsieve_result* b, std::size_t i) {
    adsieve_issue x{}, y{};
    if (!adsieve_result_issue(a, i, &x) || !adsieve_result_issue(b, i, &y)) return false;
    return as_string(x.id) == as_string(y.id) && as_string(x.severity) == as_string(y.severity) &&
           as_string(x.message) == as_string(y.message) && as_string(x.path) == as_string(y.path) &&
           as_string(x.spec_ref) == as_string(y.spec_ref) && x.has_position == y.has_position &&
           x.line == y.line && x.col == y.col;
}

// The status of the strict reader on a text alone (an empty document is valid).
adsieve_status text_status(const char* text) {
    adsieve_options o;
    adsieve_options_init(&o);
    o.rule_overrides = text;
    adsieve_error err{};
    adsieve_result* r = adsieve_validate_opts(nullptr, 0, &o, &err);
    adsieve_result_free(r);
    return err.status;
}

// Whether the plain call accepts the bytes, which it refuses only when they
// are not UTF-8.
bool utf8(const std::string& doc) {
    adsieve_result* r = adsieve_validate(doc.data(), doc.size());
    const bool accepted = r != nullptr;
    adsieve_result_free(r);
    return accepted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    const std::uint8_t flags = in.byte();
    adsieve_options opts;
    adsieve_options_init(&opts);
    opts.wrapper_depth = in.number(flags & 4);
    opts.max_wrapper_depth = in.number(flags & 8);
    opts.max_issues = in.number(flags & 16);

    const std::size_t rule_count = adsieve_rule_count();
    const std::size_t pair_count = in.byte() & 3;
    std::vector<std::string> ids;
    std::vector<adsieve_override> pairs;
    bool pairs_valid = true;
    ids.reserve(pair_count);
    for (std::size_t i = 0; i < pair_count; ++i) {
        const std::size_t pick = (in.byte() | static_cast<std::size_t>(in.byte()) << 8) % (rule_count + 1);
        const std::size_t level = in.byte() % std::size(kLevels);
        adsieve_rule_info info{};
        if (pick < rule_count && adsieve_rule(pick, &info))
            ids.emplace_back(info.id.ptr, info.id.len);
        else
            ids.emplace_back("VAST-9.9-no-such-rule");
        pairs_valid = pairs_valid && pick < rule_count && level < kValidLevels;
        pairs.push_back({ids.back().c_str(), kLevels[level]});
    }
    opts.overrides = pairs.data();
    opts.override_count = pairs.size();

    std::string raw;
    switch (flags & 3) {
        case 1: opts.rule_overrides = kValidText; break;
        case 2: opts.rule_overrides = kInvalidText; break;
        case 3:
            raw = in.bytes(in.byte());
            opts.rule_overrides = raw.c_str();
            break;
        default: break;
    }
    const std::string doc = in.bytes(in.n);

    // What the call must do, from the decoded options alone.
    adsieve_status expected = ADSIEVE_OK;
    if (opts.wrapper_depth > 255 || opts.max_wrapper_depth > 255)
        expected = ADSIEVE_ERR_DEPTH;
    else if (opts.rule_overrides && text_status(opts.rule_overrides) != ADSIEVE_OK)
        expected = ADSIEVE_ERR_OVERRIDES;
    else if (!pairs_valid)
        expected = ADSIEVE_ERR_OVERRIDES;
    else if (!doc.empty() && !utf8(doc))
        expected = ADSIEVE_ERR_UTF8;

    adsieve_error err{};
    adsieve_result* r = adsieve_validate_opts(doc.data(), doc.size(), &opts, &err);
    if (err.status != expected || (r != nullptr) != (expected == ADSIEVE_OK)) __builtin_trap();
    if (!r) return 0;

    const std::size_t total = adsieve_result_errors(r) + adsieve_result_warnings(r) + adsieve_result_infos(r);
    const std::size_t listed = adsieve_result_issue_count(r);
    const char* json = adsieve_result_json(r);
    if (!json) __builtin_trap();
    const bool says_cut = std::strstr(json, "\"truncated\":true") != nullptr;

    adsieve_options uncapped = opts;
    uncapped.max_issues = 0;
    adsieve_result* full = adsieve_validate_opts(doc.data(), doc.size(), &uncapped, nullptr);
    if (!full) __builtin_trap();
    const std::size_t full_listed = adsieve_result_issue_count(full);
    if (full_listed != total || adsieve_result_truncated(full)) __builtin_trap();
    if (adsieve_result_errors(full) != adsieve_result_errors(r) ||
        adsieve_result_warnings(full) != adsieve_result_warnings(r) ||
        adsieve_result_infos(full) != adsieve_result_infos(r))
        __builtin_trap();
    const bool cut = opts.max_issues != 0 && total > opts.max_issues;
    if (listed != (cut ? opts.max_issues : total) || adsieve_result_truncated(r) != (cut ? 1 : 0) || says_cut != cut)
        __builtin_trap();
    for (std::size_t i = 0; i < listed; ++i)
        if (!same_issue(r, full, i)) __builtin_trap();
    if (!cut && std::strcmp(json, adsieve_result_json(full)) != 0) __builtin_trap();

    if (!opts.rule_overrides && pairs.empty() && !doc.empty()) {
        adsieve_result* plain =
            adsieve_validate_with_options(doc.data(), doc.size(), opts.wrapper_depth, opts.max_wrapper_depth, nullptr);
        if (!plain || std::strcmp(adsieve_result_json(plain), adsieve_result_json(full)) != 0) __builtin_trap();
        adsieve_result_free(plain);
    }
    adsieve_result_free(full);
    adsieve_result_free(r);
    return 0;
}
