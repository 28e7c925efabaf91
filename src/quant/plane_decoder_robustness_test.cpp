#include "quant/plane_codec.h"
#include "test_support/keep_reason.h"

#include "quant/plane_test_planes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace nubo {
namespace {

const std::uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

std::vector<std::string> validStreams()
{
    return {
        encodePlane(test::testPlane(23, 17, 1), 2, 3, discardSink()),
        encodePlane(test::testPlane(64, 40, 2), 12, 5, discardSink()),
        encodePlane(test::testPlane(5, 3, 3), 1, 1, discardSink()),
        encodePlane(test::testPlane(40, 40, 4), 500, 5, discardSink()), // headers only
    };
}

// Every prefix of a few valid streams decodes or is refused, without crashing or hanging.
TEST(PlaneDecoderRobustness, EveryPrefixOfValidStreams)
{
    const int stages[] = {3, 5, 1, 5};
    const std::vector<std::string> streams = validStreams();
    for (std::size_t s = 0; s < streams.size(); ++s) {
        const std::string& stream = streams[s];
        ASSERT_FALSE(stream.empty());
        for (std::size_t length = 0; length <= stream.size(); ++length) {
            FloatImage plane;
            std::string reason;
            const bool ok = test::keepReason(decodePlane(bytesOf(stream), length, stages[s], plane), reason);
            if (ok) {
                EXPECT_EQ(plane.data.size(), static_cast<std::size_t>(plane.width) * plane.height);
            } else {
                EXPECT_FALSE(reason.empty());
            }
        }
    }
}

// Thousands of random byte strings, at several stage counts, neither crash nor hang; failures carry a reason.
TEST(PlaneDecoderRobustness, RandomByteStrings)
{
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 48);
    const auto start = std::chrono::steady_clock::now();
    int refused = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        std::string bytes(static_cast<std::size_t>(length(random)), '\0');
        for (char& c : bytes)
            c = static_cast<char>(byte(random));
        FloatImage plane;
        std::string reason;
        if (!test::keepReason(decodePlane(bytesOf(bytes), bytes.size(), 1 + trial % 5, plane), reason)) {
            ++refused;
            EXPECT_FALSE(reason.empty());
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));
}

// Valid streams with bytes flipped at random decode or are refused, never crash.
TEST(PlaneDecoderRobustness, DamagedValidStreams)
{
    std::mt19937 random(99);
    const int stages[] = {3, 5, 1, 5};
    const std::vector<std::string> streams = validStreams();
    for (std::size_t s = 0; s < streams.size(); ++s) {
        std::uniform_int_distribution<std::size_t> position(0, streams[s].size() - 1);
        std::uniform_int_distribution<int> bit(0, 7);
        for (int trial = 0; trial < 300; ++trial) {
            std::string damaged = streams[s];
            for (int flips = 0; flips < 1 + trial % 3; ++flips)
                damaged[position(random)] ^= static_cast<char>(1 << bit(random));
            FloatImage plane;
            std::string reason;
            const bool ok = test::keepReason(decodePlane(bytesOf(damaged), damaged.size(), stages[s], plane), reason);
            EXPECT_TRUE(ok || !reason.empty());
        }
    }
}

// A cut-off stream announcing a large plane (found by the plane decoder's fuzzer, which timed out on it) is
// refused as truncated as soon as its bits run out, not after decoding every coefficient from zeros.
TEST(PlaneDecoderRobustness, CutOffStreamOfALargePlaneStopsEarly)
{
    std::ifstream in(std::string(NUBO_FIXTURES_DIR) + "/fuzz/plane_decoder/cut-off-stream-of-a-large-plane.bin",
                     std::ios::binary);
    const std::string input{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(input.size(), 87u);
    // The fuzz harness takes the stage count from the first byte.
    const int stages = 1 + static_cast<unsigned char>(input[0]) % 16;
    const auto start = std::chrono::steady_clock::now();
    FloatImage plane;
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodePlane(bytesOf(input) + 1, input.size() - 1, stages, plane), reason));
    EXPECT_NE(reason.find("truncated stream"), std::string::npos) << reason;
    EXPECT_TRUE(plane.data.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
} // namespace nubo
