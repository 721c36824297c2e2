#include "model.h"

#include <cstring>

#include <cstdlib>
#include <new>

namespace adsieve {

void NodeList::reserve(std::size_t n) {
    if (n <= cap_) return;
    if (n > SIZE_MAX / sizeof(Node)) throw std::bad_alloc();
    void* grown;
    if (owned_) {
        grown = std::realloc(static_cast<void*>(data_), n * sizeof(Node));
    } else {
        // Out of the room it started in, which stays where it is.
        grown = std::malloc(n * sizeof(Node));
        if (grown && size_ != 0) std::memcpy(grown, static_cast<const void*>(data_), size_ * sizeof(Node));
    }
    if (!grown) throw std::bad_alloc();
    owned_ = true;
    data_ = static_cast<Node*>(grown);
    cap_ = n;
}

}  // namespace adsieve
