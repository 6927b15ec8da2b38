#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "cli/Json.h"
#include "cli/JsonReport.h"
#include "cli/TextReport.h"

using namespace kestrel::cli;

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
  PortResult result;
  result.port = "COM3";
  result.status = ExitStatus::DeviceFailure;
  result.error = "verify flash: fw.hex differs at 0x0100";
  result.actions = {
      {Action{ActionKind::Info}, ProgrammerReport{"P\"1", {"v1", "v2"}, {"ATmega8", "AT90S2313"}}},
      {Action{ActionKind::Erase, Memory::All}, std::monostate()},
      {Action{ActionKind::Fuses, Memory::Flash, "", "01"}, BitsReport{"01"}},
      {Action{ActionKind::Verify, Memory::Flash, "fw.hex"}, MemoryReport{512, false, false, 0x100}},
  };
  EXPECT_EQ(
      JsonReport(result),
      R"({"port":"COM3","status":1,"error":"verify flash: fw.hex differs at 0x0100","actions":[)"
      R"({"action":"info","programmer":"P\"1","info":["v1","v2"],"chips":[{"number":0,"name":"ATmega8"},)"
      R"({"number":1,"name":"AT90S2313"}]},{"action":"erase","memory":"all"},)"
      R"({"action":"fuses","bits":"01","written":true},)"
      R"({"action":"verify","memory":"flash","file":"fw.hex","bytes":512,"verified":false,"mismatch":256}]})"
      "\n");

  PortResult done;
  done.port = "COM4";
  EXPECT_EQ(JsonReport(done), "{\"port\":\"COM4\",\"status\":0,\"error\":null,\"actions\":[]}\n");
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
  };
  const std::string lines =
      "signature: line one line two\n"
      "chip: 2 ATmega8\n"
      "commands: read signature, read flash, write flash\n"
      "flash: 8192 bytes\neeprom: 512 bytes\nram: 1024 bytes\n"
      "fuse 0: F0\nfuse 1: F1\nlock 0: L0\n"
      "write eeprom: 100 bytes from standard input, erased before, verified\n";
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
  // 0 < 1 < 3 < 4 < 2, whatever the order the ports end in.
  std::array<ExitStatus, 5> statuses{ExitStatus::Done, ExitStatus::DeviceFailure, ExitStatus::Link,
                                     ExitStatus::File, ExitStatus::Usage};
  for (std::size_t count = 1; count <= statuses.size(); ++count) {
    std::array<ExitStatus, 5> ports = statuses;
    std::sort(ports.begin(), ports.begin() + count);
    do {
      ExitStatus worst = ExitStatus::Done;
      for (std::size_t i = 0; i < count; ++i) worst = Worse(worst, ports[i]);
      EXPECT_EQ(worst, statuses[count - 1]);
    } while (std::next_permutation(ports.begin(), ports.begin() + count));
  }
}
