// Storage of the document tree. Each parsed document owns one arena from
// which all its strings and child lists are carved: building the tree
// allocates in blocks and releasing it is one free per block. Nodes made
// outside a parse use the default heap.
#pragma once

#include <cstddef>
#include <memory_resource>
#include <string>
#include <vector>

namespace adsieve {

using String = std::pmr::string;
template <class T>
using Vector = std::pmr::vector<T>;

// A bump allocator over blocks of a fixed size taken from the C heap, so the
// heap recycles them from one document to the next; larger requests get a
// block of their own. Nothing is freed before the arena itself.
class Arena final : public std::pmr::memory_resource {
public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena() override;

private:
    struct Block {
        Block* next;
    };
    static constexpr std::size_t kBlockSize = 32 * 1024;

    void* do_allocate(std::size_t bytes, std::size_t align) override;
    void do_deallocate(void*, std::size_t, std::size_t) override {}
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    Block* blocks_ = nullptr;
    char* cur_ = nullptr;
    char* end_ = nullptr;
};

}  // namespace adsieve
