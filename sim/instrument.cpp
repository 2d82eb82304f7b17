#include "instrument.h"

#include "crc16.h"
#include "encoding.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <numbers>
#include <optional>
#include <sstream>

namespace tavro::sim {
namespace {

constexpr std::uint8_t kIllegalFunction = 1;
constexpr std::uint8_t kIllegalAddress = 2;
constexpr std::uint8_t kIllegalValue = 3;
constexpr std::uint8_t kBadNetworkAddress = 68; // the instrument's own code
constexpr std::uint8_t kBadSetting = 69;        // the instrument's own code

constexpr std::array<std::uint32_t, 6> kSpeeds = {1200, 2400, 4800, 9600, 19200, 38400};

constexpr std::uint16_t kVersionAddr = 512;
constexpr std::uint16_t kParamCountAddr = 514;
constexpr std::uint16_t kLogicalNumberAddr = 516;
constexpr std::uint16_t kBrightnessAddr = 518;
constexpr std::uint16_t kDeviceNumberLowAddr = 520;
constexpr std::uint16_t kDeviceNumberHighAddr = 522;
constexpr std::uint16_t kPort1SpeedAddr = 524;
constexpr std::uint16_t kSchemeAddr = 528;
constexpr std::uint16_t kVariantAddr = 530;
constexpr std::uint16_t kPort2ModeAddr = 540;
constexpr std::uint16_t kPort2SpeedAddr = 542;
constexpr std::uint16_t kLimitMirrorAddr = 532;
constexpr std::uint16_t kVariantMirrorAddr = 534;
constexpr std::uint16_t kPhaseBMethodAddr = 546;
constexpr std::uint16_t kPowerUpAddr = 640;
constexpr std::uint16_t kPowerDownAddr = 641;
constexpr std::uint16_t kOutputUpAddr = 642;
constexpr std::uint16_t kOutputDownAddr = 643;
constexpr std::uint16_t kOutputLimitAddr = 766;
constexpr std::uint16_t kStoreAddr = 767;

constexpr std::uint32_t kCalibReferencesEnd = Instrument::kCalibReferences + 4 * Calibration::kSlots;
constexpr std::uint32_t kOutputValuesEnd = Instrument::kOutputValues + 12 * Calibration::kLimits;

// What each measured value a reference slot calibrates is, in the order of the slots.
constexpr std::array<std::size_t, Calibration::kSlots> kSlotMeasured = {
    kUa, kUb, kUc, kUab, kUbc, kMeasuredCount, kIa, kIb, kIc};

// Phase codes 0..2 nudge the active power of phase A, B, C by a fine step, 3..5 by a coarse one.
constexpr double kFinePowerStep = 0.001;
constexpr double kCoarsePowerStep = 0.01;

struct OutputStep {
    std::size_t limit;
    std::size_t output;
    double milliamps;
};

// Step codes: output 0..2 at the middle limit by x1, output + 3 at the upper limit by x1,
// output + 10 and output + 20 at the middle limit by x10 and x100.
std::optional<OutputStep> DecodeOutputStep(std::uint16_t code)
{
    constexpr double unit = 0.001;
    if (code <= 2)
        return OutputStep{1, code, unit};
    if (code <= 5)
        return OutputStep{0, std::size_t(code - 3), unit};
    if (code >= 10 && code <= 12)
        return OutputStep{1, std::size_t(code - 10), 10 * unit};
    if (code >= 20 && code <= 22)
        return OutputStep{1, std::size_t(code - 20), 100 * unit};
    return std::nullopt;
}

// The current an output is meant to drive at a limit, in mA, for the hardware variant.
double OutputNominal(std::uint16_t variant, std::size_t limit)
{
    constexpr double bipolar[] = {5.0, 0.0, -5.0};
    constexpr double loop[] = {20.0, 12.0, 4.0};
    return variant == 0 ? bipolar[limit] : loop[limit];
}

std::uint16_t be16(const std::uint8_t *p) { return std::uint16_t(p[0] << 8 | p[1]); }

float beFloat(const std::uint8_t *p)
{
    return std::bit_cast<float>(std::uint32_t(be16(p)) << 16 | be16(p + 2));
}

void put16(Bytes &out, std::uint16_t v)
{
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v & 0xFF));
}

