#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// A minimal writer of one-line JSON text. The caller keeps the nesting right; the writer puts
/// the commas and colons, escapes strings and writes numbers so that they read back exactly.
namespace dla::cli {

class JsonWriter {
  public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    /// The name of the next member; inside an object, before every value.
    JsonWriter& key(std::string_view name);

    JsonWriter& value(double number);  ///< shortest text that reads back to the same double; NaN
                                       ///< and infinities as null
    JsonWriter& value(std::int64_t number);
    JsonWriter& value(std::uint64_t number);
    JsonWriter& value(int number) { return value(static_cast<std::int64_t>(number)); }
    JsonWriter& value(bool flag);
    JsonWriter& value(std::string_view text);
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& null();
    template <class T>
    JsonWriter& value(const std::optional<T>& maybe) {
        return maybe ? value(*maybe) : null();
    }

    const std::string& text() const { return text_; }

  private:
    void separate();
    std::string text_;
    bool first_ = true;      // no value yet in the innermost object or array
    bool afterKey_ = false;  // the next value follows a member name
};

/// `number` as the shortest decimal text that converts back to the same double.
std::string formatDouble(double number);

}  // namespace dla::cli
