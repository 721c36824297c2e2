// One-pass pull tokenizer for XML documents.
//
// Events are views into the input; nothing is allocated per event. Comments,
// processing instructions, the XML declaration and DOCTYPE declarations are
// consumed silently (they still end the text piece before them). Reading
// stops at the first error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "alloc.h"

namespace adsieve::xml {

enum class EventKind : std::uint8_t {
    kStart,      // <name attrs>
    kEmpty,      // <name attrs/>
    kEnd,        // </name>
    kText,       // character data between markup (raw, may hold blanks)
    kCData,      // content of <![CDATA[...]]>
    kReference,  // &name;  (name may be anything but ';', '&', '<')
    kEof,
    kError,
};

enum class ErrorKind : std::uint8_t {
    kNone,
    kTagNotClosed,
    kDoubleQuoteNotClosed,
    kSingleQuoteNotClosed,
    kCDataNotClosed,
    kCommentNotClosed,
    kDoctypeNotClosed,
    kPiNotClosed,
    kXmlDeclNotClosed,
    kUnknownMarkup,
    kEndTagMismatch,
    kUnmatchedEndTag,
    kReferenceNotClosed,
    kDoctypeWithoutName,
};

// The fields a kind has: `pos` every kind but kEof; `data` tags, texts,
// CDATA, references and the two end-tag errors; `attrs` and `local` start
// and empty tags; `error` kError; `expected` kEndTagMismatch.
struct Event {
    EventKind kind = EventKind::kEof;
    // Start/Empty/End: raw tag name (prefix included). Text/CData: content.
    // Reference: the bytes between '&' and ';'. Error: the end-tag name found
    // for kEndTagMismatch / kUnmatchedEndTag.
    std::string_view data;
    // Start/Empty: everything after the name (attribute list).
    std::string_view attrs;
    // Start/Empty: where the local name starts in `data` (just after the
    // first ':', or 0 when there is none).
    std::size_t local = 0;
    // Error kEndTagMismatch: the name of the open start tag.
    std::string_view expected;
    // Offset of the opening '<' (tags, CDATA) or '&' (references), the start
    // of a text piece, or the error position. 0-based, in the input as given.
    std::size_t pos = 0;
    ErrorKind error = ErrorKind::kNone;
    // Text: false when the text is known to hold no carriage return.
    bool may_hold_cr = true;
};

// ---- attributes ----------------------------------------------------------

struct RawAttr {
    std::string_view key;    // qualified name, raw
    std::string_view value;  // bytes between the quotes
    std::size_t local = 0;   // where the local name starts in `key`
};

// Keys already met on the current tag. Reused across tags; switches to a hash
// set when a tag carries many attributes, so scanning stays linear.
struct SeenKeys {
    std::vector<std::string_view> small;
    std::unordered_set<std::string_view> big;
    bool use_big = false;
};

struct Tokenizer {
    // At the start of `in` (past a byte-order mark). Made in place: the open
    // names and attributes are kept inside it.
    explicit Tokenizer(std::string_view input);

    std::string_view in;
    // Where reading goes on; the end of the input once an error or the end
    // was reported.
    std::size_t pos = 0;
    std::size_t next_lt = 0;   // cached offset of the next '<' at or after pos
    std::size_t next_amp = 0;  // cached offset of the next '&' at or after pos
    // When false, a text piece of nothing but ASCII blanks (space, tab, LF,
    // VT, FF, CR) that runs up to markup is passed over without an event.
    bool blank_text = true;
    InlineList<std::string_view, 64> open;  // names of open start tags
    // How many of them hold a quote byte (only the general reading makes
    // such names). While there are none, an end tag that repeats the open
    // name followed by '>' is read by one comparison.
    std::size_t quoted_open = 0;
    // When set, plain start and empty tags, and end tags that repeat the open
    // name exactly, are read in one pass, and every
    // start and empty tag comes with its accepted attributes in
    // `attributes`: the list next_attribute would yield for its attribute
    // text. The events are the same either way.
    bool one_pass = false;
    InlineList<RawAttr, 16> attributes;
    SeenKeys seen;
};

inline Tokenizer make_tokenizer(std::string_view in) { return Tokenizer(in); }

// Reads the next event into `e`: its kind and the fields that kind has (see
// Event); the other fields keep what they held, so that a caller reusing one
// event pays only for those. After kEof or kError every call gives kEof.
void next_event(Tokenizer& t, Event& e);

// The same into a fresh event.
inline Event next_event(Tokenizer& t) {
    Event e;
    next_event(t, e);
    return e;
}

// The description of an error event (what follows "position N: ").
std::string describe(const Event& e);

// Attribute list walk over the attribute text of one tag.
struct AttrScan {
    std::string_view s;
    std::size_t p = 0;
    bool skip = false;
    bool done = false;
};

// Starts a walk; clears `seen`.
AttrScan scan_attributes(std::string_view attrs, SeenKeys& seen);

// Yields the next accepted attribute. Malformed items and repeated keys are
// passed over silently. Returns false at the end of the list.
bool next_attribute(AttrScan& a, SeenKeys& seen, RawAttr& out);

// ---- positions -----------------------------------------------------------

// Running line count for offsets visited in increasing order.
struct LineCounter {
    std::size_t offset = 0;      // LF bytes before this offset are counted
    std::size_t lines = 0;       // number of LF bytes before offset
    std::size_t line_start = 0;  // offset just after the last LF before offset
};

struct LineCol {
    std::uint32_t line;  // 1-based
    std::uint32_t col;   // 1-based, in bytes
};

// Line and column of `off`. Offsets must not decrease between calls; an
// offset behind the counter is counted from the start again.
LineCol locate(LineCounter& lc, std::string_view in, std::size_t off);

}  // namespace adsieve::xml
