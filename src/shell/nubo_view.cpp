#include "shell/nubo_view.h"

#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/document_manager.h"
#include "shell/message_boxes.h"
#include "shell/nubo_doc.h"
#include "shell/ratio_dialog.h"
#include "shell/view_renderer.h"
#include "shell/wheel_zoom.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMdiArea>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

namespace nubo {

namespace {

QRect toQRect(const ViewRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

ViewRect toViewRect(const QRect& r) { return {r.left(), r.top(), r.right() + 1, r.bottom() + 1}; }

// Auto-scrolling: how often the view scrolls while the pointer stays past the edge, and how far per step at most.
constexpr int kAutoScrollIntervalMs = 30;
constexpr int kAutoScrollMaxStep = 40;

// The client area of a frame is at least this large, even for a smaller picture.
constexpr int kMinClientWidth = 100;
constexpr int kMinClientHeight = 50;

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
    // Takes the keyboard when clicked or when its window is activated, for Delete and Esc.
    setFocusPolicy(Qt::StrongFocus);
    updateMinimumSize();
    autoScroll_.setInterval(kAutoScrollIntervalMs);
    connect(&autoScroll_, &QTimer::timeout, this, [this] {
        if (!autoScrollStep())
            autoScroll_.stop();
    });
    document_->addView(this);
}

CnuboView::~CnuboView() { document_->removeView(this); }

CChildFrame* CnuboView::frame() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* f = qobject_cast<CChildFrame*>(w))
            return f;
    return nullptr;
}

QScrollArea* CnuboView::scrollArea() const
{
    CChildFrame* f = frame();
    return f ? f->scrollArea() : nullptr;
}

QSize CnuboView::contentSize() const
{
    const RasterImage& picture = document_->data().image();
    if (!picture.isValid())
        return QSize(0, 0);
    return QSize(zoom_.screenLength(picture.width()), zoom_.screenLength(std::abs(picture.height())));
}

QSize CnuboView::sizeHint() const
{
    const RasterImage& picture = document_->data().image();
    const QSize content = contentSize();
    return picture.isValid() ? QSize(std::max(content.width(), 100), std::max(content.height(), 50))
                             : QSize(320, 240);
}

void CnuboView::updateMinimumSize()
{
    setMinimumSize(contentSize().expandedTo(QSize(1, 1)));
    // The scroll area lays its widget out again: the view fills the client area, or scrolls when larger.
    if (QScrollArea* scroll = scrollArea())
        scroll->setWidgetResizable(true);
}

void CnuboView::fitFrame()
{
    CChildFrame* f = frame();
    if (!f)
        return;
    const QSize content = contentSize();
    int w = std::max(content.width(), kMinClientWidth);
    int h = std::max(content.height(), kMinClientHeight);
    if (!zoom_.isActualSize() && f->mdiArea()) {
        // A magnified picture must not make a window larger than the area that shows it.
        const QSize room = f->mdiArea()->viewport()->size() - (f->size() - f->scrollArea()->size());
        w = std::min(w, std::max(room.width(), kMinClientWidth));
        h = std::min(h, std::max(room.height(), kMinClientHeight));
    }
    f->fitClientArea(w, h);
}

void CnuboView::pictureReplaced()
{
    reduced_.reset();
    updateMinimumSize();
}

QPoint CnuboView::toPicture(QPoint viewPos) const
{
    return QPoint(zoom_.toPicture(viewPos.x()), zoom_.toPicture(viewPos.y()));
}

QImage CnuboView::renderArea(const QRect& area) const { return renderAt(area, zoom_); }

