#include "shell/sweep_runner.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <exception>
#include <optional>
#include <string>
#include <thread>

namespace nubo {

StatusOr<SweepResult> runSweepWithProgress(const DocumentData& document, const std::vector<int>& ratios,
                                           SweepVary vary, QWidget* owner)
{
    const int total = static_cast<int>(ratios.size());
    QProgressDialog progress(QStringLiteral("Sweeping..."), QStringLiteral("Cancel"), 0, total, owner);
    progress.setObjectName(QStringLiteral("SweepProgress"));
    progress.setWindowTitle(QStringLiteral("Rate-distortion curve"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setValue(0);

    std::atomic<bool> cancelled{false};
    QObject::connect(&progress, &QProgressDialog::canceled, [&cancelled, &progress] {
        cancelled = true;
        progress.setLabelText(QStringLiteral("Cancelling after the ratio in progress..."));
    });
    // The worker only publishes how far it got; the dialog, which lives on this thread, polls that. Nothing the
    // worker made crosses to this thread but through these atomics and the join.
    std::atomic<int> started{0};
    std::atomic<bool> finished{false};
    std::optional<StatusOr<SweepResult>> outcome;
    std::thread worker([&] {
        const auto report = [&](int done, int, const SweepPoint*) {
            started = done;
            return !cancelled;
        };
        try {
            outcome.emplace(runRateSweep(document, ratios, vary, report));
        } catch (const std::exception& error) {
            outcome.emplace(failure(std::string("the sweep stopped: ") + error.what()));
        }
        finished = true;
    });

    QEventLoop loop;
    QTimer poll;
    int shown = -1;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (finished) {
            loop.quit();
            return;
        }
        const int done = started;
        if (cancelled || done == shown)
            return;
        shown = done;
        progress.setValue(done);
        if (done < total)
            progress.setLabelText(QStringLiteral("Sweeping ratio %1 (%2 of %3)...")
                                      .arg(ratios[static_cast<std::size_t>(done)])
                                      .arg(done + 1)
                                      .arg(total));
    });
    poll.start(30);
    progress.show();
    loop.exec();
    // The loop ends only when the worker is done; the join still guards an event loop left early (the application
    // quitting), where the sweep must end before its inputs go.
    worker.join();
    return std::move(*outcome);
}

} // namespace nubo
