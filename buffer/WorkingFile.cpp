#include "buffer/WorkingFile.h"

#include "buffer/BinaryFile.h"
#include "buffer/MemoryImage.h"

namespace kestrel {

bool OfferToSaveEdits(MemoryImage& image, const SaveBufferFn& save) {
  if (image.BufferModified()) {
    switch (image.View().AskYesNoCancel(UnsavedEditsQuestion)) {
      case Answer::Yes:
        if (!save()) return false;
        break;
      case Answer::No:
        break;
      case Answer::Cancel:
        return false;
    }
  }
  image.SetBufferModified(false);
  return true;
}

bool ChooseWorkingFile(MemoryImage& image, const std::optional<std::string>& selected, bool understandHex) {
  if (selected) image.SetWorkingFileName(*selected);
  image.View().SetStatusText(WorkingFileStatus + image.WorkingFileName());
  return LoadFile(image, understandHex);
}

}  // namespace kestrel
