#include "roi/lossless_region_coder.h"
#include "test_support/keep_reason.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace nubo {
namespace {

std::vector<std::uint8_t> bytesOf(const RasterImage& image)
{
    return {image.data(), image.data() + image.size()};
}

RasterImage noise(int width, int height, std::uint32_t seed)
{
    RasterImage image;
    EXPECT_TRUE(image.allocate(width, height));
    std::mt19937 random(seed);
    for (int i = 0; i < image.size(); ++i)
        image.data()[i] = static_cast<std::uint8_t>(random());
    return image;
}

// Runs of 526 equal bytes, each run a new value: every run starts where the model has just learnt the previous
// value, so the code grows to about 1.6 times the region.
RasterImage adversarial(int width, int height)
{
    RasterImage image;
    EXPECT_TRUE(image.allocate(width, height));
    for (int i = 0; i < image.size(); ++i)
        image.data()[i] = static_cast<std::uint8_t>(i / 526 * 97);
    return image;
}

RasterImage uniform(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    RasterImage image;
    EXPECT_TRUE(image.allocate(width, height));
    for (int i = 0; i < image.size(); i += 3) {
        image.data()[i] = b;
        image.data()[i + 1] = g;
        image.data()[i + 2] = r;
    }
    return image;
}

const RasterImage& astronaut()
{
    static const RasterImage photo = [] {
        RasterImage image;
        EXPECT_TRUE(image.loadBitmap(std::string(NUBO_FIXTURES_DIR) + "/astronaut.bmp"));
        return image;
    }();
    return photo;
}

std::string encode(const RasterImage& region)
{
    std::ostringstream out(std::ios::binary);
    std::string reason;
    EXPECT_TRUE(test::keepReason(encodeLosslessRegion(region, out), reason)) << reason;
    return out.str();
}

// Encodes, checks the text header and decodes; returns the decoded image.
RasterImage roundTrip(const RasterImage& region, std::size_t* codeBytes = nullptr)
{
    const std::string payload = encode(region);
    std::istringstream in(payload, std::ios::binary);
    RasterImage decoded;
    std::string reason;
    EXPECT_TRUE(test::keepReason(decodeLosslessRegion(decoded, in), reason)) << reason;
    EXPECT_EQ(in.tellg(), static_cast<std::streamoff>(payload.size())) << "payload not read to its end";
    if (codeBytes)
        *codeBytes = std::stoul(payload);
    return decoded;
}

// Decoding this text must fail; returns the reason.
std::string refusal(const std::string& payload)
{
    std::istringstream in(payload, std::ios::binary);
    RasterImage decoded;
    EXPECT_TRUE(decoded.allocate(2, 2));
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodeLosslessRegion(decoded, in), reason)) << payload.substr(0, 40);
    EXPECT_EQ(decoded.size(), 0);
    EXPECT_FALSE(reason.empty());
    return reason;
}

// A stream buffer that cannot seek, like a pipe.
class PipeBuffer : public std::streambuf {
public:
    explicit PipeBuffer(std::string bytes) : bytes_(std::move(bytes))
    {
        setg(bytes_.data(), bytes_.data(), bytes_.data() + bytes_.size());
    }

private:
    std::string bytes_;
};

// Random regions of every shape, down to a single pixel (3 bytes, below the codec's 16-byte minimum), come back
// exactly.
TEST(LosslessRegionCoder, RandomRegionsOfManySizesRoundTrip)
{
    std::uint32_t seed = 1;
    for (int width : {1, 2, 3, 5, 6, 7, 16, 33, 100})
        for (int height : {1, 2, 3, 5, 9, 31}) {
            const RasterImage region = noise(width, height, seed++);
            const RasterImage decoded = roundTrip(region);
            EXPECT_EQ(decoded.width(), width);
            EXPECT_EQ(decoded.height(), height);
            EXPECT_EQ(bytesOf(decoded), bytesOf(region)) << width << " x " << height;
        }
}

// A uniform region codes to far fewer bytes than it holds and decodes to the identical bytes. Each byte is coded
// on its own, so a grey (all bytes equal) costs almost nothing, and a colour of three different bytes costs about
// log2(3) bits a byte.
TEST(LosslessRegionCoder, UniformRegionCompressesFarBelowRaw)
{
    for (int side : {2, 4, 40, 200}) {
        const RasterImage grey = uniform(side, side, 128, 128, 128);
        const RasterImage colour = uniform(side, side, 12, 200, 77);
        std::size_t greyBytes = 0;
        std::size_t colourBytes = 0;
        EXPECT_EQ(bytesOf(roundTrip(grey, &greyBytes)), bytesOf(grey));
        EXPECT_EQ(bytesOf(roundTrip(colour, &colourBytes)), bytesOf(colour));
        if (side == 40) {
            EXPECT_LT(greyBytes * 10, static_cast<std::size_t>(grey.size()));
        }
        if (side == 200) {
            EXPECT_LT(greyBytes * 100, static_cast<std::size_t>(grey.size()));
            EXPECT_LT(colourBytes * 4, static_cast<std::size_t>(colour.size()));
        }
    }
}

