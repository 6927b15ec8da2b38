// The emulator over a real pty, frame by frame: every command's exact reply bytes, its
// refusals, and when it polls.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "emulator/Emulator.h"
#include "link/Cp1251.h"
#include "link/Frame.h"
#include "tests/support/FrameHost.h"

using namespace kestrel;
using namespace kestrel::emulator;
using test::FrameHost;
using namespace std::chrono_literals;

namespace {

const test::Bytes Poll{0xD1, 0xE0, 0xEB, 0xEE, 0x00, 0x8A};

// The reply frame of `payload` followed by the poll.
test::Bytes Answered(const test::Bytes& payload) {
  test::Bytes bytes = ComposeFrame(payload);
  bytes.insert(bytes.end(), Poll.begin(), Poll.end());
  return bytes;
}

test::Bytes Counted(std::uint8_t opcode, const std::string& text) {
  test::Bytes payload{opcode};
  const auto encoded = Utf8ToCp1251(text);
  payload.push_back(static_cast<std::uint8_t>(encoded.size()));
  payload.insert(payload.end(), encoded.begin(), encoded.end());
  return payload;
}

EmulatorOptions QuietOptions(std::chrono::milliseconds poll = 2s) {
  EmulatorOptions options;
  options.portName.clear();
  options.pollInterval = poll;
  return options;
}

class Conformance : public ::testing::Test {
 protected:
  explicit Conformance(EmulatorOptions options = QuietOptions()) : emulator(std::move(options)) {
    emulator.Start();
    host.emplace(emulator.HostPath());
  }

  test::Bytes Exchange(const test::Bytes& payload) { return host->Exchange(payload); }
  void Select(const char* chip) {
    ASSERT_EQ(Exchange({0xF9, static_cast<std::uint8_t>(Emulator::ChipNumber(chip))}), Answered({0xF9}));
  }

  Emulator emulator;
  std::optional<FrameHost> host;
};

TEST_F(Conformance, ProgrammerQueriesAnswerWithTheirLayouts) {
  // The name in code page 1251, byte for byte.
  EXPECT_EQ(Exchange({0xFE}), Answered({0xFE, 0x1D, 0xCF, 0xF0, 0xEE, 0xE3, 0xF0, 0xE0, 0xEC, 0xEC, 0xE0,
                                        0xF2, 0xEE, 0xF0, 0x20, 0xCF, 0xD0, 0x2D, 0x32, 0xCC, 0x20, 0x28,
                                        0xFD, 0xEC, 0xF3, 0xEB, 0xFF, 0xF2, 0xEE, 0xF0, 0x29}));
  EXPECT_EQ(Exchange({0xFF}), (test::Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x01, 0x8B, 0xFF, 0xFF, 0xD1, 0xE0, 0xEB,
                                           0xEE, 0x00, 0x8A}));
  EXPECT_EQ(Exchange({0xFD}), Answered({0xFD, 0x04}));
  for (std::uint8_t i = 0; i < 4; ++i) {
    test::Bytes line = Counted(0xFC, ProgrammerInfoLines()[i]);
    line.insert(line.begin() + 1, i);
    EXPECT_EQ(Exchange({0xFC, i}), Answered(line));
  }
  EXPECT_EQ(Exchange({0xFB}), Answered({0xFB, 0x08}));
  EXPECT_EQ(Exchange({0xFA, 0x05}), Answered({0xFA, 0x0A, 'A', 'T', 'm', 'e', 'g', 'a', '3', '2', '8', 'P'}));
  EXPECT_EQ(Exchange({0xFA, 0x00}), Answered(Counted(0xFA, "ATtiny13A")));
  EXPECT_EQ(Exchange({0xF9, 0x05}), Answered({0xF9}));
  EXPECT_EQ(emulator.SelectedChip(), 5u);
}

