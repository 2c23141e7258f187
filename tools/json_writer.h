#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace ombrix::tools {

// Writes JSON straight onto the end of a string, without building a document first: the
// caller opens and closes objects and arrays in order, the writer puts the commas and
// escapes the text. Strings come out as nlohmann-json writes them (two-character escapes
// where JSON has one, "\u00XX" in lower case for other control characters, everything else
// as it is), and bytes that are not UTF-8 become U+FFFD, so every line parses.
class JsonWriter {
  public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The key of the next member of the open object.
    void key(std::string_view name);

    void string(std::string_view text);
    void boolean(bool value);
    void number(std::int64_t value);
    // A duration in milliseconds with the microseconds as decimals: "0.41", "2000.0".
    void milliseconds(std::chrono::microseconds duration);

  private:
    // The comma before a value or key that is not the first of its object or array.
    void separate();

    std::string& out_;
    bool first_ = true;
};

// Appends the text as JSON string content, without the quotes.
void appendEscaped(std::string& out, std::string_view text);

}  // namespace ombrix::tools
