#include "rules/rules.h"

#include "rules/ambiguous.h"
#include "rules/consistency.h"
#include "rules/ctv.h"
#include "rules/daast.h"
#include "rules/deprecated.h"
#include "rules/macros.h"
#include "rules/required.h"
#include "rules/schema.h"
#include "rules/security.h"
#include "rules/simid.h"
#include "rules/structure.h"
#include "rules/values.h"
#include "rules/vmap.h"

namespace adsieve::rules {

void run(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report) {
    if (parse_failed) {
        consistency::check(root, parse_failed, version, report);
        return;
    }
    if (root.name() == "DAAST") {
        daast::check(root, report);
        return;
    }
    if (root.name() == "VMAP") {
        vmap::check(root, report);
        return;
    }
    required::check(root, version, report);
    schema::check(root, version, report);
    structure::check(root, version, report);
    security::check(root, version, report);
    consistency::check(root, parse_failed, version, report);
    deprecated::check(root, version, report);
    ambiguous::check(root, version, report);
    values::check(root, version, report);
    ctv::check(root, version, report);
    simid::check(root, version, report);
    macros::check(root, version, report);
}

const Node* first_child(Children children, std::string_view name) noexcept {
    for (const Node& c : children)
        if (c.name() == name) return &c;
    return nullptr;
}

bool one_of(std::string_view v, std::span<const std::string_view> set) noexcept {
    for (std::string_view s : set)
        if (v == s) return true;
    return false;
}

}  // namespace adsieve::rules
