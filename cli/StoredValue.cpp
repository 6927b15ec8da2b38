#include "cli/StoredValue.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "cli/Text.h"

namespace kestrel::cli {

namespace {

// The number of arguments of a "@Type(a b ...)" value after its "(", counted as the store
// counts them: each blank and each ')' ends one.
int ArgumentCount(std::string_view arguments) {
  return static_cast<int>(std::ranges::count_if(arguments, [](char c) { return c == ' ' || c == ')'; }));
}

}  // namespace

StoredValue TextValue(std::string text) { return {StoredValue::Kind::Text, std::move(text), 0}; }

StoredValue IntegerValue(std::int64_t integer) { return {StoredValue::Kind::Integer, {}, integer}; }

std::optional<StoredValue> ReadStoredText(std::string text) {
  if (text.starts_with('@') && text.ends_with(')')) {
    if (text == "@Invalid()") return std::nullopt;
    if (text.starts_with("@String("))
      return TextValue(ValidUtf8(std::string_view(text).substr(8, text.size() - 9)));
    for (const char* type : {"@ByteArray(", "@Variant(", "@DateTime("})
      if (text.starts_with(type)) return StoredValue{};
    // These become a rectangle, size or point only with the right number of arguments.
    for (const auto& [type, count] : {std::pair{"@Rect(", 4}, {"@Size(", 2}, {"@Point(", 2}})
      if (text.starts_with(type) &&
          ArgumentCount(std::string_view(text).substr(std::string_view(type).size())) == count)
        return StoredValue{};
  }
  return TextValue(ValidUtf8(std::string_view(text).substr(text.starts_with("@@") ? 1 : 0)));
}

}  // namespace kestrel::cli
