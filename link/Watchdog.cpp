#include "link/Watchdog.h"

#include <string>

#include "link/CommandQueue.h"
#include "link/Commands.h"

namespace kestrel {

void FormShow(Session& s) {
  EndOperation(s);
  GetProgrammerName(s);
}

void Timer2Timer(Session& s) {
  s.view.SetCaption(std::string(NotConnectedCaption));
  AbandonCommandQueue(s);
  s.view.LockDialog().ClearBitBoxes();
  s.view.ClearChipList();
  s.view.ClearCommandList();
  GetProgrammerName(s);
}

}  // namespace kestrel