void putFloat(Bytes &out, float v)
{
    std::uint8_t b[4];
    FloatToBytes(v, b);
    out.insert(out.end(), b, b + 4);
}

std::uint16_t floatWord(float v, int half)
{
    std::uint8_t b[4];
    FloatToBytes(v, b);
    return half == 0 ? std::uint16_t(b[0] << 8 | b[1]) : std::uint16_t(b[2] << 8 | b[3]);
}

} // namespace

MeasuredValues MeasuredAt(double t)
{
    return MeasuredAt(t, Calibration{});
}

MeasuredValues MeasuredAt(double t, const Calibration &calibration)
{
    using std::numbers::pi;
    constexpr double deg = pi / 180.0;
    const double w = 2.0 * pi * t;
    // Each quantity drifts by a few tenths of a percent with a period of tens of seconds; the
    // periods differ so the phases do not move in lockstep.
    const double baseU[3] = {230.2, 229.7, 230.5};
    const double baseI[3] = {5.02, 4.95, 5.08};
    const double basePhi[3] = {25.8, 24.6, 26.9};
    const auto &gain = calibration.gain;

    MeasuredValues v{};
    std::complex<double> u[3], i[3];
    double sumP = 0, sumQ = 0, sumS = 0;
    for (int k = 0; k < 3; ++k) {
        const double um = gain[kSlotUa + k] * baseU[k] * (1.0 + 0.003 * std::sin(w / 40.0 + 2.1 * k));
        const double im = gain[kSlotIa + k] * baseI[k] * (1.0 + 0.004 * std::sin(w / 55.0 + 1.3 * k + 0.5));
        const double phi = (basePhi[k] + 0.2 * std::sin(w / 70.0 + k)) * deg;
        const double theta = -120.0 * k * deg + (k == 0 ? 0.0 : 0.15 * deg * std::sin(w / 45.0 + k));
        u[k] = std::polar(um, theta);
        i[k] = std::polar(im, theta - phi);
        const double p = calibration.powerTrim[k] * um * im * std::cos(phi);
        const double q = um * im * std::sin(phi);
        const double s = um * im;
        v[kUa + k] = float(um);
        v[kIa + k] = float(im);
        v[kPa + k] = float(p);
        v[kQa + k] = float(q);
        v[kSa + k] = float(s);
        v[kKpa + k] = float(p / s);
        sumP += p;
        sumQ += q;
        sumS += s;
    }
    // Line voltages are measured between the phases and calibrated on their own; the third one
    // closes the triangle of the other two.
    const std::complex<double> ab = gain[kSlotUab] * (u[0] - u[1]);
    const std::complex<double> bc = gain[kSlotUbc] * (u[1] - u[2]);
    const double uab = std::abs(ab);
    const double ubc = std::abs(bc);
    const double uca = std::abs(ab + bc);
    v[kUab] = float(uab);
    v[kUbc] = float(ubc);
    v[kUca] = float(uca);
    v[kP] = float(sumP);
    v[kQ] = float(sumQ);
    v[kS] = float(sumS);
    v[kKp] = float(sumP / sumS);
    v[kF] = float(50.0 + 0.02 * std::sin(w / 30.0));
    v[kUfMean] = float((std::abs(u[0]) + std::abs(u[1]) + std::abs(u[2])) / 3.0);
    v[kIMean] = float((std::abs(i[0]) + std::abs(i[1]) + std::abs(i[2])) / 3.0);
    v[kUlMean] = float((uab + ubc + uca) / 3.0);
    v[kU0] = float(std::abs(u[0] + u[1] + u[2]) / 3.0);
    v[kI0] = float(std::abs(i[0] + i[1] + i[2]) / 3.0);
    return v;
}

