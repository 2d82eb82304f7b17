#pragma once
#include <cstddef>
#include <cstdint>

namespace tavro {

// CRC-16 of the Modbus serial line (reflected 0x8005, start 0xFFFF, no final xor).
// The result's low byte is the one sent first, so a frame followed by its own CRC checks to 0.
std::uint16_t CalcCRC16(const std::uint8_t *bytes, std::size_t length);

// Appends the CRC of bytes[0..length) at bytes[length], low byte first; returns length + 2.
std::size_t AppendCRC16(std::uint8_t *bytes, std::size_t length);

} // namespace tavro
