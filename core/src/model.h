// Element tree of one parsed document.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace adsieve {

struct Attr {
    std::string name;   // local name (prefix removed)
    std::string value;  // raw value, references not decoded, not trimmed
};

struct Node {
    std::string name;             // local name
    std::vector<Attr> attrs;      // document order
    std::string text;             // own text pieces, each trimmed, joined
    std::vector<Node> children;   // document order
    std::uint32_t line = 0;       // 1-based line of the opening '<'
    std::uint32_t col = 0;        // 1-based byte column of the opening '<'
    bool has_cdata = false;       // a non-blank CDATA section contributed to text

    Node() = default;
    Node(Node&&) noexcept = default;
    Node& operator=(Node&& other) noexcept;
    // Copies would recurse on depth; use deep_copy instead.
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    // Releases the subtree without recursion.
    ~Node();

    // Value of the first attribute with exactly this name.
    std::optional<std::string_view> attr(std::string_view n) const noexcept;
    // First direct child with exactly this name.
    const Node* child(std::string_view n) const noexcept;
    bool has_child(std::string_view n) const noexcept { return child(n) != nullptr; }
    // First descendant (depth-first pre-order, the node itself excluded).
    const Node* find_descendant(std::string_view n) const;
};

// Copies a subtree without recursion on its depth.
Node deep_copy(const Node& src);

struct VastDocument {
    Node root;
    std::optional<std::string> parse_error;
};

// Parses UTF-8 text (already checked) into a tree. Never fails: problems
// end the reading and are recorded in parse_error.
VastDocument parse(std::string_view text);

}  // namespace adsieve
