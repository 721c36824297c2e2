// adsieve follow: a wrapper chain fetched hop by hop, each hop checked at its
// wrapper depth, and what the chain as a whole did.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "adinfo.h"
#include "document.h"
#include "fetch.h"
#include "formats.h"

namespace cli {

// Findings about the chain rather than about a document, each with the VAST
// error code a player would report (0 where none applies).
struct ChainRule {
    std::string_view id;
    Severity severity;
    int vast_code;
    std::string_view description;
};

inline constexpr ChainRule kChainRules[] = {
    {"FOLLOW-timeout", Severity::error, 301, "A hop did not answer within the time a player allows"},
    {"FOLLOW-http-error", Severity::error, 301, "A hop answered with an HTTP error status"},
    {"FOLLOW-unreachable", Severity::error, 301, "A hop could not be fetched (name, connection or TLS failure)"},
    {"FOLLOW-bad-url", Severity::error, 301, "An ad tag URI is not an http or https URL"},
    {"FOLLOW-too-large", Severity::error, 301, "A hop's body is larger than --max-bytes"},
    {"FOLLOW-loop", Severity::error, 302, "A wrapper leads back to a URL the chain already fetched"},
    {"FOLLOW-redirect-loop", Severity::error, 301, "HTTP redirects go round in a loop or past 10 steps"},
    {"FOLLOW-too-deep", Severity::error, 302, "The chain has more wrappers than --max-wrapper-depth allows"},
    {"FOLLOW-not-xml", Severity::error, 100, "A hop's body is not a well-formed XML document"},
    {"FOLLOW-not-utf8", Severity::error, 100, "A hop's body is not UTF-8"},
    {"FOLLOW-not-ad", Severity::error, 101, "A hop is XML but not a VAST, VMAP or DAAST response"},
    {"FOLLOW-empty", Severity::error, 303, "A wrapper led to a response without an ad"},
    {"FOLLOW-no-ad", Severity::warning, 0, "The first response holds no ad"},
    {"FOLLOW-no-tag-uri", Severity::error, 303, "A wrapper has no ad tag URI to follow"},
    {"FOLLOW-macro-unknown", Severity::warning, 0, "A followed URL keeps [MACROS] that have no value (see --macro)"},
    {"FOLLOW-wrappers-skipped", Severity::info, 0, "A response holds several wrapper ads; only the first is followed"},
    {"FOLLOW-hop-limit", Severity::error, 0, "The run reached its limit of fetched hops"},
};

struct Hop {
    std::string chain;        // empty for the chain started on the command line; a VMAP break's label
    std::uint32_t depth = 0;  // the wrapper depth it was checked at
    std::string url;          // what was fetched (a file name for a local first hop)
    bool local = false;
    Fetched fetched;          // status, times and content type (times only for a file)
    std::size_t size = 0;
    std::string kind;         // inline, wrapper, vmap, empty, not-xml, not-ad, failed
    std::vector<std::string> ad_systems;
    std::vector<Tracker> trackers;
    bool checked = false;     // report holds the document's findings
    Report report;
    std::vector<Finding> chain_findings;
};

struct ChainEnd {
    std::string chain;
    std::size_t hops = 0;
    std::uint32_t depth = 0;  // depth of its last hop
    std::string end;          // how it ended: inline, empty, failed, loop, too-deep, ...
    double seconds = 0;
};

struct FollowRun {
    std::vector<Hop> hops;
    std::vector<ChainEnd> chains;
    double seconds = 0;
    std::size_t errors = 0, warnings = 0, infos = 0;
};

// Counts every finding of the run, documents and chain alike.
void count_findings(FollowRun& run);
bool run_fails_at(const FollowRun& run, Severity level);

// The catalogue with the chain rules after it, for SARIF.
Catalog with_chain_rules(const Catalog& catalog);

// Output. Text, github and sarif print the whole run; json prints one
// object, jsonl one line per hop then one with the summary.
std::string render_follow(const FollowRun& run, const Style& st);

}  // namespace cli
