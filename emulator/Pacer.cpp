#include "emulator/Pacer.h"

#include <algorithm>
#include <thread>

namespace kestrel::emulator {

namespace {

// Bytes are handed over in slices of about this long, so a paced send is not a system call a byte.
constexpr auto SliceTime = std::chrono::milliseconds(1);

}  // namespace

Pacer::Pacer(std::uint32_t baud) {
  if (baud > 0) {
    byteTime_ = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(double(BitsPerByte) / baud));
  }
}

Clock::time_point Pacer::ArrivalEnd(Clock::time_point start, std::size_t count) const {
  return start + byteTime_ * static_cast<Clock::rep>(count);
}

void Pacer::Send(std::span<const std::uint8_t> bytes,
                 const std::function<void(std::span<const std::uint8_t>)>& write,
                 const std::atomic<bool>& stop, Clock::time_point from) {
  if (!Paced()) {
    write(bytes);
    return;
  }
  const auto start = std::max(from, lineFreeAt_);
  const auto sliceBytes = std::max<std::size_t>(1, static_cast<std::size_t>(SliceTime / byteTime_));
  std::size_t sent = 0;
  while (sent < bytes.size() && !stop) {
    const std::size_t next = std::min(bytes.size(), sent + sliceBytes);
    std::this_thread::sleep_until(ArrivalEnd(start, next));
    write(bytes.subspan(sent, next - sent));
    sent = next;
  }
  lineFreeAt_ = ArrivalEnd(start, bytes.size());
}

}  // namespace kestrel::emulator
