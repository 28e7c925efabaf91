#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace nubo::cli {
namespace {

// Nested objects and arrays get their commas right; strings are escaped; floats print as their shortest form.
TEST(JsonWriter, BuildsCompactJson)
{
    JsonWriter json;
    json.beginObject();
    json.key("name").value("a \"b\"\n\x01");
    json.key("list").beginArray().value(1).value(true).beginObject().key("x").value(2.5).endObject().endArray();
    json.key("mse").value(12.345f);
    json.key("none").null();
    json.endObject();
    EXPECT_EQ(json.text(), R"({"name":"a \"b\"\n\u0001","list":[1,true,{"x":2.5}],"mse":12.345,"none":null})");
}

// JSON has no infinity or NaN: they become null.
TEST(JsonWriter, NonFiniteNumbersBecomeNull)
{
    JsonWriter json;
    json.beginArray().value(std::numeric_limits<float>::infinity()).value(std::nan("")).endArray();
    EXPECT_EQ(json.text(), "[null,null]");
}

} // namespace
} // namespace nubo::cli
