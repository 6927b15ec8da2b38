// TComm32 against a scripted driver: the settings record, the failure table, the hand-over of
// received chunks and line events, and the writer's ways of ending.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/NotifyQueue.h"
#include "link/TComm32.h"
#include "tests/support/FakeSerialDriver.h"
#include "tests/support/OpenPortError.h"

namespace kestrel {
namespace {

using test::FakeSerialState;

class TComm32Fake : public ::testing::Test {
 protected:
  TComm32Fake() {
    auto queue = std::make_unique<NotifyQueue>();
    notify = queue.get();
    comm = std::make_unique<TComm32>(std::move(queue), std::make_unique<test::FakeSerialDriver>(state));
  }

  // Configured as the program's Comm321 is.
  void ConfigureAsProgram() {
    comm->SetBaudRate(56000);
    comm->SetParity(pOdd);
    comm->SetFlowControl(fcNone);
    comm->SetEventChar(0);
  }

  std::string OpenError() { return test::OpenPortError(*comm); }

  LineSettings LastApplied() {
    std::lock_guard lock(state->mutex);
    return state->applied.empty() ? LineSettings{} : state->applied.back();
  }

  std::size_t AppliedCount() {
    std::lock_guard lock(state->mutex);
    return state->applied.size();
  }

  std::shared_ptr<FakeSerialState> state = std::make_shared<FakeSerialState>();
  NotifyQueue* notify = nullptr;
  std::unique_ptr<TComm32> comm;
};

TEST_F(TComm32Fake, DefaultsAndClosedBehaviour) {
  EXPECT_EQ(comm->BaudRate(), 9600u);
  EXPECT_EQ(comm->ByteSize(), sz_8);
  EXPECT_EQ(comm->Parity(), pNone);
  EXPECT_EQ(comm->StopBits(), sb1_0);
  EXPECT_EQ(comm->CommPort(), "COM2");
  EXPECT_EQ(comm->FlowControl(), fcNone);
  EXPECT_EQ(comm->RxQueue(), 4096u);
  EXPECT_EQ(comm->TxQueue(), 4096u);
  EXPECT_EQ(comm->EventChar(), 0);

  const std::uint8_t byte = 1;
  EXPECT_FALSE(comm->WriteData(&byte, 1));
  EXPECT_FALSE(comm->ModemControl(SETRTS));
  ConfigureAsProgram();
  comm->SetRxQueue(100);
  comm->SetStopBits(sb2_0);
  std::lock_guard lock(state->mutex);
  EXPECT_EQ(state->opens, 0);
  EXPECT_TRUE(state->applied.empty());
  EXPECT_TRUE(state->escapes.empty());
  EXPECT_TRUE(state->queueSizes.empty());
}

TEST_F(TComm32Fake, OpenAppliesTheWholeRecordKeepingTheDriversCharacters) {
  LineSettings device;
  device.BaudRate = 1200;
  device.fOutxDsrFlow = true;
  device.fDtrControl = DtrControl::Enable;
  device.fNull = true;
  device.ByteSize = 7;
  device.XonLim = 2048;
  device.XoffLim = 512;
  device.XonChar = 0x11;
  device.XoffChar = 0x13;
  device.ErrorChar = 0x3F;
  device.EofChar = 0x1A;
  device.EvtChar = 0x55;
  state->deviceSettings = device;
  ConfigureAsProgram();
  comm->SetCommPort("COM5");

  ASSERT_TRUE(comm->OpenPort());

  LineSettings expected;  // binary mode only, DTR and RTS held inactive, nothing checked
  expected.BaudRate = 56000;
  expected.Parity = pOdd;
  expected.XonLim = 2048;
  expected.XoffLim = 512;
  expected.XonChar = 0x11;
  expected.XoffChar = 0x13;
  expected.ErrorChar = 0x3F;
  expected.EofChar = 0x1A;
  EXPECT_EQ(LastApplied(), expected);
  std::lock_guard lock(state->mutex);
  EXPECT_EQ(state->openedName, "COM5");
  EXPECT_EQ(state->readInterval, 1u);
  EXPECT_EQ(state->queueSizes, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{4096, 4096}}));
  EXPECT_EQ(state->applied.size(), 1u);
}

