#include "common/diagnostics.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

// Error and warning lines carry their prefix and one line break; formatting follows printf.
TEST(Diagnostics, ErrorAndWarningLines)
{
    StringSink sink;
    printWarning(sink, "Reduce # of transform steps or increase signal size");
    printError(sink, "Failed to bracket bit budget = %d: rateLow = %g rateHigh = %g\n", 12, 1.5, 2e9);
    EXPECT_EQ(sink.text(), "Warning: Reduce # of transform steps or increase signal size\n"
                           "Error: Failed to bracket bit budget = 12: rateLow = 1.5 rateHigh = 2e+09\n\n");
}

// formatText handles long output beyond any fixed buffer.
TEST(Diagnostics, FormatTextLongOutput)
{
    const std::string long_text(5000, 'x');
    EXPECT_EQ(formatText("%s|%d", long_text.c_str(), 7), long_text + "|7");
}

} // namespace
} // namespace nubo
