#include "buffer/SaveBuffer.h"

#include <filesystem>

#include "buffer/FileIo.h"
#include "buffer/FilePath.h"
#include "buffer/ImageEncoding.h"
#include "buffer/MemoryImage.h"

namespace kestrel {

bool SaveBufferAs(MemoryImage& image, bool understandHex, const AskFileNameFn& askFileName) {
  const std::optional<std::string> name = askFileName(image.WorkingFileName());
  if (!name || name->empty()) return false;
  const FileFormat format = FileFormatOf(*name, understandHex);
  if (!IsWritable(format)) {
    image.View().ShowWarning(ElfNotWrittenWarning);
    return false;
  }
  std::error_code ignored;
  if (std::filesystem::exists(FilePath(*name), ignored) &&
      image.View().AskYesNo(OverwriteQuestion) != Answer::Yes)
    return false;
  ReplaceFileContents(*name, EncodeImage(format, image.DataBuffer(), *name));
  return true;
}

}  // namespace kestrel
