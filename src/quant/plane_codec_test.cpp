#include "quant/plane_codec.h"
#include "test_support/keep_reason.h"

#include "quant/plane_encoder.h"
#include "quant/plane_test_planes.h"
#include "regions/region_set.h"
#include "wavelet/bit_stream.h"
#include "wavelet/filters.h"
#include "wavelet/integer_codes.h"
#include "wavelet/wavelet.h"
#include "wavelet/wavelet_transform.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace nubo {
namespace {

using test::testPlane;

const std::uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

EncodedPlane encodeWithReconstruction(const FloatImage& plane, int ratio, int stages, const RegionSet* mask = nullptr,
                                      DiagnosticSink& diagnostics = discardSink())
{
    const Wavelet wavelet(cdf97());
    const std::vector<float> weights(static_cast<std::size_t>(3 * stages + 1), 1.0f);
    PlaneCodingParameters parameters;
    parameters.stages = stages;
    parameters.weights = weights;
    const int budget = plane.width * plane.height / ratio;
    return encodePlaneInDetail(plane, wavelet, parameters, budget, mask, true, diagnostics);
}

double meanSquaredError(const FloatImage& a, const FloatImage& b)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < a.data.size(); ++i)
        sum += std::pow(static_cast<double>(a.data[i]) - b.data[i], 2.0);
    return sum / static_cast<double>(a.data.size());
}

// Counts the writes it receives, to show that one plane's text arrives in one piece.
class CountingSink final : public DiagnosticSink {
public:
    void write(std::string_view piece) override
    {
        ++writes;
        text.append(piece);
    }
    int writes = 0;
    std::string text;
};

// Over odd, even and tiny sizes, stage counts and ratios, the decoded plane is exactly the plane the encoder
// rebuilds from its own symbols, with the encoder's size.
TEST(PlaneCodec, DecodedPlaneEqualsTheEncodersReconstruction)
{
    const int sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {3, 5}, {5, 3}, {8, 8}, {17, 9}, {33, 35}, {64, 48}};
    for (const auto& size : sizes) {
        const FloatImage plane = testPlane(size[0], size[1], 5);
        for (const int stages : {1, 3, 5}) {
            for (const int ratio : {1, 3, 10, 40}) {
                SCOPED_TRACE(::testing::Message() << size[0] << " x " << size[1] << ", " << stages << " stages, ratio "
                                                  << ratio);
                const EncodedPlane encoded = encodeWithReconstruction(plane, ratio, stages);
                ASSERT_TRUE(encoded.status.ok());
                FloatImage decoded(2, 2);
                std::string reason;
                ASSERT_TRUE(test::keepReason(decodePlane(bytesOf(encoded.stream), encoded.stream.size(), stages, decoded), reason))
                    << reason;
                ASSERT_EQ(decoded.width, size[0]);
                ASSERT_EQ(decoded.height, size[1]);
                ASSERT_EQ(decoded.data, encoded.reconstruction.data);
            }
        }
    }
}

// Spending more bytes always lowers the error of the decoded plane.
TEST(PlaneCodec, ErrorFallsAsTheRatioFalls)
{
    const FloatImage plane = testPlane(64, 64, 9);
    double previous = std::numeric_limits<double>::infinity();
    for (const int ratio : {100, 40, 16, 8, 4, 2}) {
        const std::string stream = encodePlane(plane, ratio, 4, discardSink());
        FloatImage decoded;
        ASSERT_TRUE(decodePlane(bytesOf(stream), stream.size(), 4, decoded));
        const double error = meanSquaredError(plane, decoded);
        EXPECT_LT(error, previous) << "ratio " << ratio;
        previous = error;
    }
    EXPECT_LT(previous, 10.0);
}

// The stream lands near the budget: the allocation aims the layer bits at budget - 4 bytes per subband, and the
// real length differs from that by the headers, the final bits and what priced and coded bits differ by.
TEST(PlaneCodec, StreamLengthFollowsTheBudget)
{
    const FloatImage plane = testPlane(128, 96, 4);
    for (const int ratio : {4, 8, 30}) {
        const std::string stream = encodePlane(plane, ratio, 5, discardSink());
        const double budget = 128.0 * 96.0 / ratio;
        EXPECT_LE(static_cast<double>(stream.size()), budget + 16) << "ratio " << ratio;
        EXPECT_GE(static_cast<double>(stream.size()), 0.9 * budget - 4 * 16) << "ratio " << ratio;
    }
}

