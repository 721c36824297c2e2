// VAST version detection from the declaration and structural signals.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "model.h"

namespace adsieve {

enum class VastVersion : std::uint8_t { V2_0, V3_0, V4_0, V4_1, V4_2, V4_3 };

enum class VersionState : std::uint8_t { Mismatch, Consistent, Declared, Inferred, Unknown };

struct DetectedVersion {
    VersionState state = VersionState::Unknown;
    VastVersion declared = VastVersion::V2_0;  // Mismatch, Consistent, Declared
    VastVersion inferred = VastVersion::V2_0;  // Mismatch, Consistent, Inferred

    // Declared version in the first three states, inferred in Inferred, none in Unknown.
    std::optional<VastVersion> effective() const noexcept {
        if (state == VersionState::Unknown) return std::nullopt;
        return state == VersionState::Inferred ? inferred : declared;
    }
    // True when the effective version is known and not older than v.
    bool at_least(VastVersion v) const noexcept {
        if (state == VersionState::Unknown) return false;
        return (state == VersionState::Inferred ? inferred : declared) >= v;
    }
};

std::string_view version_text(VastVersion v) noexcept;  // "2.0" ... "4.3"

DetectedVersion detect_version(const Node& root);
std::optional<VastVersion> infer_version(const Node& root);

}  // namespace adsieve