TEST_F(TComm32Fake, FlowControlStopBitsAndDataBitsInTheRecord) {
  comm->SetByteSize(sz_7);
  comm->SetStopBits(sb2_0);
  comm->SetParity(pMark);
  comm->SetFlowControl(fcHardware);
  EXPECT_EQ(comm->FlowControl(), fcHardware);
  ASSERT_TRUE(comm->OpenPort());
  LineSettings record = LastApplied();
  EXPECT_EQ(record.ByteSize, 7);
  EXPECT_EQ(record.StopBits, sb2_0);
  EXPECT_EQ(record.Parity, pMark);
  EXPECT_TRUE(record.fOutxCtsFlow);
  EXPECT_EQ(record.fRtsControl, RtsControl::Handshake);
  EXPECT_FALSE(record.fOutX || record.fInX);

  comm->SetFlowControl(fcSoftware);
  EXPECT_EQ(comm->FlowControl(), fcSoftware);
  record = LastApplied();
  EXPECT_TRUE(record.fOutX && record.fInX);
  EXPECT_FALSE(record.fOutxCtsFlow);
  EXPECT_EQ(record.fRtsControl, RtsControl::Disable);

  comm->SetFlowControl(fcNone);
  EXPECT_EQ(comm->FlowControl(), fcNone);
  record = LastApplied();
  EXPECT_FALSE(record.fOutX || record.fInX || record.fOutxCtsFlow);
  EXPECT_EQ(record.fDtrControl, DtrControl::Disable);
}

TEST_F(TComm32Fake, SettersReapplyWhileOpen) {
  ASSERT_TRUE(comm->OpenPort());
  const std::size_t before = AppliedCount();
  comm->SetBaudRate(115200);
  comm->SetByteSize(sz_6);
  comm->SetParity(pEven);
  comm->SetStopBits(sb1_5);
  comm->SetFlowControl(fcHardware);
  comm->SetEventChar('\n');
  EXPECT_EQ(AppliedCount(), before + 6);
  const LineSettings record = LastApplied();
  EXPECT_EQ(record.BaudRate, 115200u);
  EXPECT_EQ(record.ByteSize, 6);
  EXPECT_EQ(record.Parity, pEven);
  EXPECT_EQ(record.StopBits, sb1_5);
  EXPECT_EQ(record.EvtChar, '\n');

  comm->SetTxQueue(8192);
  comm->SetRxQueue(1024);
  comm->SetCommPort("COM9");
  EXPECT_EQ(AppliedCount(), before + 6);
  std::lock_guard lock(state->mutex);
  EXPECT_EQ(state->queueSizes,
            (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{4096, 4096}, {4096, 8192}, {1024, 8192}}));
  EXPECT_EQ(state->opens, 1);
}

TEST_F(TComm32Fake, SecondOpenLeavesTheRunningPortAlone) {
  ASSERT_TRUE(comm->OpenPort());
  EXPECT_EQ(OpenError(), "Заданный порт уже открыт!");
  const std::uint8_t bytes[] = {7, 8};
  EXPECT_TRUE(comm->WriteData(bytes, 2));
  EXPECT_TRUE(state->WaitFor([&] { return state->written.size() == 2; }));
  std::lock_guard lock(state->mutex);
  EXPECT_EQ(state->opens, 1);
  EXPECT_EQ(state->closes, 0);
  EXPECT_FALSE(state->stopRaised);
}