// Photographic regions of many sizes and places come back exactly, and compress.
TEST(LosslessRegionCoder, PhotographicRegionsRoundTrip)
{
    const RasterImage& photo = astronaut();
    ASSERT_EQ(photo.width(), 512);
    struct Rect {
        int left, top, right, bottom;
    };
    for (const Rect& r : {Rect{0, 0, 511, 511}, Rect{130, 345, 215, 425}, Rect{160, 60, 300, 190},
                          Rect{500, 0, 511, 300}, Rect{0, 510, 400, 511}, Rect{77, 77, 78, 79}}) {
        RasterImage region;
        ASSERT_TRUE(photo.crop(region, r.left, r.top, r.right, r.bottom));
        std::size_t codeBytes = 0;
        EXPECT_EQ(bytesOf(roundTrip(region, &codeBytes)), bytesOf(region)) << r.left << "," << r.top;
        if (region.size() > 10000) {
            EXPECT_LT(codeBytes, static_cast<std::size_t>(region.size()));
        }
    }
}

// Noise does not compress, and content that fights the model's adaptation codes to half as much again as the
// region holds: the encoder's buffer allows for the worst case.
TEST(LosslessRegionCoder, CodeLargerThanRawRoundTrips)
{
    const RasterImage region = noise(300, 200, 99);
    std::size_t codeBytes = 0;
    EXPECT_EQ(bytesOf(roundTrip(region, &codeBytes)), bytesOf(region));
    EXPECT_GT(codeBytes, static_cast<std::size_t>(region.size()));

    for (int side : {100, 400}) {
        const RasterImage hostile = adversarial(side, side);
        EXPECT_EQ(bytesOf(roundTrip(hostile, &codeBytes)), bytesOf(hostile));
        EXPECT_GT(codeBytes * 10, static_cast<std::size_t>(hostile.size()) * 14) << side;
    }
}

// The payload is "n;width;height;" in plain decimals, then exactly n raw bytes.
TEST(LosslessRegionCoder, PayloadLayout)
{
    const RasterImage region = noise(20, 10, 5);
    const std::string payload = encode(region);
    const std::size_t first = payload.find(';');
    const std::string n = payload.substr(0, first);
    const std::string header = n + ";20;10;";
    ASSERT_EQ(payload.compare(0, header.size(), header), 0) << payload.substr(0, 20);
    EXPECT_EQ(payload.size() - header.size(), std::stoul(n));
}

// The same bytes forever: fixed regions have payloads of fixed length and checksum. A change in the codec, the
// model, its update schedule or the payload layout shows here.
TEST(LosslessRegionCoder, GoldenPayloads)
{
    RasterImage synthetic;
    ASSERT_TRUE(synthetic.allocate(23, 17));
    for (int i = 0; i < synthetic.size(); ++i)
        synthetic.data()[i] = static_cast<std::uint8_t>((i * i + 7 * (i / 69)) % 251 / ((i % 5) + 1));
    const std::string payload = encode(synthetic);
    EXPECT_EQ(payload.substr(0, 11), "1108;23;17;");
    EXPECT_EQ(payload.size(), 1119u);
    EXPECT_EQ(test::fingerprint(payload), 880731819061078761ull);

    // The mission badge of the sample photograph, as coded losslessly in the README's example.
    RasterImage badge;
    ASSERT_TRUE(astronaut().crop(badge, 130, 345, 215, 425));
    const std::string badgePayload = encode(badge);
    EXPECT_EQ(badgePayload.substr(0, 12), "20627;86;81;");
    EXPECT_EQ(badgePayload.size(), 20639u);
    EXPECT_EQ(test::fingerprint(badgePayload), 5415461039208330833ull);
}

// White space before a number or before a separator is accepted, as the stream's own extraction does.
TEST(LosslessRegionCoder, WhiteSpaceBeforeFieldsIsAccepted)
{
    const RasterImage region = noise(4, 3, 8);
    const std::string payload = encode(region);
    const std::size_t a = payload.find(';');
    const std::size_t b = payload.find(';', a + 1);
    const std::size_t c = payload.find(';', b + 1);
    const std::string spaced = " \n" + payload.substr(0, a) + "\t ;  " + payload.substr(a + 1, b - a - 1) + " ;"
        + payload.substr(b + 1, c - b - 1) + "\n;" + payload.substr(c + 1);
    std::istringstream in(spaced, std::ios::binary);
    RasterImage decoded;
    std::string reason;
    ASSERT_TRUE(test::keepReason(decodeLosslessRegion(decoded, in), reason)) << reason;
    EXPECT_EQ(bytesOf(decoded), bytesOf(region));
}

