// The one tree walk: pre-order, iterative (no recursion on depth), able to
// prune, with the element path kept in one buffer that is cut back on the way
// up instead of being rebuilt for every node.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

namespace adsieve {

// What a visit tells the walk to do next.
enum class Step : unsigned char { Into, Over, Stop };

// How a child's path extends its parent's.
enum class Segment : unsigned char {
    None,       // no paths are kept
    Name,       // "/name"
    NameIndex,  // "/name[k]", k the child's index among all its parent's children
};

// Appends "/name[index]" to a path.
inline void append_segment(std::string& path, std::string_view name, std::size_t index) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, index);
    (void)ec;
    path.push_back('/');
    path.append(name);
    path.push_back('[');
    path.append(digits, end);
    path.push_back(']');
}

// Calls visit(node, path) for `node` and then, in document pre-order, for the
// descendants the visits lead into. `path` starts as the path of `node`.
template <class Visit>
void walk(const Node& node, std::string path, Segment seg, Visit&& visit) {
    struct Frame {
        const Node* node;
        std::size_t next;      // next child to visit
        std::size_t path_len;  // length of this node's path in `path`
    };
    const std::string& shown = path;
    Step first = visit(node, shown);
    if (first != Step::Into || node.children.empty()) return;
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
        if (seg != Segment::None) {
            path.resize(top.path_len);
            if (seg == Segment::Name) {
                path.push_back('/');
                path.append(child.name);
            } else {
                append_segment(path, child.name, k);
            }
        }
        Step s = visit(child, shown);
        if (s == Step::Stop) return;
        if (s == Step::Into && !child.children.empty())
            stack.push_back({&child, 0, path.size()});  // `top` is not used past this point
    }
}

}  // namespace adsieve
