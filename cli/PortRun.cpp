#include "cli/PortRun.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "buffer/HexDigits.h"
#include "cli/ChipCheck.h"
#include "cli/Interrupt.h"
#include "cli/Mismatch.h"
#include "cli/PortView.h"
#include "cli/SerialCheck.h"
#include "cli/SerialFile.h"
#include "cli/SerialNumbers.h"
#include "cli/Sha256.h"
#include "cli/Text.h"
#include "cli/TransferProgress.h"
#include "link/LinkTrace.h"
#include "link/NotifyQueue.h"
#include "link/ProgrammerPort.h"
#include "link/Watchdog.h"
#include "operations/ChipMemory.h"
#include "operations/Session.h"
#include "operations/StatusTexts.h"

namespace kestrel::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Ends the run with its status and error line.
struct PortFailure {
  ExitStatus status;
  std::string message;
};

// Ends the run after an interrupt (status 130 or 143), once the command on the line is answered.
struct PortInterrupted {
  ExitStatus status;
};

// The waits check for an interrupt at least this often, even when the line is quiet.
constexpr std::chrono::milliseconds InterruptCheckInterval{50};

std::string SignatureBytesText(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) text += (text.empty() ? "" : " ") + ByteToHex(byte);
  return text;
}

// What a write of fuse or lock bits left different from what it asked for; none when the chip
// holds the bits asked for. A lock bit the chip keeps programmed is cleared only by erasing it.
std::optional<std::string> BitsNotTaken(const Action& action, const std::string& held,
                                        const std::vector<std::string>& names) {
  if (action.bits.empty() || held == action.bits) return std::nullopt;
  std::string stuck, missed;
  for (std::size_t i = 0; i < action.bits.size() && i < held.size(); ++i) {
    if (action.bits[i] == held[i]) continue;
    const bool keptProgrammed = action.kind == ActionKind::Lock && held[i] == '1';
    std::string& list = keptProgrammed ? stuck : missed;
    list += (list.empty() ? "" : ", ") + std::to_string(i) + (i < names.size() ? " " + names[i] : "");
  }
  std::string text = ActionTitle(action) + ":";
  if (!missed.empty()) text += " bits " + missed + " did not take;";
  if (!stuck.empty())
    text += " bits " + stuck + " stay programmed (lock bits are cleared only by erasing the chip);";
  return text + " the chip holds " + held;
}

std::vector<bool> Checked(const std::string& bits) {
  std::vector<bool> checked;
  for (const char bit : bits) checked.push_back(bit == '1');
  return checked;
}

// One port's link and session, driven from the port's own thread: the thread plays the desktop
// program's user-interface thread, delivering the serial component's notifications to the
// session as the main window does.
class PortRunner {
 public:
  PortRunner(const PortJob& job, PortProgress& progress)
      : job_(job),
        progress_(progress),
        notify_(new NotifyQueue),
        port_(std::unique_ptr<NotifyTarget>(notify_)),
        session_(view_, LineThrough(port_, trace_.get())) {
    port_.OnReceiveData = [this](const void* buffer, std::uint16_t length) {
      session_.Receive({static_cast<const std::uint8_t*>(buffer), length}, port_.ReceivedAt());
    };
    // A lost port is the end of this run: the board is in an unknown state.
    port_.OnRequestHangup = [this](TComm32&) { view_.LoseLink("the port was lost"); };
    view_.OnQueueProgress = [this](int done, int) { ReportProgress(done); };
  }

  ~PortRunner() {
    port_.OnReceiveData = nullptr;
    port_.OnRequestHangup = nullptr;
    DropModemLines(port_);
  }

  PortResult Run() {
    PortResult result;
    result.port = job_.port;
    try {
      Connect();
      result.programmer = session_.Programmer().Name;
      if (job_.job.chip) {
        SelectChip();
        result.chip = session_.Chip().Name;
        CheckSignatures();
        result.serial = TakeSerial();
      }
      for (std::size_t i = 0; i < job_.job.actions.size(); ++i) {
        StopWhenInterrupted();
        current_ = &job_.job.actions[i];
        result.actions.push_back({*current_, RunAction(i)});
        if (const auto failure = Verdict(result.actions.back())) throw *failure;
      }
    } catch (const PortFailure& failure) {
      result.status = failure.status;
      result.error = failure.message;
    } catch (const PortInterrupted& interrupted) {
      result.status = interrupted.status;
      if (current_) {
        result.interrupted = WhereItStopped();
        result.error = InterruptionText(*result.interrupted);
      } else {
        result.error = "interrupted before the first action: the chip is unchanged";
      }
    }
    return result;
  }

