// Decoded planes pinned bit for bit. The decoder may be made faster, never different: these fingerprints cover
// every float the inverse quantiser and the synthesis produce for the sample picture's streams.

#include "quant/plane_codec.h"
#include "test_support/keep_reason.h"
#include "quant/plane_encoder.h"
#include "quant/plane_test_planes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

namespace nubo {
namespace {

// FNV-1a over the bit patterns of the decoded floats, row by row.
std::uint64_t planeFingerprint(const FloatImage& plane)
{
    return test::fingerprint(std::string(reinterpret_cast<const char*>(plane.data.data()),
                                            plane.data.size() * sizeof(float)));
}

// Every channel of the sample picture at three ratios and two stage counts decodes to exactly the frozen floats.
TEST(PlaneDecoderGolden, SamplePicturePlanesDecodeToFrozenFloats)
{
    struct Case {
        int channel; // 0 blue, 1 green, 2 red
        int ratio;
        int stages;
        std::uint64_t decodedFingerprint;
    };
    const Case cases[] = {
        {0, 4, 5, 8201087719167446443ull},  {1, 40, 5, 7625109681005829122ull}, {2, 100, 5, 13835061542143754811ull},
        {1, 10, 3, 6402492964166630306ull}, {2, 20, 6, 7346835038262100714ull},
    };
    std::array<FloatImage, 3> planes;
    for (int channel = 0; channel < 3; ++channel)
        ASSERT_TRUE(test::loadBitmapChannel(std::string(NUBO_FIXTURES_DIR) + "/astronaut.bmp", channel,
                                               planes[static_cast<std::size_t>(channel)]));
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "channel " << c.channel << " at ratio " << c.ratio << ", " << c.stages
                                          << " stages");
        const FloatImage& source = planes[static_cast<std::size_t>(c.channel)];
        const std::string stream = encodePlane(source, c.ratio, c.stages, discardSink());
        FloatImage decoded;
        std::string reason;
        ASSERT_TRUE(test::keepReason(decodePlane(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(), c.stages,
                                decoded), reason))
            << reason;
        ASSERT_EQ(decoded.width, source.width);
        ASSERT_EQ(decoded.height, source.height);
        EXPECT_EQ(planeFingerprint(decoded), c.decodedFingerprint);
    }
}

} // namespace
} // namespace nubo
