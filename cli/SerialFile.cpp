#include "cli/SerialFile.h"

#include <charconv>
#include <limits>
#include <span>

#include "buffer/FileIo.h"
#include "cli/FileLock.h"
#include "cli/SerialNumbers.h"
#include "cli/Text.h"

namespace kestrel::cli {

namespace {

// More than any number with blanks around it takes.
constexpr std::size_t MaxFileSize = 4096;

// The number FILE's text holds: decimal digits, blanks around them allowed.
std::optional<std::uint64_t> ParseNumber(std::string_view text) {
  text = TrimBlanks(text);
  std::uint64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || text[0] < '0' || text[0] > '9' || error != std::errc() ||
      end != text.data() + text.size())
    return std::nullopt;
  return number;
}

TakenSerial Failure(const SerialOptions& serial, const std::string& what) {
  return {std::nullopt, serial.file + ": " + what};
}

}  // namespace

TakenSerial TakeSerialNumber(const SerialOptions& serial) {
  try {
    const FileLock lock(serial.file + ".lock");
    std::optional<std::vector<std::uint8_t>> text;
    try {
      text = ReadFileBytes(serial.file, MaxFileSize + 1);
    } catch (const FileError&) {
      return Failure(serial, "cannot be read");
    }
    std::uint64_t number = serial.start;
    if (text) {
      const auto stored =
          text->size() <= MaxFileSize
              ? ParseNumber(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()))
              : std::nullopt;
      if (!stored) return Failure(serial, "holds no serial number (decimal digits expected)");
      number = *stored;
    }
    if (const std::string misfit = SerialMisfit(number, serial.bytes, serial.format); !misfit.empty())
      return Failure(serial, "the serial number " + misfit);
    if (serial.step > std::numeric_limits<std::uint64_t>::max() - number)
      return Failure(serial, "no serial number follows " + std::to_string(number));
    const std::string next = std::to_string(number + serial.step) + "\n";
    if (TryReplaceFileContents(
            serial.file, std::span(reinterpret_cast<const std::uint8_t*>(next.data()), next.size())) != 0)
      return Failure(serial, "cannot be written");
    return {number, {}};
  } catch (const FileLockError& error) {
    return {std::nullopt, error.what()};
  }
}

}  // namespace kestrel::cli
