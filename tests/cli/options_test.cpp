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
  };
  for (const auto& [arguments, error] : cases) {
    const CommandLine line = Parse(arguments);
    EXPECT_EQ(line.kind, CommandLine::Kind::UsageError) << error;
    EXPECT_EQ(line.error, error);
  }
}