 private:
  void Connect() {
    try {
      if (!OpenProgrammerPort(port_, {.port = job_.port, .baud = job_.baud, .parity = job_.parity}))
        throw PortFailure{ExitStatus::Link, "the port cannot be opened"};
    } catch (const ECommsError& error) {
      throw PortFailure{ExitStatus::Link, std::string("the port cannot be opened (") + error.what() + ")"};
    }
    view_.RestartWatchdog();
    session_.Start();
    Await([this] { return session_.Programmer().Introduced && !session_.Busy(); }, "no programmer answered");
  }

  void SelectChip() {
    const auto chosen = ChooseChip(session_.Programmer().Chips, *job_.job.chip);
    if (const auto* error = std::get_if<std::string>(&chosen)) throw PortFailure{ExitStatus::Usage, *error};
    chipRow_ = std::get<int>(chosen);
    session_.SelectChip(chipRow_);
    AwaitQueue();
    for (const auto& refusal : {CheckJobAgainstChip(job_.job, images_, session_.Chip()),
                                CheckSerialAgainstChip(job_.job, session_.Chip())})
      if (refusal) throw PortFailure{refusal->status, refusal->message};
  }

  // An AVR ELF file to be written names the chip it was built for: a chip that answers with
  // other signature bytes is refused before anything changes it, unless --force.
  void CheckSignatures() {
    bool asked = false;
    for (std::size_t i = 0; i < job_.job.actions.size(); ++i) {
      const auto& wanted = job_.inputs.signatures[i];
      if (job_.job.force || !wanted || job_.job.actions[i].kind != ActionKind::Write) continue;
      if (!asked) Run(ChipCommand::ReadSignature);
      asked = true;
      const auto& answered = view_.LastSignature();
      if (!answered) throw PortFailure{ExitStatus::DeviceFailure, "the programmer sent no signature"};
      if (!std::equal(wanted->begin(), wanted->end(), answered->bytes.begin(), answered->bytes.end()))
        throw PortFailure{ExitStatus::File,
                          ActionTitle(job_.job.actions[i]) + ": " + job_.job.actions[i].file +
                              " is for the chip with signature " + SignatureBytesText(*wanted) +
                              ", the chip answers " + SignatureBytesText(answered->bytes) +
                              " (--force writes it anyway)"};
    }
  }

  // The board's serial number, taken before the first command that changes the chip, and put
  // into the images of this port's writes and verifies of its memory.
  std::optional<std::uint64_t> TakeSerial() {
    if (!job_.job.serial) return std::nullopt;
    const TakenSerial taken = TakeSerialNumber(*job_.job.serial);
    if (!taken.number) throw PortFailure{ExitStatus::File, taken.error};
    images_ = WithSerial(job_.job, images_, *taken.number);
    return taken.number;
  }

