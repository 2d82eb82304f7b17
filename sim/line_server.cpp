#include "line_server.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace tavro::sim {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kMinFrameGapNs = 20 * kMs;
// Pause after EIO or a hang-up on the line before looking again.
constexpr std::int64_t kLineErrorPauseNs = 50 * kMs;
// Longest time between two paced writes of an answer.
constexpr std::int64_t kPacingStepNs = 1 * kMs;
// Bytes handed over together, as a UART's receive FIFO does at its trigger level.
constexpr std::int64_t kFifoTrigger = 16;
// How long a write may wait for room in the line's buffer before the rest is given up.
constexpr int kWriteRoomMs = 200;

timespec toTimespec(std::int64_t ns)
{
    if (ns < 0)
        ns = 0;
    return timespec{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
}

speed_t speedConstant(std::uint32_t baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

} // namespace

std::int64_t MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

LineServer::LineServer(int fd, bool realTty, const SimOptions &options, const sigset_t &waitMask)
    : fd_(fd), realTty_(realTty), emulateLine_(options.emulateLine), verbose_(options.verbose),
      waitMask_(waitMask), instrument_(options.instrument), faults_(options.faults), timing_(options.baud),
      port1Speed_(instrument_.port1Speed()), startNs_(MonotonicNs()), stateFile_(options.stateFile)
{
    restoreState();
}

void LineServer::restoreState()
{
    if (stateFile_.empty())
        return;
    std::ifstream in(stateFile_);
    if (!in)
        return; // a first start: the file comes with the first write
    std::stringstream text;
    text << in.rdbuf();
    const std::size_t taken = instrument_.RestoreState(text.str());
    log("state " + std::to_string(taken) + " words from " + stateFile_);
    // A speed written before the restart is the speed the instrument talks at now.
    port1Speed_ = instrument_.port1Speed();
    if (taken > 0 && port1Speed_ != timing_.baud()) {
        timing_ = LineTiming(port1Speed_);
        log("baud " + std::to_string(port1Speed_));
    }
}

void LineServer::saveState() const
{
    if (stateFile_.empty())
        return;
    // Replaced in one step, so a stop in the middle never leaves half a file.
    const std::string temporary = stateFile_ + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << instrument_.SaveState();
        if (!out)
            return log("state not saved: cannot write " + temporary);
    }
    if (std::rename(temporary.c_str(), stateFile_.c_str()) != 0)
        log("state not saved: cannot replace " + stateFile_);
}

