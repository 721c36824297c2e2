// How rules report: the rule record, the per-call settings, the findings and
// the one object every family reports through. Nothing here knows a family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "alloc.h"
#include "model.h"
#include "version.h"

namespace adsieve {

// Severity, ordered by gravity; Off is what an override may turn a rule into.
enum class Severity : std::uint8_t { Info = 0, Warning = 1, Error = 2, Off = 3 };

std::string_view severity_word(Severity s) noexcept;  // "info", "warning", "error", "off"
std::optional<Severity> severity_from_word(std::string_view w) noexcept;

// The module a rule is checked in.
enum class Family : std::uint8_t {
    Required, Schema, Structure, Security, Consistency, Deprecated, Ambiguous,
    Values, Ctv, Simid, Macros, Vmap, Daast,
};
std::string_view family_word(Family f) noexcept;  // "required", "schema", ...

// True when the JSON result holds s as it is, between quotes: no control
// byte, '"' or '\\'.
constexpr bool json_plain(std::string_view s) noexcept {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\') return false;
    return true;
}

struct Rule {
    std::string_view id;
    Severity severity;  // default
    std::uint8_t kind;  // catalogue category
    Family family;
    std::string_view message;      // what a finding says
    std::string_view spec_ref;     // the section it enforces
    std::string_view description = {};  // catalogue text, when it differs from the message
    // id, message and spec_ref go into the JSON result as they are (known
    // when the catalogue is compiled).
    bool plain = json_plain(id) && json_plain(message) && json_plain(spec_ref);

    std::string_view summary() const noexcept { return description.empty() ? message : description; }
};

// A second wording of a rule: same id and severity, another message.
struct RuleVariant {
    const Rule* rule;
    std::string_view message;
    std::string_view spec_ref;
    bool plain = json_plain(rule->id) && json_plain(message) && json_plain(spec_ref);
};

constexpr RuleVariant as_variant(const Rule& r) noexcept { return {&r, r.message, r.spec_ref}; }

using Overrides = std::map<std::string, Severity, std::less<>>;

// Settings of one validation call.
struct ValidationContext {
    std::optional<Overrides> rule_overrides;
    std::uint8_t wrapper_depth = 0;
    std::uint8_t max_wrapper_depth = kDefaultMaxWrapperDepth;
    std::optional<VastVersion> forced_version;
    std::size_t max_issues = 0;  // list at most this many findings; 0: no cap

    static constexpr std::uint8_t kDefaultMaxWrapperDepth = 5;

    // Effective severity of a rule: its override, else its default.
    Severity resolve(const Rule& rule) const {
        return rule_overrides && !rule_overrides->empty() ? overridden(rule) : rule.severity;
    }
    Severity overridden(const Rule& rule) const;
};

struct Issue {
    std::optional<std::string_view> path;  // into the path arena of the report that recorded it
    std::optional<std::uint32_t> line;
    std::optional<std::uint32_t> col;
    std::string_view id;
    std::string_view message;
    std::string_view spec_ref;
    Severity severity = Severity::Error;
    bool texts_plain = false;  // id, message and spec_ref are known to need no JSON escape
    bool path_plain = false;   // and so is the path
    // The element the line and column come from, while the report is being
    // made (Report::finish resolves it); none for document-level findings.
    const Node* at = nullptr;

    Issue() = default;
    // A finding as recorded, made where it is kept: its line and column come
    // later.
    Issue(bool has_path, std::string_view path_, std::string_view id_, std::string_view message_,
          std::string_view spec_ref_, Severity severity_, bool texts_plain_, bool path_plain_, const Node* at_) noexcept
        : id(id_), message(message_), spec_ref(spec_ref_), severity(severity_), texts_plain(texts_plain_),
          path_plain(path_plain_), at(at_) {
        if (has_path) path.emplace(path_);
    }
};

// The allocator of a findings list: its first room can be carved from an
// arena (a report's), given when the list is made; anything larger comes from
// the C++ heap. The room is handed out once and never freed here: it goes
// with its arena. A moved allocator gives its room up; a list made as a copy
// of another starts without one.
template <class T>
struct FirstRoom {
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using is_always_equal = std::false_type;

    T* spare = nullptr;   // the room, until it is handed out
    T* carved = nullptr;  // the room, which deallocate leaves alone
    std::size_t room = 0;

