#include "fetch.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>

#include "adsieve.h"

namespace cli {

// The libcurl functions the command calls, typed as curl.h declares them.
struct CurlApi {
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_global_cleanup) global_cleanup = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_easy_reset) easy_reset = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_url) url = nullptr;
    decltype(&curl_url_cleanup) url_cleanup = nullptr;
    decltype(&curl_url_set) url_set = nullptr;
    decltype(&curl_url_get) url_get = nullptr;
    decltype(&curl_url_strerror) url_strerror = nullptr;
    decltype(&curl_free) free = nullptr;
};

namespace {

constexpr int kMaxRedirects = 10;
constexpr const char* kCurlLibrary = "libcurl.so.4";

template <typename F>
bool load(void* library, const char* name, F& out) {
    out = reinterpret_cast<F>(dlsym(library, name));
    return out != nullptr;
}

struct EasyFree {
    const CurlApi* api;
    void operator()(CURL* h) const noexcept { api->easy_cleanup(h); }
};
struct UrlFree {
    const CurlApi* api;
    void operator()(CURLU* u) const noexcept { api->url_cleanup(u); }
};

struct Body {
    std::string* data;
    std::uint64_t max;
    bool over = false;
};

std::size_t on_data(char* ptr, std::size_t size, std::size_t count, void* user) {
    auto* b = static_cast<Body*>(user);
    const std::size_t n = size * count;
    if (b->data->size() + n > b->max) {
        b->over = true;
        return 0;  // stops the transfer
    }
    b->data->append(ptr, n);
    return n;
}

std::string seconds_text(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g s", s);
    return buf;
}

// Spaces and control characters are not valid in a URL but do turn up in
// documents; they are percent-encoded, everything else is left to libcurl.
std::string encode_stray(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c <= 0x20 || c == 0x7F) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

CurlSession::CurlSession() {
    library = dlopen(kCurlLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        error = std::string("cannot load ") + kCurlLibrary + " (Debian package libcurl4): " + (why ? why : "not found");
        return;
    }
    auto a = std::make_unique<CurlApi>();
    const bool all = load(library, "curl_global_init", a->global_init) &&
                     load(library, "curl_global_cleanup", a->global_cleanup) &&
                     load(library, "curl_easy_init", a->easy_init) &&
                     load(library, "curl_easy_cleanup", a->easy_cleanup) &&
                     load(library, "curl_easy_reset", a->easy_reset) &&
                     load(library, "curl_easy_setopt", a->easy_setopt) &&
                     load(library, "curl_easy_perform", a->easy_perform) &&
                     load(library, "curl_easy_getinfo", a->easy_getinfo) &&
                     load(library, "curl_easy_strerror", a->easy_strerror) && load(library, "curl_url", a->url) &&
                     load(library, "curl_url_cleanup", a->url_cleanup) && load(library, "curl_url_set", a->url_set) &&
                     load(library, "curl_url_get", a->url_get) &&
                     load(library, "curl_url_strerror", a->url_strerror) && load(library, "curl_free", a->free);
    if (!all) {
        error = std::string(kCurlLibrary) + " lacks a function the command needs (libcurl 7.80 or later is)";
        return;
    }
    if (a->global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        error = "libcurl could not be set up";
        return;
    }
    api = std::move(a);
}

CurlSession::~CurlSession() {
    if (api) api->global_cleanup();
    // The library stays loaded: TLS libraries it pulled in may have
    // registered exit handlers.
}

bool has_scheme(const std::string& s) {
    std::size_t colon = s.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = s[i];
        const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!(alpha || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))) return false;
    }
    return true;
}

