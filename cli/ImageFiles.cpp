#include "cli/ImageFiles.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "buffer/BinaryFile.h"
#include "buffer/FileIo.h"
#include "buffer/HexReader.h"
#include "buffer/HexWriter.h"
#include "cli/Output.h"
#include "cli/Terminal.h"
#include "operations/Session.h"

namespace kestrel::cli {

namespace {

const char* FaultText(HexFault fault) {
  switch (fault) {
    case HexFault::None:
      break;
    case HexFault::NoRecords:
      return "no HEX records";
    case HexFault::NoEndRecord:
      return "no end-of-file record";
    case HexFault::BadDigit:
      return "not a hexadecimal digit";
    case HexFault::CutRecord:
      return "the record is cut short";
    case HexFault::TrailingText:
      return "text after the checksum";
    case HexFault::BadChecksum:
      return "wrong checksum";
    case HexFault::BadAddressRecord:
      return "an extended address record without two data bytes";
    case HexFault::TooLarge:
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

LoadedImage Failure(std::string error) { return {Image(), std::move(error)}; }

}  // namespace

LoadedImage LoadImage(const std::string& file) {
  const bool hex = file != StandardStream && IsHexFileName(file);
  const std::size_t limit = hex ? MaxHexTextSize : MaxMemorySize;
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
    if (bytes->size() > limit)
      return Failure(file + ": larger than " + (hex ? "4 MiB of HEX text" : "16 MiB"));
  }
  if (!hex) return {std::move(*bytes), {}};
  HexReadResult read = ReadHexImage(*bytes);
  if (read.fault == HexFault::None) return {std::move(read.image), {}};
  const std::string line = read.line ? ": line " + std::to_string(read.line) : "";
  return Failure(file + line + ": " + FaultText(read.fault));
}

std::optional<std::string> SaveImage(const std::string& file, std::span<const std::uint8_t> image) {
  if (file == StandardStream) {
    UseBinaryMode(stdout);
    if (PutOutput(stdout, std::string_view(reinterpret_cast<const char*>(image.data()), image.size())))
      return std::nullopt;
    return TakeOutputFailure(stdout);
  }
  try {
    if (IsHexFileName(file))
      ReplaceFileContents(file, WriteHexImage(image));
    else
      ReplaceFileContents(file, image);
  } catch (const FileError& error) {
    return file + ": " + FileErrorCause(error.error);
  }
  return std::nullopt;
}

LoadedInputs LoadInputImages(const Job& job) {
  LoadedInputs inputs;
  inputs.images.resize(job.actions.size());
  for (std::size_t i = 0; i < job.actions.size(); ++i) {
    const Action& action = job.actions[i];
    if (action.kind != ActionKind::Write && action.kind != ActionKind::Verify) continue;
    LoadedImage loaded = LoadImage(action.file);
    if (!loaded.error.empty()) return {InputImages(), ActionTitle(action) + ": " + loaded.error};
    inputs.images[i] = std::move(loaded.image);
  }
  return inputs;
}

}  // namespace kestrel::cli
