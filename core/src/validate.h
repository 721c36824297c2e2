// The validation entry points and their result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report.h"
#include "version.h"

namespace adsieve {

enum class DocumentKind : std::uint8_t { Vast, Vmap, Daast };

struct ValidationResult {
    Arena paths;  // the texts of the issues' paths, and their first room
    Issues issues;
    std::size_t errors = 0;
    std::size_t warnings = 0;
    std::size_t infos = 0;
    DocumentKind kind = DocumentKind::Vast;
    DetectedVersion version;
    // The parser's reason when the text could not be read as XML.
    std::optional<std::string> parse_error;
    std::size_t parse_error_offset = 0;
    bool truncated = false;  // findings beyond the cap were counted, not listed
};

ValidationResult validate(std::string_view text);
ValidationResult validate_with_context(std::string_view text, ValidationContext context);

}  // namespace adsieve
