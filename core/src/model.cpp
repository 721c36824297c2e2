#include "model.h"

#include "walk.h"

#include <memory>
#include <utility>

namespace adsieve {

namespace {

// Empties the child lists of the subtree level by level, so that each node is
// destroyed with no children of its own and nothing recurses on depth.
void release(Vector<Node>& children) {
    if (children.empty()) return;
    if (dynamic_cast<const Arena*>(children.get_allocator().resource()) != nullptr) {
        // Lists in an arena hold only lists in that same arena (parse and
        // deep_copy build them so) and nodes own nothing else: the arena
        // frees them all at once, so the subtree is left as it is.
        std::construct_at(&children, children.get_allocator());
        return;
    }
    bool deep = false;
    for (const Node& c : children)
        if (!c.children.empty()) {
            deep = true;
            break;
        }
    if (!deep) return;  // destroying the list recurses one level only
    std::vector<Vector<Node>> pending;
    pending.push_back(std::move(children));
    children.clear();
    while (!pending.empty()) {
        Vector<Node> list = std::move(pending.back());
        pending.pop_back();
        for (Node& c : list)
            if (!c.children.empty()) {
                pending.push_back(std::move(c.children));
                c.children.clear();
            }
    }
}

}  // namespace

Node::~Node() { release(children); }

Node& Node::operator=(Node&& other) noexcept {
    if (this != &other) {
        release(children);
        name = std::move(other.name);
        attrs = std::move(other.attrs);
        text = std::move(other.text);
        children = std::move(other.children);
        line = other.line;
        col = other.col;
        has_cdata = other.has_cdata;
    }
    return *this;
}

std::optional<std::string_view> Node::attr(std::string_view n) const noexcept {
    for (const Attr& a : attrs)
        if (a.name == n) return a.value;
    return std::nullopt;
}

const Node* Node::child(std::string_view n) const noexcept {
    for (const Node& c : children)
        if (c.name == n) return &c;
    return nullptr;
}

const Node* Node::find_descendant(std::string_view n) const {
    const Node* found = nullptr;
    walk(*this, {}, Segment::None, [&](const Node& c, const std::string&) {
        if (&c != this && c.name == n) {
            found = &c;
            return Step::Stop;
        }
        return Step::Into;
    });
    return found;
}

Node deep_copy(const Node& src, Arena& into) {
    auto shallow = [&into](const Node& s) {
        Node d(&into);
        d.name = into.copy(s.name);
        if (!s.attrs.empty()) {
            Attr* attrs = into.make_array<Attr>(s.attrs.size());
            for (std::size_t i = 0; i < s.attrs.size(); ++i)
                attrs[i] = Attr{into.copy(s.attrs[i].name), into.copy(s.attrs[i].value)};
            d.attrs = std::span<const Attr>(attrs, s.attrs.size());
        }
        d.text = into.copy(s.text);
        d.line = s.line;
        d.col = s.col;
        d.has_cdata = s.has_cdata;
        d.children.reserve(s.children.size());
        return d;
    };
    Node out = shallow(src);
    // Children vectors are reserved up front, so pointers into them stay valid.
    struct Frame {
        const Node* from;
        Node* to;
        std::size_t next;
    };
    std::vector<Frame> stack;
    stack.push_back({&src, &out, 0});
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next >= f.from->children.size()) {
            stack.pop_back();
            continue;
        }
        const Node& c = f.from->children[f.next++];
        Node* to = f.to;
        to->children.push_back(shallow(c));
        Node* made = &to->children.back();
        if (!c.children.empty()) stack.push_back({&c, made, 0});
    }
    return out;
}

}  // namespace adsieve
