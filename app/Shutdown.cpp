#include "app/Shutdown.h"

#include "buffer/MemoryImage.h"

namespace kestrel {

bool FormClose(MemoryImage& image, const SaveBufferFn& save, ShutdownSteps& steps) {
  if (!OfferToSaveEdits(image, save)) return false;
  steps.StoreSettings();
  steps.DropModemLines();
  steps.Pause(ModemLinesSettleTime);
  steps.StopWatchdog();
  steps.ClearLayoutReady();
  steps.StopBrowserTimer();
  image.Release();
  return true;
}

}  // namespace kestrel
