// Feeds arbitrary text to nubo-cli's argument parsing of --region and --regions. The input is split at line
// ends; a line starting with 'R' becomes "--region REST", one starting with 'S' "--regions REST", any other line
// is passed as it stands. Every line also goes to the two value parsers directly.
#include "cli/cli_options.h"
#include "commands/region_layout.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        const std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A region the parser accepted has ordered, non-negative corners and a ratio in range.
void checkParsedRegion(const nubo::Region& region)
{
    if (region.left < 0 || region.top < 0 || region.right < region.left || region.bottom < region.top
        || region.ratio < 1 || region.ratio > 500)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace nubo::cli;
    const std::vector<std::string> lines = splitLines(std::string(reinterpret_cast<const char*>(data), size));

    std::vector<std::string> arguments = {"test", "picture.bmp"};
    for (const std::string& line : lines) {
        nubo::Region region;
        nubo::RegionChoice choice;
        const nubo::Status regionParsed = parseRegion(line, region);
        if (regionParsed.ok())
            checkParsedRegion(region);
        else if (regionParsed.reason().empty())
            std::abort();
        const nubo::Status choiceParsed = parseRegionChoice(line, choice);
        if (choiceParsed.ok()) {
            for (int number : choice.numbers) {
                if (number < 1)
                    std::abort();
            }
        } else if (choiceParsed.reason().empty()) {
            std::abort();
        }

        if (!line.empty() && line[0] == 'R') {
            arguments.push_back("--region");
            arguments.push_back(line.substr(1));
        } else if (!line.empty() && line[0] == 'S') {
            arguments.push_back("--regions");
            arguments.push_back(line.substr(1));
        } else {
            arguments.push_back(line);
        }
    }

    const nubo::StatusOr<CliOptions> parsed = parseArguments(arguments);
    if (!parsed.ok()) {
        if (parsed.reason().empty())
            std::abort();
        return 0;
    }
    for (const nubo::Region& region : parsed->regions)
        checkParsedRegion(region);
    for (const int side : {1, 48, 512, 32768}) {
        const nubo::Status checked = nubo::checkRegionLayout(parsed->regions, side, side);
        if (!checked.ok() && (checked.reason().empty() || !checked.isBadArgument()))
            std::abort();
    }
    return 0;
}
