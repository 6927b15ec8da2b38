#include "buffer/ImageEncoding.h"

#include "buffer/FilePath.h"
#include "buffer/HexWriter.h"
#include "buffer/SRecordWriter.h"

namespace kestrel {

std::vector<std::uint8_t> EncodeImage(FileFormat format, std::span<const std::uint8_t> image,
                                      const std::string& path) {
  switch (format) {
    case FileFormat::IntelHex:
      return WriteHexImage(image);
    case FileFormat::SRecord:
      return WriteSRecordImage(image, FileName(FilePath(path).filename()));
    case FileFormat::Elf:
    case FileFormat::Binary:
      break;
  }
  return {image.begin(), image.end()};
}

}  // namespace kestrel
