// adsieve follow URL|FILE: fetches each hop of a wrapper chain (and each
// VMAP ad break's source), checks it at its wrapper depth, and goes on where
// a player would.
#include "follow.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <deque>
#include <random>
#include <set>
#include <utility>

#include "commands.h"
#include "inputs.h"
#include "output.h"

namespace cli {

namespace {

// Enough for a playlist of several breaks each followed to the depth limit,
// and a bound on what a hostile response can make the command fetch.
constexpr std::size_t kMaxFetches = 64;

const ChainRule& rule(std::string_view id) {
    for (const ChainRule& r : kChainRules)
        if (r.id == id) return r;
    return kChainRules[0];
}

Finding chain_finding(std::string_view id, const std::string& detail) {
    const ChainRule& r = rule(id);
    Finding f;
    f.id = std::string(r.id);
    f.severity = r.severity;
    f.message = detail;
    f.vast_code = r.vast_code;
    return f;
}

std::string percent_encode(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

struct Macro {
    std::string name;
    std::string value;  // already encoded for a URL
};

// Everything a run keeps while it walks.
struct Walk {
    const Settings& settings;
    const Checker& checker;
    const CurlSession& curl;
    std::vector<Macro> macros;  // from --macro; they win over the built-in ones
    std::mt19937_64 random{std::random_device{}()};
    FollowRun run;
    std::size_t fetches = 0;
    std::string io_error;  // a local first hop that cannot be read

    struct Start {
        std::string chain, url, raw;
        std::uint32_t depth = 0;
        bool local = false;
    };
    std::deque<Start> pending;
};

std::string timestamp_now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
    return buf;
}

// Replaces [NAME] macros the way a player would before requesting the URL;
// names it has no value for stay as they are and are returned.
std::string substitute(Walk& w, const std::string& uri, std::vector<std::string>& unknown) {
    std::string out;
    std::size_t i = 0;
    while (i < uri.size()) {
        const std::size_t open = uri.find('[', i);
        if (open == std::string::npos) break;
        const std::size_t close = uri.find(']', open + 1);
        if (close == std::string::npos) break;
        const std::string name = uri.substr(open + 1, close - open - 1);
        bool macro_like = !name.empty();
        for (char c : name) macro_like = macro_like && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
        out.append(uri, i, open - i);
        i = close + 1;
        const Macro* given = nullptr;
        for (const Macro& m : w.macros)
            if (m.name == name) given = &m;
        if (given) {
            out += given->value;
        } else if (name == "CACHEBUSTING") {
            out += std::to_string(10000000 + w.random() % 90000000);
        } else if (name == "TIMESTAMP") {
            out += percent_encode(timestamp_now());
        } else {
            if (macro_like) {
                bool seen = false;
                for (const std::string& u : unknown) seen = seen || u == name;
                if (!seen) unknown.push_back(name);
            }
            out.append(uri, open, close + 1 - open);
        }
    }
    out.append(uri, i, std::string::npos);
    return out;
}

std::string_view failure_rule(FetchFailure f) {
    switch (f) {
        case FetchFailure::timeout: return "FOLLOW-timeout";
        case FetchFailure::http_status: return "FOLLOW-http-error";
        case FetchFailure::too_large: return "FOLLOW-too-large";
        case FetchFailure::redirect_loop:
        case FetchFailure::too_many_redirects: return "FOLLOW-redirect-loop";
        case FetchFailure::bad_url: return "FOLLOW-bad-url";
        case FetchFailure::network:
        case FetchFailure::none: break;
    }
    return "FOLLOW-unreachable";
}

bool blank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }

// Follows one chain from `start` until it ends, appending its hops.
void follow_chain(Walk& w, Walk::Start start) {
    const Settings& s = w.settings;
    std::set<std::string> seen{start.url, start.raw};
    ChainEnd chain;
    chain.chain = start.chain;
    const auto chain_began = std::chrono::steady_clock::now();
    std::string url = start.url;
    std::uint32_t depth = start.depth;
    bool local = start.local;

    auto finish = [&](Hop&& hop, std::string end) {
        chain.depth = hop.depth;
        ++chain.hops;
        w.run.hops.push_back(std::move(hop));
        chain.end = std::move(end);
    };

    while (true) {
        Hop hop;
        hop.chain = start.chain;
        hop.depth = depth;
        hop.url = url;
        hop.local = local;
        if (w.fetches == kMaxFetches) {
            // Said once; chains still waiting are dropped with it.
            hop.kind = "failed";
            std::string why = "not fetched: the run already fetched " + std::to_string(kMaxFetches) + " hops";
            if (!w.pending.empty()) why += "; " + std::to_string(w.pending.size()) + " more chain(s) not followed";
            w.pending.clear();
            hop.chain_findings.push_back(chain_finding("FOLLOW-hop-limit", why));
            finish(std::move(hop), "hop-limit");
            break;
        }
        ++w.fetches;

        std::string body;
        if (local) {
            const auto began = std::chrono::steady_clock::now();
            std::string error;
            if (!read_file(url == "-" ? std::string() : url, s.max_bytes, body, error)) {
                w.io_error = url + ": " + error;
                return;
            }
            hop.fetched.total = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        } else {
            const bool first = w.run.hops.empty() && start.chain.empty();
            hop.fetched = fetch(w.curl, url, first ? s.first_timeout : s.timeout, s.max_bytes);
            body = std::move(hop.fetched.body);
            hop.fetched.body.clear();
            if (hop.fetched.failure != FetchFailure::none) {
                hop.kind = "failed";
                hop.chain_findings.push_back(chain_finding(failure_rule(hop.fetched.failure), hop.fetched.error));
                finish(std::move(hop), "failed");
                break;
            }
        }
        hop.size = body.size();
        const std::string base = local ? std::string() : (hop.fetched.redirects.empty() ? url : hop.fetched.redirects.back());

        if (blank(body)) {
            hop.kind = "empty";
            hop.chain_findings.push_back(depth > 0 ? chain_finding("FOLLOW-empty", "the response is empty")
                                                   : chain_finding("FOLLOW-no-ad", "the response is empty"));
            finish(std::move(hop), "empty");
            break;
        }
        hop.report = check_document(w.checker, url, body, depth);
        if (hop.report.unreadable()) {
            hop.kind = "failed";
            hop.chain_findings.push_back(chain_finding("FOLLOW-not-utf8", "the body is " + hop.report.error));
            finish(std::move(hop), "failed");
            break;
        }
        hop.checked = true;
        AdInfo info;
        std::string error;
        if (hop.report.parse_failed || !read_ad_info(body, info, error) || info.root.empty()) {
            hop.kind = "not-xml";
            std::string why = hop.report.parse_failed
                                  ? hop.report.parse_reason + " (line " + std::to_string(hop.report.parse_line) +
                                        ", column " + std::to_string(hop.report.parse_col) + ")"
                                  : error.empty() ? "no XML element in the body" : error;
            hop.chain_findings.push_back(chain_finding("FOLLOW-not-xml", why));
            finish(std::move(hop), "not-xml");
            break;
        }
        body.clear();
        hop.ad_systems = info.ad_systems;
        hop.trackers = info.trackers;

        if (info.root == "VMAP") {
            hop.kind = "vmap";
            if (start.chain.empty() && depth == 0) {
                for (const BreakSource& b : info.breaks) {
                    std::vector<std::string> unknown;
                    std::string next = substitute(w, b.uri, unknown), resolved;
                    if (!unknown.empty())
                        hop.chain_findings.push_back(chain_finding(
                            "FOLLOW-macro-unknown", "break " + b.label + ": no value for [" + unknown.front() + "]" +
                                                        (unknown.size() > 1 ? " and others" : "")));
                    if (b.uri.empty()) continue;  // the library reports the empty AdTagURI
                    if (!resolve_url(w.curl, base, next, resolved, error)) {
                        hop.chain_findings.push_back(chain_finding("FOLLOW-bad-url", "break " + b.label + ": " + error));
                        continue;
                    }
                    w.pending.push_back({b.label, resolved, b.uri, b.depth, false});
                }
            }
            finish(std::move(hop), "playlist");
            break;
        }
        if (info.root != "VAST" && info.root != "DAAST") {
            hop.kind = "not-ad";
            hop.chain_findings.push_back(chain_finding("FOLLOW-not-ad", "the root element is <" + info.root + ">"));
            finish(std::move(hop), "not-ad");
            break;
        }
        if (info.ads == 0) {
            hop.kind = "empty";
            hop.chain_findings.push_back(depth > 0 ? chain_finding("FOLLOW-empty", "the response holds no ad")
                                                   : chain_finding("FOLLOW-no-ad", "the response holds no ad"));
            finish(std::move(hop), "empty");
            break;
        }
        if (info.inline_ads > 0) {
            hop.kind = "inline";
            finish(std::move(hop), "inline");
            break;
        }
        hop.kind = "wrapper";
        if (info.wrapper_uris.size() > 1)
            hop.chain_findings.push_back(chain_finding(
                "FOLLOW-wrappers-skipped",
                std::to_string(info.wrapper_uris.size()) + " wrapper ads; only the first is followed"));
        const std::string raw = info.wrapper_uris.empty() ? std::string() : info.wrapper_uris.front();
        if (raw.empty()) {
            hop.chain_findings.push_back(chain_finding("FOLLOW-no-tag-uri", "the wrapper has no ad tag URI"));
            finish(std::move(hop), "no-tag-uri");
            break;
        }
        if (depth + 1 > s.max_wrapper_depth) {
            hop.chain_findings.push_back(chain_finding(
                "FOLLOW-too-deep", "not followed: the next document would be at wrapper depth " +
                                       std::to_string(depth + 1) + ", above --max-wrapper-depth " +
                                       std::to_string(s.max_wrapper_depth)));
            finish(std::move(hop), "too-deep");
            break;
        }
        std::vector<std::string> unknown;
        const std::string next = substitute(w, raw, unknown);
        if (!unknown.empty()) {
            std::string names;
            for (const std::string& n : unknown) names += (names.empty() ? "[" : ", [") + n + "]";
            hop.chain_findings.push_back(
                chain_finding("FOLLOW-macro-unknown", "no value for " + names + "; sent as written"));
        }
        std::string resolved;
        if (!resolve_url(w.curl, base, next, resolved, error)) {
            hop.chain_findings.push_back(chain_finding("FOLLOW-bad-url", error));
            finish(std::move(hop), "failed");
            break;
        }
        if (seen.count(raw) || seen.count(resolved)) {
            hop.chain_findings.push_back(
                chain_finding("FOLLOW-loop", "the wrapper leads back to " + resolved + ", already fetched"));
            finish(std::move(hop), "loop");
            break;
        }
        seen.insert(raw);
        seen.insert(resolved);
        chain.depth = depth;
        ++chain.hops;
        w.run.hops.push_back(std::move(hop));
        url = resolved;
        local = false;
        ++depth;
    }
    chain.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - chain_began).count();
    w.run.chains.push_back(std::move(chain));
}