TEST_F(TComm32Fake, OpenFailuresLeaveThePortClosed) {
  state->openResult = SerialDriver::OpenResult::CannotOpen;
  EXPECT_EQ(OpenError(), "Невозможно открыть порт!");
  state->openResult = SerialDriver::OpenResult::NotSerial;
  EXPECT_EQ(OpenError(), "Задан не COM-порт");
  const std::uint8_t byte = 1;
  EXPECT_FALSE(comm->WriteData(&byte, 1));
  EXPECT_FALSE(comm->ModemControl(SETRTS));

  // Rejected settings close the device again; setters then leave the driver alone, and a later
  // open starts from scratch.
  state->openResult = SerialDriver::OpenResult::Opened;
  state->acceptSettings = false;
  EXPECT_EQ(OpenError(), "Неверно заданы параметры порта!");
  comm->SetEventChar(1);
  comm->SetBaudRate(300);
  comm->SetTxQueue(1);
  {
    std::lock_guard lock(state->mutex);
    EXPECT_EQ(state->closes, 1);
    EXPECT_EQ(state->applied.size(), 1u);
    EXPECT_EQ(state->queueSizes.size(), 0u);
    state->acceptSettings = true;
  }
  EXPECT_FALSE(comm->WriteData(&byte, 1));
  EXPECT_TRUE(comm->OpenPort());
  EXPECT_EQ(LastApplied().BaudRate, 300u);
}

TEST_F(TComm32Fake, NoStopSignalClosesAndReturnsFalse) {
  state->stopSignalCreated = false;
  EXPECT_FALSE(comm->OpenPort());
  const std::uint8_t byte = 1;
  EXPECT_FALSE(comm->WriteData(&byte, 1));
  comm.reset();
  std::lock_guard lock(state->mutex);
  EXPECT_EQ(state->opens, 1);
  EXPECT_EQ(state->closes, 1);  // once, not again by the destructor
}

TEST_F(TComm32Fake, ChunksArriveInOrderEachFollowedByAZeroByte) {
  std::vector<std::vector<std::uint8_t>> chunks;
  comm->OnReceiveData = [&](const void* buffer, std::uint16_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    EXPECT_EQ(bytes[length], 0);
    chunks.emplace_back(bytes, bytes + length);
  };
  ASSERT_TRUE(comm->OpenPort());
  state->Receive({0xD1, 0xE0, 0xEB});
  state->Receive({0xEE});
  state->Receive(std::vector<std::uint8_t>(40000, 0x5A));  // more than one read takes
  ASSERT_TRUE(notify->DrainUntil([&] { return chunks.size() == 4; }));
  EXPECT_EQ(chunks[0], (std::vector<std::uint8_t>{0xD1, 0xE0, 0xEB}));
  EXPECT_EQ(chunks[1], (std::vector<std::uint8_t>{0xEE}));
  EXPECT_EQ(chunks[2].size(), 32768u);
  EXPECT_EQ(chunks[3].size(), 40000u - 32768u);
}

// A line that ends closes the port; it is opened again at the next interval with the settings
// and modem lines it had, and the program hears of both.
TEST_F(TComm32Fake, AHungUpLineIsClosedAndOpenedAgainAsItWas) {
  int hangups = 0, reopens = 0, chunks = 0;
  comm->OnRequestHangup = [&](TComm32& sender) {
    EXPECT_EQ(&sender, comm.get());
    ++hangups;
  };
  comm->OnPortReopened = [&](TComm32&) { ++reopens; };
  comm->OnReceiveData = [&](const void*, std::uint16_t) { ++chunks; };
  comm->SetReopenInterval(std::chrono::milliseconds(30));
  ConfigureAsProgram();
  comm->SetCommPort("COM5");
  ASSERT_TRUE(comm->OpenPort());
  comm->ModemControl(SETRTS);
  comm->ModemControl(CLRDTR);
  const LineSettings settings = LastApplied();
  {
    std::lock_guard lock(state->mutex);
    state->openResult = SerialDriver::OpenResult::CannotOpen;  // gone for now
  }
  state->Receive({});
  ASSERT_TRUE(notify->DrainUntil([&] { return hangups == 1; }));
  const std::uint8_t byte = 9;
  EXPECT_FALSE(comm->WriteData(&byte, 1));
  {
    std::lock_guard lock(state->mutex);
    EXPECT_EQ(state->closes, 1);
    EXPECT_TRUE(state->stopRaised);
  }
  notify->DrainUntil([] { return false; }, std::chrono::milliseconds(150));
  EXPECT_EQ(reopens, 0);

  {
    std::lock_guard lock(state->mutex);
    state->openResult = SerialDriver::OpenResult::Opened;
    state->escapes.clear();
  }
  ASSERT_TRUE(notify->DrainUntil([&] { return reopens == 1; }));
  EXPECT_EQ(LastApplied(), settings);
  EXPECT_TRUE(comm->WriteData(&byte, 1));
  EXPECT_TRUE(state->WaitFor([&] { return state->written == std::vector<std::uint8_t>{9}; }));
  state->Receive({1});
  ASSERT_TRUE(notify->DrainUntil([&] { return chunks == 1; }));
  std::lock_guard lock(state->mutex);
  EXPECT_EQ(state->opens, 2);
  EXPECT_EQ(state->openedName, "COM5");
  EXPECT_EQ(state->escapes, (std::vector<int>{SETRTS, CLRDTR}));
  EXPECT_EQ(hangups, 1);
}

