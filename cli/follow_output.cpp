// How adsieve follow prints a run, in each of the command's formats.
#include <algorithm>
#include <cstdio>

#include "escape.h"
#include "follow.h"

namespace cli {

namespace {

std::string milliseconds(double seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f ms", seconds * 1000);
    return buf;
}

std::string ms_number(double seconds) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", seconds * 1000);
    return buf;
}

std::string_view end_words(std::string_view end) {
    constexpr std::pair<std::string_view, std::string_view> kEnds[] = {
        {"inline", "at an inline ad"},
        {"empty", "at a response without an ad"},
        {"failed", "at a hop that failed"},
        {"loop", "at a loop"},
        {"too-deep", "at the wrapper depth limit"},
        {"playlist", "at a VMAP playlist (its breaks are followed as chains of their own)"},
        {"not-xml", "at a body that is not XML"},
        {"not-ad", "at a response that is not an ad"},
        {"no-tag-uri", "at a wrapper without an ad tag URI"},
        {"hop-limit", "at the limit of fetched hops"},
    };
    for (const auto& [key, words] : kEnds)
        if (key == end) return words;
    return end;
}

std::string hop_label(const Hop& h) {
    std::string label = h.chain.empty() ? std::string() : "[" + printable(h.chain) + "] ";
    return label + "hop " + std::to_string(h.depth);
}

std::string artifact(const Hop& h) { return h.local ? uri_reference(h.url) : uri_text(h.url); }

// The findings of a hop to print: the document's (sorted, errors only when
// quiet), then the chain's.
std::vector<const Finding*> shown_findings(const Hop& h, const Style& st) {
    std::vector<const Finding*> out;
    if (h.checked)
        for (const Finding& f : h.report.findings)
            if (!st.quiet || f.severity == Severity::error) out.push_back(&f);
    for (const Finding& f : h.chain_findings)
        if (!st.quiet || f.severity == Severity::error) out.push_back(&f);
    return out;
}

std::string text_run(const FollowRun& run, const Style& st) {
    std::string out;
    for (const Hop& h : run.hops) {
        out += paint(st, "1", hop_label(h)) + ": " + printable(h.url) + "\n  ";
        if (h.local) {
            out += "file";
        } else if (h.fetched.status) {
            out += "HTTP " + std::to_string(h.fetched.status);
        } else {
            out += "no response";
        }
        if (!h.fetched.content_type.empty()) out += ", " + printable(h.fetched.content_type);
        if (h.kind != "failed" || h.size) out += ", " + std::to_string(h.size) + " bytes";
        if (!h.local && h.fetched.status) out += ", first byte " + milliseconds(h.fetched.first_byte);
        out += ", total " + milliseconds(h.fetched.total) + "; " + h.kind;
        if (!h.ad_systems.empty()) {
            out += " from ";
            for (std::size_t i = 0; i < h.ad_systems.size(); ++i)
                out += (i ? ", " : "") + printable(h.ad_systems[i]);
        }
        out += "\n";
        for (const std::string& r : h.fetched.redirects) out += "  redirected to " + printable(r) + "\n";
        for (const Finding* f : shown_findings(h, st)) {
            out += "  ";
            if (f->line) out += std::to_string(f->line) + ":" + std::to_string(f->col) + ": ";
            out += severity_painted(st, f->severity) + ": " + printable(f->message);
            if (f->vast_code) out += " (VAST error " + std::to_string(f->vast_code) + ")";
            out += " [" + paint(st, "2", printable(f->id)) + "]";
            if (!f->path.empty()) out += " (" + printable(f->path) + ")";
            out += "\n";
        }
        if (h.checked && h.report.unlisted)
            out += "  " + std::to_string(h.report.unlisted) + " more finding(s) not listed (--max-issues)\n";
    }
    if (st.quiet) return out;
    for (const ChainEnd& c : run.chains) {
        out += paint(st, "1", c.chain.empty() ? std::string("Chain") : "Chain [" + printable(c.chain) + "]");
        out += ": " + std::to_string(c.hops) + " hop(s), wrapper depth " + std::to_string(c.depth) + ", ended " +
               std::string(end_words(c.end)) + ", " + milliseconds(c.seconds) + "\n";
    }
    char line[200];
    std::snprintf(line, sizeof line, "%zu hop(s) in %s: %zu error(s), %zu warning(s), %zu info(s)\n",
                  run.hops.size(), milliseconds(run.seconds).c_str(), run.errors, run.warnings, run.infos);
    out += line;
    std::size_t trackers = 0;
    for (const Hop& h : run.hops) trackers += h.trackers.size();
    out += "Trackers the player would fire: " + std::to_string(trackers) + "\n";
    for (const Hop& h : run.hops)
        for (const Tracker& t : h.trackers) {
            std::string kind = printable(t.kind);
            if (kind.size() < 16) kind.resize(16, ' ');
            out += "  " + kind + " " + hop_label(h) + "  " + printable(t.url) + "\n";
        }
    return out;
}

std::string quoted_list(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += ',';
        append_json_quoted(out, items[i]);
    }
    return out + "]";
}

std::string chain_value(const std::string& chain) { return chain.empty() ? "null" : json_quote(chain); }

