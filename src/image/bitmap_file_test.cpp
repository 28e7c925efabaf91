#include "image/raster_image.h"

#include "common/atomic_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace nubo {
namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string& name)
{
    return std::string(NUBO_FIXTURES_DIR) + "/" + name;
}

std::vector<std::uint8_t> bytesOf(const RasterImage& image)
{
    return {image.data(), image.data() + image.size()};
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

RasterImage numbered(int width, int height)
{
    RasterImage image;
    EXPECT_TRUE(image.allocate(width, height));
    for (int i = 0; i < image.size(); ++i)
        image.data()[i] = static_cast<std::uint8_t>(i * 37 + 11);
    return image;
}

// A private folder for the files a test writes, removed afterwards.
class BitmapFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "nubo-bitmap-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    fs::path folder_;
};

// Saved and read back, every width from 1 to 9 (all four row paddings) keeps its size and bytes; the file holds
// exactly the in-memory form, whether its rows needed padding or were written straight from the picture.
TEST_F(BitmapFiles, RoundTripKeepsEveryWidth)
{
    for (int width = 1; width <= 9; ++width)
        for (int height = 1; height <= 3; ++height) {
            const RasterImage image = numbered(width, height);
            const std::string file = path("round.bmp");
            Status status;
            ASSERT_TRUE((status = image.writeBitmapFile(file)).ok()) << status.reason();
            const std::size_t paddedRow = static_cast<std::size_t>((width * 3 + 3) / 4 * 4);
            EXPECT_EQ(fs::file_size(file), 54 + paddedRow * static_cast<std::size_t>(height));
            std::ifstream written(file, std::ios::binary);
            const std::vector<std::uint8_t> fileBytes((std::istreambuf_iterator<char>(written)),
                                                      std::istreambuf_iterator<char>());
            EXPECT_EQ(fileBytes, image.bitmapBytes()) << width << " x " << height;

            RasterImage loaded;
            ASSERT_TRUE((status = loaded.readBitmapFile(file)).ok()) << status.reason();
            EXPECT_EQ(loaded.width(), width);
            EXPECT_EQ(loaded.height(), height);
            EXPECT_EQ(bytesOf(loaded), bytesOf(image)) << width << " x " << height;
        }
}

// The written header carries exactly the documented values, and rows are padded with zeros.
TEST(BitmapWriter, HeaderFieldsAndPadding)
{
    const RasterImage image = numbered(5, 2); // rows of 15 bytes padded to 16
    const std::vector<std::uint8_t> file = image.bitmapBytes();
    ASSERT_EQ(file.size(), 54u + 32u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(le32(file, 2), 86u);   // bfSize
    EXPECT_EQ(le32(file, 6), 0u);    // reserved
    EXPECT_EQ(le32(file, 10), 54u);  // bfOffBits
    EXPECT_EQ(le32(file, 14), 40u);  // biSize
    EXPECT_EQ(le32(file, 18), 5u);   // biWidth
    EXPECT_EQ(le32(file, 22), 2u);   // biHeight, bottom-up
    EXPECT_EQ(le16(file, 26), 1u);   // biPlanes
    EXPECT_EQ(le16(file, 28), 24u);  // biBitCount
    EXPECT_EQ(le32(file, 30), 0u);   // biCompression
    EXPECT_EQ(le32(file, 34), 0u);   // biSizeImage
    EXPECT_EQ(le32(file, 38), 3780u);
    EXPECT_EQ(le32(file, 42), 3780u);
    EXPECT_EQ(le32(file, 46), 0u);
    EXPECT_EQ(le32(file, 50), 0u);
    EXPECT_EQ(file[54 + 15], 0);
    EXPECT_EQ(file[54 + 31], 0);
    EXPECT_TRUE(std::equal(image.data(), image.data() + 15, file.begin() + 54));
    EXPECT_TRUE(std::equal(image.data() + 15, image.data() + 30, file.begin() + 70));
}

// A top-down file loads with a positive height and the same buffer as its bottom-up twin.
TEST(BitmapReader, TopDownEqualsBottomUpTwin)
{
    RasterImage bottomUp;
    RasterImage topDown;
    Status status;
    ASSERT_TRUE((status = bottomUp.readBitmapFile(fixture("bottom-up-5x3.bmp"))).ok()) << status.reason();
    ASSERT_TRUE((status = topDown.readBitmapFile(fixture("top-down-5x3.bmp"))).ok()) << status.reason();
    EXPECT_EQ(topDown.width(), 5);
    EXPECT_EQ(topDown.height(), 3);
    EXPECT_EQ(bytesOf(topDown), bytesOf(bottomUp));
    // The generator's pattern: blue 10x + y, green 100 + y, red 200 + x, y from the top.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(topDown.pixel(x, y),
                      (PixelColour{200.0f + x, 100.0f + y, static_cast<float>(10 * x + y)}));
}

