#include "request_framer.h"

#include "crc16.h"

#include <algorithm>

namespace tavro::sim {
namespace {

bool knownFunction(std::uint8_t function)
{
    return function == 0x03 || function == 0x06 || function == 0x10 || function == 0x14;
}

} // namespace

void RequestFramer::append(const std::uint8_t *bytes, std::size_t length)
{
    buffer_.insert(buffer_.end(), bytes, bytes + length);
}

RequestFramer::Event RequestFramer::next()
{
    if (buffer_.size() < 2)
        return {};
    const std::uint8_t function = buffer_[1];
    std::vector<std::size_t> lengths;
    switch (function) {
    case 0x03:
    case 0x06:
        lengths = {8};
        break;
    case 0x10:
        if (buffer_.size() < 7)
            return {};
        // The list form, and the single-float form that has four value bytes whatever its byte count.
        lengths = {9u + buffer_[6], 13};
        break;
    case 0x14:
        lengths = {11};
        break;
    default:
        // Most requests of other functions are 8 bytes long; any other length ends at the next gap.
        if (buffer_.size() >= 8 && CalcCRC16(buffer_.data(), 8) == 0)
            return take(8);
        if (buffer_.size() > kMaxBuffered)
            return dropAll();
        return {};
    }
    std::sort(lengths.begin(), lengths.end());
    for (const auto length : lengths)
        if (buffer_.size() >= length && CalcCRC16(buffer_.data(), length) == 0)
            return take(length);
    if (buffer_.size() >= lengths.back())
        return dropAll();
    return {};
}

RequestFramer::Event RequestFramer::silence()
{
    if (buffer_.empty())
        return {};
    if (!knownFunction(buffer_.size() >= 2 ? buffer_[1] : 0x03) && buffer_.size() >= 4
        && CalcCRC16(buffer_.data(), buffer_.size()) == 0)
        return take(buffer_.size());
    return dropAll();
}

RequestFramer::Event RequestFramer::take(std::size_t length)
{
    Event event{Kind::Frame, std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(length))};
    buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(length));
    return event;
}

RequestFramer::Event RequestFramer::dropAll()
{
    Event event{Kind::Dropped, std::move(buffer_)};
    buffer_.clear();
    return event;
}

} // namespace tavro::sim
