#include "operations/Connection.h"

#include "link/Commands.h"
#include "link/Watchdog.h"

namespace kestrel {

void FormShow(Session& s) { StartExchange(s.queue); }

void Comm321ReceiveData(Session& s, const std::uint8_t* buffer, std::uint16_t length, LinkTime receivedAt) {
  s.reception.Receive(buffer, length, receivedAt);
}

void Timer2Timer(Session& s) {
  TraceWatchdogTimeout(s.line);
  Rediscover(s);
}

void Rediscover(Session& s) {
  s.view.SetCaption(NotConnectedCaption);
  s.queue.AbandonCommandQueue();
  s.view.LockDialog().ClearBitBoxes();
  s.view.ClearChipList();
  s.view.ClearCommandList();
  s.CommandRowCount = 0;
  GetProgrammerName(s.queue);
}

}  // namespace kestrel
