#include "common/check.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace nubo {

void fatalExit(std::string_view message, int status)
{
    std::fflush(stdout);
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fflush(stderr);
    std::_Exit(status);
}

void checkFailed(const char* file, int line, const char* condition, std::string_view explanation)
{
    std::fflush(stdout);
    std::fprintf(stderr, "nubo: %s:%d: check failed: %s: %.*s\n", file, line, condition,
                 static_cast<int>(explanation.size()), explanation.data());
    std::fflush(stderr);
    std::abort();
}

} // namespace nubo