QImage CnuboView::renderAt(const QRect& area, Zoom zoom) const
{
    const DocumentData& doc = document_->data();
    if (zoom.isActualSize())
        return renderView(doc, editor_.rubberBand(), area);

    if (zoom.magnifies()) {
        // The 1:1 composition of the picture pixels the area shows, each repeated factor x factor times.
        const ViewRect shown = zoom.toPicture(toViewRect(area));
        const QImage composed = renderView(doc, editor_.rubberBand(), toQRect(shown));
        QImage magnified(composed.width() * zoom.factor, composed.height() * zoom.factor, QImage::Format_RGB32);
        if (composed.isNull() || magnified.isNull())
            return QImage();
        magnifyPixels(reinterpret_cast<const std::uint32_t*>(composed.constBits()), composed.width(),
                      composed.height(), static_cast<int>(composed.bytesPerLine() / 4), zoom.factor,
                      reinterpret_cast<std::uint32_t*>(magnified.bits()),
                      static_cast<int>(magnified.bytesPerLine() / 4));
        return magnified.copy(area.translated(-shown.left * zoom.factor, -shown.top * zoom.factor));
    }

    // Reduced: the averaged picture with the outlines and labels composed at screen size.
    if (!reduced_ || reduced_->width() != zoom.screenLength(doc.image().width()))
        reduced_ = std::make_unique<RasterImage>(reducePicture(doc.image(), zoom.divisor));
    DocumentData shown;
    buildReducedDocument(doc, *reduced_, zoom.divisor, shown);
    std::optional<Region> band;
    if (const Region* r = editor_.rubberBand())
        band = reduceRegion(*r, zoom.divisor);
    return renderView(shown, band ? &*band : nullptr, area);
}

void CnuboView::setZoom(Zoom zoom, std::optional<QPoint> anchor)
{
    if (zoom == zoom_)
        return;
    QScrollArea* scroll = scrollArea();
    // The view position to keep fixed on screen, and the picture point under it.
    QPoint viewportPos;
    if (scroll) {
        viewportPos = anchor ? mapTo(scroll->viewport(), *anchor) : scroll->viewport()->rect().center();
    }
    const QPoint viewPos = scroll ? mapFrom(scroll->viewport(), viewportPos) : QPoint();
    const double px = (viewPos.x() + 0.5) * zoom_.divisor / zoom_.factor;
    const double py = (viewPos.y() + 0.5) * zoom_.divisor / zoom_.factor;

    zoom_ = zoom;
    reduced_.reset();
    updateMinimumSize();
    if (scroll) {
        const int nx = static_cast<int>(px * zoom_.factor / zoom_.divisor);
        const int ny = static_cast<int>(py * zoom_.factor / zoom_.divisor);
        scroll->horizontalScrollBar()->setValue(nx - viewportPos.x());
        scroll->verticalScrollBar()->setValue(ny - viewportPos.y());
    }
    update();
    emit zoomChanged();
}

void CnuboView::fitInWindow()
{
    const RasterImage& picture = document_->data().image();
    QScrollArea* scroll = scrollArea();
    const QSize area = scroll ? scroll->maximumViewportSize() : size();
    setZoom(fitZoom(picture.width(), std::abs(picture.height()), area.width(), area.height()));
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
        painter.drawImage(QPoint(0, 0), renderAt(area, Zoom{}));
}

void CnuboView::apply(const EditResult& result)
{
    for (const ViewRect& r : result.repaint) {
        if (r.isEmpty())
            continue;
        update(toQRect(zoom_.toScreen(r)));
        // Reduced, the background label keeps its screen size.
        if (zoom_.reduces() && r == RegionEditor::kBackgroundLabelArea)
            update(toQRect(r));
    }
    if (result.movePointerTo)
        QCursor::setPos(mapToGlobal(
            QPoint(zoom_.pixelCentre(result.movePointerTo->x), zoom_.pixelCentre(result.movePointerTo->y))));
}

void CnuboView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = toPicture(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        RegionState before = captureRegions(document_->data());
        apply(editor_.press(p.x(), p.y()));
        if (editor_.dragging())
            dragBefore_ = std::move(before); // the release (or an abandoned drag) ends this edit
        else
            document_->recordEdit(before);
    } else if (event->button() == Qt::RightButton) {
        const EditResult result = editor_.rightClick(p.x(), p.y());
        apply(result);
        document_->recordEdit(captureRegions(document_->data())); // a selection change: the inspector follows
        showContextMenu(result.menu, event->globalPosition().toPoint());
    }
}

