#include "buffer/MemoryImage.h"

#include <algorithm>

namespace kestrel {

void MemoryImage::Assign(std::vector<std::uint8_t> bytes) {
  bytes_ = std::move(bytes);
  view_.FormatGrid();
}

void MemoryImage::Assign(std::span<const std::uint8_t> bytes) {
  bytes_.assign(bytes.begin(), bytes.end());
  view_.FormatGrid();
}

void MemoryImage::Resize(std::size_t size) {
  bytes_.resize(size);
  view_.FormatGrid();
}

void MemoryImage::Clear() {
  bytes_.clear();
  view_.FormatGrid();
}

void MemoryImage::Store(std::uint32_t address, std::span<const std::uint8_t> data) {
  if (address >= bytes_.size()) return;
  const std::size_t count = std::min(data.size(), bytes_.size() - address);
  std::copy_n(data.begin(), count, bytes_.begin() + address);
  view_.BytesChanged(address, count);
}

void MemoryImage::Edit(std::size_t index, std::uint8_t value) {
  if (index >= bytes_.size()) return;
  bytes_[index] = value;
  modified_ = true;
}

void MemoryImage::Release() {
  bytes_.clear();
  bytes_.shrink_to_fit();
}

}  // namespace kestrel
