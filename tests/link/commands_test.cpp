#include "link/Commands.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/FakeLink.h"

using namespace kestrel;

namespace {

using Queueing = std::function<void(CommandQueue&)>;

Bytes HeadPayload(const CommandQueue& queue) {
  const auto head = queue.Entries().front().Payload();
  return Bytes(head.begin(), head.end());
}

// The one payload that `queue` appends to an empty queue.
Bytes PayloadOf(const Queueing& queue) {
  LinkHarness link;
  queue(link.queue);
  EXPECT_EQ(link.queue.Size(), 1u);
  return link.queue.Empty() ? Bytes{} : HeadPayload(link.queue);
}

// The frame that goes out for `queue` at the device's poll.
Bytes FrameOf(const Queueing& queue) {
  LinkHarness link;
  queue(link.queue);
  link.Poll();
  EXPECT_EQ(link.written.frames.size(), 1u);
  return link.written.frames.empty() ? Bytes{} : link.written.frames.front();
}

}  // namespace

TEST(Commands, ProgrammerQueriesCarryTheirOpcodeAndIndex) {
  EXPECT_EQ(PayloadOf(EndOperation), Bytes{0xFF});
  EXPECT_EQ(PayloadOf(GetProgrammerName), Bytes{0xFE});
  EXPECT_EQ(PayloadOf(GetInfoLineCount), Bytes{0xFD});
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { GetInfoLine(q, 3); }), (Bytes{0xFC, 3}));
  EXPECT_EQ(PayloadOf(GetChipCount), Bytes{0xFB});
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { GetChipName(q, 7); }), (Bytes{0xFA, 7}));
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { SelectChip(q, 2); }), (Bytes{0xF9, 2}));
  EXPECT_EQ(PayloadOf(GetCommandMask), Bytes{0xF8});
  EXPECT_EQ(PayloadOf(GetFuseBitCount), Bytes{0xF7});
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { GetFuseBitName(q, 4); }), (Bytes{0xF6, 4}));
  EXPECT_EQ(PayloadOf(GetLockBitCount), Bytes{0xF5});
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { GetLockBitName(q, 1); }), (Bytes{0xF4, 1}));
  EXPECT_EQ(PayloadOf(GetProgramMemorySize), Bytes{0xF3});
  EXPECT_EQ(PayloadOf(GetEepromSize), Bytes{0xF2});
  EXPECT_EQ(PayloadOf(GetRamSize), Bytes{0xF1});
  // Indices are cut to their low 8 bits: "no chip selected" goes out as 0xFF.
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { SelectChip(q, -1); }), (Bytes{0xF9, 0xFF}));
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { GetChipName(q, 0x1234); }), (Bytes{0xFA, 0x34}));
}

TEST(Commands, ChipCommandsCarryTheirParameters) {
  EXPECT_EQ(PayloadOf(ReadSignature), Bytes{0x00});
  EXPECT_EQ(PayloadOf(ReadFuseBits), Bytes{0x03});
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { WriteFuseBit(q, 5, false); }), (Bytes{0x04, 5, 0}));
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { WriteFuseBit(q, 5, true); }), (Bytes{0x04, 5, 1}));
  EXPECT_EQ(PayloadOf(ReadLockBits), Bytes{0x05});
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { WriteLockBit(q, 2); }), (Bytes{0x06, 2}));
  EXPECT_EQ(PayloadOf(EraseAll), Bytes{0x07});
  EXPECT_EQ(PayloadOf(EraseEeprom), Bytes{0x0C});
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { ReadProgramMemory(q, 0x12345678, 224); }),
            (Bytes{0x09, 0x78, 0x56, 0x34, 0x12, 224}));
  EXPECT_EQ(PayloadOf([](CommandQueue& q) { ReadEeprom(q, 0x1C0, 16); }),
            (Bytes{0x0D, 0xC0, 0x01, 0, 0, 16}));
}