// Masked coding with no regions is unmasked coding, byte for byte and line for line.
TEST(PlaneCodec, EmptyMaskEqualsUnmaskedCoding)
{
    const FloatImage plane = testPlane(45, 31, 3);
    StringSink plainReport;
    StringSink maskedReport;
    const std::string plain = encodePlane(plane, 6, 3, plainReport);
    const std::string masked = encodeMaskedPlane(plane, 6, RegionSet(), 3, maskedReport);
    EXPECT_EQ(plain, masked);
    EXPECT_EQ(plainReport.text(), maskedReport.text());
    EXPECT_NE(plainReport.text().find("Target rate = "), std::string::npos);
}

// The full-parameter forms with the fixed parameters and the ratio's budget are the fixed-parameter coding, masked
// or not; with other parameters their streams decode with the same parameters.
TEST(PlaneCodec, FullParameterFormsMatchTheFixedOnes)
{
    const FloatImage plane = testPlane(40, 36, 5);
    const Wavelet wavelet(cdf97());
    const int stages = 3;
    const std::vector<float> weights(3 * stages + 1, 1.0f);
    const PlaneCodingParameters fixed;
    const int budget = 40 * 36 / 8;
    RegionSet mask;
    mask.add(Region(4, 4, 20, 18));
    EXPECT_EQ(encodePlaneToBudget(plane, wavelet, stages, fixed.modelTotalLimit, fixed.errorExponent, weights,
                                  fixed.fractionBits, budget, fixed.precisionCount, fixed.minimumStep, discardSink()),
              encodePlane(plane, 8, stages, discardSink()));
    EXPECT_EQ(encodeMaskedPlaneToBudget(plane, wavelet, stages, fixed.modelTotalLimit, fixed.errorExponent, weights,
                                        fixed.fractionBits, budget, fixed.precisionCount, fixed.minimumStep, mask,
                                        discardSink()),
              encodeMaskedPlane(plane, 8, mask, stages, discardSink()));

    const std::string other =
        encodePlaneToBudget(plane, wavelet, stages, 256, 1.0f, weights, 6, budget, 12, 0.1f, discardSink());
    ASSERT_FALSE(other.empty());
    FloatImage decoded;
    const Status status = decodePlaneWithParameters(decoded, wavelet, stages, 256, 6, bytesOf(other), other.size(), 12);
    ASSERT_TRUE(status.ok()) << status.reason();
    EXPECT_EQ(decoded.width, 40);
    EXPECT_EQ(decoded.height, 36);
}

// Prepared and then coded, with other planes prepared in between, a plane gives what encodePlaneForRatio gives:
// the stream, the fields and the report, masked or not, and a refusal with its message.
TEST(PlaneCodec, PreparedPlanesCodeAsTheOneStepForm)
{
    RegionSet mask;
    mask.add(Region(4, 4, 20, 18));
    struct Case {
        FloatImage plane;
        int ratio;
        int stages;
        const RegionSet* mask;
    };
    const Case cases[] = {{testPlane(40, 36, 5), 8, 3, nullptr}, {testPlane(40, 36, 7), 30, 3, &mask},
                          {testPlane(64, 64, 2), 400, 5, nullptr}, {testPlane(8, 8), 10, 0, nullptr}};
    std::vector<PreparedPlane> prepared;
    for (const Case& c : cases)
        prepared.push_back(preparePlaneForRatio(FloatImage(c.plane), c.ratio, c.stages, c.mask));
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        const Case& c = cases[i];
        StringSink oneStepReport;
        StringSink twoStepReport;
        const EncodedPlane oneStep = encodePlaneForRatio(c.plane, c.ratio, c.stages, c.mask, oneStepReport);
        const EncodedPlane twoStep = codePreparedPlane(std::move(prepared[i]), twoStepReport);
        EXPECT_EQ(twoStep.stream, oneStep.stream) << i;
        EXPECT_EQ(twoStep.status.ok(), oneStep.status.ok()) << i;
        EXPECT_EQ(twoStep.status.reason(), oneStep.status.reason()) << i;
        EXPECT_EQ(twoStep.precisions, oneStep.precisions) << i;
        EXPECT_EQ(twoStep.targetBytes, oneStep.targetBytes) << i;
        EXPECT_EQ(twoStep.starved, oneStep.starved) << i;
        EXPECT_EQ(twoStep.workableBudgetBytes, oneStep.workableBudgetBytes) << i;
        EXPECT_EQ(twoStepReport.text(), oneStepReport.text()) << i;
    }
    EXPECT_FALSE(codePreparedPlane(std::move(prepared[0]), discardSink()).status.ok());
}

