#include "link/Watchdog.h"

#include <string>

#include "link/CommandQueue.h"
#include "link/Commands.h"
#include "link/LinkTrace.h"

namespace kestrel {

void FormShow(Session& s) {
  EndOperation(s);
  GetProgrammerName(s);
}

void Timer2Timer(Session& s) {
  if (s.Trace) s.Trace->Event(s.Now(), "watchdog timeout");
  Rediscover(s);
}

void Rediscover(Session& s) {
  s.view.SetCaption(std::string(NotConnectedCaption));
  AbandonCommandQueue(s);
  s.view.LockDialog().ClearBitBoxes();
  s.view.ClearChipList();
  s.view.ClearCommandList();
  s.CommandRowCount = 0;
  GetProgrammerName(s);
}

}  // namespace kestrel
