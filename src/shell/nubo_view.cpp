#include "shell/nubo_view.h"

#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/document_manager.h"
#include "shell/message_boxes.h"
#include "shell/nubo_doc.h"
#include "shell/ratio_dialog.h"
#include "shell/view_renderer.h"

#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>

namespace nubo {

namespace {

QRect toQRect(const ViewRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

QAction* addCommand(QMenu* menu, const QString& text, int id)
{
    QAction* action = menu->addAction(text);
    action->setData(id);
    return action;
}

} // namespace

CnuboView::CnuboView(CnuboDoc* document, QWidget* parent)
    : QWidget(parent), document_(document), editor_(document->data())
{
    // The picture covers the client area, so repaints never erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    document_->addView(this);
}

CnuboView::~CnuboView() { document_->removeView(this); }

CChildFrame* CnuboView::frame() const { return qobject_cast<CChildFrame*>(parentWidget()); }

QSize CnuboView::sizeHint() const
{
    const RasterImage& picture = document_->data().image();
    return picture.isValid() ? QSize(std::max(picture.width(), 100), std::max(picture.height(), 50))
                             : QSize(320, 240);
}

QImage CnuboView::renderArea(const QRect& area) const
{
    return renderView(document_->data(), editor_.rubberBand(), area);
}

void CnuboView::paintEvent(QPaintEvent* event)
{
    const QRect area = event->rect().intersected(rect());
    if (area.isEmpty())
        return;
    QPainter painter(this);
    painter.drawImage(area.topLeft(), renderArea(area));
}

void CnuboView::printTo(QPrinter* printer) const
{
    // A page is white; it gets the picture and, beside a small picture, the background label's area.
    const RasterImage& picture = document_->data().image();
    const QRect area(0, 0, std::max(picture.width(), 160), std::max(picture.height(), 20));
    QPainter painter(printer);
    if (painter.isActive())
        painter.drawImage(QPoint(0, 0), renderArea(area));
}

void CnuboView::apply(const EditResult& result)
{
    for (const ViewRect& r : result.repaint)
        if (!r.isEmpty())
            update(toQRect(r));
    if (result.movePointerTo)
        QCursor::setPos(mapToGlobal(QPoint(result.movePointerTo->x, result.movePointerTo->y)));
}

void CnuboView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        apply(editor_.press(p.x(), p.y()));
    } else if (event->button() == Qt::RightButton) {
        const EditResult result = editor_.rightClick(p.x(), p.y());
        apply(result);
        showContextMenu(result.menu, event->globalPosition().toPoint());
    }
}

void CnuboView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    apply(editor_.move(p.x(), p.y(), event->buttons().testFlag(Qt::LeftButton)));
    reportPointer(p);
}

void CnuboView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    apply(editor_.release(p.x(), p.y()));
}

// A double click is not a second press: the button's second press arrives as this event and is not edited.
void CnuboView::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

void CnuboView::leaveEvent(QEvent* event)
{
    emit statusMessage(QString());
    QWidget::leaveEvent(event);
}

void CnuboView::reportPointer(const QPoint& pos)
{
    const RasterImage& picture = document_->data().image();
    if (!picture.contains(pos.x(), pos.y())) {
        emit statusMessage(QString());
        return;
    }
    const PixelColour c = picture.pixel(pos.x(), pos.y());
    emit statusMessage(QStringLiteral("X: %1  Y: %2    R: %3  G: %4  B: %5")
                           .arg(pos.x())
                           .arg(pos.y())
                           .arg(static_cast<int>(c.r))
                           .arg(static_cast<int>(c.g))
                           .arg(static_cast<int>(c.b)));
}

void CnuboView::showContextMenu(ContextMenu which, const QPoint& globalPos)
{
    if (which == ContextMenu::None)
        return;
    QMenu menu(this);
    if (which == ContextMenu::Region) {
        menu.setObjectName(QStringLiteral("POPUP"));
        QMenu* codec = menu.addMenu(QStringLiteral("Codec Type"));
        codec->setObjectName(QStringLiteral("Codec Type"));
        addCommand(codec, QStringLiteral("Wavelet"), cmd::CodecWavelet);
        addCommand(codec, QStringLiteral("Arithmetic"), cmd::CodecArithmetic);
        addCommand(&menu, QStringLiteral("Set Ratio"), cmd::SetRatio);
        addCommand(&menu, QStringLiteral("Delete"), cmd::DeleteRegion);
    } else {
        menu.setObjectName(QStringLiteral("BGPOPUP"));
        addCommand(&menu, QStringLiteral("Set Background Ratio"), cmd::SetBackgroundRatio);
    }
    // Enabling and check marks as they stand when the menu opens.
    for (QAction* action : menu.findChildren<QAction*>()) {
        bool ok = false;
        const int id = action->data().toInt(&ok);
        CommandState state;
        if (!ok || !commandState(id, state))
            continue;
        action->setEnabled(state.enabled);
        action->setCheckable(state.checked.has_value());
        action->setChecked(state.checked.value_or(false));
    }
    if (QAction* chosen = menu.exec(globalPos))
        onCommand(chosen->data().toInt());
}

void CnuboView::editRegionRatio()
{
    const std::optional<int> current = editor_.selectedRatio();
    if (!current)
        return;
    CRatioDialog dialog(messageBoxOwner());
    dialog.setRatio(*current);
    if (dialog.exec() == QDialog::Accepted)
        apply(editor_.setRatio(dialog.ratio()));
}

void CnuboView::editBackgroundRatio()
{
    CRatioDialog dialog(messageBoxOwner());
    dialog.setPrompt(QStringLiteral("Insert Ratio for Background:"));
    dialog.setRatio(document_->data().background().ratio());
    if (dialog.exec() == QDialog::Accepted)
        apply(editor_.setBackgroundRatio(dialog.ratio()));
}

void CnuboView::print()
{
    QPrinter& printer = document_->manager().printer();
    QPrintDialog dialog(&printer, messageBoxOwner());
    if (dialog.exec() == QDialog::Accepted)
        printTo(&printer);
}

void CnuboView::printPreview()
{
    QPrintPreviewDialog preview(&document_->manager().printer(), messageBoxOwner());
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) { printTo(printer); });
    preview.exec();
}

bool CnuboView::commandState(int id, CommandState& state) const
{
    switch (id) {
    case cmd::CodecWavelet:
        state = {true, editor_.selectedKindIs(CoderKind::Wavelet)};
        return true;
    case cmd::CodecArithmetic:
        state = {true, editor_.selectedKindIs(CoderKind::Arithmetic)};
        return true;
    case cmd::SetRatio:
        state = {editor_.canSetRatio(), std::nullopt};
        return true;
    case cmd::DeleteRegion:
    case cmd::SetBackgroundRatio:
    case cmd::FilePrint:
    case cmd::FilePrintPreview:
        state = {};
        return true;
    default:
        return false;
    }
}

bool CnuboView::onCommand(int id)
{
    switch (id) {
    case cmd::CodecWavelet:
        apply(editor_.setCoderKind(CoderKind::Wavelet));
        return true;
    case cmd::CodecArithmetic:
        apply(editor_.setCoderKind(CoderKind::Arithmetic));
        return true;
    case cmd::SetRatio:
        editRegionRatio();
        return true;
    case cmd::DeleteRegion:
        apply(editor_.deleteSelected());
        return true;
    case cmd::SetBackgroundRatio:
        editBackgroundRatio();
        return true;
    case cmd::FilePrint:
        print();
        return true;
    case cmd::FilePrintPreview:
        printPreview();
        return true;
    default:
        return false;
    }
}

} // namespace nubo
