// Included ahead of every library source in the WebAssembly build.
#pragma once
#include <charconv>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 200000
// libc++ before 20 has std::from_chars for integers only; compat.cpp supplies
// the double overload with the behaviour of the native build's library.
namespace std {
from_chars_result from_chars(const char* first, const char* last, double& value,
                             chars_format fmt = chars_format::general);
}  // namespace std
#endif