// A region takes the coefficients under it out of the background: the stream changes, and the decoded
// background inside the region loses its detail while far outside it keeps close to the unmasked coding.
TEST(PlaneCodec, MaskedCodingZeroesTheRegion)
{
    const FloatImage plane = testPlane(64, 64, 8);
    RegionSet mask;
    mask.add(Region(8, 8, 40, 40));
    const EncodedPlane plain = encodeWithReconstruction(plane, 2, 3);
    const EncodedPlane masked = encodeWithReconstruction(plane, 2, 3, &mask);
    ASSERT_TRUE(masked.status.ok());
    EXPECT_NE(plain.stream, masked.stream);
    FloatImage decoded;
    ASSERT_TRUE(decodePlane(bytesOf(masked.stream), masked.stream.size(), 3, decoded));
    EXPECT_EQ(decoded.data, masked.reconstruction.data);
    // Row index counts from the bottom: the region's centre (24, 24) from the top is row 39.
    const auto at = [](const FloatImage& p, int x, int yFromTop) {
        return p.data[static_cast<std::size_t>(p.height - 1 - yFromTop) * 64 + static_cast<std::size_t>(x)];
    };
    EXPECT_GT(std::fabs(at(decoded, 24, 24) - at(plane, 24, 24)) + std::fabs(at(decoded, 25, 25) - at(plane, 25, 25)),
              4.0f);
    EXPECT_NEAR(at(decoded, 60, 60), at(plane, 60, 60), 4.0f);
}

// A budget below 4 bytes per subband leaves a negative target: every subband at precision 0, headers only, and
// the report says so.
TEST(PlaneCodec, NegativeTargetCodesHeadersOnly)
{
    const FloatImage plane = testPlane(40, 40, 6);
    CountingSink report;
    const std::string stream = encodePlane(plane, 500, 5, report); // budget 3 bytes, target 3 - 64
    EXPECT_EQ(report.text.rfind("Warning: Bit budget = -61 is below zero: every set is coded at precision 0\n"
                                "Target rate = -61 bytes\n",
                                0),
              0u)
        << report.text;
    EXPECT_NE(report.text.find(" 0:      0 "), std::string::npos);
    EXPECT_EQ(report.text.find("      1 "), std::string::npos) << report.text;

    // Width, height, 16 headers of precision 0 (the low-pass band with the code of its mean), then the sixteen 0
    // bits of an empty arithmetic code and padding.
    const Wavelet wavelet(cdf97());
    WaveletTransform transform(wavelet, plane, 5, -1, discardSink());
    float sum = 0.0f;
    for (int i = 0; i < transform.subbandSize(0); ++i)
        sum += transform.subbandData(0)[i];
    const float mean = (1.0f / static_cast<float>(transform.subbandSize(0))) * sum;
    const int meanCode = static_cast<int>(16.0f * mean + 0.5);
    std::string expected;
    BitOutput bits(expected);
    writeGamma(bits, 40);
    writeGamma(bits, 40);
    writeNonnegative(bits, 0);
    writeInteger(bits, meanCode);
    for (int b = 1; b < 16; ++b)
        writeNonnegative(bits, 0);
    for (int i = 0; i < 16; ++i)
        bits.putBit(0);
    bits.padToByte();
    EXPECT_EQ(stream, expected);

    // It decodes to a flat plane: the quantised mean, divided by 2 per stage and direction pair.
    FloatImage decoded;
    ASSERT_TRUE(decodePlane(bytesOf(stream), stream.size(), 5, decoded));
    for (const float x : decoded.data)
        ASSERT_NEAR(x, static_cast<float>(meanCode) / 16.0f / 32.0f, 0.01f);
}

