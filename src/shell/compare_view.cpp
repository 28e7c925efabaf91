#include "shell/compare_view.h"

#include "shell/wheel_zoom.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>

#include <algorithm>

namespace nubo {

namespace {

// The divider is drawn in a colour that stands out on most pictures.
const QColor kDividerColour(255, 214, 0);

} // namespace

int CCompareView::dividerAt(int viewX) const
{
    // The pixel boundary nearest to the pointer.
    return (viewX * zoom_.divisor + zoom_.factor / 2) / zoom_.factor;
}

QImage toQImage(const RasterImage& picture)
{
    QImage image(picture.width(), picture.height(), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < picture.height(); ++y) {
        // Bottom row first, blue, green, red.
        const std::uint8_t* in =
            picture.data() + static_cast<std::size_t>(picture.height() - 1 - y) * picture.width() * 3;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.width(); ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    return image;
}

CCompareView::CCompareView(const RasterImage& first, const RasterImage& second, QWidget* parent)
    : QWidget(parent), pictures_{first, second}, divider_(first.width() / 2)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::SplitHCursor);
    setMinimumSize(contentSize());
}

CCompareView::~CCompareView() = default;

QSize CCompareView::contentSize() const
{
    return QSize(zoom_.screenLength(pictures_[0].width()), zoom_.screenLength(pictures_[0].height()))
        .expandedTo(QSize(1, 1));
}

QSize CCompareView::sizeHint() const { return contentSize(); }

void CCompareView::changed()
{
    update();
    emit stateChanged();
}

void CCompareView::setSplit(bool split)
{
    if (split == split_)
        return;
    split_ = split;
    setCursor(split ? Qt::SplitHCursor : Qt::ArrowCursor);
    changed();
}

void CCompareView::toggle()
{
    swapped_ = !swapped_;
    changed();
}

CCompareView::Side CCompareView::sideAt(int pictureX) const
{
    const Side other = swapped_ ? Side::First : Side::Second;
    return split_ && pictureX >= divider_ ? other : leading();
}

void CCompareView::setDivider(int pictureX)
{
    const int clamped = std::clamp(pictureX, 0, pictures_[0].width());
    if (clamped == divider_)
        return;
    divider_ = clamped;
    changed();
}

void CCompareView::setZoom(Zoom zoom)
{
    if (zoom == zoom_)
        return;
    // The picture point at the centre of the visible part stays there.
    auto* scroll = qobject_cast<QScrollArea*>(parentWidget() ? parentWidget()->parentWidget() : nullptr);
    QPoint centre;
    if (scroll) {
        const QPoint viewPos = mapFrom(scroll->viewport(), scroll->viewport()->rect().center());
        centre = QPoint(zoom_.toPicture(viewPos.x()), zoom_.toPicture(viewPos.y()));
    }
    zoom_ = zoom;
    setMinimumSize(contentSize());
    resize(contentSize().expandedTo(size()));
    if (scroll)
        scroll->ensureVisible(zoom_.pixelCentre(centre.x()), zoom_.pixelCentre(centre.y()),
                              scroll->viewport()->width() / 2, scroll->viewport()->height() / 2);
    changed();
}

const QImage& CCompareView::shown(Side side) const
{
    if (shownZoom_ != zoom_) {
        for (int i = 0; i < 2; ++i)
            shown_[i] = toQImage(zoom_.reduces() ? reducePicture(pictures_[i], zoom_.divisor) : pictures_[i]);
        shownZoom_ = zoom_;
    }
    return shown_[side == Side::First ? 0 : 1];
}

void CCompareView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    const int dividerScreen = zoom_.toScreen(divider_);
    const Side other = swapped_ ? Side::First : Side::Second;
    const auto draw = [&](Side side, const QRect& clip) {
        if (clip.isEmpty())
            return;
        painter.save();
        painter.setClipRect(clip);
        // Magnified, each picture pixel becomes a block: the painter scales without smoothing.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        if (zoom_.magnifies())
            painter.scale(zoom_.factor, zoom_.factor);
        painter.drawImage(QPoint(0, 0), shown(side));
        painter.restore();
    };
    const QRect all = event->rect();
    if (!split_) {
        draw(leading(), all);
        return;
    }
    draw(leading(), all.intersected(QRect(0, 0, dividerScreen, height())));
    draw(other, all.intersected(QRect(dividerScreen, 0, width() - dividerScreen, height())));
    if (divider_ > 0 && divider_ < pictures_[0].width()) {
        painter.setPen(kDividerColour);
        painter.drawLine(dividerScreen, 0, dividerScreen, contentSize().height() - 1);
    }
}

void CCompareView::mousePressEvent(QMouseEvent* event)
{
    if (split_ && event->button() == Qt::LeftButton)
        setDivider(dividerAt(event->position().toPoint().x()));
}

void CCompareView::mouseMoveEvent(QMouseEvent* event)
{
    if (split_ && event->buttons().testFlag(Qt::LeftButton))
        setDivider(dividerAt(event->position().toPoint().x()));
}

void CCompareView::keyPressEvent(QKeyEvent* event)
{
    const bool plain = event->modifiers() == Qt::NoModifier;
    const bool control = event->modifiers() == Qt::ControlModifier;
    if (plain && (event->key() == Qt::Key_Space || event->key() == Qt::Key_T))
        toggle();
    else if (plain && event->key() == Qt::Key_S)
        setSplit(!split_);
    else if (control && (event->key() == Qt::Key_Equal || event->key() == Qt::Key_Plus))
        setZoom(zoomIn(zoom_));
    else if (control && event->key() == Qt::Key_Minus)
        setZoom(zoomOut(zoom_));
    else if (control && event->key() == Qt::Key_0)
        setZoom(Zoom{});
    else
        QWidget::keyPressEvent(event);
}

void CCompareView::wheelEvent(QWheelEvent* event)
{
    if (const std::optional<Zoom> zoom = wheelZoom(event, zoom_))
        setZoom(*zoom);
}

} // namespace nubo