// Another character where ";" belongs, or a missing number, fails the region.
TEST(LosslessRegionCoder, MissingSeparatorOrNumberFails)
{
    EXPECT_NE(refusal("12,4;3;xxxxxxxxxxxx").find("no code byte count followed by \";\""), std::string::npos);
    EXPECT_NE(refusal("12;4:3;xxxxxxxxxxxx").find("no width followed by \";\""), std::string::npos);
    EXPECT_NE(refusal("12;4;3xxxxxxxxxxxxx").find("no height followed by \";\""), std::string::npos);
    EXPECT_NE(refusal(";4;3;xxxxxxxxxxxx").find("no code byte count"), std::string::npos);
    EXPECT_NE(refusal("12;;3;xxxxxxxxxxxx").find("no width"), std::string::npos);
    refusal("");
    refusal("12");
    refusal("12;4;3");
}

// Negative, zero or absurd numbers are refused before anything is allocated or decoded.
TEST(LosslessRegionCoder, AbsurdNumbersAreRefused)
{
    const std::string bytes(64, 'x');
    EXPECT_NE(refusal("-5;4;3;" + bytes).find("out of range"), std::string::npos);
    EXPECT_NE(refusal("0;4;3;" + bytes).find("out of range"), std::string::npos);
    EXPECT_NE(refusal("16777217;4;3;" + bytes).find("out of range"), std::string::npos);
    EXPECT_NE(refusal("99999999999999999999999;4;3;" + bytes).find("no code byte count"), std::string::npos);
    EXPECT_NE(refusal("12;0;3;" + bytes).find("outside the picture limits"), std::string::npos);
    EXPECT_NE(refusal("12;4;-3;" + bytes).find("outside the picture limits"), std::string::npos);
    EXPECT_NE(refusal("12;40000;1;" + bytes).find("outside the picture limits"), std::string::npos);
    EXPECT_NE(refusal("12;2365;2365;" + bytes).find("too large for lossless coding"), std::string::npos);
}

// A byte count beyond what the stream still holds is refused, on a seekable stream and on a pipe alike.
TEST(LosslessRegionCoder, ByteCountBeyondTheStreamIsRefused)
{
    EXPECT_NE(refusal("16000000;2000;2000;abc").find("3 left in the stream"), std::string::npos);

    const std::string payload = encode(noise(10, 10, 3));
    PipeBuffer pipe(payload.substr(0, payload.size() - 1));
    std::istream in(&pipe);
    RasterImage decoded;
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodeLosslessRegion(decoded, in), reason));
    EXPECT_NE(reason.find("ends inside the code bytes"), std::string::npos) << reason;
}

// A pipe (no seeking) carrying a whole payload decodes.
TEST(LosslessRegionCoder, NonSeekableStreamDecodes)
{
    const RasterImage region = noise(9, 7, 4);
    PipeBuffer pipe(encode(region) + "rest");
    std::istream in(&pipe);
    RasterImage decoded;
    std::string reason;
    ASSERT_TRUE(test::keepReason(decodeLosslessRegion(decoded, in), reason)) << reason;
    EXPECT_EQ(bytesOf(decoded), bytesOf(region));
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "rest");
}

// Decoding takes exactly the payload: the next record's bytes are still there.
TEST(LosslessRegionCoder, DecodingStopsAtThePayloadEnd)
{
    const RasterImage first = noise(5, 5, 1);
    const RasterImage second = uniform(8, 2, 1, 2, 3);
    std::istringstream in(encode(first) + encode(second), std::ios::binary);
    RasterImage a;
    RasterImage b;
    ASSERT_TRUE(decodeLosslessRegion(a, in));
    ASSERT_TRUE(decodeLosslessRegion(b, in));
    EXPECT_EQ(bytesOf(a), bytesOf(first));
    EXPECT_EQ(bytesOf(b), bytesOf(second));
    EXPECT_EQ(in.peek(), std::char_traits<char>::eof());
}

// Every truncation of a payload fails without reading out of bounds.
TEST(LosslessRegionCoder, EveryTruncationFails)
{
    const std::string payload = encode(noise(6, 4, 11));
    for (std::size_t length = 0; length < payload.size(); ++length)
        refusal(payload.substr(0, length));
}

