#include "model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace adsieve {

void NodeList::reserve(std::size_t n) {
    if (n <= cap_) return;
    if (!owned_) n = std::max(n, most_);
    if (n > SIZE_MAX / sizeof(Node)) throw std::bad_alloc();
    // Lent room is left as it is; the C heap's block can grow in place.
    void* grown = owned_ ? std::realloc(static_cast<void*>(data_), n * sizeof(Node)) : std::malloc(n * sizeof(Node));
    if (!grown) throw std::bad_alloc();
    if (!owned_ && size_ != 0) std::memcpy(grown, static_cast<const void*>(data_), size_ * sizeof(Node));
    data_ = static_cast<Node*>(grown);
    owned_ = true;
    cap_ = n;
}

}  // namespace adsieve
