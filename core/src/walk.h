// The one tree walk: pre-order, iterative (no recursion on depth), able to
// prune, with the element path kept in one buffer that is cut back on the way
// up instead of being rebuilt for every node.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
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
// here is the part below the walk's start node; as a PathRef it follows the
// path the walk started from. Paths of the ancestors, once built, are kept
// and reused.
class WalkPath {
public:
    WalkPath(const PathRef& base, Segment seg) : ref_{&base, {}, 0, this, PathRef::Kind::Walk}, seg_(seg) {}
    WalkPath(const WalkPath&) = delete;
    WalkPath& operator=(const WalkPath&) = delete;

    // The visited node's path below the start node ("" for the start node
    // itself); valid until the walk moves on.
    std::string_view tail() const { return current_ ? std::string_view(text_, len_) : build_tail(); }
    // The visited node's whole path, as a parent of further segments.
    const PathRef& ref() const noexcept { return ref_; }
    operator const PathRef&() const noexcept { return ref_; }

private:
    template <class Visit>
    friend void walk(const Node& node, const PathRef& base, Segment seg, Visit&& visit);

    std::string_view build_tail() const {
        // The open ancestors' paths first, each from its parent's.
        for (; built_ < frames_.size(); ++built_) {
            len_ = frames_[built_ - 1].path_len;
            append(*frames_[built_].node, frames_[built_].index);
            frames_[built_].path_len = len_;
        }
        len_ = frames_.back().path_len;
        append(*visiting_, visiting_index_);
        current_ = true;
        return {text_, len_};
    }

    struct Frame {
        const Node* node;
        const Node* next;         // next child to visit
        std::size_t next_index;   // its index among the children
        std::size_t index;        // this node's index among its parent's children
        std::size_t path_len;     // length of this node's path, once built
    };

    // Appends the segment of `child`, child k of its parent: "/name" or
    // "/name[k]".
    void append(const Node& child, std::size_t k) const {
        const std::string_view name = child.name();
        char* p = reserve(name.size() + 24);
        *p++ = '/';
        if (!name.empty()) std::memcpy(p, name.data(), name.size());
        p += name.size();
        if (seg_ == Segment::NameIndex) {
            *p++ = '[';
            if (k < 10) {
                *p++ = static_cast<char>('0' + k);
            } else {
                char digits[20];
                char* d = digits + sizeof digits;
                for (; k != 0; k /= 10) *--d = static_cast<char>('0' + k % 10);
                const auto n = static_cast<std::size_t>(digits + sizeof digits - d);
                std::memcpy(p, d, n);
                p += n;
            }
            *p++ = ']';
        }
        len_ = static_cast<std::size_t>(p - text_);
    }
    // Room for n more bytes after the text; where they start.
    char* reserve(std::size_t n) const {
        if (cap_ - len_ < n) {
            const std::size_t cap = std::max(2 * cap_, len_ + n);
            auto bigger = std::make_unique_for_overwrite<char[]>(cap);
            if (len_ != 0) std::memcpy(bigger.get(), text_, len_);
            heap_ = std::move(bigger);
            text_ = heap_.get();
            cap_ = cap;
        }
        return text_ + len_;
    }

    PathRef ref_;
    Segment seg_;
    // The text of paths built so far: on the walk's stack while short, then
    // in a block that only grows.
    mutable char local_[192];
    mutable std::unique_ptr<char[]> heap_;
    mutable char* text_ = local_;
    mutable std::size_t len_ = 0;
    mutable std::size_t cap_ = sizeof local_;
    // frames_[0] is the walk's start node; frames_[i] for i > 0 is child
    // frames_[i].index of frames_[i - 1]. The paths of frames_[0, built_) are
    // known (frames_[0]'s is empty).
    mutable std::vector<Frame> frames_;
    mutable std::size_t built_ = 1;
    mutable bool current_ = true;  // the text holds the visited node's path
    const Node* visiting_ = nullptr;  // the visited node, below the start node
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
    stack.push_back({&node, node.first_child(), 0, 0, 0});
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
