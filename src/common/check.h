#pragma once

#include <string_view>

namespace nubo {

// The one way a nubo process ends on purpose before its work is done.
//
// Writes `message` to standard error as it stands, flushes both standard streams, and ends the process with
// `status` by std::_Exit: no static destructor runs, so coding threads still alive cannot meet destroyed objects.
[[noreturn]] void fatalExit(std::string_view message, int status = 1);

// Reports a broken programming assumption with its file and line on standard error and aborts. Called by
// NUBO_CHECK only; bad input never gets here.
[[noreturn]] void checkFailed(const char* file, int line, const char* condition, std::string_view explanation);

} // namespace nubo

// A programming-error check: when `condition` is false the process stops with "file:line" and `explanation`.
// Kept in release builds, since a broken assumption in a coder would otherwise write wrong bytes silently.
#define NUBO_CHECK(condition, explanation)                                                                         \
    do {                                                                                                           \
        if (!(condition)) [[unlikely]]                                                                             \
            ::nubo::checkFailed(__FILE__, __LINE__, #condition, (explanation));                                    \
    } while (false)