// The transform's warnings, the target and the table reach the sink in one write, in coding order.
TEST(PlaneCodec, ReportArrivesInOnePiece)
{
    const FloatImage plane = testPlane(4, 4, 2);
    CountingSink report;
    const std::string stream = encodePlane(plane, 1, 2, report);
    EXPECT_FALSE(stream.empty());
    EXPECT_EQ(report.writes, 1);
    const std::size_t warning = report.text.find("Warning: Reduce # of transform steps");
    const std::size_t target = report.text.find("Target rate = -12 bytes\n"); // 16 bytes - 4 x 7
    EXPECT_EQ(warning, 0u) << report.text;
    EXPECT_NE(target, std::string::npos) << report.text;
    EXPECT_NE(report.text.find("Error: Low pass subband is too small\n"), std::string::npos);
}

// Planes coded at once on several threads into one sink give each plane's report in one piece and the same
// streams as coding them one after another.
TEST(PlaneCodec, ConcurrentPlanesKeepTheirReportsTogether)
{
    std::vector<FloatImage> planes;
    std::vector<std::string> streams;
    std::vector<std::string> reports;
    for (std::uint32_t seed = 1; seed <= 4; ++seed) {
        planes.push_back(testPlane(48, 40, seed));
        StringSink report;
        streams.push_back(encodePlane(planes.back(), 8, 4, report));
        reports.push_back(report.text());
    }
    StringSink shared;
    std::vector<std::string> concurrent(planes.size());
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < planes.size(); ++i)
        workers.emplace_back([&, i] { concurrent[i] = encodePlane(planes[i], 8, 4, shared); });
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(concurrent, streams);
    std::string text = shared.text();
    for (const std::string& report : reports) {
        const std::size_t at = text.find(report);
        ASSERT_NE(at, std::string::npos);
        text.erase(at, report.size());
    }
    EXPECT_EQ(text, "");
}

// The plane decoder takes its size from the stream, whatever the caller's plane held.
TEST(PlaneCodec, DecodedSizeComesFromTheStream)
{
    const std::string stream = encodePlane(testPlane(37, 21), 5, 2, discardSink());
    FloatImage decoded(3, 3);
    ASSERT_TRUE(decodePlane(bytesOf(stream), stream.size(), 2, decoded));
    EXPECT_EQ(decoded.width, 37);
    EXPECT_EQ(decoded.height, 21);
    EXPECT_EQ(decoded.data.size(), 37u * 21u);
}

// A plane or stage count the coder cannot take gives an empty stream and an error line, never a crash.
TEST(PlaneCodec, RefusedPlanesGiveAnEmptyStream)
{
    StringSink report;
    EXPECT_TRUE(encodePlane(FloatImage(), 10, 5, report).empty());
    EXPECT_EQ(report.text(), "Error: Cannot code a plane of size 0 by 0\n");
    StringSink stagesReport;
    EXPECT_TRUE(encodePlane(testPlane(8, 8), 10, 0, stagesReport).empty());
    EXPECT_EQ(stagesReport.text(), "Error: Cannot code a plane in 0 wavelet stages\n");
    FloatImage decoded;
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodePlane(nullptr, 0, 5, decoded), reason));
    EXPECT_FALSE(reason.empty());
}

// A ratio below 1 codes as ratio 1.
TEST(PlaneCodec, RatioBelowOneCountsAsOne)
{
    const FloatImage plane = testPlane(16, 16);
    EXPECT_EQ(encodePlane(plane, 0, 2, discardSink()), encodePlane(plane, 1, 2, discardSink()));
    EXPECT_EQ(encodePlane(plane, -5, 2, discardSink()), encodePlane(plane, 1, 2, discardSink()));
}

