// Element tree of one parsed document.
#pragma once

#include <algorithm>
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

// One element, 32 bytes. A document keeps all its elements in one list in
// document order: an element's attributes fill the slots right after it,
// then come its children, each followed by its own subtree, so the element's
// whole subtree is the `span` slots from the element itself on. Names and
// most texts are views into the text the document was parsed from; texts that
// had to be joined or decoded live in the document's arena. A node owns
// nothing. Where an element starts is known from its name, which is always a
// view into that text (see tag_offset).
struct Node {
    const char* name_data = "";
    const char* text_data = "";
    std::uint32_t name_size = 0;
    std::uint32_t text_size = 0;
    std::uint32_t attr_count : 31 = 0;
    std::uint32_t has_cdata : 1 = 0;  // a non-blank CDATA section contributed to text
    std::uint32_t span = 1;  // slots of this node, its attributes and its descendants

    std::string_view name() const noexcept { return {name_data, name_size}; }  // local name
    std::string_view text() const noexcept { return {text_data, text_size}; }  // own text pieces, each trimmed, joined
    // Views of at most 4 GiB - 1 bytes: the parser refuses larger documents.
    void set_name(std::string_view s) noexcept { name_data = s.data(), name_size = static_cast<std::uint32_t>(s.size()); }
    void set_text(std::string_view s) noexcept { text_data = s.data(), text_size = static_cast<std::uint32_t>(s.size()); }

    // Slots the attributes take after their node.
    static constexpr std::size_t attr_slots(std::size_t count) noexcept;
    List<Attr> attrs() const noexcept { return {reinterpret_cast<const Attr*>(this + 1), attr_count}; }
    // The first child, if any; in any case the node after this one in
    // document order, or the end of the subtree.
    const Node* first_child() const noexcept { return this + 1 + attr_slots(attr_count); }
    Children children() const noexcept { return {first_child(), this + span}; }
    bool has_children() const noexcept { return first_child() != this + span; }

    // Name comparison for the lookups below. Inline, so that a comparison
    // with a literal name compiles to a few loads.
    static bool same_name(std::string_view a, std::string_view b) noexcept {
        return a.size() == b.size() && (b.empty() || std::memcmp(a.data(), b.data(), b.size()) == 0);
    }
    // Value of the first attribute with exactly this name.
    std::optional<std::string_view> attr(std::string_view n) const noexcept {
        for (const Attr& a : attrs())
            if (same_name(a.name, n)) return a.value;
        return std::nullopt;
    }
    // First direct child with exactly this name.
    const Node* child(std::string_view n) const noexcept {
        for (const Node& c : children())
            if (same_name(c.name(), n)) return &c;
        return nullptr;
    }
    bool has_child(std::string_view n) const noexcept { return child(n) != nullptr; }
    // First descendant (document order, the node itself excluded).
    const Node* find_descendant(std::string_view n) const noexcept {
        for (const Node* d = first_child(); d != this + span; d = d->first_child())
            if (d->name() == n) return d;
        return nullptr;
    }
};

constexpr std::size_t Node::attr_slots(std::size_t count) noexcept {
    return (count * sizeof(Attr) + sizeof(Node) - 1) / sizeof(Node);
}

inline Children::iterator& Children::iterator::operator++() noexcept {
    p_ += p_->span;
    return *this;
}

// Nodes and attributes share the slots of a buffer that grows with realloc.
static_assert(std::is_trivially_copyable_v<Node> && std::is_trivially_destructible_v<Node>);
static_assert(std::is_trivially_copyable_v<Attr> && alignof(Attr) <= alignof(Node));
static_assert(sizeof(Node) == 2 * sizeof(const char*) + 4 * sizeof(std::uint32_t));  // 32 bytes on 64-bit targets

// The nodes of one document, in document order, in one buffer from the C
// heap, or first in room lent by the caller (kept by whoever lent it). Growing
// a large buffer moves its pages rather than copying them.
class NodeList {
public:
    NodeList() noexcept = default;
    NodeList(NodeList&& o) noexcept : data_(o.data_), size_(o.size_), cap_(o.cap_), owned_(o.owned_), most_(o.most_) {
        o.data_ = nullptr, o.size_ = o.cap_ = 0;
    }
    NodeList& operator=(NodeList&& o) noexcept {
        if (this != &o) {
            if (owned_) std::free(data_);
            data_ = o.data_, size_ = o.size_, cap_ = o.cap_, owned_ = o.owned_, most_ = o.most_;
            o.data_ = nullptr, o.size_ = o.cap_ = 0;
        }
        return *this;
    }
    ~NodeList() {
        if (owned_) std::free(data_);
    }

    // Room for `n` slots at `room`, taken while the list is still empty; the
    // list grows onto the C heap beyond it, at once to `most` slots (the
    // most the rest can need), so that it moves once.
    void lend(Node* room, std::size_t n, std::size_t most) noexcept {
        if (size_ != 0 || n <= cap_) return;
        if (owned_) std::free(data_);
        data_ = room, cap_ = n, owned_ = false, most_ = most;
    }
    void reserve(std::size_t n);
    // Appends a default node with room for `attrs` attributes after it (to be
    // filled through attrs_of) and returns it; earlier references stay valid
    // only until the next append.
    Node& push(std::size_t attrs = 0) {
        const std::size_t slots = 1 + Node::attr_slots(attrs);
        if (cap_ - size_ < slots) reserve(std::max(cap_ * 2, size_ + slots + 16));
        Node* n = ::new (data_ + size_) Node{};
        n->span = static_cast<std::uint32_t>(slots);  // until it has children
        size_ += slots;
        return *n;
    }
    // Where the attributes of the node pushed with room for them go.
    static Attr* attrs_of(Node& n) noexcept { return reinterpret_cast<Attr*>(&n + 1); }
    Node& operator[](std::size_t i) noexcept { return data_[i]; }
    const Node& operator[](std::size_t i) const noexcept { return data_[i]; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

private:
    Node* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t cap_ = 0;
    bool owned_ = true;  // data_ is from the C heap (or null)
    std::size_t most_ = 0;  // while in lent room: what to grow to
};

// The tree views the parsed text and lives in the document's arena and node
// list: neither the document nor a node taken from it may outlive that text.
struct Document {
    Arena arena;     // joined and decoded texts; moving it keeps them in place
    NodeList nodes;  // every element in document order; nodes[0] is the root
    std::optional<std::string> parse_error;
    std::size_t parse_error_offset = 0;  // byte offset where reading stopped
    std::string_view text;  // what was parsed; the nodes' offsets point into it

    const Node& root() const noexcept { return nodes[0]; }
};

// Byte offset in `text` of the '<' that opens `n`, found from its name (the
// local name, after any prefix). None for an element that was not read from
// `text`, such as the stand-in root of a document without elements. Lines
// and columns are worked out from it only for the few elements a finding
// points at.
inline std::optional<std::size_t> tag_offset(std::string_view text, const Node& n) noexcept {
    const auto base = reinterpret_cast<std::uintptr_t>(text.data());
    const auto at = reinterpret_cast<std::uintptr_t>(n.name_data);
    if (at <= base || at - base > text.size() || text.size() - (at - base) < n.name_size) return std::nullopt;
    for (std::size_t off = at - base; off > 0; --off)
        if (text[off - 1] == '<') return off - 1;
    return std::nullopt;
}

}  // namespace adsieve
