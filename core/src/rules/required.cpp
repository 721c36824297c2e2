// The required-elements family: mandatory elements and attributes of the
// <VAST> root, each <Ad>, its <InLine> or <Wrapper>, every InLine <Creative>,
// <Pricing>, <Category> and the ad-verification blocks.
#include "rules/required.h"

#include <array>
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
    std::string_view id;
    std::string_view message;
};

constexpr RequiredAttr kMediaFileAttrs[] = {
    {"delivery", "VAST-2.0-mediafile-delivery", "<MediaFile> is missing required delivery attribute"},
    {"type", "VAST-2.0-mediafile-type", "<MediaFile> is missing required type attribute"},
    {"width", "VAST-2.0-mediafile-dimensions", "<MediaFile> is missing required width attribute"},
    {"height", "VAST-2.0-mediafile-dimensions", "<MediaFile> is missing required height attribute"},
};
constexpr RequiredAttr kMezzanineAttrs[] = {
    {"delivery", "VAST-4.1-mezzanine-delivery", "<Mezzanine> is missing required delivery attribute"},
    {"type", "VAST-4.1-mezzanine-type", "<Mezzanine> is missing required type attribute"},
    {"width", "VAST-4.1-mezzanine-width", "<Mezzanine> is missing required width attribute"},
    {"height", "VAST-4.1-mezzanine-height", "<Mezzanine> is missing required height attribute"},
};
constexpr RequiredAttr kIconAttrs[] = {
    {"program", "VAST-3.0-icon-program", "<Icon> is missing required program attribute"},
    {"width", "VAST-3.0-icon-width", "<Icon> is missing required width attribute"},
    {"height", "VAST-3.0-icon-height", "<Icon> is missing required height attribute"},
    {"xPosition", "VAST-3.0-icon-xposition", "<Icon> is missing required xPosition attribute"},
    {"yPosition", "VAST-3.0-icon-yposition", "<Icon> is missing required yPosition attribute"},
};

void check_required_attrs(const Node& n, std::span<const RequiredAttr> attrs, std::string_view spec_ref,
                          const std::string& path, const ValidationContext& ctx, Issues& issues) {
    for (const RequiredAttr& a : attrs)
        if (!n.attr(a.attr)) emit(ctx, issues, a.id, kError, a.message, path, spec_ref, &n);
}

