// Rule dispatch and the helpers the rule families share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"
#include "report.h"
#include "rules/catalog.h"
#include "version.h"
#include "walk.h"

namespace adsieve::rules {

// One <Ad> child of the root, with its first <InLine> and first <Wrapper>.
struct AdNodes {
    const Node* ad;
    const Node* inline_ad;  // or nullptr
    const Node* wrapper;    // or nullptr
};

// The root's children that the VAST families look at, found in one pass over
// them: a root with a flood of other children is then passed over once, not
// by every family.
struct TopLevel {
    std::vector<AdNodes> ads;          // every <Ad>, in document order
    std::vector<const Node*> errors;   // every <Error>, in document order
};
// Empty unless the root is <VAST>.
TopLevel top_level(const Node& root);

// The first element below an ad's InLine or Wrapper (the element itself
// included) that the security family, and the one that the macros family,
// reports something for; nullptr when there is none. Both families walk the
// same elements, so one scan finds both.
struct UrlFirsts {
    const Node* security = nullptr;
    const Node* macros = nullptr;
};
struct AdUrlFirsts {
    UrlFirsts inline_ad, wrapper;
};

// Runs the families that apply to a document's root, reporting into `report`.
// `parse_failed` is true when the text could not be read to its end.
void run(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report);

// First element of a child list with exactly this name, or nullptr. Inline,
// so that a comparison with a literal name compiles to a few loads.
inline const Node* first_child(Children children, std::string_view name) noexcept {
    for (const Node& c : children)
        if (Node::same_name(c.name(), name)) return &c;
    return nullptr;
}
// True when v equals one of the values of a vocabulary table.
inline bool one_of(std::string_view v, std::span<const std::string_view> set) noexcept {
    for (std::string_view s : set)
        if (v == s) return true;
    return false;
}

}  // namespace adsieve::rules
