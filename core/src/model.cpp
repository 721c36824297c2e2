#include "model.h"

#include "walk.h"

#include <new>
#include <vector>

namespace adsieve {

const Node* Node::find_descendant(std::string_view n) const {
    const Node* found = nullptr;
    walk(*this, {}, Segment::None, [&](const Node& c, const WalkPath&) {
        if (&c != this && c.name == n) {
            found = &c;
            return Step::Stop;
        }
        return Step::Into;
    });
    return found;
}

Node deep_copy(const Node& src, Arena& into) {
    // Everything but the children: those are filled in from the stack.
    auto shallow = [&into](const Node& s) {
        Node d;
        d.name = into.copy(s.name);
        if (!s.attrs.empty()) {
            Attr* attrs = into.make_array<Attr>(s.attrs.size());
            for (std::size_t i = 0; i < s.attrs.size(); ++i)
                new (&attrs[i]) Attr{into.copy(s.attrs[i].name), into.copy(s.attrs[i].value)};
            d.attrs = List<Attr>(attrs, s.attrs.size());
        }
        d.text = into.copy(s.text);
        d.line = s.line;
        d.col = s.col;
        d.has_cdata = s.has_cdata;
        return d;
    };
    Node out = shallow(src);
    struct Frame {
        const Node* from;
        Node* to;
    };
    std::vector<Frame> stack;
    stack.push_back({&src, &out});
    while (!stack.empty()) {
        const Frame f = stack.back();
        stack.pop_back();
        const std::size_t n = f.from->children.size();
        if (n == 0) continue;
        Node* kids = into.make_array<Node>(n);
        for (std::size_t i = 0; i < n; ++i) {
            new (&kids[i]) Node(shallow(f.from->children[i]));
            stack.push_back({&f.from->children[i], &kids[i]});
        }
        f.to->children = List<Node>(kids, n);
    }
    return out;
}

}  // namespace adsieve
