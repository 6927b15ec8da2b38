#include "cli/LineSettings.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/IniText.h"

using namespace kestrel;
using namespace kestrel::cli;

namespace {

StoredSettings FromIni(std::string_view text) {
  return SettingsFromValues(ReadGeneralValues(text), "KESTREL.conf");
}

}  // namespace

// Texts as the desktop program's settings store wrote them (its values set through the
// settings dialog's keys), byte for byte.
TEST(StoredSettings, ReadsWhatTheDesktopProgramWrote) {
  const StoredSettings quoted = FromIni(
      "[General]\nBitrate=115200\nCheck1=1\n"
      "ComPort=\" /dev/serial/by-id/usb-\xC3\x9C, \\\"x\\\"; a=b\\\\c\\t@\"\nParity=-1\n"
      "Path=/home/\xD1\x8E/\xD0\x9F\xD1\x80\xD0\xBE\xD1\x88\xD0\xB8\xD0\xB2\xD0\xBA\xD0\xB8\n");
  EXPECT_EQ(quoted.comPort, " /dev/serial/by-id/usb-\xC3\x9C, \"x\"; a=b\\c\t@");
  EXPECT_EQ(quoted.bitrate, 115200);
  EXPECT_EQ(quoted.parity, -1);
  EXPECT_TRUE(quoted.unreadable.empty());

  const StoredSettings escaped = FromIni("[General]\nBitrate=56000\nComPort=@@COM3\nParity=4\n");
  EXPECT_EQ(escaped.comPort, "@COM3");
  EXPECT_EQ(escaped.parity, 4);

  const StoredSettings controls = FromIni(
      "[General]\nComPort=tab\\there\\nnl\\x1\\x31\\x63tl\x7f"
      "del\n");
  EXPECT_EQ(controls.comPort,
            "tab\there\nnl\x01"
            "1ctl\x7f"
            "del");
}

// Each expectation is what the store itself read from the same text.
TEST(StoredSettings, ReadsHandEditedFilesAsTheStoreDoes) {
  const StoredValues values = ReadGeneralValues(
      "\xEF\xBB\xBF; comment\r\n"
      "ComPort = COM9 ; the adapter\r\n"
      "[Other]\nBitrate=1\n"
      "[general]\n"
      "Bitrate=\" 9600\"\n"
      "Parity=2\nParity=3\n"
      "A=\"a;b\" c ; d\n"
      "B=\\x41\\102\\q\n"
      "C=a\\\nb\n"
      "D=@Invalid()\n"
      "E=@ByteArray(x)\n"
      "F=a, b\n"
      "G=@Size(1 2)])\n"
      "%48=%U0430\n"
      "g\\k=in a group\n");
  const auto text = [&](const char* key) -> std::string {
    const auto found = values.find(key);
    if (found == values.end()) return "<missing>";
    return found->second.kind == StoredValue::Kind::Text ? found->second.text : "<other>";
  };
  EXPECT_EQ(text("ComPort"), "COM9");
  EXPECT_EQ(text("Bitrate"), " 9600");
  EXPECT_EQ(text("Parity"), "3");
  EXPECT_EQ(text("A"), "a;bc ");
  EXPECT_EQ(text("B"), "AB");
  EXPECT_EQ(text("C"), "ab");
  EXPECT_EQ(text("D"), "<missing>");
  EXPECT_EQ(text("E"), "<other>");
  EXPECT_EQ(text("F"), "<other>");
  EXPECT_EQ(text("G"), "@Size(1 2)])");
  EXPECT_EQ(text("H"), "%U0430");
  EXPECT_EQ(values.size(), 10u);  // nothing of [Other] or of the group

  const StoredSettings stored = SettingsFromValues(values, "KESTREL.conf");
  EXPECT_EQ(stored.bitrate, 9600);
  EXPECT_EQ(stored.parity, 3);
}

TEST(StoredSettings, FillInWhatTheCommandLineLeavesOut) {
  Job bare;
  EXPECT_TRUE(ApplyStoredSettings(bare, {}).empty());
  EXPECT_EQ(bare.ports, std::vector<std::string>{"COM1"});
  EXPECT_EQ(bare.baud, 56000u);
  EXPECT_EQ(bare.parity, pOdd);

  StoredSettings stored = FromIni("ComPort=TTYUSB0\nBitrate=fast\nParity=0\n");
  ASSERT_EQ(stored.unreadable, std::set<std::string>{"Bitrate"});
  Job job;
  EXPECT_EQ(ApplyStoredSettings(job, stored),
            std::vector<std::string>{"the stored Bitrate in KESTREL.conf cannot be used; using 56000"});
  EXPECT_EQ(job.ports, std::vector<std::string>{"TTYUSB0"});
  EXPECT_EQ(job.parity, pNone);

  // What the command line gives wins, and an unusable value it replaces goes unmentioned.
  Job given;
  given.ports = {"COM4", "COM5"};
  given.baud = 9600;
  given.parity = pSpace;
  EXPECT_TRUE(ApplyStoredSettings(given, stored).empty());
  EXPECT_EQ(given.ports, (std::vector<std::string>{"COM4", "COM5"}));
  EXPECT_EQ(given.baud, 9600u);
  EXPECT_EQ(given.parity, pSpace);

  EXPECT_EQ(FromIni("Bitrate=0\n").unreadable, std::set<std::string>{"Bitrate"});
  EXPECT_EQ(FromIni("ComPort=COM1, COM2\n").unreadable, std::set<std::string>{"ComPort"});
}

// A ninth-bit row outside the list gets the warning a bad rate gets; -1, which the desktop
// program stores while no row is chosen, is none and no fault.
TEST(StoredSettings, AParityRowOutsideTheListIsWarnedAbout) {
  for (const char* row : {"99", "-2", "5", "odd"}) {
    Job job;
    EXPECT_EQ(ApplyStoredSettings(job, FromIni(std::string("Parity=") + row + "\n")),
              std::vector<std::string>{"the stored Parity in KESTREL.conf cannot be used; using odd"})
        << row;
    EXPECT_EQ(job.parity, pOdd) << row;
  }
  Job none;
  EXPECT_TRUE(ApplyStoredSettings(none, FromIni("Parity=-1\n")).empty());
  EXPECT_EQ(none.parity, pOdd);
}

TEST(StoredSettings, TheStoredNinthBitRowGivesTheParity) {
  const std::pair<std::optional<std::int32_t>, TParity> rows[]{{0, pNone},  {1, pOdd},  {2, pEven},
                                                               {3, pSpace}, {4, pMark}, {std::nullopt, pOdd},
                                                               {-1, pOdd},  {5, pOdd}};
  for (const auto& [row, parity] : rows) {
    StoredSettings stored;
    stored.parity = row;
    Job job;
    ApplyStoredSettings(job, stored);
    EXPECT_EQ(job.parity, parity) << row.value_or(-2);
  }
}
