#include "version.h"

#include <array>
#include <iterator>

#include "text.h"

namespace adsieve {

std::string_view version_text(VastVersion v) noexcept {
    switch (v) {
        case VastVersion::V2_0: return "2.0";
        case VastVersion::V3_0: return "3.0";
        case VastVersion::V4_0: return "4.0";
        case VastVersion::V4_1: return "4.1";
        case VastVersion::V4_2: return "4.2";
        case VastVersion::V4_3: return "4.3";
    }
    return "";
}

namespace {

struct Signal {
    std::string_view element;
    VastVersion implies;
};

// Newest signal first: the first element found decides.
constexpr Signal kSignals[] = {
    {"AdServingId", VastVersion::V4_1},
    {"UniversalAdId", VastVersion::V4_0},
    {"Verification", VastVersion::V4_0},
    {"AdVerifications", VastVersion::V4_0},
    {"InteractiveCreativeFile", VastVersion::V4_0},
    {"Pricing", VastVersion::V3_0},
    {"Icons", VastVersion::V3_0},
    {"ViewableImpression", VastVersion::V3_0},
    {"MediaFile", VastVersion::V2_0},
};

constexpr std::array<std::string_view, std::size(kSignals)> kSignalNames = [] {
    std::array<std::string_view, std::size(kSignals)> names{};
    for (std::size_t k = 0; k < names.size(); ++k) names[k] = kSignals[k].element;
    return names;
}();
constexpr auto kSignalSet = text::make_name_set(kSignalNames);
// Most names are passed over by their length alone: the lengths of the
// signals newer than the newest found so far (all of them at first).
constexpr std::array<std::uint64_t, std::size(kSignals) + 1> kLengthsBefore = [] {
    std::array<std::uint64_t, std::size(kSignals) + 1> masks{};
    for (std::size_t k = 1; k < masks.size(); ++k)
        masks[k] = masks[k - 1] | std::uint64_t{1} << (kSignalNames[k - 1].size() < 63 ? kSignalNames[k - 1].size() : 63);
    return masks;
}();
static_assert(kLengthsBefore.back() == text::length_mask(kSignalNames));

std::optional<VastVersion> declared_version(std::string_view v) {
    v = text::trim(v);
    if (v == "2.0" || v == "2.0.1") return VastVersion::V2_0;
    if (v == "3.0") return VastVersion::V3_0;
    if (v == "4.0") return VastVersion::V4_0;
    if (v == "4.1") return VastVersion::V4_1;
    if (v == "4.2") return VastVersion::V4_2;
    if (v == "4.3") return VastVersion::V4_3;
    return std::nullopt;
}

}  // namespace

std::optional<VastVersion> infer_version(const Node& root) {
    if (root.name() != "VAST") return std::nullopt;
    // One scan of the descendants in document order (each element's first
    // child, or what follows it, comes right after its attributes): the
    // newest signal among them decides.
    constexpr std::size_t kNone = std::size(kSignals);
    std::size_t best = kNone;
    std::uint64_t lengths = kLengthsBefore[kNone];
    for (const Node *n = root.first_child(), *end = &root + root.span; n != end; n = n->first_child()) {
        if (!text::may_have_length(lengths, n->name_size)) continue;
        const int k = kSignalSet.find(n->name());
        if (k < 0 || static_cast<std::size_t>(k) >= best) continue;
        best = static_cast<std::size_t>(k);
        if (best == 0) break;
        lengths = kLengthsBefore[best];
    }
    if (best == kNone) return std::nullopt;
    return kSignals[best].implies;
}

DetectedVersion detect_version(const Node& root) {
    DetectedVersion out;
    std::optional<VastVersion> declared;
    if (root.name() == "VAST")
        if (auto v = root.attr("version")) declared = declared_version(*v);
    std::optional<VastVersion> inferred = infer_version(root);
    if (declared) {
        out.declared = *declared;
        if (!inferred) {
            out.state = VersionState::Declared;
        } else {
            out.inferred = *inferred;
            out.state = *declared >= *inferred ? VersionState::Consistent : VersionState::Mismatch;
        }
    } else if (inferred) {
        out.inferred = *inferred;
        out.state = VersionState::Inferred;
    }
    return out;
}

}  // namespace adsieve
