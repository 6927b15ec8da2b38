#pragma once
// The memory image: the bytes the grid shows (DataBuffer), whether they hold edits that no file
// has (BufferModified) and the working file they are loaded from (WorkingFileName). The bytes
// change only through the calls below, each of which has the grid redrawn unless it says
// otherwise, so no change goes unshown.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "buffer/ImageView.h"

namespace kestrel {

class MemoryImage {
 public:
  explicit MemoryImage(ImageView& view) : view_(view) {}
  MemoryImage(const MemoryImage&) = delete;
  MemoryImage& operator=(const MemoryImage&) = delete;

  ImageView& View() const { return view_; }

  const std::vector<std::uint8_t>& DataBuffer() const { return bytes_; }
  std::size_t Size() const { return bytes_.size(); }

  // The image becomes `bytes`.
  void Assign(std::vector<std::uint8_t> bytes);
  void Assign(std::span<const std::uint8_t> bytes);
  // Cuts the image or lengthens it with zeros.
  void Resize(std::size_t size);
  void Clear();
  // Copies the bytes of `data` that fall inside the image to it from `address` on; the rest is
  // dropped. Only the bytes copied are redrawn, so a chip read block by block stays cheap.
  void Store(std::uint32_t address, std::span<const std::uint8_t> data);
  // A byte edited in its grid cell, which shows it already: no redraw. Sets BufferModified; an
  // index past the end changes nothing.
  void Edit(std::size_t index, std::uint8_t value);
  // Frees the bytes without a redraw, as the window closes.
  void Release();

  bool BufferModified() const { return modified_; }
  void SetBufferModified(bool modified) { modified_ = modified; }

  const std::string& WorkingFileName() const { return workingFileName_; }
  void SetWorkingFileName(std::string name) { workingFileName_ = std::move(name); }

 private:
  ImageView& view_;
  std::vector<std::uint8_t> bytes_;
  bool modified_ = false;
  std::string workingFileName_;
};

}  // namespace kestrel
