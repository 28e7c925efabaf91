#include "shell/coding_worker.h"

#include "shell/message_boxes.h"
#include "shell/wait_dialog.h"

#include <atomic>

namespace nubo {

namespace {

std::atomic<std::thread::id>& codingThread()
{
    static std::atomic<std::thread::id> id{};
    return id;
}

} // namespace

int runWithWaitDialog(const QString& message, const std::function<void()>& work)
{
    WaitDialog dialog(messageBoxOwner());
    dialog.setMessage(message);
    std::thread worker([&dialog, &work] {
        codingThread().store(std::this_thread::get_id());
        int result = 1;
        try {
            work();
        } catch (...) {
            result = 0;
        }
        dialog.endFromWorker(result);
    });
    const int result = dialog.run();
    // The dialog ends only through the worker, so this join returns at once; it still guards the case of an
    // event loop left early (the application quitting), where the work must end before its inputs go.
    worker.join();
    return result;
}

std::thread::id lastCodingThread() { return codingThread().load(); }

} // namespace nubo
