// The element tree as the parser read it, as JSON.
#pragma once

#include <string>

#include "model.h"

namespace adsieve::ffi {

// {"error":bool,"error_text":string|null,"root":{name,attrs,text,has_cdata,line,col,children}}
std::string tree_json(const VastDocument& doc);

}  // namespace adsieve::ffi
