// Storage of the document tree. Each parsed document owns one arena from
// which all its strings and child lists are carved: building the tree
// allocates in blocks and releasing it is one free per block. Nodes made
// outside a parse use the default heap.
#pragma once

#include <cstddef>
#include <memory_resource>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace adsieve {

using String = std::pmr::string;
template <class T>
using Vector = std::pmr::vector<T>;

// A bump allocator over a few large blocks from the C heap: the first one
// sized from what the caller expects to need, each further one twice the size
// of the last (up to a cap); a request larger than a quarter of the current
// block size gets a block of its own. Nothing is freed before the arena
// itself, which frees its blocks in one go.
class Arena final : public std::pmr::memory_resource {
public:
    explicit Arena(std::size_t expected = 0) noexcept;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena() override;

    // Room for n T (trivially copyable types), not yet constructed.
    template <class T>
    T* make_array(std::size_t n) {
        static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
        return static_cast<T*>(allocate(n * sizeof(T), alignof(T)));
    }
    // A copy of s kept by the arena.
    std::string_view copy(std::string_view s);

private:
    struct Block {
        Block* next;
    };
    static constexpr std::size_t kMinBlock = 4 * 1024;
    static constexpr std::size_t kMaxBlock = 64 * 1024 * 1024;

    void* do_allocate(std::size_t bytes, std::size_t align) override;
    void do_deallocate(void*, std::size_t, std::size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    Block* blocks_ = nullptr;
    char* cur_ = nullptr;
    char* end_ = nullptr;
    std::size_t next_size_;  // size of the next shared block
};

}  // namespace adsieve
