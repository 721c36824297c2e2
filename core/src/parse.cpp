// Folds tokenizer events into the element tree.
#include <algorithm>
#include <memory>
#include <new>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model.h"
#include "parse.h"
#include "text.h"
#include "xml/tokenizer.h"
// The tokenizer is compiled here, so that its hot paths can be inlined into the loop below.
#include "xml/tokenizer.inc"

namespace adsieve {

namespace {

// Appends a piece with CR LF and lone CR turned into LF.
void append_newlines(std::string& out, std::string_view piece) {
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

// Text of one open element while its content is read: nothing yet, one piece
// still viewed where it lies, or pieces joined at the end of the scratch text.
// The one viewed piece is kept in the node's own text.
// Both offsets fit in 32 bits: the parser takes at most 4 GiB of input.
struct OpenElement {
    std::uint32_t node;        // index in the node list
    std::uint32_t text_start;  // where its joined text starts in the scratch text
    enum : unsigned char { kNoText, kViewed, kJoined } state = kNoText;
};

// The open elements, innermost last. The first kInline are kept in the
// parser's own frame, so that most documents need no heap block for them; a
// deeper one moves them to the C heap, grown by doubling.
class OpenStack {
public:
    // Provided, so that making one (the parser's `{}`) never zero-fills its
    // room first.
    OpenStack() noexcept {}
    OpenStack(const OpenStack&) = delete;
    OpenStack& operator=(const OpenStack&) = delete;
    ~OpenStack() {
        if (begin_ != inline_data()) std::free(begin_);
    }

    bool empty() const noexcept { return end_ == begin_; }
    std::size_t size() const noexcept { return static_cast<std::size_t>(end_ - begin_); }
    OpenElement& back() noexcept { return end_[-1]; }
    const OpenElement& operator[](std::size_t i) const noexcept { return begin_[i]; }
    void pop_back() noexcept { --end_; }
    void push_back(const OpenElement& o) {
        if (end_ == cap_) grow();
        ::new (end_++) OpenElement(o);
    }

private:
    static constexpr std::size_t kInline = 64;
    OpenElement* inline_data() noexcept { return reinterpret_cast<OpenElement*>(inline_); }

    [[gnu::noinline]] void grow() {
        const std::size_t size = this->size(), cap = 2 * static_cast<std::size_t>(cap_ - begin_);
        const bool moving_out = begin_ == inline_data();
        void* bigger = moving_out ? std::malloc(cap * sizeof(OpenElement))
                                  : std::realloc(static_cast<void*>(begin_), cap * sizeof(OpenElement));
        if (!bigger) throw std::bad_alloc();
        if (moving_out) std::memcpy(bigger, inline_, size * sizeof(OpenElement));
        begin_ = static_cast<OpenElement*>(bigger);
        end_ = begin_ + size;
        cap_ = begin_ + cap;
    }

    alignas(OpenElement) unsigned char inline_[kInline * sizeof(OpenElement)];
    OpenElement* begin_ = inline_data();
    OpenElement* end_ = begin_;
    OpenElement* cap_ = begin_ + kInline;
};
static_assert(std::is_trivially_copyable_v<OpenElement> && std::is_trivially_destructible_v<OpenElement>);

// Builds the tree in document order, straight into the document's node list:
// an element is appended when it opens and learns the size of its subtree
// when it closes, so nothing is copied. Texts of open elements are joined on
// one scratch string used as a stack: only the innermost open element ever
// adds to it.
struct Builder {
    Arena& arena;
    NodeList& nodes;
    OpenStack open;
    std::string scratch;

    // Adds a non-empty piece to the innermost element's text. `stable` pieces
    // (in the input or static) may be kept as a view while they are alone.
    // The usual case, an element's only piece, is handled in place.
    void add_piece(std::string_view piece, bool stable) {
        OpenElement& o = open.back();
        if (o.state == OpenElement::kNoText && stable) {
            nodes[o.node].set_text(piece);
            o.state = OpenElement::kViewed;
            return;
        }
        add_joined(o, piece);
    }
    // Kept out of line, so that the usual case above is inlined where it is used.
    [[gnu::noinline]] void add_joined(OpenElement& o, std::string_view piece) {
        join(o);
        scratch.append(piece);
    }
    // Moves the innermost element's text onto the scratch text.
    void join(OpenElement& o) {
        if (o.state == OpenElement::kViewed) scratch.append(nodes[o.node].text());
        o.state = OpenElement::kJoined;
    }

    // `may_hold_cr`: false when `raw` is known to hold no carriage return.
    void add_text(std::string_view raw, bool may_hold_cr) {
        std::string_view piece = text::trim(raw);
        if (piece.empty()) return;
        if (!may_hold_cr || std::memchr(piece.data(), '\r', piece.size()) == nullptr) {
            add_piece(piece, true);
            return;
        }
        join(open.back());
        append_newlines(scratch, piece);
    }

    // A reference: `name` lies between '&' and ';' in the input.
    void add_reference(std::string_view name) {
        static constexpr std::string_view kNames[] = {"lt", "gt", "amp", "apos", "quot"};
        static constexpr std::string_view kChars[] = {"<", ">", "&", "'", "\""};
        for (std::size_t k = 0; k < std::size(kNames); ++k)
            if (name == kNames[k]) {
                add_piece(kChars[k], true);
                return;
            }
        long cp = char_ref_value(name);
        if (cp >= 0) {
            char buf[4];
            std::size_t len = encode_utf8(static_cast<char32_t>(cp), buf);
            std::string_view piece = text::trim(std::string_view(buf, len));
            if (!piece.empty()) add_piece(piece, false);
            return;
        }
        // Kept literally, "&name;" as it stands in the input.
        add_piece(std::string_view(name.data() - 1, name.size() + 2), true);
    }

    // Closes the innermost open element.
    void close() {
        OpenElement& o = open.back();
        Node& n = nodes[o.node];
        if (o.state == OpenElement::kJoined) {
            n.set_text(arena.copy(std::string_view(scratch).substr(o.text_start)));
            scratch.resize(o.text_start);
        }
        n.span = static_cast<std::uint32_t>(nodes.size() - o.node);
        open.pop_back();
    }
};

}  // namespace

// Flattened: the tokenizer's reading and the tree's building are inlined into
// the loop below, so that neither pays for calls per event.
[[gnu::flatten]] Document parse(std::string_view input, Arena* room) {
    // The arena keeps the texts that had to be joined, its first block sized
    // from the input (it is only taken when a first such text comes). Past a
    // few tens of kilobytes the block is at least 256 KiB: the C heap then
    // serves it from memory it keeps between documents instead of giving
    // pages back and faulting them in again on every call.
    std::size_t first_block = input.size() / 2;
    if (input.size() > 32 * 1024) first_block = std::max<std::size_t>(first_block, 256 * 1024);
    Document doc{Arena(first_block), NodeList{}, std::nullopt, 0, input};
    // A document without elements gets a stand-in root, without a position.
    auto empty_root = [&doc] {
        doc.nodes = NodeList{};
        doc.nodes.push().set_name("__empty__");
    };
    if (input.size() > UINT32_MAX) {
        // Lengths, lines, columns and subtree sizes are kept in 32 bits. Up
        // to 4 GiB they cannot overflow: every element takes at least 3
        // bytes of input and one slot, every attribute at least 4 bytes and
        // less than one slot.
        empty_root();
        doc.parse_error = "XML parse error at position 0: document larger than 4 GiB";
        return doc;
    }
    Arena& mem = doc.arena;
    NodeList& nodes = doc.nodes;
    // No document takes more than one slot per 4 bytes (`<a/>`, or an
    // attribute `a=""`).
    const std::size_t slots = first_slots(input.size());
    if (room) nodes.lend(room->make_array<Node>(slots), slots, input.size() / 4 + 16);
    else nodes.reserve(slots);
    xml::Tokenizer tok = xml::make_tokenizer(input);
    tok.blank_text = false;  // blank pieces add nothing to a text
    tok.one_pass = true;
    Builder b{mem, nodes, {}, {}};

    // Appends the element and its attributes; returns its index.
    auto make_node = [&](const xml::Event& e) {
        const std::size_t at = nodes.size();
        // Most elements have no attributes: their slot count is known.
        Node& n = tok.attributes.empty() ? nodes.push() : nodes.push(tok.attributes.size());
        // Local names are cut without substr's range test: the tokenizer's offsets
        // always lie within their names.
        n.set_name(std::string_view(e.data.data() + e.local, e.data.size() - e.local));
        if (!tok.attributes.empty()) {
            Attr* out = NodeList::attrs_of(n);
            for (const xml::RawAttr& a : tok.attributes) ::new (out++) Attr{std::string_view(a.key.data() + a.local, a.key.size() - a.local), a.value};
            n.attr_count = static_cast<std::uint32_t>(tok.attributes.size());
        }
        return at;
    };

    xml::Event e;  // each event writes only its own fields
    for (bool reading = true; reading;) {
        xml::read_event(tok, e, /*one_pass=*/true, /*blank_text=*/false);  // as set above
        // Tags and texts first, by tests that the branch predictor follows
        // better than one jump through a table.
        if (e.kind <= xml::EventKind::kEmpty) {
            const std::size_t at = make_node(e);
            // The root stays open even when empty: later content still
            // attaches to it.
            if (e.kind == xml::EventKind::kStart || b.open.empty())
                b.open.push_back(
                    OpenElement{static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(b.scratch.size())});
            continue;
        }
        if (e.kind == xml::EventKind::kEnd) {
            if (b.open.size() >= 2) b.close();
            continue;
        }
        if (e.kind == xml::EventKind::kText) {
            if (!b.open.empty()) b.add_text(e.data, e.may_hold_cr);
            continue;
        }
        switch (e.kind) {
            case xml::EventKind::kCData:
                if (!b.open.empty()) {
                    std::string_view piece = text::trim(e.data);
                    if (!piece.empty()) {
                        b.add_piece(piece, true);
                        nodes[b.open.back().node].has_cdata = true;
                    }
                }
                break;
            case xml::EventKind::kReference:
                if (!b.open.empty()) b.add_reference(e.data);
                break;
            case xml::EventKind::kEof:
                if (b.open.size() >= 2) {
                    std::string msg = "XML parse error at end of document: unexpected EOF with unclosed element(s): ";
                    for (std::size_t i = 1; i < b.open.size(); ++i) {
                        if (i > 1) msg += " > ";
                        msg += nodes[b.open[i].node].name();
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
            default: break;  // handled above
        }
    }
    if (b.open.empty()) {
        empty_root();
        return doc;
    }
    while (!b.open.empty()) b.close();
    return doc;
}

}  // namespace adsieve
