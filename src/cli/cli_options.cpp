#include "cli/cli_options.h"

#include "regions/background_settings.h"

#include <charconv>
#include <map>

namespace nubo::cli {

namespace {

struct OptionSpec {
    bool takesValue;
    std::vector<Command> commands;
};

const std::map<std::string, OptionSpec>& optionTable()
{
    using enum Command;
    static const std::map<std::string, OptionSpec> table = {
        {"-o", {true, {Encode, Decode, Test}}},
        {"--output", {true, {Encode, Decode, Test}}},
        {"--stages", {true, {Encode, Test}}},
        {"--background-ratio", {true, {Encode, Test}}},
        {"--region", {true, {Encode, Test, Compare}}},
        {"--report", {true, {Encode, Test}}},
        {"--regions", {true, {Decode, Test}}},
        {"--no-background", {false, {Decode, Test}}},
        {"--save-stream", {true, {Test}}},
        {"--json", {false, {Encode, Decode, Test, Compare, Info}}},
    };
    return table;
}

const char* commandName(Command command)
{
    switch (command) {
    case Command::Encode: return "encode";
    case Command::Decode: return "decode";
    case Command::Test: return "test";
    case Command::Compare: return "compare";
    case Command::Info: return "info";
    default: return "";
    }
}

Command commandNamed(const std::string& name)
{
    for (Command c : {Command::Encode, Command::Decode, Command::Test, Command::Compare, Command::Info}) {
        if (name == commandName(c))
            return c;
    }
    return Command::None;
}

int positionalCount(Command command) { return command == Command::Compare ? 2 : 1; }

ParseResult usageError(std::string text) { return {std::nullopt, std::move(text)}; }

bool inRange(int value, int low, int high) { return low <= value && value <= high; }

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        const std::string::size_type at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

// Applies one option with its value to the options; returns an error text or "".
std::string applyOption(CliOptions& options, const std::string& name, const std::string& value)
{
    std::string error;
    if (name == "-o" || name == "--output") {
        if (value.empty())
            return "-o needs a file name";
        options.output = value;
    } else if (name == "--stages") {
        if (!parseInteger(value, options.stages) || !inRange(options.stages, kMinCliStages, kMaxCliStages))
            return "--stages must be an integer from " + std::to_string(kMinCliStages) + " to "
                + std::to_string(kMaxCliStages) + ", not '" + value + "'";
    } else if (name == "--background-ratio") {
        if (!parseInteger(value, options.backgroundRatio) || !inRange(options.backgroundRatio, kMinRatio, kMaxRatio))
            return "--background-ratio must be an integer from 1 to 500, not '" + value + "'";
    } else if (name == "--region") {
        Region region;
        if (!parseRegion(value, region, error))
            return "--region " + value + ": " + error;
        options.regions.push_back(region);
    } else if (name == "--report") {
        if (value.empty())
            return "--report needs a file name or -";
        options.report = value;
    } else if (name == "--regions") {
        if (!parseRegionChoice(value, options.choice, error))
            return "--regions " + value + ": " + error;
    } else if (name == "--no-background") {
        options.background = false;
    } else if (name == "--save-stream") {
        if (value.empty())
            return "--save-stream needs a file name";
        options.saveStream = value;
    } else if (name == "--json") {
        options.json = true;
    }
    return {};
}

} // namespace

bool parseInteger(const std::string& text, int& value)
{
    int parsed = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || error != std::errc() || at != end)
        return false;
    value = parsed;
    return true;
}

bool parseRegion(const std::string& text, Region& region, std::string& error)
{
    const std::string::size_type colon = text.find(':');
    const std::vector<std::string> corners = split(text.substr(0, colon), ',');
    int values[4] = {};
    if (corners.size() != 4) {
        error = "give LEFT,TOP,RIGHT,BOTTOM";
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        if (!parseInteger(corners[static_cast<std::size_t>(i)], values[i]) || values[i] < 0) {
            error = "'" + corners[static_cast<std::size_t>(i)] + "' is not a pixel coordinate";
            return false;
        }
    }
    Region result(values[0], values[1], values[2], values[3]);
    if (result.right < result.left || result.bottom < result.top) {
        error = "RIGHT must not be left of LEFT, nor BOTTOM above TOP";
        return false;
    }
    if (colon != std::string::npos) {
        const std::string kind = text.substr(colon + 1);
        if (kind == "arithmetic") {
            result.coderKind = CoderKind::Arithmetic;
        } else if (kind == "wavelet") {
            result.coderKind = CoderKind::Wavelet;
        } else if (kind.rfind("wavelet=", 0) == 0) {
            if (!parseInteger(kind.substr(8), result.ratio) || !inRange(result.ratio, kMinRatio, kMaxRatio)) {
                error = "the ratio must be an integer from 1 to 500";
                return false;
            }
        } else {
            error = "the kind is ':wavelet=RATIO' or ':arithmetic', not ':" + kind + "'";
            return false;
        }
    }
    region = result;
    return true;
}

bool parseRegionChoice(const std::string& text, RegionChoice& choice, std::string& error)
{
    if (text == "all") {
        choice = {true, {}};
        return true;
    }
    if (text == "none") {
        choice = {false, {}};
        return true;
    }
    RegionChoice result{false, {}};
    for (const std::string& part : split(text, ',')) {
        int number = 0;
        if (!parseInteger(part, number) || number < 1) {
            error = "give all, none or region numbers from 1, such as 1,3";
            return false;
        }
        result.numbers.push_back(number);
    }
    choice = result;
    return true;
}