// Samples that are not finite cannot hang the allocation; the stream still decodes.
TEST(PlaneCodec, NonFiniteSamplesStillGiveADecodableStream)
{
    FloatImage plane = testPlane(32, 32);
    plane.data[5] = std::numeric_limits<float>::infinity();
    plane.data[70] = std::numeric_limits<float>::quiet_NaN();
    const std::string stream = encodePlane(plane, 4, 3, discardSink());
    ASSERT_FALSE(stream.empty());
    FloatImage decoded;
    EXPECT_TRUE(decodePlane(bytesOf(stream), stream.size(), 3, decoded));
    plane.data.assign(plane.data.size(), std::numeric_limits<float>::max());
    const std::string huge = encodePlane(plane, 4, 3, discardSink());
    EXPECT_TRUE(decodePlane(bytesOf(huge), huge.size(), 3, decoded));
}

std::string streamWithSize(std::uint32_t width, std::uint32_t height)
{
    std::string bytes;
    BitOutput bits(bytes);
    writeGamma(bits, width);
    writeGamma(bits, height);
    for (int i = 0; i < 64; ++i)
        bits.putBit(1); // every header then says precision 0
    bits.padToByte();
    return bytes;
}

// A size beyond the picture limits is refused before anything is allocated.
TEST(PlaneDecoder, RefusesAbsurdSizes)
{
    FloatImage decoded;
    std::string reason;
    const std::string wide = streamWithSize(40000, 1);
    EXPECT_FALSE(test::keepReason(decodePlane(bytesOf(wide), wide.size(), 2, decoded), reason));
    EXPECT_EQ(reason, "absurd plane size 40000 by 1");
    const std::string large = streamWithSize(20000, 20000);
    EXPECT_FALSE(test::keepReason(decodePlane(bytesOf(large), large.size(), 2, decoded), reason));
    EXPECT_EQ(reason, "absurd plane size 20000 by 20000");
    const std::string fine = streamWithSize(3, 2);
    EXPECT_TRUE(test::keepReason(decodePlane(bytesOf(fine), fine.size(), 1, decoded), reason)) << reason;
    EXPECT_EQ(decoded.width, 3);
}

// Stage counts outside 1 ... 16 are refused.
TEST(PlaneDecoder, RefusesStageCountsOutsideTheLimits)
{
    const std::string stream = streamWithSize(3, 2);
    FloatImage decoded;
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodePlane(bytesOf(stream), stream.size(), 0, decoded), reason));
    EXPECT_EQ(reason, "unsupported number of wavelet stages: 0");
    EXPECT_FALSE(test::keepReason(decodePlane(bytesOf(stream), stream.size(), 17, decoded), reason));
}

// A run of zero bits longer than any gamma code the writer makes is refused, not read on and on.
TEST(PlaneDecoder, RefusesOverlongIntegerCodes)
{
    const std::string zeros(16, '\0');
    FloatImage decoded;
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodePlane(bytesOf(zeros), zeros.size(), 5, decoded), reason));
    EXPECT_EQ(reason, "plane size: corrupt stream: integer code longer than 31 bits");
}

// A truncated code stream is reported as such, with the subband where it ran out.
TEST(PlaneDecoder, ReportsTruncationWithItsSubband)
{
    const std::string stream = encodePlane(testPlane(30, 30, 2), 2, 2, discardSink());
    FloatImage decoded;
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodePlane(bytesOf(stream), stream.size() / 2, 2, decoded), reason));
    EXPECT_EQ(reason.rfind("subband ", 0), 0u) << reason;
    EXPECT_NE(reason.find(": truncated stream: it ends before its last symbol"), std::string::npos) << reason;
}

// A header asking for a precision the coder never writes is refused.
TEST(PlaneDecoder, RefusesAPrecisionAboveTheLargest)
{
    std::string bytes;
    BitOutput bits(bytes);
    writeGamma(bits, 4);
    writeGamma(bits, 4);
    writeNonnegative(bits, 10);
    bits.padToByte();
    FloatImage decoded;
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodePlane(bytesOf(bytes), bytes.size(), 1, decoded), reason));
    EXPECT_EQ(reason, "subband 0 header: corrupt stream: precision 10 above the largest, 9");
}

