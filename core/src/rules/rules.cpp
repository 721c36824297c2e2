#include "rules/rules.h"

#include <array>
#include <cstddef>
#include <functional>
#include <iterator>
#include <memory_resource>
#include <new>

#include "rules/ambiguous.h"
#include "rules/consistency.h"
#include "rules/ctv.h"
#include "rules/daast.h"
#include "rules/deprecated.h"
#include "rules/macros.h"
#include "rules/required.h"
#include "rules/schema.h"
#include "rules/security.h"
#include "rules/simid.h"
#include "rules/structure.h"
#include "rules/values.h"
#include "rules/vmap.h"
#include "text.h"

namespace adsieve::rules {

namespace {

// Ads are checked in runs of about this many slots (elements and attributes,
// 32 bytes each): a run's nodes and the text they view stay in the core's
// own cache while every family reads them. Smaller documents are one run.
constexpr std::size_t kRunSlots = 4096;

// Bytes of the block on run()'s stack that its lists are taken from first.
constexpr std::size_t kScratchBytes = 4096;

// Room for the lists of one run() call: from a block on its stack while the
// block lasts, from the heap beyond. Heap blocks are given back as soon as a
// list lets them go, so a large document's lists take what they would take
// on their own; room in the stack block is not reused.
class StackFirst final : public std::pmr::memory_resource {
public:
    StackFirst(std::byte* block, std::size_t size) noexcept : block_(block), size_(size) {}

private:
    void* do_allocate(std::size_t bytes, std::size_t align) override {
        const std::size_t at = (used_ + align - 1) & ~(align - 1);
        if (at <= size_ && bytes <= size_ - at) {
            used_ = at + bytes;
            return block_ + at;
        }
        if (align > __STDCPP_DEFAULT_NEW_ALIGNMENT__) return ::operator new(bytes, std::align_val_t(align));
        return ::operator new(bytes);
    }
    void do_deallocate(void* p, std::size_t, std::size_t align) override {
        if (std::less_equal<const void*>{}(block_, p) && std::less<const void*>{}(p, block_ + size_)) return;
        if (align > __STDCPP_DEFAULT_NEW_ALIGNMENT__) return ::operator delete(p, std::align_val_t(align));
        ::operator delete(p);
    }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    std::byte* block_;
    std::size_t size_;
    std::size_t used_ = 0;
};

// The ads from `begin` on that make one run.
AdRange run_from(const TopLevel& top, std::size_t begin) noexcept {
    std::size_t end = begin, slots = 0;
    while (end < top.ads.size() && slots < kRunSlots) slots += top.ads[end++].ad->span;
    return {begin, end};
}

// Every family over the ads of one run. With `streams`, each family records
// into a stream of its own, so that the findings of several runs can be put
// back in family order.
void check_run(const Node& root, const TopLevel& top, AdRange ads, const UrlFindings& url_firsts,
               const DetectedVersion& version, Report& report, bool streams) {
    std::uint8_t next = 0;
    auto family = [&] {
        if (streams) report.stream(next++);
    };
    family(), required::check_ads(root, top, ads, version, report);
    family(), schema::check_ads(root, top, ads, version, report);
    family(), structure::check_ads(root, top, ads, version, report);
    family(), security::check_ads(root, top, ads, url_firsts, version, report);
    family(), consistency::check_ads(root, top, ads, false, version, report);
    family(), deprecated::check_ads(root, top, ads, version, report);
    family(), ambiguous::check_ads(root, top, ads, version, report);
    family(), values::check_ad_types(top, ads, version, report);
    family(), values::check_ads(root, top, ads, version, report);
    family(), ctv::check_ads(root, top, ads, version, report);
    family(), simid::check_ads(root, top, ads, version, report);
    family(), macros::check_ads(root, top, ads, url_firsts, version, report);
}

}  // namespace

void run(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report) {
    if (parse_failed) {
        const TopLevel none;
        consistency::check_ads(root, none, all_ads(none), parse_failed, version, report);
        return;
    }
    if (root.name() == "DAAST") {
        daast::check(root, report);
        return;
    }
    if (root.name() == "VMAP") {
        vmap::check(root, report);
        return;
    }
    // A small document's lists (the root's children, the ads' creatives and
    // codes, the first findings) fit in this block: no heap block for them.
    alignas(std::max_align_t) std::byte scratch[kScratchBytes];
    StackFirst mem(scratch, sizeof scratch);
    TopLevel top = root_children(root, &mem);
    // A capped list keeps the findings recorded first, so it is made in one run.
    AdRange ads = report.ctx.max_issues == 0 ? run_from(top, 0) : all_ads(top);
    const bool streams = !ads.last(top);
    for (;;) {
        find_bodies(top, ads);
        const auto url_firsts = macros::first_url_findings(top, ads, version, &mem);
        index_ads(top, ads);
        check_run(root, top, ads, url_firsts, version, report, streams);
        if (ads.last(top)) break;
        ads = run_from(top, ads.end);
    }
    if (streams) report.merge_streams();
}

namespace {

// Sets `slot` to `c` when it is the first child of its name.
inline void keep_first(const Node*& slot, const Node& c) noexcept {
    if (slot == nullptr) slot = &c;
}

CreativeNodes index_creative(const Node& creative) {
    CreativeNodes cn;
    cn.creative = &creative;
    for (const Node& c : creative.children()) {
        switch (c.name_size) {
            case 6:
                if (c.name() == "Linear") keep_first(cn.linear, c);
                break;
            case 12:
                if (c.name() == "NonLinearAds" || c.name() == "CompanionAds")
                    keep_first(c.name()[0] == 'N' ? cn.nonlinear_ads : cn.companion_ads, c);
                break;
            case 13:
                if (c.name() == "UniversalAdId") keep_first(cn.universal_ad_id, c);
                break;
            default: break;
        }
    }
    if (cn.linear == nullptr) return cn;
    LinearNodes& ln = cn.in_linear;
    for (const Node& c : cn.linear->children()) {
        switch (c.name_size) {
            case 5:
                if (c.name() == "Icons") keep_first(ln.icons, c);
                break;
            case 8:
                if (c.name() == "Duration") keep_first(ln.duration, c);
                break;
            case 10:
                if (c.name() == "MediaFiles") keep_first(ln.media_files, c);
                break;
            case 11:
                if (c.name() == "VideoClicks") keep_first(ln.video_clicks, c);
                break;
            case 14:
                if (c.name() == "TrackingEvents") keep_first(ln.tracking_events, c);
                break;
            default: break;
        }
    }
    if (ln.media_files == nullptr) return cn;
    for (const Node& c : ln.media_files->children()) {
        switch (c.name_size) {
            case 9:
                if (c.name() == "MediaFile") keep_first(ln.media_file, c);
                else if (c.name() == "Mezzanine") keep_first(ln.mezzanine, c);
                break;
            case 23:
                if (c.name() == "InteractiveCreativeFile") keep_first(ln.interactive_creative_file, c);
                break;
            default: break;
        }
    }
    return cn;
}

constexpr unsigned kCreativeCode = code_for("Creative");

// Indexes the <Creative> children of one <Creatives>.
void index_creatives(const TopLevel& top, const Node& creatives, std::pmr::vector<CreativeNodes>& out) {
    for (const Node& c : creatives.children())
        if (top.code(c) == kCreativeCode) out.push_back(index_creative(c));
}

// The names BodyNodes keeps, each with its place there.
constexpr std::array<std::string_view, 12> kBodyNames = {
    "AdSystem", "AdTitle",         "AdServingId", "Impression",   "Creatives", "Pricing",
    "Category", "BlockedAdCategories", "AdVerifications", "Extensions", "VASTAdTagURI", "Survey",
};
constexpr const Node* BodyNodes::*kBodySlots[] = {
    &BodyNodes::ad_system, &BodyNodes::ad_title,   &BodyNodes::ad_serving_id, &BodyNodes::impression,
    &BodyNodes::creatives, &BodyNodes::pricing,    &BodyNodes::category,      &BodyNodes::blocked_ad_categories,
    &BodyNodes::ad_verifications, &BodyNodes::extensions, &BodyNodes::vast_ad_tag_uri, &BodyNodes::survey,
};
static_assert(std::size(kBodySlots) == kBodyNames.size());
constexpr auto kBodySet = text::make_name_set(kBodyNames);
// An element's place in kBodyNames by its code, or -1.
constexpr auto kBodyByCode =
    by_code<std::int8_t>(-1, [](std::string_view n) { return static_cast<std::int8_t>(kBodySet.find(n)); });
static_assert([] {
    for (std::string_view name : kBodyNames)
        if (kElementSet.find(name) < 0) return false;
    return true;
}());
constexpr int kBodyCreatives = 4;
static_assert(kBodyNames[kBodyCreatives] == "Creatives");

// Fills `body` from the children of an InLine or Wrapper; with `all`, indexes
// the creatives of every <Creatives>, else of the first only. Returns the
// number of creatives the first <Creatives> added.
std::size_t index_body(const TopLevel& top, const Node& n, BodyNodes& body, bool all,
                       std::pmr::vector<CreativeNodes>& creatives) {
    const std::size_t begin = creatives.size();
    std::size_t first_end = begin;
    for (const Node& c : n.children()) {
        const int k = kBodyByCode[top.code(c)];
        if (k < 0) continue;
        const Node*& slot = body.*kBodySlots[k];
        const bool first = slot == nullptr;
        if (first) slot = &c;
        if (k != kBodyCreatives || (!first && !all)) continue;
        index_creatives(top, c, creatives);
        if (first) first_end = creatives.size();
    }
    return first_end - begin;
}

}  // namespace

TopLevel root_children(const Node& root, std::pmr::memory_resource* mem) {
    TopLevel top{std::pmr::vector<AdNodes>(mem), std::pmr::vector<const Node*>(mem),
                 std::pmr::vector<CreativeNodes>(mem), 0, nullptr, std::pmr::vector<std::uint8_t>(mem)};
    if (root.name() != "VAST") return top;
    top.base = &root;
    top.codes.assign(root.span, 0);
    for (const Node& c : root.children()) {
        if (c.name_size != 2 && c.name_size != 5) continue;
        if (c.name() == "Ad") {
            top.ads.emplace_back().ad = &c;
            if (c.attr("sequence")) ++top.sequenced_ads;
        } else if (c.name() == "Error") {
            top.errors.push_back(&c);
        }
    }
    return top;
}

void find_bodies(TopLevel& top, AdRange ads) {
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        AdNodes& ad = top.ads[i];
        ad.inline_ad = ad.ad->child("InLine");
        ad.wrapper = ad.ad->child("Wrapper");
    }
}

