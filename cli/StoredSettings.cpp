#include "cli/StoredSettings.h"

#include <charconv>
#include <limits>
#include <string_view>

#include "cli/Text.h"
#include "operations/ParityList.h"

namespace kestrel::cli {

namespace {

std::optional<std::int32_t> IntegerInText(std::string_view text) {
  text = TrimBlanks(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::int32_t> Integer(const StoredValue& value) {
  switch (value.kind) {
    case StoredValue::Kind::Text:
      return IntegerInText(value.text);
    case StoredValue::Kind::Integer:
      // A 32-bit value the store hands back widened: unsigned ones wrap as the desktop reads them.
      if (value.integer < std::numeric_limits<std::int32_t>::min() ||
          value.integer > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(value.integer));
    case StoredValue::Kind::Other:
      break;
  }
  return std::nullopt;
}

}  // namespace

StoredSettings SettingsFromValues(const StoredValues& values, std::string where) {
  StoredSettings stored;
  stored.where = std::move(where);
  if (const auto port = values.find("ComPort"); port != values.end()) {
    if (port->second.kind == StoredValue::Kind::Text)
      stored.comPort = port->second.text;
    else
      stored.unreadable.insert("ComPort");
  }
  if (const auto rate = values.find("Bitrate"); rate != values.end()) {
    stored.bitrate = Integer(rate->second);
    if (!stored.bitrate || *stored.bitrate < 1) {
      stored.bitrate.reset();
      stored.unreadable.insert("Bitrate");
    }
  }
  if (const auto parity = values.find("Parity"); parity != values.end()) {
    stored.parity = Integer(parity->second);
    // -1 is the desktop program's "no row chosen"; any other number must be a row of the list.
    if (!stored.parity || (*stored.parity != -1 && !ParityForListIndex(*stored.parity))) {
      stored.parity.reset();
      stored.unreadable.insert("Parity");
    }
  }
  return stored;
}

}  // namespace kestrel::cli
