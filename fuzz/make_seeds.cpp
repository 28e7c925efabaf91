// Writes the fuzz harnesses' seed corpora from real pictures: crops of the fixture pictures, their bitmap files,
// lossless payloads, plane code streams and whole .roi streams made by the encoders, and the --region texts of
// the regions coded. Usage: make_seeds FIXTURES_DIR OUT_DIR (one sub-folder per harness is filled).
#include "document/document_data.h"
#include "image/raster_image.h"
#include "picture_io/picture_file.h"
#include "quant/plane_codec.h"
#include "roi/lossless_region_coder.h"
#include "roi/predictive_region_coder.h"
#include "roi/roi_stream_encoder.h"
#include "wavelet/float_image.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Coder kinds tried for stream records. Kinds without a coder are refused by the encoder and skipped, so a kind
// added to the codec gets seeds without a change here.
constexpr int kHighestKindTried = 8;

struct Crop {
    const char* name;
    int left, top, right, bottom;
};

class SeedWriter {
public:
    explicit SeedWriter(fs::path root) : root_(std::move(root)) {}

    void write(const std::string& harness, const std::string& name, const std::string& bytes)
    {
        const fs::path folder = root_ / harness;
        fs::create_directories(folder);
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "make_seeds: cannot write %s\n", (folder / name).c_str());
            failed_ = true;
        }
        ++count_;
    }

    bool failed() const { return failed_; }
    int count() const { return count_; }