TEST_F(TComm32Fake, DestructionWhileALostPortIsTriedAgain) {
  comm->SetReopenInterval(std::chrono::milliseconds(1));
  ASSERT_TRUE(comm->OpenPort());
  {
    std::lock_guard lock(state->mutex);
    state->openResult = SerialDriver::OpenResult::CannotOpen;
  }
  state->Receive({});
  notify->DrainUntil([] { return false; }, std::chrono::milliseconds(50));
  comm.reset();
  std::lock_guard lock(state->mutex);
  EXPECT_EQ(state->opens, 1);
  EXPECT_EQ(state->closes, 1);
}

TEST_F(TComm32Fake, RefusedHandOverEndsTheReader) {
  int hangups = 0;
  comm->OnRequestHangup = [&](TComm32&) { ++hangups; };
  notify->Refuse(MsgReceiveData);
  ASSERT_TRUE(comm->OpenPort());
  state->Receive({1, 2, 3});
  ASSERT_TRUE(state->WaitFor([&] { return state->receivePurged; }));
  notify->Drain();
  EXPECT_EQ(hangups, 1);
}

TEST_F(TComm32Fake, LineEventsAreRaisedInTheirOrder) {
  std::vector<std::string> raised;
  const auto record = [&](const char* name) { return [&raised, name](TComm32&) { raised.push_back(name); }; };
  comm->OnCommEvent = record("CommEvent");
  comm->OnError = [&](std::uint32_t code) { raised.push_back("Error " + std::to_string(code)); };
  comm->OnEventChar = record("EventChar");
  comm->OnBreak = record("Break");
  comm->OnTXEMPTY = record("TXEMPTY");
  comm->OnRX80FULL = record("RX80FULL");
  comm->OnPERR = record("PERR");
  comm->OnChangeCTS = record("ChangeCTS");
  comm->OnSetCTS = record("SetCTS");
  comm->OnClearCTS = record("ClearCTS");
  comm->OnChangeDSR = record("ChangeDSR");
  comm->OnSetDSR = record("SetDSR");
  comm->OnClearDSR = record("ClearDSR");
  comm->OnChangeRing = record("ChangeRing");
  comm->OnSetRing = record("SetRing");
  comm->OnClearRing = record("ClearRing");
  comm->OnChangeRLSD = record("ChangeRLSD");
  comm->OnSetRLSD = record("SetRLSD");
  comm->OnClearRLSD = record("ClearRLSD");
  ASSERT_TRUE(comm->OpenPort());
  // The reader's first look at the modem status has happened, so the status set below is
  // reported only through the raised events.
  EXPECT_TRUE(state->WaitFor([&] { return state->commMask == 0x07FE && state->modemStatusReads > 0; }));

  {
    std::lock_guard lock(state->mutex);
    state->modemStatus = MS_CTS_ON | MS_RLSD_ON;
    state->lineErrors = CE_FRAME | CE_OVERRUN;
  }
  state->RaiseEvents(0x07FE);
  ASSERT_TRUE(notify->DrainUntil([&] { return !raised.empty(); }));
  EXPECT_EQ(raised,
            (std::vector<std::string>{"CommEvent", "Error 10", "EventChar", "Break", "TXEMPTY", "RX80FULL",
                                      "PERR", "ChangeCTS", "SetCTS", "ChangeDSR", "ClearDSR", "ChangeRing",
                                      "ClearRing", "ChangeRLSD", "SetRLSD"}));
  EXPECT_EQ(comm->LastEventMask(), 0x07FE);
  EXPECT_EQ(comm->LastModemStatus(), MS_CTS_ON | MS_RLSD_ON);

  // Only what was reported is raised.
  raised.clear();
  state->RaiseEvents(EV_DSR);
  ASSERT_TRUE(notify->DrainUntil([&] { return !raised.empty(); }));
  EXPECT_EQ(raised, (std::vector<std::string>{"CommEvent", "ChangeDSR", "ClearDSR"}));
  EXPECT_EQ(comm->LastEventMask(), EV_DSR);
}

