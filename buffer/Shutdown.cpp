#include "buffer/Shutdown.h"

#include "link/Session.h"

namespace kestrel {

bool FormClose(Session& session, const SaveBufferFn& save, ShutdownSteps& steps) {
  if (!OfferToSaveEdits(session, save)) return false;
  steps.StoreSettings();
  steps.ClearRts();
  steps.ClearDtr();
  steps.Pause(ModemLinesSettleTime);
  steps.StopWatchdog();
  steps.ClearLayoutReady();
  steps.StopBrowserTimer();
  session.DataBuffer.clear();
  session.DataBuffer.shrink_to_fit();
  return true;
}

}  // namespace kestrel
