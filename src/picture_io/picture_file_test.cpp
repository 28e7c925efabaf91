#include "picture_io/picture_file.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <jpeglib.h>

#include <filesystem>
#include <random>

namespace nubo {
namespace {

std::vector<std::uint8_t> asBytes(const std::string& text) { return {text.begin(), text.end()}; }

// A width x height picture of random pixels (fixed seed).
RasterImage randomPicture(int width, int height, unsigned seed)
{
    RasterImage image;
    EXPECT_TRUE(image.allocate(width, height));
    std::mt19937 random(seed);
    for (int i = 0; i < image.size(); ++i)
        image.data()[i] = static_cast<std::uint8_t>(random());
    return image;
}

// A PNG of the given simplified-API format (grey, grey+alpha, RGBA, 16-bit ...) made by libpng itself.
std::vector<std::uint8_t> pngOf(const std::vector<std::uint8_t>& samples, int width, int height, png_uint_32 format)
{
    png_image description{};
    description.version = PNG_IMAGE_VERSION;
    description.width = static_cast<png_uint_32>(width);
    description.height = static_cast<png_uint_32>(height);
    description.format = format;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&description, nullptr, &size, 0, samples.data(), 0, nullptr));
    std::vector<std::uint8_t> bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&description, bytes.data(), &size, 0, samples.data(), 0, nullptr));
    bytes.resize(size);
    return bytes;
}

// A baseline JPEG of grey samples (one component) at quality 90.
std::vector<std::uint8_t> greyJpegOf(const std::vector<std::uint8_t>& samples, int width, int height)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + static_cast<std::size_t>(width) * info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

StatusOr<PictureRead> readBytes(const std::vector<std::uint8_t>& bytes, RasterImage& image)
{
    return readPictureBytes(bytes.data(), bytes.size(), image);
}

// PNG and PPM written by nubo read back as the same pixels, for widths that are and are not multiples of 4.
TEST(PictureFile, PngAndPpmRoundTrips)
{
    for (const auto& [width, height] : {std::pair{5, 3}, std::pair{48, 40}, std::pair{1, 1}}) {
        const RasterImage picture = randomPicture(width, height, 7u + static_cast<unsigned>(width));
        for (PictureFormat format : {PictureFormat::Png, PictureFormat::Ppm, PictureFormat::Bmp}) {
            std::string bytes;
            ASSERT_TRUE(encodePicture(picture, format, bytes));
            RasterImage back;
            const StatusOr<PictureRead> outcome = readBytes(asBytes(bytes), back);
            ASSERT_TRUE(outcome.ok()) << outcome.reason();
            EXPECT_EQ(outcome->format, format);
            EXPECT_TRUE(outcome->warnings.empty());
            ASSERT_EQ(back.width(), width);
            ASSERT_EQ(back.height(), height);
            EXPECT_TRUE(std::equal(picture.data(), picture.data() + picture.size(), back.data()));
        }
    }
}

// A grey PNG is expanded with R = G = B; the top row of the file is the picture's top row.
TEST(PictureFile, GreyPngIsExpanded)
{
    const std::vector<std::uint8_t> grey = {0, 10, 20, 30, 40, 50}; // 3 x 2, top row first
    RasterImage image;
    const StatusOr<PictureRead> outcome = readBytes(pngOf(grey, 3, 2, PNG_FORMAT_GRAY), image);
    ASSERT_TRUE(outcome.ok()) << outcome.reason();
    EXPECT_TRUE(outcome->warnings.empty());
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const PixelColour pixel = image.pixel(x, y);
            const float expected = grey[static_cast<std::size_t>(y * 3 + x)];
            EXPECT_EQ(pixel.r, expected);
            EXPECT_EQ(pixel.g, expected);
            EXPECT_EQ(pixel.b, expected);
        }
    }
}

