#include "validate.h"

#include "rules/rules.h"

namespace adsieve {

std::uint8_t ValidationContext::resolve(const ValidationContext& ctx, std::string_view id,
                                        std::uint8_t default_severity) {
    if (!ctx.rule_overrides || ctx.rule_overrides->empty()) return default_severity;
    auto it = ctx.rule_overrides->find(id);
    if (it == ctx.rule_overrides->end()) return default_severity;
    switch (it->second) {
        case Level::Error: return kError;
        case Level::Warning: return kWarning;
        case Level::Info: return kInfo;
        case Level::Off: return kOff;
    }
    return default_severity;
}

ValidationResult validate(std::string_view text) { return validate_with_context(text, ValidationContext{}); }

ValidationResult validate_with_context(std::string_view text, ValidationContext context) {
    ValidationResult result;
    VastDocument doc = parse(text);
    if (doc.root.name == "DAAST") {
        result.kind = DocumentKind::Daast;
    } else if (doc.root.name == "VMAP") {
        result.kind = DocumentKind::Vmap;
    } else {
        result.kind = DocumentKind::Vast;
        if (context.forced_version) {
            result.version.state = VersionState::Declared;
            result.version.declared = *context.forced_version;
        } else {
            result.version = detect_version(doc.root);
        }
    }
    rules::run(doc, result.version, context, result.issues);
    for (const Issue& is : result.issues) {
        if (is.severity >= kError) ++result.errors;
        else if (is.severity == kWarning) ++result.warnings;
        else ++result.infos;
    }
    if (context.max_issues != 0 && result.issues.size() > context.max_issues) {
        result.issues.resize(context.max_issues);
        result.truncated = true;
    }
    if (doc.parse_error) {
        result.parse_error = std::move(doc.parse_error);
        result.parse_error_offset = doc.parse_error_offset;
    }
    return result;
}

}  // namespace adsieve
