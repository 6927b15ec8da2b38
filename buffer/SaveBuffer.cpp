#include "buffer/SaveBuffer.h"

#include <filesystem>

#include "buffer/BinaryFile.h"
#include "buffer/FileIo.h"
#include "buffer/HexWriter.h"
#include "link/Session.h"

namespace kestrel {

bool SaveBufferAs(Session& session, const AskFileNameFn& askFileName) {
  const std::optional<std::string> name = askFileName(session.WorkingFileName);
  if (!name || name->empty()) return false;
  std::error_code ignored;
  if (std::filesystem::exists(*name, ignored) && session.view.AskYesNo(OverwriteQuestion) != Answer::Yes)
    return false;
  if (IsHexFile(session, *name))
    ReplaceFileContents(*name, WriteHexImage(session.DataBuffer));
  else
    ReplaceFileContents(*name, session.DataBuffer);
  return true;
}

}  // namespace kestrel
