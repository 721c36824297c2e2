// The exported C functions.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "adsieve.h"
#include "json.h"
#include "overrides.h"
#include "text.h"
#include "validate.h"

struct adsieve_result {
    std::string json;
    size_t errors = 0;
    size_t warnings = 0;
    size_t infos = 0;
};

namespace {

adsieve_result* run_validation(const char* xml, size_t len, adsieve::ValidationContext ctx) noexcept {
    // Any failure inside stops the process rather than crossing into C.
    try {
        if (!xml) return nullptr;
        if (len == 0) len = std::strlen(xml);
        std::string_view text(xml, len);
        if (!adsieve::text::is_valid_utf8(text)) return nullptr;
        adsieve::ValidationResult result = adsieve::validate_with_context(text, std::move(ctx));
        auto* r = new adsieve_result;
        r->json = adsieve::ffi::render_json(result);
        r->errors = result.errors;
        r->warnings = result.warnings;
        r->infos = result.infos;
        return r;
    } catch (...) {
        std::abort();
    }
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
    ctx.max_wrapper_depth = max_wrapper_depth == 0 ? 5 : static_cast<std::uint8_t>(max_wrapper_depth & 0xFF);
    try {
        ctx.rule_overrides = adsieve::ffi::read_overrides(rule_overrides);
    } catch (...) {
        std::abort();
    }
    return run_validation(xml, len, std::move(ctx));
}

size_t adsieve_result_errors(const adsieve_result* r) { return r ? r->errors : 0; }
size_t adsieve_result_warnings(const adsieve_result* r) { return r ? r->warnings : 0; }
size_t adsieve_result_infos(const adsieve_result* r) { return r ? r->infos : 0; }
int adsieve_result_valid(const adsieve_result* r) { return r && r->errors == 0 ? 1 : 0; }
const char* adsieve_result_json(const adsieve_result* r) { return r ? r->json.c_str() : nullptr; }
void adsieve_result_free(adsieve_result* r) { delete r; }
const char* adsieve_version(void) { return "0.6.2"; }

}  // extern "C"
