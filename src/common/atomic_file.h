#pragma once

#include <string>
#include <string_view>

namespace nubo {

// Writes bytes to path so that the file either holds all of them or keeps what it held before: the bytes go to a
// temporary file in the same folder, are flushed to disk, and the temporary then replaces the target by rename.
// On failure the temporary is removed and a one-line reason is kept in *reason when given.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* reason = nullptr);

// Reads a whole file into bytes. Returns false with a reason when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes, std::string* reason = nullptr);

} // namespace nubo