// Alpha is dropped with a warning and the colours are kept as they are, even where the pixel is transparent.
TEST(PictureFile, AlphaIsDroppedWithAWarning)
{
    const std::vector<std::uint8_t> rgba = {200, 100, 50, 0, 1, 2, 3, 255};
    RasterImage image;
    const StatusOr<PictureRead> outcome = readBytes(pngOf(rgba, 2, 1, PNG_FORMAT_RGBA), image);
    ASSERT_TRUE(outcome.ok()) << outcome.reason();
    ASSERT_EQ(outcome->warnings.size(), 1u);
    EXPECT_NE(outcome->warnings[0].find("alpha"), std::string::npos);
    EXPECT_EQ(image.pixel(0, 0).r, 200.0f);
    EXPECT_EQ(image.pixel(0, 0).b, 50.0f);
    EXPECT_EQ(image.pixel(1, 0).g, 2.0f);
    const std::vector<std::uint8_t> greyAlpha = {9, 0};
    ASSERT_TRUE(readBytes(pngOf(greyAlpha, 1, 1, PNG_FORMAT_GA), image).ok());
    EXPECT_EQ(image.pixel(0, 0).g, 9.0f);
}

// 16-bit PNG samples are refused with a reason saying so, and the image is left empty.
TEST(PictureFile, SixteenBitPngIsRefused)
{
    const std::vector<std::uint8_t> samples(2 * 2 * 3 * 2, 0x40);
    RasterImage image = randomPicture(4, 4, 1);
    const StatusOr<PictureRead> outcome = readBytes(pngOf(samples, 2, 2, PNG_FORMAT_LINEAR_RGB), image);
    EXPECT_FALSE(outcome.ok());
    EXPECT_NE(outcome.reason().find("16-bit"), std::string::npos) << outcome.reason();
    EXPECT_FALSE(image.isValid());
}

// A PNG cut anywhere, or with a flipped byte in its pixel data, is refused, never read as a picture.
TEST(PictureFile, DamagedPngIsRefused)
{
    std::string bytes;
    ASSERT_TRUE(encodePicture(randomPicture(20, 10, 3), PictureFormat::Png, bytes));
    for (std::size_t cut : {std::size_t{8}, std::size_t{20}, std::size_t{40}, bytes.size() / 2, bytes.size() - 1}) {
        RasterImage image;
        const StatusOr<PictureRead> outcome = readPictureBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), cut,
                                                            image);
        EXPECT_FALSE(outcome.ok()) << cut;
        EXPECT_NE(outcome.reason().find("PNG"), std::string::npos) << outcome.reason();
    }
    std::vector<std::uint8_t> flipped = asBytes(bytes);
    flipped[flipped.size() / 2] ^= 0x55; // inside the IDAT chunk: its CRC no longer matches
    RasterImage image;
    EXPECT_FALSE(readBytes(flipped, image).ok());
}

// A PNG header beyond the picture limits is refused before the pixels are allocated.
TEST(PictureFile, OversizedPngIsRefused)
{
    std::string bytes;
    ASSERT_TRUE(encodePicture(randomPicture(2, 2, 4), PictureFormat::Png, bytes));
    // IHDR width at offset 16, big-endian; the CRC is recomputed so that only the size is wrong.
    std::vector<std::uint8_t> large = asBytes(bytes);
    large[16] = 0x00;
    large[17] = 0x01;
    large[18] = 0x00;
    large[19] = 0x00; // 65536 pixels wide
    const uLong crc = crc32(crc32(0, nullptr, 0), large.data() + 12, 17);
    for (int i = 0; i < 4; ++i)
        large[29 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    RasterImage image;
    const StatusOr<PictureRead> outcome = readBytes(large, image);
    EXPECT_FALSE(outcome.ok());
    EXPECT_NE(outcome.reason().find("exceeds the picture limits"), std::string::npos) << outcome.reason();
}

// A grey JPEG becomes RGB with equal channels close to its samples; a cut JPEG is refused.
TEST(PictureFile, JpegGreyAndTruncated)
{
    std::vector<std::uint8_t> grey(16 * 16);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<std::uint8_t>(i);
    const std::vector<std::uint8_t> jpeg = greyJpegOf(grey, 16, 16);
    RasterImage image;
    const StatusOr<PictureRead> outcome = readBytes(jpeg, image);
    ASSERT_TRUE(outcome.ok()) << outcome.reason();
    EXPECT_EQ(outcome->format, PictureFormat::Jpeg);
    ASSERT_EQ(image.width(), 16);
    for (int x = 0; x < 16; ++x) {
        const PixelColour pixel = image.pixel(x, 3);
        EXPECT_EQ(pixel.r, pixel.g);
        EXPECT_EQ(pixel.g, pixel.b);
        EXPECT_NEAR(pixel.r, grey[static_cast<std::size_t>(3 * 16 + x)], 8.0f);
    }
    const std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() * 2 / 3));
    const StatusOr<PictureRead> refused = readBytes(cut, image);
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.reason().find("JPEG"), std::string::npos) << refused.reason();
    EXPECT_FALSE(image.isValid());
}

