#include "tree.h"

#include <vector>

#include "json.h"
#include "xml/tokenizer.h"

namespace adsieve {

// Prints the tree as {"error":..,"error_text":..,"root":{..}} without recursion.
std::string tree_json(const Document& doc) {
    std::string out = "{\"error\":";
    out += doc.parse_error ? "true" : "false";
    out += ",\"error_text\":";
    if (doc.parse_error) append_escaped(out, *doc.parse_error);
    else out += "null";
    out += ",\"root\":";
    struct Frame {
        const Node* node;
        const Node* next;  // next child to print
    };
    // Nodes are printed in document order, so their lines are counted in
    // one pass.
    xml::LineCounter lines;
    auto open = [&out, &lines, &doc](const Node& n) {
        out += "{\"name\":";
        append_escaped(out, n.name());
        out += ",\"attrs\":[";
        const List<Attr> attrs = n.attrs();
        for (std::size_t i = 0; i < attrs.size(); ++i) {
            if (i) out += ',';
            out += '[';
            append_escaped(out, attrs[i].name);
            out += ',';
            append_escaped(out, attrs[i].value);
            out += ']';
        }
        out += "],\"text\":";
        append_escaped(out, n.text());
        out += ",\"has_cdata\":";
        out += n.has_cdata ? "true" : "false";
        xml::LineCol at{0, 0};
        if (const auto off = tag_offset(doc.text, n)) at = xml::locate(lines, doc.text, *off);
        out += ",\"line\":" + std::to_string(at.line) + ",\"col\":" + std::to_string(at.col);
        out += ",\"children\":[";
    };
    std::vector<Frame> stack;
    open(doc.root());
    stack.push_back({&doc.root(), doc.root().first_child()});
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.node + f.node->span) {
            out += "]}";
            stack.pop_back();
            continue;
        }
        if (f.next != f.node->first_child()) out += ',';
        const Node& c = *f.next;
        f.next += c.span;
        open(c);
        stack.push_back({&c, c.first_child()});
    }
    out += '}';
    return out;
}

}  // namespace adsieve
