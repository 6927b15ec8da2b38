#include "buffer/BinaryFile.h"

#include "buffer/FileIo.h"
#include "buffer/HexReader.h"
#include "link/Session.h"

namespace kestrel {

bool IsHexFileName(const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  const std::string extension = name.substr(dot);
  return extension == ".hex" || extension == ".HEX";
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

bool LoadWorkingFileIntoBuffer(Session& session) {
  // One byte past the limit is enough to know a file is too long.
  const auto file = ReadRegularFile(session.WorkingFileName, MaxImageSize + 1);
  if (!file) return false;
  if (file->size() > MaxImageSize) {
    session.view.ShowWarning(SizeWarningText);
    return false;
  }
  if (IsHexFileName(session.WorkingFileName) && session.view.OptionChecked(HexOption))
    return LoadHexStream(session, *file);
  return LoadBinaryStream(session, *file);
}

bool LoadFile(Session& session) {
  session.DataBuffer.clear();
  session.view.FormatGrid();
  return LoadWorkingFileIntoBuffer(session);
}

}  // namespace kestrel
