#pragma once

#include "common/status.h"

#include <QString>

#include <functional>
#include <thread>

namespace nubo {

// Runs one piece of coding on a new worker thread while the calling (user-interface) thread shows a modal
// WaitDialog with the message, so the windows keep repainting. Returns once the worker has ended (only then may
// the caller read what the work wrote): success when the work returned, a failure with the exception's words when
// it threw (an allocation that failed).
Status runWithWaitDialog(const QString& message, const std::function<void()>& work);

// The thread that ran the most recent coding work (a default id before any ran), for checks that the coding
// never runs on the user-interface thread.
std::thread::id lastCodingThread();

} // namespace nubo
