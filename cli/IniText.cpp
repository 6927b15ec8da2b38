#include "cli/IniText.h"

#include <cstdint>

#include "cli/Text.h"
#include "link/AsciiCase.h"
#include "link/Cp1251.h"

namespace kestrel::cli {

namespace {

// Blanks before a line's text: not form feeds or vertical tabs.
bool IsLineBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool EndsLineOrValue(char c) {
  return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}

// One logical line: its text, and where its first '=' outside quotes stands in it.
struct Line {
  std::string_view text;
  std::string_view::size_type equals = std::string_view::npos;
};

// Reads the line at `pos` and moves `pos` to its end. Quotes may span line ends; comment
// lines are skipped; a ';' after the start of a line ends it. False when no text is left.
bool NextLine(std::string_view data, std::size_t& pos, Line& line) {
  std::size_t start = pos;
  while (start < data.size() && IsLineBlank(data[start])) ++start;
  bool inQuotes = false;
  std::size_t equals = std::string_view::npos;
  std::size_t i = start;
  while (i < data.size()) {
    const char c = data[i++];
    if (!EndsLineOrValue(c)) continue;
    if (c == '=') {
      if (!inQuotes && equals == std::string_view::npos) equals = i - 1;
    } else if (c == '\n' || c == '\r') {
      if (!inQuotes) {
        --i;
        break;
      }
    } else if (c == '\\') {
      if (i < data.size()) {
        const char escaped = data[i++];
        // A backslash before CR LF or LF CR continues the line past both.
        if (i < data.size() && ((escaped == '\n' && data[i] == '\r') || (escaped == '\r' && data[i] == '\n')))
          ++i;
      }
    } else if (c == '"') {
      inQuotes = !inQuotes;
    } else if (i == start + 1) {  // ';' opening a comment line
      while (i < data.size() && data[i] != '\n' && data[i] != '\r') ++i;
      while (i < data.size() && IsLineBlank(data[i])) ++i;
      start = i;
    } else if (!inQuotes) {  // ';' after the line's text: the rest is a comment
      --i;
      break;
    }
  }
  pos = i;
  line.text = data.substr(start, i - start);
  line.equals = equals == std::string_view::npos ? equals : equals - start;
  return i > start;
}

// A lone surrogate half stands for nothing printable.
void AppendUtf16Unit(std::string& text, char16_t unit) {
  AppendUtf8(text, unit >= 0xD800 && unit <= 0xDFFF ? char32_t{0xFFFD} : char32_t{unit});
}

std::optional<int> DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  if (value < 0 || value >= base) return std::nullopt;
  return value;
}

char SimpleEscape(char c) {
  switch (c) {
    case 'a':
      return '\a';
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    case 'v':
      return '\v';
    case '"':
    case '?':
    case '\'':
    case '\\':
      return c;
    default:
      return 0;
  }
}

// A value's text without quotes and escapes; a list when a comma stands outside quotes.
struct ValueText {
  std::string text;  // a single value's
  bool isList = false;
};

class ValueReader {
 public:
  explicit ValueReader(std::string_view value) : value_(value) {}

  ValueText Read() {
    SkipBlanks();
    while (i_ < value_.size()) {
      const char c = value_[i_];
      if (c == '\\') {
        if (!ReadEscape()) return Finish();
      } else if (c == '"') {
        ++i_;
        quoted_ = true;
        inQuotes_ = !inQuotes_;
        if (!inQuotes_) SkipBlanks();
      } else if (c == ',' && !inQuotes_) {
        ChopBlanks();
        result_.isList = true;
        result_.text.clear();
        quoted_ = false;
        ++i_;
        SkipBlanks();
      } else {
        std::size_t end = i_ + 1;
        while (end < value_.size() && value_[end] != '\\' && value_[end] != '"' && value_[end] != ',') ++end;
        result_.text.append(value_.substr(i_, end - i_));
        i_ = end;
      }
    }
    ChopBlanks();
    return Finish();
  }

