#pragma once
// SHA-256 (FIPS 180-4) of the bytes a memory action moved, for the run log.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace kestrel::cli {

std::array<std::uint8_t, 32> Sha256(std::span<const std::uint8_t> bytes);

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace kestrel::cli
