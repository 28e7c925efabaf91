#pragma once

#include <QString>

#include <functional>
#include <thread>

namespace nubo {

// Runs one piece of coding on a new worker thread while the calling (user-interface) thread shows a modal
// WaitDialog with the message, so the windows keep repainting. The worker ends the dialog with 1 when the work
// returned, or with 0 when it threw (an allocation that failed). Returns that result once the worker has ended;
// only then may the caller read what the work wrote.
int runWithWaitDialog(const QString& message, const std::function<void()>& work);

// The thread that ran the most recent coding work (a default id before any ran), for checks that the coding
// never runs on the user-interface thread.
std::thread::id lastCodingThread();

} // namespace nubo
