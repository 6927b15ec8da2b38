#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "cli/Json.h"
#include "cli/JsonReport.h"
#include "cli/TextReport.h"

using namespace kestrel::cli;
using Bytes = std::vector<std::uint8_t>;

TEST(Report, JsonStringsEscapeControlsAndKeepUtf8) {
  EXPECT_EQ(JsonString("say \"hi\"\\ \b\f\n\r\t\x01\x1f\x7f"),
            "\"say \\\"hi\\\"\\\\ \\b\\f\\n\\r\\t\\u0001\\u001f\x7f\"");
  EXPECT_EQ(JsonString("\xD0\xA7\xD0\xB5\xD1\x82 \xE2\x82\xAC \xF0\x9F\x98\x80"),
            "\"\xD0\xA7\xD0\xB5\xD1\x82 \xE2\x82\xAC \xF0\x9F\x98\x80\"");
  // Malformed UTF-8 (a stray byte, a cut sequence, a surrogate, an overlong form) would make the
  // output unreadable as JSON: each becomes U+FFFD.
  EXPECT_EQ(JsonString("a\xFF"
                       "b\xE2\x82"
                       "c\xED\xA0\x80"
                       "d\xC0\xAF"),
            "\"a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD"
            "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
            "d\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString(std::string("nul\0end", 7)), "\"nul\\u0000end\"");
}

TEST(Report, OneJsonObjectPerPortWithEveryActionsFields) {
  using namespace std::chrono;
  PortResult result;
  result.started = sys_days(year(2024) / 2 / 29) + hours(23) + minutes(59) + seconds(58) + milliseconds(7);
  result.duration = milliseconds(12345);
  result.port = "COM3";
  result.programmer = "PR-2M";
  result.chip = "ATmega8";
  result.serial = 18446744073709551615u;
  result.status = ExitStatus::DeviceFailure;
  result.error = "verify flash: fw.hex differs at 0x0100";
  result.actions = {
      {Action{ActionKind::Info}, ProgrammerReport{"P\"1", {"v1", "v2"}, {"ATmega8", "AT90S2313"}}},
      {Action{ActionKind::Erase, Memory::All}, std::monostate()},
      {Action{ActionKind::Fuses, Memory::Flash, "", "01"}, BitsReport{"01"}},
      {Action{ActionKind::Verify, Memory::Flash, "fw.hex"},
       MemoryReport{512, false, false, 0x100,
                    CompareWithChip(Bytes{1, 0xFF, 0xFF, 4}, Bytes{1, 0x00, 0x7F, 4}), "ab01"}},
  };
  EXPECT_EQ(
      JsonReport(result),
      R"({"time":"2024-02-29T23:59:58.007Z","duration_s":12.345,"port":"COM3","programmer":"PR-2M",)"
      R"("chip":"ATmega8","serial":18446744073709551615,"status":1,)"
      R"("error":"verify flash: fw.hex differs at 0x0100","actions":[)"
      R"({"action":"info","programmer":"P\"1","info":["v1","v2"],"chips":[{"number":0,"name":"ATmega8"},)"
      R"({"number":1,"name":"AT90S2313"}]},{"action":"erase","memory":"all"},)"
      R"({"action":"fuses","bits":"01","written":true},)"
      R"({"action":"verify","memory":"flash","file":"fw.hex","bytes":512,"verified":false,)"
      R"("mismatch":{"block":256,"count":2,"ranges":[[1,2]],"bytes":[{"address":1,"chip":0,"file":255},)"
      R"({"address":2,"chip":127,"file":255}]},"sha256":"ab01"}]})"
      "\n");

  // A run that chose no chip and was stopped; a mismatch the chip was not read back for.
  PortResult stopped;
  stopped.port = "COM4";
  stopped.status = ExitStatus::Terminated;
  stopped.interrupted = Interruption{Action(ActionKind::Write, Memory::Eeprom, "e.bin"), 0x40, 0x200};
  stopped.error = InterruptionText(*stopped.interrupted);
  stopped.actions = {{Action{ActionKind::Verify, Memory::Flash, "f.bin"}, MemoryReport{8, false, false, 0}}};
  EXPECT_EQ(
      JsonReport(stopped),
      R"({"time":"1970-01-01T00:00:00.000Z","duration_s":0.000,"port":"COM4","programmer":null,"chip":null,)"
      R"("serial":null,"status":143,"error":"write eeprom interrupted at 0x0040 of 0x0200: the chip is partly written",)"
      R"("interrupted":{"action":"write","memory":"eeprom","file":"e.bin","done":64,"total":512},)"
      R"("actions":[{"action":"verify","memory":"flash","file":"f.bin","bytes":8,"verified":false,)"
      R"("mismatch":{"block":0}}]})"
      "\n");
}

