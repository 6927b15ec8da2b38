#pragma once
// Choosing the working file in the browser, and the save prompt that guards unsaved grid edits
// before the buffer is replaced or the window closes.

#include <functional>
#include <optional>
#include <string>

namespace kestrel {

class MemoryImage;

inline constexpr char UnsavedEditsQuestion[] = "Данные в буфере изменены!\n\rХотите сохранить изменения?";
inline constexpr char WorkingFileStatus[] = "Рабочий файл: ";

// Runs the save dialog and saves; false when the user cancelled it or declined to overwrite.
using SaveBufferFn = std::function<bool()>;

// With unsaved edits, asks whether to save them. Returns whether the caller may go on and drop the
// edits: after No, or after Yes with a completed save; Cancel, a closed box and a cancelled save
// keep them. Going on clears BufferModified. A failing save raises its FileError.
bool OfferToSaveEdits(MemoryImage& image, const SaveBufferFn& save);

// The browser's choice: the selected file, when there is one, becomes WorkingFileName (otherwise
// the old one is loaded again), the status panel names it and LoadFile loads it.
bool ChooseWorkingFile(MemoryImage& image, const std::optional<std::string>& selected, bool understandHex);

}  // namespace kestrel
