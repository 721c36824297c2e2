// Whether a text parses as an absolute URL.
#pragma once

#include <string_view>

namespace adsieve::url {

// True exactly when the WHATWG basic URL parser, given the text and no base
// URL, returns a URL rather than failure.
bool is_absolute_url(std::string_view input);

}  // namespace adsieve::url
