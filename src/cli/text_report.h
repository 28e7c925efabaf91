#pragma once

#include "commands/file_commands.h"

#include <iosfwd>
#include <string>

namespace nubo::cli {

// nubo-cli's plain-text output of each command: the workbench's statistic texts with plain line breaks, then
// the tool's own lines and tables.

void printEncodeText(std::ostream& out, const EncodeFileResult& result);
void printDecodeText(std::ostream& out, const DecodeFileResult& result);
void printTestText(std::ostream& out, const TestFileResult& result);
void printCompareText(std::ostream& out, const CompareFilesResult& result);
void printInfoText(std::ostream& out, const std::string& input, const StreamFileInfo& result);

} // namespace nubo::cli
