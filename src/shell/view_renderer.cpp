#include "shell/view_renderer.h"

#include "editor/overlay_canvas.h"
#include "editor/view_overlay.h"

#include <QFontMetrics>
#include <QPainter>

namespace nubo {

namespace {

// Draws each label straight onto the image being composed, in the painting order of the overlay.
class ImageLabelSink : public LabelSink {
public:
    ImageLabelSink(QImage& image, QPoint origin, const QFont& font) : image_(image), origin_(origin), font_(font) {}

    void drawLabel(const Label& label, bool opaque) override
    {
        const QRect rect(label.rect.left, label.rect.top, label.rect.width(), label.rect.height());
        if (label.text.empty() || rect.isEmpty())
            return;
        QPainter painter(&image_);
        painter.translate(-origin_);
        painter.setClipRect(rect);
        painter.setFont(font_);
        painter.setPen(Qt::black);
        if (opaque) {
            painter.setBackgroundMode(Qt::OpaqueMode);
            painter.setBackground(Qt::white);
        } else {
            painter.setBackgroundMode(Qt::TransparentMode);
        }
        const QFontMetrics metrics(font_);
        int baseline = rect.top() + metrics.ascent();
        for (const QString& line : labelLines(QString::fromStdString(label.text))) {
            painter.drawText(QPoint(rect.left(), baseline), line);
            baseline += metrics.height();
        }
    }

private:
    QImage& image_;
    QPoint origin_;
    const QFont& font_;
};

} // namespace

QFont labelFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    return font;
}

QStringList labelLines(const QString& text)
{
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\n' && c != u'\r') {
            line += c;
            continue;
        }
        lines << line;
        line.clear();
        if (i + 1 < text.size() && (text[i + 1] == u'\n' || text[i + 1] == u'\r') && text[i + 1] != c)
            ++i;
    }
    lines << line;
    return lines;
}

QImage renderView(const DocumentData& document, const Region* rubberBand, const QRect& area, const QFont& font)
{
    QImage image(area.size(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    OverlayCanvas canvas(reinterpret_cast<std::uint32_t*>(image.bits()), image.width(), image.height(),
                         static_cast<int>(image.bytesPerLine() / 4), area.left(), area.top());
    canvas.fill(kWhite);
    ImageLabelSink labels(image, area.topLeft(), font);
    paintView(canvas, document, rubberBand, labels);
    return image;
}

} // namespace nubo
