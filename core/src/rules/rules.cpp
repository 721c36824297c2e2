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

TopLevel top_level(const Node& root) {
    TopLevel top;
    if (root.name() != "VAST") return top;
    for (const Node& c : root.children()) {
        if (c.name_size != 2 && c.name_size != 5) continue;
        if (c.name() == "Ad")
            top.ads.push_back({&c, c.child("InLine"), c.child("Wrapper")});
        else if (c.name() == "Error")
            top.errors.push_back(&c);
    }
    return top;
}

}  // namespace adsieve::rules
