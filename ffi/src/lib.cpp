// The exported C functions.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "adsieve.h"
#include "api.h"

// A result lives in the first block of its own path arena, with its JSON
// text: a call that reports little makes one heap block for all three.
struct adsieve_result {
    std::string_view json;  // NUL-terminated, in `paths`
    size_t errors = 0;
    size_t warnings = 0;
    size_t infos = 0;
    // Kept for the typed accessors.
    adsieve::Issues issues;
    adsieve::Arena paths;  // the texts of the issues' paths
    std::string version;  // empty when none is known
    bool truncated = false;
    std::optional<std::string> parse_error;
    std::uint32_t parse_error_line = 0;
    std::uint32_t parse_error_col = 0;
};

namespace {

adsieve_str str(std::string_view s) { return {s.data(), s.size()}; }

adsieve_result* make_result(std::string_view text, adsieve::ValidationContext ctx) {
    adsieve::ValidationResult result = adsieve::validate_with_context(text, std::move(ctx));
    // Until the arena moves into the result, the result's own memory goes
    // with `result` should anything fail.
    void* at = result.paths.allocate(sizeof(adsieve_result), alignof(adsieve_result));
    auto* r = ::new (at) adsieve_result;
    try {
        r->json = adsieve::write_json(result, result.paths);
        r->errors = result.errors;
        r->warnings = result.warnings;
        r->infos = result.infos;
        if (auto v = result.version.effective()) r->version = adsieve::version_text(*v);
        r->truncated = result.truncated;
        if (result.parse_error) {
            auto pos = adsieve::position_of(text, result.parse_error_offset);
            r->parse_error_line = pos.line;
            r->parse_error_col = pos.col;
            r->parse_error = std::move(result.parse_error);
        }
        r->issues = std::move(result.issues);
    } catch (...) {
        r->~adsieve_result();
        throw;
    }
    r->paths = std::move(result.paths);
    return r;
}

void free_result(adsieve_result* r) noexcept {
    // The arena holds the result itself: it is taken out first, and frees
    // the result's memory last.
    adsieve::Arena blocks = std::move(r->paths);
    r->~adsieve_result();
}

adsieve_result* run_validation(const char* xml, size_t len, adsieve::ValidationContext ctx) noexcept {
    // Any failure inside stops the process rather than crossing into C.
    try {
        if (!xml) return nullptr;
        if (len == 0) len = std::strlen(xml);
        std::string_view text(xml, len);
        if (!adsieve::text::is_valid_utf8(text)) return nullptr;
        return make_result(text, std::move(ctx));
    } catch (...) {
        std::abort();
    }
}

void set_error(adsieve_error* err, adsieve_status status, std::string_view msg) {
    if (!err) return;
    err->status = status;
    std::size_t n = std::min(msg.size(), sizeof err->message - 1);
    std::memcpy(err->message, msg.data(), n);
    err->message[n] = '\0';
}

// Checks the options into `ctx`; returns false after filling `err`.
bool read_options(const adsieve_options& o, adsieve::ValidationContext& ctx, adsieve_error* err) {
    if (o.wrapper_depth > 255) {
        set_error(err, ADSIEVE_ERR_DEPTH, "wrapper_depth " + std::to_string(o.wrapper_depth) + " is above 255");
        return false;
    }
    if (o.max_wrapper_depth > 255) {
        set_error(err, ADSIEVE_ERR_DEPTH,
                  "max_wrapper_depth " + std::to_string(o.max_wrapper_depth) + " is above 255");
        return false;
    }
    ctx.wrapper_depth = static_cast<std::uint8_t>(o.wrapper_depth);
    ctx.max_wrapper_depth = o.max_wrapper_depth == 0 ? adsieve::ValidationContext::kDefaultMaxWrapperDepth
                                                     : static_cast<std::uint8_t>(o.max_wrapper_depth);
    ctx.max_issues = o.max_issues;
    adsieve::Overrides map;
    if (o.rule_overrides) {
        std::string why = adsieve::read_overrides_strict(o.rule_overrides, map);
        if (!why.empty()) {
            set_error(err, ADSIEVE_ERR_OVERRIDES, why);
            return false;
        }
    }
    if (o.override_count && !o.overrides) {
        set_error(err, ADSIEVE_ERR_NULL, "overrides is NULL but override_count is not 0");
        return false;
    }
    for (size_t i = 0; i < o.override_count; ++i) {
        const adsieve_override& ov = o.overrides[i];
        if (!ov.id || !ov.level) {
            set_error(err, ADSIEVE_ERR_NULL, "an override has a NULL id or level");
            return false;
        }
        std::string why = adsieve::add_override(ov.id, ov.level, map);
        if (!why.empty()) {
            set_error(err, ADSIEVE_ERR_OVERRIDES, why);
            return false;
        }
    }
    if (!map.empty()) ctx.rule_overrides = std::move(map);
    return true;
}

}  // namespace