TEST_F(Conformance, ChipQueriesDescribeTheSelectedChip) {
  Select("ATmega328P");
  EXPECT_EQ(Exchange({0xF8}), Answered({0xF8, 0xF9, 0xFE, 0x00, 0x00}));
  EXPECT_EQ(Exchange({0xF7}), Answered({0xF7, 0x13}));
  EXPECT_EQ(Exchange({0xF6, 0x00}), Answered({0xF6, 0x00, 0x06, 'C', 'K', 'S', 'E', 'L', '0'}));
  EXPECT_EQ(Exchange({0xF6, 0x12}),
            Answered({0xF6, 0x12, 0x09, 'B', 'O', 'D', 'L', 'E', 'V', 'E', 'L', '2'}));
  EXPECT_EQ(Exchange({0xF5}), Answered({0xF5, 0x06}));
  EXPECT_EQ(Exchange({0xF4, 0x05}), Answered({0xF4, 0x05, 0x05, 'B', 'L', 'B', '1', '2'}));
  EXPECT_EQ(Exchange({0xF3}), Answered({0xF3, 0x00, 0x80, 0x00, 0x00}));
  EXPECT_EQ(Exchange({0xF2}), Answered({0xF2, 0x00, 0x04, 0x00, 0x00}));
  EXPECT_EQ(Exchange({0xF1}), Answered({0xF1, 0x00, 0x08, 0x00, 0x00}));

  Select("ATmega128A");
  EXPECT_EQ(Exchange({0xF3}), Answered({0xF3, 0x00, 0x00, 0x02, 0x00}));  // 128 KiB
  Select("ATtiny10");
  EXPECT_EQ(Exchange({0xF8}), Answered({0xF8, 0xF9, 0x0E, 0x00, 0x00}));  // no EEPROM commands
  EXPECT_EQ(Exchange({0xF2}), Answered({0xF2, 0x00, 0x00, 0x00, 0x00}));
  Select("AT90S8515");
  EXPECT_EQ(Exchange({0xF8}), Answered({0xF8, 0xE1, 0xFE, 0x00, 0x00}));  // no fuse commands
  EXPECT_EQ(Exchange({0xF7}), Answered({0xF7, 0x00}));
  Select("ATmega16A");
  EXPECT_EQ(Exchange({0xF8}), Answered({0xF8, 0xFF, 0xFF, 0x0F, 0x00}));  // 0..19, never-sent ones too
}