TEST(Report, AnInterruptionSaysWhereAndWhatItLeft) {
  const std::vector<std::pair<Interruption, std::string>> cases{
      {{Action(ActionKind::Write, Memory::Flash, "f"), 0x1C00, 0x8000},
       "write flash interrupted at 0x1C00 of 0x8000: the chip is partly written"},
      {{Action(ActionKind::Read, Memory::Eeprom, "e"), 0x10, 0x200},
       "read eeprom interrupted at 0x0010 of 0x0200: the chip is unchanged, nothing saved"},
      {{Action(ActionKind::Erase, Memory::All)}, "erase all interrupted: the chip is partly erased"},
      {{Action(ActionKind::Fuses, Memory::Flash, "", "0101")},
       "fuses interrupted: the bits are partly written"},
      {{Action(ActionKind::Lock)}, "lock interrupted: the chip is unchanged"},
  };
  for (const auto& [interruption, text] : cases) EXPECT_EQ(InterruptionText(interruption), text);
}

TEST(Report, TextLinesNameThePortWhenThereAreSeveral) {
  PortResult result;
  result.port = "COM7";
  result.status = ExitStatus::Link;
  result.error = "no programmer answered on COM7";
  ChipReport chip{2,
                  "ATmega8",
                  {kestrel::ChipCommand::ReadSignature, kestrel::ChipCommand::ReadProgramMemory,
                   kestrel::ChipCommand::WriteProgramMemory},
                  8192,
                  512,
                  1024,
                  {"F0", "F1"},
                  {"L0"}};
  result.actions = {
      {Action{ActionKind::Signature}, SignatureReport{"line one\nline two", true}},
      {Action{ActionKind::Chip}, chip},
      {Action{ActionKind::Write, Memory::Eeprom, "-"}, MemoryReport{100, true, true, std::nullopt}},
      {Action{ActionKind::Verify, Memory::Flash, "f.bin"},
       MemoryReport{2, false, false, 0, CompareWithChip(Bytes{0x00, 0x10}, Bytes{0xFF, 0x10}), "5e"}},
  };
  result.serial = 42;
  const std::string lines =
      "serial: 42\n"
      "signature: line one line two\n"
      "chip: 2 ATmega8\n"
      "commands: read signature, read flash, write flash\n"
      "flash: 8192 bytes\neeprom: 512 bytes\nram: 1024 bytes\n"
      "fuse 0: F0\nfuse 1: F1\nlock 0: L0\n"
      "write eeprom: 100 bytes from standard input, erased before, verified\n"
      "verify flash: f.bin differs at 0x0000, sha256 5e\n"
      "verify flash: 1 byte differs, in 0x0000\n"
      "verify flash: 0x0000: chip FF, file 00\n"
      "verify flash: the chip looks not written\n";
  EXPECT_EQ(TextReport(result, false), lines);
  std::string prefixed;
  for (std::size_t start = 0; start < lines.size();) {
    const std::size_t end = lines.find('\n', start) + 1;
    prefixed += "COM7: " + lines.substr(start, end - start);
    start = end;
  }
  EXPECT_EQ(TextReport(result, true), prefixed);
  EXPECT_EQ(ErrorLine(result), "kestrel-cli: COM7: no programmer answered on COM7\n");
  result.status = ExitStatus::Done;
  result.error.clear();
  EXPECT_EQ(ErrorLine(result), "");
}

TEST(Report, TheWorstStatusGoesFromOneBoardToTheWholeJob) {
  // 0 < 1 < 3 < 4 < 2 < 130, whatever the order the ports end in.
  std::array<ExitStatus, 6> statuses{ExitStatus::Done, ExitStatus::DeviceFailure, ExitStatus::Link,
                                     ExitStatus::File, ExitStatus::Usage,         ExitStatus::Interrupted};
  for (std::size_t count = 1; count <= statuses.size(); ++count) {
    std::array<ExitStatus, 6> ports = statuses;
    std::sort(ports.begin(), ports.begin() + count);
    do {
      ExitStatus worst = ExitStatus::Done;
      for (std::size_t i = 0; i < count; ++i) worst = Worse(worst, ports[i]);
      EXPECT_EQ(worst, statuses[count - 1]);
    } while (std::next_permutation(ports.begin(), ports.begin() + count));
  }
}