 private:
  void SkipBlanks() {
    while (i_ < value_.size() && (value_[i_] == ' ' || value_[i_] == '\t')) ++i_;
    keep_ = result_.text.size();
  }

  // Trailing blanks of an unquoted element go, but not those an escape put there.
  void ChopBlanks() {
    if (quoted_) return;
    std::string& text = result_.text;
    while (text.size() > keep_ && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  }

  ValueText Finish() { return std::move(result_); }

  // Reads the escape at i_. False when the value ends inside it: the text then stands as read.
  bool ReadEscape() {
    if (++i_ >= value_.size()) return false;
    const char c = value_[i_++];
    if (const char simple = SimpleEscape(c)) {
      result_.text += simple;
    } else if (c == 'x' || (c >= '0' && c <= '7')) {
      const int base = c == 'x' ? 16 : 8;
      char16_t code = c == 'x' ? 0 : static_cast<char16_t>(c - '0');
      if (c == 'x' && i_ >= value_.size()) return false;
      if (c == 'x' && !DigitValue(value_[i_], 16)) {  // "\x" without digits stands for nothing
        keep_ = result_.text.size();
        return true;
      }
      while (i_ < value_.size()) {
        const std::optional<int> digit = DigitValue(value_[i_], base);
        if (!digit) break;
        code = static_cast<char16_t>(code * base + *digit);
        ++i_;
      }
      AppendUtf16Unit(result_.text, code);
      if (i_ >= value_.size()) return false;
    } else if ((c == '\n' || c == '\r') && i_ < value_.size()) {
      // A continued line: CR LF and LF CR count as one line end.
      const char next = value_[i_];
      if ((next == '\n' || next == '\r') && next != c) ++i_;
    }
    // Any other escaped character is dropped.
    keep_ = result_.text.size();
    return true;
  }

  std::string_view value_;
  std::size_t i_ = 0;
  bool inQuotes_ = false;
  bool quoted_ = false;   // the current element had quotes: its blanks all count
  std::size_t keep_ = 0;  // trailing blanks before this length are kept
  ValueText result_;
};

// A key as the store reads it: "%XX" and "%UXXXX" stand for the character of that code, a
// backslash for '/' (a key in a group).
std::string UnescapeKey(std::string_view key) {
  std::string result;
  for (std::size_t i = 0; i < key.size();) {
    if (key[i] == '\\') {
      result += '/';
      ++i;
      continue;
    }
    const std::size_t first = i + 1 < key.size() && key[i + 1] == 'U' ? i + 2 : i + 1;
    const std::size_t digits = first == i + 2 ? 4 : 2;
    char16_t code = 0;
    bool ok = key[i] == '%' && first + digits <= key.size();
    for (std::size_t d = 0; ok && d < digits; ++d) {
      const std::optional<int> digit = DigitValue(key[first + d], 16);
      ok = digit.has_value();
      code = static_cast<char16_t>(code * 16 + digit.value_or(0));
    }
    if (ok) {
      AppendUtf16Unit(result, code);
      i = first + digits;
    } else {
      result += key[i++];
    }
  }
  return result;
}

}  // namespace

StoredValues ReadGeneralValues(std::string_view text) {
  StoredValues values;
  std::size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  bool general = true;
  Line line;
  while (NextLine(text, pos, line)) {
    if (line.text.front() == '[') {
      const std::string_view name = line.text.substr(1, line.text.find(']') - 1);
      general = EqualsIgnoringCase(TrimBlanks(name), "General");
      continue;
    }
    if (!general || line.equals == std::string_view::npos) continue;
    const std::string key = UnescapeKey(TrimBlanks(line.text.substr(0, line.equals)));
    if (key.find('/') != std::string::npos) continue;  // a key of a group
    ValueText text = ValueReader(line.text.substr(line.equals + 1)).Read();
    std::optional<StoredValue> value = text.isList ? StoredValue{} : ReadStoredText(std::move(text.text));
    if (value)
      values[key] = std::move(*value);
    else
      values.erase(key);
  }
  return values;
}

}  // namespace kestrel::cli