TEST(Commands, WriteAndVerifyBlocksCopyTheBufferWhenQueued) {
  Bytes buffer{10, 11, 12, 13, 14, 15, 16, 17};
  EXPECT_EQ(PayloadOf([&](CommandQueue& q) { WriteProgramMemory(q, 2, 3, buffer); }),
            (Bytes{0x0A, 2, 0, 0, 0, 3, 12, 13, 14}));
  EXPECT_EQ(PayloadOf([&](CommandQueue& q) { VerifyProgramMemory(q, 0, 2, buffer); }),
            (Bytes{0x0B, 0, 0, 0, 0, 2, 10, 11}));
  EXPECT_EQ(PayloadOf([&](CommandQueue& q) { WriteEeprom(q, 7, 1, buffer); }),
            (Bytes{0x0E, 7, 0, 0, 0, 1, 17}));
  EXPECT_EQ(PayloadOf([&](CommandQueue& q) { VerifyEeprom(q, 4, 4, buffer); }),
            (Bytes{0x0F, 4, 0, 0, 0, 4, 14, 15, 16, 17}));

  // A later change of the buffer does not reach a queued block.
  LinkHarness link;
  WriteProgramMemory(link.queue, 0, 2, buffer);
  buffer[0] = 0x99;
  EXPECT_EQ(HeadPayload(link.queue), (Bytes{0x0A, 0, 0, 0, 0, 2, 10, 11}));
}

TEST(Commands, BlocksNeverReadPastTheBuffer) {
  const Bytes buffer{1, 2, 3, 4};
  // Reaching past the end: only the bytes inside go, and the count says so.
  EXPECT_EQ(PayloadOf([&](CommandQueue& q) { WriteProgramMemory(q, 2, 224, buffer); }),
            (Bytes{0x0A, 2, 0, 0, 0, 2, 3, 4}));
  // Starting at or past the end, or near the top of the address range: nothing to send.
  for (const std::uint32_t address : {4u, 1000u, 0xFFFFFFFFu}) {
    LinkHarness link;
    VerifyEeprom(link.queue, address, 8, buffer);
    WriteEeprom(link.queue, address, 8, buffer);
    EXPECT_TRUE(link.queue.Empty()) << address;
  }
  // A count that would overflow the frame is cut to what a frame holds.
  const Bytes big(600, 0x5A);
  const Bytes payload = PayloadOf([&](CommandQueue& q) { WriteProgramMemory(q, 0, 255, big); });
  ASSERT_EQ(payload.size(), 255u);
  EXPECT_EQ(payload[5], 249);
}

TEST(Commands, FramesGoOutAsDocumented) {
  EXPECT_EQ(FrameOf(EndOperation), (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x01, 0x8B, 0xFF, 0xFF}));
  EXPECT_EQ(FrameOf([](CommandQueue& q) { SelectChip(q, 2); }),
            (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x02, 0x8C, 0xF9, 0x02, 0xFB}));
  EXPECT_EQ(FrameOf([](CommandQueue& q) { ReadProgramMemory(q, 256, 224); }),
            (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x06, 0x90, 0x09, 0x00, 0x01, 0x00, 0x00, 0xE0, 0xEA}));
  EXPECT_EQ(FrameOf(ReadSignature), (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x01, 0x8B, 0x00, 0x00}));
  EXPECT_EQ(FrameOf([](CommandQueue& q) { SelectChip(q, -1); }),
            (Bytes{0xD1, 0xE0, 0xEB, 0xEE, 0x02, 0x8C, 0xF9, 0xFF, 0xF8}));

  // A full write block: 230-byte payload, 237-byte frame, wrapped sums.
  const Bytes frame = FrameOf([](CommandQueue& q) { WriteProgramMemory(q, 0, 224, Bytes(224, 0xFF)); });
  ASSERT_EQ(frame.size(), 237u);
  EXPECT_EQ(frame[4], 230);
  EXPECT_EQ(frame[5], static_cast<std::uint8_t>(0x8A + 230));
  EXPECT_EQ(frame.back(), static_cast<std::uint8_t>(0x0A + 224 + 224 * 0xFF));
}