bool checkRegions(const std::vector<Region>& regions, int width, int height, std::string& error)
{
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const Region& r = regions[i];
        const std::string name = "region " + std::to_string(i + 1) + " (" + std::to_string(r.left) + ","
            + std::to_string(r.top) + "," + std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
        if (r.right >= width || r.bottom >= height) {
            error = name + " leaves the " + std::to_string(width) + " x " + std::to_string(height) + " picture";
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            Region other = regions[j];
            if (r.intersects(other, false)) {
                error = name + " intersects region " + std::to_string(j + 1);
                return false;
            }
        }
    }
    return true;
}

ParseResult parseArguments(const std::vector<std::string>& arguments)
{
    CliOptions options;
    if (arguments.empty())
        return usageError("no command given (see nubo-cli --help)");
    const std::string& first = arguments[0];
    if (first == "--help" || first == "-h") {
        options.command = Command::Help;
        return {options, {}};
    }
    if (first == "--version") {
        options.command = Command::Version;
        return {options, {}};
    }
    options.command = commandNamed(first);
    if (options.command == Command::None)
        return usageError("unknown command '" + first + "' (see nubo-cli --help)");

    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            options.inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            options.helpFor = options.command;
            options.command = Command::Help;
            return {options, {}};
        }
        std::string name = argument;
        std::optional<std::string> value;
        const std::string::size_type equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const auto spec = optionTable().find(name);
        if (spec == optionTable().end())
            return usageError("unknown option '" + name + "' (see nubo-cli " + std::string(commandName(options.command))
                              + " --help)");
        bool allowed = false;
        for (Command c : spec->second.commands)
            allowed = allowed || c == options.command;
        if (!allowed)
            return usageError("option '" + name + "' does not apply to " + commandName(options.command));
        if (spec->second.takesValue && !value) {
            if (i + 1 >= arguments.size())
                return usageError("option '" + name + "' needs a value");
            value = arguments[++i];
        } else if (!spec->second.takesValue && value) {
            return usageError("option '" + name + "' takes no value");
        }
        const std::string error = applyOption(options, name, value.value_or(std::string()));
        if (!error.empty())
            return usageError(error);
    }

    const int expected = positionalCount(options.command);
    if (static_cast<int>(options.inputs.size()) != expected)
        return usageError(std::string(commandName(options.command)) + " takes " + (expected == 2 ? "two files" : "one file")
                          + ", " + std::to_string(options.inputs.size()) + " given (see nubo-cli "
                          + commandName(options.command) + " --help)");
    if ((options.command == Command::Encode || options.command == Command::Decode) && options.output.empty())
        return usageError(std::string(commandName(options.command)) + " needs -o FILE");
    if (options.json && options.report == "-")
        return usageError("--report - would mix the report into the --json output; give a file");
    return {options, {}};
}

std::string usageText(Command command)
{
    const std::string encode =
        "  nubo-cli encode PICTURE.bmp -o OUT.roi [--stages N] [--background-ratio R] [--region RECT]...\n"
        "                  [--report FILE|-] [--json]\n";
    const std::string decode =
        "  nubo-cli decode IN.roi -o OUT.bmp [--regions all|none|N[,N...]] [--no-background] [--json]\n";
    const std::string test =
        "  nubo-cli test PICTURE.bmp [--stages N] [--background-ratio R] [--region RECT]... [--report FILE|-]\n"
        "                [--regions all|none|N[,N...]] [--no-background] [-o DECODED.bmp] [--save-stream OUT.roi]\n"
        "                [--json]\n";
    const std::string compare = "  nubo-cli compare SOURCE.bmp RESULT.bmp [--region LEFT,TOP,RIGHT,BOTTOM]... [--json]\n";
    const std::string info = "  nubo-cli info IN.roi [--json]\n";
    const std::string details =
        "\n"
        "RECT is LEFT,TOP,RIGHT,BOTTOM[:wavelet=RATIO|:arithmetic]: inclusive pixel corners, y from the top; the\n"
        "  default kind is wavelet at ratio 1. Regions keep the order given and may not intersect or leave the picture.\n"
        "--stages N          wavelet stages, 2 to 5 (default 5)\n"
        "--background-ratio  compression ratio of the background, 1 to 500 (default 1)\n"
        "--regions           region records to decode, numbered from 1 (default all)\n"
        "--no-background     do not decode the background record\n"
        "--report FILE|-     save the wavelet coder's allocation report (- for standard output)\n"
        "--save-stream FILE  keep the .roi stream that test encodes in memory\n"
        "--json              print one JSON object with the figures instead of text\n"
        "\n"
        "Exit status: 0 success, 1 failure (unreadable or damaged input, failed output), 2 bad usage.\n";
    switch (command) {
    case Command::Encode: return "Usage:\n" + encode + details;
    case Command::Decode: return "Usage:\n" + decode + details;
    case Command::Test: return "Usage:\n" + test + details;
    case Command::Compare: return "Usage:\n" + compare + details;
    case Command::Info: return "Usage:\n" + info + details;
    default: break;
    }
    return "nubo-cli: region-of-interest image coding with nubo's .roi streams.\n\nUsage:\n" + encode + decode + test
        + compare + info + "  nubo-cli --help | --version\n" + details;
}

} // namespace nubo::cli