// --macro NAME=VALUE, with or without brackets around the name.
bool read_macros(const Settings& s, std::vector<Macro>& out, std::string& error) {
    for (const std::string& m : s.macros) {
        const std::size_t eq = m.find('=');
        std::string name = eq == std::string::npos ? std::string() : m.substr(0, eq);
        if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
        bool ok = !name.empty();
        for (char c : name) ok = ok && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
        if (!ok) {
            error = "--macro: \"" + m + "\" is not NAME=VALUE with an upper-case NAME";
            return false;
        }
        out.push_back({name, percent_encode(std::string_view(m).substr(eq + 1))});
    }
    return true;
}

}  // namespace

void count_findings(FollowRun& run) {
    run.errors = run.warnings = run.infos = 0;
    auto add = [&](Severity s, std::size_t n) {
        (s == Severity::error ? run.errors : s == Severity::warning ? run.warnings : run.infos) += n;
    };
    for (const Hop& h : run.hops) {
        if (h.checked) {
            run.errors += h.report.errors;
            run.warnings += h.report.warnings;
            run.infos += h.report.infos;
        }
        for (const Finding& f : h.chain_findings) add(f.severity, 1);
    }
}

bool run_fails_at(const FollowRun& run, Severity level) {
    if (run.errors) return true;
    if (level <= Severity::warning && run.warnings) return true;
    return level == Severity::info && run.infos;
}