void CnuboView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint viewPos = event->position().toPoint();
    const QPoint p = toPicture(viewPos);
    apply(editor_.move(p.x(), p.y(), event->buttons().testFlag(Qt::LeftButton)));
    if (dragBefore_ && !editor_.dragging()) {
        // An abandoned drag: a resize lost its region.
        const RegionState before = std::move(*dragBefore_);
        dragBefore_.reset();
        document_->recordEdit(before);
    }
    reportPointer(p);
    followDrag(viewPos);
}

void CnuboView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    autoScroll_.stop();
    const QPoint p = toPicture(event->position().toPoint());
    const RegionState before = dragBefore_ ? std::move(*dragBefore_) : captureRegions(document_->data());
    dragBefore_.reset();
    apply(editor_.release(p.x(), p.y()));
    document_->recordEdit(before);
}

void CnuboView::abandonDrag()
{
    autoScroll_.stop();
    dragBefore_.reset();
    if (editor_.dragging())
        apply(editor_.move(0, 0, false));
}

void CnuboView::editAndRecord(const std::function<EditResult()>& step)
{
    const RegionState before = captureRegions(document_->data());
    apply(step());
    document_->recordEdit(before);
}

void CnuboView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier && !editor_.dragging()) {
        onCommand(cmd::DeleteRegion);
        return;
    }
    if (event->key() == Qt::Key_Escape && editor_.dragging()) {
        autoScroll_.stop();
        apply(editor_.cancelDrag());
        if (dragBefore_) {
            const RegionState before = std::move(*dragBefore_);
            dragBefore_.reset();
            document_->recordEdit(before);
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void CnuboView::wheelEvent(QWheelEvent* event)
{
    if (const std::optional<Zoom> zoom = wheelZoom(event, zoom_))
        setZoom(*zoom, event->position().toPoint()); // the picture point under the pointer stays
}

void CnuboView::followDrag(QPoint viewPos)
{
    QScrollArea* scroll = scrollArea();
    if (!scroll || !editor_.dragging()) {
        autoScroll_.stop();
        return;
    }
    dragViewportPos_ = mapTo(scroll->viewport(), viewPos);
    if (!scroll->viewport()->rect().contains(dragViewportPos_)) {
        if (!autoScroll_.isActive())
            autoScroll_.start();
    } else {
        autoScroll_.stop();
    }
}

bool CnuboView::autoScrollStep()
{
    QScrollArea* scroll = scrollArea();
    if (!scroll || !editor_.dragging())
        return false;
    const QRect visible = scroll->viewport()->rect();
    // The farther past the edge, the faster, up to a limit.
    const auto stepFor = [](int pos, int low, int high) {
        if (pos < low)
            return -std::min(low - pos, kAutoScrollMaxStep);
        if (pos > high)
            return std::min(pos - high, kAutoScrollMaxStep);
        return 0;
    };
    QScrollBar* hbar = scroll->horizontalScrollBar();
    QScrollBar* vbar = scroll->verticalScrollBar();
    const int oldX = hbar->value();
    const int oldY = vbar->value();
    hbar->setValue(oldX + stepFor(dragViewportPos_.x(), visible.left(), visible.right()));
    vbar->setValue(oldY + stepFor(dragViewportPos_.y(), visible.top(), visible.bottom()));
    if (hbar->value() == oldX && vbar->value() == oldY)
        return false;
    // The content moved under the still pointer: the drag continues at the picture point now under it.
    const QPoint p = toPicture(mapFrom(scroll->viewport(), dragViewportPos_));
    apply(editor_.move(p.x(), p.y(), true));
    return true;
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
    // pos is a picture point: the status bar speaks in picture coordinates at every zoom.
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
        addCommand(codec, QStringLiteral("Wavelet (colour)"), cmd::CodecWaveletColour);
        addCommand(codec, QStringLiteral("Arithmetic"), cmd::CodecArithmetic);
        addCommand(codec, QStringLiteral("Lossless (predictive)"), cmd::CodecPredictive);
        addCommand(&menu, QStringLiteral("Set Ratio"), cmd::SetRatio);
        addCommand(&menu, QStringLiteral("Delete"), cmd::DeleteRegion);
    } else {
        menu.setObjectName(QStringLiteral("BGPOPUP"));
        addCommand(&menu, QStringLiteral("Set Background Ratio"), cmd::SetBackgroundRatio);
        QMenu* coder = menu.addMenu(QStringLiteral("Background Codec Type"));
        coder->setObjectName(QStringLiteral("Background Codec Type"));
        addCommand(coder, QStringLiteral("Wavelet"), cmd::BackgroundCodecWavelet);
        addCommand(coder, QStringLiteral("Wavelet (colour)"), cmd::BackgroundCodecWaveletColour);
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
        editAndRecord([&] { return editor_.setRatio(dialog.ratio()); });
}

void CnuboView::editBackgroundRatio()
{
    CRatioDialog dialog(messageBoxOwner());
    dialog.setPrompt(QStringLiteral("Insert Ratio for Background:"));
    dialog.setRatio(document_->data().background().ratio());
    if (dialog.exec() == QDialog::Accepted)
        editAndRecord([&] { return editor_.setBackgroundRatio(dialog.ratio()); });
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
    case cmd::CodecPredictive:
        state = {true, editor_.selectedKindIs(CoderKind::Predictive)};
        return true;
    case cmd::CodecWaveletColour:
        state = {true, editor_.selectedKindIs(CoderKind::WaveletColour)};
        return true;
    case cmd::BackgroundCodecWavelet:
        state = {true, editor_.backgroundKindIs(CoderKind::Wavelet)};
        return true;
    case cmd::BackgroundCodecWaveletColour:
        state = {true, editor_.backgroundKindIs(CoderKind::WaveletColour)};
        return true;
    case cmd::SetRatio:
        state = {editor_.canSetRatio(), std::nullopt};
        return true;
    case cmd::ZoomIn:
        state = {zoom_ != zoomSteps().back(), std::nullopt};
        return true;
    case cmd::ZoomOut:
        state = {zoom_ != zoomSteps().front(), std::nullopt};
        return true;
    case cmd::ZoomActualSize:
        state = {true, zoom_.isActualSize()};
        return true;
    case cmd::ZoomFitWindow:
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
        editAndRecord([this] { return editor_.setCoderKind(CoderKind::Wavelet); });
        return true;
    case cmd::CodecArithmetic:
        editAndRecord([this] { return editor_.setCoderKind(CoderKind::Arithmetic); });
        return true;
    case cmd::CodecPredictive:
        editAndRecord([this] { return editor_.setCoderKind(CoderKind::Predictive); });
        return true;
    case cmd::CodecWaveletColour:
        editAndRecord([this] { return editor_.setCoderKind(CoderKind::WaveletColour); });
        return true;
    case cmd::BackgroundCodecWavelet:
        editAndRecord([this] { return editor_.setBackgroundCoderKind(CoderKind::Wavelet); });
        return true;
    case cmd::BackgroundCodecWaveletColour:
        editAndRecord([this] { return editor_.setBackgroundCoderKind(CoderKind::WaveletColour); });
        return true;
    case cmd::SetRatio:
        editRegionRatio();
        return true;
    case cmd::DeleteRegion:
        editAndRecord([this] { return editor_.deleteSelected(); });
        return true;
    case cmd::SetBackgroundRatio:
        editBackgroundRatio();
        return true;
    case cmd::ZoomIn:
        setZoom(zoomIn(zoom_));
        fitFrame();
        return true;
    case cmd::ZoomOut:
        setZoom(zoomOut(zoom_));
        fitFrame();
        return true;
    case cmd::ZoomActualSize:
        setZoom(Zoom{});
        fitFrame();
        return true;
    case cmd::ZoomFitWindow:
        fitInWindow();
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
