#pragma once

#include "image/raster_image.h"
#include "workbench/zoom.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace nubo {

// Two pictures of one size in one widget, at one zoom and one scroll position, so that both always show the same
// picture point. Split: the left picture left of a vertical divider, the right one beyond it; pressing and
// dragging the mouse moves the divider. Single: one picture fills the view. Space or T swaps the two pictures
// (in single mode: shows the other one), S switches between split and single; Ctrl+wheel, Ctrl+=, Ctrl+- and
// Ctrl+0 zoom in the steps of the document views (nearest pixel when magnified, averaged when reduced).
class CCompareView : public QWidget {
    Q_OBJECT
public:
    enum class Side { First, Second };

    // first and second must have the same size; the divider starts in the middle.
    CCompareView(const RasterImage& first, const RasterImage& second, QWidget* parent = nullptr);
    ~CCompareView() override;

    const RasterImage& picture(Side side) const { return pictures_[side == Side::First ? 0 : 1]; }

    bool split() const { return split_; }
    void setSplit(bool split);
    // Swaps the pictures: the one on the left (or shown alone) becomes the other.
    void toggle();
    // The picture on the left of the divider, or the one shown alone.
    Side leading() const { return swapped_ ? Side::Second : Side::First; }
    // The picture shown at a picture column.
    Side sideAt(int pictureX) const;

    // The first picture column right of the divider (0 to the picture's width).
    int divider() const { return divider_; }
    void setDivider(int pictureX);

    Zoom zoom() const { return zoom_; }
    void setZoom(Zoom zoom);

    QSize contentSize() const;
    QSize sizeHint() const override;

signals:
    // The mode, the divider, the order or the zoom changed.
    void stateChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    const QImage& shown(Side side) const;
    void changed();
    int dividerAt(int viewX) const;

    RasterImage pictures_[2];
    // The pictures as painted at the current zoom: 1:1 copies, or reduced ones when the zoom reduces.
    mutable QImage shown_[2];
    mutable Zoom shownZoom_{0, 0};
    bool split_ = true;
    bool swapped_ = false;
    int divider_ = 0;
    Zoom zoom_;
};

// The picture as a Qt image of the same pixels.
QImage toQImage(const RasterImage& picture);

} // namespace nubo