std::string finding_json(const Finding& f) {
    std::string out = "{\"id\":" + json_quote(f.id) + ",\"severity\":\"" + std::string(severity_word(f.severity)) +
                      "\",\"message\":" + json_quote(f.message) + ",\"vast_error_code\":";
    out += f.vast_code ? std::to_string(f.vast_code) : "null";
    return out + "}";
}

std::string hop_json(const Hop& h) {
    std::string out = "{\"chain\":" + chain_value(h.chain) + ",\"hop\":" + std::to_string(h.depth) +
                      ",\"url\":" + json_quote(h.url) + ",\"local\":" + (h.local ? "true" : "false") +
                      ",\"redirects\":" + quoted_list(h.fetched.redirects) + ",\"status\":";
    out += h.fetched.status ? std::to_string(h.fetched.status) : "null";
    out += ",\"content_type\":" + (h.fetched.content_type.empty() ? "null" : json_quote(h.fetched.content_type));
    out += ",\"size\":" + std::to_string(h.size) + ",\"first_byte_ms\":";
    out += h.local || !h.fetched.status ? "null" : ms_number(h.fetched.first_byte);
    out += ",\"total_ms\":" + ms_number(h.fetched.total) + ",\"kind\":" + json_quote(h.kind) +
           ",\"ad_systems\":" + quoted_list(h.ad_systems) + ",\"result\":";
    out += h.checked ? h.report.json : "null";
    out += ",\"chain_findings\":[";
    for (std::size_t i = 0; i < h.chain_findings.size(); ++i) out += (i ? "," : "") + finding_json(h.chain_findings[i]);
    out += "],\"trackers\":[";
    for (std::size_t i = 0; i < h.trackers.size(); ++i)
        out += (i ? "," : "") + std::string("{\"kind\":") + json_quote(h.trackers[i].kind) +
               ",\"url\":" + json_quote(h.trackers[i].url) + "}";
    return out + "]}";
}

std::string summary_json(const FollowRun& run) {
    std::string out = "{\"hops\":" + std::to_string(run.hops.size()) + ",\"total_ms\":" + ms_number(run.seconds) +
                      ",\"errors\":" + std::to_string(run.errors) + ",\"warnings\":" + std::to_string(run.warnings) +
                      ",\"infos\":" + std::to_string(run.infos) + ",\"chains\":[";
    for (std::size_t i = 0; i < run.chains.size(); ++i) {
        const ChainEnd& c = run.chains[i];
        out += (i ? "," : "") + std::string("{\"chain\":") + chain_value(c.chain) + ",\"hops\":" +
               std::to_string(c.hops) + ",\"depth\":" + std::to_string(c.depth) + ",\"end\":" + json_quote(c.end) +
               ",\"total_ms\":" + ms_number(c.seconds) + "}";
    }
    out += "],\"chain_findings\":[";
    bool first = true;
    for (const Hop& h : run.hops)
        for (const Finding& f : h.chain_findings) {
            std::string one = finding_json(f);
            one.pop_back();
            out += (first ? "" : ",") + one + ",\"chain\":" + chain_value(h.chain) + ",\"hop\":" +
                   std::to_string(h.depth) + ",\"url\":" + json_quote(h.url) + "}";
            first = false;
        }
    out += "],\"trackers\":[";
    first = true;
    for (const Hop& h : run.hops)
        for (const Tracker& t : h.trackers) {
            out += (first ? "" : ",") + std::string("{\"kind\":") + json_quote(t.kind) + ",\"url\":" +
                   json_quote(t.url) + ",\"chain\":" + chain_value(h.chain) + ",\"hop\":" + std::to_string(h.depth) +
                   "}";
            first = false;
        }
    return out + "]}";
}

}  // namespace

Catalog with_chain_rules(const Catalog& catalog) {
    Catalog c = catalog;
    for (const ChainRule& r : kChainRules) {
        c.index.emplace(std::string(r.id), c.rules.size());
        c.rules.push_back({std::string(r.id), r.severity, std::string(r.description), "FOLLOW"});
    }
    return c;
}

std::string render_follow(const FollowRun& run, const Style& st) {
    switch (st.format) {
        case Format::text:
            return text_run(run, st);
        case Format::json: {
            std::string out = "{\"hops\":[";
            for (std::size_t i = 0; i < run.hops.size(); ++i) out += (i ? "," : "") + hop_json(run.hops[i]);
            return out + "],\"summary\":" + summary_json(run) + "}\n";
        }
        case Format::jsonl: {
            std::string out;
            for (const Hop& h : run.hops) out += hop_json(h) + "\n";
            return out + "{\"summary\":" + summary_json(run) + "}\n";
        }
        case Format::github: {
            std::string out;
            for (const Hop& h : run.hops)
                for (const Finding* f : shown_findings(h, st)) out += github_line(*f, h.url, {});
            return out;
        }
        case Format::sarif: {
            std::string out = sarif_head(*st.catalog);
            bool first = true;
            for (const Hop& h : run.hops)
                for (const Finding* f : shown_findings(h, st)) {
                    if (!first) out += ',';
                    first = false;
                    out += sarif_result(st, *f, artifact(h), {});
                }
            Totals none;
            return out + sarif_tail(none);
        }
    }
    return {};
}

}  // namespace cli
