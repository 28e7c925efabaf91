#include "shell/shell_icons.h"

#include "shell/command_ids.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace nubo {

namespace {

// Icons are drawn at 16 x 16 and twice that, so that they stay sharp on scaled screens.
QIcon drawnIcon(const std::function<void(QPainter&)>& draw)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QImage image(16 * scale, 16 * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        draw(p);
        p.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

void page(QPainter& p, QRectF r)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 4, r.top());
    path.lineTo(r.right(), r.top() + 4);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 4, r.top()), QPointF(r.right() - 4, r.top() + 4));
    p.drawLine(QPointF(r.right() - 4, r.top() + 4), QPointF(r.right(), r.top() + 4));
}

} // namespace

QIcon appIcon()
{
    return drawnIcon([](QPainter& p) {
        QLinearGradient sky(0, 0, 16, 16);
        sky.setColorAt(0, QColor(70, 110, 180));
        sky.setColorAt(1, QColor(200, 140, 80));
        p.setPen(QPen(QColor(40, 40, 40), 1));
        p.setBrush(sky);
        p.drawRect(QRectF(0.5, 1.5, 15, 13));
        p.setPen(QPen(QColor(160, 160, 3), 1.2, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(4.5, 4.5, 7, 6));
    });
}

QIcon toolbarIcon(int commandId)
{
    switch (commandId) {
    case cmd::FileNew:
        return drawnIcon([](QPainter& p) { page(p, QRectF(3.5, 1.5, 9, 13)); });
    case cmd::FileOpen:
        return drawnIcon([](QPainter& p) {
            p.setPen(QPen(QColor(120, 90, 20), 1));
            p.setBrush(QColor(240, 200, 90));
            p.drawRect(QRectF(1.5, 4.5, 12, 9));
            p.setBrush(QColor(250, 220, 120));
            QPolygonF flap({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)});
            p.drawPolygon(flap);
        });
    case cmd::FileSave:
        return drawnIcon([](QPainter& p) {
            p.setPen(QPen(QColor(20, 40, 90), 1));
            p.setBrush(QColor(60, 100, 190));
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(200, 200, 200));
            p.drawRect(QRectF(3.5, 9.5, 9, 5));
        });
    case cmd::EditCut:
        return drawnIcon([](QPainter& p) {
            p.setPen(QPen(QColor(40, 40, 40), 1.3));
            p.drawLine(QPointF(5, 1), QPointF(10, 11));
            p.drawLine(QPointF(11, 1), QPointF(6, 11));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(4.5, 12.5), 2.5, 2.5);
            p.drawEllipse(QPointF(11.5, 12.5), 2.5, 2.5);
        });
    case cmd::EditCopy:
        return drawnIcon([](QPainter& p) {
            page(p, QRectF(1.5, 1.5, 8, 10));
            page(p, QRectF(6.5, 4.5, 8, 10));
        });
    case cmd::EditPaste:
        return drawnIcon([](QPainter& p) {
            p.setPen(QPen(QColor(90, 60, 20), 1));
            p.setBrush(QColor(190, 140, 70));
            p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
            p.setBrush(QColor(160, 160, 160));
            p.drawRect(QRectF(4.5, 1.5, 4, 2));
            page(p, QRectF(7.5, 6.5, 7, 8));
        });
    case cmd::FilePrint:
        return drawnIcon([](QPainter& p) {
            p.setPen(QPen(QColor(50, 50, 50), 1));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 6));
            p.setBrush(QColor(170, 170, 170));
            p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
        });
    case cmd::AppAbout:
        return drawnIcon([](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 90, 190));
            p.drawEllipse(QRectF(1, 1, 14, 14));
            QFont font = p.font();
            font.setPixelSize(11);
            font.setBold(true);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
        });
    default:
        return {};
    }
}

} // namespace nubo
