#include "escape.h"

#include <cstdint>
#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

// Length of the well-formed UTF-8 sequence at s[i] and its code point, or 0.
std::size_t utf8_at(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const std::size_t left = s.size() - i;
    const unsigned char c = b(0);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    auto cont = [&](std::size_t k) { return k < left && (b(k) & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF && cont(1)) {
        cp = (char32_t(c & 0x1F) << 6) | (b(1) & 0x3F);
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF && cont(1) && cont(2)) {
        cp = (char32_t(c & 0x0F) << 12) | (char32_t(b(1) & 0x3F) << 6) | (b(2) & 0x3F);
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4 && cont(1) && cont(2) && cont(3)) {
        cp = (char32_t(c & 0x07) << 18) | (char32_t(b(1) & 0x3F) << 12) | (char32_t(b(2) & 0x3F) << 6) |
             (b(3) & 0x3F);
        if (cp < 0x10000 || cp > 0x10FFFF) return 0;
        return 4;
    }
    return 0;
}

bool hidden_on_screen(char32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) ||          // C0, DEL, C1
           (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) ||  // bidi embeddings, isolates
           cp == 0x200E || cp == 0x200F || cp == 0x061C;                       // direction marks
}

void append_hex(std::string& out, const char* fmt, unsigned v) {
    char buf[16];
    int n = std::snprintf(buf, sizeof buf, fmt, v);
    out.append(buf, static_cast<std::size_t>(n));
}

}  // namespace

std::string printable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        std::size_t n = utf8_at(s, i, cp);
        if (n == 0) {
            append_hex(out, "\\x%02x", static_cast<unsigned char>(s[i]));
            ++i;
            continue;
        }
        if (!hidden_on_screen(cp)) {
            out.append(s.substr(i, n));
        } else if (cp == '\n') {
            out += "\\n";
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (cp < 0x80) {
            append_hex(out, "\\x%02x", static_cast<unsigned>(cp));
        } else {
            append_hex(out, "\\u%04x", static_cast<unsigned>(cp));
        }
        i += n;
    }
    return out;
}

void append_json_quoted(std::string& out, std::string_view s) {
    out += '"';
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        std::size_t n = utf8_at(s, i, cp);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        switch (cp) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (cp < 0x20 || cp == 0x7F)
                    append_hex(out, "\\u%04x", static_cast<unsigned>(cp));
                else
                    out.append(s.substr(i, n));
        }
        i += n;
    }
    out += '"';
}

std::string json_quote(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    append_json_quoted(out, s);
    return out;
}

std::string uri_reference(std::string_view path) {
    std::string out;
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || c == '/';
        if (plain)
            out += static_cast<char>(c);
        else
            append_hex(out, "%%%02X", c);
    }
    return out;
}

std::string uri_text(std::string_view url) {
    // Brackets are kept only in the authority, where they enclose IPv6 addresses.
    const std::size_t slashes = url.find("//");
    const std::size_t host_begin = slashes == std::string_view::npos ? 0 : slashes + 2;
    const std::size_t host_end =
        slashes == std::string_view::npos ? 0 : std::min(url.size(), url.find_first_of("/?#", host_begin));
    auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    std::string out;
    for (std::size_t i = 0; i < url.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        const bool reserved = std::string_view(":/?#@!$&'()*+,;=").find(static_cast<char>(c)) != std::string_view::npos;
        const bool bracket = (c == '[' || c == ']') && i >= host_begin && i < host_end;
        const bool escape = c == '%' && i + 2 < url.size() && hex(url[i + 1]) && hex(url[i + 2]);
        if (unreserved || reserved || bracket || escape)
            out += static_cast<char>(c);
        else
            append_hex(out, "%%%02X", c);
    }
    return out;
}

std::string github_data(std::string_view s) {
    std::string out;
    for (char c : printable(s)) {
        if (c == '%')
            out += "%25";
        else
            out += c;
    }
    return out;
}

std::string github_property(std::string_view s) {
    std::string out;
    for (char c : printable(s)) {
        switch (c) {
            case '%': out += "%25"; break;
            case ':': out += "%3A"; break;
            case ',': out += "%2C"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace cli