Instrument::Instrument(const InstrumentConfig &config)
    : address_(config.address), forcedExceptions_(config.forcedExceptions)
{
    auto add = [this](std::uint16_t address, std::uint16_t value, bool writable = true) {
        parameters_[address] = Parameter{value, writable};
    };
    add(kVersionAddr, config.version, false);
    add(kParamCountAddr, std::uint16_t(kMeasuredCount), false);
    add(kLogicalNumberAddr, config.address);
    add(kBrightnessAddr, 2);
    add(kDeviceNumberLowAddr, std::uint16_t(config.deviceNumber % 10000));
    add(kDeviceNumberHighAddr, std::uint16_t(config.deviceNumber / 10000));
    add(kPort1SpeedAddr, std::uint16_t(config.port1Speed));
    for (std::uint16_t a = 526; a <= 538; a += 2)
        add(a, 0);
    add(kVariantAddr, 1);
    add(kLimitMirrorAddr, 0, false);
    add(kVariantMirrorAddr, 0, false);
    // Instruments with a program version byte of at most 199 have no second Modbus port settings.
    if ((config.version & 0xFF) > 199) {
        add(kPort2ModeAddr, 1);
        add(kPort2SpeedAddr, 9600);
        add(544, 0);
    }
    add(kPhaseBMethodAddr, 0);
    // Adjustment and store commands: written, never meant to be read back.
    for (std::uint16_t a : {640, 641, 642, 643, 766, 767})
        add(a, 0);
    for (std::uint16_t a = kDisplayLines; a < kDisplayLines + 12; a += 2)
        add(a, 0);
    // Primary values are kept 1.3 times the rated ones, as an instrument set up for 100 V / 5 A.
    addFloat(kTransformers, 130.0f);
    addFloat(kTransformers + 4, 100.0f);
    addFloat(kTransformers + 8, 6.5f);
    addFloat(kTransformers + 12, 5.0f);
    for (std::uint16_t a = kSetpoints; a < kSetpoints + 12; a += 2)
        add(a, 0);
    mirrorWords();
}

void Instrument::mirrorWords()
{
    parameters_[kVariantMirrorAddr].value = parameters_[kVariantAddr].value;
    parameters_[kLimitMirrorAddr].value = parameters_[kOutputLimitAddr].value;
}

double Instrument::outputCurrent(std::size_t limit, std::size_t output) const
{
    return OutputNominal(parameters_.at(kVariantAddr).value, limit) + calibration_.outputOffset[limit][output];
}

void Instrument::addFloat(std::uint16_t address, float value)
{
    parameters_[address] = Parameter{floatWord(value, 0), true};
    parameters_[std::uint16_t(address + 2)] = Parameter{floatWord(value, 1), true};
}

std::uint32_t Instrument::port1Speed() const
{
    return parameters_.at(kPort1SpeedAddr).value;
}

bool Instrument::word(std::uint16_t address, std::uint16_t &value) const
{
    if (address >= kOutputValues && address < kOutputValuesEnd) {
        if (address % 2 != 0)
            return false;
        const std::size_t offset = address - kOutputValues;
        value = floatWord(float(outputCurrent(offset / 12, offset % 12 / 4)), int(offset % 4 / 2));
        return true;
    }
    const auto it = parameters_.find(address);
    if (it == parameters_.end())
        return false;
    value = it->second.value;
    return true;
}

Answer Instrument::handle(const std::uint8_t *frame, std::size_t length, const Moment &moment)
{
    if (length < 4 || CalcCRC16(frame, length) != 0 || frame[0] != address_)
        return {};
    const std::uint8_t function = frame[1];
    if (function == 0x03 && length == 8)
        return read03(frame, moment);
    if (function == 0x06 && length == 8)
        return write06(frame);
    if (function == 0x10 && length >= 9)
        return write16(frame, length, moment);
    if (function == 0x14 && length == 11)
        return read20(frame, moment);
    if (function == 0x03 || function == 0x06 || function == 0x10 || function == 0x14)
        return exception(function, kIllegalValue);
    return exception(function, kIllegalFunction);
}

