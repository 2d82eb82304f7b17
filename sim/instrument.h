#pragma once
// The instrument as seen from the line: its parameters, its measured values and its answers to
// requests. No I/O and no clock of its own, so tests feed it frames and moments directly.
#include "calibration.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <map>
#include <utility>
#include <string>
#include <vector>

namespace tavro::sim {

using Bytes = std::vector<std::uint8_t>;

// The 31 measured quantities in the instrument's order (Ua, Ub, Uc, Ia, ... , U0, I0).
constexpr std::size_t kMeasuredCount = 31;
using MeasuredValues = std::array<float, kMeasuredCount>;

enum MeasuredIndex : std::size_t {
    kUa, kUb, kUc, kIa, kIb, kIc, kUab, kUbc, kUca,
    kPa, kPb, kPc, kQa, kQb, kQc, kSa, kSb, kSc, kKpa, kKpb, kKpc,
    kP, kQ, kS, kKp, kF, kUfMean, kIMean, kUlMean, kU0, kI0,
};

// A plausible balanced-ish three-phase load drifting slowly with time: about 230 V, 5 A, 50 Hz.
MeasuredValues MeasuredAt(double seconds);
// The same load as a calibrated instrument reports it. Gains act on the phase and line voltage and
// current channels, so every value derived from a channel follows it (powers, power factors,
// means, zero-sequence values); the power trims act on the phase active powers and the total.
MeasuredValues MeasuredAt(double seconds, const Calibration &calibration);

// The moment a request is answered: uptime drives the measured values, wall time the profiles.
struct Moment {
    double uptime = 0.0;
    std::time_t wall = 0;
};

struct InstrumentConfig {
    std::uint8_t address = 1;
    std::uint16_t version = 238;
    std::uint32_t deviceNumber = 123456;
    std::uint32_t port1Speed = 9600;
    // Byte address -> exception code: any request touching the address answers that code.
    std::vector<std::pair<std::uint16_t, std::uint8_t>> forcedExceptions;
};

// Answer to one request; empty bytes mean the instrument stays silent.
struct Answer {
    Bytes bytes;
    std::uint8_t exception = 0; // nonzero when bytes is an exception answer
};

class Instrument {
public:
    explicit Instrument(const InstrumentConfig &config);

    // One complete request frame, CRC included. Frames with a bad CRC or for another logical
    // number get no answer.
    Answer handle(const std::uint8_t *frame, std::size_t length, const Moment &moment);

    std::uint8_t address() const { return address_; }
    // The speed the first port runs at, in bit/s (follows writes of its list position).
    std::uint32_t port1Speed() const;
    // The settings kept across restarts, as the instrument keeps them: one "address value" line
    // per writable word, then the calibration as last stored by the store command (see
    // Calibration::ToLines). RestoreState takes what it knows and skips anything else; it returns
    // the number of lines taken.
    std::string SaveState() const;
    std::size_t RestoreState(const std::string &text);

    // A stored parameter word; false when the instrument has no word at that address.
    bool word(std::uint16_t address, std::uint16_t &value) const;

    // The calibration in use, and the one the store command last kept (what a restart brings back).
    const Calibration &calibration() const { return calibration_; }
    const Calibration &storedCalibration() const { return storedCalibration_; }
    // The current an analogue output drives at a limit (0 upper, 1 middle, 2 lower), in mA.
    double outputCurrent(std::size_t limit, std::size_t output) const;

    // The measured values start at address 0; kMeasuredEnd is one past the last word's address.
    static constexpr std::uint16_t kMeasuredEnd = 2 * 2 * kMeasuredCount;
    static constexpr std::uint16_t kMainBlock = 512;
    static constexpr std::uint16_t kDisplayLines = 1024;
    static constexpr std::uint16_t kCalibReferences = 1792; // + 4 x slot
    static constexpr std::uint16_t kOutputValues = 1920;    // + 12 x limit + 4 x output
    static constexpr std::uint16_t kTransformers = 2048;
    static constexpr std::uint16_t kSetpoints = 2816;
    static constexpr std::size_t kProfile3minRecords = 480; // one day
    static constexpr std::size_t kProfile30minRecords = 96; // two days

private:
    struct Parameter {
        std::uint16_t value = 0;
        bool writable = true;
    };

    Answer read03(const std::uint8_t *frame, const Moment &moment);
    Answer write06(const std::uint8_t *frame);
    Answer write16(const std::uint8_t *frame, std::size_t length, const Moment &moment);
    // A single written to a calibration reference slot or to an output's measured value.
    Answer writeCalibrationSingle(const std::uint8_t *frame, const Moment &moment);
    Answer read20(const std::uint8_t *frame, const Moment &moment);

    // 0 when the value may be stored at the address, else the exception code.
    std::uint8_t checkWrite(std::uint16_t address, std::uint16_t value) const;
    void store(std::uint16_t address, std::uint16_t value);
    // The read-only words that mirror written ones (534 the variant, 532 the limit).
    void mirrorWords();
    std::uint8_t forcedException(std::uint32_t first, std::uint32_t end) const;

    Answer exception(std::uint8_t function, std::uint8_t code) const;
    Answer finish(Bytes bytes) const;

    void addFloat(std::uint16_t address, float value);

    std::uint8_t address_;
    std::map<std::uint16_t, Parameter> parameters_;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> forcedExceptions_;
    Calibration calibration_;
    Calibration storedCalibration_;
};

} // namespace tavro::sim
