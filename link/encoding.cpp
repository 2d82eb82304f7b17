#include "encoding.h"

#include <cstring>

namespace tavro {

std::uint16_t SwapBytes(std::uint16_t v)
{
    return static_cast<std::uint16_t>((v << 8) | (v >> 8));
}

std::uint16_t RegToWord(const RegisterData &data, std::size_t i)
{
    return static_cast<std::uint16_t>((data.byte(2 * i) << 8) | data.byte(2 * i + 1));
}

float RegToFloat(const RegisterData &data, std::size_t k, bool &noData)
{
    std::uint32_t bits = 0;
    for (std::size_t b = 0; b < 4; ++b)
        bits = (bits << 8) | data.byte(4 * k + b);
    noData = bits == 0xFFFFFFFFu;
    if (noData)
        return 0.0f;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void FloatToBytes(float value, std::uint8_t out[4])
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int b = 0; b < 4; ++b)
        out[b] = static_cast<std::uint8_t>(bits >> (24 - 8 * b));
}

} // namespace tavro
