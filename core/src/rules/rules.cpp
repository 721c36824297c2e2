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
    if (root.name == "DAAST") {
        daast::check(root, report);
        return;
    }
    if (root.name == "VMAP") {
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

std::string indexed(std::string_view base, std::string_view name, std::size_t index) {
    std::string out;
    out.reserve(base.size() + name.size() + 24);
    out.append(base);
    append_segment(out, name, index);
    return out;
}

std::string join(std::string_view a, std::string_view b) {
    std::string out;
    out.reserve(a.size() + b.size());
    out.append(a);
    out.append(b);
    return out;
}

const Node* first_child(std::span<const Node> children, std::string_view name) noexcept {
    for (const Node& c : children)
        if (c.name == name) return &c;
    return nullptr;
}

bool one_of(std::string_view v, std::span<const std::string_view> set) noexcept {
    for (std::string_view s : set)
        if (v == s) return true;
    return false;
}

std::string attr_path(std::string_view element_path, std::string_view attr) {
    std::string out;
    out.reserve(element_path.size() + attr.size() + 3);
    out.append(element_path);
    out.append("[@");
    out.append(attr);
    out.push_back(']');
    return out;
}

}  // namespace adsieve::rules
