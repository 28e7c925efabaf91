#pragma once

#include "commands/region_choice.h"
#include "common/status.h"
#include "commands/stage_range.h"
#include "regions/region.h"

#include <string>
#include <vector>

namespace nubo::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

enum class Command { None, Help, Version, Encode, Decode, Test, Compare, Info, Sweep };

// What sweep varies: the background's ratio, the wavelet regions' ratios, or both.
enum class VaryChoice { Background, Regions, All };

struct CliOptions {
    Command command = Command::None;
    Command helpFor = Command::None; // "nubo-cli COMMAND --help"
    std::vector<std::string> inputs;  // positional arguments
    std::string output;               // -o
    std::string saveStream;           // --save-stream (test)
    std::string report;               // --report FILE, "-" for standard output
    int stages = 5;
    CoderKind smallRegionKind = CoderKind::Arithmetic; // --small-regions
    int backgroundRatio = 1;
    CoderKind backgroundCoder = CoderKind::Wavelet; // --background-coder
    std::vector<Region> regions; // --region, in the order given
    RegionChoice choice;         // --regions
    bool background = true;      // cleared by --no-background
    bool json = false;
    std::vector<int> ratios;                      // --ratios (sweep)
    VaryChoice vary = VaryChoice::Background;     // --vary (sweep)
    bool csv = false;                             // --csv (sweep)
};

// Parses the arguments after the program name; bad arguments are refused with a one-line reason.
StatusOr<CliOptions> parseArguments(const std::vector<std::string>& arguments);

// "LEFT,TOP,RIGHT,BOTTOM[:wavelet=RATIO|:wavelet|:colour=RATIO|:colour|:arithmetic|:lossless]": inclusive corners,
// y from the top; default kind "Wavelet" at ratio 1 (colour: "Wavelet (colour)"). Refuses anything else, reversed
// corners or a ratio outside 1 to 500.
Status parseRegion(const std::string& text, Region& region);

// "all", "none" or "N[,N...]" with N >= 1.
Status parseRegionChoice(const std::string& text, RegionChoice& choice);

// "R1,R2,...": ratios from 1 to 500, at least one.
Status parseRatios(const std::string& text, std::vector<int>& ratios);

// A whole-string decimal integer.
bool parseInteger(const std::string& text, int& value);

// The usage text: of every command, or of one.
std::string usageText(Command command = Command::None);

} // namespace nubo::cli