// A code byte count smaller than the real code is found out: the decoder would have to read on past it.
TEST(LosslessRegionCoder, ShortenedByteCountIsFoundOut)
{
    const RasterImage region = noise(30, 30, 21);
    const std::string payload = encode(region);
    const std::size_t first = payload.find(';');
    const std::size_t n = std::stoul(payload);
    const std::string shortened = std::to_string(n - 10) + payload.substr(first, payload.size() - first - 10);
    EXPECT_NE(refusal(shortened).find("does not match"), std::string::npos);
}

// Damaged code bytes decode to a region of the announced size or are refused; never a crash or a hang.
TEST(LosslessRegionCoder, DamagedCodeNeverCrashes)
{
    const RasterImage region = uniform(40, 30, 9, 9, 9);
    const std::string payload = encode(region);
    const std::size_t start = payload.size() - std::stoul(payload);
    std::mt19937 random(7);
    for (int trial = 0; trial < 200; ++trial) {
        std::string damaged = payload;
        for (int flips = 0; flips < 3; ++flips)
            damaged[start + random() % (payload.size() - start)] ^= static_cast<char>(1 + random() % 255);
        std::istringstream in(damaged, std::ios::binary);
        RasterImage decoded;
        if (decodeLosslessRegion(decoded, in)) {
            EXPECT_EQ(decoded.size(), region.size());
        } else {
            EXPECT_EQ(decoded.size(), 0);
        }
    }
}

// A code that starts with four 0xFF bytes drives the decoder's value past its interval: decoding it stays inside
// the codec's tables and buffer, and reports the damage or yields a region of the announced size.
TEST(LosslessRegionCoder, HostileCodeStaysInBounds)
{
    for (char fill : {'\x01', '\x80', '\xFF'}) {
        const std::string payload = "40;20;20;" + std::string(4, '\xFF') + std::string(36, fill);
        std::istringstream in(payload, std::ios::binary);
        RasterImage decoded;
        if (decodeLosslessRegion(decoded, in)) {
            EXPECT_EQ(decoded.size(), 1200);
        } else {
            EXPECT_EQ(decoded.size(), 0);
        }
    }
}

// An empty region and one above 2^24 bytes are refused with a reason, and nothing is written.
TEST(LosslessRegionCoder, UncodableRegionsWriteNothing)
{
    std::ostringstream out(std::ios::binary);
    std::string reason;
    EXPECT_FALSE(test::keepReason(encodeLosslessRegion(RasterImage(), out), reason));
    EXPECT_NE(reason.find("empty region"), std::string::npos);

    RasterImage large;
    ASSERT_TRUE(large.allocate(2365, 2365)); // 16,779,675 bytes, just over 2^24
    large.fill(0);
    EXPECT_FALSE(test::keepReason(encodeLosslessRegion(large, out), reason));
    EXPECT_NE(reason.find("too large for lossless coding"), std::string::npos) << reason;
    EXPECT_TRUE(out.str().empty());
}

// Near the 2^24-byte limit the encoder's buffer is capped: noise whose code fits still codes, content whose code
// would pass the limit is refused with a reason instead of overflowing, and nothing is written.
TEST(LosslessRegionCoder, CodeNearTheLimit)
{
    const RasterImage fits = noise(2000, 1500, 31); // 9,000,000 bytes: worst case above 2^24, real code below
    std::size_t codeBytes = 0;
    EXPECT_EQ(bytesOf(roundTrip(fits, &codeBytes)), bytesOf(fits));
    EXPECT_GT(codeBytes, 9000000u);

    const RasterImage tooMuch = adversarial(2000, 2000); // 12,000,000 bytes that would take about 19 MB of code
    std::ostringstream out(std::ios::binary);
    std::string reason;
    EXPECT_FALSE(test::keepReason(encodeLosslessRegion(tooMuch, out), reason));
    EXPECT_NE(reason.find("does not compress"), std::string::npos) << reason;
    EXPECT_TRUE(out.str().empty());
}

// A 52-byte code announcing an 8663 x 644 region (found by the lossless decoder's fuzzer, which timed out on it)
// is refused once the decoder has read past the code's end, not after decoding 16.7 million bytes from zeros.
TEST(LosslessRegionCoder, ShortCodeForALargeRegionStopsEarly)
{
    std::ifstream file(std::string(NUBO_FIXTURES_DIR) + "/fuzz/lossless_region/52-code-bytes-for-8663x644-region.bin",
                       std::ios::binary);
    std::istringstream in(std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()},
                          std::ios::binary);
    const auto start = std::chrono::steady_clock::now();
    RasterImage region;
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodeLosslessRegion(region, in), reason));
    EXPECT_EQ(reason.rfind("damaged lossless payload: ", 0), 0u) << reason;
    EXPECT_EQ(region.size(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
} // namespace nubo