// A longer (V5) information header is passed over through bfOffBits; only its first 40 bytes are read.
TEST(BitmapReader, LongerInfoHeaderLoads)
{
    RasterImage v5;
    RasterImage plain;
    ASSERT_TRUE(v5.loadBitmap(fixture("v5-header-5x3.bmp")));
    ASSERT_TRUE(plain.loadBitmap(fixture("bottom-up-5x3.bmp")));
    EXPECT_EQ(bytesOf(v5), bytesOf(plain));
}

// The sample photograph loads and survives a save and a reload byte for byte.
TEST_F(BitmapFiles, SamplePhotographRoundTrips)
{
    RasterImage photo;
    Status status;
    ASSERT_TRUE((status = photo.readBitmapFile(fixture("astronaut.bmp"))).ok()) << status.reason();
    EXPECT_EQ(photo.width(), 512);
    EXPECT_EQ(photo.height(), 512);
    ASSERT_TRUE((status = photo.writeBitmapFile(path("copy.bmp"))).ok()) << status.reason();
    RasterImage copy;
    ASSERT_TRUE((status = copy.readBitmapFile(path("copy.bmp"))).ok()) << status.reason();
    EXPECT_EQ(bytesOf(copy), bytesOf(photo));

    const StatusOr<std::string> original = readWholeFile(fixture("astronaut.bmp"));
    const StatusOr<std::string> written = readWholeFile(path("copy.bmp"));
    ASSERT_TRUE(original.ok() && written.ok());
    EXPECT_EQ(written->substr(54), original->substr(54));
}

struct RefusedFile {
    const char* name;
    const char* reasonPart;
};

class RefusedBitmap : public ::testing::TestWithParam<RefusedFile> {};

