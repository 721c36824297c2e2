#include "validate.h"

#include "parse.h"
#include "rules/rules.h"

namespace adsieve {

ValidationResult validate(std::string_view text) { return validate_with_context(text, ValidationContext{}); }

ValidationResult validate_with_context(std::string_view text, ValidationContext context) {
    ValidationResult result;
    Document doc = parse(text);
    if (doc.root().name() == "DAAST") {
        result.kind = DocumentKind::Daast;
    } else if (doc.root().name() == "VMAP") {
        result.kind = DocumentKind::Vmap;
    } else {
        result.kind = DocumentKind::Vast;
        if (context.forced_version) {
            result.version.state = VersionState::Declared;
            result.version.declared = *context.forced_version;
        } else {
            result.version = detect_version(doc.root());
        }
    }
    Report report(context);
    rules::run(doc.root(), doc.parse_error.has_value(), result.version, report);
    report.finish(text);
    result.issues = std::move(report.issues);
    result.paths = std::move(report.paths);
    result.errors = report.errors;
    result.warnings = report.warnings;
    result.infos = report.infos;
    result.truncated = report.truncated;
    if (doc.parse_error) {
        result.parse_error = std::move(doc.parse_error);
        result.parse_error_offset = doc.parse_error_offset;
    }
    return result;
}

}  // namespace adsieve
