#include "shell/compare_window.h"

#include "image/picture_difference.h"
#include "shell/compare_view.h"
#include "shell/document_manager.h"
#include "shell/message_boxes.h"
#include "shell/nubo_doc.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace nubo {

namespace {

bool sameSize(const RasterImage& a, const RasterImage& b)
{
    return a.isValid() && b.isValid() && a.width() == b.width() && a.height() == b.height();
}

// The window opens at the picture's size, within a sensible screen share.
constexpr int kLargestOpeningSide = 900;

} // namespace

CnuboDoc* comparePartner(const DocumentManager& documents, const CnuboDoc* active)
{
    const QList<CnuboDoc*> open = documents.documents();
    const qsizetype start = open.indexOf(const_cast<CnuboDoc*>(active));
    if (!active || start < 0)
        return nullptr;
    for (qsizetype step = 1; step < open.size(); ++step) {
        CnuboDoc* candidate = open[(start + step) % open.size()];
        if (sameSize(active->data().image(), candidate->data().image()))
            return candidate;
    }
    return nullptr;
}

CCompareWindow::CCompareWindow(DocumentManager& documents, const CnuboDoc& first, const CnuboDoc& second,
                               QWidget* parent)
    : QWidget(parent, Qt::Window),
      documents_(&documents),
      titles_{first.title(), second.title()},
      view_(new CCompareView(first.data().image(), second.data().image())),
      scroll_(new QScrollArea),
      state_(new QLabel),
      gain_(new QSpinBox),
      difference_(new QPushButton(QStringLiteral("Difference picture")))
{
    setObjectName(QStringLiteral("CompareViews"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Compare views - %1 / %2").arg(titles_[0], titles_[1]));

    scroll_->setWidget(view_);
    scroll_->setWidgetResizable(true);
    scroll_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    gain_->setRange(kMinDifferenceGain, kMaxDifferenceGain);
    gain_->setValue(4);
    gain_->setPrefix(QStringLiteral("x"));
    gain_->setToolTip(QStringLiteral("How much the differences are amplified"));

    auto* controls = new QHBoxLayout;
    controls->addWidget(state_, 1);
    controls->addWidget(new QLabel(QStringLiteral("Amplification:")));
    controls->addWidget(gain_);
    controls->addWidget(difference_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(controls);
    layout->addWidget(scroll_, 1);

    connect(view_, &CCompareView::stateChanged, this, &CCompareWindow::showState);
    connect(difference_, &QPushButton::clicked, this, [this] { openDifference(); });
    showState();

    const QSize opening = view_->contentSize().boundedTo(QSize(kLargestOpeningSide, kLargestOpeningSide));
    resize(std::max(opening.width() + 24, 480), opening.height() + 60);
    view_->setFocus();
}

void CCompareWindow::showState()
{
    const auto title = [this](CCompareView::Side side) {
        return titles_[side == CCompareView::Side::First ? 0 : 1];
    };
    const CCompareView::Side lead = view_->leading();
    const CCompareView::Side other =
        lead == CCompareView::Side::First ? CCompareView::Side::Second : CCompareView::Side::First;
    const QString zoom = QString::fromStdString(view_->zoom().percentText());
    state_->setText(view_->split()
                        ? QStringLiteral("%1 | %2   %3   (drag: divider, Space: swap, S: single)")
                              .arg(title(lead), title(other), zoom)
                        : QStringLiteral("%1   %2   (Space: other picture, S: split)").arg(title(lead), zoom));
}

CnuboDoc* CCompareWindow::openDifference()
{
    if (!documents_)
        return nullptr;
    StatusOr<RasterImage> difference = differencePicture(view_->picture(CCompareView::Side::First),
                                                            view_->picture(CCompareView::Side::Second), gain_->value());
    if (!difference) {
        showMessage(QMessageBox::Information, QStringLiteral("Error"), QString::fromStdString(difference.reason()));
        return nullptr;
    }
    CnuboDoc* document = documents_->createDocument(QStringLiteral("difference x%1").arg(gain_->value()));
    document->data().image() = std::move(*difference);
    document->refreshViews();
    return document;
}

CCompareWindow* openCompareWindow(DocumentManager& documents, QWidget* parent)
{
    CnuboDoc* active = documents.activeDocument();
    CnuboDoc* partner = comparePartner(documents, active);
    if (!partner)
        return nullptr;
    auto* window = new CCompareWindow(documents, *active, *partner, parent);
    window->show();
    return window;
}

} // namespace nubo
