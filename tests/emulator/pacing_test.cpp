// Line pacing: at 56000 bit/s a 4 KiB transfer takes as long as its bytes need on the wire,
// 11 bits a byte, both ways.

#include <gtest/gtest.h>

#include "emulator/Emulator.h"
#include "link/Frame.h"
#include "tests/support/FrameHost.h"

using namespace kestrel::emulator;
using kestrel::test::FrameHost;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t Baud = 56000;
constexpr std::size_t TransferSize = 4096;

Bytes Block(std::uint8_t opcode, std::uint32_t address, std::size_t count, bool withData) {
  Bytes payload{opcode};
  for (int i = 0; i < 4; ++i) payload.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
  payload.push_back(static_cast<std::uint8_t>(count));
  if (withData) payload.resize(payload.size() + count, static_cast<std::uint8_t>(address));
  return payload;
}

struct Transfer {
  std::chrono::duration<double> took;
  std::size_t wireBytes = 0;  // commands, replies and polls
};

// Moves 4 KiB of an ATmega328P's flash in 224-byte blocks, the way the program does.
Transfer MoveFourKiB(std::uint32_t baud, std::uint8_t opcode, bool withData) {
  EmulatorOptions options;
  options.portName.clear();
  options.pollInterval = 2s;
  options.baud = baud;
  Emulator emulator(options);
  emulator.Start();
  FrameHost host(emulator.HostPath());
  EXPECT_TRUE(host.Ask(Bytes{0xF9, static_cast<std::uint8_t>(Emulator::ChipNumber("ATmega328P"))}));

  Transfer transfer;
  const auto start = Clock::now();
  for (std::uint32_t address = 0; address < TransferSize; address += 224) {
    const Bytes command =
        Block(opcode, address, std::min<std::size_t>(224, TransferSize - address), withData);
    const Bytes answer = host.Exchange(command);
    EXPECT_EQ(kestrel::test::Payloads(answer).size(), 1u);
    transfer.wireBytes += command.size() + kestrel::FrameOverhead + answer.size();
  }
  transfer.took = Clock::now() - start;
  return transfer;
}

double WireSeconds(std::size_t bytes) { return static_cast<double>(bytes) * 11.0 / Baud; }

// A busy machine can only add time to a run, never take it away: up to five runs, the fastest
// one shows the pacing itself.
Transfer Paced(std::uint8_t opcode, bool withData) {
  Transfer best = MoveFourKiB(Baud, opcode, withData);
  for (int run = 1; run < 5 && best.took.count() > 1.05 * WireSeconds(best.wireBytes); ++run) {
    const Transfer again = MoveFourKiB(Baud, opcode, withData);
    if (again.took < best.took) best = again;
  }
  return best;
}

TEST(Pacing, ReadingTakesTheWireTime) {
  const Transfer paced = Paced(0x09, false);
  const double wire = WireSeconds(paced.wireBytes);
  EXPECT_GT(paced.wireBytes, TransferSize);
  EXPECT_NEAR(paced.took.count() / wire, 1.0, 0.05)
      << paced.took.count() << " s for " << wire << " s of wire time";
  EXPECT_LT(MoveFourKiB(0, 0x09, false).took.count(), wire / 4) << "unpaced is not held back";
}

TEST(Pacing, WritingTakesTheWireTime) {
  const Transfer paced = Paced(0x0A, true);
  const double wire = WireSeconds(paced.wireBytes);
  EXPECT_NEAR(paced.took.count() / wire, 1.0, 0.05)
      << paced.took.count() << " s for " << wire << " s of wire time";
}

}  // namespace
