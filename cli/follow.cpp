#include <cstdio>

#include "commands.h"

namespace cli {

int run_follow(const Settings&, const std::string&) {
    std::fputs("adsieve: follow is not available yet\n", stderr);
    return kExitUsage;
}

}  // namespace cli
