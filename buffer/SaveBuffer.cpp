#include "buffer/SaveBuffer.h"

#include <filesystem>

#include "buffer/BinaryFile.h"
#include "buffer/FileIo.h"
#include "buffer/FilePath.h"
#include "buffer/HexWriter.h"
#include "buffer/MemoryImage.h"

namespace kestrel {

bool SaveBufferAs(MemoryImage& image, bool understandHex, const AskFileNameFn& askFileName) {
  const std::optional<std::string> name = askFileName(image.WorkingFileName());
  if (!name || name->empty()) return false;
  std::error_code ignored;
  if (std::filesystem::exists(FilePath(*name), ignored) &&
      image.View().AskYesNo(OverwriteQuestion) != Answer::Yes)
    return false;
  if (IsHexFile(*name, understandHex))
    ReplaceFileContents(*name, WriteHexImage(image.DataBuffer()));
  else
    ReplaceFileContents(*name, image.DataBuffer());
  return true;
}

}  // namespace kestrel
