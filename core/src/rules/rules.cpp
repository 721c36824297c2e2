#include "rules/rules.h"

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

namespace adsieve::rules {

void run(const Node& root, bool parse_failed, const DetectedVersion& version, Report& report) {
    if (parse_failed) {
        consistency::check_ads(root, TopLevel{}, parse_failed, version, report);
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
    const TopLevel top = top_level(root);
    const std::vector<AdUrlFirsts> url_firsts = macros::first_url_findings(top, version);
    required::check_ads(root, top, version, report);
    schema::check_ads(root, top, version, report);
    structure::check_ads(root, top, version, report);
    security::check_ads(root, top, url_firsts, version, report);
    consistency::check_ads(root, top, parse_failed, version, report);
    deprecated::check_ads(root, top, version, report);
    ambiguous::check_ads(root, top, version, report);
    values::check_ads(root, top, version, report);
    ctv::check_ads(root, top, version, report);
    simid::check_ads(root, top, version, report);
    macros::check_ads(root, top, url_firsts, version, report);
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
    return cn;
}

// Indexes the <Creative> children of one <Creatives>.
void index_creatives(const Node& creatives, std::vector<CreativeNodes>& out) {
    for (const Node& c : creatives.children())
        if (c.name() == "Creative") out.push_back(index_creative(c));
}

}  // namespace

TopLevel top_level(const Node& root) {
    TopLevel top;
    if (root.name() != "VAST") return top;
    for (const Node& c : root.children()) {
        if (c.name_size != 2 && c.name_size != 5) continue;
        if (c.name() == "Ad") {
            AdNodes& ad = top.ads.emplace_back();
            ad.ad = &c;
            ad.inline_ad = c.child("InLine");
            ad.wrapper = c.child("Wrapper");
        } else if (c.name() == "Error") {
            top.errors.push_back(&c);
        }
    }
    for (AdNodes& ad : top.ads) {
        if (const Node* inl = ad.inline_ad) {
            ad.inline_first.begin = ad.inline_all.begin = top.creatives.size();
            for (const Node& c : inl->children()) {
                if (c.name() != "Creatives") continue;
                index_creatives(c, top.creatives);
                if (ad.inline_creatives == nullptr) {
                    ad.inline_creatives = &c;
                    ad.inline_first.end = top.creatives.size();
                }
            }
            ad.inline_all.end = top.creatives.size();
            if (ad.inline_creatives == nullptr) ad.inline_first.end = ad.inline_first.begin;
        }
        if (const Node* wrapper = ad.wrapper) {
            ad.wrapper_first.begin = top.creatives.size();
            if ((ad.wrapper_creatives = wrapper->child("Creatives")) != nullptr)
                index_creatives(*ad.wrapper_creatives, top.creatives);
            ad.wrapper_first.end = top.creatives.size();
        }
    }
    return top;
}

}  // namespace adsieve::rules
