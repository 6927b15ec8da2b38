#include "buffer/BinaryFile.h"

#include <algorithm>
#include <cctype>

#include "buffer/FileIo.h"
#include "buffer/HexReader.h"
#include "buffer/MemoryImage.h"

namespace kestrel {

bool IsHexFileName(const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string extension = name.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".hex";
}

bool LoadBinaryStream(MemoryImage& image, std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= MaxImageSize) {
    image.View().ShowWarning(SizeWarningText);
    return false;
  }
  image.Assign(bytes);
  return true;
}

bool IsHexFile(const std::string& path, bool understandHex) { return understandHex && IsHexFileName(path); }

bool LoadWorkingFileIntoBuffer(MemoryImage& image, bool understandHex) {
  const std::string& path = image.WorkingFileName();
  const bool hex = IsHexFile(path, understandHex);
  // A HEX text may be larger than the image it describes.
  const std::size_t limit = hex ? MaxHexTextSize : MaxImageSize;
  // One byte past the limit is enough to know a file is too long.
  const auto file = ReadFileBytes(path, limit + 1);
  if (!file) return false;
  if (file->size() > limit) {
    image.View().ShowWarning(SizeWarningText);
    return false;
  }
  return hex ? LoadHexStream(image, *file, path) : LoadBinaryStream(image, *file);
}

bool LoadFile(MemoryImage& image, bool understandHex) {
  image.Clear();
  return LoadWorkingFileIntoBuffer(image, understandHex);
}

}  // namespace kestrel