  ActionDetail RunAction(std::size_t index) {
    const Action& action = job_.job.actions[index];
    const ChipMemory& memory = MemoryOf(action.memory);
    view_.StartAction();
    actionTitle_ = ActionTitle(action);
    transfer_.Stop();
    commandsDone_ = 0;
    switch (action.kind) {
      case ActionKind::Info: {
        const ProgrammerInfo& programmer = session_.Programmer();
        return ProgrammerReport{programmer.Name, programmer.InfoLines, programmer.Chips};
      }
      case ActionKind::Chip:
        return Chip();
      case ActionKind::Signature:
        Run(ChipCommand::ReadSignature);
        return Signature();
      case ActionKind::Read: {
        transfer_.Start(action, session_.Chip().*memory.size, false, false);
        Run(memory.read);
        const auto& image = session_.Image().DataBuffer();
        if (const auto error = SaveImage(action.file, image)) throw PortFailure{ExitStatus::File, *error};
        return MemoryReport{.bytes = image.size(), .sha256 = Sha256Hex(image)};
      }
      case ActionKind::Write:
      case ActionKind::Verify:
        return Transfer(action, images_[index]);
      case ActionKind::Erase:
        Run(memory.erase);
        return std::monostate();
      case ActionKind::Fuses:
        return Bits(action, view_.Fuses(), session_.Chip().FuseBitNames.size(), ChipCommand::ReadFuseBits,
                    ChipCommand::WriteFuseBits, &Session::WriteFuseBits);
      case ActionKind::Lock:
        return Bits(action, view_.Locks(), session_.Chip().LockBitNames.size(), ChipCommand::ReadLockBits,
                    ChipCommand::WriteLockBits, &Session::WriteLockBits);
    }
    return std::monostate();
  }

  ChipReport Chip() const {
    const ChipProperties& chip = session_.Chip();
    return {.number = chipRow_,
            .name = chip.Name,
            .commands = chip.RowCommands,
            .flashSize = chip.ProgramMemorySize,
            .eepromSize = chip.EepromSize,
            .ramSize = chip.RamSize,
            .fuseBits = chip.FuseBitNames,
            .lockBits = chip.LockBitNames};
  }

  SignatureReport Signature() const {
    const auto& signature = view_.LastSignature();
    if (!signature) throw PortFailure{ExitStatus::DeviceFailure, "the programmer sent no signature"};
    return {SignatureText(*signature), signature->verdict.value_or(false)};
  }

  // write and verify: the image goes into the session's buffer, as a loaded file would.
  MemoryReport Transfer(const Action& action, const std::vector<std::uint8_t>& image) {
    const ChipMemory& memory = MemoryOf(action.memory);
    const bool write = action.kind == ActionKind::Write;
    session_.Image().Assign(std::span<const std::uint8_t>(image));
    WriteOptions options;
    options.*memory.options = {.reload = false, .erase = job_.job.erase, .verify = job_.job.verify};
    transfer_.Start(action, static_cast<std::uint32_t>(image.size()), job_.job.erase, job_.job.verify);
    Run(write ? memory.write : memory.verify, options);
    MemoryReport report{.bytes = image.size(),
                        .erased = write && job_.job.erase,
                        .verified = !write || job_.job.verify,
                        .mismatchAt = view_.MismatchAt(),
                        .sha256 = Sha256Hex(image)};
    if (report.mismatchAt) {
      report.verified = false;
      report.mismatch = ReadBackDifference(memory, image);
    }
    return report;
  }

  // After a failed verify: the chip read back over the image's range, byte by byte against it.
  std::optional<Mismatch> ReadBackDifference(const ChipMemory& memory,
                                             const std::vector<std::uint8_t>& image) {
    view_.StartAction();
    session_.ReadFirst(chipRow_, memory, static_cast<std::uint32_t>(image.size()));
    AwaitQueue();
    return CompareWithChip(image, session_.Image().DataBuffer());
  }

  // Reads the bits, or writes them and reads back what the chip holds.
  BitsReport Bits(const Action& action, BitList& bits, std::size_t count, ChipCommand read, ChipCommand write,
                  void (Session::*writeBits)(const std::vector<bool>&)) {
    if (!action.bits.empty()) {
      // The editor's operation selects the chip; its write button then sends the bits.
      session_.Run(chipRow_, write);
      (session_.*writeBits)(Checked(action.bits));
      AwaitQueue();
    }
    Run(read);
    if (bits.States().size() != count)
      throw PortFailure{ExitStatus::DeviceFailure, "the programmer reported " +
                                                       std::to_string(bits.States().size()) + " of " +
                                                       std::to_string(count) + " bits"};
    return {bits.States()};
  }

