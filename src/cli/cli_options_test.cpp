#include "cli/cli_options.h"

#include <gtest/gtest.h>

namespace nubo::cli {
namespace {

ParseResult parse(std::vector<std::string> arguments) { return parseArguments(arguments); }

// A region is four inclusive corners with an optional kind: wavelet at a ratio (default 1) or arithmetic.
TEST(CliOptions, RegionSpecifications)
{
    Region region;
    std::string error;
    ASSERT_TRUE(parseRegion("160,60,300,190:wavelet=4", region, error));
    EXPECT_EQ(region.left, 160);
    EXPECT_EQ(region.top, 60);
    EXPECT_EQ(region.right, 300);
    EXPECT_EQ(region.bottom, 190);
    EXPECT_EQ(region.ratio, 4);
    EXPECT_EQ(region.coderKind, CoderKind::Wavelet);
    ASSERT_TRUE(parseRegion("1,2,3,4:arithmetic", region, error));
    EXPECT_EQ(region.coderKind, CoderKind::Arithmetic);
    ASSERT_TRUE(parseRegion("1,2,3,4", region, error));
    EXPECT_EQ(region.coderKind, CoderKind::Wavelet);
    EXPECT_EQ(region.ratio, 1);

    for (const char* bad : {"1,2,3", "1,2,3,4,5", "a,2,3,4", "5,2,3,4", "1,9,3,4", "-1,2,3,4", "1,2,3,4:wavelet=0",
                            "1,2,3,4:wavelet=501", "1,2,3,4:lossless", "1,2,3,4:wavelet=x", ""}) {
        EXPECT_FALSE(parseRegion(bad, region, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

// --regions takes all, none, or region numbers counted from 1.
TEST(CliOptions, RegionChoice)
{
    RegionChoice choice;
    std::string error;
    ASSERT_TRUE(parseRegionChoice("none", choice, error));
    EXPECT_FALSE(choice.all);
    EXPECT_TRUE(choice.numbers.empty());
    ASSERT_TRUE(parseRegionChoice("1,3", choice, error));
    EXPECT_EQ(choice.numbers, (std::vector<int>{1, 3}));
    ASSERT_TRUE(parseRegionChoice("all", choice, error));
    EXPECT_TRUE(choice.all);
    for (const char* bad : {"0", "1,,2", "x", "", "-1", "2,"})
        EXPECT_FALSE(parseRegionChoice(bad, choice, error)) << bad;
}

// Regions must lie inside the picture and must not share a pixel; abutting regions are fine.
TEST(CliOptions, RegionsAgainstThePicture)
{
    std::string error;
    EXPECT_TRUE(checkRegions({Region(0, 0, 9, 9), Region(10, 0, 19, 9)}, 20, 10, error));
    EXPECT_FALSE(checkRegions({Region(0, 0, 9, 9), Region(9, 0, 19, 9)}, 20, 10, error));
    EXPECT_NE(error.find("intersects region 1"), std::string::npos) << error;
    EXPECT_FALSE(checkRegions({Region(0, 0, 20, 9)}, 20, 10, error));
    EXPECT_NE(error.find("leaves"), std::string::npos) << error;
}

// A full encode line: options in any order, values after a space or "=", defaults for the rest.
TEST(CliOptions, EncodeArguments)
{
    const ParseResult result = parse({"encode", "--stages=3", "in.bmp", "-o", "out.roi", "--region", "0,0,40,40",
                                      "--region", "50,0,90,40:arithmetic", "--background-ratio", "40", "--json"});
    ASSERT_TRUE(result.options) << result.error;
    const CliOptions& options = *result.options;
    EXPECT_EQ(options.command, Command::Encode);
    EXPECT_EQ(options.inputs, std::vector<std::string>{"in.bmp"});
    EXPECT_EQ(options.output, "out.roi");
    EXPECT_EQ(options.stages, 3);
    EXPECT_EQ(options.backgroundRatio, 40);
    ASSERT_EQ(options.regions.size(), 2u);
    EXPECT_EQ(options.regions[1].coderKind, CoderKind::Arithmetic);
    EXPECT_TRUE(options.json);

    const ParseResult defaults = parse({"decode", "in.roi", "-o", "out.bmp"});
    ASSERT_TRUE(defaults.options);
    EXPECT_TRUE(defaults.options->choice.all);
    EXPECT_TRUE(defaults.options->background);
}

// Bad usage is refused with a one-line reason.
TEST(CliOptions, BadUsage)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"encode", "in.bmp"},                                  // no -o
        {"decode", "in.roi"},                                  // no -o
        {"encode", "in.bmp", "-o"},                            // -o without value
        {"encode", "a.bmp", "b.bmp", "-o", "x.roi"},           // two inputs
        {"compare", "a.bmp"},                                  // one input
        {"encode", "in.bmp", "-o", "x", "--stages", "1"},      // stages below the dialog's 2
        {"encode", "in.bmp", "-o", "x", "--stages", "6"},      // and above its 5
        {"encode", "in.bmp", "-o", "x", "--background-ratio", "0"},
        {"encode", "in.bmp", "-o", "x", "--regions", "1"},     // decode option
        {"info", "in.roi", "--no-background"},
        {"info", "in.roi", "--json=yes"},
        {"encode", "in.bmp", "-o", "x", "--bogus"},
        {"encode", "in.bmp", "-o", "x", "--json", "--report", "-"},
    };
    for (const auto& arguments : bad) {
        const ParseResult result = parse(arguments);
        EXPECT_FALSE(result.options) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_FALSE(result.error.empty());
        EXPECT_EQ(result.error.find('\n'), std::string::npos);
    }
}

// --help and --version work alone and after a command.
TEST(CliOptions, HelpAndVersion)
{
    EXPECT_EQ(parse({"--help"}).options->command, Command::Help);
    EXPECT_EQ(parse({"--version"}).options->command, Command::Version);
    const ParseResult commandHelp = parse({"decode", "--help"});
    ASSERT_TRUE(commandHelp.options);
    EXPECT_EQ(commandHelp.options->command, Command::Help);
    EXPECT_EQ(commandHelp.options->helpFor, Command::Decode);
    EXPECT_NE(usageText(Command::Decode).find("nubo-cli decode"), std::string::npos);
    EXPECT_EQ(usageText(Command::Decode).find("nubo-cli encode"), std::string::npos);
}

} // namespace
} // namespace nubo::cli
