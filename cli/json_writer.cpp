#include "json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace dla::cli {

std::string formatDouble(double number) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_) text_ += ',';
    first_ = false;
}

JsonWriter& JsonWriter::beginObject() {
    separate();
    text_ += '{';
    first_ = true;
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    text_ += '}';
    first_ = false;
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    separate();
    text_ += '[';
    first_ = true;
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    text_ += ']';
    first_ = false;
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    value(name);
    text_ += ':';
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(double number) {
    if (!std::isfinite(number)) return null();
    separate();
    std::string digits = formatDouble(number);
    text_ += digits;
    return *this;
}

JsonWriter& JsonWriter::value(std::int64_t number) {
    separate();
    text_ += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::value(std::uint64_t number) {
    separate();
    text_ += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    separate();
    text_ += flag ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text) {
    separate();
    text_ += '"';
    for (const char c : text) {
        switch (c) {
            case '"':
                text_ += "\\\"";
                break;
            case '\\':
                text_ += "\\\\";
                break;
            case '\n':
                text_ += "\\n";
                break;
            case '\r':
                text_ += "\\r";
                break;
            case '\t':
                text_ += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                    text_ += escape;
                } else {
                    text_ += c;
                }
        }
    }
    text_ += '"';
    return *this;
}

JsonWriter& JsonWriter::null() {
    separate();
    text_ += "null";
    return *this;
}

}  // namespace dla::cli