bool resolve_url(const CurlSession& curl, const std::string& base, const std::string& reference, std::string& out,
                 std::string& error) {
    const CurlApi& api = *curl.api;
    std::unique_ptr<CURLU, UrlFree> u(api.url(), UrlFree{&api});
    if (!u) {
        error = "out of memory";
        return false;
    }
    const std::string ref = encode_stray(reference);
    if (!has_scheme(ref)) {
        if (base.empty() || !has_scheme(base)) {
            error = "\"" + reference + "\" is not an absolute URL";
            return false;
        }
        if (api.url_set(u.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK) {
            error = "cannot read the URL \"" + base + "\"";
            return false;
        }
    }
    if (CURLUcode rc = api.url_set(u.get(), CURLUPART_URL, ref.c_str(), CURLU_NON_SUPPORT_SCHEME); rc != CURLUE_OK) {
        error = "cannot read the URL \"" + reference + "\": " + api.url_strerror(rc);
        return false;
    }
    char* scheme = nullptr;
    char* full = nullptr;
    api.url_get(u.get(), CURLUPART_SCHEME, &scheme, 0);
    api.url_get(u.get(), CURLUPART_URL, &full, 0);
    const std::string s = scheme ? scheme : "";
    if (full) out = full;
    api.free(scheme);
    api.free(full);
    if (s != "http" && s != "https") {
        error = "\"" + reference + "\" is not an http or https URL";
        return false;
    }
    return !out.empty();
}

Fetched fetch(const CurlSession& curl, const std::string& url, double timeout, std::uint64_t max_bytes) {
    using clock = std::chrono::steady_clock;
    const CurlApi& api = *curl.api;
    Fetched f;
    f.url = url;
    std::unique_ptr<CURL, EasyFree> h(api.easy_init(), EasyFree{&api});
    if (!h) {
        f.failure = FetchFailure::network;
        f.error = "cannot start a transfer";
        return f;
    }
    const auto start = clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(clock::now() - start).count(); };
    std::set<std::string> seen{url};
    std::string current = url;
    char errbuf[CURL_ERROR_SIZE];

    for (int hop = 0;; ++hop) {
        const double left = timeout - elapsed();
        if (left <= 0) {
            f.failure = FetchFailure::timeout;
            f.error = "no response within " + seconds_text(timeout);
            break;
        }
        const long left_ms = std::max(1L, static_cast<long>(std::ceil(left * 1000)));
        Body body{&f.body, max_bytes};
        f.body.clear();
        errbuf[0] = '\0';
        CURL* c = h.get();
        api.easy_reset(c);
        api.easy_setopt(c, CURLOPT_URL, current.c_str());
        api.easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        api.easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
        api.easy_setopt(c, CURLOPT_TIMEOUT_MS, left_ms);
        api.easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, left_ms);
        api.easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        api.easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
        api.easy_setopt(c, CURLOPT_USERAGENT, (std::string("adsieve/") + adsieve_version()).c_str());
        api.easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(max_bytes));
        api.easy_setopt(c, CURLOPT_WRITEFUNCTION, on_data);
        api.easy_setopt(c, CURLOPT_WRITEDATA, &body);
        api.easy_setopt(c, CURLOPT_ERRORBUFFER, errbuf);
        const double before = elapsed();
        const CURLcode rc = api.easy_perform(c);

        curl_off_t ttfb = 0;
        long status = 0;
        char* type = nullptr;
        char* location = nullptr;
        api.easy_getinfo(c, CURLINFO_STARTTRANSFER_TIME_T, &ttfb);
        api.easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
        api.easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type);
        api.easy_getinfo(c, CURLINFO_REDIRECT_URL, &location);
        f.status = status;
        f.first_byte = before + static_cast<double>(ttfb) / 1e6;
        f.content_type = type ? type : "";
        const std::string next = location ? location : "";

        if (rc != CURLE_OK) {
            if (body.over || rc == CURLE_FILESIZE_EXCEEDED) {
                f.failure = FetchFailure::too_large;
                f.error = "body larger than --max-bytes (" + std::to_string(max_bytes) + " bytes)";
            } else if (rc == CURLE_OPERATION_TIMEDOUT) {
                f.failure = FetchFailure::timeout;
                f.error = "no response within " + seconds_text(timeout);
            } else if (rc == CURLE_UNSUPPORTED_PROTOCOL || rc == CURLE_URL_MALFORMAT) {
                f.failure = FetchFailure::bad_url;
                f.error = "cannot fetch \"" + current + "\": only http and https URLs are followed";
            } else {
                f.failure = FetchFailure::network;
                f.error = errbuf[0] ? errbuf : api.easy_strerror(rc);
            }
            break;
        }
        if (status >= 300 && status < 400 && !next.empty()) {
            if (!seen.insert(next).second) {
                f.failure = FetchFailure::redirect_loop;
                f.error = "HTTP redirects lead back to " + next;
                break;
            }
            if (hop == kMaxRedirects) {
                f.failure = FetchFailure::too_many_redirects;
                f.error = "more than " + std::to_string(kMaxRedirects) + " HTTP redirects";
                break;
            }
            f.redirects.push_back(next);
            current = next;
            continue;
        }
        if (status >= 400) {
            f.failure = FetchFailure::http_status;
            f.error = "HTTP status " + std::to_string(status);
        }
        break;
    }
    f.total = elapsed();
    return f;
}

}  // namespace cli
