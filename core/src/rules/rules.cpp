#include "rules/rules.h"

#include <charconv>

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

void emit(const ValidationContext& ctx, Issues& issues, std::string_view id,
          std::uint8_t default_severity, std::string_view message,
          std::optional<std::string> path, std::string_view spec_ref, const Node* node) {
    std::uint8_t sev = ValidationContext::resolve(ctx, id, default_severity);
    if (sev == kOff) return;
    Issue& is = issues.emplace_back();
    is.path = std::move(path);
    if (node) {
        is.line = node->line;
        is.col = node->col;
    }
    is.id = id;
    is.message = message;
    is.spec_ref = spec_ref;
    is.severity = sev;
}

void run(const VastDocument& doc, const DetectedVersion& version, const ValidationContext& ctx,
         Issues& issues) {
    if (doc.parse_error) {
        consistency::check(doc, version, ctx, issues);
        return;
    }
    if (doc.root.name == "DAAST") {
        daast::check(doc, ctx, issues);
        return;
    }
    if (doc.root.name == "VMAP") {
        vmap::check(doc, ctx, issues);
        return;
    }
    required::check(doc, version, ctx, issues);
    schema::check(doc, version, ctx, issues);
    structure::check(doc, version, ctx, issues);
    security::check(doc, version, ctx, issues);
    consistency::check(doc, version, ctx, issues);
    deprecated::check(doc, version, ctx, issues);
    ambiguous::check(doc, version, ctx, issues);
    values::check(doc, version, ctx, issues);
    ctv::check(doc, version, ctx, issues);
    simid::check(doc, version, ctx, issues);
    macros::check(doc, version, ctx, issues);
}

void append_segment(std::string& path, std::string_view name, std::size_t index) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, index);
    (void)ec;
    path.push_back('/');
    path.append(name);
    path.push_back('[');
    path.append(digits, end);
    path.push_back(']');
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