// Every proper prefix of a stream with coded layers is recognised as truncated.
TEST(PlaneDecoder, EveryPrefixOfACodedStreamIsRefused)
{
    const std::string stream = encodePlane(testPlane(20, 13, 7), 3, 2, discardSink());
    FloatImage decoded;
    ASSERT_TRUE(decodePlane(bytesOf(stream), stream.size(), 2, decoded));
    for (std::size_t length = 0; length < stream.size(); ++length) {
        std::string reason;
        FloatImage partial(1, 1);
        EXPECT_FALSE(test::keepReason(decodePlane(bytesOf(stream), length, 2, partial), reason)) << "prefix of " << length;
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(partial.width, 1) << "a failed decoding leaves the plane alone";
    }
}

struct GoldenCase {
    int width;
    int height;
    std::uint32_t seed;
    int ratio;
    int stages;
    bool masked;
    std::size_t length;
    std::uint64_t fingerprint;
    const char* report;
};

// Made by this coder and frozen: any change to the coded bytes or the report of these planes is a change of the
// stream format or of the arithmetic, and fails here.
const GoldenCase kGoldenCases[] = {
    {16, 16, 1u, 4, 3, false, 58, 0x788db8830ce74a35ull,
      "Target rate = 24 bytes\n"
      "Set  Precision     Rate                Distortion\n"
      " 0:      6           26.08    6.52         37.93      9.48\n"
      " 1:      3           13.08    3.27         18.65      4.66\n"
      " 2:      3           16.83    4.21         60.48     15.12\n"
      " 3:      2           11.81    2.95        117.25     29.31\n"
      " 4:      2           36.04    2.25       2923.88    182.74\n"
      " 5:      1           20.67    1.29       5154.50    322.16\n"
      " 6:      1           20.67    1.29       4015.11    250.94\n"
      " 7:      1           45.41    0.71      11644.74    181.95\n"
      " 8:      0            0.00    0.00      10716.33    167.44\n"
      " 9:      0            0.00    0.00       5806.05     90.72\n"
      "\n"
      "total rate = 23.8235\n"
      "total dist = 40494.9\n"
      "total coeffs = 256\n"
      "RMS error = 12.5771\n"
      "PSNR (transform domain) = 26.1392\n"
    },
    {37, 21, 2u, 10, 4, false, 63, 0x222dfdcf18b0a827ull,
      "Target rate = 25 bytes\n"
      "Set  Precision     Rate                Distortion\n"
      " 0:      4           25.96    4.33       5637.62    939.60\n"
      " 1:      1            5.91    1.48       6549.45   1637.36\n"
      " 2:      2            8.49    2.83       3231.27   1077.09\n"
      " 3:      0            0.00    0.00        862.54    431.27\n"
      " 4:      0            0.00    0.00      21392.78   1426.19\n"
      " 5:      3           42.90    2.86      10067.47    671.16\n"
      " 6:      2           31.45    2.10      20357.51   1357.17\n"
      " 7:      1           25.19    0.47      66187.03   1225.69\n"
      " 8:      1           30.19    0.60      39027.06    780.54\n"
      " 9:      1           29.85    0.66      69527.30   1545.05\n"
      "10:      0            0.00    0.00      56093.02    283.30\n"
      "11:      0            0.00    0.00      93522.40    492.22\n"
      "12:      0            0.00    0.00      32769.45    182.05\n"
      "\n"
      "total rate = 24.9924\n"
      "total dist = 425225\n"
      "total coeffs = 777\n"
      "RMS error = 23.3937\n"
      "PSNR (transform domain) = 20.7488\n"
    },
    {64, 64, 3u, 20, 5, true, 199, 0x900048eba0b363d3ull,
      "Target rate = 140 bytes\n"
      "Set  Precision     Rate                Distortion\n"
      " 0:      3           12.49    3.12       2093.17    523.29\n"
      " 1:      4           21.98    5.50        479.94    119.98\n"
      " 2:      4           21.25    5.31       3446.27    861.57\n"
      " 3:      3           14.66    3.67       1959.72    489.93\n"
      " 4:      3           61.25    3.83      12407.58    775.47\n"
      " 5:      4           87.14    5.45       3062.21    191.39\n"
      " 6:      3           64.76    4.05       2435.38    152.21\n"
      " 7:      0            0.00    0.00      68249.88   1066.40\n"
      " 8:      3          183.19    2.86      26238.31    409.97\n"
      " 9:      2          102.95    1.61      42326.25    661.35\n"
      "10:      1           80.68    0.32     244311.23    954.34\n"
      "11:      2          214.34    0.84     147044.02    574.39\n"
      "12:      1          133.97    0.52     368943.31   1441.18\n"
      "13:      0            0.00    0.00     325277.56    317.65\n"
      "14:      1          118.81    0.12     325860.50    318.22\n"
      "15:      0            0.00    0.00     206779.30    201.93\n"
      "\n"
      "total rate = 139.684\n"
      "total dist = 1.78091e+06\n"
      "total coeffs = 4096\n"
      "RMS error = 20.8517\n"
      "PSNR (transform domain) = 21.748\n"
    },
    {12, 10, 4u, 1, 2, false, 121, 0x649f0ce781575163ull,
      "Target rate = 92 bytes\n"
      "Set  Precision     Rate                Distortion\n"
      " 0:      9           82.77    9.20          0.36      0.04\n"
      " 1:      7           75.48    8.39          1.03      0.11\n"
      " 2:      6           45.39    7.57          0.40      0.07\n"
      " 3:      6           43.55    7.26          0.68      0.11\n"
      " 4:      5          182.72    6.09          3.41      0.11\n"
      " 5:      5          183.76    6.13          2.17      0.07\n"
      " 6:      3          120.87    4.03         10.51      0.35\n"
      "\n"
      "total rate = 91.8177\n"
      "total dist = 18.5637\n"
      "total coeffs = 120\n"
      "RMS error = 0.393316\n"
      "PSNR (transform domain) = 56.236\n"
    },
    {4, 4, 5u, 1, 2, false, 7, 0x9d4cfbfd7327f69cull,
      "Warning: Reduce # of transform steps or increase signal size\n"
      "Warning:   or switch to periodic extension\n"
      "Error: Low pass subband is too small\n"
      "Warning: Bit budget = -12 is below zero: every set is coded at precision 0\n"
      "Target rate = -12 bytes\n"
      "Set  Precision     Rate                Distortion\n"
      " 0:      0            0.00    0.00          0.00      0.00\n"
      " 1:      0            0.00    0.00       1000.36   1000.36\n"
      " 2:      0            0.00    0.00        298.33    298.33\n"
      " 3:      0            0.00    0.00          3.51      3.51\n"
      " 4:      0            0.00    0.00       5030.98   1257.75\n"
      " 5:      0            0.00    0.00        103.61     25.90\n"
      " 6:      0            0.00    0.00        166.39     41.60\n"
      "\n"
      "total rate = 0\n"
      "total dist = 6603.2\n"
      "total coeffs = 16\n"
      "RMS error = 20.315\n"
      "PSNR (transform domain) = 21.9745\n"
    },
    // A plane 3 wide reaches a single column at its third step (a length-1 signal extends as a constant) and
    // leaves two subbands without coefficients, whose per-coefficient columns print -nan.
    {3, 20, 6u, 1, 3, false, 48, 0x3dee347d8c605013ull,
      "Warning: Reduce # of transform steps or increase signal size\n"
      "Warning:   or switch to periodic extension\n"
      "Error: Low pass subband is too small\n"
      "Warning: Reduce # of transform steps or increase signal size\n"
      "Warning:   or switch to periodic extension\n"
      "Error: Low pass subband is too small\n"
      "Target rate = 20 bytes\n"
      "Set  Precision     Rate                Distortion\n"
      " 0:      8           25.17    8.39          3.42      1.14\n"
      " 1:      0            0.00    -nan          0.00      -nan\n"
      " 2:      5           12.75    6.38          5.10      2.55\n"
      " 3:      0            0.00    -nan          0.00      -nan\n"
      " 4:      2           13.21    2.64          6.15      1.23\n"
      " 5:      4           24.98    5.00          8.18      1.64\n"
      " 6:      1            7.71    1.54         29.33      5.87\n"
      " 7:      0            0.00    0.00        207.46     20.75\n"
      " 8:      2           59.50    2.97        215.57     10.78\n"
      " 9:      1           16.34    1.63         15.14      1.51\n"
      "\n"
      "total rate = 19.958\n"
      "total dist = 490.352\n"
      "total coeffs = 60\n"
      "RMS error = 2.85876\n"
      "PSNR (transform domain) = 39.0072\n"
    },
};

