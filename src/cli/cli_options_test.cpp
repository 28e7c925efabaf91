#include "cli/cli_options.h"
#include "commands/region_layout.h"

#include <gtest/gtest.h>

namespace nubo::cli {
namespace {

StatusOr<CliOptions> parse(std::vector<std::string> arguments) { return parseArguments(arguments); }

// A region is four inclusive corners with an optional kind: wavelet at a ratio (default 1), arithmetic or
// lossless (predictive).
TEST(CliOptions, RegionSpecifications)
{
    Region region;
    ASSERT_TRUE(parseRegion("160,60,300,190:wavelet=4", region));
    EXPECT_EQ(region.left, 160);
    EXPECT_EQ(region.top, 60);
    EXPECT_EQ(region.right, 300);
    EXPECT_EQ(region.bottom, 190);
    EXPECT_EQ(region.ratio, 4);
    EXPECT_EQ(region.coderKind, CoderKind::Wavelet);
    ASSERT_TRUE(parseRegion("1,2,3,4:arithmetic", region));
    EXPECT_EQ(region.coderKind, CoderKind::Arithmetic);
    ASSERT_TRUE(parseRegion("1,2,3,4:lossless", region));
    EXPECT_EQ(region.coderKind, CoderKind::Predictive);
    ASSERT_TRUE(parseRegion("1,2,3,4", region));
    EXPECT_EQ(region.coderKind, CoderKind::Wavelet);
    EXPECT_EQ(region.ratio, 1);

    for (const char* bad : {"1,2,3", "1,2,3,4,5", "a,2,3,4", "5,2,3,4", "1,9,3,4", "-1,2,3,4", "1,2,3,4:wavelet=0",
                            "1,2,3,4:wavelet=501", "1,2,3,4:predictive", "1,2,3,4:wavelet=x", ""}) {
        const Status refused = parseRegion(bad, region);
        EXPECT_FALSE(refused.ok()) << bad;
        EXPECT_FALSE(refused.reason().empty());
    }
}

// The colour wavelet kind is ':colour=RATIO' (or ':colour' at ratio 1) for a region and '--background-coder
// colour' for the background; the background's coder is kind 1 unless asked.
TEST(CliOptions, ColourWaveletKind)
{
    Region region;
    ASSERT_TRUE(parseRegion("1,2,40,50:colour=25", region).ok());
    EXPECT_EQ(region.coderKind, CoderKind::WaveletColour);
    EXPECT_EQ(region.ratio, 25);
    ASSERT_TRUE(parseRegion("1,2,40,50:colour", region));
    EXPECT_EQ(region.coderKind, CoderKind::WaveletColour);
    EXPECT_EQ(region.ratio, 1);
    for (const char* bad : {"1,2,3,4:colour=0", "1,2,3,4:colour=501", "1,2,3,4:color=4", "1,2,3,4:colour=x"})
        EXPECT_FALSE(parseRegion(bad, region)) << bad;

    StatusOr<CliOptions> plain = parse({"encode", "a.bmp", "-o", "a.roi"});
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(plain->backgroundCoder, CoderKind::Wavelet);
    StatusOr<CliOptions> colour = parse({"test", "a.bmp", "--background-coder", "colour"});
    ASSERT_TRUE(colour.ok()) << colour.reason();
    EXPECT_EQ(colour->backgroundCoder, CoderKind::WaveletColour);
    StatusOr<CliOptions> bad = parse({"encode", "a.bmp", "-o", "a.roi", "--background-coder", "arithmetic"});
    EXPECT_FALSE(bad.ok());
    EXPECT_NE(bad.reason().find("wavelet or colour"), std::string::npos);
    EXPECT_FALSE(parse({"decode", "a.roi", "-o", "a.bmp", "--background-coder", "colour"}).ok());
}

// --regions takes all, none, or region numbers counted from 1.
TEST(CliOptions, RegionChoice)
{
    RegionChoice choice;
    ASSERT_TRUE(parseRegionChoice("none", choice));
    EXPECT_FALSE(choice.all);
    EXPECT_TRUE(choice.numbers.empty());
    ASSERT_TRUE(parseRegionChoice("1,3", choice));
    EXPECT_EQ(choice.numbers, (std::vector<int>{1, 3}));
    ASSERT_TRUE(parseRegionChoice("all", choice));
    EXPECT_TRUE(choice.all);
    for (const char* bad : {"0", "1,,2", "x", "", "-1", "2,"})
        EXPECT_FALSE(parseRegionChoice(bad, choice)) << bad;
}

// Regions must lie inside the picture and must not share a pixel; abutting regions are fine.
TEST(CliOptions, RegionsAgainstThePicture)
{
    EXPECT_TRUE(checkRegionLayout({Region(0, 0, 9, 9), Region(10, 0, 19, 9)}, 20, 10).ok());
    const Status overlapping = checkRegionLayout({Region(0, 0, 9, 9), Region(9, 0, 19, 9)}, 20, 10);
    EXPECT_TRUE(overlapping.isBadArgument());
    EXPECT_EQ(overlapping.reason(), "region 2 (9,0,19,9) intersects region 1");
    const Status outside = checkRegionLayout({Region(0, 0, 20, 9)}, 20, 10);
    EXPECT_TRUE(outside.isBadArgument());
    EXPECT_EQ(outside.reason(), "region 1 (0,0,20,9) leaves the 20 x 10 picture");
}

// A full encode line: options in any order, values after a space or "=", defaults for the rest.
TEST(CliOptions, EncodeArguments)
{
    const StatusOr<CliOptions> result = parse({"encode", "--stages=3", "in.bmp", "-o", "out.roi", "--region", "0,0,40,40",
                                      "--region", "50,0,90,40:arithmetic", "--background-ratio", "40", "--json"});
    ASSERT_TRUE(result.ok()) << result.reason();
    const CliOptions& options = *result;
    EXPECT_EQ(options.command, Command::Encode);
    EXPECT_EQ(options.inputs, std::vector<std::string>{"in.bmp"});
    EXPECT_EQ(options.output, "out.roi");
    EXPECT_EQ(options.stages, 3);
    EXPECT_EQ(options.backgroundRatio, 40);
    ASSERT_EQ(options.regions.size(), 2u);
    EXPECT_EQ(options.regions[1].coderKind, CoderKind::Arithmetic);
    EXPECT_EQ(options.smallRegionKind, CoderKind::Arithmetic);
    EXPECT_TRUE(options.json);

    const StatusOr<CliOptions> defaults = parse({"decode", "in.roi", "-o", "out.bmp"});
    ASSERT_TRUE(defaults.ok());
    EXPECT_TRUE(defaults->choice.all);
    EXPECT_TRUE(defaults->background);
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
        const StatusOr<CliOptions> result = parse(arguments);
        EXPECT_FALSE(result.ok()) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_FALSE(result.reason().empty());
        EXPECT_EQ(result.reason().find('\n'), std::string::npos);
    }
}

// --help and --version work alone and after a command.
TEST(CliOptions, HelpAndVersion)
{
    EXPECT_EQ(parse({"--help"})->command, Command::Help);
    EXPECT_EQ(parse({"--version"})->command, Command::Version);
    const StatusOr<CliOptions> commandHelp = parse({"decode", "--help"});
    ASSERT_TRUE(commandHelp.ok());
    EXPECT_EQ(commandHelp->command, Command::Help);
    EXPECT_EQ(commandHelp->helpFor, Command::Decode);
    EXPECT_NE(usageText(Command::Decode).find("nubo-cli decode"), std::string::npos);
    EXPECT_EQ(usageText(Command::Decode).find("nubo-cli encode"), std::string::npos);
}

// sweep takes a ratio list, a vary mode and --csv; the list must hold ratios 1 to 500 and --vary regions needs a
// region.
TEST(CliOptions, SweepArguments)
{
    std::vector<int> ratios;
    ASSERT_TRUE(parseRatios("10,20,10", ratios));
    EXPECT_EQ(ratios, (std::vector<int>{10, 20, 10}));
    for (const char* bad : {"", "10,", "0", "501", "10;20", "x"})
        EXPECT_FALSE(parseRatios(bad, ratios)) << bad;

    const StatusOr<CliOptions> parsed = parse({"sweep", "a.png", "--ratios", "5,40", "--vary", "all", "--region", "0,0,9,9",
                                      "--csv", "--background-ratio", "7"});
    ASSERT_TRUE(parsed.ok()) << parsed.reason();
    EXPECT_EQ(parsed->command, Command::Sweep);
    EXPECT_EQ(parsed->ratios, (std::vector<int>{5, 40}));
    EXPECT_EQ(parsed->vary, VaryChoice::All);
    EXPECT_TRUE(parsed->csv);
    EXPECT_EQ(parsed->backgroundRatio, 7);
    EXPECT_EQ(parse({"sweep", "a.png", "--ratios", "5"})->vary, VaryChoice::Background);

    EXPECT_FALSE(parse({"sweep", "a.png"}).ok());
    EXPECT_FALSE(parse({"sweep", "a.png", "--ratios", "5", "--vary", "regions"}).ok());
    EXPECT_FALSE(parse({"sweep", "a.png", "--ratios", "5", "--vary", "some"}).ok());
    EXPECT_FALSE(parse({"sweep", "a.png", "--ratios", "5", "--csv", "--json"}).ok());
    EXPECT_FALSE(parse({"sweep", "a.png", "--ratios", "5", "-o", "x.bmp"}).ok());
    EXPECT_FALSE(parse({"test", "a.png", "--ratios", "5"}).ok());
}

// --small-regions picks the lossless kind of small wavelet regions; other values and commands are refused.
TEST(CliOptions, SmallRegionKind)
{
    const StatusOr<CliOptions> predictive = parse({"test", "in.bmp", "--small-regions", "lossless"});
    ASSERT_TRUE(predictive.ok()) << predictive.reason();
    EXPECT_EQ(predictive->smallRegionKind, CoderKind::Predictive);
    const StatusOr<CliOptions> arithmetic = parse({"encode", "in.bmp", "-o", "x.roi", "--small-regions=arithmetic"});
    ASSERT_TRUE(arithmetic.ok()) << arithmetic.reason();
    EXPECT_EQ(arithmetic->smallRegionKind, CoderKind::Arithmetic);
    EXPECT_FALSE(parse({"test", "in.bmp", "--small-regions", "wavelet"}).ok());
    EXPECT_FALSE(parse({"decode", "in.roi", "-o", "x.bmp", "--small-regions", "lossless"}).ok());
}

} // namespace
} // namespace nubo::cli
