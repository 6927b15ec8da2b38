// kestrel-cli on a production line, against emulated programmers: gangs sharing one serial
// number file and one log, a process killed between boards, an interrupted write, a verify that
// explains what differs, and an ELF file built for another chip.

#include <gtest/gtest.h>

#include <signal.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "cli/Sha256.h"
#include "tests/buffer/AvrPrograms.h"
#include "tests/cli/CliFixture.h"

using namespace kestrel;
using namespace kestrel::test;
using namespace std::chrono_literals;
using emulator::Emulator;

namespace {

QJsonObject Json(const std::string& text) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Waits until `done` holds, for at most `limit`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
  for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(20ms))
    if (done()) return true;
  return done();
}

class ProductionTest : public CliTest {
 protected:
  std::string Path(const std::string& name) const { return config_.Path() + "/" + name; }
  QStringList SerialOptions(const char* field) const {
    return {"--serial", field, "--serial-file", QString::fromStdString(Path("serial.txt"))};
  }
  // Starts kestrel-cli without waiting for it.
  std::unique_ptr<QProcess> Start(const QStringList& arguments) const {
    auto process = std::make_unique<QProcess>();
    process->setWorkingDirectory(QString::fromStdString(config_.Path()));
    process->start(QStringLiteral(KESTREL_CLI_PATH), QStringList{"-q"} + arguments);
    EXPECT_TRUE(process->waitForStarted());
    return process;
  }
};

// Two processes, a gang of four each, one serial file and one log: every board gets its own
// number, big-endian at 0x100 in its flash, and one whole log line that names it.
TEST_F(ProductionTest, TwoGangsShareOneSerialFileAndOneLog) {
  for (int i = 1; i <= 8; ++i) AddDevice("COM" + std::to_string(i));
  const Bytes image = Random(3000, 5);
  const QString fw = File("fw.bin", image);
  std::vector<std::unique_ptr<QProcess>> gangs;
  for (const int first : {1, 5}) {
    QStringList arguments = SerialOptions("flash:0x100:4:be");
    arguments << "--serial-start"
              << "1000"
              << "--log" << QString::fromStdString(Path("boards.log")) << "-c"
              << "ATmega328P"
              << "-e"
              << "-V";
    for (int port = first; port < first + 4; ++port) arguments << "-p" << QString("COM%1").arg(port);
    gangs.push_back(Start(arguments << "write"
                                    << "flash" << fw));
  }
  for (auto& gang : gangs) {
    ASSERT_TRUE(gang->waitForFinished(120000));
    EXPECT_EQ(gang->exitCode(), 0) << gang->readAllStandardError().toStdString();
  }

  std::ifstream log(Path("boards.log"));
  std::set<std::uint64_t> serials;
  std::string line;
  while (std::getline(log, line)) {
    const QJsonObject record = Json(line);
    ASSERT_FALSE(record.isEmpty()) << line;
    const auto serial = static_cast<std::uint64_t>(record["serial"].toInteger());
    serials.insert(serial);
    EXPECT_EQ(record["status"].toInt(), 0);
    EXPECT_EQ(record["chip"].toString(), "ATmega328P");
    EXPECT_TRUE(record["time"].toString().endsWith('Z')) << line;
    const int port = record["port"].toString().mid(3).toInt();
    const Bytes flash = FlashOf(*devices_[static_cast<std::size_t>(port - 1)], "ATmega328P", image.size());
    Bytes patched = image;
    for (int i = 0; i < 4; ++i) patched[0x100 + i] = static_cast<std::uint8_t>(serial >> (8 * (3 - i)));
    EXPECT_EQ(flash, patched) << line;
    const QJsonObject write = record["actions"].toArray()[0].toObject();
    EXPECT_EQ(write["sha256"].toString().toStdString(), cli::Sha256Hex(patched)) << line;
    EXPECT_EQ(write["file"].toString(), fw);
  }
  EXPECT_EQ(serials, (std::set<std::uint64_t>{1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007}));
  EXPECT_EQ(FileText(Path("serial.txt")), "1008\n");
}

// A run killed once its board had a number never gives that number again.
TEST_F(ProductionTest, ABoardKilledMidWriteKeepsItsNumber) {
  Emulator& device = AddDevice("COM1", [](emulator::EmulatorOptions& options) { options.baud = 56000; });
  const QString fw = File("fw.bin", Random(6000, 6));
  const QStringList arguments = SerialOptions("eeprom:0:2") << "--json"
                                                            << "-p"
                                                            << "COM1"
                                                            << "-c"
                                                            << "ATmega328P"
                                                            << "write"
                                                            << "flash" << fw << "write"
                                                            << "eeprom" << File("ee.bin", Bytes(16, 0x55));
  auto killed = Start(arguments);
  ASSERT_TRUE(WaitUntil([&] { return FileText(Path("serial.txt")) == "2\n"; }));
  ::kill(static_cast<pid_t>(killed->processId()), SIGKILL);
  ASSERT_TRUE(killed->waitForFinished());

  const CliRun rerun = Cli(arguments);
  ASSERT_EQ(rerun.status, 0) << rerun.err;
  EXPECT_EQ(Json(rerun.out)["serial"].toInteger(), 2);
  EXPECT_EQ(FileText(Path("serial.txt")), "3\n");
  const Bytes eeprom = device.Chip(Emulator::ChipNumber("ATmega328P")).eeprom;
  EXPECT_EQ(Bytes(eeprom.begin(), eeprom.begin() + 3), (Bytes{0x02, 0x00, 0x55}));
}

