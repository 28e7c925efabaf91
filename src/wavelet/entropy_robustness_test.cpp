// Hostile input for the decoding side of the entropy coders: random bytes and truncated streams must end every
// read without hanging, crashing or touching memory outside the buffers (run under the sanitizer build too).
#include "wavelet/coder_streams.h"
#include "wavelet/integer_codes.h"
#include "wavelet/layered_symbol_coder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace nubo {
namespace {

constexpr int kBands = 4;
constexpr int kLayers = 10;
constexpr int kCoefficients = 48;

struct Decoded {
    std::vector<int> values;
    bool failed = false;
};

// A plane decoder in miniature: per band a header (layer count and two integers), then that many layers of
// symbols. It trusts the header's layer count up to kLayers + 2, so that layers the coder lacks are requested
// too, and it keeps reading after a failure, the harshest way to use the coders.
Decoded decodeBands(const std::uint8_t* bytes, std::size_t length)
{
    Decoded out;
    DecoderStream stream(bytes, length);
    std::vector<int> layers;
    for (int band = 0; band < kBands; ++band) {
        layers.push_back(std::min(readNonnegative(stream.bits), kLayers + 2));
        out.values.push_back(readInteger(stream.bits));
        out.values.push_back(readInteger(stream.bits));
    }
    for (int band = 0; band < kBands; ++band) {
        LayeredSymbolCoder coder(kLayers, band != 0, 512);
        std::vector<int> states(kCoefficients, 0);
        for (int layer = 0; layer < layers[static_cast<std::size_t>(band)]; ++layer) {
            for (int& state : states) {
                const int v = coder.read(stream, 1, layer, state);
                out.values.push_back(v);
                state = v + 2 * state;
            }
        }
    }
    out.failed = stream.bits.failed();
    return out;
}

// A valid stream in the same shape, its values drawn from `seed`.
std::string encodeBands(unsigned seed, std::vector<int>& values)
{
    std::mt19937 random(seed);
    std::string bytes;
    EncoderStream stream(bytes);
    std::vector<int> layers;
    for (int band = 0; band < kBands; ++band) {
        layers.push_back(static_cast<int>(random() % (kLayers + 1)));
        writeNonnegative(stream.bits, layers.back());
        for (int i = 0; i < 2; ++i) {
            const int header = static_cast<int>(random() % 20001) - 10000;
            writeInteger(stream.bits, header);
            values.push_back(header);
        }
    }
    for (int band = 0; band < kBands; ++band) {
        LayeredSymbolCoder coder(kLayers, band != 0, 512);
        std::vector<int> states(kCoefficients, 0);
        for (int layer = 0; layer < layers[static_cast<std::size_t>(band)]; ++layer) {
            for (int& state : states) {
                int v = static_cast<int>(random() % 2);
                if (band != 0 && state == 0)
                    v = static_cast<int>(random() % 5 == 0) - static_cast<int>(random() % 5 == 0);
                coder.write(&stream, v, 1, layer, state);
                values.push_back(v);
                state = v + 2 * state;
            }
        }
    }
    stream.arith.finish();
    return bytes;
}

const std::uint8_t* bytesOf(const std::string& s)
{
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// The harness itself decodes valid streams exactly, so the hostile runs below exercise real decoding paths.
TEST(EntropyRobustnessTest, HarnessDecodesValidStreams)
{
    for (unsigned seed = 1; seed <= 5; ++seed) {
        std::vector<int> values;
        const std::string bytes = encodeBands(seed, values);
        const Decoded decoded = decodeBands(bytesOf(bytes), bytes.size());
        EXPECT_FALSE(decoded.failed);
        EXPECT_EQ(decoded.values, values);
    }
}

// Every prefix of valid streams decodes to an end: the missing bits read as zeros, and a header cut short fails.
TEST(EntropyRobustnessTest, EveryPrefixOfValidStreamsTerminates)
{
    for (unsigned seed = 11; seed <= 13; ++seed) {
        std::vector<int> values;
        const std::string bytes = encodeBands(seed, values);
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            // A copy of exactly `length` bytes, so the sanitizer sees any read beyond the prefix.
            const std::vector<std::uint8_t> prefix(bytesOf(bytes), bytesOf(bytes) + length);
            const Decoded decoded = decodeBands(prefix.data(), prefix.size());
            if (length == 0) {
                EXPECT_TRUE(decoded.failed);
            }
        }
    }
}

// Random byte strings of every short length, plain and mostly zero, decode to an end; streams that ask for
// layers the coder lacks are reported as failed.
TEST(EntropyRobustnessTest, RandomBytesTerminate)
{
    std::mt19937 random(2718);
    int failures = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const std::size_t length = random() % 80;
        std::vector<std::uint8_t> bytes(length);
        const bool sparse = trial % 3 == 0;
        for (auto& b : bytes)
            b = sparse ? static_cast<std::uint8_t>(random() % 8 == 0 ? random() : 0) : static_cast<std::uint8_t>(random());
        const Decoded decoded = decodeBands(bytes.data(), bytes.size());
        failures += decoded.failed ? 1 : 0;
    }
    // Long zero runs (sparse strings, and every string's end) must have been met and refused.
    EXPECT_GT(failures, 1000);
}

// A stream of zeros is a gamma prefix without end: the first header read fails with a reason.
TEST(EntropyRobustnessTest, AllZeroStreamFailsWithReason)
{
    const std::vector<std::uint8_t> zeros(64, 0);
    DecoderStream stream(zeros.data(), zeros.size());
    EXPECT_EQ(readNonnegative(stream.bits), 0);
    EXPECT_TRUE(stream.bits.failed());
    EXPECT_NE(stream.bits.failure().find("corrupt"), std::string::npos);
}

} // namespace
} // namespace nubo
