#include "common/diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace nubo {

namespace {

class StandardOutput final : public DiagnosticSink {
public:
    void write(std::string_view text) override
    {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
};

class Discard final : public DiagnosticSink {
public:
    void write(std::string_view) override {}
};

std::string formatList(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

} // namespace

DiagnosticSink& standardOutputSink()
{
    static StandardOutput sink;
    return sink;
}

DiagnosticSink& discardSink()
{
    static Discard sink;
    return sink;
}

void StringSink::write(std::string_view text)
{
    std::lock_guard lock(mutex_);
    text_.append(text);
}

std::string StringSink::text() const
{
    std::lock_guard lock(mutex_);
    return text_;
}

std::string formatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = formatList(format, args);
    va_end(args);
    return text;
}

void printError(DiagnosticSink& sink, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    sink.write("Error: " + formatList(format, args) + "\n");
    va_end(args);
}

void printWarning(DiagnosticSink& sink, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    sink.write("Warning: " + formatList(format, args) + "\n");
    va_end(args);
}

} // namespace nubo
