#include "frames.h"

#include "crc16.h"

#include <algorithm>
#include <cstring>

namespace tavro {
namespace {

std::size_t put16(std::uint8_t *tx, std::size_t at, std::uint16_t v)
{
    tx[at] = static_cast<std::uint8_t>(v >> 8);
    tx[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
    return at + 2;
}

std::size_t header(std::uint8_t *tx, std::uint16_t slave, std::uint8_t function)
{
    tx[0] = static_cast<std::uint8_t>(slave & 0xFF);
    tx[1] = function;
    return 2;
}

} // namespace

std::size_t BuildRead03(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave)
{
    std::size_t n = header(tx, slave, kFuncRead03);
    n = put16(tx, n, inq.Reg);
    n = put16(tx, n, inq.Count);
    return AppendCRC16(tx, n);
}

std::size_t BuildWrite06(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave)
{
    std::size_t n = header(tx, slave, kFuncWrite06);
    n = put16(tx, n, inq.Reg);
    n = put16(tx, n, inq.Value);
    return AppendCRC16(tx, n);
}

std::size_t BuildWrite16(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave)
{
    std::size_t n = header(tx, slave, kFuncWrite16);
    n = put16(tx, n, inq.Reg);
    n = put16(tx, n, inq.Count);
    tx[n++] = static_cast<std::uint8_t>((2 * inq.Count) & 0xFF);
    // Keep room for the CRC whatever Count says; a list without values sends zeros.
    const std::size_t words = std::min<std::size_t>(inq.Count, (kFrameBufferSize - n - 2) / 2);
    for (std::size_t i = 0; i < words; ++i)
        n = put16(tx, n, inq.Values ? inq.Values[i] : 0);
    return AppendCRC16(tx, n);
}

std::size_t BuildWrite16Float(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave)
{
    std::size_t n = header(tx, slave, kFuncWrite16);
    n = put16(tx, n, inq.Reg);
    n = put16(tx, n, inq.Count);
    tx[n++] = static_cast<std::uint8_t>((2 * inq.Count) & 0xFF);
    std::uint32_t bits;
    std::memcpy(&bits, &inq.FValue, sizeof bits);
    n = put16(tx, n, static_cast<std::uint16_t>(bits >> 16));
    n = put16(tx, n, static_cast<std::uint16_t>(bits & 0xFFFF));
    return AppendCRC16(tx, n);
}

std::size_t BuildRead20(std::uint8_t *tx, const TInquiry &inq, std::uint16_t slave)
{
    std::size_t n = header(tx, slave, kFuncRead20);
    tx[n++] = 0x0C;
    n = put16(tx, n, inq.FileNum);
    n = put16(tx, n, inq.RecNum);
    n = put16(tx, n, static_cast<std::uint16_t>(8 * inq.RecCount));
    return AppendCRC16(tx, n);
}

} // namespace tavro
