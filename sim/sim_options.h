#pragma once
// Command line of tavro-sim.
#include "fault_schedule.h"
#include "instrument.h"

#include <string>

namespace tavro::sim {

struct SimOptions {
    std::string device; // empty: a new pseudo-terminal
    std::string stateFile; // settings kept across restarts; empty: none
    InstrumentConfig instrument;
    FaultOptions faults;
    std::uint32_t baud = 9600;
    bool emulateLine = false;
    bool verbose = false;
    bool exitWithParent = false;
    bool help = false;
};

// Fills options from argv; on a bad argument returns false with a one-line reason in error.
bool ParseOptions(int argc, const char *const *argv, SimOptions &options, std::string &error);

const char *UsageText();

} // namespace tavro::sim
