// tavro-sim: the Tavro instrument on a pseudo-terminal (or a given tty), for trying the program
// without hardware and for end-to-end tests. The first stdout line is the device to open.
#include "line_server.h"
#include "sim_options.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

using namespace tavro::sim;

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int) { stopRequested = 1; }

bool makeRaw(int fd, std::uint32_t baud)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    speed_t speed = B9600;
    switch (baud) {
    case 1200: speed = B1200; break;
    case 2400: speed = B2400; break;
    case 4800: speed = B4800; break;
    case 19200: speed = B19200; break;
    case 38400: speed = B38400; break;
    case 57600: speed = B57600; break;
    case 115200: speed = B115200; break;
    default: break;
    }
    cfsetspeed(&tio, speed);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

int fail(const std::string &what)
{
    std::fprintf(stderr, "tavro-sim: %s: %s\n", what.c_str(), std::strerror(errno));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    SimOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tavro-sim: %s\n\n%s", error.c_str(), UsageText());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (options.exitWithParent) {
        const pid_t parent = getppid();
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            return 0; // the parent is already gone
    }
    // Wake-ups for the byte pacing must not be deferred by the default 50 µs timer slack.
    prctl(PR_SET_TIMERSLACK, 1UL);

    // The stop signals stay blocked except while waiting, so none is lost between a check and a wait.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction action{};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int line = -1;
    int heldSlave = -1;
    std::string path;
    if (!options.device.empty()) {
        path = options.device;
        line = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (line < 0)
            return fail("cannot open " + path);
        if (!makeRaw(line, options.baud))
            return fail("cannot set up " + path);
    } else {
        line = posix_openpt(O_RDWR | O_NOCTTY);
        if (line < 0 || grantpt(line) != 0 || unlockpt(line) != 0)
            return fail("cannot create a pseudo-terminal");
        char name[256];
        if (ptsname_r(line, name, sizeof name) != 0)
            return fail("cannot name the pseudo-terminal");
        path = name;
        // Holding the slave side open keeps the master usable while clients close and reopen it
        // (otherwise the master reports EIO and hang-ups in between). Raw mode there matters:
        // an echoing slave would hand our own answers back to us as requests.
        heldSlave = ::open(name, O_RDWR | O_NOCTTY);
        if (heldSlave < 0)
            return fail("cannot open " + path);
        if (!makeRaw(heldSlave, options.baud) || !makeRaw(line, options.baud))
            return fail("cannot set up " + path);
        const int flags = fcntl(line, F_GETFL);
        if (flags < 0 || fcntl(line, F_SETFL, flags | O_NONBLOCK) != 0)
            return fail("cannot set up " + path);
    }

    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    LineServer server(line, !options.device.empty(), options, waitMask);
    server.run(stopRequested);

    if (heldSlave >= 0)
        ::close(heldSlave);
    ::close(line);
    return 0;
}