std::uint8_t Instrument::forcedException(std::uint32_t first, std::uint32_t end) const
{
    for (const auto &[address, code] : forcedExceptions_)
        if (address >= first && address < end)
            return code;
    return 0;
}

Answer Instrument::read03(const std::uint8_t *frame, const Moment &moment)
{
    const std::uint32_t start = be16(frame + 2);
    const std::uint32_t count = be16(frame + 4);
    if (count == 0 || count > 125)
        return exception(0x03, kIllegalValue);
    const std::uint32_t end = start + 2 * count;
    if (const auto code = forcedException(start, end))
        return exception(0x03, code);

    Bytes out{address_, 0x03, std::uint8_t(2 * count)};
    bool measuredTaken = false;
    MeasuredValues measured{};
    for (std::uint32_t a = start; a < end; a += 2) {
        if (a < kMeasuredEnd && a % 2 == 0) {
            if (!measuredTaken) {
                measured = MeasuredAt(moment.uptime, calibration_);
                measuredTaken = true;
            }
            put16(out, floatWord(measured[a / 4], int(a % 4 / 2)));
            continue;
        }
        std::uint16_t value;
        if (a > 0xFFFF || !word(std::uint16_t(a), value))
            return exception(0x03, kIllegalAddress);
        put16(out, value);
    }
    return finish(std::move(out));
}

std::uint8_t Instrument::checkWrite(std::uint16_t address, std::uint16_t value) const
{
    const auto it = parameters_.find(address);
    if (it == parameters_.end() || !it->second.writable)
        return kIllegalAddress;
    switch (address) {
    case kLogicalNumberAddr:
        return value >= 1 && value <= 247 ? 0 : kBadNetworkAddress;
    case kPort1SpeedAddr:
    case kPort2SpeedAddr:
        return value < kSpeeds.size() ? 0 : kBadSetting;
    case kPort2ModeAddr:
    case kSchemeAddr:
    case kVariantAddr:
        return value <= 1 ? 0 : kBadSetting;
    case kOutputLimitAddr:
        return value <= 3 ? 0 : kBadSetting;
    case kStoreAddr:
        return value == 0 ? 0 : kBadSetting;
    case kPowerUpAddr:
    case kPowerDownAddr: {
        if (value > 5)
            return kBadSetting;
        const double step = value < 3 ? kFinePowerStep : kCoarsePowerStep;
        const double trim = calibration_.powerTrim[value % 3] + (address == kPowerUpAddr ? step : -step);
        return Calibration::trimAllowed(trim) ? 0 : kBadSetting;
    }
    case kOutputUpAddr:
    case kOutputDownAddr: {
        const auto step = DecodeOutputStep(value);
        if (!step)
            return kBadSetting;
        const double offset = calibration_.outputOffset[step->limit][step->output]
                              + (address == kOutputUpAddr ? step->milliamps : -step->milliamps);
        return Calibration::offsetAllowed(offset) ? 0 : kBadSetting;
    }
    default:
        return 0;
    }
}

void Instrument::store(std::uint16_t address, std::uint16_t value)
{
    switch (address) {
    case kLogicalNumberAddr:
        // The answer to this write still goes out under the old number (it is already built).
        address_ = std::uint8_t(value);
        break;
    case kPort1SpeedAddr:
    case kPort2SpeedAddr:
        // Speeds are written as list positions and read back in bit/s.
        value = std::uint16_t(kSpeeds[value]);
        break;
    case kSchemeAddr:
        // The scheme is written as 0 three-wire, 1 four-wire, but read back as 0 four-wire and
        // anything else three-wire.
        value = value == 1 ? 0 : 1;
        break;
    case kPowerUpAddr:
    case kPowerDownAddr: {
        const double step = value < 3 ? kFinePowerStep : kCoarsePowerStep;
        calibration_.powerTrim[value % 3] += address == kPowerUpAddr ? step : -step;
        break;
    }
    case kOutputUpAddr:
    case kOutputDownAddr: {
        const auto step = DecodeOutputStep(value);
        calibration_.outputOffset[step->limit][step->output] +=
            address == kOutputUpAddr ? step->milliamps : -step->milliamps;
        break;
    }
    case kStoreAddr:
        storedCalibration_ = calibration_;
        break;
    default:
        break;
    }
    parameters_[address].value = value;
    mirrorWords();
}