  // Whether the action's result makes the port fail.
  std::optional<PortFailure> Verdict(const ActionResult& result) const {
    const std::string title = ActionTitle(result.action);
    if (const auto* bits = std::get_if<BitsReport>(&result.detail)) {
      const ChipProperties& chip = session_.Chip();
      const auto& names = result.action.kind == ActionKind::Fuses ? chip.FuseBitNames : chip.LockBitNames;
      if (const auto notTaken = BitsNotTaken(result.action, bits->bits, names))
        return PortFailure{ExitStatus::DeviceFailure, *notTaken};
    }
    if (const auto* memory = std::get_if<MemoryReport>(&result.detail); memory && memory->mismatchAt)
      return PortFailure{ExitStatus::DeviceFailure,
                         title + ": the chip differs in the block at " + HexAddress(*memory->mismatchAt)};
    if (const auto* signature = std::get_if<SignatureReport>(&result.detail); signature && !signature->good)
      return PortFailure{ExitStatus::DeviceFailure, title + ": " + signature->text};
    return std::nullopt;
  }

  // Runs `operation` on the chip, then waits until the device has done it all.
  void Run(ChipCommand operation, const WriteOptions& options = {}) {
    session_.Run(chipRow_, operation, options);
    AwaitQueue();
  }

  void AwaitQueue() {
    Await([this] { return !session_.Busy(); },
          actionTitle_.empty() ? "the link was lost" : actionTitle_ + ": the link was lost");
  }

  // Between commands: an interrupt stops the run before anything new is sent.
  void StopWhenInterrupted() {
    if (const ExitStatus status = InterruptStatus(); status != ExitStatus::Done)
      throw PortInterrupted{status};
  }

  // Where an interrupt stopped the run: the action, and for a memory action its phase and the
  // address it had reached.
  Interruption WhereItStopped() {
    if (const auto step = transfer_.At(commandsDone_))
      return {.action = step->action, .done = step->done, .total = step->total};
    return {.action = *current_, .done = 0, .total = 0};
  }

  // Delivers the serial component's notifications until `done` holds. A lost link, or no poll
  // for the watchdog's interval (which runs the watchdog's timeout), ends the run. After an
  // interrupt nothing new is sent: the run ends once the command on the line is answered.
  void Await(const std::function<bool()>& done, const std::string& lost) {
    for (;;) {
      if (!view_.LinkLost().empty()) throw PortFailure{ExitStatus::Link, lost + ": " + view_.LinkLost()};
      if (const ExitStatus status = InterruptStatus(); status != ExitStatus::Done) {
        // What the stop drops never went out: the progress stays where the device got to.
        stopping_ = true;
        session_.Stop();
        if (!session_.Busy()) throw PortInterrupted{status};
      }
      if (done()) return;
      const auto left = view_.WatchdogDeadline() - Clock::now();
      if (left <= Clock::duration::zero()) {
        session_.WatchdogExpired();
        throw PortFailure{ExitStatus::Link,
                          lost + ": no poll for " + std::to_string(WatchdogIntervalMs / 1000) + " s"};
      }
      notify_->DrainUntil(
          [&] { return done() || !view_.LinkLost().empty(); },
          std::min(InterruptCheckInterval, std::chrono::ceil<std::chrono::milliseconds>(left)));
    }
  }

  void ReportProgress(int done) {
    if (stopping_) return;
    commandsDone_ = done;
    if (const auto step = transfer_.At(done))
      progress_.Update({.action = ActionTitle(step->action),
                        .done = step->done,
                        .total = step->total,
                        .elapsed = step->elapsed});
  }

  const PortJob& job_;
  PortProgress& progress_;
  PortView view_;
  // The file KESTREL_TRACE names, as in the desktop program; null without one.
  const std::unique_ptr<LinkTrace> trace_ = LinkTrace::FromEnvironment();
  NotifyQueue* const notify_;  // owned by port_
  TComm32 port_;
  Session session_;
  int chipRow_ = -1;
  // This port's images: the serial number goes into them.
  InputImages images_ = job_.inputs.images;
  const Action* current_ = nullptr;
  std::string actionTitle_;
  TransferProgress transfer_;
  int commandsDone_ = 0;
  bool stopping_ = false;
};

}  // namespace

PortResult RunPort(const PortJob& job, PortProgress& progress) { return PortRunner(job, progress).Run(); }

}  // namespace kestrel::cli
