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
        {"--stages", {true, {Encode, Test, Sweep}}},
        {"--small-regions", {true, {Encode, Test, Sweep}}},
        {"--background-ratio", {true, {Encode, Test, Sweep}}},
        {"--background-coder", {true, {Encode, Test, Sweep}}},
        {"--region", {true, {Encode, Test, Compare, Sweep}}},
        {"--report", {true, {Encode, Test}}},
        {"--regions", {true, {Decode, Test}}},
        {"--no-background", {false, {Decode, Test}}},
        {"--save-stream", {true, {Test}}},
        {"--json", {false, {Encode, Decode, Test, Compare, Info, Sweep}}},
        {"--ratios", {true, {Sweep}}},
        {"--vary", {true, {Sweep}}},
        {"--csv", {false, {Sweep}}},
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
    case Command::Sweep: return "sweep";
    default: return "";
    }
}

Command commandNamed(const std::string& name)
{
    for (Command c : {Command::Encode, Command::Decode, Command::Test, Command::Compare, Command::Info, Command::Sweep}) {
        if (name == commandName(c))
            return c;
    }
    return Command::None;
}

int positionalCount(Command command) { return command == Command::Compare ? 2 : 1; }

Status usageError(std::string text) { return failure(std::move(text)); }

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

// Applies one option with its value to the options.
Status applyOption(CliOptions& options, const std::string& name, const std::string& value)
{
    if (name == "-o" || name == "--output") {
        if (value.empty())
            return failure("-o needs a file name");
        options.output = value;
    } else if (name == "--stages") {
        if (!parseInteger(value, options.stages) || !inRange(options.stages, kMinChosenStages, kMaxChosenStages))
            return failure("--stages must be an integer from " + std::to_string(kMinChosenStages) + " to "
                           + std::to_string(kMaxChosenStages) + ", not '" + value + "'");
    } else if (name == "--small-regions") {
        if (value == "arithmetic")
            options.smallRegionKind = CoderKind::Arithmetic;
        else if (value == "lossless")
            options.smallRegionKind = CoderKind::Predictive;
        else
            return failure("--small-regions is 'arithmetic' or 'lossless', not '" + value + "'");
    } else if (name == "--background-ratio") {
        if (!parseInteger(value, options.backgroundRatio) || !inRange(options.backgroundRatio, kMinRatio, kMaxRatio))
            return failure("--background-ratio must be an integer from 1 to 500, not '" + value + "'");
    } else if (name == "--background-coder") {
        if (value == "wavelet")
            options.backgroundCoder = CoderKind::Wavelet;
        else if (value == "colour")
            options.backgroundCoder = CoderKind::WaveletColour;
        else
            return failure("--background-coder is wavelet or colour, not '" + value + "'");
    } else if (name == "--region") {
        Region region;
        NUBO_RETURN_IF_ERROR(parseRegion(value, region).withContext("--region " + value));
        options.regions.push_back(region);
    } else if (name == "--report") {
        if (value.empty())
            return failure("--report needs a file name or -");
        options.report = value;
    } else if (name == "--regions") {
        NUBO_RETURN_IF_ERROR(parseRegionChoice(value, options.choice).withContext("--regions " + value));
    } else if (name == "--no-background") {
        options.background = false;
    } else if (name == "--save-stream") {
        if (value.empty())
            return failure("--save-stream needs a file name");
        options.saveStream = value;
    } else if (name == "--json") {
        options.json = true;
    } else if (name == "--ratios") {
        NUBO_RETURN_IF_ERROR(parseRatios(value, options.ratios).withContext("--ratios " + value));
    } else if (name == "--vary") {
        if (value == "background")
            options.vary = VaryChoice::Background;
        else if (value == "regions")
            options.vary = VaryChoice::Regions;
        else if (value == "all")
            options.vary = VaryChoice::All;
        else
            return failure("--vary must be background, regions or all, not '" + value + "'");
    } else if (name == "--csv") {
        options.csv = true;
    }
    return Status();
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

Status parseRatios(const std::string& text, std::vector<int>& ratios)
{
    std::vector<int> parsed;
    for (const std::string& part : split(text, ',')) {
        int ratio = 0;
        if (!parseInteger(part, ratio) || !inRange(ratio, kMinRatio, kMaxRatio))
            return failure("give ratios from 1 to 500 separated by commas, such as 10,20,40");
        parsed.push_back(ratio);
    }
    ratios = std::move(parsed);
    return Status();
}

Status parseRegion(const std::string& text, Region& region)
{
    const std::string::size_type colon = text.find(':');
    const std::vector<std::string> corners = split(text.substr(0, colon), ',');
    int values[4] = {};
    if (corners.size() != 4)
        return failure("give LEFT,TOP,RIGHT,BOTTOM");
    for (int i = 0; i < 4; ++i) {
        if (!parseInteger(corners[static_cast<std::size_t>(i)], values[i]) || values[i] < 0)
            return failure("'" + corners[static_cast<std::size_t>(i)] + "' is not a pixel coordinate");
    }
    Region result(values[0], values[1], values[2], values[3]);
    if (result.right < result.left || result.bottom < result.top)
        return failure("RIGHT must not be left of LEFT, nor BOTTOM above TOP");
    if (colon != std::string::npos) {
        const std::string kind = text.substr(colon + 1);
        if (kind == "arithmetic") {
            result.coderKind = CoderKind::Arithmetic;
        } else if (kind == "lossless") {
            result.coderKind = CoderKind::Predictive;
        } else if (kind == "wavelet") {
            result.coderKind = CoderKind::Wavelet;
        } else if (kind == "colour") {
            result.coderKind = CoderKind::WaveletColour;
        } else if (kind.rfind("wavelet=", 0) == 0 || kind.rfind("colour=", 0) == 0) {
            const bool colour = kind[0] == 'c';
            result.coderKind = colour ? CoderKind::WaveletColour : CoderKind::Wavelet;
            if (!parseInteger(kind.substr(colour ? 7 : 8), result.ratio)
                || !inRange(result.ratio, kMinRatio, kMaxRatio))
                return failure("the ratio must be an integer from 1 to 500");
        } else {
            return failure("the kind is ':wavelet=RATIO', ':colour=RATIO', ':arithmetic' or ':lossless', not ':" + kind
                           + "'");
        }

    }
    region = result;
    return Status();
}

Status parseRegionChoice(const std::string& text, RegionChoice& choice)
{
    if (text == "all") {
        choice = {true, {}};
        return Status();
    }
    if (text == "none") {
        choice = {false, {}};
        return Status();
    }
    RegionChoice result{false, {}};
    for (const std::string& part : split(text, ',')) {
        int number = 0;
        if (!parseInteger(part, number) || number < 1)
            return failure("give all, none or region numbers from 1, such as 1,3");
        result.numbers.push_back(number);
    }
    choice = result;
    return Status();
}

StatusOr<CliOptions> parseArguments(const std::vector<std::string>& arguments)
{
    CliOptions options;
    if (arguments.empty())
        return usageError("no command given (see nubo-cli --help)");
    const std::string& first = arguments[0];
    if (first == "--help" || first == "-h") {
        options.command = Command::Help;
        return options;
    }
    if (first == "--version") {
        options.command = Command::Version;
        return options;
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
            return options;
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
        if (const Status applied = applyOption(options, name, value.value_or(std::string())); !applied)
            return usageError(applied.reason());
    }

    const int expected = positionalCount(options.command);
    if (static_cast<int>(options.inputs.size()) != expected)
        return usageError(std::string(commandName(options.command)) + " takes " + (expected == 2 ? "two files" : "one file")
                          + ", " + std::to_string(options.inputs.size()) + " given (see nubo-cli "
                          + commandName(options.command) + " --help)");
    if ((options.command == Command::Encode || options.command == Command::Decode) && options.output.empty())
        return usageError(std::string(commandName(options.command)) + " needs -o FILE");
    if (options.command == Command::Sweep && options.ratios.empty())
        return usageError("sweep needs --ratios R1,R2,...");
    if (options.command == Command::Sweep && options.vary != VaryChoice::Background && options.regions.empty())
        return usageError("--vary regions and --vary all need at least one --region");
    if (options.csv && options.json)
        return usageError("--csv and --json cannot be combined");
    if (options.json && options.report == "-")
        return usageError("--report - would mix the report into the --json output; give a file");
    return options;
}

std::string usageText(Command command)
{
    const std::string encode =
        "  nubo-cli encode PICTURE -o OUT.roi [--stages N] [--background-ratio R]\n"
        "                  [--background-coder wavelet|colour] [--region RECT]... [--small-regions K]\n"
        "                  [--report FILE|-] [--json]\n";
    const std::string decode =
        "  nubo-cli decode IN.roi -o OUT.bmp|.png|.ppm [--regions all|none|N[,N...]] [--no-background] [--json]\n";
    const std::string test =
        "  nubo-cli test PICTURE [--stages N] [--background-ratio R] [--background-coder wavelet|colour]\n"
        "                [--region RECT]... [--small-regions K] [--report FILE|-] [--regions all|none|N[,N...]]\n"
        "                [--no-background] [-o DECODED] [--save-stream OUT.roi] [--json]\n";
    const std::string compare = "  nubo-cli compare SOURCE RESULT [--region LEFT,TOP,RIGHT,BOTTOM]... [--json]\n";
    const std::string info = "  nubo-cli info IN.roi [--json]\n";
    const std::string sweep =
        "  nubo-cli sweep PICTURE --ratios R1,R2,... [--stages N] [--background-ratio R] [--region RECT]...\n"
        "                 [--vary background|regions|all] [--small-regions K] [--csv]\n";
    const std::string details =
        "\n"
        "RECT is LEFT,TOP,RIGHT,BOTTOM[:wavelet=RATIO|:colour=RATIO|:arithmetic|:lossless]: inclusive pixel corners,\n"
        "  y from the top; the default kind is wavelet at ratio 1. :colour is the colour wavelet coder (YCbCr, one\n"
        "  allocation over the three planes), :arithmetic codes the region's bytes losslessly, :lossless codes it\n"
        "  losslessly by prediction (about half the bytes). Regions keep the order given and may not intersect or\n"
        "  leave the picture.\n"
        "PICTURE is a BMP, PNG, JPEG, binary PPM (P6) or PGM (P5) file of 8-bit samples: grey is expanded to RGB,\n"
        "  an alpha channel is dropped with a warning. Decoded pictures are written as PNG when the name ends in\n"
        "  .png, as PPM for .ppm, otherwise as BMP.\n"
        "--stages N          wavelet stages, 2 to 5 (default 5)\n"
        "--small-regions K   how wavelet regions at most 32 pixels wide or high are coded losslessly instead:\n"
        "                    arithmetic (default) or lossless (predictive)\n"
        "--background-ratio  compression ratio of the background, 1 to 500 (default 1)\n"
        "--background-coder  wavelet (default) or colour: the coder of the background\n"
        "--regions           region records to decode, numbered from 1 (default all)\n"
        "--no-background     do not decode the background record\n"
        "--report FILE|-     save the wavelet coder's allocation report (- for standard output)\n"
        "--save-stream FILE  keep the .roi stream that test encodes in memory\n"
        "--json              print one JSON object with the figures instead of text\n"
        "--ratios R1,R2,...  sweep: the ratios to encode at, each 1 to 500\n"
        "--vary WHAT         sweep: which ratio the sweep sets: background (default), regions (every wavelet\n"
        "                    region) or all\n"
        "--csv               sweep: print a header line and one comma-separated row per ratio instead of one JSON\n"
        "                    object per line\n"
        "\n"
        "Exit status: 0 success, 1 failure (unreadable or damaged input, failed output), 2 bad usage.\n";
    switch (command) {
    case Command::Encode: return "Usage:\n" + encode + details;
    case Command::Decode: return "Usage:\n" + decode + details;
    case Command::Test: return "Usage:\n" + test + details;
    case Command::Compare: return "Usage:\n" + compare + details;
    case Command::Info: return "Usage:\n" + info + details;
    case Command::Sweep: return "Usage:\n" + sweep + details;
    default: break;
    }
    return "nubo-cli: region-of-interest image coding with nubo's .roi streams.\n\nUsage:\n" + encode + decode + test
        + compare + info + sweep + "  nubo-cli --help | --version\n" + details;
}

} // namespace nubo::cli
