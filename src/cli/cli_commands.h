#pragma once

#include "cli/cli_options.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace nubo::cli {

// Runs nubo-cli with the arguments after the program name; results go to `out`, one-line errors to `err`.
// Returns the exit status: kExitSuccess, kExitFailure or kExitUsage.
int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// The version line printed by --version.
std::string versionText();

} // namespace nubo::cli
