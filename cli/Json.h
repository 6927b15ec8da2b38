#pragma once
// A small JSON writer: compact text, strings escaped (quotes, backslashes and control
// characters; malformed UTF-8 becomes U+FFFD, so the text is always valid UTF-8).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::cli {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The name of the next value in an object.
  JsonWriter& Key(std::string_view name);
  JsonWriter& String(std::string_view text);
  JsonWriter& Number(std::int64_t value);
  JsonWriter& Unsigned(std::uint64_t value);
  // With `decimals` digits after the point; null when not finite.
  JsonWriter& Fixed(double value, int decimals);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  const std::string& Text() const { return text_; }

 private:
  // Puts the comma between values of an object or array.
  void BeginValue();

  std::string text_;
  std::vector<bool> empty_;  // per open object or array: nothing in it yet
  bool afterKey_ = false;
};

// `text` as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace kestrel::cli
