#pragma once
// Serves the instrument on an open tty: reads requests, answers them, paces the answers at the
// wire speed when asked to, and applies the planned faults.
#include "fault_schedule.h"
#include "instrument.h"
#include "line_timing.h"
#include "request_framer.h"
#include "sim_options.h"

#include <csignal>
#include <cstdint>
#include <string>

namespace tavro::sim {

class LineServer {
public:
    // fd: the line, non-blocking. waitMask: the signal mask under which waits run, so that
    // the stop signals (blocked elsewhere) can end them.
    LineServer(int fd, bool realTty, const SimOptions &options, const sigset_t &waitMask);

    // Runs until stop becomes nonzero.
    void run(const volatile std::sig_atomic_t &stop);

private:
    // Reads what the line holds; false when the line is down (EIO, end of file).
    bool readAvailable(std::int64_t now);
    void serveFrames(const volatile std::sig_atomic_t &stop);
    void answer(const Bytes &request, std::int64_t requestEnd, const volatile std::sig_atomic_t &stop);
    void send(const std::uint8_t *bytes, std::size_t length, std::int64_t start,
              const volatile std::sig_atomic_t &stop);
    void writeAll(const std::uint8_t *bytes, std::size_t length);
    void followSpeed();
    void restoreState();
    void saveState() const;
    // Waits until the monotonic deadline; false when a stop signal came first.
    bool sleepUntil(std::int64_t deadline, const volatile std::sig_atomic_t &stop);
    std::int64_t frameGapNs() const;
    void log(const std::string &line) const;
    void logBytes(const char *what, const std::uint8_t *bytes, std::size_t length) const;

    int fd_;
    bool realTty_;
    bool emulateLine_;
    bool verbose_;
    sigset_t waitMask_;
    Instrument instrument_;
    FaultSchedule faults_;
    LineTiming timing_;
    RequestFramer framer_;
    std::int64_t firstByteNs_ = 0; // arrival of the first buffered byte
    std::int64_t lastByteNs_ = 0;  // arrival of the last buffered byte
    std::uint32_t port1Speed_;     // the speed word as last seen
    std::int64_t startNs_ = 0;
    std::string stateFile_;
};

std::int64_t MonotonicNs();

} // namespace tavro::sim
