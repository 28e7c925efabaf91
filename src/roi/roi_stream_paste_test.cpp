#include "roi/roi_stream_decoder.h"

#include "document/document_data.h"
#include "roi/quality_measure.h"
#include "roi/roi_stream_encoder.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace nubo {
namespace {

using test::Bgr;
using test::makeDocument;
using test::pixelAt;
using test::region;

// A dark picture in which about a third of the pixels are pure black and the rest are dim, so that lossless
// regions hold black pixels and the wavelet decoder clamps many of its pixels to black as well.
RasterImage darkImage(int width, int height)
{
    RasterImage image = test::patternImage(width, height, 5);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.data() + (static_cast<std::size_t>(width) * (height - y - 1) + x) * 3;
            const bool black = (x / 3 + y / 2) % 3 == 0;
            for (int c = 0; c < 3; ++c)
                p[c] = black ? 0 : static_cast<std::uint8_t>(p[c] / 24);
        }
    }
    return image;
}

bool sameBytes(const RasterImage& a, const RasterImage& b)
{
    return a.width() == b.width() && a.height() == b.height() && std::equal(a.data(), a.data() + a.size(), b.data());
}

RegionSelection selectionFromBits(int regions, unsigned bits)
{
    RegionSelection result;
    result.initRegions(regions);
    for (int i = 0; i < regions; ++i) {
        if (bits & (1u << i))
            result.select(i);
    }
    result.setBackground((bits & (1u << regions)) != 0);
    return result;
}

// A whole-picture lossless region decodes bit-exactly with the background decoded too: its black pixels stay
// black instead of taking the background's lossy colour. Measured like "Test ROI", its MSE is 0.
TEST(RoiStreamPaste, WholePictureLosslessRegionStaysExactWithBackground)
{
    const RasterImage source = darkImage(64, 48);
    const DocumentData document =
        makeDocument(source, {region(0, 0, 63, 47, CoderKind::Arithmetic)}, 40, 3);
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(document, stream, discardSink()));
    for (const bool background : {false, true}) {
        const DecodedPicture decoded = decodeRoiStream(stream, test::selection(1, {0}, background));
        ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
        EXPECT_TRUE(sameBytes(decoded.image, source)) << "background " << background;
        QualityMeasure measure;
        ASSERT_TRUE(measure.measure(source, decoded.image, decoded.backgroundPresent, &decoded.regions));
        EXPECT_LE(measure.mse(), 0.00001f); // an MSE of exactly 0 counts as 0.00001
    }
}

// Overlapping lossless and wavelet regions over a dark picture, under every selection of records: each pixel
// comes from the first selected region covering it, as that region decodes alone, black pixels included; then
// from the background where the background is selected; otherwise it is black.
TEST(RoiStreamPaste, EverySelectionPastesByCoverageNotColour)
{
    const DocumentData document = makeDocument(darkImage(64, 48),
                                               {region(2, 3, 30, 25, CoderKind::Arithmetic),
                                                region(20, 10, 60, 44, CoderKind::Wavelet, 2),
                                                region(3, 20, 24, 44, CoderKind::Arithmetic)},
                                               30, 3);
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(document, stream, discardSink()));
    const int regions = document.regions().count();

    // Each record decoded by itself.
    std::vector<RasterImage> alone;
    for (int i = 0; i < regions; ++i)
        alone.push_back(decodeRoiStream(stream, test::selection(regions, {i}, false)).image);
    const RasterImage backgroundAlone = decodeRoiStream(stream, test::selection(regions, {}, true)).image;

    int blackRegionPixelsUnderLaterRecords = 0;
    for (unsigned bits = 0; bits < (1u << (regions + 1)); ++bits) {
        const RegionSelection chosen = selectionFromBits(regions, bits);
        const DecodedPicture decoded = decodeRoiStream(stream, chosen);
        ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                Bgr expected{};
                int from = -1;
                for (int i = 0; i < regions && from < 0; ++i) {
                    const Region& r = document.regions().at(i);
                    if (chosen.isSelected(i) && r.left <= x && x <= r.right && r.top <= y && y <= r.bottom)
                        from = i;
                }
                if (from >= 0)
                    expected = pixelAt(alone[static_cast<std::size_t>(from)], x, y);
                else if (chosen.background())
                    expected = pixelAt(backgroundAlone, x, y);
                if (from >= 0 && expected == Bgr{} && (chosen.background() || from < regions - 1))
                    ++blackRegionPixelsUnderLaterRecords;
                ASSERT_EQ(pixelAt(decoded.image, x, y), expected)
                    << "selection " << bits << " at " << x << "," << y << " from record " << from;
            }
        }
    }
    // The pictures really hold decoded black pixels that a later record could have overwritten.
    EXPECT_GT(blackRegionPixelsUnderLaterRecords, 100);
}

} // namespace
} // namespace nubo
