#include "shell/coding_worker.h"

#include "shell/message_boxes.h"
#include "shell/wait_dialog.h"

#include <atomic>
#include <exception>
#include <string>

namespace nubo {

namespace {

std::atomic<std::thread::id>& codingThread()
{
    static std::atomic<std::thread::id> id{};
    return id;
}

} // namespace

Status runWithWaitDialog(const QString& message, const std::function<void()>& work)
{
    WaitDialog dialog(messageBoxOwner());
    dialog.setMessage(message);
    Status status;
    std::thread worker([&dialog, &work, &status] {
        codingThread().store(std::this_thread::get_id());
        try {
            work();
        } catch (const std::exception& error) {
            status = failure(std::string("the coding stopped: ") + error.what());
        } catch (...) {
            status = failure("the coding stopped on an unknown error");
        }
        dialog.endFromWorker(status.ok() ? 1 : 0);
    });
    dialog.run();
    // The dialog ends only through the worker, so this join returns at once; it still guards the case of an
    // event loop left early (the application quitting), where the work must end before its inputs go. The
    // status is read only after it.
    worker.join();
    return status;
}

std::thread::id lastCodingThread() { return codingThread().load(); }

} // namespace nubo
