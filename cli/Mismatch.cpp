#include "cli/Mismatch.h"

#include <algorithm>

#include "buffer/HexDigits.h"
#include "cli/Text.h"

namespace kestrel::cli {

namespace {

// The most ranges and bytes the text names.
constexpr std::size_t MaxShown = 8;

std::string RangeText(const AddressRange& range) {
  return range.first == range.last ? HexAddress(range.first)
                                   : HexAddress(range.first) + "-" + HexAddress(range.last);
}

}  // namespace

Mismatch CompareWithChip(std::span<const std::uint8_t> file, std::span<const std::uint8_t> chip) {
  Mismatch mismatch;
  bool chipOnly = false;  // a bit set on the chip and clear in the file
  bool fileOnly = false;  // a bit set in the file and clear on the chip
  const std::size_t length = std::min(file.size(), chip.size());
  for (std::size_t at = 0; at < length; ++at) {
    if (file[at] == chip[at]) continue;
    const auto address = static_cast<std::uint32_t>(at);
    ++mismatch.count;
    if (!mismatch.ranges.empty() && mismatch.ranges.back().last + 1 == address)
      mismatch.ranges.back().last = address;
    else
      mismatch.ranges.push_back({address, address});
    if (mismatch.bytes.size() < MaxListedBytes) mismatch.bytes.push_back({address, chip[at], file[at]});
    chipOnly = chipOnly || (chip[at] & ~file[at]) != 0;
    fileOnly = fileOnly || (file[at] & ~chip[at]) != 0;
  }
  if (fileOnly && !chipOnly) mismatch.look = MismatchLook::NotErased;
  if (chipOnly && !fileOnly) mismatch.look = MismatchLook::NotWritten;
  return mismatch;
}

std::vector<std::string> MismatchLines(const Mismatch& mismatch) {
  std::string summary =
      std::to_string(mismatch.count) + (mismatch.count == 1 ? " byte differs" : " bytes differ");
  for (std::size_t i = 0; i < mismatch.ranges.size() && i < MaxShown; ++i)
    summary += (i == 0 ? ", in " : ", ") + RangeText(mismatch.ranges[i]);
  if (mismatch.ranges.size() > MaxShown)
    summary += " and " + std::to_string(mismatch.ranges.size() - MaxShown) + " more ranges";
  std::vector<std::string> lines{summary};
  for (std::size_t i = 0; i < mismatch.bytes.size() && i < MaxShown; ++i) {
    const DifferingByte& byte = mismatch.bytes[i];
    lines.push_back(HexAddress(byte.address) + ": chip " + ByteToHex(byte.chip) + ", file " +
                    ByteToHex(byte.file));
  }
  if (mismatch.look == MismatchLook::NotErased) lines.push_back("the chip looks not erased (use -e)");
  if (mismatch.look == MismatchLook::NotWritten) lines.push_back("the chip looks not written");
  return lines;
}

}  // namespace kestrel::cli
