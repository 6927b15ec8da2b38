#pragma once
// Closing the main window: the save prompt, then the shutdown of the window's machinery.

#include <chrono>

#include "buffer/WorkingFile.h"

namespace kestrel {

class MemoryImage;

// The steps of the shutdown that belong to other parts of the program; none of them throws.
class ShutdownSteps {
 public:
  virtual ~ShutdownSteps() = default;
  virtual void StoreSettings() = 0;   // the settings dialog's destruction stores them
  virtual void DropModemLines() = 0;  // RTS, then DTR
  virtual void Pause(std::chrono::milliseconds duration) = 0;
  virtual void StopWatchdog() = 0;
  virtual void ClearLayoutReady() = 0;
  virtual void StopBrowserTimer() = 0;
};

inline constexpr std::chrono::milliseconds ModemLinesSettleTime{500};

// Returns false when the user keeps the window open (Cancel, a closed box, or a save dialog
// cancelled after Yes). Otherwise runs every shutdown step in order, releases the buffer and
// returns true. The working file is not loaded again.
bool FormClose(MemoryImage& image, const SaveBufferFn& save, ShutdownSteps& steps);

}  // namespace kestrel