int run_follow(const Settings& s, const std::string& start) {
    const Catalog catalog = load_catalog();
    Checker checker;
    if (std::string why = build_checker(s, catalog, checker); !why.empty()) {
        std::fprintf(stderr, "adsieve: %s\n", why.c_str());
        return kExitUsage;
    }
    CurlSession curl;
    if (!curl.error.empty()) {
        std::fprintf(stderr, "adsieve: %s\n", curl.error.c_str());
        return kExitUsage;
    }
    Walk w{s, checker, curl, {}, std::mt19937_64{std::random_device{}()}, {}, 0, {}, {}};
    if (std::string error; !read_macros(s, w.macros, error)) {
        std::fprintf(stderr, "adsieve: %s\n", error.c_str());
        return kExitUsage;
    }
    Walk::Start first{{}, start, start, 0, true};
    if (has_scheme(start)) {
        std::string error;
        if (!resolve_url(curl, {}, start, first.url, error)) {
            std::fprintf(stderr, "adsieve: %s\n", error.c_str());
            return kExitUsage;
        }
        first.raw = start;
        first.local = false;
    }

    const auto began = std::chrono::steady_clock::now();
    w.pending.push_back(std::move(first));
    while (!w.pending.empty() && w.io_error.empty()) {
        Walk::Start next = std::move(w.pending.front());
        w.pending.pop_front();
        follow_chain(w, std::move(next));
    }
    if (!w.io_error.empty()) {
        std::fprintf(stderr, "adsieve: %s\n", w.io_error.c_str());
        return kExitUsage;
    }
    w.run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    count_findings(w.run);

    Style style;
    style.format = s.format;
    style.color = s.format == Format::text &&
                  (s.color == Color::always || (s.color == Color::automatic && auto_color()));
    style.quiet = s.quiet;
    const Catalog shown = with_chain_rules(catalog);
    style.catalog = &shown;
    Output out = open_output(false);
    write_out(out, render_follow(w.run, style));
    if (!finish_output(out)) return kExitUsage;
    return run_fails_at(w.run, s.fail_on) ? kExitFindings : kExitClean;
}

}  // namespace cli
