#include "emulator/CommandLine.h"

#include <charconv>
#include <iostream>
#include <map>
#include <string_view>

#include "emulator/PortAlias.h"

namespace kestrel::emulator {

namespace {

using std::chrono::milliseconds;

bool ToUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& out) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size() && out <= max;
}

bool ToShare(std::string_view text, double& out) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
  return error == std::errc() && end == text.data() + text.size() && out >= 0 && out <= 1;
}

constexpr std::uint64_t MaxMs = 3'600'000;
constexpr std::uint64_t MaxCount = UINT64_MAX;

}  // namespace

const char* Usage() {
  return R"(Usage: kestrel-emulator [options]
Emulates the programmer device on a pseudo-terminal registered as a COM name.

  --port NAME          COM name to register, COM1 to COM256 (default COM1)
  --config-home DIR    alias folder is DIR/TARVELIN/ports (default $XDG_CONFIG_HOME or ~/.config)
  --device PATH        run on this serial device instead (raw, 8O1 at --baud, default 56000)
  --state FILE         keep the chips' memories, fuse and lock bits in FILE between runs
  --baud N             pace bytes at N bit/s, 11 bits a byte (default 0: full speed)
  --poll-ms N          poll every N ms while idle (default 50)
  --write-ms N         device time of every write command (default 0)
  --erase-ms N         device time of every erase command (default 0)
  --trace              every frame in and out, with time stamps, to standard error

Faults, the same for the same seed:
  --seed N             (default 1)
  --noise P            share of frames preceded by 1..16 random bytes
  --bad-header P       share of replies with a wrong header sum
  --bad-payload P      share of replies with a wrong payload sum
  --split P            share of replies written in 2..6 pieces a few ms apart
  --drop P             share of replies not sent (the poll still goes out)
  --cross P            share of commands during whose arrival an idle poll goes out
  --stall-after K      answer the K-th command only after --stall-ms N
  --silent-from K      send nothing at all from the K-th command on
  --vanish-after K     close the line after answering the K-th command and open a new one
                       --vanish-ms N later
)";
}

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine result;
  EmulatorOptions& o = result.options;
  FaultOptions& f = o.faults;
  std::uint64_t baud = 0;
  std::uint64_t pollMs = 50, writeMs = 0, eraseMs = 0, stallMs = 0, vanishMs = 0;

  const std::map<std::string_view, std::string*> texts{{"--port", &o.portName},
                                                       {"--config-home", &o.configHome},
                                                       {"--device", &o.device},
                                                       {"--state", &o.stateFile}};
  struct Number {
    std::uint64_t* value;
    std::uint64_t min, max;
  };
  const std::map<std::string_view, Number> numbers{{"--baud", {&baud, 0, 4'000'000}},
                                                   {"--poll-ms", {&pollMs, 1, MaxMs}},
                                                   {"--write-ms", {&writeMs, 0, MaxMs}},
                                                   {"--erase-ms", {&eraseMs, 0, MaxMs}},
                                                   {"--seed", {&f.seed, 0, MaxCount}},
                                                   {"--stall-after", {&f.stallAfter, 0, MaxCount}},
                                                   {"--stall-ms", {&stallMs, 0, MaxMs}},
                                                   {"--silent-from", {&f.silentFrom, 0, MaxCount}},
                                                   {"--vanish-after", {&f.vanishAfter, 0, MaxCount}},
                                                   {"--vanish-ms", {&vanishMs, 0, MaxMs}}};
  const std::map<std::string_view, double*> shares{{"--noise", &f.noise},
                                                   {"--bad-header", &f.badHeader},
                                                   {"--bad-payload", &f.badPayload},
                                                   {"--split", &f.split},
                                                   {"--drop", &f.drop},
                                                   {"--cross", &f.cross}};

  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--help" || name == "-h") {
      result.help = true;
      continue;
    }
    if (name == "--trace") {
      o.trace = [](const std::string& line) { std::cerr << line << '\n'; };
      continue;
    }
    const bool known = texts.contains(name) || numbers.contains(name) || shares.contains(name);
    if (!known) {
      result.error = "unknown option " + std::string(name);
      return result;
    }
    if (i + 1 >= argc) {
      result.error = std::string(name) + " needs a value";
      return result;
    }
    const std::string_view value = argv[++i];
    bool good = true;
    if (const auto text = texts.find(name); text != texts.end()) {
      *text->second = value;
    } else if (const auto number = numbers.find(name); number != numbers.end()) {
      good = ToUnsigned(value, number->second.max, *number->second.value) &&
             *number->second.value >= number->second.min;
    } else {
      good = ToShare(value, *shares.at(name));
    }
    if (!good) {
      result.error = "bad value for " + std::string(name) + ": " + std::string(value);
      return result;
    }
  }
  // An alias is a COM name in the alias folder, never a path that could name another file.
  if (!o.portName.empty()) {
    const auto alias = AliasName(o.portName);
    if (!alias) {
      result.error = "bad value for --port: " + o.portName + " (a COM name, COM1 to COM256)";
      return result;
    }
    o.portName = *alias;
  }
  o.baud = static_cast<std::uint32_t>(baud);
  o.pollInterval = milliseconds(pollMs);
  o.writeTime = milliseconds(writeMs);
  o.eraseTime = milliseconds(eraseMs);
  f.stallFor = milliseconds(stallMs);
  f.vanishFor = milliseconds(vanishMs);
  return result;
}

}  // namespace kestrel::emulator
