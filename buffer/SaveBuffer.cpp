#include "buffer/SaveBuffer.h"

#include <filesystem>

#include "buffer/FileIo.h"
#include "link/Session.h"

namespace kestrel {

bool SaveBufferAs(Session& session, const AskFileNameFn& askFileName) {
  const std::optional<std::string> name = askFileName(session.WorkingFileName);
  if (!name || name->empty()) return false;
  std::error_code ignored;
  if (std::filesystem::exists(*name, ignored) && session.view.AskYesNo(OverwriteQuestion) != Answer::Yes)
    return false;
  ReplaceFileContents(*name, session.DataBuffer);
  return true;
}

}  // namespace kestrel
