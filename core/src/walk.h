// The one tree walk: pre-order, iterative (no recursion on depth), able to
// prune, with the element path kept in one buffer that is cut back on the way
// up instead of being rebuilt for every node.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"
#include "report.h"

namespace adsieve {

// What a visit tells the walk to do next.
enum class Step : unsigned char { Into, Over, Stop };

// How a child's path extends its parent's.
enum class Segment : unsigned char {
    None,       // no paths are kept
    Name,       // "/name"
    NameIndex,  // "/name[k]", k the child's index among all its parent's children
};

// Frames a walk makes room for at once.
inline constexpr std::size_t kWalkFrames = 16;

// The path of the node a walk is visiting, built only when asked for: most
// visits report nothing, so most paths are never written out. The text kept
// here is the whole path: the path the walk started from, written out once,
// then the part below the start node. Paths of the ancestors, once built, are
// kept and reused.
class WalkPath {
public:
    WalkPath(const PathRef& base, Segment seg) : ref_{&base, {}, 0, this, PathRef::Kind::Walk}, seg_(seg) {}
    WalkPath(const WalkPath&) = delete;
    WalkPath& operator=(const WalkPath&) = delete;

    // The visited node's whole path; valid until the walk moves on.
    std::string_view text() const {
        if (!current_) build();
        return {text_, len_};
    }
    // Its part below the start node ("" for the start node itself).
    std::string_view tail() const { return text().substr(base_len_); }
    // The visited node's whole path, as a parent of further segments.
    const PathRef& ref() const noexcept { return ref_; }
    operator const PathRef&() const noexcept { return ref_; }

private:
    template <class Visit>
    friend void walk(const Node& node, const PathRef& base, Segment seg, Visit&& visit);

    // Writes out the visited node's path (in report.cpp).
    void build() const;

    struct Frame {
        const Node* node;
        const Node* next;         // next child to visit
        std::size_t next_index;   // its index among the children
        std::size_t index;        // this node's index among its parent's children
        std::size_t path_len;     // length of this node's path, once built
    };

    // Appends the segment of `child`, child k of its parent: "/name" or
    // "/name[k]".
    void append(const Node& child, std::size_t k) const;
    // Room for n more bytes after the text; where they start.
    char* reserve(std::size_t n) const;
    char* grow(std::size_t n) const;  // reserve, when the block is too small

    PathRef ref_;
    Segment seg_;
    // The text of paths built so far, in a block that only grows (a buffer
    // on the stack would keep the walks of the families from being inlined).
    mutable std::unique_ptr<char[]> heap_;
    mutable char* text_ = nullptr;
    mutable std::size_t len_ = 0;
    mutable std::size_t cap_ = 0;
    // frames_[0] is the walk's start node; frames_[i] for i > 0 is child
    // frames_[i].index of frames_[i - 1]. The paths of frames_[0, built_) are
    // known once the start node's is.
    mutable std::vector<Frame> frames_;
    mutable std::size_t built_ = 1;
    mutable std::size_t base_len_ = 0;  // length of the start node's path, once built
    mutable bool base_built_ = false;
    mutable bool current_ = false;  // the text holds the visited node's path
    const Node* visiting_ = nullptr;  // the visited node below the start node (none: the start node)
    std::size_t visiting_index_ = 0;  // its index among its parent's children
};

inline PathArg::PathArg(const WalkPath& w) : ref(&w.ref()), present(true) {}

// Calls visit(node, path) for `node` and then, in document pre-order, for the
// descendants the visits lead into. `base` is the path of `node`; the visit
// gets the visited node's path as a WalkPath, written out only on demand.
template <class Visit>
void walk(const Node& node, const PathRef& base, Segment seg, Visit&& visit) {
    WalkPath wp(base, seg);
    Step first = visit(node, static_cast<const WalkPath&>(wp));
    if (first != Step::Into || !node.has_children()) return;
    if (seg == Segment::None) {
        // No paths: the subtree is a run of nodes, passed over in one scan.
        for (const Node *p = node.first_child(), *end = &node + node.span; p != end;) {
            Step s = visit(*p, static_cast<const WalkPath&>(wp));
            if (s == Step::Stop) return;
            p = s == Step::Over ? p + p->span : p->first_child();
        }
        return;
    }
    auto& stack = wp.frames_;
    stack.reserve(kWalkFrames);  // documents are rarely deeper: one allocation
    stack.push_back({&node, node.first_child(), 0, 0, wp.base_len_});
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.next == top.node + top.node->span) {
            stack.pop_back();
            if (wp.built_ > stack.size()) wp.built_ = stack.size();
            continue;
        }
        const Node& child = *top.next;
        const std::size_t k = top.next_index++;
        top.next += child.span;
        wp.visiting_ = &child;
        wp.visiting_index_ = k;
        wp.current_ = false;
        Step s = visit(child, static_cast<const WalkPath&>(wp));
        if (s == Step::Stop) return;
        if (s == Step::Into && child.has_children()) {
            // `top` is not used past this point.
            const bool known = wp.current_ && wp.built_ == stack.size();
            stack.push_back({&child, child.first_child(), 0, k, known ? wp.len_ : 0});
            if (known) wp.built_ = stack.size();
        }
    }
}

}  // namespace adsieve
