#include "json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace dla::cli {
namespace {

TEST(JsonWriter, NestsWithCommasAndColons) {
    JsonWriter json;
    json.beginObject();
    json.key("a").value(1);
    json.key("b").beginArray().value(1.5).null().value("x").beginObject().endObject().endArray();
    json.key("c").value(std::optional<double>{});
    json.key("d").value(std::optional<std::uint64_t>{7u});
    json.key("e").value(true);
    json.endObject();
    EXPECT_EQ(json.text(), R"({"a":1,"b":[1.5,null,"x",{}],"c":null,"d":7,"e":true})");
}

TEST(JsonWriter, EscapesStrings) {
    JsonWriter json;
    json.value(std::string_view("q\"b\\n\nt\tc\x01 ã"));
    EXPECT_EQ(json.text(), "\"q\\\"b\\\\n\\nt\\tc\\u0001 ã\"");
}

TEST(JsonWriter, NonFiniteNumbersBecomeNull) {
    JsonWriter json;
    json.beginArray()
        .value(std::nan(""))
        .value(std::numeric_limits<double>::infinity())
        .value(-std::numeric_limits<double>::infinity())
        .endArray();
    EXPECT_EQ(json.text(), "[null,null,null]");
}

TEST(JsonWriter, NumbersReadBackExactly) {
    for (const double v :
         {0.1, 1.0 / 3.0, 1.6534123456789012, -2.5e-300, 1.7976931348623157e308, 0.0, 3250.0}) {
        const std::string text = formatDouble(v);
        EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    }
    EXPECT_EQ(formatDouble(0.1), "0.1");
    JsonWriter json;
    json.value(std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(json.text(), "18446744073709551615");
}

}  // namespace
}  // namespace dla::cli
