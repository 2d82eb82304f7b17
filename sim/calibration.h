#pragma once
// What the instrument's calibration adjusts: gains of the measuring channels, trims of the phase
// active powers and offsets of the analogue current outputs. The instrument keeps one set live
// and one set stored; only the stored set survives a restart.
#include <array>
#include <cstddef>
#include <string>

namespace tavro::sim {

// The reference slots, each calibrating one measuring channel.
enum CalibrationSlot : std::size_t {
    kSlotUa, kSlotUb, kSlotUc, kSlotUab, kSlotUbc, kSlotUnused, kSlotIa, kSlotIb, kSlotIc,
};

struct Calibration {
    static constexpr std::size_t kSlots = 9;
    // A reference more than ten times off the live value is a typing error, not a calibration.
    static constexpr double kMinGain = 0.1;
    static constexpr double kMaxGain = 10.0;
    static constexpr double kMinTrim = 0.9;
    static constexpr double kMaxTrim = 1.1;
    // Outputs are adjusted at three limits (upper, middle, lower), each by its own offset in mA.
    static constexpr std::size_t kLimits = 3;
    static constexpr std::size_t kOutputs = 3;
    static constexpr double kMaxOutputOffset = 2.0;

    std::array<double, kSlots> gain{1, 1, 1, 1, 1, 1, 1, 1, 1}; // by slot
    std::array<double, 3> powerTrim{1, 1, 1}; // factor on the active power of phases A, B, C
    std::array<std::array<double, kOutputs>, kLimits> outputOffset{};

    bool operator==(const Calibration &) const = default;

    // Steps add up with rounding, so the ends of a range take a little slack.
    static constexpr double kSlack = 1e-9;
    static bool within(double v, double low, double high) { return v >= low - kSlack && v <= high + kSlack; }
    static bool gainAllowed(double gain) { return within(gain, kMinGain, kMaxGain); }
    static bool trimAllowed(double trim) { return within(trim, kMinTrim, kMaxTrim); }
    static bool offsetAllowed(double offset) { return within(offset, -kMaxOutputOffset, kMaxOutputOffset); }

    // "gain k value", "trim phase value" and "output limit output offset" lines.
    std::string ToLines() const;
    // Takes one such line into this set; false (and nothing changed) for any other line or for a
    // value out of its range.
    bool TakeLine(const std::string &line);
};

} // namespace tavro::sim