Answer Instrument::write06(const std::uint8_t *frame)
{
    const std::uint16_t address = be16(frame + 2);
    const std::uint16_t value = be16(frame + 4);
    if (const auto code = forcedException(address, std::uint32_t(address) + 2))
        return exception(0x06, code);
    if (const auto code = checkWrite(address, value))
        return exception(0x06, code);
    Bytes echo(frame, frame + 6);
    store(address, value);
    return finish(std::move(echo));
}

Answer Instrument::write16(const std::uint8_t *frame, std::size_t length, const Moment &moment)
{
    const std::uint16_t start = be16(frame + 2);
    const std::uint16_t count = be16(frame + 4);
    const std::uint8_t byteCount = frame[6];
    // The list form carries its byte count of values; the single-float form always four bytes,
    // whatever its count and byte count say.
    std::size_t valueBytes;
    if (length == 9u + byteCount && byteCount == 2u * count && count >= 1 && count <= 123)
        valueBytes = byteCount;
    else if (length == 13)
        valueBytes = 4;
    else
        return exception(0x10, kIllegalValue);

    std::vector<std::pair<std::uint16_t, std::uint16_t>> writes;
    for (std::size_t i = 0; i < valueBytes / 2; ++i) {
        const std::uint32_t address = start + 2u * i;
        if (address > 0xFFFF)
            return exception(0x10, kIllegalAddress);
        writes.emplace_back(std::uint16_t(address), be16(frame + 7 + 2 * i));
    }
    if (const auto code = forcedException(start, std::uint32_t(start) + valueBytes))
        return exception(0x10, code);
    if ((start >= kCalibReferences && start < kCalibReferencesEnd) || (start >= kOutputValues && start < kOutputValuesEnd)) {
        if (valueBytes != 4)
            return exception(0x10, kIllegalValue);
        return writeCalibrationSingle(frame, moment);
    }
    // The device number is written high part first but read back with the low part first.
    if (start == kDeviceNumberLowAddr && writes.size() == 2)
        std::swap(writes[0].second, writes[1].second);
    for (const auto &[address, value] : writes)
        if (const auto code = checkWrite(address, value))
            return exception(0x10, code);
    for (const auto &[address, value] : writes)
        store(address, value);
    Bytes out(frame, frame + 6);
    return finish(std::move(out));
}

Answer Instrument::writeCalibrationSingle(const std::uint8_t *frame, const Moment &moment)
{
    const std::uint16_t address = be16(frame + 2);
    const float value = beFloat(frame + 7);
    if (address % 4 != 0)
        return exception(0x10, kIllegalAddress);
    if (address >= kOutputValues) {
        const std::size_t limit = (address - kOutputValues) / 12;
        const std::size_t output = (address - kOutputValues) % 12 / 4;
        // The measured current tells the instrument how far its output is off the limit.
        const double offset = value - OutputNominal(parameters_.at(kVariantAddr).value, limit);
        if (!std::isfinite(value) || !Calibration::offsetAllowed(offset))
            return exception(0x10, kBadSetting);
        calibration_.outputOffset[limit][output] = offset;
    } else {
        const std::size_t slot = (address - kCalibReferences) / 4;
        if (slot == kSlotUnused)
            return exception(0x10, kIllegalAddress);
        // The gain that makes the channel read the reference at the value applied now.
        const double present = MeasuredAt(moment.uptime, calibration_)[kSlotMeasured[slot]];
        if (!std::isfinite(value) || std::abs(present) < 1e-3)
            return exception(0x10, kBadSetting);
        const double gain = calibration_.gain[slot] * value / present;
        if (!Calibration::gainAllowed(gain))
            return exception(0x10, kBadSetting);
        calibration_.gain[slot] = gain;
    }
    return finish(Bytes(frame, frame + 6));
}

