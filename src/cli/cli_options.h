#pragma once

#include "regions/region.h"

#include <optional>
#include <string>
#include <vector>

namespace nubo::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The ranges the desktop dialogs allow.
inline constexpr int kMinCliStages = 2;
inline constexpr int kMaxCliStages = 5;

enum class Command { None, Help, Version, Encode, Decode, Test, Compare, Info };

// Which records a decode asks for: every region, none, or the listed region numbers (1 = the first region
// record), and whether the background.
struct RegionChoice {
    bool all = true;
    std::vector<int> numbers; // when !all; empty means none
};

struct CliOptions {
    Command command = Command::None;
    Command helpFor = Command::None; // "nubo-cli COMMAND --help"
    std::vector<std::string> inputs;  // positional arguments
    std::string output;               // -o
    std::string saveStream;           // --save-stream (test)
    std::string report;               // --report FILE, "-" for standard output
    int stages = 5;
    int backgroundRatio = 1;
    std::vector<Region> regions; // --region, in the order given
    RegionChoice choice;         // --regions
    bool background = true;      // cleared by --no-background
    bool json = false;
};

struct ParseResult {
    std::optional<CliOptions> options; // none when the arguments are bad
    std::string error;                 // one line, when !options
};

// Parses the arguments after the program name.
ParseResult parseArguments(const std::vector<std::string>& arguments);

// "LEFT,TOP,RIGHT,BOTTOM[:wavelet=RATIO|:wavelet|:arithmetic]": inclusive corners, y from the top; default kind
// "Wavelet" at ratio 1. Returns false with a reason for anything else, reversed corners or a ratio outside 1 to 500.
bool parseRegion(const std::string& text, Region& region, std::string& error);

// "all", "none" or "N[,N...]" with N >= 1.
bool parseRegionChoice(const std::string& text, RegionChoice& choice, std::string& error);

// A whole-string decimal integer.
bool parseInteger(const std::string& text, int& value);

// Checks the regions against a width x height picture: each inside it, none intersecting another.
bool checkRegions(const std::vector<Region>& regions, int width, int height, std::string& error);

// The usage text: of every command, or of one.
std::string usageText(Command command = Command::None);

} // namespace nubo::cli
