#pragma once
// A value of the desktop program's settings store as the store reads it back: a text, an
// integer (the registry's numbers) or something else (a list, bytes, another type).

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace kestrel::cli {

struct StoredValue {
  enum class Kind { Text, Integer, Other };
  Kind kind = Kind::Other;
  std::string text;          // Text, UTF-8
  std::int64_t integer = 0;  // Integer
};

StoredValue TextValue(std::string text);
StoredValue IntegerValue(std::int64_t integer);

using StoredValues = std::map<std::string, StoredValue, std::less<>>;

// A stored text as the store reads it: "@@..." is a text starting with '@', "@String(...)" the
// text inside, "@Invalid()" no value at all, "@ByteArray(...)" and the store's other "@Type(...)"
// forms are not texts. Malformed UTF-8 becomes U+FFFD.
std::optional<StoredValue> ReadStoredText(std::string text);

}  // namespace kestrel::cli
