// Element tree of one parsed document.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "alloc.h"

namespace adsieve {

struct Attr {
    std::string_view name;   // local name (prefix removed)
    std::string_view value;  // raw value, references not decoded, not trimmed
};

// A read-only view of a list kept elsewhere (in a document's arena).
template <class T>
class List {
public:
    constexpr List() noexcept = default;
    constexpr List(const T* data, std::size_t size) noexcept : data_(data), size_(size) {}

    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + size_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    const T& operator[](std::size_t i) const noexcept { return data_[i]; }
    const T& at(std::size_t i) const {
        if (i >= size_) throw std::out_of_range("list index out of range");
        return data_[i];
    }
    const T& front() const noexcept { return data_[0]; }
    const T& back() const noexcept { return data_[size_ - 1]; }
    operator std::span<const T>() const noexcept { return {data_, size_}; }

private:
    const T* data_ = nullptr;
    std::size_t size_ = 0;
};

// Names, attributes and most texts are views into the text the document was
// parsed from; texts that had to be joined or decoded, attribute lists and
// child lists live in the document's arena. A node owns nothing: copying one
// is shallow and the arena releases the whole tree at once.
struct Node {
    std::string_view name;   // local name
    std::string_view text;   // own text pieces, each trimmed, joined
    List<Attr> attrs;        // document order
    List<Node> children;     // document order
    std::uint32_t line = 0;  // 1-based line of the opening '<'
    std::uint32_t col = 0;   // 1-based byte column of the opening '<'
    bool has_cdata = false;  // a non-blank CDATA section contributed to text

    // Value of the first attribute with exactly this name. Inline, so that
    // the comparisons with a literal name compile to a few loads.
    std::optional<std::string_view> attr(std::string_view n) const noexcept {
        for (const Attr& a : attrs)
            if (a.name.size() == n.size() && (n.empty() || std::memcmp(a.name.data(), n.data(), n.size()) == 0)) return a.value;
        return std::nullopt;
    }
    // First direct child with exactly this name.
    const Node* child(std::string_view n) const noexcept {
        for (const Node& c : children)
            if (c.name.size() == n.size() && (n.empty() || std::memcmp(c.name.data(), n.data(), n.size()) == 0)) return &c;
        return nullptr;
    }
    bool has_child(std::string_view n) const noexcept { return child(n) != nullptr; }
    // First descendant (depth-first pre-order, the node itself excluded).
    const Node* find_descendant(std::string_view n) const;
};

// Nodes are copied with memcpy into arena lists.
static_assert(std::is_trivially_copyable_v<Node> && std::is_trivially_destructible_v<Node>);

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
