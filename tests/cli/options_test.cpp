#include "cli/Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestrel;
using namespace kestrel::cli;

namespace {

CommandLine Parse(std::vector<std::string> arguments) { return ParseCommandLine(arguments); }

Job Accepted(std::vector<std::string> arguments) {
  const CommandLine line = Parse(std::move(arguments));
  EXPECT_EQ(line.kind, CommandLine::Kind::Run) << line.error;
  return line.job;
}

}  // namespace

TEST(Options, RepeatedPortsAndEveryOptionFormAnywhereOnTheLine) {
  const Job job = Accepted({"-p", "COM3", "info", "--port=/dev/ttyACM0", "-pTTYUSB0", "--baud", "115200",
                            "-Peven", "--chip=ATmega8", "-eVq", "--json"});
  EXPECT_EQ(job.ports, (std::vector<std::string>{"COM3", "/dev/ttyACM0", "TTYUSB0"}));
  EXPECT_EQ(job.baud, 115200u);
  EXPECT_EQ(job.parity, pEven);
  EXPECT_EQ(job.chip, "ATmega8");
  EXPECT_TRUE(job.erase && job.verify && job.quiet && job.json);
  EXPECT_EQ(job.actions, (std::vector<Action>{Action(ActionKind::Info)}));

  // Nothing given: the stored settings decide later; the last of a repeated value counts.
  const Job bare = Accepted({"-b", "9600", "-b", "56000", "-P", "MARK", "info"});
  EXPECT_TRUE(bare.ports.empty());
  EXPECT_EQ(bare.baud, 56000u);
  EXPECT_EQ(bare.parity, pMark);
  EXPECT_FALSE(bare.chip || bare.erase || bare.verify || bare.json || bare.quiet);
}

TEST(Options, OptionalArgumentsStopAtTheNextAction) {
  const Job job =
      Accepted({"-c",     "3",    "erase", "info",   "erase",   "eeprom",    "erase", "all", "fuses",
                "lock",   "0110", "write", "flash",  "fw.HEX",  "signature", "fuses", "1",   "verify",
                "eeprom", "-",    "read",  "eeprom", "out.bin", "chip",      "lock"});
  EXPECT_EQ(job.actions, (std::vector<Action>{
                             Action(ActionKind::Erase, Memory::All),
                             Action(ActionKind::Info),
                             Action(ActionKind::Erase, Memory::Eeprom),
                             Action(ActionKind::Erase, Memory::All),
                             Action(ActionKind::Fuses),
                             Action(ActionKind::Lock, Memory::Flash, "", "0110"),
                             Action(ActionKind::Write, Memory::Flash, "fw.HEX"),
                             Action(ActionKind::Signature),
                             Action(ActionKind::Fuses, Memory::Flash, "", "1"),
                             Action(ActionKind::Verify, Memory::Eeprom, "-"),
                             Action(ActionKind::Read, Memory::Eeprom, "out.bin"),
                             Action(ActionKind::Chip),
                             Action(ActionKind::Lock),
                         }));
  // After "--" a FILE may look like an option.
  EXPECT_EQ(Accepted({"-c", "1", "write", "flash", "--", "-e.bin"}).actions,
            (std::vector<Action>{Action(ActionKind::Write, Memory::Flash, "-e.bin")}));
}

TEST(Options, LogAndSerialNumbers) {
  const Job job =
      Accepted({"-c", "1", "--log=runs.jsonl", "--serial", "eeprom:0x1F0:4:bcd", "write", "eeprom", "e.bin",
                "--serial-file", "serials", "--serial-start", "500", "--serial-step=10"});
  EXPECT_EQ(job.log, "runs.jsonl");
  EXPECT_EQ(job.serial, (SerialOptions{.memory = Memory::Eeprom,
                                       .address = 0x1F0,
                                       .bytes = 4,
                                       .format = SerialFormat::Bcd,
                                       .file = "serials",
                                       .start = 500,
                                       .step = 10}));
  // Decimal address, le and the numbering from 1 by 1 unless told otherwise.
  EXPECT_EQ(
      Accepted({"-c", "1", "--serial", "flash:100:8", "--serial-file", "s", "write", "flash", "f"}).serial,
      (SerialOptions{.memory = Memory::Flash, .address = 100, .bytes = 8, .file = "s"}));
}

TEST(Options, HelpAndVersionWinOverTheRest) {
  EXPECT_EQ(Parse({"info", "-h"}).kind, CommandLine::Kind::Help);
  EXPECT_EQ(Parse({"--help", "bogus"}).kind, CommandLine::Kind::Help);
  EXPECT_EQ(Parse({"--version"}).kind, CommandLine::Kind::Version);
  EXPECT_EQ(std::string(UsageText).substr(0, 42), "kestrel-cli [OPTIONS] ACTION [ACTION ...]\n");
}

