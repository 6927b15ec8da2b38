#include "cli/Options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "cli/SerialNumbers.h"
#include "link/AsciiCase.h"

namespace kestrel::cli {

const char UsageText[] = R"(kestrel-cli [OPTIONS] ACTION [ACTION ...]
  -p, --port NAME      port, as in the settings dialog (COM3, TTYUSB0, /dev/ttyACM0); may be given
                       several times: the actions then run on every port at once
  -b, --baud N         line rate; -P, --parity none|odd|even|mark|space
                       (defaults: the desktop program's stored ComPort, Bitrate and Parity, else COM1, 56000, odd)
  -c, --chip NAME|N    the chip, by its name as the device lists it (case-insensitive) or its number
  -e, --erase          erase before each write (EraseAll for flash, EraseEeprom for eeprom)
  -V, --verify         verify after each write
      --force          write an ELF file whose signature section names another chip than the one seated
      --json           one JSON object per port on standard output instead of text
  -q, --quiet          no progress
      --log FILE       append each port's JSON object to FILE as one line, whole, even when gangs and
                       other processes share FILE
      --serial MEMORY:ADDRESS:BYTES[:FORMAT]
                       give each board the next number of --serial-file, put into the image of the write
                       of MEMORY (flash|eeprom) at ADDRESS (decimal or 0x-hex) in BYTES (1..8) bytes,
                       FORMAT le (default), be, bcd (packed) or ascii (decimal digits, leading zeros)
      --serial-file FILE   holds the next number as decimal text; shared safely, never gives one twice
      --serial-start N     the first number, when FILE does not exist (default 1)
      --serial-step N      what each board adds to the number (default 1)
  -h, --help, --version
ACTIONS (run in order, each after the previous one ended):
  info                          programmer name, information lines, chip list ("N NAME" a line)
  chip                          with -c: offered commands, memory sizes, fuse and lock bit names
  signature                     the signature reply as the status panel shows it
  read  flash|eeprom FILE       read the whole memory into FILE
  write flash|eeprom FILE       write FILE (the image's bytes past the memory's size are refused, not clipped)
  verify flash|eeprom FILE      compare; a mismatch is read back and explained: how many bytes differ, where,
                                the first ones, whether the chip looks not erased or not written
  erase [all|eeprom]            EraseAll (default) or EraseEeprom
  fuses [BITS]   lock [BITS]    read (no BITS) or write (BITS: 0/1 characters, bit 0 first, one per bit)
FILE: by extension .hex .ihx .ihex Intel HEX, .srec .s19 .s28 .s37 .mot S-records, .elf ELF (write and
  verify: the memory named); "-" standard input or output; anything else raw binary
Ctrl+C (SIGINT) or SIGTERM stops every port once the command on the line is answered; a second ends at once.
EXIT STATUS: 0 done, 1 the device failed (verify, signature), 2 usage, 3 port or link, 4 file,
130 after SIGINT (Ctrl+C), 143 after SIGTERM (Ctrl+Break); with several ports the worst.
)";

namespace {

struct UsageError {
  std::string text;
};

[[noreturn]] void Fail(std::size_t index, const std::string& what) {
  throw UsageError{"argument " + std::to_string(index + 1) + ": " + what};
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

enum class OptionId {
  Port,
  Baud,
  Parity,
  Chip,
  Erase,
  Verify,
  Force,
  Json,
  Quiet,
  Log,
  Serial,
  SerialFile,
  SerialStart,
  SerialStep,
  Help,
  Version
};

struct OptionForm {
  char shortName;  // 0: long form only
  std::string_view longName;
  OptionId id;
  bool takesValue;
};

constexpr std::array<OptionForm, 16> kOptions{{
    {'p', "port", OptionId::Port, true},
    {'b', "baud", OptionId::Baud, true},
    {'P', "parity", OptionId::Parity, true},
    {'c', "chip", OptionId::Chip, true},
    {'e', "erase", OptionId::Erase, false},
    {'V', "verify", OptionId::Verify, false},
    {0, "force", OptionId::Force, false},
    {0, "json", OptionId::Json, false},
    {'q', "quiet", OptionId::Quiet, false},
    {0, "log", OptionId::Log, true},
    {0, "serial", OptionId::Serial, true},
    {0, "serial-file", OptionId::SerialFile, true},
    {0, "serial-start", OptionId::SerialStart, true},
    {0, "serial-step", OptionId::SerialStep, true},
    {'h', "help", OptionId::Help, false},
    {0, "version", OptionId::Version, false},
}};

constexpr std::array<std::pair<std::string_view, TParity>, 5> kParities{{
    {"none", pNone},
    {"odd", pOdd},
    {"even", pEven},
    {"mark", pMark},
    {"space", pSpace},
}};

// A whole number of decimal digits (or hexadecimal ones with `base` 16) that `T` holds.
template <typename T>
std::optional<T> ParseWhole(std::string_view text, int base = 10) {
  T value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A line rate: a whole number from 1 to the largest the settings store keeps.
std::optional<std::uint32_t> ParseBaud(std::string_view text) {
  const auto value = ParseWhole<std::uint32_t>(text);
  if (!value || *value == 0 || *value > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
    return std::nullopt;
  return value;
}

// An address: decimal, or hexadecimal after 0x.
std::optional<std::uint32_t> ParseAddress(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return ParseWhole<std::uint32_t>(text.substr(2), 16);
  return ParseWhole<std::uint32_t>(text);
}

std::optional<SerialFormat> ParseSerialFormat(std::string_view text) {
  for (const SerialFormat format :
       {SerialFormat::Le, SerialFormat::Be, SerialFormat::Bcd, SerialFormat::Ascii})
    if (SerialFormatName(format) == text) return format;
  return std::nullopt;
}

// The parts of `text` between its colons.
std::vector<std::string_view> SplitAtColons(std::string_view text) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string_view::npos) return parts;
    start = colon + 1;
  }
}

std::optional<TParity> ParseParity(std::string_view text) {
  for (const auto& [name, parity] : kParities)
    if (EqualsIgnoringCase(text, name)) return parity;
  return std::nullopt;
}

bool IsBits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("01") == std::string_view::npos;
}

// An argument that stands for itself rather than for options.
bool IsPlainArgument(std::string_view text) { return text.size() < 2 || text[0] != '-'; }

struct Positional {
  std::size_t index;
  std::string_view text;
};

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  CommandLine Parse() {
    CommandLine result;
    try {
      if (const auto stop = ReadArguments()) {
        result.kind = *stop;
        return result;
      }
      ReadActions();
      CheckJob();
      result.job = std::move(job_);
    } catch (const UsageError& error) {
      result.kind = CommandLine::Kind::UsageError;
      result.error = error.text;
    }
    return result;
  }

