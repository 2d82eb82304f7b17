#include "crc16.h"

#include <array>

namespace tavro {
namespace {

// The two 256-entry tables of the Modbus serial-line documents, generated once rather than typed in:
// high[i] and low[i] are the two bytes of the reflected CRC of the single byte i.
struct CrcTables {
    std::array<std::uint8_t, 256> high{};
    std::array<std::uint8_t, 256> low{};
    constexpr CrcTables()
    {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
            high[i] = static_cast<std::uint8_t>(crc & 0xFF);
            low[i] = static_cast<std::uint8_t>(crc >> 8);
        }
    }
};

constexpr CrcTables kTables;

} // namespace

std::uint16_t CalcCRC16(const std::uint8_t *bytes, std::size_t length)
{
    std::uint8_t first = 0xFF;  // sent first: the CRC's low-order byte
    std::uint8_t second = 0xFF; // sent second
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t index = bytes[i] ^ first;
        first = kTables.high[index] ^ second;
        second = kTables.low[index];
    }
    return static_cast<std::uint16_t>(first | (second << 8));
}

std::size_t AppendCRC16(std::uint8_t *bytes, std::size_t length)
{
    const std::uint16_t crc = CalcCRC16(bytes, length);
    bytes[length] = static_cast<std::uint8_t>(crc & 0xFF);
    bytes[length + 1] = static_cast<std::uint8_t>(crc >> 8);
    return length + 2;
}

} // namespace tavro
