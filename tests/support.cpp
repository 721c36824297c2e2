#include "support.h"

#include <fstream>
#include <sstream>

namespace adsieve::testing {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string shared_dir() { return ADSIEVE_SHARED_DIR; }
std::string source_dir() { return ADSIEVE_SOURCE_DIR; }

std::vector<std::string> issue_lines(const ValidationResult& result) {
    std::vector<std::string> out;
    for (const Issue& is : result.issues) {
        std::string s(is.id);
        s += '|';
        s += std::to_string(is.severity);
        s += '|';
        s += is.path ? *is.path : "-";
        s += '|';
        s += is.line ? std::to_string(*is.line) : "-";
        s += '|';
        s += is.col ? std::to_string(*is.col) : "-";
        out.push_back(std::move(s));
    }
    return out;
}

}  // namespace adsieve::testing
