// Making document-supplied text safe for each place it is printed.
#pragma once

#include <string>
#include <string_view>

namespace cli {

// For a terminal or a log: control characters (C0, DEL, C1), bidirectional
// overrides and bytes that are not UTF-8 become visible escapes such as \x1b
// or \u202e, so a document can neither move the cursor nor retitle, clear or
// reorder the screen.
std::string printable(std::string_view s);

// A JSON string literal with its quotes; bytes that are not UTF-8 become U+FFFD.
std::string json_quote(std::string_view s);
void append_json_quoted(std::string& out, std::string_view s);

// A relative URI reference for a file name (SARIF artifact locations).
std::string uri_reference(std::string_view path);

// A URL as a valid URI: characters a URI may not hold are percent-encoded.
std::string uri_text(std::string_view url);

// GitHub workflow commands: the message part and a property value.
std::string github_data(std::string_view s);
std::string github_property(std::string_view s);

}  // namespace cli
