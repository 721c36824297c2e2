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

namespace adsieve::rules {

// Runs the families that apply to a document's root, reporting into `report`.
// `parse_failed` is true when the text could not be read to its end.
void run(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report);

// Path helpers: "/VAST/Ad[2]" and "/VAST[@version]".
std::string indexed(std::string_view base, std::string_view name, std::size_t index);
std::string attr_path(std::string_view element_path, std::string_view attr);
// Appends "/name[index]" to a path being built in place.
void append_segment(std::string& path, std::string_view name, std::size_t index);
std::string join(std::string_view a, std::string_view b);

// First element of a child list with exactly this name, or nullptr.
const Node* first_child(std::span<const Node> children, std::string_view name) noexcept;
// True when v equals one of the values of a vocabulary table.
bool one_of(std::string_view v, std::span<const std::string_view> set) noexcept;

// Calls visit(node, path) for `node` and then every descendant in document
// pre-order, each descendant's path extending its parent's by "/name[k]" with
// k its index among all the parent's children. Iterative: one path buffer is
// cut back to the parent's length before each child's segment is appended.
template <class Visit>
void walk_all_children(const Node& node, std::string path, Visit&& visit) {
    struct Frame {
        const Node* node;
        std::size_t next;      // next child to visit
        std::size_t path_len;  // length of this node's path in `path`
    };
    visit(node, static_cast<const std::string&>(path));
    std::vector<Frame> stack;
    stack.push_back({&node, 0, path.size()});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->children.size()) {
            stack.pop_back();
            continue;
        }
        const std::size_t k = top.next++;
        const Node& child = top.node->children[k];
        path.resize(top.path_len);
        append_segment(path, child.name, k);
        visit(child, static_cast<const std::string&>(path));
        if (!child.children.empty()) stack.push_back({&child, 0, path.size()});
    }
}

}  // namespace adsieve::rules
