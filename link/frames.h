#pragma once
#include "inquiry.h"

#include <cstddef>
#include <cstdint>

namespace tavro {

// Every request fits: the longest is a function-16 list of 255 words (9 + 510 bytes).
constexpr std::size_t kFrameBufferSize = 4096;

constexpr std::uint8_t kFuncRead03 = 0x03;
constexpr std::uint8_t kFuncWrite06 = 0x06;
constexpr std::uint8_t kFuncWrite16 = 0x10;
constexpr std::uint8_t kFuncRead20 = 0x14;

constexpr std::uint16_t kWriteAnswerLength = 8;
constexpr std::uint16_t kExceptionAnswerLength = 5;

// Frame builders: each writes one request, CRC included, into tx (kFrameBufferSize bytes) and
// returns its length. Only the low byte of slave goes on the wire.
std::size_t BuildRead03(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave);
std::size_t BuildWrite06(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave);
// The list form; byte count is the low byte of 2 x Count, as the instrument expects.
std::size_t BuildWrite16(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave);
// The single-float form: always four value bytes, whatever Count says (the ratio writes send Count 8).
std::size_t BuildWrite16Float(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave);
// The instrument's own function 20: no reference-type byte and a byte count of 12.
std::size_t BuildRead20(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave);

} // namespace tavro
