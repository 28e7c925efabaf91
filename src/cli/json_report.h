#pragma once

#include "commands/file_commands.h"

#include <string>

namespace nubo::cli {

// nubo-cli's --json output of each command: one compact JSON object, without the line break after it.

std::string encodeJson(const EncodeFileRequest& request, const EncodeFileResult& result);
std::string decodeJson(const DecodeFileRequest& request, const DecodeFileResult& result);
std::string testJson(const TestFileRequest& request, const TestFileResult& result);
std::string compareJson(const CompareFilesRequest& request, const CompareFilesResult& result);
std::string infoJson(const std::string& input, const StreamFileInfo& result);

// One JSON Lines line of a sweep (null where a figure is unknown or infinite).
std::string sweepJsonLine(const std::string& input, SweepVary vary, const SweepPoint& point);

} // namespace nubo::cli
