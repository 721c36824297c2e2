// Element tree of one parsed document.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "alloc.h"

namespace adsieve {

struct Attr {
    std::string_view name;   // local name (prefix removed)
    std::string_view value;  // raw value, references not decoded, not trimmed
};

// Names, attributes and most texts are views into the text the document was
// parsed from; texts that had to be joined or decoded, attribute lists and
// child lists live in the document's arena.
struct Node {
    std::string_view name;          // local name
    std::span<const Attr> attrs;    // document order
    std::string_view text;          // own text pieces, each trimmed, joined
    Vector<Node> children;          // document order
    std::uint32_t line = 0;       // 1-based line of the opening '<'
    std::uint32_t col = 0;        // 1-based byte column of the opening '<'
    bool has_cdata = false;       // a non-blank CDATA section contributed to text

    Node() = default;
    // A node whose storage comes from `mem` (a document's arena).
    explicit Node(std::pmr::memory_resource* mem) : children(mem) {}
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

// Copies a subtree, texts included, into `into` without recursion on its
// depth: the copy lives as long as that arena.
Node deep_copy(const Node& src, Arena& into);

// The tree views the parsed text and lives in the document's arena: neither
// the document nor a node moved out of it may outlive that text or the arena.
struct Document {
    std::unique_ptr<Arena> arena;  // declared first: released after the tree
    Node root;
    std::optional<std::string> parse_error;
    std::size_t parse_error_offset = 0;  // byte offset where reading stopped
};

}  // namespace adsieve
