// The library's C++ face: what the C functions and other in-process callers
// use. Everything else under core/src is the library's inside.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "json.h"
#include "overrides.h"
#include "report.h"
#include "rules/catalog.h"
#include "text.h"
#include "tree.h"
#include "validate.h"

namespace adsieve {

// The library version, from the build.
std::string_view library_version() noexcept;

// Line and byte column (1-based) of a byte offset of `text`.
Position position_of(std::string_view text, std::size_t offset);
// Line and byte column of an element of `doc` (0 and 0 for a stand-in).
Position position_of(const Document& doc, const Node& node);

// The element tree of UTF-8 text as JSON (see tree.h).
std::string tree_json(std::string_view text);

}  // namespace adsieve