    FirstRoom() noexcept = default;
    FirstRoom(T* at, std::size_t n) noexcept : spare(at), carved(at), room(n) {}
    FirstRoom(const FirstRoom&) noexcept = default;
    FirstRoom(FirstRoom&& o) noexcept : spare(o.spare), carved(o.carved), room(o.room) { o.spare = nullptr; }
    FirstRoom& operator=(const FirstRoom&) noexcept = default;
    FirstRoom& operator=(FirstRoom&& o) noexcept {
        spare = o.spare, carved = o.carved, room = o.room;
        o.spare = nullptr;
        return *this;
    }
    template <class U>
    FirstRoom(const FirstRoom<U>&) noexcept {}
    FirstRoom select_on_container_copy_construction() const noexcept { return {}; }

    T* allocate(std::size_t n) {
        if (spare && n <= room) return std::exchange(spare, nullptr);
        return std::allocator<T>{}.allocate(n);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (p != carved) std::allocator<T>{}.deallocate(p, n);
    }
    friend bool operator==(const FirstRoom& a, const FirstRoom& b) noexcept { return a.carved == b.carved; }
};

using Issues = std::vector<Issue, FirstRoom<Issue>>;

class WalkPath;

// A finding's path as a chain of segments, each kept on its caller's stack
// and pointing at its parent: nothing is written out unless a finding is
// recorded. Build them with the functions below, never from a temporary
// parent (the parent has to outlive the chain).
struct PathRef {
    enum class Kind : std::uint8_t {
        Text,       // the text as it is (a root such as "/VAST", or a suffix)
        Name,       // "/name"
        NameIndex,  // "/name[index]"
        Attr,       // "[@name]"
        Walk,       // the whole path of the node a walk is visiting (a chain ends there)
    };
    const PathRef* parent = nullptr;
    std::string_view text;
    std::size_t index = 0;
    const WalkPath* walk = nullptr;
    Kind kind = Kind::Text;
};

inline constexpr PathRef kVastPath{nullptr, "/VAST"};

// parent + text, e.g. "/InLine/Creatives".
constexpr PathRef join(const PathRef& parent, std::string_view text) { return {&parent, text}; }
// parent + "/name".
constexpr PathRef named(const PathRef& parent, std::string_view name) {
    return {&parent, name, 0, nullptr, PathRef::Kind::Name};
}
// parent + "/name[index]".
constexpr PathRef indexed(const PathRef& parent, std::string_view name, std::size_t index) {
    return {&parent, name, index, nullptr, PathRef::Kind::NameIndex};
}
// parent + "[@attr]".
constexpr PathRef attr_path(const PathRef& parent, std::string_view attr) {
    return {&parent, attr, 0, nullptr, PathRef::Kind::Attr};
}
// A temporary would be gone before the chain is used.
PathRef join(PathRef&&, std::string_view) = delete;
PathRef named(PathRef&&, std::string_view) = delete;
PathRef indexed(PathRef&&, std::string_view, std::size_t) = delete;
PathRef attr_path(PathRef&&, std::string_view) = delete;

// n bytes copied from `from` to `to`; cheaper than memcpy for the few bytes
// of a name.
inline void copy_short(char* to, const char* from, std::size_t n) noexcept {
    if (n >= 8) {
        if (n > 16) {
            std::memcpy(to, from, n);
            return;
        }
        std::uint64_t head, tail;
        std::memcpy(&head, from, 8);
        std::memcpy(&tail, from + n - 8, 8);
        std::memcpy(to, &head, 8);
        std::memcpy(to + n - 8, &tail, 8);
    } else if (n >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + n - 4, 4);
        std::memcpy(to, &head, 4);
        std::memcpy(to + n - 4, &tail, 4);
    } else if (n != 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

// `prefix` followed by the path, written out whole.
std::string path_string(std::string_view prefix, const PathRef& path);
// Its length, and the path written into exactly that many bytes at `out`.
std::size_t path_size(std::string_view prefix, const PathRef& path);
void write_path(std::string_view prefix, const PathRef& path, char* out, std::size_t size);

// A finding's path as a caller has it: none, a chain, or a text; the report
// writes it out (shortened when very deep) before the call returns.
struct PathArg {
    const PathRef* ref = nullptr;
    std::string_view text;  // when there is no chain
    bool present = false;
    bool recorded = false;  // text is a path this report has already kept
    PathArg(std::nullopt_t) {}
    PathArg(const PathRef& r) : ref(&r), present(true) {}
    PathArg(const WalkPath& w);  // in walk.h
    PathArg(const std::string& s) : text(s), present(true) {}
    PathArg(std::string_view s) : text(s), present(true) {}
    PathArg(const char* s) : text(s), present(true) {}

    // The path a finding of the same report was recorded with (what the
    // report returned for it), shared as it is.
    static PathArg same_as(std::string_view kept) {
        PathArg p(kept);
        p.recorded = true;
        return p;
    }
};

// Paths of more than kPathSegments element segments keep their first
// kPathHead segments, then "...", then their last kPathTail segments.
inline constexpr std::size_t kPathSegments = 64;
inline constexpr std::size_t kPathHead = 32;
inline constexpr std::size_t kPathTail = 31;

// `head` followed by `tail` as a finding's path, shortened as above.
std::string bounded_path(std::string_view head, std::string_view tail);
// `prefix` followed by `path`, shortened as above.
std::string bounded_path(std::string_view prefix, const PathRef& path);

struct Position {
    std::uint32_t line;
    std::uint32_t col;
};

// Collects the findings of one call. Families call it with the rule, the
// finding's path (none for document-level findings) and the element the
// position comes from.
struct Report {
    const ValidationContext& ctx;
    // The texts of the findings' paths, the findings' first room, and
    // whatever else the caller keeps with them (see the constructor).
    Arena paths;
    Issues issues;
    std::size_t errors = 0;
    std::size_t warnings = 0;
    std::size_t infos = 0;
    bool truncated = false;
    // Prepended to every path while findings of an embedded document are
    // reported; a finding without a path gets the prefix alone.
    std::string_view path_prefix;

    // Room for all the findings of most documents, carved from the arena
    // (those that report hardly fall below a dozen; an eighth of them go
    // past 32).
    static constexpr std::size_t kFirstRoom = 64;

    explicit Report(const ValidationContext& c) : Report(c, Arena(kPathBlock)) {}
    // Reports into `memory`, an arena that may already hold what the caller
    // keeps with the findings (a document's element list): what was carved
    // from it stays where it is.
    Report(const ValidationContext& c, Arena&& memory) : ctx(c), paths(std::move(memory)), issues(first_room()) {}

    // The first block of an arena for a report (of the size given to
    // Arena), holding a document's usual findings and their paths, and in
    // the C interface the result and its JSON text too.
    static constexpr std::size_t kPathBlock = 8192 + kFirstRoom * sizeof(Issue);

    // Each returns the path the finding was recorded with, for further
    // findings at the same place (PathArg::same_as); none when nothing was
    // recorded or the finding has no path.
    std::optional<std::string_view> operator()(const Rule& r, PathArg path, const Node* at) {
        return add(r, r.message, r.spec_ref, r.plain, ctx.resolve(r), path, at);
    }
    std::optional<std::string_view> operator()(const RuleVariant& v, PathArg path, const Node* at) {
        return add(*v.rule, v.message, v.spec_ref, v.plain, ctx.resolve(*v.rule), path, at);
    }
    // Findings that an override can re-grade but not switch off: off reports
    // them at the rule's default severity.
    std::optional<std::string_view> unmutable(const Rule& r, PathArg path, const Node* at) {
        Severity s = ctx.resolve(r);
        return add(r, r.message, r.spec_ref, r.plain, s == Severity::Off ? r.severity : s, path, at);
    }

    // True when a finding of this rule would be recorded, so a caller can
    // skip building its path.
    bool enabled(const Rule& r) const { return ctx.resolve(r) != Severity::Off; }

    // Findings recorded from here on go into stream `s`. A document whose
    // ads are checked a run at a time records each family's findings into
    // the family's own stream, run after run; merge_streams then lists the
    // findings recorded since the first call stream by stream, each stream's
    // in the order they were recorded, and forgets the streams. Findings
    // recorded before the first call keep their place.
    void stream(std::uint8_t s);
    void merge_streams();

    // Gives the findings that point at an element their line and column in
    // `text`, the text the elements were parsed from. Called once, after the
    // families have run.
    void finish(std::string_view text);

private:
    // From `begin` on, until the next run's begin, findings are in `stream`.
    struct Run {
        std::uint8_t stream;
        std::size_t begin;
    };
    std::vector<Run> runs_;
    // The findings that point at an element, the last such element, and
    // whether they came in document order.
    std::size_t placed_ = 0;
    const Node* last_at_ = nullptr;
    bool out_of_order_ = false;

    std::optional<std::string_view> add(const Rule& r, std::string_view message, std::string_view spec_ref, bool plain,
                                        Severity s, const PathArg& path, const Node* at);
    // The path as kept, and whether it is known to need no JSON escape.
    std::string_view store_path(const PathArg& path, bool& plain);
    FirstRoom<Issue> first_room() {
        const std::size_t n = ctx.max_issues != 0 && ctx.max_issues < kFirstRoom ? ctx.max_issues : kFirstRoom;
        return {paths.make_array<Issue>(n), n};
    }
};

}  // namespace adsieve
