#include "cli/cli_commands.h"
#include "common/memory_policy.h"

#include <iostream>

int main(int argc, char** argv)
{
    nubo::keepFreedMemoryForReuse();
    std::ios::sync_with_stdio(true);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const int status = nubo::cli::runCli(arguments, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout)
        return status == 0 ? 1 : status;
    return status;
}