TEST(Options, UsageErrorsSayWhatAndWhere) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{}, "no action given (see --help)"},
      {{"-x", "info"}, "argument 1: unknown option '-x'"},
      {{"--colour", "info"}, "argument 1: unknown option '--colour'"},
      {{"info", "flash"}, "argument 2: unknown action 'flash'"},
      {{"-b", "0", "info"}, "argument 1: -b needs a whole number from 1 to 2147483647, not '0'"},
      {{"--baud=2147483648", "info"},
       "argument 1: --baud needs a whole number from 1 to 2147483647, not '2147483648'"},
      {{"-b", "56k", "info"}, "argument 1: -b needs a whole number from 1 to 2147483647, not '56k'"},
      {{"--parity", "ninth", "info"},
       "argument 1: --parity needs none, odd, even, mark or space, not 'ninth'"},
      {{"info", "-p"}, "argument 2: -p needs a value"},
      {{"-p", "--json", "info"}, "argument 1: -p needs a value"},
      {{"--json=yes", "info"}, "argument 1: --json takes no value"},
      {{"-c", "1", "fuses", "0120"}, "argument 4: fuses needs BITS of 0 and 1 only, not '0120'"},
      {{"-c", "1", "erase", "flash"}, "argument 4: erase takes all or eeprom, not 'flash'"},
      {{"-c", "1", "read", "ram", "x"}, "argument 4: read needs flash or eeprom, not 'ram'"},
      {{"-c", "1", "read"}, "argument 3: read needs flash or eeprom and a FILE"},
      {{"-c", "1", "write", "flash"}, "argument 4: write flash needs a FILE"},
      {{"-c", "1", "write", "flash", "verify", "flash", "x"},
       "argument 5: write flash needs a FILE before 'verify' (a file of that name: ./verify)"},
      {{"info", "signature"}, "argument 2: signature needs a chip: -c NAME or -c N"},
      {{"-p", "COM3", "-p", "com3", "info"}, "argument 3: port 'com3' is given twice"},
      {{"-c", "1", "write", "flash", "-", "verify", "flash", "-"},
       "argument 8: standard input is already read by argument 5"},
      {{"-p", "A", "-p", "B", "-c", "1", "read", "flash", "x"},
       "argument 7: read saves one FILE, so it takes one port, not 2"},
      {{"--json", "-c", "1", "read", "eeprom", "-"},
       "argument 6: read into standard output cannot go with --json"},
      {{"info", "--log"}, "argument 2: --log needs a value"},
      {{"--log=", "info"}, "argument 1: --log needs a FILE"},
      {{"--serial=flash:0", "info"},
       "argument 1: --serial needs MEMORY:ADDRESS:BYTES[:FORMAT], not 'flash:0'"},
      {{"--serial=ram:0:2", "info"}, "argument 1: --serial needs MEMORY flash or eeprom, not 'ram'"},
      {{"--serial=flash:0x:2", "info"},
       "argument 1: --serial needs an ADDRESS of decimal digits or 0x and hexadecimal digits, not '0x'"},
      {{"--serial=flash:0x100000000:2", "info"},
       "argument 1: --serial needs an ADDRESS of decimal digits or 0x and hexadecimal digits, not "
       "'0x100000000'"},
      {{"--serial=flash:0:9", "info"}, "argument 1: --serial needs BYTES from 1 to 8, not '9'"},
      {{"--serial=flash:0:0", "info"}, "argument 1: --serial needs BYTES from 1 to 8, not '0'"},
      {{"--serial=flash:0:2:bin", "info"},
       "argument 1: --serial needs FORMAT le, be, bcd or ascii, not 'bin'"},
      {{"--serial-start=-1", "info"}, "argument 1: --serial-start needs a whole number, not '-1'"},
      {{"--serial-step=0", "info"}, "argument 1: --serial-step needs a whole number of at least 1, not '0'"},
      {{"-c", "1", "--serial=flash:0:2", "write", "flash", "f"},
       "argument 3: --serial needs --serial-file FILE"},
      {{"-c", "1", "write", "flash", "f", "--serial-step=2", "--serial-file", "s"},
       "argument 6: --serial-file, --serial-start and --serial-step need --serial"},
      {{"-c", "1", "--serial=eeprom:0:2", "--serial-file", "s", "write", "flash", "f", "verify", "eeprom",
        "e"},
       "argument 3: --serial needs a write eeprom to put the number in"},
      {{"-c", "1", "--serial=flash:0:1:bcd", "--serial-file", "s", "--serial-start", "100", "write", "flash",
        "f"},
       "argument 6: --serial-start 100 does not fit 1 byte of bcd (at most 99)"},
      {{"-c", "1", "--serial=flash:0:2:ascii", "--serial-file", "s", "--serial-start=100", "write", "flash",
        "f"},
       "argument 6: --serial-start 100 does not fit 2 bytes of ascii (at most 99)"},
  };
  for (const auto& [arguments, error] : cases) {
    const CommandLine line = Parse(arguments);
    EXPECT_EQ(line.kind, CommandLine::Kind::UsageError) << error;
    EXPECT_EQ(line.error, error);
  }
}
