#include "cli/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/Text.h"

namespace kestrel::cli {

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (const char c : ValidUtf8(text)) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\b':
        json += "\\b";
        break;
      case '\f':
        json += "\\f";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          json += escape;
        } else {
          json += c;
        }
    }
  }
  return json + '"';
}

void JsonWriter::BeginValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!empty_.empty()) {
    if (!empty_.back()) text_ += ',';
    empty_.back() = false;
  }
}

JsonWriter& JsonWriter::BeginObject() {
  BeginValue();
  text_ += '{';
  empty_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  text_ += '}';
  empty_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  BeginValue();
  text_ += '[';
  empty_.push_back(true);
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  text_ += ']';
  empty_.pop_back();
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
  BeginValue();
  text_ += JsonString(name);
  text_ += ':';
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
  BeginValue();
  text_ += JsonString(text);
  return *this;
}

JsonWriter& JsonWriter::Number(std::int64_t value) {
  BeginValue();
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Unsigned(std::uint64_t value) {
  BeginValue();
  text_ += std::to_string(value);
  return *this;
}

JsonWriter& JsonWriter::Fixed(double value, int decimals) {
  if (!std::isfinite(value)) return Null();
  BeginValue();
  // Wide enough for the largest double in full; the point is a point whatever the locale.
  char text[400];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  text_.append(text, end);
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  BeginValue();
  text_ += value ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::Null() {
  BeginValue();
  text_ += "null";
  return *this;
}

}  // namespace kestrel::cli
