#include "picture_io/picture_file.h"

#include "common/atomic_file.h"
#include "picture_io/picture_codecs.h"
#include "picture_io/rgb_rows.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace nubo {

namespace {

std::string lowerCaseExtension(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('/');
    const std::string::size_type dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

} // namespace

const char* pictureFormatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp: return "BMP";
    case PictureFormat::Png: return "PNG";
    case PictureFormat::Jpeg: return "JPEG";
    case PictureFormat::Ppm: return "PPM";
    case PictureFormat::Pgm: return "PGM";
    case PictureFormat::Unknown: break;
    }
    return "unknown";
}

PictureFormat sniffPictureFormat(const std::uint8_t* bytes, std::size_t length)
{
    static const std::uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (length >= 8 && std::memcmp(bytes, pngSignature, 8) == 0)
        return PictureFormat::Png;
    if (length >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return PictureFormat::Jpeg;
    if (length >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return PictureFormat::Bmp;
    if (length >= 2 && bytes[0] == 'P' && bytes[1] == '6')
        return PictureFormat::Ppm;
    if (length >= 2 && bytes[0] == 'P' && bytes[1] == '5')
        return PictureFormat::Pgm;
    return PictureFormat::Unknown;
}

namespace {

Status decodePicture(const std::uint8_t* bytes, std::size_t length, RasterImage& image, PictureRead& read)
{
    switch (read.format) {
    case PictureFormat::Bmp: return image.readBitmap(bytes, length);
    case PictureFormat::Png: return picture_io::decodePng(bytes, length, image, read.warnings);
    case PictureFormat::Jpeg: return picture_io::decodeJpeg(bytes, length, image);
    case PictureFormat::Ppm:
    case PictureFormat::Pgm: return picture_io::decodeNetpbm(bytes, length, image);
    case PictureFormat::Unknown: break;
    }
    if (length == 0)
        return failure("empty file");
    if (length >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7')
        return picture_io::decodeNetpbm(bytes, length, image); // names the netpbm kind it refuses
    return failure("not a picture nubo reads (BMP, PNG, JPEG, binary PPM or PGM)");
}

// Whether the file opens and starts with a bitmap's signature, as sniffPictureFormat reads it.
bool startsAsBitmap(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::uint8_t start[2] = {};
    const std::size_t got = std::fread(start, 1, sizeof start, file);
    std::fclose(file);
    return sniffPictureFormat(start, got) == PictureFormat::Bmp;
}

} // namespace

StatusOr<PictureRead> readPictureBytes(const std::uint8_t* bytes, std::size_t length, RasterImage& image)
{
    image.clear();
    PictureRead read;
    read.format = sniffPictureFormat(bytes, length);
    if (Status decoded = decodePicture(bytes, length, image, read); !decoded) {
        image.clear();
        return decoded;
    }
    return read;
}

StatusOr<PictureRead> readPictureFile(const std::string& path, RasterImage& image)
{
    image.clear();
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return failure("cannot open " + path + ": " + std::strerror(errno));
    if (S_ISREG(status.st_mode) && static_cast<std::uint64_t>(status.st_size) > kMaxPictureFileBytes)
        return failure("the file holds " + std::to_string(status.st_size)
                       + " bytes, more than any picture within the limits needs");
    if (S_ISREG(status.st_mode) && startsAsBitmap(path)) {
        // A bitmap is read from the file straight into the picture: no copy of the whole file beside it.
        PictureRead read;
        read.format = PictureFormat::Bmp;
        NUBO_RETURN_IF_ERROR(image.readBitmapFile(path));
        return read;
    }
    const StatusOr<std::string> bytes = readWholeFile(path);
    if (!bytes.ok())
        return bytes.status();
    return readPictureBytes(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size(), image);
}

PictureFormat outputFormatFor(const std::string& path)
{
    const std::string extension = lowerCaseExtension(path);
    if (extension == ".png")
        return PictureFormat::Png;
    if (extension == ".ppm")
        return PictureFormat::Ppm;
    return PictureFormat::Bmp;
}

Status encodePicture(const RasterImage& image, PictureFormat format, std::string& bytes)
{
    bytes.clear();
    if (!image.isValid())
        return failure("the picture has no pixels");
    switch (format) {
    case PictureFormat::Bmp: {
        const std::vector<std::uint8_t> bitmap = image.bitmapBytes();
        bytes.assign(reinterpret_cast<const char*>(bitmap.data()), bitmap.size());
        return Status();
    }
    case PictureFormat::Png: return picture_io::encodePng(image, bytes);
    case PictureFormat::Ppm: picture_io::encodePpm(image, bytes); return Status();
    default: break;
    }
    return failure(std::string(pictureFormatName(format)) + " pictures are not written");
}

Status writePictureFile(const std::string& path, const RasterImage& image)
{
    const PictureFormat format = outputFormatFor(path);
    if (format == PictureFormat::Bmp)
        return image.writeBitmapFile(path);
    std::string bytes;
    NUBO_RETURN_IF_ERROR(encodePicture(image, format, bytes));
    return writeFileAtomically(path, bytes);
}

} // namespace nubo
