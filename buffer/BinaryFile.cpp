#include "buffer/BinaryFile.h"

#include "buffer/Abort.h"
#include "buffer/ElfReader.h"
#include "buffer/FileIo.h"
#include "buffer/HexReader.h"
#include "buffer/MemoryImage.h"
#include "buffer/SRecordReader.h"
#include "buffer/WorkingFile.h"

namespace kestrel {

namespace {

// The image a reader made of the file, or its fault reported.
bool LoadReadImage(MemoryImage& image, const ImageReadResult& read, FileFormat format,
                   const std::string& path) {
  if (read.fault == ImageFault::TooLarge) {
    image.View().ShowWarning(SizeWarningText);
    return false;
  }
  if (read.fault != ImageFault::None) {
    image.View().SetStatusText(ImageFaultMessage(format, path, read.fault, read.line));
    throw EAbort();
  }
  return LoadBinaryStream(image, read.image);
}

// After the working file's name, when an ELF file holds EEPROM data beside its program.
std::string EepromNote(std::size_t size) {
  return ". В файле есть данные EEPROM: " + std::to_string(size) + " байт, они не загружены";
}

bool LoadElfImages(MemoryImage& image, std::span<const std::uint8_t> bytes, const std::string& path) {
  ElfImages elf = ReadElfImages(bytes);
  if (!LoadReadImage(image, {.image = std::move(elf.program), .fault = elf.fault}, FileFormat::Elf, path))
    return false;
  if (!elf.eeprom.empty())
    image.View().SetStatusText(WorkingFileStatus + path + EepromNote(elf.eeprom.size()));
  return true;
}

}  // namespace

bool LoadBinaryStream(MemoryImage& image, std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= MaxImageSize) {
    image.View().ShowWarning(SizeWarningText);
    return false;
  }
  image.Assign(bytes);
  return true;
}

bool LoadImageBytes(MemoryImage& image, std::span<const std::uint8_t> bytes, FileFormat format,
                    const std::string& path) {
  switch (format) {
    case FileFormat::IntelHex:
      return LoadReadImage(image, ReadHexImage(bytes), format, path);
    case FileFormat::SRecord:
      return LoadReadImage(image, ReadSRecordImage(bytes), format, path);
    case FileFormat::Elf:
      return LoadElfImages(image, bytes, path);
    case FileFormat::Binary:
      break;
  }
  return LoadBinaryStream(image, bytes);
}

bool LoadWorkingFileIntoBuffer(MemoryImage& image, bool understandHex) {
  const std::string& path = image.WorkingFileName();
  const FileFormat format = FileFormatOf(path, understandHex);
  const std::size_t limit = MaxFileSize(format, MaxImageSize);
  // One byte past the limit is enough to know a file is too long.
  const auto file = ReadFileBytes(path, limit + 1);
  if (!file) return false;
  if (file->size() > limit) {
    image.View().ShowWarning(SizeWarningText);
    return false;
  }
  return LoadImageBytes(image, *file, format, path);
}

bool LoadFile(MemoryImage& image, bool understandHex) {
  image.Clear();
  return LoadWorkingFileIntoBuffer(image, understandHex);
}

}  // namespace kestrel
