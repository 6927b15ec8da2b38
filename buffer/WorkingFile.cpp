#include "buffer/WorkingFile.h"

#include "buffer/BinaryFile.h"
#include "link/Session.h"

namespace kestrel {

bool OfferToSaveEdits(Session& session, const SaveBufferFn& save) {
  if (session.BufferModified) {
    switch (session.view.AskYesNoCancel(UnsavedEditsQuestion)) {
      case Answer::Yes:
        if (!save()) return false;
        break;
      case Answer::No:
        break;
      case Answer::Cancel:
        return false;
    }
  }
  session.BufferModified = false;
  return true;
}

bool ChooseWorkingFile(Session& session, const std::optional<std::string>& selected) {
  if (selected) session.WorkingFileName = *selected;
  session.view.SetStatusText(WorkingFileStatus + session.WorkingFileName);
  return LoadFile(session);
}

}  // namespace kestrel