bool has_resource(const Node& n) {
    for (std::string_view r : kResourceNames)
        if (n.has_child(r)) return true;
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
    for (const Node& c : verification.children) {
        if (c.name != "JavaScriptResource" && c.name != "ExecutableResource") continue;
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

void check_creative_requirements(const Node& creative, const std::string& path,
                                 const DetectedVersion& version, const ValidationContext& ctx,
                                 Issues& issues);
void check_pricing(std::span<const Node> children, const std::string& parent_path,
                   const ValidationContext& ctx, Issues& issues);
void check_categories(std::span<const Node> children, const std::string& parent_path,
                      const ValidationContext& ctx, Issues& issues);
void check_ad_verifications(std::span<const Node> children, const std::string& path,
                            const ValidationContext& ctx, Issues& issues);
void check_embedded_ad_verifications(const Node& node, const std::string& path,
                                     const ValidationContext& ctx, Issues& issues);
void check_ad(const Node& ad, std::size_t ad_index, const DetectedVersion& version,
              const ValidationContext& ctx, Issues& issues);

void check(const VastDocument& doc, const DetectedVersion& version, const ValidationContext& ctx,
           Issues& issues) {
    const Node& root = doc.root;
    if (root.name != "VAST") {
        emit(ctx, issues, "VAST-2.0-root-element", kError, "Root element must be <VAST>", "/",
             "IAB VAST 2.0 §2", &root);
        return;
    }
    auto declared = root.attr("version");
    if (!declared)
        emit(ctx, issues, "VAST-2.0-root-version", kError,
             "Root <VAST> element is missing the required version attribute", "/VAST",
             "IAB VAST 2.0 §2.1", &root);
    if (declared) {
        bool known = false;
        for (std::string_view v : kVersionValues) known = known || *declared == v;
        if (!known)
            emit(ctx, issues, "VAST-2.0-root-version-value", kWarning,
                 "VAST version attribute value is not a recognised VAST version string",
                 "/VAST[@version]", "IAB VAST 2.0 §2.1", &root);
    }
    bool has_ad = root.has_child("Ad"), has_error = root.has_child("Error");
    if (!has_ad && !has_error)
        emit(ctx, issues, "VAST-2.0-root-has-ad-or-error", kError,
             "<VAST> contains neither <Ad> nor <Error> — response is empty", "/VAST",
             "IAB VAST 2.0 §2", &root);
    if (version.at_least(VastVersion::V4_0) && has_ad && has_error)
        emit(ctx, issues, "VAST-4.0-wrapper-root-error", kWarning,
             "<VAST> root contains both <Ad> and <Error> elements — only one type is allowed per "
             "VAST 4.0",
             "/VAST", "IAB VAST 4.0 §2.1", &root);
    std::size_t i = 0;
    for (const Node& c : root.children)
        if (c.name == "Ad") check_ad(c, i++, version, ctx, issues);
}

void check_ad(const Node& ad, std::size_t ad_index, const DetectedVersion& version,
              const ValidationContext& ctx, Issues& issues) {
    const std::string ad_path = indexed("/VAST", "Ad", ad_index);
    const Node* inline_ad = ad.child("InLine");
    const Node* wrapper = ad.child("Wrapper");
    if (!inline_ad && !wrapper) {
        emit(ctx, issues, "VAST-2.0-ad-has-inline-or-wrapper", kError,
             "<Ad> must contain either <InLine> or <Wrapper>", ad_path, "IAB VAST 2.0 §2.2", &ad);
        return;
    }
    if (inline_ad && wrapper)
        emit(ctx, issues, "VAST-2.0-ad-has-inline-or-wrapper", kError,
             "<Ad> must not contain both <InLine> and <Wrapper>", ad_path, "IAB VAST 2.0 §2.2",
             &ad);

    if (inline_ad) {
        const Node& in = *inline_ad;
        const std::string p = join(ad_path, "/InLine");
        if (!in.has_child("AdSystem"))
            emit(ctx, issues, "VAST-2.0-inline-adsystem", kError,
                 "<InLine> is missing required <AdSystem>", p, "IAB VAST 2.0 §2.3.1", &in);
        if (!in.has_child("AdTitle"))
            emit(ctx, issues, "VAST-2.0-inline-adtitle", kError,
                 "<InLine> is missing required <AdTitle>", p, "IAB VAST 2.0 §2.3.2", &in);
        if (!in.has_child("Impression"))
            emit(ctx, issues, "VAST-2.0-inline-impression", kError,
                 "<InLine> is missing required <Impression>", p, "IAB VAST 2.0 §2.3.4", &in);
        const Node* creatives = in.child("Creatives");
        if (!creatives)
            emit(ctx, issues, "VAST-2.0-inline-creatives", kError,
                 "<InLine> is missing required <Creatives>", p, "IAB VAST 2.0 §2.3.5", &in);
        else if (!creatives->has_child("Creative"))
            emit(ctx, issues, "VAST-2.0-inline-creatives", kError,
                 "<Creatives> must contain at least one <Creative>", join(p, "/Creatives"),
                 "IAB VAST 2.0 §2.3.5", &in);
        if (version.at_least(VastVersion::V4_1) && !in.has_child("AdServingId"))
            emit(ctx, issues, "VAST-4.1-adservingid-present", kError,
                 "<InLine> is missing required <AdServingId> (required since VAST 4.1)", p,
                 "IAB VAST 4.1 §3.4.1", &in);
        if (creatives) {
            const std::string base = join(p, "/Creatives");
            std::size_t j = 0;
            for (const Node& c : creatives->children)
                if (c.name == "Creative")
                    check_creative_requirements(c, indexed(base, "Creative", j++), version, ctx,
                                                issues);
        }
        check_categories(in.children, p, ctx, issues);
        check_pricing(in.children, p, ctx, issues);
        if (const Node* av = in.child("AdVerifications"))
            check_ad_verifications(av->children, join(p, "/AdVerifications"), ctx, issues);
        if (const Node* ext = in.child("Extensions"))
            check_embedded_ad_verifications(*ext, join(p, "/Extensions"), ctx, issues);
    }

    if (wrapper) {
        const Node& w = *wrapper;
        const std::string p = join(ad_path, "/Wrapper");
        if (!w.has_child("AdSystem"))
            emit(ctx, issues, "VAST-2.0-wrapper-adsystem", kError,
                 "<Wrapper> is missing required <AdSystem>", p, "IAB VAST 2.0 §2.3.1", &w);
        if (!w.has_child("Impression"))
            emit(ctx, issues, "VAST-2.0-wrapper-impression", kError,
                 "<Wrapper> is missing required <Impression>", p, "IAB VAST 2.0 §2.3.4", &w);
        if (!w.has_child("VASTAdTagURI"))
            emit(ctx, issues, "VAST-2.0-wrapper-vastadtaguri", kError,
                 "<Wrapper> is missing required <VASTAdTagURI>", p, "IAB VAST 2.0 §2.4", &w);
        check_categories(w.children, p, ctx, issues);
        check_pricing(w.children, p, ctx, issues);
        std::size_t k = 0;
        for (const Node& c : w.children) {
            if (c.name != "BlockedAdCategories") continue;
            std::size_t idx = k++;
            if (!c.attr("authority"))
                emit(ctx, issues, "VAST-4.1-blockedadcategories-no-authority", kWarning,
                     "<BlockedAdCategories> should have an authority attribute to identify the "
                     "taxonomy",
                     indexed(p, "BlockedAdCategories", idx), "IAB VAST 4.1 §2.3.2", &c);
        }
        if (version.at_least(VastVersion::V4_1))
            if (const Node* av = w.child("AdVerifications"))
                check_ad_verifications(av->children, join(p, "/AdVerifications"), ctx, issues);
        if (const Node* ext = w.child("Extensions"))
            check_embedded_ad_verifications(*ext, join(p, "/Extensions"), ctx, issues);
    }
}

void check_creative_requirements(const Node& creative, const std::string& path,
                                 const DetectedVersion& version, const ValidationContext& ctx,
                                 Issues& issues) {
    const Node* uid = creative.child("UniversalAdId");
    if (version.at_least(VastVersion::V4_0) && !uid)
        emit(ctx, issues, "VAST-4.0-universaladid-present", kError,
             "<Creative> is missing required <UniversalAdId> (required since VAST 4.0)", path,
             "IAB VAST 4.0 §3.8.1", &creative);
    if (uid) {
        const std::string u = join(path, "/UniversalAdId");
        if (!uid->attr("idRegistry"))
            emit(ctx, issues, "VAST-4.0-universaladid-idregistry", kError,
                 "<UniversalAdId> is missing required idRegistry attribute", u,
                 "IAB VAST 4.0 §3.8.1", &creative);
        bool has_id_value = uid->attr("idValue").has_value();
        bool blank = text::trim(uid->text).empty();
        auto effective = version.effective();
        if (version.at_least(VastVersion::V4_1)) {
            if (has_id_value)
                emit(ctx, issues, "VAST-4.1-universaladid-idvalue-removed", kWarning,
                     "<UniversalAdId> idValue attribute was removed in VAST 4.1 — value should be "
                     "in element text content",
                     u, "IAB VAST 4.1 §2.3.5.3", uid);
            if (blank && !has_id_value)
                emit(ctx, issues, "VAST-4.1-universaladid-content", kError,
                     "<UniversalAdId> must have text content in VAST 4.1+ (the ID value is the "
                     "element body)",
                     u, "IAB VAST 4.1 §2.3.5.3", uid);
        } else if (effective && *effective == VastVersion::V4_0) {
            if (!has_id_value && blank)
                emit(ctx, issues, "VAST-4.0-universaladid-idvalue", kError,
                     "<UniversalAdId> is missing required idValue attribute (required in VAST 4.0)",
                     u, "IAB VAST 4.0 §2.3.5.3", uid);
        }
    }

    if (const Node* companions = creative.child("CompanionAds")) {
        const std::string base = join(path, "/CompanionAds");
        std::size_t k = 0;
        for (const Node& comp : companions->children) {
            if (comp.name != "Companion") continue;
            const std::string kp = indexed(base, "Companion", k++);
            std::size_t m = 0;
            for (const Node& ct : comp.children) {
                if (ct.name != "CompanionClickTracking") continue;
                std::size_t idx = m++;
                if (!ct.attr("id"))
                    emit(ctx, issues, "VAST-4.0-companion-clicktracking-id", kError,
                         "<CompanionClickTracking> is missing required id attribute",
                         indexed(kp, "CompanionClickTracking", idx), "IAB VAST 4.0 §2.3.8", &ct);
            }
            if (!has_resource(comp))
                emit(ctx, issues, "VAST-2.0-companion-resource", kError,
                     "<Companion> must contain at least one StaticResource, IFrameResource, or "
                     "HTMLResource",
                     kp, "IAB VAST 2.0 §2.3.7", &comp);
        }
    }

    if (const Node* nonlinears = creative.child("NonLinearAds")) {
        const std::string base = join(path, "/NonLinearAds");
        std::size_t n = 0;
        for (const Node& nl : nonlinears->children) {
            if (nl.name != "NonLinear") continue;
            std::size_t idx = n++;
            if (!has_resource(nl))
                emit(ctx, issues, "VAST-2.0-nonlinear-resource", kError,
                     "<NonLinear> must contain at least one StaticResource, IFrameResource, or "
                     "HTMLResource",
                     indexed(base, "NonLinear", idx), "IAB VAST 2.0 §2.3.6.1", &nl);
        }
    }

    const Node* linear = creative.child("Linear");
    if (!linear) return;
    const std::string l = join(path, "/Linear");
    if (!linear->has_child("Duration"))
        emit(ctx, issues, "VAST-2.0-linear-duration", kError, "<Linear> is missing required <Duration>",
             l, "IAB VAST 2.0 §2.3.5.1", linear);
    const Node* media = linear->child("MediaFiles");
    const std::string m = join(l, "/MediaFiles");
    if (!media)
        emit(ctx, issues, "VAST-2.0-linear-mediafiles", kError,
             "<Linear> is missing required <MediaFiles>", l, "IAB VAST 2.0 §2.3.5.2", linear);
    else if (!media->has_child("MediaFile"))
        emit(ctx, issues, "VAST-2.0-linear-mediafiles", kError,
             "<MediaFiles> must contain at least one <MediaFile>", m, "IAB VAST 2.0 §2.3.5.2",
             linear);

    if (media) {
        std::size_t i = 0;
        for (const Node& f : media->children)
            if (f.name == "MediaFile")
                check_required_attrs(f, kMediaFileAttrs, "IAB VAST 2.0 §2.3.5.2",
                                     indexed(m, "MediaFile", i++), ctx, issues);
        i = 0;
        for (const Node& z : media->children)
            if (z.name == "Mezzanine")
                check_required_attrs(z, kMezzanineAttrs, "IAB VAST 4.1 §2.3.5.2",
                                     indexed(m, "Mezzanine", i++), ctx, issues);
    }

    if (const Node* icons = linear->child("Icons")) {
        const std::string base = join(l, "/Icons");
        std::size_t i = 0;
        for (const Node& icon : icons->children) {
            if (icon.name != "Icon") continue;
            const std::string ip = indexed(base, "Icon", i++);
            check_required_attrs(icon, kIconAttrs, "IAB VAST 3.0 §2.3.6.4", ip, ctx, issues);
            if (!has_resource(icon))
                emit(ctx, issues, "VAST-3.0-icon-resource", kError,
                     "<Icon> must contain at least one StaticResource, IFrameResource, or "
                     "HTMLResource",
                     ip, "IAB VAST 3.0 §2.3.6.4", &icon);
        }
    }

    if (media) {
        std::size_t i = 0;
        for (const Node& f : media->children) {
            if (f.name != "InteractiveCreativeFile") continue;
            const std::string fp = indexed(m, "InteractiveCreativeFile", i++);
            // Both findings point at the <Linear>, not at the file.
            if (!f.attr("apiFramework"))
                emit(ctx, issues, "VAST-4.0-interactive-creative-no-api", kWarning,
                     "<InteractiveCreativeFile> should have an apiFramework attribute (e.g. "
                     "\"SIMID\")",
                     fp, "IAB VAST 4.0 §2.3.5.4", linear);
            if (!f.attr("type"))
                emit(ctx, issues, "VAST-4.1-interactive-creative-type", kWarning,
                     "<InteractiveCreativeFile> should have a type attribute identifying the MIME "
                     "type",
                     fp, "IAB VAST 4.1 §3.9.3", linear);
        }
    }
}

void check_pricing(std::span<const Node> children, const std::string& parent_path,
                   const ValidationContext& ctx, Issues& issues) {
    const Node* pricing = first_child(children, "Pricing");
    if (!pricing) return;
    const std::string p = join(parent_path, "/Pricing");
    if (!pricing->attr("model"))
        emit(ctx, issues, "VAST-3.0-pricing-model", kError,
             "<Pricing> is missing required model attribute", p, "IAB VAST 3.0 §2.3.10", pricing);
    if (!pricing->attr("currency"))
        emit(ctx, issues, "VAST-3.0-pricing-currency", kError,
             "<Pricing> is missing required currency attribute", p, "IAB VAST 3.0 §2.3.10",
             pricing);
}

void check_categories(std::span<const Node> children, const std::string& parent_path,
                      const ValidationContext& ctx, Issues& issues) {
    std::size_t n = 0;
    for (const Node& c : children) {
        if (c.name != "Category") continue;
        std::size_t idx = n++;
        if (!c.attr("authority"))
            emit(ctx, issues, "VAST-4.0-category-authority", kError,
                 "<Category> is missing required authority attribute",
                 indexed(parent_path, "Category", idx), "IAB VAST 4.0 §2.3.3", &c);
    }
}

void check_ad_verifications(std::span<const Node> children, const std::string& path,
                            const ValidationContext& ctx, Issues& issues) {
    std::set<std::string, std::less<>> vendors;
    std::size_t j = 0;
    for (const Node& v : children) {
        if (v.name != "Verification") continue;
        const std::string vp = indexed(path, "Verification", j++);
        auto vendor = v.attr("vendor");

        if (vendor) {
            std::string_view trimmed = text::trim(*vendor);
            if (!trimmed.empty() && !vendors.insert(text::ascii_lower(trimmed)).second)
                emit(ctx, issues, "VAST-4.1-verification-duplicate-vendor", kWarning,
                     "<AdVerifications> contains more than one <Verification> entry for the same "
                     "vendor",
                     vp, "IAB VAST 4.1 §3.17", &v);
        }

        if (!v.has_child("JavaScriptResource") && !v.has_child("ExecutableResource"))
            emit(ctx, issues, "VAST-4.1-verification-no-resource", kWarning,
                 "<Verification> should contain at least one JavaScriptResource or "
                 "ExecutableResource",
                 vp, "IAB VAST 4.1 §2.4", &v);

        if (!vendor)
            emit(ctx, issues, "VAST-4.1-verification-vendor", kError,
                 "<Verification> is missing required vendor attribute", vp, "IAB VAST 4.1 §3.17",
                 &v);
        else if (!is_domain_qualified_vendor(text::trim(*vendor)))
            emit(ctx, issues, "VAST-4.1-verification-vendor-format", kWarning,
                 "<Verification> vendor should use a domain-qualified key such as "
                 "\"iabtechlab.com-omid\"",
                 vp, "IAB VAST 4.1 §3.17", &v);

        const bool omid = is_omid_verification(v);
        if (omid) {
            const Node* params = v.child("VerificationParameters");
            if (!params || text::trim(params->text).empty())
                emit(ctx, issues, "VAST-4.1-verification-parameters", kWarning,
                     "OMID <Verification> should include non-empty <VerificationParameters> for "
                     "bootstrap metadata",
                     vp, "IAB VAST 4.3 §3.17.5", &v);
        }

        if (const Node* events = v.child("TrackingEvents")) {
            const std::string base = join(vp, "/TrackingEvents");
            std::size_t k = 0;
            for (const Node& t : events->children) {
                if (t.name != "Tracking") continue;
                std::string tp = indexed(base, "Tracking", k++);
                auto event = t.attr("event");
                if (!event) continue;
                if (*event != "verificationNotExecuted")
                    emit(ctx, issues, "VAST-4.1-tracking-event-value", kError,
                         "<Tracking> under <Verification> only supports "
                         "event=\"verificationNotExecuted\"",
                         attr_path(tp, "event"), "IAB VAST 4.3 §3.17.4", &t);
                else if (!names_reason_macro(t.text))
                    emit(ctx, issues, "VAST-4.1-verification-tracking-reason", kWarning,
                         "verificationNotExecuted tracking URI should include the [REASON] macro",
                         std::move(tp), "IAB VAST 4.3 §3.17.4", &t);
            }
        }

        std::size_t k = 0;
        for (const Node& r : v.children) {
            if (r.name != "JavaScriptResource") continue;
            const std::string rp = indexed(vp, "JavaScriptResource", k++);
            auto api = r.attr("apiFramework");
            if (!api)
                emit(ctx, issues, "VAST-4.1-js-resource-apiframework", kError,
                     "<JavaScriptResource> is missing required apiFramework attribute", rp,
                     "IAB VAST 4.1 §3.17.1", &r);
            else if (omid && *api != "omid")
                emit(ctx, issues, "VAST-4.1-js-resource-apiframework-value", kWarning,
                     "OMID <JavaScriptResource> should declare apiFramework=\"omid\" exactly", rp,
                     "IAB VAST 4.1 §3.17.1", &r);
            if (omid && is_plain_http(r.text))
                emit(ctx, issues, "VAST-4.1-js-resource-https", kWarning,
                     "OMID <JavaScriptResource> URL should use HTTPS", rp, "IAB VAST 4.1 §3.17.1",
                     &r);
            if (!r.attr("browserOptional"))
                emit(ctx, issues, "VAST-4.3-js-resource-browser-optional", kWarning,
                     "<JavaScriptResource> should have a browserOptional attribute (required "
                     "since VAST 4.3)",
                     rp, "IAB VAST 4.3 §3.17.1", &r);
        }

        k = 0;
        for (const Node& r : v.children) {
            if (r.name != "ExecutableResource") continue;
            const std::string rp = indexed(vp, "ExecutableResource", k++);
            auto api = r.attr("apiFramework");
            if (!api)
                emit(ctx, issues, "VAST-4.1-exec-resource-apiframework", kError,
                     "<ExecutableResource> is missing required apiFramework attribute", rp,
                     "IAB VAST 4.1 §3.17.2", &r);
            else if (omid && *api != "omid")
                emit(ctx, issues, "VAST-4.1-exec-resource-apiframework-value", kWarning,
                     "OMID <ExecutableResource> should declare apiFramework=\"omid\" exactly", rp,
                     "IAB VAST 4.1 §3.17.2", &r);
            if (!r.attr("type"))
                emit(ctx, issues, "VAST-4.1-exec-resource-type", kError,
                     "<ExecutableResource> is missing required type attribute", rp,
                     "IAB VAST 4.1 §3.17.2", &r);
            if (omid && is_plain_http(r.text))
                emit(ctx, issues, "VAST-4.1-exec-resource-https", kWarning,
                     "OMID <ExecutableResource> reference should use HTTPS when it is a URL", rp,
                     "IAB VAST 4.1 §3.17.2", &r);
        }
    }
}

void check_embedded_ad_verifications(const Node& node, const std::string& path,
                                     const ValidationContext& ctx, Issues& issues) {
    // Pre-order walk with an explicit stack. One path buffer is extended on
    // the way down and cut back on the way up, so deep nesting costs neither
    // call stack nor repeated copies of long paths. Indices count every child.
    struct Frame {
        const Node* node;
        std::size_t next;      // next child to visit
        std::size_t path_len;  // length of this node's path in `buf`
    };
    std::string buf = path;

    // Handles one element; true when the walk goes on into its children.
    auto visit = [&](const Node& n) {
        if (n.name == "AdVerifications") {
            check_ad_verifications(n.children, buf, ctx, issues);
            return false;
        }
        if (n.children.empty()) return false;
        for (const Node& c : n.children)
            if (c.name == "Verification") {
                check_ad_verifications(n.children, buf, ctx, issues);
                return false;
            }
        return true;
    };

    if (!visit(node)) return;
    std::vector<Frame> stack;
    stack.push_back({&node, 0, buf.size()});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->children.size()) {
            stack.pop_back();
            continue;
        }
        std::size_t i = top.next++;
        const Node& child = top.node->children[i];
        buf.resize(top.path_len);
        buf.push_back('/');
        buf.append(child.name);
        buf.push_back('[');
        buf.append(std::to_string(i));
        buf.push_back(']');
        if (visit(child)) stack.push_back({&child, 0, buf.size()});
    }
}

}  // namespace adsieve::rules::required