private:
    fs::path root_;
    bool failed_ = false;
    int count_ = 0;
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string asString(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

std::string regionText(const nubo::Region& region)
{
    std::string text = std::to_string(region.left) + "," + std::to_string(region.top) + ","
        + std::to_string(region.right) + "," + std::to_string(region.bottom);
    if (region.coderKind == nubo::CoderKind::Arithmetic)
        return text + ":arithmetic";
    if (region.coderKind == nubo::CoderKind::Predictive)
        return text + ":lossless";
    if (region.coderKind == nubo::CoderKind::WaveletColour)
        return text + ":colour=" + std::to_string(region.ratio);
    return text + ":wavelet=" + std::to_string(region.ratio);
}

void writeBitmapSeeds(SeedWriter& seeds, const std::vector<std::pair<std::string, nubo::RasterImage>>& crops,
                      const fs::path& fixtures)
{
    for (const auto& [name, image] : crops)
        seeds.write("bitmap_reader", name + ".bmp", asString(image.bitmapBytes()));
    // The bitmap fixtures other than the large sample: top-down, V5 header, bit fields, palettes and damage.
    for (const auto& entry : fs::directory_iterator(fixtures)) {
        if (entry.path().extension() == ".bmp" && entry.file_size() < 16384)
            seeds.write("bitmap_reader", entry.path().filename().string(), readFile(entry.path()));
    }
}

void writePictureSeeds(SeedWriter& seeds, const std::vector<std::pair<std::string, nubo::RasterImage>>& crops,
                       const fs::path& fixtures)
{
    for (const auto& [name, image] : crops) {
        for (const nubo::PictureFormat format : {nubo::PictureFormat::Png, nubo::PictureFormat::Ppm}) {
            std::string bytes;
            if (nubo::encodePicture(image, format, bytes))
                seeds.write("picture_reader", name + "." + nubo::pictureFormatName(format), bytes);
        }
    }
    // The picture fixtures: JPEG (which nubo does not write), grey, 16-bit, alpha and damaged files.
    for (const auto& entry : fs::directory_iterator(fixtures)) {
        const std::string extension = entry.path().extension().string();
        if ((extension == ".jpg" || extension == ".png" || extension == ".ppm" || extension == ".pgm"
             || extension == ".bmp")
            && entry.file_size() < 16384)
            seeds.write("picture_reader", entry.path().filename().string(), readFile(entry.path()));
    }
}

void writeLosslessSeeds(SeedWriter& seeds, const std::vector<std::pair<std::string, nubo::RasterImage>>& crops)
{
    for (const auto& [name, image] : crops) {
        std::ostringstream out(std::ios::binary);
        if (nubo::encodeLosslessRegion(image, out))
            seeds.write("lossless_region", name + ".payload", out.str());
    }
}

void writePredictiveSeeds(SeedWriter& seeds, const std::vector<std::pair<std::string, nubo::RasterImage>>& crops)
{
    for (const auto& [name, image] : crops) {
        std::ostringstream out(std::ios::binary);
        if (nubo::encodePredictiveRegion(image, out))
            seeds.write("predictive_region", name + ".payload", out.str());
    }
}

void writePlaneSeeds(SeedWriter& seeds, const std::vector<std::pair<std::string, nubo::RasterImage>>& crops)
{
    for (const auto& [name, image] : crops) {
        const std::vector<float> green = image.greenPlane();
        const nubo::FloatImage plane(green.data(), image.width(), image.height());
        for (const int stages : {1, 3, 5}) {
            for (const int ratio : {2, 20}) {
                const std::string code = nubo::encodePlane(plane, ratio, stages, nubo::discardSink());
                if (code.empty())
                    continue;
                // The harness takes the stage count from the first byte: 1 + byte mod 16.
                seeds.write("plane_decoder",
                            name + "-s" + std::to_string(stages) + "-r" + std::to_string(ratio) + ".plane",
                            std::string(1, static_cast<char>(stages - 1)) + code);
            }
        }
    }
}

// The two selection bytes the stream harness reads first, then the stream.
void writeStreamSeed(SeedWriter& seeds, const std::string& name, const std::string& stream)
{
    seeds.write("roi_stream", name + "-all.roi", std::string("\x01\x00", 2) + stream);
    seeds.write("roi_stream", name + "-regions-only.roi", std::string("\x00\x00", 2) + stream);
    seeds.write("roi_stream", name + "-background-only.roi", std::string("\x03\x00", 2) + stream);
    seeds.write("roi_stream", name + "-alternate.roi", std::string("\x05\x55", 2) + stream);
}

void writeStreamSeeds(SeedWriter& seeds, const std::string& prefix, const nubo::RasterImage& picture)
{
    const int w = picture.width();
    const int h = picture.height();
    // Region layouts over the picture, each with kind slots filled from the kinds tried.
    const std::vector<std::vector<nubo::Region>> layouts = {
        {},
        {nubo::Region(4, 4, w / 2 + 8, h / 2 + 8)},
        {nubo::Region(0, 0, 33, 33), nubo::Region(w - 12, h - 5, w - 1, h - 1)},
        {nubo::Region(2, h - 9, 9, h - 1), nubo::Region(w / 2, 0, w - 1, 33), nubo::Region(12, 40, 13, 41)},
    };
    std::string regionsText;
    for (int kind = 1; kind <= kHighestKindTried; ++kind) {
        for (std::size_t l = 0; l < layouts.size(); ++l) {
            if (layouts[l].empty() && kind > 1)
                continue; // the background alone does not depend on the kind
            for (const int stages : {2, 5}) {
                nubo::DocumentData document;
                document.image() = picture;
                document.setWaveletStages(stages);
                document.background().setRatio(l == 0 ? 4 : 30);
                // The background takes the kind too when it is a wavelet kind (the colour coder's background).
                document.background().setCoderKind(static_cast<nubo::CoderKind>(kind));
                for (nubo::Region region : layouts[l]) {
                    region.coderKind = static_cast<nubo::CoderKind>(kind);
                    region.ratio = 6;
                    document.regions().add(region);
                }
                std::string stream;
                if (!nubo::encodeRoiStream(document, stream, nubo::discardSink()))
                    continue;
                writeStreamSeed(seeds, prefix + "-kind" + std::to_string(kind) + "-layout" + std::to_string(l) + "-s"
                                           + std::to_string(stages),
                                stream);
                std::string lines;
                for (int i = 0; i < document.regions().count(); ++i)
                    lines.append("R").append(regionText(document.regions().at(i))).append("\n");
                seeds.write("region_arguments", prefix + "-layout" + std::to_string(l) + "-kind" + std::to_string(kind),
                            lines + "S1," + std::to_string(document.regions().count()) + "\nSall\nSnone\n");
            }
        }
    }
}

// The stream fixtures, most of them damaged: each stops the decoder somewhere else.
void writeStreamFixtureSeeds(SeedWriter& seeds, const fs::path& fixtures)
{
    for (const auto& entry : fs::directory_iterator(fixtures)) {
        if (entry.path().extension() == ".roi")
            writeStreamSeed(seeds, entry.path().stem().string(), readFile(entry.path()));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds FIXTURES_DIR OUT_DIR\n");
        return 2;
    }
    const fs::path fixtures = argv[1];
    nubo::RasterImage sample;
    nubo::RasterImage small;
    nubo::Status loaded = sample.readBitmapFile((fixtures / "astronaut.bmp").string());
    if (loaded.ok())
        loaded = small.readBitmapFile((fixtures / "small-48x40.bmp").string());
    if (!loaded.ok()) {
        std::fprintf(stderr, "make_seeds: %s\n", loaded.reason().c_str());
        return 1;
    }

    // Small crops keep each run fast: the face, the badge, a flat strip, a single pixel and a thin column.
    const Crop crops[] = {
        {"face-64x48", 190, 90, 253, 137}, {"badge-24x20", 150, 360, 173, 379}, {"strip-40x3", 0, 500, 39, 502},
        {"pixel-1x1", 256, 256, 256, 256}, {"column-1x17", 300, 10, 300, 26},
    };
    std::vector<std::pair<std::string, nubo::RasterImage>> pictures = {{"small-48x40", small}};
    for (const Crop& crop : crops) {
        nubo::RasterImage piece;
        if (sample.crop(piece, crop.left, crop.top, crop.right, crop.bottom))
            pictures.emplace_back(crop.name, std::move(piece));
    }

    SeedWriter seeds(argv[2]);
    writeBitmapSeeds(seeds, pictures, fixtures);
    writePictureSeeds(seeds, pictures, fixtures);
    writeLosslessSeeds(seeds, pictures);
    writePredictiveSeeds(seeds, pictures);
    writePlaneSeeds(seeds, pictures);
    nubo::RasterImage streamPicture;
    sample.crop(streamPicture, 170, 70, 265, 149); // 96 x 80 around the face
    writeStreamSeeds(seeds, "face-96x80", streamPicture);
    writeStreamSeeds(seeds, "small-48x40", small);
    writeStreamFixtureSeeds(seeds, fixtures);
    std::printf("make_seeds: %d seeds in %s\n", seeds.count(), argv[2]);
    return seeds.failed() ? 1 : 0;
}
