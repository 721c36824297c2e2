#include "validate.h"

#include "parse.h"
#include "rules/rules.h"

namespace adsieve {

namespace {

// Up to this size, a document's element list is kept with its findings.
constexpr std::size_t kSmallDocument = 16 * 1024;

}  // namespace

ValidationResult validate(std::string_view text) { return validate_with_context(text, ValidationContext{}); }

ValidationResult validate_with_context(std::string_view text, ValidationContext context) {
    ValidationResult result;
    // One arena for the call's findings, their paths and, for a small
    // document, its element list too, with room left for the findings'
    // paths and a JSON text of up to about twice the document's size: most
    // calls then take one block from the C heap. A larger document's list
    // has its own block, given back as the call returns.
    const bool small = text.size() <= kSmallDocument;
    Arena memory(Report::kPathBlock + (small ? parse_room(text.size()) + 2 * text.size() : 0));
    Document doc = parse(text, small ? &memory : nullptr);
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
    Report report(context, std::move(memory));
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
