// Element tree of one parsed document.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
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

struct Node;

// The children of a node: they follow it in its document's node list, each
// one after the whole subtree of the one before. Walking them is a few
// pointer steps; counting them is a walk.
class Children {
public:
    class iterator {
    public:
        using value_type = Node;
        using difference_type = std::ptrdiff_t;
        using reference = const Node&;
        using pointer = const Node*;
        using iterator_category = std::forward_iterator_tag;
        iterator() noexcept = default;
        explicit iterator(const Node* p) noexcept : p_(p) {}
        const Node& operator*() const noexcept { return *p_; }
        const Node* operator->() const noexcept { return p_; }
        inline iterator& operator++() noexcept;
        iterator operator++(int) noexcept {
            iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const iterator& o) const noexcept { return p_ == o.p_; }

    private:
        const Node* p_ = nullptr;
    };

    constexpr Children() noexcept = default;
    Children(const Node* first, const Node* end) noexcept : first_(first), end_(end) {}

    iterator begin() const noexcept { return iterator(first_); }
    iterator end() const noexcept { return iterator(end_); }
    bool empty() const noexcept { return first_ == end_; }
    const Node& front() const noexcept { return *first_; }
    // Number of children: a walk over them.
    std::size_t count() const noexcept {
        std::size_t n = 0;
        for (auto it = begin(); it != end(); ++it) ++n;
        return n;
    }
    // Child i: a walk over the ones before it.
    const Node& at(std::size_t i) const {
        for (auto it = begin(); it != end(); ++it)
            if (i-- == 0) return *it;
        throw std::out_of_range("child index out of range");
    }

private:
    const Node* first_ = nullptr;
    const Node* end_ = nullptr;
};

// One element. A document keeps all its elements in one list in document
// order, so an element's subtree is the `span` nodes starting at the element
// itself and its first child, if any, is the node right after it. Names and
// most texts are views into the text the document was parsed from; texts that
// had to be joined or decoded and the attribute lists live in the document's
// arena. A node owns nothing.
struct Node {
    std::string_view name;   // local name
    std::string_view text;   // own text pieces, each trimmed, joined
    const Attr* attr_data = nullptr;
    std::uint32_t attr_count : 31 = 0;
    std::uint32_t has_cdata : 1 = 0;  // a non-blank CDATA section contributed to text
    std::uint32_t span = 1;  // this node and its descendants
    std::uint32_t line = 0;  // 1-based line of the opening '<'
    std::uint32_t col = 0;   // 1-based byte column of the opening '<'

    List<Attr> attrs() const noexcept { return {attr_data, attr_count}; }
    Children children() const noexcept { return {this + 1, this + span}; }
    bool has_children() const noexcept { return span > 1; }

    // Value of the first attribute with exactly this name. Inline, so that
    // the comparisons with a literal name compile to a few loads.
    std::optional<std::string_view> attr(std::string_view n) const noexcept {
        for (const Attr& a : attrs())
            if (a.name.size() == n.size() && (n.empty() || std::memcmp(a.name.data(), n.data(), n.size()) == 0)) return a.value;
        return std::nullopt;
    }
    // First direct child with exactly this name.
    const Node* child(std::string_view n) const noexcept {
        for (const Node& c : children())
            if (c.name.size() == n.size() && (n.empty() || std::memcmp(c.name.data(), n.data(), n.size()) == 0)) return &c;
        return nullptr;
    }
    bool has_child(std::string_view n) const noexcept { return child(n) != nullptr; }
    // First descendant (document order, the node itself excluded).
    const Node* find_descendant(std::string_view n) const noexcept {
        for (const Node* d = this + 1; d != this + span; ++d)
            if (d->name == n) return d;
        return nullptr;
    }
};

inline Children::iterator& Children::iterator::operator++() noexcept {
    p_ += p_->span;
    return *this;
}

// Nodes are kept in a buffer that grows with realloc.
static_assert(std::is_trivially_copyable_v<Node> && std::is_trivially_destructible_v<Node>);
static_assert(sizeof(Node) == 56);

// The nodes of one document, in document order, in one buffer from the C
// heap. Growing a large buffer moves its pages rather than copying them.
class NodeList {
public:
    NodeList() noexcept = default;
    NodeList(NodeList&& o) noexcept : data_(o.data_), size_(o.size_), cap_(o.cap_) { o.data_ = nullptr, o.size_ = o.cap_ = 0; }
    NodeList& operator=(NodeList&& o) noexcept {
        if (this != &o) {
            std::free(data_);
            data_ = o.data_, size_ = o.size_, cap_ = o.cap_;
            o.data_ = nullptr, o.size_ = o.cap_ = 0;
        }
        return *this;
    }
    ~NodeList() { std::free(data_); }

    void reserve(std::size_t n);
    // Appends a default node and returns it; earlier references stay valid
    // only until the next append.
    Node& push() {
        if (size_ == cap_) reserve(cap_ ? cap_ * 2 : 16);
        return *::new (data_ + size_++) Node{};
    }
    Node& operator[](std::size_t i) noexcept { return data_[i]; }
    const Node& operator[](std::size_t i) const noexcept { return data_[i]; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

private:
    Node* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t cap_ = 0;
};

// The tree views the parsed text and lives in the document's arena and node
// list: neither the document nor a node taken from it may outlive that text.
struct Document {
    std::unique_ptr<Arena> arena;
    NodeList nodes;  // every element in document order; nodes[0] is the root
    std::optional<std::string> parse_error;
    std::size_t parse_error_offset = 0;  // byte offset where reading stopped

    const Node& root() const noexcept { return nodes[0]; }
};

}  // namespace adsieve
