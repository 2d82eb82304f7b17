#pragma once
#include <cstddef>
#include <cstdint>

namespace tavro {

// A read-only view of a response's data part (the bytes after slave, function and byte count).
// Reads past its end give 0xFF bytes, so a short or odd answer decodes as "no data", never as
// memory that does not belong to it.
class RegisterData {
public:
    RegisterData() = default;
    RegisterData(const std::uint8_t *bytes, std::size_t size) : bytes_(bytes), size_(size) {}
    std::uint8_t byte(std::size_t i) const { return i < size_ ? bytes_[i] : 0xFF; }
    std::size_t size() const { return size_; }

private:
    const std::uint8_t *bytes_ = nullptr;
    std::size_t size_ = 0;
};

std::uint16_t SwapBytes(std::uint16_t v);

// Register i, big-endian; the caller decides whether it is signed.
std::uint16_t RegToWord(const RegisterData &data, std::size_t i);

// Single k, held in registers 2k and 2k+1, high half first. Four 0xFF bytes mean "no data":
// the result is 0 and noData is set; otherwise noData is cleared.
float RegToFloat(const RegisterData &data, std::size_t k, bool &noData);

// The four wire bytes of a single, most significant first.
void FloatToBytes(float value, std::uint8_t out[4]);

} // namespace tavro
