// kestrel-cli as a script runs it: the real program against emulated programmers on
// pseudo-terminals, registered as COM names in a scratch config folder.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "buffer/HexReader.h"
#include "buffer/HexWriter.h"
#include "emulator/Emulator.h"
#include "tests/support/Pty.h"

using namespace kestrel;
using namespace kestrel::test;
using emulator::Emulator;
using emulator::EmulatorOptions;
using emulator::MemoryKind;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  Emulator& AddDevice(const std::string& com, const std::function<void(EmulatorOptions&)>& configure = {}) {
    EmulatorOptions options;
    options.portName = com;
    options.configHome = config_.Path();
    if (configure) configure(options);
    devices_.push_back(std::make_unique<Emulator>(options));
    devices_.back()->Start();
    return *devices_.back();
  }

  CliRun Cli(const QStringList& arguments) const {
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(config_.Path()));
    process.start(QStringLiteral(KESTREL_CLI_PATH), QStringList{"-q"} + arguments);
    EXPECT_TRUE(process.waitForFinished(120000)) << arguments.join(' ').toStdString();
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
  }

  QString File(const std::string& name, const Bytes& bytes) const {
    const std::string path = config_.Path() + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return QString::fromStdString(path);
  }

  Bytes Read(const std::string& name) const {
    std::ifstream in(config_.Path() + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  static Bytes Random(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
  }

  static Bytes FlashOf(const Emulator& device, const char* chip, std::size_t length) {
    const emulator::ChipState state = device.Chip(Emulator::ChipNumber(chip));
    const Bytes& flash = state.Memory(MemoryKind::Flash);
    return Bytes(flash.begin(), flash.begin() + static_cast<std::ptrdiff_t>(length));
  }

  TempConfigHome config_;
  std::vector<std::unique_ptr<Emulator>> devices_;
};

// Every action once, on the largest chip, with a HEX file whose data lies above 64 KiB.
TEST_F(CliTest, EveryActionOnA256KiBChipWithJsonResults) {
  Emulator& device = AddDevice("COM5");
  Bytes image = Random(200000, 1);
  const QString hex = File("big.hex", WriteHexImage(image));
  const QString eeprom = File("e.bin", Random(4096, 2));

  const CliRun run = Cli({"-p",     "COM5",
                          "-c",     "atmega2560",
                          "-e",     "-V",
                          "--json", "info",
                          "chip",   "signature",
                          "write",  "flash",
                          hex,      "read",
                          "flash",  "back.hex",
                          "verify", "flash",
                          hex,      "write",
                          "eeprom", eeprom,
                          "erase",  "eeprom",
                          "fuses",  "0000000011111111101",
                          "fuses",  "lock",
                          "110000", "lock"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(FlashOf(device, "ATmega2560", image.size()), image);

  QJsonParseError error;
  const QJsonObject port = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error).object();
  ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
  EXPECT_EQ(port["port"].toString(), "COM5");
  const QJsonArray actions = port["actions"].toArray();
  ASSERT_EQ(actions.size(), 12) << run.out;
  EXPECT_EQ(actions[1].toObject()["flash"].toInt(), 262144);
  EXPECT_TRUE(actions[2].toObject()["good"].toBool());
  EXPECT_TRUE(actions[3].toObject()["verified"].toBool());
  EXPECT_EQ(actions[9].toObject()["bits"].toString(), "0000000011111111101");
  EXPECT_EQ(actions[11].toObject()["bits"].toString(), "110000");

  // Read back in HEX: the whole chip, the image at its place, the erased rest FF.
  image.resize(262144, 0xFF);
  EXPECT_EQ(ReadHexImage(Read("back.hex")).image, image);
  const CliRun again = Cli({"-p", "COM5", "-c", "7", "read", "flash", "-"});
  ASSERT_EQ(again.status, 0) << again.err;
  ASSERT_EQ(again.out.size(), 262144u);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), again.out.begin(),
                         [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
  const emulator::ChipState chip = device.Chip(Emulator::ChipNumber("ATmega2560"));
  EXPECT_TRUE(std::all_of(chip.eeprom.begin(), chip.eeprom.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

// Each failure ends with its status and one line that names the port and what went wrong.
TEST_F(CliTest, ExitStatusTellsWhatFailed) {
  Emulator& device = AddDevice("COM5");
  const QString image = File("img.bin", Random(3000, 3));
  ASSERT_EQ(Cli({"-p", "COM5", "-c", "ATmega328P", "write", "flash", image}).status, 0);
  device.ModifyChip(Emulator::ChipNumber("ATmega328P"),
                    [](emulator::ChipState& chip) { chip.flash[2500] ^= 1; });

  const CliRun mismatch = Cli({"-p", "COM5", "-c", "ATmega328P", "verify", "flash", image});
  EXPECT_EQ(mismatch.status, 1);
  EXPECT_NE(mismatch.err.find("COM5: verify flash: the chip differs in the block at 0x09A0"),
            std::string::npos)
      << mismatch.err;

  const CliRun unoffered = Cli({"-p", "COM5", "-c", "AT90S8515", "fuses"});
  EXPECT_EQ(unoffered.status, 2);
  EXPECT_NE(unoffered.err.find("does not offer read fuses"), std::string::npos) << unoffered.err;

  EXPECT_EQ(Cli({"-p", "COM5", "-c", "no such chip", "info"}).status, 2);
  EXPECT_EQ(Cli({"-p", "COM6", "info"}).status, 3);
  EXPECT_EQ(Cli({"-p", "COM5", "-c", "ATtiny13A", "write", "flash", image}).status, 4);  // 3000 > 1024
  EXPECT_EQ(Cli({"-p", "COM5", "-c", "ATtiny13A", "write", "flash", "missing.bin"}).status, 4);

  // An empty file, or a HEX file with only its end record, is refused before anything is sent.
  const std::uint64_t commands = device.CommandsReceived();
  const QString endOnly = File("end.hex", Bytes{':', '0', '0', '0', '0', '0', '0', '0', '1', 'F', 'F', '\n'});
  for (const QString& empty : {File("empty.bin", {}), endOnly}) {
    const CliRun refused = Cli({"-p", "COM5", "-c", "ATmega328P", "-e", "-V", "write", "flash", empty});
    EXPECT_EQ(refused.status, 4) << refused.err;
    EXPECT_NE(refused.err.find("write flash: " + empty.toStdString() + " holds no data"), std::string::npos)
        << refused.err;
  }
  EXPECT_EQ(device.CommandsReceived(), commands);

  // Bits are read back after a write: programmed lock bits stay until the chip is erased.
  const CliRun locks = Cli({"-p", "COM5", "-c", "ATtiny13A", "--json", "lock", "11", "lock", "00", "lock"});
  EXPECT_EQ(locks.status, 1);
  EXPECT_NE(locks.err.find("COM5: lock: bits 0 LB1, 1 LB2 stay programmed (lock bits are cleared only by "
                           "erasing the chip); the chip holds 11"),
            std::string::npos)
      << locks.err;
  const QJsonArray lockActions =
      QJsonDocument::fromJson(QByteArray::fromStdString(locks.out))["actions"].toArray();
  ASSERT_EQ(lockActions.size(), 2) << locks.out;
  EXPECT_TRUE(lockActions[0].toObject()["written"].toBool());
  EXPECT_FALSE(lockActions[1].toObject()["written"].toBool());
  EXPECT_EQ(lockActions[1].toObject()["bits"].toString(), "11");
}

// One station of four falls silent from its tenth command on: it alone fails, with status 3.
TEST_F(CliTest, GangGoesOnWhenOneProgrammerFallsSilent) {
  for (const char* com : {"COM11", "COM12", "COM14"}) AddDevice(com);
  AddDevice("COM13", [](EmulatorOptions& options) { options.faults.silentFrom = 10; });
  const Bytes image = Random(8192, 4);
  const QString file = File("img.bin", image);

  const CliRun run = Cli({"-p", "COM11", "-p", "COM12", "-p", "COM13", "-p", "COM14", "-c", "ATmega328P",
                          "-e", "-V", "--json", "write", "flash", file});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.err.find("COM13: no programmer answered"), std::string::npos) << run.err;
  int done = 0;
  for (const auto& line : QByteArray::fromStdString(run.out).split('\n')) {
    if (line.isEmpty()) continue;
    const QJsonObject port = QJsonDocument::fromJson(line).object();
    EXPECT_EQ(port["status"].toInt(), port["port"].toString() == "COM13" ? 3 : 0) << line.toStdString();
    done += port["status"].toInt() == 0;
  }
  EXPECT_EQ(done, 3);
  for (std::size_t i : {0u, 1u, 2u}) EXPECT_EQ(FlashOf(*devices_[i], "ATmega328P", image.size()), image);
}

// Noise, broken and split replies, lost replies and crossing polls: whatever the link goes
// through, a run that ends with 0 leaves the chip equal to the image.
TEST_F(CliTest, FaultsNeverEndInSuccessOverADifferentChip) {
  const Bytes image = Random(32768, 5);
  const QString file = File("img.bin", image);
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    Emulator& device = AddDevice("COM2" + std::to_string(seed), [seed](EmulatorOptions& options) {
      options.faults.seed = seed;
      options.faults.noise = 0.05;
      options.faults.badHeader = 0.03;
      options.faults.badPayload = 0.03;
      options.faults.split = 0.2;
      options.faults.drop = 0.03;
      options.faults.cross = 0.3;
    });
    const CliRun run = Cli({"-p", QString::fromStdString("COM2" + std::to_string(seed)), "-c", "ATmega328P",
                            "-e", "write", "flash", file});
    // These rates leave every command a good chance within its eight sends.
    EXPECT_EQ(run.status, 0) << "seed " << seed << ": " << run.err;
    if (run.status == 0) {
      EXPECT_EQ(FlashOf(device, "ATmega328P", image.size()), image) << "seed " << seed;
    }
  }
}

}  // namespace
