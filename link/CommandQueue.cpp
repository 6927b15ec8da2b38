#include "link/CommandQueue.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>

#include "link/Commands.h"
#include "link/Frame.h"
#include "link/LinkTrace.h"

namespace kestrel {

namespace {

const std::string kGiveUpWarning = "Не могу выполнить команду!\n\rОчередь команд очищена.";
const std::string kOperationAborted = "Операция прервана!";

int Count(const Session& s) { return static_cast<int>(s.CommandQueue.size()); }

}  // namespace

void EnqueueCommand(Session& s, const std::uint8_t* payload, std::uint16_t length) {
  if (length == 0 || length > MaxPayloadSize) return;
  QueuedCommand entry;
  entry.Length = static_cast<std::uint8_t>(length);
  entry.Data = std::make_unique<std::uint8_t[]>(length);
  std::copy_n(payload, length, entry.Data.get());
  s.CommandQueue.push_back(std::move(entry));
  s.QueueBarMaximum = Count(s);
  s.view.SetQueueProgress(s.QueueBarMaximum, Count(s));
  if (Count(s) >= 2) s.view.ShowQueueWindow();
}

void DequeueCommand(Session& s) {
  if (s.CommandQueue.empty()) return;
  s.CommandQueue.erase(s.CommandQueue.begin());
  s.FreshPollsFrom.reset();
  s.view.SetQueueProgress(s.QueueBarMaximum, Count(s));
  if (s.CommandQueue.empty()) s.view.CloseQueueWindow();
}

void ClearCommandQueue(Session& s) {
  while (!s.CommandQueue.empty()) DequeueCommand(s);
}

void AbandonCommandQueue(Session& s) {
  const bool chipCommandsDropped =
      std::any_of(s.CommandQueue.begin(), s.CommandQueue.end(),
                  [](const QueuedCommand& c) { return c.Data[0] < FirstProgrammerOpcode; });
  ClearCommandQueue(s);
  if (chipCommandsDropped) s.view.SetStatusText(kOperationAborted);
}

void SendHeadCommand(Session& s) {
  if (s.CommandQueue.empty()) return;
  const QueuedCommand& head = s.CommandQueue.front();
  std::array<std::uint8_t, MaxFrameSize> frame;
  const std::size_t length = ComposeFrame({head.Data.get(), head.Length}, frame.data());
  const LinkTime sent = s.Now();
  if (s.WriteData) s.WriteData(frame.data(), static_cast<std::uint16_t>(length));
  if (s.Trace) s.Trace->Sent(sent, {frame.data(), length});
  // The device's answer to this frame is its poll, which cannot be here before both have
  // crossed the line and the read interval has passed.
  const std::uint32_t rate = s.LineRate ? s.LineRate() : 0;
  s.FreshPollsFrom = sent + LineTime(length + FrameHeaderSize, rate) + ReadInterval + StalePollMargin;
  if (++s.SendAttempts < MaxSendAttempts) return;
  if (s.Trace) s.Trace->Event(s.Now(), "give-up after " + std::to_string(MaxSendAttempts) + " sends");
  AbandonCommandQueue(s);
  s.SendAttempts = 0;
  s.view.CloseQueueWindow();
  s.view.ShowWarning(kGiveUpWarning);
}

bool PollIsStale(const Session& s) {
  return !s.CommandQueue.empty() && s.FreshPollsFrom && s.ReceivedAt < *s.FreshPollsFrom;
}

}  // namespace kestrel
