#include "cli/SerialNumbers.h"

#include <algorithm>

namespace kestrel::cli {

namespace {

std::uint64_t PowerOfTen(int exponent) {
  std::uint64_t power = 1;
  while (exponent-- > 0) power *= 10;
  return power;
}

}  // namespace

std::uint64_t SerialMaximum(int bytes, SerialFormat format) {
  switch (format) {
    case SerialFormat::Le:
    case SerialFormat::Be:
      return bytes >= 8 ? UINT64_MAX : (std::uint64_t{1} << (8 * bytes)) - 1;
    case SerialFormat::Bcd:
      return PowerOfTen(2 * bytes) - 1;
    case SerialFormat::Ascii:
      return PowerOfTen(bytes) - 1;
  }
  return 0;
}

std::string SerialMisfit(std::uint64_t number, int bytes, SerialFormat format) {
  const std::uint64_t maximum = SerialMaximum(bytes, format);
  if (number <= maximum) return {};
  return std::to_string(number) + " does not fit " + std::to_string(bytes) +
         (bytes == 1 ? " byte" : " bytes") + " of " + std::string(SerialFormatName(format)) + " (at most " +
         std::to_string(maximum) + ")";
}

std::vector<std::uint8_t> EncodeSerial(std::uint64_t number, int bytes, SerialFormat format) {
  std::vector<std::uint8_t> encoded(static_cast<std::size_t>(bytes));
  // The number's least significant part goes into the last byte first; le then turns them round.
  for (auto byte = encoded.rbegin(); byte != encoded.rend(); ++byte) {
    switch (format) {
      case SerialFormat::Le:
      case SerialFormat::Be:
        *byte = static_cast<std::uint8_t>(number);
        number >>= 8;
        break;
      case SerialFormat::Bcd:
        *byte = static_cast<std::uint8_t>(number % 10 | (number / 10 % 10) << 4);
        number /= 100;
        break;
      case SerialFormat::Ascii:
        *byte = static_cast<std::uint8_t>('0' + number % 10);
        number /= 10;
        break;
    }
  }
  if (format == SerialFormat::Le) std::reverse(encoded.begin(), encoded.end());
  return encoded;
}

InputImages WithSerial(const Job& job, const InputImages& images, std::uint64_t number) {
  InputImages patched = images;
  if (!job.serial) return patched;
  const SerialOptions& serial = *job.serial;
  const std::vector<std::uint8_t> encoded = EncodeSerial(number, serial.bytes, serial.format);
  const std::size_t end = std::size_t{serial.address} + encoded.size();
  for (std::size_t i = 0; i < job.actions.size() && i < patched.size(); ++i) {
    const Action& action = job.actions[i];
    if ((action.kind != ActionKind::Write && action.kind != ActionKind::Verify) ||
        action.memory != serial.memory)
      continue;
    Image& image = patched[i];
    if (image.size() < end) image.resize(end, 0xFF);
    std::copy(encoded.begin(), encoded.end(), image.begin() + serial.address);
  }
  return patched;
}

}  // namespace kestrel::cli