// Unknown content and empty files are refused with a reason; output formats follow the extension.
TEST(PictureFile, UnknownContentAndOutputFormats)
{
    RasterImage image;
    EXPECT_EQ(readBytes(asBytes("GIF89a...."), image).reason().find("not a picture nubo reads"), 0u);
    EXPECT_EQ(readBytes({}, image).reason(), "empty file");
    EXPECT_EQ(outputFormatFor("out.PNG"), PictureFormat::Png);
    EXPECT_EQ(outputFormatFor("dir.png/out"), PictureFormat::Bmp);
    EXPECT_EQ(outputFormatFor("a.ppm"), PictureFormat::Ppm);
    EXPECT_EQ(outputFormatFor("a.jpg"), PictureFormat::Bmp);
    std::string bytes;
    EXPECT_FALSE(encodePicture(RasterImage(), PictureFormat::Png, bytes));
    EXPECT_FALSE(encodePicture(randomPicture(2, 2, 5), PictureFormat::Jpeg, bytes));
}

// Writing goes through the atomic writer: a failed write leaves the old file; a good one reads back.
TEST(PictureFile, WritesFilesByExtension)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "nubo-picture-file-test";
    std::filesystem::create_directories(folder);
    const RasterImage picture = randomPicture(7, 5, 9);
    for (const char* name : {"a.png", "a.ppm", "a.bmp"}) {
        const std::string path = (folder / name).string();
        const Status written = writePictureFile(path, picture);
        ASSERT_TRUE(written.ok()) << written.reason();
        RasterImage back;
        const StatusOr<PictureRead> outcome = readPictureFile(path, back);
        ASSERT_TRUE(outcome.ok()) << outcome.reason();
        EXPECT_EQ(outcome->format, outputFormatFor(path));
        EXPECT_TRUE(std::equal(picture.data(), picture.data() + picture.size(), back.data()));
    }
    const Status refused = writePictureFile((folder / "missing" / "a.png").string(), picture);
    EXPECT_FALSE(refused.ok());
    EXPECT_FALSE(refused.reason().empty());
    RasterImage none;
    EXPECT_NE(readPictureFile((folder / "absent.png").string(), none).reason().find("cannot open"), std::string::npos);
    std::filesystem::remove_all(folder);
}

// Thousands of damaged files of every format (cut short, bytes flipped) are read or refused, never crash; whatever
// reads holds a picture whose fields agree with its buffer.
TEST(PictureFile, DamagedFilesNeverCrash)
{
    const RasterImage picture = randomPicture(21, 13, 17);
    std::vector<std::vector<std::uint8_t>> files;
    for (PictureFormat format : {PictureFormat::Png, PictureFormat::Ppm, PictureFormat::Bmp}) {
        std::string bytes;
        ASSERT_TRUE(encodePicture(picture, format, bytes));
        files.push_back(asBytes(bytes));
    }
    std::vector<std::uint8_t> grey(21 * 13);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<std::uint8_t>(i * 7);
    files.push_back(greyJpegOf(grey, 21, 13));
    std::mt19937 random(2024);
    int refused = 0;
    for (const std::vector<std::uint8_t>& file : files) {
        for (int trial = 0; trial < 600; ++trial) {
            std::vector<std::uint8_t> damaged = file;
            if (trial % 3 == 0)
                damaged.resize(random() % damaged.size());
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int f = 0; f < flips && !damaged.empty(); ++f)
                damaged[random() % damaged.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
            RasterImage image;
            const StatusOr<PictureRead> outcome = readBytes(damaged, image);
            if (!outcome.ok()) {
                ++refused;
                EXPECT_FALSE(outcome.reason().empty());
                EXPECT_FALSE(image.isValid());
            } else {
                EXPECT_EQ(image.size(), image.width() * image.height() * 3);
            }
        }
    }
    EXPECT_GT(refused, 1000);
}

} // namespace
} // namespace nubo
