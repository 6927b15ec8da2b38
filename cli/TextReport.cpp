#include "cli/TextReport.h"

#include <type_traits>

#include "cli/Text.h"

namespace kestrel::cli {

namespace {

// A device's or a file's text on one line.
std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return line;
}

std::string FileName(const Action& action) {
  if (action.file != StandardStream) return OneLine(action.file);
  return action.kind == ActionKind::Read ? "standard output" : "standard input";
}

class Lines {
 public:
  explicit Lines(std::string prefix) : prefix_(std::move(prefix)) {}
  void Add(const std::string& line) { text_ += prefix_ + line + '\n'; }
  std::string Take() { return std::move(text_); }

 private:
  std::string prefix_;
  std::string text_;
};

void Report(Lines& lines, const Action& action, std::monostate) { lines.Add(ActionTitle(action) + ": done"); }

void Report(Lines& lines, const Action&, const ProgrammerReport& report) {
  lines.Add("programmer: " + OneLine(report.name));
  for (const std::string& line : report.infoLines) lines.Add("info: " + OneLine(line));
  for (std::size_t number = 0; number < report.chips.size(); ++number)
    lines.Add(std::to_string(number) + " " + OneLine(report.chips[number]));
}

void Report(Lines& lines, const Action&, const ChipReport& report) {
  lines.Add("chip: " + std::to_string(report.number) + " " + OneLine(report.name));
  std::string commands;
  for (const ChipCommand command : report.commands)
    commands += (commands.empty() ? "" : ", ") + CommandWords(command);
  lines.Add("commands: " + commands);
  lines.Add("flash: " + std::to_string(report.flashSize) + " bytes");
  lines.Add("eeprom: " + std::to_string(report.eepromSize) + " bytes");
  lines.Add("ram: " + std::to_string(report.ramSize) + " bytes");
  for (std::size_t bit = 0; bit < report.fuseBits.size(); ++bit)
    lines.Add("fuse " + std::to_string(bit) + ": " + OneLine(report.fuseBits[bit]));
  for (std::size_t bit = 0; bit < report.lockBits.size(); ++bit)
    lines.Add("lock " + std::to_string(bit) + ": " + OneLine(report.lockBits[bit]));
}

void Report(Lines& lines, const Action&, const SignatureReport& report) {
  lines.Add("signature: " + OneLine(report.text));
}

void Report(Lines& lines, const Action& action, const MemoryReport& report) {
  std::string line = ActionTitle(action) + ": ";
  const std::string bytes = std::to_string(report.bytes) + " bytes";
  switch (action.kind) {
    case ActionKind::Read:
      line += bytes + " into " + FileName(action);
      break;
    case ActionKind::Write:
      line += bytes + " from " + FileName(action);
      if (report.erased) line += ", erased before";
      if (report.verified) line += ", verified";
      if (report.mismatchAt) line += ", verify differs at " + HexAddress(*report.mismatchAt);
      break;
    default:
      if (report.mismatchAt)
        line += FileName(action) + " differs at " + HexAddress(*report.mismatchAt);
      else
        line += bytes + " equal to " + FileName(action);
  }
  if (!report.sha256.empty()) line += ", sha256 " + report.sha256;
  lines.Add(line);
  if (report.mismatch)
    for (const std::string& each : MismatchLines(*report.mismatch))
      lines.Add(ActionTitle(action) + ": " + each);
}

void Report(Lines& lines, const Action& action, const BitsReport& report) {
  const bool written = !action.bits.empty() && report.bits == action.bits;
  lines.Add(ActionTitle(action) + (written ? " written: " : ": ") + report.bits);
}

}  // namespace

std::string TextReport(const PortResult& result, bool namePort) {
  Lines lines(namePort ? OneLine(result.port) + ": " : "");
  if (result.serial) lines.Add("serial: " + std::to_string(*result.serial));
  for (const ActionResult& action : result.actions)
    std::visit([&](const auto& detail) { Report(lines, action.action, detail); }, action.detail);
  return lines.Take();
}

std::string ErrorLine(const PortResult& result) {
  if (result.error.empty()) return {};
  return ProgramMessage(result.port + ": " + result.error);
}

std::string ProgramMessage(std::string_view what) { return "kestrel-cli: " + OneLine(what) + '\n'; }

}  // namespace kestrel::cli