void index_ads(TopLevel& top, AdRange ads) {
    for (std::size_t i = ads.begin; i < ads.end; ++i) {
        AdNodes& ad = top.ads[i];
        if (const Node* inl = ad.inline_ad) {
            ad.inline_first.begin = ad.inline_all.begin = top.creatives.size();
            ad.inline_first.end = ad.inline_first.begin + index_body(top, *inl, ad.inline_body, true, top.creatives);
            ad.inline_all.end = top.creatives.size();
        }
        if (const Node* wrapper = ad.wrapper) {
            ad.wrapper_first.begin = top.creatives.size();
            index_body(top, *wrapper, ad.wrapper_body, false, top.creatives);
            ad.wrapper_first.end = top.creatives.size();
        }
    }
}

void code_elements(TopLevel& top, const Node& sub) {
    for (const Node *n = &sub, *end = &sub + sub.span; n != end; n = n->first_child())
        top.codes[static_cast<std::size_t>(n - top.base)] = static_cast<std::uint8_t>(kElementSet.find(n->name()) + 1);
}

TopLevel top_level(const Node& root) {
    TopLevel top = root_children(root);
    find_bodies(top, all_ads(top));
    for (const AdNodes& ad : top.ads) {
        if (ad.inline_ad) code_elements(top, *ad.inline_ad);
        if (ad.wrapper) code_elements(top, *ad.wrapper);
    }
    index_ads(top, all_ads(top));
    return top;
}

}  // namespace adsieve::rules
