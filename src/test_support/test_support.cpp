#include "test_support/test_support.h"

#include <algorithm>

namespace nubo::test {

RasterImage patternImage(int width, int height, std::uint32_t seed)
{
    RasterImage image;
    image.allocate(width, height);
    std::uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = static_cast<int>(state >> 28); // 0 ... 15
            std::uint8_t* p = image.data() + (static_cast<std::size_t>(width) * (height - y - 1) + x) * 3;
            p[0] = static_cast<std::uint8_t>((x * 255 / width + noise) & 0xFF);
            p[1] = static_cast<std::uint8_t>((y * 200 / height + 20 + noise) & 0xFF);
            p[2] = static_cast<std::uint8_t>(((x + y) * 120 / (width + height) + 100 + (noise >> 1)) & 0xFF);
        }
    }
    return image;
}

RasterImage syntheticPicture(int w, int h, unsigned seed)
{
    RasterImage image;
    image.allocate(w, h);
    unsigned state = seed;
    for (int i = 0; i + 2 < image.size(); i += 3) {
        const int pixel = i / 3;
        const int x = pixel % w;
        const int y = pixel / w;
        state = state * 1103515245u + 12345u;
        const int noise = static_cast<int>((state >> 16) % 9) - 4;
        image.data()[i] = static_cast<std::uint8_t>(std::clamp(x * 3 + noise, 0, 255));
        image.data()[i + 1] = static_cast<std::uint8_t>(std::clamp(y * 3 + noise, 0, 255));
        image.data()[i + 2] = static_cast<std::uint8_t>(std::clamp((x + y) * 2 - noise, 0, 255));
    }
    return image;
}

RasterImage uniformImage(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    RasterImage image;
    image.allocate(width, height);
    for (int i = 0; i < width * height; ++i) {
        image.data()[i * 3] = blue;
        image.data()[i * 3 + 1] = green;
        image.data()[i * 3 + 2] = red;
    }
    return image;
}

DocumentData makeDocument(const RasterImage& image, std::initializer_list<Region> regions, int backgroundRatio,
                          int stages)
{
    DocumentData document;
    image.crop(document.image(), 0, 0, image.width() - 1, image.height() - 1);
    for (const Region& r : regions)
        document.regions().add(r);
    document.regions().deselect();
    document.background().setRatio(backgroundRatio);
    document.setWaveletStages(stages);
    return document;
}

Region region(int left, int top, int right, int bottom, CoderKind kind, int ratio)
{
    Region r(left, top, right, bottom);
    r.coderKind = kind;
    r.ratio = ratio;
    return r;
}

RegionSelection selection(int regions, std::initializer_list<int> selected, bool background)
{
    RegionSelection result;
    result.initRegions(regions);
    for (int i : selected)
        result.select(i);
    result.setBackground(background);
    return result;
}

RegionSelection selectEverything(int regions)
{
    RegionSelection result;
    result.initRegions(regions);
    for (int i = 0; i < regions; ++i)
        result.select(i);
    result.setBackground(true);
    return result;
}

Bgr pixelAt(const RasterImage& image, int x, int y)
{
    const std::uint8_t* p = image.data() + (static_cast<std::size_t>(image.width()) * (image.height() - y - 1) + x) * 3;
    return {p[0], p[1], p[2]};
}

std::uint64_t fingerprint(std::string_view bytes)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::uint64_t pixelFingerprint(const RasterImage& image)
{
    return fingerprint(std::string_view(reinterpret_cast<const char*>(image.data()),
                                        static_cast<std::size_t>(image.size())));
}

} // namespace nubo::test
