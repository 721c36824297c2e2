#include "json.h"

#include <cstdio>
#include <string_view>

namespace adsieve {

void append_escaped(std::string& out, std::string_view s) {
    out.push_back('"');
    std::size_t run = 0;  // start of the pending unescaped run
    for (std::size_t i = 0; i < s.size(); ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(s.data() + run, i - run);
        run = i + 1;
        switch (c) {
            case '"': out.append("\\\""); break;
            case '\\': out.append("\\\\"); break;
            case '\t': out.append("\\t"); break;
            case '\n': out.append("\\n"); break;
            case '\r': out.append("\\r"); break;
            default: {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out.append(buf);
            }
        }
    }
    out.append(s.data() + run, s.size() - run);
    out.push_back('"');
}

namespace {

void append_uint(std::string& out, std::uint64_t v) {
    char buf[24];
    int n = std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v));
    out.append(buf, static_cast<std::size_t>(n));
}

}  // namespace

std::string render_json(const ValidationResult& result) {
    std::string out;
    out.reserve(96 + result.issues.size() * 200);
    out.append("{\"version\":");
    if (auto v = result.version.effective()) {
        out.push_back('"');
        out.append(version_text(*v));
        out.push_back('"');
    } else {
        out.append("null");
    }
    out.append(",\"issues\":[");
    bool first = true;
    for (const Issue& is : result.issues) {
        if (!first) out.push_back(',');
        first = false;
        out.append("{\"id\":");
        append_escaped(out, is.id);
        out.append(",\"severity\":\"");
        out.append(severity_word(is.severity));
        out.append("\",\"message\":");
        append_escaped(out, is.message);
        out.append(",\"path\":");
        if (is.path) append_escaped(out, *is.path);
        else out.append("null");
        out.append(",\"spec_ref\":");
        append_escaped(out, is.spec_ref);
        out.append(",\"line\":");
        if (is.line) append_uint(out, *is.line);
        else out.append("null");
        out.append(",\"col\":");
        if (is.col) append_uint(out, *is.col);
        else out.append("null");
        out.push_back('}');
    }
    out.append("],\"summary\":{\"errors\":");
    append_uint(out, result.errors);
    out.append(",\"warnings\":");
    append_uint(out, result.warnings);
    out.append(",\"infos\":");
    append_uint(out, result.infos);
    out.append(",\"valid\":");
    out.append(result.errors == 0 ? "true" : "false");
    if (result.truncated) out.append(",\"truncated\":true");
    out.append("}}");
    return out;
}

}  // namespace adsieve
