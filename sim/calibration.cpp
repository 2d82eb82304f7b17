#include "calibration.h"

#include <cmath>
#include <sstream>

namespace tavro::sim {

std::string Calibration::ToLines() const
{
    std::ostringstream out;
    out.precision(17); // every double comes back bit for bit
    for (std::size_t k = 0; k < kSlots; ++k)
        if (k != kSlotUnused)
            out << "gain " << k << ' ' << gain[k] << '\n';
    for (std::size_t phase = 0; phase < powerTrim.size(); ++phase)
        out << "trim " << phase << ' ' << powerTrim[phase] << '\n';
    for (std::size_t limit = 0; limit < kLimits; ++limit)
        for (std::size_t output = 0; output < kOutputs; ++output)
            out << "output " << limit << ' ' << output << ' ' << outputOffset[limit][output] << '\n';
    return out.str();
}

bool Calibration::TakeLine(const std::string &line)
{
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    unsigned long first = 0, second = 0;
    double value = 0;
    std::string rest;
    const auto complete = [&] { return !fields.fail() && std::isfinite(value) && !(fields >> rest); };
    if (kind == "gain") {
        fields >> first >> value;
        if (!complete() || first >= kSlots || first == kSlotUnused || !gainAllowed(value))
            return false;
        gain[first] = value;
        return true;
    }
    if (kind == "trim") {
        fields >> first >> value;
        if (!complete() || first >= powerTrim.size() || !trimAllowed(value))
            return false;
        powerTrim[first] = value;
        return true;
    }
    if (kind == "output") {
        fields >> first >> second >> value;
        if (!complete() || first >= kLimits || second >= kOutputs || !offsetAllowed(value))
            return false;
        outputOffset[first][second] = value;
        return true;
    }
    return false;
}

} // namespace tavro::sim
