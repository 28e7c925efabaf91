#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nubo::cli {

// Builds one compact JSON text. Keys and values are added in order; nesting is the caller's to balance.
class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(std::string_view name);

    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(bool flag);
    JsonWriter& value(std::int64_t number);
    JsonWriter& value(int number) { return value(static_cast<std::int64_t>(number)); }
    // Shortest text that reads back as the same double; null for infinities and NaN, which JSON cannot hold.
    JsonWriter& value(double number);
    // Shortest text that reads back as the same float (a measure's MSE and SNR are floats).
    JsonWriter& value(float number);
    JsonWriter& null();

    const std::string& text() const { return text_; }

private:
    void separate();
    // An object or array begins or ends with its bracket.
    JsonWriter& open(char bracket);
    JsonWriter& close(char bracket);
    // The shortest text that reads back as the same number of its type; null when it is not finite.
    template <class Floating>
    JsonWriter& shortest(Floating number);

    std::string text_;
    bool needsComma_ = false;
};

// The text as a JSON string literal, quotes included.
std::string jsonString(std::string_view text);

} // namespace nubo::cli
