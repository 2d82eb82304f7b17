#pragma once
#include <cstdint>

namespace tavro {

// One request to the instrument. Send operations take it by value, so the caller may reuse it at once.
struct TInquiry {
    std::uint16_t Addr = 0;  // logical number; only the low byte goes on the wire
    std::uint16_t Reg = 0;
    std::uint16_t Count = 0; // 16-bit registers
    std::uint16_t FileNum = 0;
    std::uint16_t RecStart = 0;
    std::uint16_t RecIndex = 0;
    std::uint16_t RecNum = 0;
    std::uint16_t RecCount = 0;
    std::uint16_t AnswLen = 0; // expected response length in bytes
    std::uint16_t Value = 0;   // function 6 value
    float FValue = 0.0f;       // function 16 single-float value
    const std::uint16_t *Values = nullptr; // function 16 list, Count entries, owned by the caller
    std::uint8_t Tag = 0;      // dispatch key of the response
};

} // namespace tavro
