#pragma once
// Writing the line-based record texts (Intel HEX, S-records): a record a line, its bytes as
// upper-case digit pairs, CR LF line ends.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kestrel {

class RecordWriter {
 public:
  explicit RecordWriter(std::vector<std::uint8_t>& text) : text_(text) {}

  // Starts a line with `start` (":", "S1") and a sum of 0.
  void Start(std::string_view start);
  // The bytes as digit pairs, added to the sum.
  void Bytes(std::span<const std::uint8_t> bytes);
  // The low byte of the sum of the bytes since Start.
  std::uint8_t Sum() const { return sum_; }
  // The checksum's digits and the line end.
  void End(std::uint8_t checksum);

 private:
  void Digits(std::uint8_t byte);

  std::vector<std::uint8_t>& text_;
  std::uint8_t sum_ = 0;
};

}  // namespace kestrel
