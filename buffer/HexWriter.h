#pragma once
// The Intel HEX writer: the whole image from address 0 in data records of 16 bytes, an extended
// linear address record (type 04) before the first record of every 64 KiB above the first, the
// end-of-file record; upper-case digits, CR LF line ends.

#include <cstdint>
#include <span>
#include <vector>

namespace kestrel {

// The text of `image`; ReadHexImage gives the image back byte for byte.
std::vector<std::uint8_t> WriteHexImage(std::span<const std::uint8_t> image);

}  // namespace kestrel
