#include "cli/ImageFiles.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "buffer/FileIo.h"
#include "buffer/HexReader.h"
#include "buffer/ImageEncoding.h"
#include "buffer/SRecordReader.h"
#include "cli/Output.h"
#include "cli/Terminal.h"
#include "operations/Session.h"

namespace kestrel::cli {

namespace {

const char* FaultText(ImageFault fault) {
  switch (fault) {
    case ImageFault::None:
      break;
    case ImageFault::NoRecords:
      return "no records";
    case ImageFault::NoEndRecord:
      return "no end-of-file record";
    case ImageFault::BadDigit:
      return "not a hexadecimal digit";
    case ImageFault::CutRecord:
      return "the record is cut short";
    case ImageFault::TrailingText:
      return "text after the checksum";
    case ImageFault::BadChecksum:
      return "wrong checksum";
    case ImageFault::BadAddressRecord:
      return "an extended address record without two data bytes";
    case ImageFault::BadRecordType:
      return "an unknown record type";
    case ImageFault::BadRecordLength:
      return "a record length that does not fit its type";
    case ImageFault::BadRecordCount:
      return "the record count differs from the data records before it";
    case ImageFault::NotElf:
      return "not an ELF file";
    case ImageFault::Elf64:
      return "a 64-bit ELF file, not supported";
    case ImageFault::NotExecutable:
      return "not a linked program (an object file or a library)";
    case ImageFault::BadElfHeader:
      return "a damaged ELF header or segment table";
    case ImageFault::NoProgramData:
      return "no loadable program data";
    case ImageFault::TooLarge:
      return "data at or past 512 KiB";
  }
  return "";
}

// The whole of the standard input, up to `limit` bytes; none when it holds more.
std::optional<Image> ReadStandardInput(std::size_t limit) {
  UseBinaryMode(stdin);
  Image bytes;
  std::uint8_t chunk[65536];
  while (const std::size_t count = std::fread(chunk, 1, sizeof chunk, stdin)) {
    if (bytes.size() + count > limit) return std::nullopt;
    bytes.insert(bytes.end(), chunk, chunk + count);
  }
  return bytes;
}

LoadedImage Failure(std::string error) { return {.image = {}, .signature = {}, .error = std::move(error)}; }
LoadedImage Loaded(Image image, std::optional<SignatureBytes> signature = {}) {
  return {.image = std::move(image), .signature = signature, .error = {}};
}

LoadedImage Decoded(const std::string& file, ImageReadResult read) {
  if (read.fault == ImageFault::None) return Loaded(std::move(read.image));
  const std::string line = read.line ? ": line " + std::to_string(read.line) : "";
  return Failure(file + line + ": " + FaultText(read.fault));
}

LoadedImage DecodedElf(const std::string& file, Image bytes, Memory memory) {
  ElfImages elf = ReadElfImages(bytes);
  if (elf.fault != ImageFault::None) return Decoded(file, {.image = {}, .fault = elf.fault});
  Image& image = memory == Memory::Eeprom ? elf.eeprom : elf.program;
  if (image.empty())
    return Failure(file + (memory == Memory::Eeprom ? ": no EEPROM data" : ": no program memory data"));
  return Loaded(std::move(image), elf.signature);
}

// The error of a read into a file whose format is not written.
std::optional<std::string> UnwritableName(const std::string& file) {
  if (file == StandardStream || IsWritable(FileFormatOf(file, true))) return std::nullopt;
  return file + ": ELF files are only read; name a .hex, .srec or binary file";
}

}  // namespace

LoadedImage LoadImage(const std::string& file, Memory memory) {
  const FileFormat format = file == StandardStream ? FileFormat::Binary : FileFormatOf(file, true);
  const std::size_t limit = MaxFileSize(format, MaxMemorySize);
  std::optional<Image> bytes;
  if (file == StandardStream) {
    errno = 0;
    bytes = ReadStandardInput(limit);
    if (std::ferror(stdin))
      return Failure("standard input: " + std::generic_category().message(errno != 0 ? errno : EIO));
    if (!bytes) return Failure("the standard input holds more than 16 MiB");
  } else {
    try {
      bytes = ReadFileBytes(file, limit + 1);
    } catch (const FileError& error) {
      return Failure(file + ": " + FileErrorCause(error.error));
    }
    if (!bytes) return Failure(file + ": no such file");
    if (bytes->size() > limit) return Failure(file + ": larger than " + std::to_string(limit >> 20) + " MiB");
  }
  switch (format) {
    case FileFormat::IntelHex:
      return Decoded(file, ReadHexImage(*bytes));
    case FileFormat::SRecord:
      return Decoded(file, ReadSRecordImage(*bytes));
    case FileFormat::Elf:
      return DecodedElf(file, std::move(*bytes), memory);
    case FileFormat::Binary:
      break;
  }
  return Loaded(std::move(*bytes));
}

std::optional<std::string> SaveImage(const std::string& file, std::span<const std::uint8_t> image) {
  if (file == StandardStream) {
    UseBinaryMode(stdout);
    if (PutOutput(stdout, std::string_view(reinterpret_cast<const char*>(image.data()), image.size())))
      return std::nullopt;
    return TakeOutputFailure(stdout);
  }
  if (const auto error = UnwritableName(file)) return error;
  try {
    ReplaceFileContents(file, EncodeImage(FileFormatOf(file, true), image, file));
  } catch (const FileError& error) {
    return file + ": " + FileErrorCause(error.error);
  }
  return std::nullopt;
}

LoadedInputs LoadInputImages(const Job& job) {
  LoadedInputs inputs;
  inputs.images.resize(job.actions.size());
  inputs.signatures.resize(job.actions.size());
  const auto failed = [&](const Action& action, const std::string& error) {
    return LoadedInputs{.images = {}, .signatures = {}, .error = ActionTitle(action) + ": " + error};
  };
  for (std::size_t i = 0; i < job.actions.size(); ++i) {
    const Action& action = job.actions[i];
    if (action.kind == ActionKind::Read) {
      if (const auto error = UnwritableName(action.file)) return failed(action, *error);
    }
    if (action.kind != ActionKind::Write && action.kind != ActionKind::Verify) continue;
    LoadedImage loaded = LoadImage(action.file, action.memory);
    if (!loaded.error.empty()) return failed(action, loaded.error);
    // Writing or comparing nothing would erase the chip, or pass, over no data at all.
    if (loaded.image.empty()) return failed(action, action.file + " holds no data");
    inputs.images[i] = std::move(loaded.image);
    inputs.signatures[i] = loaded.signature;
  }
  return inputs;
}

}  // namespace kestrel::cli