TEST_F(TComm32Fake, ModemStatusAtStartIsReportedOnce) {
  state->modemStatus = MS_DSR_ON | MS_RING_ON;
  std::vector<std::uint16_t> masks;
  comm->OnCommEvent = [&](TComm32& sender) { masks.push_back(sender.LastEventMask()); };
  ASSERT_TRUE(comm->OpenPort());
  ASSERT_TRUE(notify->DrainUntil([&] { return !masks.empty(); }));
  EXPECT_EQ(masks, (std::vector<std::uint16_t>{EV_DSR | EV_RING}));
  EXPECT_EQ(comm->LastModemStatus(), MS_DSR_ON | MS_RING_ON);
}

TEST_F(TComm32Fake, BlocksAreWrittenWholeAndInOrder) {
  state->writeLimit = 3;  // every block takes several writes
  ASSERT_TRUE(comm->OpenPort());
  std::vector<std::uint8_t> expected;
  for (int block = 0; block < 50; ++block) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(block % 7 + 1));
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(block * 7 + i);
    ASSERT_TRUE(comm->WriteData(bytes.data(), static_cast<std::uint16_t>(bytes.size())));
    expected.insert(expected.end(), bytes.begin(), bytes.end());
    ASSERT_TRUE(comm->WriteData(nullptr, 0));  // nothing to send, still succeeds
  }
  EXPECT_TRUE(state->WaitFor([&] { return state->written.size() == expected.size(); }));
  std::lock_guard lock(state->mutex);
  EXPECT_EQ(state->written, expected);
}

TEST_F(TComm32Fake, InvalidHandleEndsTheWriterQuietly) {
  int hangups = 0;
  comm->OnRequestHangup = [&](TComm32&) { ++hangups; };
  state->writeAnswer = SerialDriver::Io::InvalidHandle;
  ASSERT_TRUE(comm->OpenPort());
  const std::uint8_t byte = 1;
  EXPECT_TRUE(comm->WriteData(&byte, 1));
  ASSERT_TRUE(state->WaitFor([&] { return state->transmitPurged; }));
  EXPECT_FALSE(comm->WriteData(&byte, 1));  // nobody takes it any more
  notify->Drain();
  EXPECT_EQ(hangups, 0);
}

TEST_F(TComm32Fake, FailedWriteAsksForHangup) {
  int hangups = 0;
  comm->OnRequestHangup = [&](TComm32&) { ++hangups; };
  state->writeAnswer = SerialDriver::Io::Failed;
  ASSERT_TRUE(comm->OpenPort());
  const std::uint8_t byte = 1;
  EXPECT_TRUE(comm->WriteData(&byte, 1));
  ASSERT_TRUE(state->WaitFor([&] { return state->transmitPurged; }));
  EXPECT_FALSE(comm->WriteData(&byte, 1));
  notify->Drain();
  EXPECT_EQ(hangups, 1);
}

TEST_F(TComm32Fake, DestructionEndsThreadsAndReleasesTheDevice) {
  state->writeAnswer = SerialDriver::Io::Pending;  // the writer is stuck in a write
  ASSERT_TRUE(comm->OpenPort());
  const std::uint8_t bytes[100] = {};
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(comm->WriteData(bytes, sizeof bytes));
  state->Receive({1, 2, 3});  // a chunk left undelivered
  comm.reset();
  std::lock_guard lock(state->mutex);
  EXPECT_TRUE(state->stopRaised);
  EXPECT_TRUE(state->receivePurged);
  EXPECT_TRUE(state->transmitPurged);
  EXPECT_EQ(state->closes, 1);
}

}  // namespace
}  // namespace kestrel
