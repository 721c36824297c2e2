// Per-call settings, findings and the validation entry points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"
#include "version.h"

namespace adsieve {

// Issue severity, ordered by gravity.
inline constexpr std::uint8_t kInfo = 0;
inline constexpr std::uint8_t kWarning = 1;
inline constexpr std::uint8_t kError = 2;
// What resolve returns for a rule switched off.
inline constexpr std::uint8_t kOff = 3;

// Override levels a caller may ask for (note the order differs from severity).
enum class Level : std::uint8_t { Error = 0, Warning = 1, Info = 2, Off = 3 };

struct ValidationContext {
    std::optional<std::map<std::string, Level, std::less<>>> rule_overrides;
    std::uint8_t wrapper_depth = 0;
    std::uint8_t max_wrapper_depth = 5;
    std::optional<VastVersion> forced_version;
    std::size_t max_issues = 0;  // list at most this many findings; 0: no cap

    // Effective issue severity of a rule, or kOff.
    static std::uint8_t resolve(const ValidationContext& ctx, std::string_view id,
                                std::uint8_t default_severity);
};

struct Issue {
    std::optional<std::string> path;
    std::optional<std::uint32_t> line;
    std::optional<std::uint32_t> col;
    std::string_view id;
    std::string_view message;
    std::string_view spec_ref;
    std::uint8_t severity = kError;
};

using Issues = std::vector<Issue>;

enum class DocumentKind : std::uint8_t { Vast, Vmap, Daast };

struct ValidationResult {
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
