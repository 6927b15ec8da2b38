#pragma once
// The Motorola S-record writer: an S0 header holding the file's name, the whole image from
// address 0 in data records of 16 bytes, an S5 count record (S6 past 65535 records) and the
// terminator. The addresses take 16 bits (S1, S9) while the image's last address fits them, else
// 24 bits (S2, S8) or 32 (S3, S7); upper-case digits, CR LF line ends.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kestrel {

// The text of `image` with `header` in its S0 record (cut to the 252 bytes a record holds);
// ReadSRecordImage gives the image back byte for byte.
std::vector<std::uint8_t> WriteSRecordImage(std::span<const std::uint8_t> image, std::string_view header);

}  // namespace kestrel
