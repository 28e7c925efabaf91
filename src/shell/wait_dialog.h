#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>

#include <atomic>

class QLabel;
class QTimer;

namespace nubo {

// The small untitled box shown while a coding worker runs: a message and a bar that grows and shrinks every
// 400 ms. Only its worker ends it (endFromWorker); Esc and the close button do nothing until then, so the command
// never goes on while the worker still uses the document or the stream.
class WaitDialog : public QDialog {
    Q_OBJECT
public:
    explicit WaitDialog(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    QString message() const;
    QString animationText() const;
    int animationStep() const { return step_; }

    // The bar shown at an animation step 0 ... 9: 0 and 8 "|", 1 and 7 "||", 2 and 6 "|||", 3 and 5 "||||",
    // 4 "|||||", 9 " ".
    static QString animationFrame(int step);

    // Safe from any thread: records the worker's result, which the dialog's thread picks up within a few
    // milliseconds and ends the dialog with. When the dialog is not running yet, run() then shows it only for a
    // moment instead of waiting for an end that has passed.
    void endFromWorker(int result);

    // Runs the dialog modally until the worker has ended it; returns the worker's result.
    int run();

    // True once the worker has ended the dialog.
    bool workEnded() const { return workResult_.load(std::memory_order_acquire) != kRunning; }

public slots:
    // One tick of the 400 ms timer.
    void advanceAnimation();
    // Ignored until the worker has ended the dialog (this is where Esc lands).
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void layOut();
    void closeIfWorkEnded();

    static constexpr int kRunning = -1;

    QLabel* message_;
    QLabel* animation_;
    QTimer* timer_;
    // Not a child, so the animation timer stays the dialog's only one. It polls workResult_: the worker hands over
    // nothing but this atomic, which keeps the hand-over visible to race checkers that cannot see into Qt's
    // event queue.
    QTimer endPoll_;
    int step_ = 0;
    std::atomic<int> workResult_{kRunning};
};

} // namespace nubo