// Every foreign, damaged or absurd file is refused with a reason, and leaves the image empty even when it held a
// picture before.
TEST_P(RefusedBitmap, RefusedWithReasonAndImageEmptied)
{
    RasterImage image;
    ASSERT_TRUE(image.loadBitmap(fixture("bottom-up-5x3.bmp")));
    Status status;
    EXPECT_FALSE((status = image.readBitmapFile(fixture(GetParam().name))).ok());
    EXPECT_NE(status.reason().find(GetParam().reasonPart), std::string::npos) << status.reason();
    EXPECT_EQ(image.size(), 0);
    EXPECT_EQ(image.width(), 0);
    EXPECT_EQ(image.height(), 0);
    EXPECT_FALSE(image.isValid());
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RefusedBitmap,
    ::testing::Values(RefusedFile{"palette-8bit.bmp", "not a 24-bit bitmap: 8 bits per pixel"},
                      RefusedFile{"run-length.bmp", "8 bits per pixel"},
                      RefusedFile{"32-bit.bmp", "not a 24-bit bitmap: 32 bits per pixel"},
                      RefusedFile{"bitfields-24bit.bmp", "compression 3"},
                      RefusedFile{"truncated-pixel-rows.bmp", "truncated bitmap"},
                      RefusedFile{"missing-last-row-padding.bmp", "truncated bitmap"},
                      RefusedFile{"zero-height.bmp", "height is 0"},
                      RefusedFile{"negative-width.bmp", "width -5 is below 1"},
                      RefusedFile{"huge-dimensions.bmp", "exceeds the picture limits"},
                      RefusedFile{"garbage.bmp", "does not start with \"BM\""},
                      RefusedFile{"header-only.bmp", "truncated bitmap"},
                      RefusedFile{"empty.bmp", "holds only 0 bytes"},
                      RefusedFile{"no-such-file.bmp", "cannot open"}),
    [](const ::testing::TestParamInfo<RefusedFile>& param) {
        std::string name;
        for (const char* c = param.param.name; *c && *c != '.'; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

// Every prefix of a valid file, from empty to one byte short, is refused without reading out of bounds.
TEST(BitmapReader, EveryTruncationIsRefused)
{
    const std::vector<std::uint8_t> whole = numbered(3, 4).bitmapBytes();
    for (std::size_t length = 0; length < whole.size(); ++length) {
        RasterImage image;
        EXPECT_FALSE(image.readBitmap(whole.data(), length).ok()) << length;
        EXPECT_EQ(image.size(), 0);
    }
    RasterImage image;
    EXPECT_TRUE(image.readBitmap(whole.data(), whole.size()).ok());
    EXPECT_FALSE(image.readBitmap(nullptr, 100).ok());
}

// A pixel offset beyond the file, or one that leaves too few bytes, is refused; one that fits is followed.
TEST(BitmapReader, PixelOffsetIsCheckedAgainstTheFile)
{
    std::vector<std::uint8_t> file = numbered(4, 2).bitmapBytes(); // 24 bytes of rows, no padding
    file[10] = 0xFF;
    file[11] = 0xFF; // bfOffBits 65535
    RasterImage image;
    Status status;
    EXPECT_FALSE((status = image.readBitmap(file.data(), file.size())).ok());
    EXPECT_NE(status.reason().find("truncated bitmap"), std::string::npos) << status.reason();

    // Offset 30 inside the header: the 24 bytes from there are read as pixels, which the file holds.
    file[10] = 30;
    file[11] = 0;
    ASSERT_TRUE((status = image.readBitmap(file.data(), file.size())).ok()) << status.reason();
    EXPECT_TRUE(std::equal(image.data(), image.data() + 24, file.begin() + 30));
}

// The most negative height (whose magnitude overflows 32 bits) is refused as too large, not misread.
TEST(BitmapReader, MostNegativeHeightIsRefused)
{
    std::vector<std::uint8_t> file = numbered(1, 1).bitmapBytes();
    file[22] = 0;
    file[23] = 0;
    file[24] = 0;
    file[25] = 0x80;
    RasterImage image;
    Status status;
    EXPECT_FALSE((status = image.readBitmap(file.data(), file.size())).ok());
    EXPECT_NE(status.reason().find("exceeds the picture limits"), std::string::npos) << status.reason();
}

// Any single corrupted header byte either loads a picture whose fields agree with its buffer or is refused.
TEST(BitmapReader, CorruptedHeaderBytesNeverMisdescribe)
{
    const std::vector<std::uint8_t> whole = numbered(6, 5).bitmapBytes();
    for (std::size_t at = 0; at < 54; ++at)
        for (int value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
            std::vector<std::uint8_t> file = whole;
            file[at] = static_cast<std::uint8_t>(value);
            RasterImage image;
            if (image.readBitmap(file.data(), file.size()).ok()) {
                EXPECT_EQ(static_cast<std::int64_t>(image.size()),
                          std::int64_t{image.width()} * image.height() * 3);
            } else {
                EXPECT_EQ(image.size(), 0);
            }
        }
}

// Saving into a folder that does not exist fails with a reason; saving over a file replaces it wholly.
TEST_F(BitmapFiles, SaveFailsCleanlyAndReplacesWholly)
{
    Status status;
    EXPECT_FALSE((status = numbered(2, 2).writeBitmapFile(path("missing/folder/x.bmp"))).ok());
    EXPECT_FALSE(status.reason().empty());

    const std::string file = path("over.bmp");
    ASSERT_TRUE(numbered(9, 9).saveBitmap(file));
    ASSERT_TRUE(numbered(1, 1).saveBitmap(file));
    EXPECT_EQ(fs::file_size(file), 58u);
    for (const auto& entry : fs::directory_iterator(folder_))
        EXPECT_EQ(entry.path().filename(), "over.bmp") << "temporary file left behind";
}

// A directory given as a bitmap to load is refused, not read.
TEST_F(BitmapFiles, DirectoryIsRefusedOnLoad)
{
    RasterImage image;
    EXPECT_FALSE(image.loadBitmap(folder_.string()));
    EXPECT_EQ(image.size(), 0);
}

} // namespace
} // namespace nubo
