// Fetching one hop of a wrapper chain over HTTP(S) with libcurl. Only the
// command fetches; the library never does I/O.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cli {

enum class FetchFailure { none, timeout, http_status, too_large, redirect_loop, too_many_redirects, bad_url, network };

struct Fetched {
    std::string url;                     // the URL asked for
    std::vector<std::string> redirects;  // where HTTP redirects led, in order
    long status = 0;                     // the last HTTP status; 0 when none came
    double first_byte = 0;               // seconds until the first byte of the last response
    double total = 0;                    // seconds for the hop, redirects included
    std::string content_type;
    std::string body;
    FetchFailure failure = FetchFailure::none;
    std::string error;  // what went wrong, in words
};

// libcurl, loaded when the follow command starts (so the other commands do
// not pay for loading it and its TLS stack) and set up once on the main
// thread. Every function below takes the session.
struct CurlApi;
struct CurlSession {
    std::string error;  // why libcurl cannot be used; empty when it can
    void* library = nullptr;
    std::unique_ptr<CurlApi> api;
    CurlSession();
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;
};

// Fetches an http or https URL, following up to 10 HTTP redirects itself
// (the same URL twice is a loop), within `timeout` seconds for everything and
// at most `max_bytes` of (decoded) body. Statuses of 400 and above fail.
Fetched fetch(const CurlSession& curl, const std::string& url, double timeout, std::uint64_t max_bytes);

// Resolves `reference` against `base` (both may be absolute); returns false
// with `error` set when the result is not an http or https URL.
bool resolve_url(const CurlSession& curl, const std::string& base, const std::string& reference, std::string& out, std::string& error);

// True when `s` starts with a URL scheme ("name:"), e.g. http: or file:.
bool has_scheme(const std::string& s);

}  // namespace cli
