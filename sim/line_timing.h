#pragma once
// Wire time of bytes at a given speed: 10 bits a byte (start, 8 data, stop).
#include <cstddef>
#include <cstdint>

namespace tavro::sim {

class LineTiming {
public:
    explicit LineTiming(std::uint32_t baud) : baud_(baud == 0 ? 1 : baud) {}

    std::uint32_t baud() const { return baud_; }

    // Nanoseconds n bytes take on the wire, rounded up so nothing is early.
    std::int64_t bytesNs(std::size_t n) const
    {
        return (std::int64_t(n) * 10'000'000'000LL + baud_ - 1) / baud_;
    }

    // When answer byte i may be written at the earliest: it follows the request's end after
    // i + 1 byte times, so the answer's last byte is on the wire exactly then.
    std::int64_t answerByteDue(std::int64_t startNs, std::size_t i) const { return startNs + bytesNs(i + 1); }

    // How many answer bytes (counting from 0) may be written by nowNs.
    std::size_t answerBytesDue(std::int64_t startNs, std::int64_t nowNs) const
    {
        if (nowNs < startNs)
            return 0;
        return std::size_t((nowNs - startNs) * std::int64_t(baud_) / 10'000'000'000LL);
    }

private:
    std::uint32_t baud_;
};

} // namespace tavro::sim