// Each golden plane codes to exactly its frozen bytes (length and FNV-1a fingerprint) and report, and decodes.
TEST(PlaneCodecGolden, StreamsAndReportsAreUnchanged)
{
    RegionSet mask;
    mask.add(Region(10, 12, 50, 40));
    mask.add(Region(52, 0, 63, 20));
    for (const GoldenCase& golden : kGoldenCases) {
        SCOPED_TRACE(::testing::Message() << golden.width << " x " << golden.height << " at ratio " << golden.ratio);
        const FloatImage plane = testPlane(golden.width, golden.height, golden.seed);
        StringSink report;
        const std::string stream = golden.masked
            ? encodeMaskedPlane(plane, golden.ratio, mask, golden.stages, report)
            : encodePlane(plane, golden.ratio, golden.stages, report);
        EXPECT_EQ(stream.size(), golden.length);
        EXPECT_EQ(test::fingerprint(stream), golden.fingerprint);
        EXPECT_EQ(report.text(), golden.report);
        FloatImage decoded;
        EXPECT_TRUE(decodePlane(bytesOf(stream), stream.size(), golden.stages, decoded));
    }
}

// The sample picture's planes at the benchmark's ratios: frozen lengths and fingerprints of stream and report.
TEST(PlaneCodecGolden, SamplePicturePlanesAreUnchanged)
{
    struct Case {
        int channel; // 0 blue, 1 green, 2 red
        int ratio;
        std::size_t length;
        std::uint64_t streamFingerprint;
        std::uint64_t reportFingerprint;
    };
    const Case cases[] = {
        {0, 10, 26195, 0x35918cbc2640ed4dull, 0x31b429540b943542ull}, // blue
        {0, 40, 6551, 0x64e5b3b15321c0ecull, 0x9b76a086d95166d5ull}, // blue
        {0, 100, 2603, 0x36db6c7c83c00cc0ull, 0xbbedfdc08c7d74e1ull}, // blue
        {1, 10, 26219, 0xdfdd3e7c32d7bb48ull, 0x77e0a1561258c615ull}, // green
        {1, 40, 6541, 0xf557ff4291d6481aull, 0x07ebcc43b4fba1a7ull}, // green
        {1, 100, 2592, 0xbac7e174c2b59b09ull, 0xf65152d410fca646ull}, // green
        {2, 10, 26198, 0x52423e030fe6510full, 0x7a5d43126987407cull}, // red
        {2, 40, 6529, 0xa724187d12c0731bull, 0xf9ab863e96924629ull}, // red
        {2, 100, 2618, 0x563dea8a0d3165b5ull, 0x2738ff55b0edc7f1ull}, // red
    };
    std::array<FloatImage, 3> planes;
    for (int channel = 0; channel < 3; ++channel)
        ASSERT_TRUE(test::loadBitmapChannel(std::string(NUBO_FIXTURES_DIR) + "/astronaut.bmp", channel,
                                               planes[static_cast<std::size_t>(channel)]));
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "channel " << c.channel << " at ratio " << c.ratio);
        StringSink report;
        const std::string stream = encodePlane(planes[static_cast<std::size_t>(c.channel)], c.ratio, 5, report);
        EXPECT_EQ(stream.size(), c.length);
        EXPECT_EQ(test::fingerprint(stream), c.streamFingerprint);
        EXPECT_EQ(test::fingerprint(report.text()), c.reportFingerprint);
    }
}

} // namespace
} // namespace nubo
