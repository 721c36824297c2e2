// The required-elements family: mandatory elements and attributes of the
// <VAST> root, each <Ad>, its <InLine> or <Wrapper>, every InLine <Creative>,
// <Pricing>, <Category> and the ad-verification blocks.
#include "rules/required.h"

#include <array>
#include <cstdint>
#include <utility>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"

namespace adsieve::rules::required {

namespace {

constexpr std::array<std::string_view, 7> kVersionValues = {"2.0", "2.0.1", "3.0", "4.0",
                                                            "4.1", "4.2", "4.3"};

constexpr std::array<std::string_view, 3> kResourceNames = {"StaticResource", "IFrameResource",
                                                            "HTMLResource"};

// Attributes an element must carry, each reported by its own rule as an
// error at the element itself.
struct RequiredAttr {
    std::string_view attr;
    RuleVariant rule;
};

constexpr RequiredAttr kMediaFileAttrs[] = {
    {"delivery", as_variant(rule::vast_mediafile_delivery)},
    {"type", as_variant(rule::vast_mediafile_type)},
    {"width", as_variant(rule::vast_mediafile_dimensions)},
    {"height", rule::vast_mediafile_height},
};
constexpr RequiredAttr kMezzanineAttrs[] = {
    {"delivery", as_variant(rule::vast_mezzanine_delivery)},
    {"type", as_variant(rule::vast_mezzanine_type)},
    {"width", as_variant(rule::vast_mezzanine_width)},
    {"height", as_variant(rule::vast_mezzanine_height)},
};
constexpr RequiredAttr kIconAttrs[] = {
    {"program", as_variant(rule::vast_icon_program)},
    {"width", as_variant(rule::vast_icon_width)},
    {"height", as_variant(rule::vast_icon_height)},
    {"xPosition", as_variant(rule::vast_icon_xposition)},
    {"yPosition", as_variant(rule::vast_icon_yposition)},
};

// In the order of the table. The table is a template argument, so that each
// name is compared as a literal.
template <const auto& Attrs>
void check_required_attrs(const Node& n, const PathRef& path, Report& report) {
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        ((n.attr(Attrs[I].attr) ? void() : void(report(Attrs[I].rule, path, &n))), ...);
    }(std::make_index_sequence<std::size(Attrs)>{});
}

// Names below an ad's InLine and Wrapper are told apart by their codes.
constexpr unsigned kStaticResource = code_for(kResourceNames[0]), kIFrameResource = code_for(kResourceNames[1]),
                   kHtmlResource = code_for(kResourceNames[2]), kCompanion = code_for("Companion"),
                   kCompanionClickTracking = code_for("CompanionClickTracking"), kNonLinear = code_for("NonLinear"),
                   kMediaFile = code_for("MediaFile"), kMezzanine = code_for("Mezzanine"), kIcon = code_for("Icon"),
                   kInteractiveCreativeFile = code_for("InteractiveCreativeFile"),
                   kAdVerifications = code_for("AdVerifications"), kVerification = code_for("Verification");

bool has_resource(const TopLevel& top, const Node& n) {
    for (const Node& c : n.children()) {
        const unsigned code = top.code(c);
        if (code == kStaticResource || code == kIFrameResource || code == kHtmlResource) return true;
    }
    return false;
}

bool is_ascii_alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool contains_white_space(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (text::white_space_at(s, i) != 0) return true;
    return false;
}

// A vendor key of the form "<dotted-name>-<product>" (or with "/").
bool is_domain_qualified_vendor(std::string_view v) {
    if (v.empty() || contains_white_space(v)) return false;
    std::size_t sep = v.find('-');
    if (sep == std::string_view::npos) sep = v.find('/');
    if (sep == std::string_view::npos || sep == 0 || sep + 1 == v.size()) return false;
    std::string_view owner = v.substr(0, sep), product = v.substr(sep + 1);
    if (owner.find('.') == std::string_view::npos) return false;
    for (char c : owner)
        if (!is_ascii_alnum(c) && c != '.' && c != '-') return false;
    for (char c : product)
        if (!is_ascii_alnum(c) && c != '-' && c != '.' && c != '_') return false;
    return true;
}

bool ends_with(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool is_omid_verification(const Node& verification) {
    if (auto vendor = verification.attr("vendor")) {
        std::string key = text::ascii_lower(text::trim(*vendor));
        if (key == "omid" || ends_with(key, "-omid") || ends_with(key, "/omid")) return true;
    }
    for (const Node& c : verification.children()) {
        if (c.name() != "JavaScriptResource" && c.name() != "ExecutableResource") continue;
        auto api = c.attr("apiFramework");
        if (api && text::iequals_ascii(*api, "omid")) return true;
    }
    return false;
}

bool is_plain_http(std::string_view resource_text) {
    std::string_view t = text::trim(resource_text);
    return t.size() > 6 && text::starts_with(t, "http://");
}

bool names_reason_macro(std::string_view url) {
    if (url.find("[REASON]") != std::string_view::npos) return true;
    return text::ascii_lower(url).find("%5breason%5d") != std::string::npos;
}

}  // namespace

void check_creative_requirements(const TopLevel& top, const CreativeNodes& cn, const PathRef& path,
                                 const DetectedVersion& version, Report& report);
void check_pricing(const Node* pricing, const PathRef& parent_path,
                   Report& report);
void check_categories(Children children, const PathRef& parent_path,
                      Report& report);
void check_ad_verifications(Children children, const PathRef& path,
                            Report& report);
void check_embedded_ad_verifications(const TopLevel& top, const Node& node, const PathRef& path,
                                     Report& report);
void check_ad(const TopLevel& top, const AdNodes& ad, std::size_t ad_index, const DetectedVersion& version,
              Report& report);
// The checks of the root itself.
void check_root(const Node& root, const TopLevel& top, const DetectedVersion& version, Report& report);

void check(const Node& root, const DetectedVersion& version, Report& report) {
    const TopLevel top = top_level(root);
    check_ads(root, top, all_ads(top), version, report);
}

void check_ads(const Node& root, const TopLevel& top, AdRange ads, const DetectedVersion& version, Report& report) {
    if (ads.first()) check_root(root, top, version, report);
    for (std::size_t i = ads.begin; i < ads.end; ++i) check_ad(top, top.ads[i], i, version, report);
}

void check_root(const Node& root, const TopLevel& top, const DetectedVersion& version, Report& report) {
    if (root.name() != "VAST") {
        report(rule::vast_root_element, "/", &root);
        return;
    }
    auto declared = root.attr("version");
    if (!declared)
        report(rule::vast_root_version, "/VAST", &root);
    if (declared) {
        bool known = false;
        for (std::string_view v : kVersionValues) known = known || *declared == v;
        if (!known)
            report(rule::vast_root_version_value, "/VAST[@version]", &root);
    }
    bool has_ad = !top.ads.empty(), has_error = !top.errors.empty();
    if (!has_ad && !has_error)
        report(rule::vast_root_has_ad_or_error, "/VAST", &root);
    if (version.at_least(VastVersion::V4_0) && has_ad && has_error)
        report(rule::vast_wrapper_root_error, "/VAST", &root);
}

void check_ad(const TopLevel& top, const AdNodes& ad, std::size_t ad_index, const DetectedVersion& version,
              Report& report) {
    const PathRef ad_path = indexed(kVastPath, "Ad", ad_index);
    const Node* inline_ad = ad.inline_ad;
    const Node* wrapper = ad.wrapper;
    if (!inline_ad && !wrapper) {
        report(rule::vast_ad_has_inline_or_wrapper, ad_path, ad.ad);
        return;
    }
    if (inline_ad && wrapper)
        report(rule::vast_ad_has_both_inline_and_wrapper, ad_path, ad.ad);

    if (inline_ad) {
        const Node& in = *inline_ad;
        const BodyNodes& first = ad.inline_body;
        const PathRef p = join(ad_path, "/InLine");
        if (!first.ad_system)
            report(rule::vast_inline_adsystem, p, &in);
        if (!first.ad_title)
            report(rule::vast_inline_adtitle, p, &in);
        if (!first.impression)
            report(rule::vast_inline_impression, p, &in);
        const Node* creatives = first.creatives;
        if (!creatives)
            report(rule::vast_inline_creatives, p, &in);
        else if (!creatives->has_child("Creative"))
            report(rule::vast_inline_creatives_empty, join(p, "/Creatives"), &in);
        if (version.at_least(VastVersion::V4_1) && !first.ad_serving_id)
            report(rule::vast_adservingid_present, p, &in);
        if (creatives) {
            const PathRef base = join(p, "/Creatives");
            std::size_t j = 0;
            for (const CreativeNodes& c : top.range(ad.inline_first))
                check_creative_requirements(top, c, indexed(base, "Creative", j++), version, report);
        }
        if (first.category) check_categories(in.children(), p, report);
        check_pricing(first.pricing, p, report);
        if (const Node* av = first.ad_verifications)
            check_ad_verifications(av->children(), join(p, "/AdVerifications"), report);
        if (const Node* ext = first.extensions)
            check_embedded_ad_verifications(top, *ext, join(p, "/Extensions"), report);
    }

    if (wrapper) {
        const Node& w = *wrapper;
        const BodyNodes& first = ad.wrapper_body;
        const PathRef p = join(ad_path, "/Wrapper");
        if (!first.ad_system)
            report(rule::vast_wrapper_adsystem, p, &w);
        if (!first.impression)
            report(rule::vast_wrapper_impression, p, &w);
        if (!first.vast_ad_tag_uri)
            report(rule::vast_wrapper_vastadtaguri, p, &w);
        if (first.category) check_categories(w.children(), p, report);
        check_pricing(first.pricing, p, report);
        if (first.blocked_ad_categories) {
            std::size_t k = 0;
            for (const Node& c : w.children()) {
                if (c.name() != "BlockedAdCategories") continue;
                std::size_t idx = k++;
                if (!c.attr("authority"))
                    report(rule::vast_blockedadcategories_no_authority, indexed(p, "BlockedAdCategories", idx), &c);
            }
        }
        if (version.at_least(VastVersion::V4_1))
            if (const Node* av = first.ad_verifications)
                check_ad_verifications(av->children(), join(p, "/AdVerifications"), report);
        if (const Node* ext = first.extensions)
            check_embedded_ad_verifications(top, *ext, join(p, "/Extensions"), report);
    }
}

void check_creative_requirements(const TopLevel& top, const CreativeNodes& cn, const PathRef& path,
                                 const DetectedVersion& version, Report& report) {
    const Node& creative = *cn.creative;
    const Node* uid = cn.universal_ad_id;
    const std::optional<VastVersion> effective = version.effective();
    if (effective >= VastVersion::V4_0 && !uid)
        report(rule::vast_universaladid_present, path, &creative);
    if (uid) {
        const PathRef u = join(path, "/UniversalAdId");
        if (!uid->attr("idRegistry"))
            report(rule::vast_universaladid_idregistry, u, &creative);
        bool has_id_value = uid->attr("idValue").has_value();
        bool blank = text::trim(uid->text()).empty();
        if (effective >= VastVersion::V4_1) {
            if (has_id_value)
                report(rule::vast_universaladid_idvalue_removed, u, uid);
            if (blank && !has_id_value)
                report(rule::vast_universaladid_content, u, uid);
        } else if (effective && *effective == VastVersion::V4_0) {
            if (!has_id_value && blank)
                report(rule::vast_universaladid_idvalue, u, uid);
        }
    }

    if (const Node* companions = cn.companion_ads) {
        const PathRef base = join(path, "/CompanionAds");
        std::size_t k = 0;
        for (const Node& comp : companions->children()) {
            if (top.code(comp) != kCompanion) continue;
            const PathRef kp = indexed(base, "Companion", k++);
            std::size_t m = 0;
            for (const Node& ct : comp.children()) {
                if (top.code(ct) != kCompanionClickTracking) continue;
                std::size_t idx = m++;
                if (!ct.attr("id"))
                    report(rule::vast_companion_clicktracking_id, indexed(kp, "CompanionClickTracking", idx), &ct);
            }
            if (!has_resource(top, comp))
                report(rule::vast_companion_resource, kp, &comp);
        }
    }

    if (const Node* nonlinears = cn.nonlinear_ads) {
        const PathRef base = join(path, "/NonLinearAds");
        std::size_t n = 0;
        for (const Node& nl : nonlinears->children()) {
            if (top.code(nl) != kNonLinear) continue;
            std::size_t idx = n++;
            if (!has_resource(top, nl))
                report(rule::vast_nonlinear_resource, indexed(base, "NonLinear", idx), &nl);
        }
    }

    const Node* linear = cn.linear;
    if (!linear) return;
    const PathRef l = join(path, "/Linear");
    if (!cn.in_linear.duration)
        report(rule::vast_linear_duration, l, linear);
    const Node* media = cn.in_linear.media_files;
    const PathRef m = join(l, "/MediaFiles");
    const LinearNodes& ln = cn.in_linear;
    if (!media)
        report(rule::vast_linear_mediafiles, l, linear);
    else if (!ln.media_file)
        report(rule::vast_linear_mediafiles_empty, m, linear);

    // From the first of each name on.
    const Node* media_end = media ? media + media->span : nullptr;
    if (ln.media_file) {
        std::size_t i = 0;
        for (const Node& f : Children(ln.media_file, media_end))
            if (top.code(f) == kMediaFile)
                check_required_attrs<kMediaFileAttrs>(f, indexed(m, "MediaFile", i++), report);
    }
    if (ln.mezzanine) {
        std::size_t i = 0;
        for (const Node& z : Children(ln.mezzanine, media_end))
            if (top.code(z) == kMezzanine)
                check_required_attrs<kMezzanineAttrs>(z, indexed(m, "Mezzanine", i++), report);
    }

    if (const Node* icons = cn.in_linear.icons) {
        const PathRef base = join(l, "/Icons");
        std::size_t i = 0;
        for (const Node& icon : icons->children()) {
            if (top.code(icon) != kIcon) continue;
            const PathRef ip = indexed(base, "Icon", i++);
            check_required_attrs<kIconAttrs>(icon, ip, report);
            if (!has_resource(top, icon))
                report(rule::vast_icon_resource, ip, &icon);
        }
    }

    if (ln.interactive_creative_file) {
        std::size_t i = 0;
        for (const Node& f : Children(ln.interactive_creative_file, media_end)) {
            if (top.code(f) != kInteractiveCreativeFile) continue;
            const PathRef fp = indexed(m, "InteractiveCreativeFile", i++);
            // Both findings point at the <Linear>, not at the file.
            if (!f.attr("apiFramework"))
                report(rule::vast_interactive_creative_no_api, fp, linear);
            if (!f.attr("type"))
                report(rule::vast_interactive_creative_type, fp, linear);
        }
    }
}

void check_pricing(const Node* pricing, const PathRef& parent_path,
                   Report& report) {
    if (!pricing) return;
    const PathRef p = join(parent_path, "/Pricing");
    if (!pricing->attr("model"))
        report(rule::vast_pricing_model, p, pricing);
    if (!pricing->attr("currency"))
        report(rule::vast_pricing_currency, p, pricing);
}

void check_categories(Children children, const PathRef& parent_path,
                      Report& report) {
    std::size_t n = 0;
    for (const Node& c : children) {
        if (c.name() != "Category") continue;
        std::size_t idx = n++;
        if (!c.attr("authority"))
            report(rule::vast_category_authority, indexed(parent_path, "Category", idx), &c);
    }
}

void check_ad_verifications(Children children, const PathRef& path,
                            Report& report) {
    std::set<std::string, std::less<>> vendors;
    std::size_t j = 0;
    for (const Node& v : children) {
        if (v.name() != "Verification") continue;
        const PathRef vp = indexed(path, "Verification", j++);
        auto vendor = v.attr("vendor");

        if (vendor) {
            std::string_view trimmed = text::trim(*vendor);
            if (!trimmed.empty() && !vendors.insert(text::ascii_lower(trimmed)).second)
                report(rule::vast_verification_duplicate_vendor, vp, &v);
        }

        if (!v.has_child("JavaScriptResource") && !v.has_child("ExecutableResource"))
            report(rule::vast_verification_no_resource, vp, &v);

        if (!vendor)
            report(rule::vast_verification_vendor, vp, &v);
        else if (!is_domain_qualified_vendor(text::trim(*vendor)))
            report(rule::vast_verification_vendor_format, vp, &v);

        const bool omid = is_omid_verification(v);
        if (omid) {
            const Node* params = v.child("VerificationParameters");
            if (!params || text::trim(params->text()).empty())
                report(rule::vast_verification_parameters, vp, &v);
        }

        if (const Node* events = v.child("TrackingEvents")) {
            const PathRef base = join(vp, "/TrackingEvents");
            std::size_t k = 0;
            for (const Node& t : events->children()) {
                if (t.name() != "Tracking") continue;
                const PathRef tp = indexed(base, "Tracking", k++);
                auto event = t.attr("event");
                if (!event) continue;
                if (*event != "verificationNotExecuted")
                    report(rule::vast_verification_tracking_event_value, attr_path(tp, "event"), &t);
                else if (!names_reason_macro(t.text()))
                    report(rule::vast_verification_tracking_reason, tp, &t);
            }
        }

        std::size_t k = 0;
        for (const Node& r : v.children()) {
            if (r.name() != "JavaScriptResource") continue;
            const PathRef rp = indexed(vp, "JavaScriptResource", k++);
            auto api = r.attr("apiFramework");
            if (!api)
                report(rule::vast_js_resource_apiframework, rp, &r);
            else if (omid && *api != "omid")
                report(rule::vast_js_resource_apiframework_value, rp, &r);
            if (omid && is_plain_http(r.text()))
                report(rule::vast_js_resource_https, rp, &r);
            if (!r.attr("browserOptional"))
                report(rule::vast_js_resource_browser_optional, rp, &r);
        }

        k = 0;
        for (const Node& r : v.children()) {
            if (r.name() != "ExecutableResource") continue;
            const PathRef rp = indexed(vp, "ExecutableResource", k++);
            auto api = r.attr("apiFramework");
            if (!api)
                report(rule::vast_exec_resource_apiframework, rp, &r);
            else if (omid && *api != "omid")
                report(rule::vast_exec_resource_apiframework_value, rp, &r);
            if (!r.attr("type"))
                report(rule::vast_exec_resource_type, rp, &r);
            if (omid && is_plain_http(r.text()))
                report(rule::vast_exec_resource_https, rp, &r);
        }
    }
}

void check_embedded_ad_verifications(const TopLevel& top, const Node& node, const PathRef& path,
                                     Report& report) {
    // The walk below finds something only where an AdVerifications or a
    // Verification element is; most extensions hold neither.
    bool found = top.code(node) == kAdVerifications;
    for (const Node* d = node.first_child(), *end = &node + node.span; d != end && !found; d = d->first_child())
        found = top.code(*d) == kAdVerifications || top.code(*d) == kVerification;
    if (!found) return;
    walk(node, path, Segment::NameIndex, [&](const Node& n, const WalkPath& p) {
        if (top.code(n) == kAdVerifications) {
            check_ad_verifications(n.children(), p, report);
            return Step::Over;
        }
        for (const Node& c : n.children())
            if (top.code(c) == kVerification) {
                check_ad_verifications(n.children(), p, report);
                return Step::Over;
            }
        return Step::Into;
    });
}

}  // namespace adsieve::rules::required
