#pragma once

#include "common/status.h"

#include <string>

namespace nubo::test {

// Whether `status` succeeded, keeping its reason in `reason` for the test's own checks and failure messages:
// EXPECT_FALSE(keepReason(decodePlane(...), reason)); EXPECT_NE(reason.find("truncated"), npos).
inline bool keepReason(const Status& status, std::string& reason)
{
    reason = status.reason();
    return status.ok();
}

} // namespace nubo::test