 private:
  // Sorts the arguments into options (applied at once) and positional ones. Returns the kind of
  // command line when --help or --version ends the reading.
  std::optional<CommandLine::Kind> ReadArguments() {
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments_.size(); ++index) {
      const std::string_view argument = arguments_[index];
      if (optionsEnded || IsPlainArgument(argument)) {
        positionals_.push_back({index, argument});
      } else if (argument == "--") {
        optionsEnded = true;
      } else if (argument.starts_with("--")) {
        if (const auto stop = ReadLongOption(index)) return stop;
      } else if (const auto stop = ReadShortOptions(index)) {
        return stop;
      }
    }
    return std::nullopt;
  }

  std::optional<CommandLine::Kind> ReadLongOption(std::size_t& index) {
    const std::string_view argument = std::string_view(arguments_[index]).substr(2);
    const std::size_t equals = argument.find('=');
    const std::string_view name = argument.substr(0, equals);
    for (const OptionForm& form : kOptions) {
      if (form.longName != name) continue;
      const std::string shown = "--" + std::string(name);
      if (!form.takesValue) {
        if (equals != std::string_view::npos) Fail(index, shown + " takes no value");
        return Apply(form, shown, index, {});
      }
      if (equals != std::string_view::npos) return Apply(form, shown, index, argument.substr(equals + 1));
      const std::size_t optionIndex = index;
      const std::string_view value = SeparateValue(shown, index);
      return Apply(form, shown, optionIndex, value);
    }
    Fail(index, "unknown option " + Quoted("--" + std::string(name)));
  }

  std::optional<CommandLine::Kind> ReadShortOptions(std::size_t& index) {
    const std::string_view argument = arguments_[index];
    for (std::size_t at = 1; at < argument.size(); ++at) {
      const OptionForm* found = nullptr;
      for (const OptionForm& form : kOptions)
        if (form.shortName != 0 && form.shortName == argument[at]) found = &form;
      const std::string shown = std::string("-") + argument[at];
      if (!found) Fail(index, "unknown option " + Quoted(shown));
      if (!found->takesValue) {
        if (const auto stop = Apply(*found, shown, index, {})) return stop;
        continue;
      }
      const std::size_t optionIndex = index;
      const std::string_view value =
          at + 1 < argument.size() ? argument.substr(at + 1) : SeparateValue(shown, index);
      return Apply(*found, shown, optionIndex, value);
    }
    return std::nullopt;
  }

  // The value in the argument after the option's, which it then uses up. A value cannot look
  // like an option: "-p --json" is a forgotten port, not a port named "--json".
  std::string_view SeparateValue(const std::string& shown, std::size_t& index) {
    if (index + 1 >= arguments_.size() || !IsPlainArgument(arguments_[index + 1]) ||
        arguments_[index + 1] == StandardStream)
      Fail(index, shown + " needs a value");
    return arguments_[++index];
  }

  std::optional<CommandLine::Kind> Apply(const OptionForm& form, const std::string& shown, std::size_t index,
                                         std::string_view value) {
    switch (form.id) {
      case OptionId::Port:
        if (value.empty()) Fail(index, shown + " needs a port name");
        job_.ports.emplace_back(value);
        portIndex_.push_back(index);
        break;
      case OptionId::Baud:
        job_.baud = ParseBaud(value);
        if (!job_.baud)
          Fail(index, shown + " needs a whole number from 1 to 2147483647, not " + Quoted(value));
        break;
      case OptionId::Parity:
        job_.parity = ParseParity(value);
        if (!job_.parity) Fail(index, shown + " needs none, odd, even, mark or space, not " + Quoted(value));
        break;
      case OptionId::Chip:
        if (value.empty()) Fail(index, shown + " needs a chip name or number");
        job_.chip = std::string(value);
        break;
      case OptionId::Erase:
        job_.erase = true;
        break;
      case OptionId::Verify:
        job_.verify = true;
        break;
      case OptionId::Force:
        job_.force = true;
        break;
      case OptionId::Json:
        job_.json = true;
        break;
      case OptionId::Quiet:
        job_.quiet = true;
        break;
      case OptionId::Log:
        if (value.empty()) Fail(index, shown + " needs a FILE");
        job_.log = std::string(value);
        break;
      case OptionId::Serial:
        serial_ = ParseSerial(shown, index, value);
        serialIndex_ = index;
        break;
      case OptionId::SerialFile:
        if (value.empty()) Fail(index, shown + " needs a FILE");
        serialFile_ = std::string(value);
        NoteSerialDetail(index);
        break;
      case OptionId::SerialStart:
        serialStart_ = ParseWhole<std::uint64_t>(value);
        if (!serialStart_) Fail(index, shown + " needs a whole number, not " + Quoted(value));
        serialStartIndex_ = index;
        NoteSerialDetail(index);
        break;
      case OptionId::SerialStep:
        serialStep_ = ParseWhole<std::uint64_t>(value);
        if (!serialStep_ || *serialStep_ == 0)
          Fail(index, shown + " needs a whole number of at least 1, not " + Quoted(value));
        NoteSerialDetail(index);
        break;
      case OptionId::Help:
        return CommandLine::Kind::Help;
      case OptionId::Version:
        return CommandLine::Kind::Version;
    }
    return std::nullopt;
  }

  // MEMORY:ADDRESS:BYTES[:FORMAT]; the serial number's file, start and step come from their own options.
  static SerialOptions ParseSerial(const std::string& shown, std::size_t index, std::string_view value) {
    const std::vector<std::string_view> parts = SplitAtColons(value);
    if (parts.size() < 3 || parts.size() > 4)
      Fail(index, shown + " needs MEMORY:ADDRESS:BYTES[:FORMAT], not " + Quoted(value));
    SerialOptions serial;
    if (parts[0] == "flash")
      serial.memory = Memory::Flash;
    else if (parts[0] == "eeprom")
      serial.memory = Memory::Eeprom;
    else
      Fail(index, shown + " needs MEMORY flash or eeprom, not " + Quoted(parts[0]));
    const auto address = ParseAddress(parts[1]);
    if (!address)
      Fail(index, shown + " needs an ADDRESS of decimal digits or 0x and hexadecimal digits, not " +
                      Quoted(parts[1]));
    serial.address = *address;
    const auto bytes = ParseWhole<int>(parts[2]);
    if (!bytes || *bytes < 1 || *bytes > 8)
      Fail(index, shown + " needs BYTES from 1 to 8, not " + Quoted(parts[2]));
    serial.bytes = *bytes;
    if (parts.size() == 4) {
      const auto format = ParseSerialFormat(parts[3]);
      if (!format) Fail(index, shown + " needs FORMAT le, be, bcd or ascii, not " + Quoted(parts[3]));
      serial.format = *format;
    }
    return serial;
  }

  // --serial-file, --serial-start and --serial-step mean nothing without --serial.
  void NoteSerialDetail(std::size_t index) {
    if (!serialDetailIndex_) serialDetailIndex_ = index;
  }

  const Positional* Peek() const { return next_ < positionals_.size() ? &positionals_[next_] : nullptr; }

  // The next positional argument when it is not an action's name: an action's argument.
  const Positional* PeekArgument() const {
    const Positional* next = Peek();
    return next && !ActionNamed(next->text) ? next : nullptr;
  }

  void ReadActions() {
    while (const Positional* word = Peek()) {
      ++next_;
      const std::optional<ActionKind> kind = ActionNamed(word->text);
      if (!kind) Fail(word->index, "unknown action " + Quoted(word->text));
      Action action;
      action.kind = *kind;
      std::size_t fileIndex = word->index;
      switch (*kind) {
        case ActionKind::Read:
        case ActionKind::Write:
        case ActionKind::Verify:
          fileIndex = ReadMemoryAndFile(action, *word);
          break;
        case ActionKind::Erase:
          ReadEraseMemory(action);
          break;
        case ActionKind::Fuses:
        case ActionKind::Lock:
          if (const Positional* bits = PeekArgument()) {
            if (!IsBits(bits->text))
              Fail(bits->index,
                   std::string(word->text) + " needs BITS of 0 and 1 only, not " + Quoted(bits->text));
            action.bits = bits->text;
            ++next_;
          }
          break;
        default:
          break;
      }
      job_.actions.push_back(std::move(action));
      actionIndex_.push_back(word->index);
      fileIndex_.push_back(fileIndex);
    }
  }

  // Returns the argument of the FILE.
  std::size_t ReadMemoryAndFile(Action& action, const Positional& word) {
    const Positional* memory = Peek();
    if (memory && memory->text == "flash")
      action.memory = Memory::Flash;
    else if (memory && memory->text == "eeprom")
      action.memory = Memory::Eeprom;
    else if (memory)
      Fail(memory->index, std::string(word.text) + " needs flash or eeprom, not " + Quoted(memory->text));
    else
      Fail(word.index, std::string(word.text) + " needs flash or eeprom and a FILE");
    ++next_;
    const Positional* file = Peek();
    if (!file) Fail(memory->index, ActionTitle(action) + " needs a FILE");
    if (ActionNamed(file->text))
      Fail(file->index, ActionTitle(action) + " needs a FILE before " + Quoted(file->text) +
                            " (a file of that name: ./" + std::string(file->text) + ")");
    action.file = file->text;
    ++next_;
    return file->index;
  }

  void ReadEraseMemory(Action& action) {
    action.memory = Memory::All;
    const Positional* memory = PeekArgument();
    if (!memory) return;
    if (memory->text == "eeprom")
      action.memory = Memory::Eeprom;
    else if (memory->text != "all")
      Fail(memory->index, "erase takes all or eeprom, not " + Quoted(memory->text));
    ++next_;
  }

  // What can be told wrong before any port is opened.
  void CheckJob() {
    if (job_.actions.empty()) throw UsageError{"no action given (see --help)"};
    for (std::size_t j = 1; j < job_.ports.size(); ++j)
      for (std::size_t i = 0; i < j; ++i)
        if (EqualsIgnoringCase(job_.ports[i], job_.ports[j]))
          Fail(portIndex_[j], "port " + Quoted(job_.ports[j]) + " is given twice");
    std::optional<std::size_t> standardInput;
    for (std::size_t i = 0; i < job_.actions.size(); ++i) {
      const Action& action = job_.actions[i];
      if (action.kind != ActionKind::Info && !job_.chip)
        Fail(actionIndex_[i], ActionTitle(action) + " needs a chip: -c NAME or -c N");
      const bool standard = action.file == StandardStream;
      switch (action.kind) {
        case ActionKind::Write:
        case ActionKind::Verify:
          if (standard && standardInput)
            Fail(fileIndex_[i],
                 "standard input is already read by argument " + std::to_string(*standardInput + 1));
          if (standard) standardInput = fileIndex_[i];
          break;
        case ActionKind::Read:
          if (job_.ports.size() > 1)
            Fail(actionIndex_[i],
                 "read saves one FILE, so it takes one port, not " + std::to_string(job_.ports.size()));
          if (standard && job_.json) Fail(fileIndex_[i], "read into standard output cannot go with --json");
          break;
        default:
          break;
      }
    }
    CheckSerial();
  }

  void CheckSerial() {
    if (!serial_) {
      if (serialDetailIndex_)
        Fail(*serialDetailIndex_, "--serial-file, --serial-start and --serial-step need --serial");
      return;
    }
    if (!serialFile_) Fail(serialIndex_, "--serial needs --serial-file FILE");
    const auto writes = [&](const Action& action) {
      return action.kind == ActionKind::Write && action.memory == serial_->memory;
    };
    if (std::none_of(job_.actions.begin(), job_.actions.end(), writes))
      Fail(serialIndex_,
           "--serial needs a write " + std::string(MemoryName(serial_->memory)) + " to put the number in");
    serial_->file = *serialFile_;
    serial_->start = serialStart_.value_or(1);
    serial_->step = serialStep_.value_or(1);
    if (const std::string misfit = SerialMisfit(serial_->start, serial_->bytes, serial_->format);
        !misfit.empty())
      Fail(serialStartIndex_, "--serial-start " + misfit);
    job_.serial = serial_;
  }

  const std::vector<std::string>& arguments_;
  Job job_;
  std::vector<Positional> positionals_;
  std::size_t next_ = 0;                  // the positional argument to read next
  std::vector<std::size_t> portIndex_;    // the argument of each port
  std::vector<std::size_t> actionIndex_;  // the argument of each action's name
  std::vector<std::size_t> fileIndex_;    // the argument of each action's FILE
  // The serial number's options as given, put together once all are read.
  std::optional<SerialOptions> serial_;
  std::optional<std::string> serialFile_;
  std::optional<std::uint64_t> serialStart_;
  std::optional<std::uint64_t> serialStep_;
  std::size_t serialIndex_ = 0;
  std::size_t serialStartIndex_ = 0;
  std::optional<std::size_t> serialDetailIndex_;  // the first of --serial-file, --serial-start, --serial-step
};

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) { return Parser(arguments).Parse(); }

}  // namespace kestrel::cli
