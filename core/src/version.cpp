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
// A second sieve, by length and last byte together, so that the names the
// scan looks up are few and its one test is mostly passed over the same way.
constexpr unsigned pair_key(std::size_t size, unsigned char last) noexcept {
    return static_cast<unsigned>((size * 7 + last) & 255);
}
constexpr std::array<std::uint64_t, 4> kSignalPairs = [] {
    std::array<std::uint64_t, 4> bits{};
    for (std::string_view n : kSignalNames) {
        const unsigned k = pair_key(n.size(), static_cast<unsigned char>(n.back()));
        bits[k >> 6] |= std::uint64_t{1} << (k & 63);
    }
    return bits;
}();

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
        // Both sieves in one test; every parsed name holds a byte.
        const std::size_t size = n->name_size;
        const unsigned key = pair_key(size, static_cast<unsigned char>(n->name_data[size - (size != 0)]));
        if (((lengths >> (size < 63 ? size : 63)) & (kSignalPairs[key >> 6] >> (key & 63)) & 1) == 0) continue;
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
