// Fuzz entry for the XML layer: any valid UTF-8 text must parse without a
// crash, into a node list whose subtrees nest properly.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "model.h"
#include "parse.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    // The library only ever parses text whose encoding was checked first.
    if (!adsieve::text::is_valid_utf8(in)) return 0;
    adsieve::Document doc = adsieve::parse(in);
    const adsieve::Node& root = doc.root();
    // Only the stand-in root of a document without elements has no start in
    // the text; every real element starts at a '<', later than the one
    // before it.
    if (!adsieve::tag_offset(in, root) && (root.name() != "__empty__" || root.has_children())) __builtin_trap();
    std::size_t last_start = adsieve::tag_offset(in, root).value_or(0);
    // Every node in document order: its attributes and subtree end within
    // its parent's, and the list ends where the root's subtree does.
    if (&root + root.span != &root + doc.nodes.size()) __builtin_trap();
    std::vector<const adsieve::Node*> ends{&root + root.span};
    for (const adsieve::Node* n = &root; n != ends.front();) {
        while (n == ends.back()) ends.pop_back();
        const adsieve::Node* end = n + n->span;
        if (n->first_child() > end || end > ends.back()) __builtin_trap();
        if (n != &root) {
            const auto start = adsieve::tag_offset(in, *n);
            if (!start || in[*start] != '<' || *start <= last_start) __builtin_trap();
            last_start = *start;
        }
        ends.push_back(end);
        n = n->first_child();
    }
    (void)root.find_descendant("VAST");
    return 0;
}
