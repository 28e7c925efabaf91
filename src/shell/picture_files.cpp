#include "shell/picture_files.h"

#include "common/limits.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <cstring>

namespace nubo {

namespace {

bool readableByQt(const QByteArray& format)
{
    static const QByteArray formats[] = {"png", "jpeg", "jpg", "ppm", "pgm", "pbm", "tiff", "tif"};
    for (const QByteArray& f : formats)
        if (format == f)
            return true;
    return false;
}

// Copies a top-down RGB888 picture into the bottom-up BGR buffer.
bool fromQImage(const QImage& source, RasterImage& image)
{
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull() || !image.allocate(rgb.width(), rgb.height()))
        return false;
    const int w = rgb.width();
    const int h = rgb.height();
    for (int y = 0; y < h; ++y) {
        const uchar* in = rgb.constScanLine(y);
        std::uint8_t* out = image.data() + static_cast<std::size_t>(h - 1 - y) * static_cast<std::size_t>(w) * 3;
        for (int x = 0; x < w; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return true;
}

} // namespace

bool isBitmapFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(2) == "BM";
}

Status loadPicture(const QString& path, RasterImage& image)
{
    if (isBitmapFile(path))
        return image.readBitmapFile(path.toStdString());

    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format().toLower();
    if (!readableByQt(format)) {
        image.clear();
        return failure(QFile::exists(path) ? "not a picture nubo reads" : "cannot open the file");
    }
    const QSize size = reader.size();
    if (size.isValid() && !imageSizeAllowed(size.width(), size.height())) {
        image.clear();
        return failure("picture larger than nubo accepts");
    }
    const QImage picture = reader.read();
    if (picture.isNull() || !fromQImage(picture, image)) {
        image.clear();
        return failure(reader.errorString().toStdString());
    }
    return {};
}

} // namespace nubo
