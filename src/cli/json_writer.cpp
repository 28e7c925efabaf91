#include "cli/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace nubo::cli {

std::string jsonString(std::string_view text)
{
    std::string result = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': result += "\\\""; break;
        case '\\': result += "\\\\"; break;
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        default:
            if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                result += escaped;
            } else {
                result += c;
            }
        }
    }
    return result + "\"";
}

void JsonWriter::separate()
{
    if (needsComma_)
        text_ += ',';
    needsComma_ = true;
}

JsonWriter& JsonWriter::open(char bracket)
{
    separate();
    text_ += bracket;
    needsComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::close(char bracket)
{
    text_ += bracket;
    needsComma_ = true;
    return *this;
}

JsonWriter& JsonWriter::beginObject() { return open('{'); }
JsonWriter& JsonWriter::endObject() { return close('}'); }
JsonWriter& JsonWriter::beginArray() { return open('['); }
JsonWriter& JsonWriter::endArray() { return close(']'); }

JsonWriter& JsonWriter::key(std::string_view name)
{
    separate();
    text_ += jsonString(name);
    text_ += ':';
    needsComma_ = false;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text)
{
    separate();
    text_ += jsonString(text);
    return *this;
}

JsonWriter& JsonWriter::value(bool flag)
{
    separate();
    text_ += flag ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::value(std::int64_t number)
{
    separate();
    text_ += std::to_string(number);
    return *this;
}

template <class Floating>
JsonWriter& JsonWriter::shortest(Floating number)
{
    if (!std::isfinite(number))
        return null();
    separate();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    text_.append(buffer, result.ptr);
    return *this;
}

JsonWriter& JsonWriter::value(double number) { return shortest(number); }
JsonWriter& JsonWriter::value(float number) { return shortest(number); }

JsonWriter& JsonWriter::null()
{
    separate();
    text_ += "null";
    return *this;
}

} // namespace nubo::cli