// SIGINT mid-write stops after the command on the line, says where (130); SIGTERM gives 143;
// the next run finds the programmer as usual.
TEST_F(ProductionTest, AnInterruptedWriteSaysWhatItLeft) {
  Emulator& device = AddDevice("COM1", [](emulator::EmulatorOptions& options) { options.baud = 56000; });
  const QString fw = File("fw.bin", Random(0x8000, 7));
  for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    const std::uint64_t before = device.CommandsReceived();
    auto run = Start({"--json", "-p", "COM1", "-c", "ATmega328P", "-e", "write", "flash", fw});
    // Discovery and the chip's questions take some 50 commands; the write's blocks follow.
    ASSERT_TRUE(WaitUntil([&] { return device.CommandsReceived() > before + 70; }));
    ::kill(static_cast<pid_t>(run->processId()), signal);
    ASSERT_TRUE(run->waitForFinished(20000));
    EXPECT_EQ(run->exitCode(), status);
    const QJsonObject port = Json(run->readAllStandardOutput().toStdString());
    EXPECT_EQ(port["status"].toInt(), status);
    const QJsonObject stopped = port["interrupted"].toObject();
    EXPECT_GT(stopped["done"].toInt(), 0);
    EXPECT_LT(stopped["done"].toInt(), 0x8000);
    EXPECT_EQ(stopped["total"].toInt(), 0x8000);
    EXPECT_TRUE(port["error"].toString().startsWith("write flash interrupted at 0x"))
        << port["error"].toString().toStdString();
    EXPECT_TRUE(port["error"].toString().endsWith("of 0x8000: the chip is partly written"));
  }
  const CliRun next = Cli({"-p", "COM1", "info"});
  EXPECT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(device.CommandsRepeated(), 0u);
}

// A failed verify reads the chip back and tells every differing byte, and that bits only the
// file has set look like a chip not erased.
TEST_F(ProductionTest, AFailedVerifyExplainsWhatDiffers) {
  Emulator& device = AddDevice("COM1");
  Bytes image = Random(3000, 8);
  image[0x9A3] = 0xFF;
  image[0x9A4] = 0xF0;
  const QString fw = File("fw.bin", image);
  ASSERT_EQ(Cli({"-p", "COM1", "-c", "ATmega328P", "-e", "write", "flash", fw}).status, 0);
  device.ModifyChip(Emulator::ChipNumber("ATmega328P"), [](emulator::ChipState& chip) {
    chip.flash[0x9A3] = 0x00;
    chip.flash[0x9A4] = 0x00;
  });

  const CliRun text = Cli({"-p", "COM1", "-c", "ATmega328P", "verify", "flash", fw});
  EXPECT_EQ(text.status, 1);
  for (const char* expected : {"2 bytes differ", "0x09A3: chip 00, file FF", "0x09A4: chip 00, file F0",
                               "the chip looks not erased (use -e)"})
    EXPECT_NE((text.out + text.err).find(expected), std::string::npos) << expected << "\n"
                                                                       << text.out << text.err;

  const CliRun json = Cli({"--json", "-p", "COM1", "-c", "ATmega328P", "verify", "flash", fw});
  EXPECT_EQ(json.status, 1);
  const QJsonObject mismatch = Json(json.out)["actions"].toArray()[0].toObject()["mismatch"].toObject();
  EXPECT_EQ(mismatch["count"].toInt(), 2);
  EXPECT_EQ(mismatch["ranges"].toArray(), (QJsonArray{QJsonArray{0x9A3, 0x9A4}}));
  const QJsonObject first = mismatch["bytes"].toArray()[0].toObject();
  EXPECT_EQ(first["address"].toInt(), 0x9A3);
  EXPECT_EQ(first["chip"].toInt(), 0);
  EXPECT_EQ(first["file"].toInt(), 0xFF);
}

// An ELF file built for another chip is not written over this one, unless --force.
TEST_F(ProductionTest, AnElfFileForAnotherChipIsRefused) {
  ToolFolder tools;
  const std::string unbuilt = BuildAvrPrograms(tools);
  if (!unbuilt.empty()) GTEST_SKIP() << unbuilt;
  Emulator& device = AddDevice("COM1");
  const QString elf = QString::fromStdString(tools.File(AvrPrograms[0].Elf()));  // for the ATmega328P
  const std::uint64_t before = device.CommandsReceived();
  const CliRun refused = Cli({"-p", "COM1", "-c", "ATmega2560", "write", "flash", elf});
  EXPECT_EQ(refused.status, 4);
  EXPECT_NE(refused.err.find("is for the chip with signature 1E 95 0F, the chip answers 1E 98 01"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(Cli({"-p", "COM1", "-c", "ATmega2560", "--force", "write", "flash", elf}).status, 0);
  EXPECT_EQ(Cli({"-p", "COM1", "-c", "ATmega328P", "write", "flash", elf}).status, 0);
  EXPECT_GT(device.CommandsReceived(), before);
}

}  // namespace
