#pragma once

#include "common/status.h"

#include <span>
#include <string>
#include <string_view>

namespace nubo {

// Writes bytes to path so that the file either holds all of them or keeps what it held before: the bytes go to a
// temporary file in the same folder, are flushed to disk, and the temporary then replaces the target by rename.
// On failure the temporary is removed and the status says why.
Status writeFileAtomically(const std::string& path, std::string_view bytes);
// As above, the file's bytes being the pieces one after another, written as they lie (never joined in memory first).
Status writeFileAtomically(const std::string& path, std::span<const std::string_view> pieces);

// The whole content of a file, or why it cannot be opened or read.
StatusOr<std::string> readWholeFile(const std::string& path);

} // namespace nubo