extern "C" {

adsieve_result* adsieve_validate(const char* xml, size_t len) {
    return run_validation(xml, len, adsieve::ValidationContext{});
}

adsieve_result* adsieve_validate_with_options(const char* xml, size_t len, uint32_t wrapper_depth,
                                              uint32_t max_wrapper_depth, const char* rule_overrides) {
    if (!xml) return nullptr;
    adsieve::ValidationContext ctx;
    ctx.wrapper_depth = static_cast<std::uint8_t>(wrapper_depth & 0xFF);
    ctx.max_wrapper_depth = max_wrapper_depth == 0 ? adsieve::ValidationContext::kDefaultMaxWrapperDepth
                                                   : static_cast<std::uint8_t>(max_wrapper_depth & 0xFF);
    try {
        ctx.rule_overrides = adsieve::read_overrides(rule_overrides);
    } catch (...) {
        std::abort();
    }
    return run_validation(xml, len, std::move(ctx));
}

size_t adsieve_result_errors(const adsieve_result* r) { return r ? r->errors : 0; }
size_t adsieve_result_warnings(const adsieve_result* r) { return r ? r->warnings : 0; }
size_t adsieve_result_infos(const adsieve_result* r) { return r ? r->infos : 0; }
int adsieve_result_valid(const adsieve_result* r) { return r && r->errors == 0 ? 1 : 0; }
const char* adsieve_result_json(const adsieve_result* r) { return r ? r->json.data() : nullptr; }
void adsieve_result_free(adsieve_result* r) {
    if (r) free_result(r);
}
const char* adsieve_version(void) { return adsieve::library_version().data(); }

void adsieve_options_init(adsieve_options* opts) {
    if (opts) *opts = adsieve_options{};
}

adsieve_result* adsieve_validate_opts(const char* xml, size_t len, const adsieve_options* opts,
                                      adsieve_error* err) {
    set_error(err, ADSIEVE_OK, "");
    if (!xml && len != 0) {
        set_error(err, ADSIEVE_ERR_NULL, "xml is NULL but len is not 0");
        return nullptr;
    }
    std::string_view text = xml ? std::string_view(xml, len) : std::string_view();
    try {
        adsieve::ValidationContext ctx;
        if (opts && !read_options(*opts, ctx, err)) return nullptr;
        if (!adsieve::text::is_valid_utf8(text)) {
            set_error(err, ADSIEVE_ERR_UTF8, "the document is not valid UTF-8");
            return nullptr;
        }
        return make_result(text, std::move(ctx));
    } catch (const std::bad_alloc&) {
        set_error(err, ADSIEVE_ERR_MEMORY, "out of memory");
        return nullptr;
    } catch (...) {
        std::abort();
    }
}

size_t adsieve_result_issue_count(const adsieve_result* r) { return r ? r->issues.size() : 0; }

int adsieve_result_issue(const adsieve_result* r, size_t i, adsieve_issue* out) {
    if (!r || !out || i >= r->issues.size()) return 0;
    const adsieve::Issue& is = r->issues[i];
    out->id = str(is.id);
    out->severity = str(adsieve::severity_word(is.severity));
    out->message = str(is.message);
    out->path = is.path ? str(*is.path) : adsieve_str{nullptr, 0};
    out->spec_ref = str(is.spec_ref);
    out->has_position = is.line ? 1 : 0;
    out->line = is.line.value_or(0);
    out->col = is.col.value_or(0);
    return 1;
}

const char* adsieve_result_version(const adsieve_result* r) {
    return r && !r->version.empty() ? r->version.c_str() : nullptr;
}

int adsieve_result_truncated(const adsieve_result* r) { return r && r->truncated ? 1 : 0; }

int adsieve_result_parse_error(const adsieve_result* r, adsieve_str* reason, uint32_t* line, uint32_t* col) {
    if (!r || !r->parse_error) return 0;
    if (reason) *reason = str(*r->parse_error);
    if (line) *line = r->parse_error_line;
    if (col) *col = r->parse_error_col;
    return 1;
}

size_t adsieve_rule_count(void) { return adsieve::CATALOG.size(); }

int adsieve_rule(size_t i, adsieve_rule_info* out) {
    if (!out || i >= adsieve::CATALOG.size()) return 0;
    const adsieve::Rule& e = *adsieve::CATALOG[i];
    out->id = str(e.id);
    out->default_severity = str(adsieve::severity_word(e.severity));
    out->description = str(e.summary());
    out->family = str(adsieve::family_word(e.family));
    return 1;
}

char* adsieve_tree_json(const char* xml, size_t len, adsieve_error* err) {
    set_error(err, ADSIEVE_OK, "");
    if (!xml && len != 0) {
        set_error(err, ADSIEVE_ERR_NULL, "xml is NULL but len is not 0");
        return nullptr;
    }
    std::string_view text = xml ? std::string_view(xml, len) : std::string_view();
    if (!adsieve::text::is_valid_utf8(text)) {
        set_error(err, ADSIEVE_ERR_UTF8, "the document is not valid UTF-8");
        return nullptr;
    }
    try {
        std::string out = adsieve::tree_json(text);
        char* s = static_cast<char*>(std::malloc(out.size() + 1));
        if (!s) throw std::bad_alloc();
        std::memcpy(s, out.c_str(), out.size() + 1);
        return s;
    } catch (const std::bad_alloc&) {
        set_error(err, ADSIEVE_ERR_MEMORY, "out of memory");
        return nullptr;
    } catch (...) {
        std::abort();
    }
}

void adsieve_string_free(char* s) { std::free(s); }

}  // extern "C"