Answer Instrument::read20(const std::uint8_t *frame, const Moment &moment)
{
    const std::uint16_t file = be16(frame + 3);
    const std::uint16_t first = be16(frame + 5);
    const std::uint16_t registers = be16(frame + 7);
    std::size_t size;
    std::time_t interval;
    if (file == 0) {
        size = kProfile3minRecords;
        interval = 180;
    } else if (file == 10) {
        size = kProfile30minRecords;
        interval = 1800;
    } else {
        return exception(0x14, kIllegalAddress);
    }
    if (registers == 0 || registers % 8 != 0 || registers / 8 > 15)
        return exception(0x14, kIllegalValue);
    if (first >= size)
        return exception(0x14, kIllegalAddress);
    const std::size_t records = std::min<std::size_t>(registers / 8, size - first);

    Bytes out{address_, 0x14, std::uint8_t(2 + 18 * records), std::uint8_t(records << 4), 0};
    const std::time_t newest = moment.wall - moment.wall % interval;
    for (std::size_t r = first; r < first + records; ++r) {
        const std::time_t stamp = newest - std::time_t(r) * interval;
        // Mean power over the interval, in kW and kvar, taken from the middle of the interval.
        const double age = double(moment.wall - stamp) + interval / 2.0;
        const auto values = MeasuredAt(moment.uptime - age, calibration_);
        putFloat(out, values[kP] / 1000.0f);
        putFloat(out, 0.0f);
        putFloat(out, values[kQ] / 1000.0f);
        putFloat(out, 0.0f);
        std::tm local{};
        localtime_r(&stamp, &local);
        const std::uint16_t summer = local.tm_isdst > 0 ? 0x0100 : 0;
        put16(out, std::uint16_t(0x0200 | summer | 0x01));
    }
    return finish(std::move(out));
}

std::string Instrument::SaveState() const
{
    std::string out;
    for (const auto &[address, parameter] : parameters_)
        if (parameter.writable)
            out += std::to_string(address) + ' ' + std::to_string(parameter.value) + '\n';
    return out + storedCalibration_.ToLines();
}

std::size_t Instrument::RestoreState(const std::string &text)
{
    std::istringstream lines(text);
    std::string line;
    std::size_t taken = 0;
    while (std::getline(lines, line)) {
        if (storedCalibration_.TakeLine(line)) {
            ++taken;
            continue;
        }
        std::istringstream fields(line);
        unsigned long address = 0, value = 0;
        if (!(fields >> address >> value) || address > 0xFFFF || value > 0xFFFF)
            continue;
        const auto it = parameters_.find(std::uint16_t(address));
        if (it == parameters_.end() || !it->second.writable)
            continue;
        if (address == kLogicalNumberAddr) {
            if (value < 1 || value > 247)
                continue;
            address_ = std::uint8_t(value);
        }
        if ((address == kPort1SpeedAddr || address == kPort2SpeedAddr)
            && std::find(kSpeeds.begin(), kSpeeds.end(), value) == kSpeeds.end())
            continue;
        if ((address == kVariantAddr && value > 1) || (address == kOutputLimitAddr && value > 3))
            continue;
        it->second.value = std::uint16_t(value);
        ++taken;
    }
    mirrorWords();
    // A restart works with what was stored; changes made since the last store are gone.
    calibration_ = storedCalibration_;
    return taken;
}

Answer Instrument::exception(std::uint8_t function, std::uint8_t code) const
{
    Answer answer = finish(Bytes{address_, std::uint8_t(function | 0x80), code});
    answer.exception = code;
    return answer;
}

Answer Instrument::finish(Bytes bytes) const
{
    const auto crc = CalcCRC16(bytes.data(), bytes.size());
    bytes.push_back(std::uint8_t(crc & 0xFF));
    bytes.push_back(std::uint8_t(crc >> 8));
    return Answer{std::move(bytes), 0};
}

} // namespace tavro::sim
