// The chips' memories as a real chip's: erasing, programming that only clears bits, verifying;
// a 128 KiB round trip over the pty; changes made behind the program's back; the state file.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "emulator/Device.h"
#include "emulator/Emulator.h"
#include "emulator/StateFile.h"
#include "tests/support/FrameHost.h"

using namespace kestrel::emulator;
using kestrel::test::FrameHost;
namespace fs = std::filesystem;

namespace {

Bytes Block(std::uint8_t opcode, std::uint32_t address, const Bytes& data, std::uint8_t count = 0) {
  Bytes payload{opcode};
  for (int i = 0; i < 4; ++i) payload.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
  payload.push_back(count != 0 ? count : static_cast<std::uint8_t>(data.size()));
  payload.insert(payload.end(), data.begin(), data.end());
  return payload;
}

// The data of a read reply, the verdict of a verify reply.
Bytes ReadData(Device& device, std::uint8_t opcode, std::uint32_t address, std::uint8_t count) {
  const auto reply = device.Execute(Block(opcode, address, {}, count));
  if (!reply) return {};
  return Bytes(reply->begin() + 6, reply->end());
}

bool Verifies(Device& device, std::uint8_t opcode, std::uint32_t address, const Bytes& data) {
  const auto reply = device.Execute(Block(opcode, address, data));
  return reply && reply->size() == 7 && reply->back() != 0;
}

class ChipMemory : public ::testing::Test {
 protected:
  ChipMemory() { EXPECT_TRUE(Do({0xF9, static_cast<std::uint8_t>(Emulator::ChipNumber("ATmega8A"))})); }
  ChipState& Chip() { return device.Chips()[*device.SelectedChip()]; }
  std::optional<Bytes> Do(const Bytes& payload) { return device.Execute(payload); }
  Device device;
};

TEST_F(ChipMemory, WritesOnlyClearBitsUntilErased) {
  EXPECT_EQ(ReadData(device, 0x09, 0x100, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  ASSERT_TRUE(device.Execute(Block(0x0A, 0x100, {0xF0, 0x0F, 0xAA, 0xFF})));
  ASSERT_TRUE(device.Execute(Block(0x0A, 0x100, {0x3C, 0x3C, 0xFF, 0x55})));
  EXPECT_EQ(ReadData(device, 0x09, 0x100, 4), (Bytes{0x30, 0x0C, 0xAA, 0x55}));
  // Programming 0xFF over a programmed cell cannot bring the bits back.
  EXPECT_FALSE(Verifies(device, 0x0B, 0x100, {0xF0, 0x0F, 0xAA, 0xFF}));
  EXPECT_TRUE(Verifies(device, 0x0B, 0x100, {0x30, 0x0C, 0xAA, 0x55}));

  ASSERT_TRUE(device.Execute(Block(0x0E, 0x10, {0x00})));
  ASSERT_TRUE(device.Execute(Block(0x0E, 0x10, {0xFF})));
  EXPECT_EQ(ReadData(device, 0x0D, 0x10, 1), (Bytes{0x00}));
}

TEST_F(ChipMemory, EraseCommandsClearTheirOwnMemories) {
  ASSERT_TRUE(device.Execute(Block(0x0A, 0x1FFF, {0x00})));
  ASSERT_TRUE(device.Execute(Block(0x0E, 0x1FF, {0x00})));
  ASSERT_TRUE(Do({0x06, 0x00}));
  ASSERT_TRUE(Do({0x04, 0x00, 0x01}));
  const Bytes fuses = Chip().fuses;

  ASSERT_TRUE(Do({0x0C}));  // EEPROM only
  EXPECT_EQ(ReadData(device, 0x0D, 0x1FF, 1), (Bytes{0xFF}));
  EXPECT_EQ(ReadData(device, 0x09, 0x1FFF, 1), (Bytes{0x00}));
  EXPECT_EQ(Chip().locks[0], 1);

  ASSERT_TRUE(device.Execute(Block(0x0E, 0x1FF, {0x00})));
  ASSERT_TRUE(Do({0x07}));  // flash, EEPROM and lock bits; fuses stay
  EXPECT_EQ(Chip().flash, Bytes(8192, 0xFF));
  EXPECT_EQ(Chip().eeprom, Bytes(512, 0xFF));
  EXPECT_EQ(Chip().locks, Bytes(6, 0));
  EXPECT_EQ(Chip().fuses, fuses);
  EXPECT_TRUE(device.TakeChanged());
  EXPECT_FALSE(device.TakeChanged());
}

TEST_F(ChipMemory, VerifyReportsPerBlockAndReadsAreUnchanged) {
  Bytes data(224);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(device.Execute(Block(0x0A, 224, data)));
  EXPECT_TRUE(Verifies(device, 0x0B, 224, data));
  Bytes wrong = data;
  wrong[223] ^= 0x01;
  EXPECT_FALSE(Verifies(device, 0x0B, 224, wrong));
  EXPECT_TRUE(Verifies(device, 0x0B, 0, Bytes(224, 0xFF)));  // the untouched block before it
  EXPECT_EQ(ReadData(device, 0x09, 224, 224), data);
  EXPECT_FALSE(Do({0x13}));  // RAM commands are not in this chip's mask
}

TEST_F(ChipMemory, SignatureVerdictComparesWithTheCatalogue) {
  EXPECT_EQ(Do({0x00}), (Bytes{0x00, 0x03, 0x1E, 0x93, 0x07, 0x01}));
  Chip().signature = {0x1E, 0x93, 0x0A};  // another chip in the socket
  EXPECT_EQ(Do({0x00}), (Bytes{0x00, 0x03, 0x1E, 0x93, 0x0A, 0x00}));
}

TEST(Device, AnyPayloadIsAnsweredWithItsOpcodeOrRefused) {
  Device device;
  std::uint64_t state = 12345;
  const auto next = [&state] {
    return static_cast<std::uint8_t>((state = state * 6364136223846793005ull + 1) >> 56);
  };
  int answered = 0;
  for (int i = 0; i < 200000; ++i) {
    Bytes payload(next() % 12);
    for (auto& byte : payload) byte = next();
    // Mostly real opcodes and small chip numbers, so the deeper paths are reached.
    if (!payload.empty() && (payload[0] & 0x80) != 0) {
      payload[0] = static_cast<std::uint8_t>(0xF1 + payload[0] % 15);
    } else if (!payload.empty() && (payload[0] & 0x40) != 0) {
      payload[0] %= 0x14;
    }
    if (payload.size() > 1 && payload[0] == 0xF9) payload[1] %= 9;
    const auto reply = device.Execute(payload);
    if (!reply) continue;
    ++answered;
    ASSERT_FALSE(payload.empty());
    ASSERT_EQ(reply->front(), payload.front());
    ASSERT_LE(reply->size(), 255u);
  }
  EXPECT_GT(answered, 10000);
}

TEST(Catalogue, HoldsTheChipsTheToolsNeed) {
  const auto& chips = Emulator::Catalogue();
  ASSERT_GE(chips.size(), 5u);
  bool big = false, noEeprom = false, noFuses = false, extra = false;
  for (const ChipType& chip : chips) {
    big = big || chip.flashSize > 65536;
    noEeprom = noEeprom || (chip.eepromSize == 0 && (chip.commandMask & 0xF000) == 0);
    noFuses = noFuses || (chip.fuses.empty() && (chip.commandMask & 0x18) == 0);
    extra = extra || (chip.commandMask & 0xF0106) == 0xF0106;
    EXPECT_EQ(chip.signature.size(), 3u) << chip.name;
    EXPECT_EQ(chip.signature[0], 0x1E) << chip.name;
    EXPECT_NE(chip.commandMask & 0x0E00, 0u) << chip.name;
  }
  EXPECT_TRUE(big && noEeprom && noFuses && extra);
}

EmulatorOptions LocalOptions() {
  EmulatorOptions options;
  options.portName.clear();
  options.pollInterval = std::chrono::seconds(2);
  return options;
}

TEST(ChipOverLine, ReadsBack128KiBAsWritten) {
  Emulator emulator(LocalOptions());
  emulator.Start();
  FrameHost host(emulator.HostPath());
  const auto chip = Emulator::ChipNumber("ATmega128A");
  ASSERT_EQ(emulator.Catalogue()[chip].flashSize, 131072u);
  ASSERT_TRUE(host.Ask(Bytes{0xF9, static_cast<std::uint8_t>(chip)}));

  Bytes image(131072);
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<std::uint8_t>((i * 31 + (i >> 9)) & 0xFF);
  for (std::uint32_t address = 0; address < image.size(); address += 224) {
    const auto count = std::min<std::size_t>(224, image.size() - address);
    const Bytes data(image.begin() + address, image.begin() + address + count);
    ASSERT_EQ(host.Ask(Block(0x0A, address, data)), Bytes{0x0A}) << address;
  }
  Bytes read;
  for (std::uint32_t address = 0; address < image.size(); address += 224) {
    const auto count = static_cast<std::uint8_t>(std::min<std::size_t>(224, image.size() - address));
    const auto reply = host.Ask(Block(0x09, address, {}, count));
    ASSERT_TRUE(reply && reply->size() == 6u + count) << address;
    EXPECT_EQ(ReadU32(*reply, 1), address);
    EXPECT_EQ((*reply)[5], count);
    read.insert(read.end(), reply->begin() + 6, reply->end());
  }
  EXPECT_TRUE(read == image);
  EXPECT_TRUE(emulator.Chip(chip).flash == image);
}

TEST(ChipOverLine, ChangesBehindTheProgramsBackAreSeen) {
  Emulator emulator(LocalOptions());
  emulator.Start();
  FrameHost host(emulator.HostPath());
  const auto chip = Emulator::ChipNumber("ATmega328P");
  ASSERT_TRUE(host.Ask(Bytes{0xF9, static_cast<std::uint8_t>(chip)}));
  emulator.ModifyChip(chip, [](ChipState& state) {
    state.flash[0x7FFF] = 0x42;
    state.eeprom[0] = 0x17;
    state.locks[1] = 1;
    state.flash.resize(10);  // sizes are restored
  });
  EXPECT_EQ(emulator.Chip(chip).flash.size(), 32768u);
  EXPECT_EQ(host.Ask(Block(0x09, 0x7FFF, {}, 1)), (Bytes{0x09, 0xFF, 0x7F, 0x00, 0x00, 0x01, 0xFF}))
      << "the resize dropped the change, as it should";
  emulator.ModifyChip(chip, [](ChipState& state) { state.flash[0x7FFF] = 0x42; });
  EXPECT_EQ(host.Ask(Block(0x09, 0x7FFF, {}, 1)), (Bytes{0x09, 0xFF, 0x7F, 0x00, 0x00, 0x01, 0x42}));
  EXPECT_EQ(host.Ask(Block(0x0D, 0, {}, 1)), (Bytes{0x0D, 0x00, 0x00, 0x00, 0x00, 0x01, 0x17}));
  EXPECT_EQ(host.Ask(Bytes{0x05}), (Bytes{0x05, 0x06, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(emulator.SelectedChip(), chip);
  EXPECT_GE(emulator.CommandsReceived(), 5u);
}

class StateKeeping : public ::testing::Test {
 protected:
  StateKeeping() {
    std::string pattern = (fs::temp_directory_path() / "kestrel-emulator-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    options = LocalOptions();
    options.stateFile = (folder / "state.bin").string();
  }
  ~StateKeeping() override { fs::remove_all(folder); }
  fs::path folder;
  EmulatorOptions options;
};

TEST_F(StateKeeping, KeepsMemoriesAndBitsBetweenRuns) {
  const auto chip = Emulator::ChipNumber("ATtiny13A");
  {
    Emulator emulator(options);
    emulator.Start();
    FrameHost host(emulator.HostPath());
    ASSERT_TRUE(host.Ask(Bytes{0xF9, static_cast<std::uint8_t>(chip)}));
    ASSERT_TRUE(host.Ask(Block(0x0A, 0x3FE, {0x12, 0x34})));
    ASSERT_TRUE(host.Ask(Block(0x0E, 0x3F, {0x56})));
    ASSERT_TRUE(host.Ask(Bytes{0x04, 0x07, 0x00}));  // SPIEN unprogrammed
    ASSERT_TRUE(host.Ask(Bytes{0x06, 0x01}));
    emulator.ModifyChip(chip, [](ChipState& state) { state.ram[0] = 0x99; });
    emulator.Stop();
  }
  EXPECT_TRUE(fs::exists(options.stateFile));
  EXPECT_FALSE(fs::exists(options.stateFile + ".tmp"));

  Emulator again(options);
  again.Start();
  const ChipState state = again.Chip(chip);
  EXPECT_EQ(state.flash[0x3FE], 0x12);
  EXPECT_EQ(state.flash[0x3FF], 0x34);
  EXPECT_EQ(state.flash[0], 0xFF);
  EXPECT_EQ(state.eeprom[0x3F], 0x56);
  EXPECT_EQ(state.fuses[7], 0);
  EXPECT_EQ(state.locks, (Bytes{0, 1}));
  EXPECT_EQ(state.ram[0], 0x00) << "RAM is not kept";
  EXPECT_EQ(again.Chip(Emulator::ChipNumber("ATmega2560")).flash, Bytes(262144, 0xFF));
}

TEST_F(StateKeeping, ADamagedFileStopsTheStartAndIsLeftAlone) {
  {
    Emulator emulator(options);
    emulator.Start();
    emulator.ModifyChip(0, [](ChipState& state) { state.flash[0] = 0; });
  }
  const auto size = fs::file_size(options.stateFile);
  fs::resize_file(options.stateFile, size - 1);
  Emulator emulator(options);
  EXPECT_THROW(emulator.Start(), std::runtime_error);
  EXPECT_FALSE(emulator.Running());
  EXPECT_EQ(fs::file_size(options.stateFile), size - 1);

  std::ofstream(options.stateFile, std::ios::binary) << "something else entirely";
  EXPECT_THROW(emulator.Start(), std::runtime_error);
}

TEST_F(StateKeeping, SkipsMemoriesWhoseSizeNoLongerMatches) {
  std::vector<ChipState> chips;
  for (const ChipType& type : Emulator::Catalogue()) chips.push_back(ChipState::Fresh(type));
  chips[0].flash[5] = 0x05;
  chips[1].flash.resize(7);  // a size the catalogue does not have: skipped
  SaveChipStates(options.stateFile, chips);

  std::vector<ChipState> loaded;
  for (const ChipType& type : Emulator::Catalogue()) loaded.push_back(ChipState::Fresh(type));
  ASSERT_TRUE(LoadChipStates(options.stateFile, loaded));
  EXPECT_EQ(loaded[0].flash[5], 0x05);
  EXPECT_EQ(loaded[1].flash.size(), Emulator::Catalogue()[1].flashSize);
  EXPECT_FALSE(LoadChipStates(folder / "missing.bin", loaded));
}

}  // namespace
