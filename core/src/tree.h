// The element tree as the parser read it, as JSON.
#pragma once

#include <string>

#include "model.h"

namespace adsieve {

// {"error":bool,"error_text":string|null,"root":{name,attrs,text,has_cdata,line,col,children}}
std::string tree_json(const Document& doc);

}  // namespace adsieve
