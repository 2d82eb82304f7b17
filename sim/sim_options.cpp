#include "sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace tavro::sim {
namespace {

// A whole number in [low, high]; decimal, or hexadecimal with 0x.
bool parseNumber(const std::string &text, unsigned long low, unsigned long high, unsigned long &out)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value < low || value > high)
        return false;
    out = value;
    return true;
}

} // namespace

const char *UsageText()
{
    return "Usage: tavro-sim [options]\n"
           "Answers as the Tavro instrument (Modbus RTU) on a new pseudo-terminal or a given tty.\n"
           "The first line on stdout is the device path to open.\n"
           "\n"
           "  --device PATH            use this tty instead of a new pseudo-terminal\n"
           "  --address N              logical number, 1..247 (default 1)\n"
           "  --version N              program version word (default 238: 17-word main block;\n"
           "                           a low byte of 199 or less gives the 10-word block)\n"
           "  --device-number N        device number (default 123456)\n"
           "  --baud N                 line speed in bit/s (default 9600)\n"
           "  --emulate-line           pace requests and answers at the wire time of --baud\n"
           "  --drop-every N           leave every Nth answer unsent\n"
           "  --corrupt-crc-every N    flip a CRC bit of every Nth answer\n"
           "  --split-every N          send every Nth answer in two pieces ...\n"
           "  --split-gap-ms M         ... with M ms between them (default 0)\n"
           "  --trailing N             append N garbage bytes to every answer\n"
           "  --exception ADDR:CODE    answer exception CODE to any request touching byte\n"
           "                           address ADDR (repeatable)\n"
           "  --delay-ms N             wait N ms before every answer\n"
           "  --state FILE             keep the written settings in FILE across restarts\n"
           "  --verbose                one line per event on stdout (rx, tx, drop, corrupt, ...)\n"
           "  --exit-with-parent       end when the starting process ends\n"
           "  --help                   this text\n";
}

bool ParseOptions(int argc, const char *const *argv, SimOptions &options, std::string &error)
{
    constexpr unsigned long kMax = std::numeric_limits<unsigned>::max();
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](unsigned long low, unsigned long high, unsigned long &out) {
            std::string text;
            if (!value(text))
                return false;
            if (!parseNumber(text, low, high, out)) {
                error = name + ": '" + text + "' is not a number from " + std::to_string(low) + " to "
                    + std::to_string(high);
                return false;
            }
            return true;
        };
        auto count = [&](unsigned &out) {
            unsigned long n;
            if (!number(0, kMax, n))
                return false;
            out = unsigned(n);
            return true;
        };
        unsigned long n = 0;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--device") {
            if (!value(options.device))
                return false;
        } else if (name == "--state") {
            if (!value(options.stateFile))
                return false;
        } else if (name == "--address") {
            if (!number(1, 247, n))
                return false;
            options.instrument.address = std::uint8_t(n);
        } else if (name == "--version") {
            if (!number(0, 0xFFFF, n))
                return false;
            options.instrument.version = std::uint16_t(n);
        } else if (name == "--device-number") {
            if (!number(0, 0xFFFF * 10000UL + 9999, n))
                return false;
            options.instrument.deviceNumber = std::uint32_t(n);
        } else if (name == "--baud") {
            if (!number(50, 4000000, n))
                return false;
            options.baud = std::uint32_t(n);
        } else if (name == "--emulate-line") {
            options.emulateLine = true;
        } else if (name == "--verbose") {
            options.verbose = true;
        } else if (name == "--exit-with-parent") {
            options.exitWithParent = true;
        } else if (name == "--drop-every") {
            if (!count(options.faults.dropEvery))
                return false;
        } else if (name == "--corrupt-crc-every") {
            if (!count(options.faults.corruptEvery))
                return false;
        } else if (name == "--split-every") {
            if (!count(options.faults.splitEvery))
                return false;
        } else if (name == "--split-gap-ms") {
            if (!count(options.faults.splitGapMs))
                return false;
        } else if (name == "--trailing") {
            if (!number(0, 4096, n))
                return false;
            options.faults.trailing = unsigned(n);
        } else if (name == "--delay-ms") {
            if (!count(options.faults.delayMs))
                return false;
        } else if (name == "--exception") {
            std::string text;
            if (!value(text))
                return false;
            const auto colon = text.find(':');
            unsigned long address = 0, code = 0;
            if (colon == std::string::npos || !parseNumber(text.substr(0, colon), 0, 0xFFFF, address)
                || !parseNumber(text.substr(colon + 1), 1, 255, code)) {
                error = "--exception: '" + text + "' is not ADDR:CODE (address 0..65535, code 1..255)";
                return false;
            }
            options.instrument.forcedExceptions.emplace_back(std::uint16_t(address), std::uint8_t(code));
        } else {
            error = "unknown option '" + name + "'";
            return false;
        }
    }
    // The first port's speed word reports the speed the line runs at when it is one the
    // instrument knows.
    switch (options.baud) {
    case 1200: case 2400: case 4800: case 9600: case 19200: case 38400:
        options.instrument.port1Speed = options.baud;
        break;
    default:
        options.instrument.port1Speed = 9600;
        break;
    }
    return true;
}

} // namespace tavro::sim
