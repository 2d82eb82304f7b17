#pragma once
// Cuts the byte stream of the line into request frames. Requests arrive without gaps, so the
// function code tells how long a frame is; the CRC decides between the two lengths a function-16
// frame may have. Bytes that do not make a frame are thrown away.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavro::sim {

class RequestFramer {
public:
    enum class Kind { None, Frame, Dropped };
    struct Event {
        Kind kind = Kind::None;
        std::vector<std::uint8_t> bytes; // the frame, or the bytes thrown away
    };

    // Longest buffered stretch; a frame of an unknown function longer than this is dropped.
    static constexpr std::size_t kMaxBuffered = 4096;

    void append(const std::uint8_t *bytes, std::size_t length);
    bool empty() const { return buffer_.empty(); }
    std::size_t buffered() const { return buffer_.size(); }

    // The next frame from the buffered bytes: a Frame, Dropped when the bytes failed the CRC
    // (all buffered bytes are thrown away), or None when more bytes are needed.
    Event next();

    // The line has been silent for a frame gap. A frame of an unknown function code ends here
    // and is handed out if its CRC is good; anything else still buffered is dropped.
    Event silence();

private:
    Event take(std::size_t length);
    Event dropAll();

    std::vector<std::uint8_t> buffer_;
};

} // namespace tavro::sim
