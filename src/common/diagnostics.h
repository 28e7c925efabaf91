#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace nubo {

// Where the coder's diagnostic text ("Error: ...", "Warning: ...", the allocation report) goes. The coder writes
// to a sink the caller chooses; standard output is the default, the desktop program discards the text and the
// command-line tool keeps it on request.
class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;
    virtual void write(std::string_view text) = 0;
};

// Writes to the process's standard output. Each write is one locked fwrite, so text of one call stays together.
DiagnosticSink& standardOutputSink();

// Drops everything.
DiagnosticSink& discardSink();

// Collects the text in memory, in the order written. Safe to write from several threads.
class StringSink final : public DiagnosticSink {
public:
    void write(std::string_view text) override;
    std::string text() const;

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// printf-style formatting into a std::string (glibc rules, as the coder's reports need).
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "Error: " + message + "\n" and "Warning: " + message + "\n"; neither stops the computation.
void printError(DiagnosticSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));
void printWarning(DiagnosticSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace nubo
