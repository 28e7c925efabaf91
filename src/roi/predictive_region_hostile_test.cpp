// Damaged kind-4 payloads: every one is refused with a reason or decodes to some picture of the announced size,
// without a crash, a hang, a read past the payload or an allocation the payload cannot justify.

#include "roi/predictive_region_coder.h"

#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

namespace nubo {
namespace {

std::string payloadOf(const RasterImage& image)
{
    std::ostringstream out(std::ios::binary);
    EXPECT_TRUE(encodePredictiveRegion(image, out).ok());
    return out.str();
}

Status decodes(const std::string& payload, RasterImage& image)
{
    std::istringstream in(payload, std::ios::binary);
    return decodePredictiveRegion(image, in);
}

std::string codeOf(const std::string& payload)
{
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i)
        at = payload.find(';', at) + 1;
    return payload.substr(at);
}

// Broken headers: missing separators, negative or zero sizes, sizes past the picture limits, code byte counts
// too small or too large for the region, or more than the stream holds.
TEST(PredictiveRegionHostile, RefusesBrokenHeaders)
{
    const std::string code = codeOf(payloadOf(test::patternImage(8, 6)));
    const std::string n = std::to_string(code.size());
    const std::string cases[] = {
        "",
        n + ";8;6" + code,
        n + ";8,6;" + code,
        "x;8;6;" + code,
        "-5;8;6;" + code,
        n + ";-8;6;" + code,
        n + ";8;0;" + code,
        n + ";40000;6;" + code,
        n + ";32768;32768;" + code,
        "3;8;6;" + code.substr(0, 3),
        "999999999999;8;6;" + code,
        std::to_string(code.size() + 10) + ";8;6;" + code,
        "5;32768;2048;" + code.substr(0, 5),
    };
    int index = 0;
    for (const std::string& payload : cases) {
        RasterImage image;
        const Status decoded = decodes(payload, image);
        EXPECT_FALSE(decoded.ok()) << "case " << index;
        EXPECT_FALSE(decoded.reason().empty()) << "case " << index;
        EXPECT_FALSE(image.isValid()) << "case " << index;
        ++index;
    }
}

// A code cut short by a byte, or carrying a byte too many, does not end where a code of the region must.
TEST(PredictiveRegionHostile, RefusesCodeOfTheWrongLength)
{
    const std::string code = codeOf(payloadOf(test::patternImage(30, 20, 3)));
    RasterImage image;
    const std::string shorter = code.substr(0, code.size() - 1);
    EXPECT_FALSE(decodes(std::to_string(shorter.size()) + ";30;20;" + shorter, image));
    EXPECT_FALSE(decodes(std::to_string(code.size() + 1) + ";30;20;" + code + '\x55', image));
    EXPECT_FALSE(decodes(std::to_string(code.size()) + ";30;21;" + code, image));
    EXPECT_TRUE(decodes(std::to_string(code.size()) + ";30;20;" + code, image));
}

// Any single damaged byte, and runs of random bytes, are refused or give a picture of the announced size; none
// crashes or hangs.
TEST(PredictiveRegionHostile, SurvivesDamagedCodeBytes)
{
    const std::string payload = payloadOf(test::patternImage(24, 16, 4));
    const std::size_t headerBytes = payload.size() - codeOf(payload).size();
    std::mt19937 random(5);
    for (std::size_t at = headerBytes; at < payload.size(); ++at) {
        std::string damaged = payload;
        damaged[at] = static_cast<char>(damaged[at] ^ static_cast<char>(1 + random() % 255));
        RasterImage image;
        if (decodes(damaged, image)) {
            EXPECT_EQ(image.width(), 24);
            EXPECT_EQ(image.height(), 16);
        }
    }
    for (int trial = 0; trial < 50; ++trial) {
        std::string code(20 + random() % 500, '\0');
        for (char& c : code)
            c = static_cast<char>(random());
        RasterImage image;
        const Status decoded = decodes(std::to_string(code.size()) + ";64;40;" + code, image);
        if (!decoded.ok()) {
            EXPECT_FALSE(decoded.reason().empty());
        }
    }
}

} // namespace
} // namespace nubo
