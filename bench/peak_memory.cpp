// Peak memory of one validation: resets the process's peak resident size,
// validates, and prints how far the peak rose above the resident size before
// the call, per input byte and per element.
//
//   peak_memory FILE | gen:BYTES | flood:ELEMENTS | deep:LEVELS
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "adsieve.h"
#include "generate.h"

namespace {

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
long status_bytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size()) * 1024;
    return -1;
}

std::size_t count_elements(const std::string& doc) {
    std::size_t n = 0;
    for (std::size_t i = 0; i + 1 < doc.size(); ++i)
        if (doc[i] == '<' && doc[i + 1] != '/' && doc[i + 1] != '?' && doc[i + 1] != '!') ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: peak_memory FILE | gen:BYTES | flood:ELEMENTS | deep:LEVELS\n");
        return 2;
    }
    const std::string arg = argv[1];
    std::string doc;
    if (arg.rfind("gen:", 0) == 0) doc = bench::document(std::strtoull(arg.c_str() + 4, nullptr, 10));
    else if (arg.rfind("flood:", 0) == 0) doc = bench::flood_document(std::strtoull(arg.c_str() + 6, nullptr, 10));
    else if (arg.rfind("deep:", 0) == 0) doc = bench::deep_document(std::strtoull(arg.c_str() + 5, nullptr, 10));
    else {
        std::ifstream in(arg, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "peak_memory: cannot read %s\n", arg.c_str());
            return 1;
        }
        std::ostringstream s;
        s << in.rdbuf();
        doc = s.str();
    }
    const std::size_t elements = count_elements(doc);
    // Writing 5 to clear_refs resets the peak resident size to the current one.
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";
    }
    const long before = status_bytes("VmRSS");
    adsieve_result* r = adsieve_validate(doc.data(), doc.size());
    const long peak = status_bytes("VmHWM");
    const std::size_t json = std::string(adsieve_result_json(r)).size();
    adsieve_result_free(r);
    const long rise = peak - before;
    std::printf("input %zu bytes, %zu elements, JSON %zu bytes: peak +%ld bytes = %.2f x input, %.1f bytes/element\n",
                doc.size(), elements, json, rise, static_cast<double>(rise) / static_cast<double>(doc.size()),
                static_cast<double>(rise) / static_cast<double>(elements ? elements : 1));
    return 0;
}
