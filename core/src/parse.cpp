// Folds tokenizer events into the element tree.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"
#include "text.h"
#include "xml/tokenizer.h"

namespace adsieve {

namespace {

// Everything up to and including the first ':' is dropped.
std::string_view local_name(std::string_view qname) noexcept {
    std::size_t colon = qname.find(':');
    return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

// Appends a trimmed text piece with CR LF and lone CR turned into LF.
void append_text(String& out, std::string_view raw) {
    std::string_view piece = text::trim(raw);
    if (piece.empty()) return;
    if (std::memchr(piece.data(), '\r', piece.size()) == nullptr) {
        out.append(piece);
        return;
    }
    out.reserve(out.size() + piece.size());
    for (std::size_t i = 0; i < piece.size(); ++i) {
        char c = piece[i];
        if (c == '\r') {
            out.push_back('\n');
            if (i + 1 < piece.size() && piece[i + 1] == '\n') ++i;
        } else {
            out.push_back(c);
        }
    }
}

std::size_t encode_utf8(char32_t cp, char* buf) noexcept {
    if (cp < 0x80) {
        buf[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        buf[0] = static_cast<char>(0xC0 | (cp >> 6));
        buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        buf[0] = static_cast<char>(0xE0 | (cp >> 12));
        buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    buf[0] = static_cast<char>(0xF0 | (cp >> 18));
    buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// Value of a character reference name ("#65", "#x41", "#+65"), or -1 when it
// is not a valid reference to a Unicode scalar value.
long char_ref_value(std::string_view name) noexcept {
    if (name.size() < 2 || name[0] != '#') return -1;
    std::size_t i = 1;
    unsigned base = 10;
    if (name[i] == 'x' || name[i] == 'X') {
        base = 16;
        ++i;
    }
    if (i < name.size() && name[i] == '+') ++i;
    if (i >= name.size()) return -1;
    std::uint32_t v = 0;
    for (; i < name.size(); ++i) {
        char c = name[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            return -1;
        v = v * base + d;
        if (v > 0x10FFFF) return -1;  // also keeps the value within 32 bits
    }
    if (v >= 0xD800 && v <= 0xDFFF) return -1;
    return static_cast<long>(v);
}

void append_reference(String& out, std::string_view name) {
    static constexpr std::string_view kNames[] = {"lt", "gt", "amp", "apos", "quot"};
    static constexpr std::string_view kChars[] = {"<", ">", "&", "'", "\""};
    for (std::size_t k = 0; k < std::size(kNames); ++k)
        if (name == kNames[k]) {
            out.append(kChars[k]);
            return;
        }
    long cp = char_ref_value(name);
    if (cp >= 0) {
        char buf[4];
        std::size_t len = encode_utf8(static_cast<char32_t>(cp), buf);
        out.append(text::trim(std::string_view(buf, len)));
        return;
    }
    // Kept literally: it starts with '&' and ends with ';', nothing to trim.
    out.push_back('&');
    out.append(name);
    out.push_back(';');
}

}  // namespace

Document parse(std::string_view input) {
    // Small documents, the usual ad response, are built in an arena of their
    // own; large ones take the heap, which recycles their many small pieces
    // better than it does an arena's large blocks.
    constexpr std::size_t kArenaLimit = 256 * 1024;
    std::unique_ptr<Arena> arena;
    if (input.size() <= kArenaLimit) arena = std::make_unique<Arena>();
    std::pmr::memory_resource* mem = arena ? arena.get() : std::pmr::new_delete_resource();
    Document doc{std::move(arena), Node(mem), std::nullopt};
    xml::Tokenizer tok = xml::make_tokenizer(input);
    xml::SeenKeys seen;
    xml::LineCounter lines;
    // Open elements, outermost first. Each open element already sits in its
    // parent's children; only the innermost one ever gets new children, so
    // the pointers to its ancestors stay valid.
    std::vector<Node*> open;
    bool have_root = false;

    auto make_node = [&](Node& n, const xml::Event& e) {
        n.name = local_name(e.data);
        xml::AttrScan scan = xml::scan_attributes(e.attrs, seen);
        xml::RawAttr a;
        while (xml::next_attribute(scan, seen, a))
            n.attrs.push_back(Attr{String(local_name(a.key), mem), String(a.value, mem)});
        xml::LineCol lc = xml::locate(lines, input, e.pos);
        n.line = lc.line;
        n.col = lc.col;
    };

    for (bool reading = true; reading;) {
        xml::Event e = xml::next_event(tok);
        switch (e.kind) {
            case xml::EventKind::kStart:
            case xml::EventKind::kEmpty: {
                Node* n;
                if (open.empty()) {
                    // Only reached before any element was seen: the root is
                    // never popped.
                    n = &doc.root;
                    have_root = true;
                } else {
                    open.back()->children.emplace_back(mem);
                    n = &open.back()->children.back();
                }
                make_node(*n, e);
                if (e.kind == xml::EventKind::kStart || open.empty()) open.push_back(n);
                break;
            }
            case xml::EventKind::kEnd:
                // The root stays open: later content still attaches to it.
                if (open.size() >= 2) open.pop_back();
                break;
            case xml::EventKind::kText:
                if (!open.empty()) append_text(open.back()->text, e.data);
                break;
            case xml::EventKind::kCData:
                if (!open.empty()) {
                    std::string_view piece = text::trim(e.data);
                    if (!piece.empty()) {
                        open.back()->text.append(piece);
                        open.back()->has_cdata = true;
                    }
                }
                break;
            case xml::EventKind::kReference:
                if (!open.empty()) append_reference(open.back()->text, e.data);
                break;
            case xml::EventKind::kEof:
                if (open.size() >= 2) {
                    std::string msg = "XML parse error at end of document: unexpected EOF with unclosed element(s): ";
                    for (std::size_t i = 1; i < open.size(); ++i) {
                        if (i > 1) msg += " > ";
                        msg += open[i]->name;
                    }
                    doc.parse_error = std::move(msg);
                    doc.parse_error_offset = input.size();
                }
                reading = false;
                break;
            case xml::EventKind::kError:
                doc.parse_error = "XML parse error at position " + std::to_string(e.pos) + ": " + xml::describe(e);
                doc.parse_error_offset = e.pos;
                reading = false;
                break;
        }
    }
    if (!have_root) doc.root.name = "__empty__";
    return doc;
}

}  // namespace adsieve