void LineServer::run(const volatile std::sig_atomic_t &stop)
{
    while (!stop) {
        // A stop signal arriving while the line is always ready stays pending (a wait that
        // returns ready does not deliver it), so look for it here too.
        sigset_t pending;
        if (sigpending(&pending) == 0 && (sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1))
            return;
        const std::int64_t now = MonotonicNs();
        pollfd pfd{fd_, POLLIN, 0};
        timespec timeout{};
        timespec *timeoutPtr = nullptr;
        if (!framer_.empty()) {
            timeout = toTimespec(lastByteNs_ + frameGapNs() - now);
            timeoutPtr = &timeout;
        }
        const int ready = ppoll(&pfd, 1, timeoutPtr, &waitMask_);
        if (ready < 0) {
            if (errno != EINTR) {
                log(std::string("poll error: ") + std::strerror(errno));
                sleepUntil(MonotonicNs() + kLineErrorPauseNs, stop);
            }
            continue;
        }
        if (ready == 0) {
            const auto event = framer_.silence();
            if (event.kind == RequestFramer::Kind::Dropped)
                logBytes("discard", event.bytes.data(), event.bytes.size());
            else if (event.kind == RequestFramer::Kind::Frame)
                answer(event.bytes, MonotonicNs(), stop);
            continue;
        }
        const bool lineDown = (pfd.revents & POLLIN) ? !readAvailable(MonotonicNs())
                                                     : (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        serveFrames(stop);
        // Nobody holds the other side of the line (EIO, end of file, hang-up): a hung-up tty
        // stays ready to read, so look again only a little later instead of spinning.
        if (lineDown)
            sleepUntil(MonotonicNs() + kLineErrorPauseNs, stop);
    }
}

bool LineServer::readAvailable(std::int64_t now)
{
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            if (framer_.empty())
                firstByteNs_ = now;
            lastByteNs_ = now;
            framer_.append(buffer, std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

void LineServer::serveFrames(const volatile std::sig_atomic_t &stop)
{
    while (!stop) {
        auto event = framer_.next();
        if (event.kind == RequestFramer::Kind::None)
            return;
        if (event.kind == RequestFramer::Kind::Dropped) {
            logBytes("discard", event.bytes.data(), event.bytes.size());
            continue;
        }
        // The request is on the wire from its first byte's arrival for its own wire time; the
        // bytes behind it in the buffer followed it without a gap.
        const std::int64_t requestEnd = emulateLine_ ? firstByteNs_ + timing_.bytesNs(event.bytes.size()) : MonotonicNs();
        answer(event.bytes, requestEnd, stop);
        firstByteNs_ = requestEnd;
    }
}

void LineServer::answer(const Bytes &request, std::int64_t requestEnd, const volatile std::sig_atomic_t &stop)
{
    logBytes("rx", request.data(), request.size());
    if (!sleepUntil(requestEnd, stop))
        return;
    const Moment moment{double(MonotonicNs() - startNs_) / 1e9, std::time(nullptr)};
    const auto reply = instrument_.handle(request.data(), request.size(), moment);
    if (reply.bytes.empty()) {
        log("ignore");
        return;
    }
    if (reply.exception != 0)
        log("exception " + std::to_string(reply.exception));
    else if (request.size() > 1 && (request[1] == 0x06 || request[1] == 0x10))
        saveState();
    const auto plan = faults_.plan(reply.bytes);
    if (plan.drop) {
        log("drop");
        return;
    }
    if (plan.corrupt)
        log("corrupt");
    if (plan.splitAt != 0)
        log("split " + std::to_string(plan.splitAt) + " +" + std::to_string(plan.gapMs) + " ms");
    logBytes("tx", plan.bytes.data(), plan.bytes.size());

    const std::int64_t start = requestEnd + plan.delayMs * kMs;
    if (plan.splitAt == 0) {
        send(plan.bytes.data(), plan.bytes.size(), start, stop);
    } else {
        send(plan.bytes.data(), plan.splitAt, start, stop);
        const std::int64_t firstEnd = emulateLine_ ? start + timing_.bytesNs(plan.splitAt) : MonotonicNs();
        send(plan.bytes.data() + plan.splitAt, plan.bytes.size() - plan.splitAt, firstEnd + plan.gapMs * kMs, stop);
    }
    followSpeed();
}

void LineServer::send(const std::uint8_t *bytes, std::size_t length, std::int64_t start,
                      const volatile std::sig_atomic_t &stop)
{
    if (!emulateLine_) {
        if (sleepUntil(start, stop))
            writeAll(bytes, length);
        return;
    }
    // Byte i goes out once its wire time has come; whatever is due is written at once. Bytes go
    // in groups, as a receiving UART's FIFO hands them over (kFifoTrigger bytes, or about a
    // millisecond's worth at high speeds), rather than one wake-up per byte; the last byte still
    // gets its exact time, so the answer ends when it would on the wire.
    const std::size_t batch =
        std::size_t(std::max<std::int64_t>(kFifoTrigger, kPacingStepNs / timing_.bytesNs(1)));
    std::size_t sent = 0;
    while (sent < length) {
        const std::size_t due = std::min(length, timing_.answerBytesDue(start, MonotonicNs()));
        if (due > sent) {
            writeAll(bytes + sent, due - sent);
            sent = due;
            continue;
        }
        if (!sleepUntil(timing_.answerByteDue(start, std::min(length, sent + batch) - 1), stop))
            return;
    }
}

void LineServer::writeAll(const std::uint8_t *bytes, std::size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd_, bytes, length);
        if (n > 0) {
            bytes += n;
            length -= std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd pfd{fd_, POLLOUT, 0};
            if (::poll(&pfd, 1, kWriteRoomMs) > 0 && (pfd.revents & POLLOUT))
                continue;
        }
        log("tx lost " + std::to_string(length) + " bytes");
        return;
    }
}

void LineServer::followSpeed()
{
    // Only a write of the speed word moves the line; --baud may be a speed the word cannot hold.
    const std::uint32_t speed = instrument_.port1Speed();
    if (speed == port1Speed_)
        return;
    port1Speed_ = speed;
    timing_ = LineTiming(speed);
    log("baud " + std::to_string(speed));
    if (realTty_) {
        termios tio{};
        if (const speed_t constant = speedConstant(speed); constant != B0 && tcgetattr(fd_, &tio) == 0) {
            tcdrain(fd_);
            cfsetspeed(&tio, constant);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
}

bool LineServer::sleepUntil(std::int64_t deadline, const volatile std::sig_atomic_t &stop)
{
    for (;;) {
        if (stop)
            return false;
        const std::int64_t left = deadline - MonotonicNs();
        if (left <= 0)
            return true;
        const timespec timeout = toTimespec(left);
        ppoll(nullptr, 0, &timeout, &waitMask_);
    }
}

std::int64_t LineServer::frameGapNs() const
{
    return std::max(kMinFrameGapNs, timing_.bytesNs(4));
}

void LineServer::log(const std::string &line) const
{
    if (!verbose_)
        return;
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void LineServer::logBytes(const char *what, const std::uint8_t *bytes, std::size_t length) const
{
    if (!verbose_)
        return;
    std::string line = what;
    char hex[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
        line += hex;
    }
    log(line);
}

} // namespace tavro::sim
