#include "shell/wait_dialog.h"

#include "commands/wait_animation.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QTimer>

#include <algorithm>

namespace nubo {

namespace {

constexpr int kEndPollMs = 10;

// The dialog's layout in dialog units: 126 x 24, the message at (7, 7) 91 x 8, the bar at (98, 7) 14 x 10. A
// horizontal unit is a quarter of the font's average character width, a vertical one an eighth of its height.
struct DialogUnits {
    int x;
    int y;
    int w(int units) const { return units * x / 4; }
    int h(int units) const { return units * y / 8; }
};

} // namespace

WaitDialog::WaitDialog(QWidget* parent)
    : QDialog(parent), message_(new QLabel(this)), animation_(new QLabel(this)), timer_(new QTimer(this))
{
    setWindowTitle(QString());
    setModal(true);
    message_->setObjectName(QStringLiteral("message"));
    animation_->setObjectName(QStringLiteral("animation"));
    animation_->setText(QStringLiteral(" "));
    timer_->setInterval(kWaitAnimationPeriodMs);
    connect(timer_, &QTimer::timeout, this, &WaitDialog::advanceAnimation);
    endPoll_.setInterval(kEndPollMs);
    connect(&endPoll_, &QTimer::timeout, this, &WaitDialog::closeIfWorkEnded);

    layOut();
}

void WaitDialog::layOut()
{
    const QFontMetrics metrics(font());
    const DialogUnits du{std::max(1, metrics.averageCharWidth()), std::max(1, metrics.height())};
    // The controls keep their places, but each may grow to its text's width in a font wider than the one the
    // layout was made for.
    const int messageWidth = std::max(du.w(91), metrics.horizontalAdvance(message_->text()));
    const int barWidth = std::max(du.w(14), metrics.horizontalAdvance(animationFrame(4)));
    message_->setGeometry(du.w(7), du.h(7), messageWidth, std::max(du.h(8), metrics.height()));
    animation_->setGeometry(du.w(7) + messageWidth, du.h(7), barWidth, std::max(du.h(10), metrics.height()));
    setFixedSize(std::max(du.w(126), animation_->geometry().right() + 1 + du.w(7)),
                 std::max(du.h(24), animation_->geometry().bottom() + 1 + du.h(7)));
}

void WaitDialog::setMessage(const QString& message)
{
    message_->setText(message);
    layOut();
}

QString WaitDialog::message() const { return message_->text(); }

QString WaitDialog::animationText() const { return animation_->text(); }

QString WaitDialog::animationFrame(int step) { return QString::fromLatin1(waitAnimationFrame(step)); }

void WaitDialog::advanceAnimation()
{
    step_ = (step_ + 1) % kWaitAnimationSteps;
    animation_->setText(animationFrame(step_));
}

void WaitDialog::endFromWorker(int result)
{
    // The first end counts; a later one (a test's safety timer) changes nothing.
    int running = kRunning;
    workResult_.compare_exchange_strong(running, std::max(result, 0), std::memory_order_acq_rel);
}

void WaitDialog::closeIfWorkEnded()
{
    if (workEnded() && isVisible())
        QDialog::done(workResult_.load(std::memory_order_acquire));
}

int WaitDialog::run()
{
    // Shown even when the worker has already ended, so that every coding command shows its message; the first
    // poll then closes it.
    return exec();
}

void WaitDialog::done(int result)
{
    if (workEnded())
        QDialog::done(result);
}

void WaitDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    animation_->setText(QStringLiteral(" "));
    step_ = 0;
    timer_->start();
    endPoll_.start();
}

void WaitDialog::hideEvent(QHideEvent* event)
{
    timer_->stop();
    endPoll_.stop();
    QDialog::hideEvent(event);
}

void WaitDialog::closeEvent(QCloseEvent* event)
{
    if (!workEnded()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace nubo
