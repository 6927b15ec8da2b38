#include "buffer/BinaryFile.h"

#include <algorithm>
#include <cctype>

#include "buffer/FileIo.h"
#include "buffer/HexReader.h"
#include "link/Session.h"

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

bool LoadBinaryStream(Session& session, std::span<const std::uint8_t> image) {
  if (image.size() >= MaxImageSize) {
    session.view.ShowWarning(SizeWarningText);
    return false;
  }
  session.DataBuffer.assign(image.begin(), image.end());
  session.view.FormatGrid();
  return true;
}

bool IsHexFile(const Session& session, const std::string& path) {
  return IsHexFileName(path) && session.view.OptionChecked(HexOption);
}

bool LoadWorkingFileIntoBuffer(Session& session) {
  const std::string& path = session.WorkingFileName;
  const bool hex = IsHexFile(session, path);
  // A HEX text may be larger than the image it describes.
  const std::size_t limit = hex ? MaxHexTextSize : MaxImageSize;
  // One byte past the limit is enough to know a file is too long.
  const auto file = ReadRegularFile(path, limit + 1);
  if (!file) return false;
  if (file->size() > limit) {
    session.view.ShowWarning(SizeWarningText);
    return false;
  }
  return hex ? LoadHexStream(session, *file, path) : LoadBinaryStream(session, *file);
}

bool LoadFile(Session& session) {
  session.DataBuffer.clear();
  session.view.FormatGrid();
  return LoadWorkingFileIntoBuffer(session);
}

}  // namespace kestrel