TEST_F(Conformance, ChipCommandsAnswerWithTheirLayouts) {
  Select("ATmega328P");
  EXPECT_EQ(Exchange({0x00}), Answered({0x00, 0x03, 0x1E, 0x95, 0x0F, 0x01}));
  // Factory fuses 62 D9 FF; a bit that reads 0 on the chip is reported as 1 (programmed).
  EXPECT_EQ(Exchange({0x03}),
            Answered({0x03, 0x13, 1, 0, 1, 1, 1, 0, 0, 1, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Exchange({0x04, 0x01, 0x01}), Answered({0x04}));
  EXPECT_EQ(Exchange({0x04, 0x00, 0x00}), Answered({0x04}));
  EXPECT_EQ(Exchange({0x03}),
            Answered({0x03, 0x13, 0, 1, 1, 1, 1, 0, 0, 1, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Exchange({0x05}), Answered({0x05, 0x06, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Exchange({0x06, 0x02}), Answered({0x06}));
  EXPECT_EQ(Exchange({0x05}), Answered({0x05, 0x06, 0, 0, 1, 0, 0, 0}));

  EXPECT_EQ(Exchange({0x09, 0x00, 0x01, 0x00, 0x00, 0x03}),
            Answered({0x09, 0x00, 0x01, 0x00, 0x00, 0x03, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Exchange({0x0A, 0x00, 0x01, 0x00, 0x00, 0x02, 0x12, 0x34}), Answered({0x0A}));
  EXPECT_EQ(Exchange({0x09, 0x00, 0x01, 0x00, 0x00, 0x03}),
            Answered({0x09, 0x00, 0x01, 0x00, 0x00, 0x03, 0x12, 0x34, 0xFF}));
  EXPECT_EQ(Exchange({0x0B, 0x00, 0x01, 0x00, 0x00, 0x02, 0x12, 0x34}),
            Answered({0x0B, 0x00, 0x01, 0x00, 0x00, 0x02, 0x01}));
  EXPECT_EQ(Exchange({0x0B, 0x00, 0x01, 0x00, 0x00, 0x02, 0x12, 0x35}),
            Answered({0x0B, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00}));

  EXPECT_EQ(Exchange({0x0E, 0xFF, 0x03, 0x00, 0x00, 0x01, 0xA5}), Answered({0x0E}));  // last EEPROM byte
  EXPECT_EQ(Exchange({0x0D, 0xFE, 0x03, 0x00, 0x00, 0x02}),
            Answered({0x0D, 0xFE, 0x03, 0x00, 0x00, 0x02, 0xFF, 0xA5}));
  EXPECT_EQ(Exchange({0x0F, 0xFF, 0x03, 0x00, 0x00, 0x01, 0xA5}),
            Answered({0x0F, 0xFF, 0x03, 0x00, 0x00, 0x01, 0x01}));
  EXPECT_EQ(Exchange({0x0C}), Answered({0x0C}));
  EXPECT_EQ(Exchange({0x0F, 0xFF, 0x03, 0x00, 0x00, 0x01, 0xA5}),
            Answered({0x0F, 0xFF, 0x03, 0x00, 0x00, 0x01, 0x00}));

  EXPECT_EQ(Exchange({0x07}), Answered({0x07}));
  EXPECT_EQ(Exchange({0x09, 0x00, 0x01, 0x00, 0x00, 0x01}),
            Answered({0x09, 0x00, 0x01, 0x00, 0x00, 0x01, 0xFF}));
  EXPECT_EQ(Exchange({0x05}), Answered({0x05, 0x06, 0, 0, 0, 0, 0, 0}));

  // The commands the program never sends, on the chip that announces them.
  Select("ATmega16A");
  EXPECT_EQ(Exchange({0x01}), Answered({0x01}));
  EXPECT_EQ(Exchange({0x02}), Answered({0x02}));
  EXPECT_EQ(Exchange({0x12, 0x10, 0x00, 0x00, 0x00, 0x02, 0x00, 0x7F}), Answered({0x12}));
  EXPECT_EQ(Exchange({0x11, 0x10, 0x00, 0x00, 0x00, 0x02}),
            Answered({0x11, 0x10, 0x00, 0x00, 0x00, 0x02, 0x00, 0x7F}));
  EXPECT_EQ(Exchange({0x13, 0x10, 0x00, 0x00, 0x00, 0x02, 0x00, 0x7F}),
            Answered({0x13, 0x10, 0x00, 0x00, 0x00, 0x02, 0x01}));
  EXPECT_EQ(Exchange({0x10}), Answered({0x10}));
  EXPECT_EQ(Exchange({0x11, 0x10, 0x00, 0x00, 0x00, 0x02}),
            Answered({0x11, 0x10, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00}));
  EXPECT_EQ(Exchange({0x0A, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}), Answered({0x0A}));
  EXPECT_EQ(Exchange({0x08}), Answered({0x08}));
  EXPECT_EQ(Exchange({0x09, 0x00, 0x00, 0x00, 0x00, 0x01}),
            Answered({0x09, 0x00, 0x00, 0x00, 0x00, 0x01, 0xFF}));
}

TEST_F(Conformance, RefusedCommandsGetOnlyThePoll) {
  // No chip selected yet: chip queries and commands are refused.
  EXPECT_EQ(Exchange({0xF8}), Poll);
  EXPECT_EQ(Exchange({0x00}), Poll);
  EXPECT_EQ(Exchange({0xF9, 0xFF}), Poll);  // chip number 255
  EXPECT_EQ(Exchange({0xF9, 0x08}), Poll);  // one past the catalogue
  EXPECT_EQ(Exchange({0xF9}), Poll);        // no chip number
  EXPECT_EQ(Exchange({0xFA, 0x08}), Poll);
  EXPECT_EQ(Exchange({0xFC, 0x04}), Poll);
  EXPECT_EQ(Exchange({0x20}), Poll);  // unknown opcodes
  EXPECT_EQ(Exchange({0xF0}), Poll);

  Select("ATmega328P");
  EXPECT_EQ(Exchange({0xF6, 0x13}), Poll);  // bit index past the count
  EXPECT_EQ(Exchange({0xF4, 0x06}), Poll);
  EXPECT_EQ(Exchange({0x04, 0x13, 0x01}), Poll);
  EXPECT_EQ(Exchange({0x06, 0x06}), Poll);
  EXPECT_EQ(Exchange({0x04, 0x01}), Poll);  // no state byte
  EXPECT_EQ(Exchange({0x01}), Poll);        // not in this chip's mask
  EXPECT_EQ(Exchange({0x11, 0x00, 0x00, 0x00, 0x00, 0x01}), Poll);
  // Blocks: the last byte of flash is fine, one further is not; a count of 0 and short data.
  EXPECT_EQ(Exchange({0x09, 0xFF, 0x7F, 0x00, 0x00, 0x01}),
            Answered({0x09, 0xFF, 0x7F, 0x00, 0x00, 0x01, 0xFF}));
  EXPECT_EQ(Exchange({0x09, 0xFF, 0x7F, 0x00, 0x00, 0x02}), Poll);
  EXPECT_EQ(Exchange({0x09, 0x00, 0x80, 0x00, 0x00, 0x01}), Poll);
  EXPECT_EQ(Exchange({0x09, 0xFF, 0xFF, 0xFF, 0xFF, 0xE0}), Poll);
  EXPECT_EQ(Exchange({0x09, 0x00, 0x00, 0x00, 0x00, 0x00}), Poll);
  EXPECT_EQ(Exchange({0x09, 0x00, 0x00, 0x00}), Poll);
  EXPECT_EQ(Exchange({0x0A, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00}), Poll);
  // Chip number 255 leaves no chip selected.
  EXPECT_EQ(Exchange({0xF9, 0xFF}), Poll);
  EXPECT_EQ(emulator.SelectedChip(), std::nullopt);
  EXPECT_EQ(Exchange({0xF3}), Poll);

  Select("ATtiny10");  // no EEPROM
  EXPECT_EQ(Exchange({0x0C}), Poll);
  EXPECT_EQ(Exchange({0x0D, 0x00, 0x00, 0x00, 0x00, 0x01}), Poll);
  Select("AT90S8515");  // no fuses
  EXPECT_EQ(Exchange({0x03}), Poll);
  EXPECT_EQ(Exchange({0x04, 0x00, 0x01}), Poll);
}

TEST_F(Conformance, NoiseAndBrokenFramesAreSkipped) {
  ASSERT_TRUE(host->WaitForPoll());
  test::Bytes frame = ComposeFrame(test::Bytes{0xFB});
  test::Bytes broken = frame;
  broken.back() ^= 1;
  test::Bytes bytes{0x00, 0xD1, 0xE0, 0x13};
  bytes.insert(bytes.end(), broken.begin(), broken.end());
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  host->SendRaw(bytes);
  EXPECT_EQ(host->ReadThroughPoll(), Answered({0xFB, 0x08}));

  // A frame written in two pieces is answered once it is whole.
  host->SendRaw(std::span(frame).first(3));
  EXPECT_TRUE(host->ReadFor(100ms).empty());
  host->SendRaw(std::span(frame).subspan(3));
  EXPECT_EQ(host->ReadThroughPoll(), Answered({0xFB, 0x08}));
}

TEST_F(Conformance, PollFollowsEachReplyAtOnce) {
  // With idle polls 2 s apart, a poll that arrives within the exchange came with the reply.
  ASSERT_TRUE(host->WaitForPoll());
  for (int i = 0; i < 20; ++i) {
    const auto start = std::chrono::steady_clock::now();
    host->Send(test::Bytes{0xFB});
    EXPECT_EQ(host->ReadThroughPoll(1s), Answered({0xFB, 0x08}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  }
}

class IdlePolling : public Conformance {
 protected:
  IdlePolling() : Conformance(QuietOptions(50ms)) {}
};

TEST_F(IdlePolling, PollsEveryIntervalWhileIdle) {
  ASSERT_TRUE(host->WaitForPoll());
  const test::Bytes bytes = host->ReadFor(1000ms);
  std::size_t polls = 0;
  for (std::size_t i = 0; i + Poll.size() <= bytes.size(); i += Poll.size()) {
    EXPECT_TRUE(std::equal(Poll.begin(), Poll.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i)));
    ++polls;
  }
  EXPECT_EQ(bytes.size() % Poll.size(), 0u);
  EXPECT_GE(polls, 12u);
  EXPECT_LE(polls, 21u);
}

class BusyDevice : public Conformance {
 protected:
  static EmulatorOptions Slow() {
    EmulatorOptions options = QuietOptions();
    options.writeTime = 300ms;
    return options;
  }
  BusyDevice() : Conformance(Slow()) {}
};

TEST_F(BusyDevice, FramesThatArriveWhileBusyAreNotAnswered) {
  Select("ATmega8A");
  ASSERT_TRUE(host->WaitForPoll());
  const auto start = std::chrono::steady_clock::now();
  host->Send(test::Bytes{0x0A, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00});
  std::this_thread::sleep_for(50ms);
  host->Send(test::Bytes{0xFB});  // sent before the device polled again
  EXPECT_EQ(host->ReadThroughPoll(), Answered({0x0A}));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
  EXPECT_TRUE(host->ReadFor(400ms).empty()) << "the frame sent while busy got an answer";
  host->Send(test::Bytes{0xFB});  // the device is ready again since its last poll
  EXPECT_EQ(host->ReadThroughPoll(), Answered({0xFB, 0x08}));
}

}  // namespace
