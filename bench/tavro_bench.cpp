// Measures the program against tavro-sim and prints each figure with its bound, one a line.
// The last line is the worse of the two polling ratios.
#include "app_settings.h"
#include "main_window.h"
#include "display_sheet.h"
#include "main_params_sheet.h"
#include "measure_page.h"
#include "metrology_panel.h"
#include "settings_page.h"
#include "scheme_ratios.h"
#include "measured_values_panel.h"
#include "port_resolver.h"
#include "qt_platform.h"
#include "qt_serial_port.h"
#include "sim_process.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QComboBox>
#include <QTabWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <vector>
#include <functional>
#include <memory>

using namespace tavro;

namespace {

constexpr double kRequestBytes = 8, kAnswerBytes = 129, kBitsPerByte = 10;

class CountingSink : public MessageSink {
public:
    int count = 0;
    void show(const QString &text) override
    {
        ++count;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
};

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void line(const char *name, double value, const char *unit, const char *relation, double bound)
{
    std::printf("%-34s %10.3f %-6s (bound %s %g)\n", name, value, unit, relation, bound);
    std::fflush(stdout);
}

// The program's window on the real serial port and timers, against tavro-sim when simArgs are given.
struct BenchWindow {
    QTemporaryDir dir;
    AppSettings settings{dir.filePath(QStringLiteral("Tavro.ini"))};
    PortResolver resolver{settings, [] { return QStringList(); }};
    QtSerialPort port{resolver};
    QtTimerFactory timers;
    SystemClock clock;
    CountingSink messages;
    std::unique_ptr<test::SimProcess> sim;
    std::unique_ptr<MainWindow> window;

    bool start(const QStringList &simArgs)
    {
        if (!simArgs.isEmpty()) {
            sim = std::make_unique<test::SimProcess>(simArgs);
            if (!sim->start()) {
                std::fprintf(stderr, "%s\n", qPrintable(sim->errorString()));
                return false;
            }
            resolver.setOverrides({{1, sim->devicePath()}});
        }
        window = std::make_unique<MainWindow>(Platform{port, timers, clock, messages, settings, &resolver});
        return true;
    }
    ~BenchWindow() { window.reset(); }
};

QStringList lineAt(int baud)
{
    return {QStringLiteral("--emulate-line"), QStringLiteral("--baud"), QString::number(baud)};
}

double wireMs(int bytes, int baud)
{
    return 1000.0 * bytes * kBitsPerByte / baud;
}

struct PollResult {
    double ratio = 0;
    double cpuMsPerPoll = 0;
};

PollResult measurePolling(int baud, int seconds)
{
    BenchWindow bench;
    if (!bench.start(lineAt(baud)))
        return {};
    MeasurePage &page = *bench.window->TS_Tavro;
    page.EditAuto->setText(QStringLiteral("1"));
    page.CheckBoxAuto->setChecked(true);
    page.BitBtnStart->click();
    runFor(500); // settle

    // Polls are counted from the first answer in the window to the last, so the edges of the
    // window do not count as polls.
    Link &link = bench.window->link();
    QElapsedTimer wall;
    wall.start();
    qint64 firstNs = -1, lastNs = -1;
    int answers = 0;
    link.setHandler(0, [&](const Response &r) {
        page.Values->ShowMeasured(r.data());
        lastNs = wall.nsecsElapsed();
        if (firstNs < 0)
            firstNs = lastNs;
        ++answers;
    });
    const double cpu0 = cpuSeconds();
    runFor(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    page.BitBtnStart->click();
    const int polls = answers - 1;
    const double elapsed = double(lastNs - firstNs) / 1e9;

    const double wireLimit = baud / (kBitsPerByte * (kRequestBytes + kAnswerBytes));
    PollResult r;
    r.ratio = polls > 0 && elapsed > 0 ? polls / elapsed / wireLimit : 0;
    r.cpuMsPerPoll = answers > 0 ? 1000.0 * cpu / answers : 0;
    if (link.CntNoAnsw || link.CntErrCRC)
        std::fprintf(stderr, "at %d baud: %d missing answers, %d CRC errors\n", baud, link.CntNoAnsw, link.CntErrCRC);
    return r;
}

double measureIdleCpuPercent(int seconds)
{
    BenchWindow bench;
    if (!bench.start({}))
        return -1;
    bench.window->show();
    runFor(500);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    runFor(seconds * 1000);
    return 100.0 * (cpuSeconds() - cpu0) / (double(wall.nsecsElapsed()) / 1e9);
}

// Runs until the answer with tag arrives (then hands it on as the window would); its time from
// now in milliseconds, or -1 when it did not come within limitMs.
double msUntilAnswer(BenchWindow &bench, std::uint8_t tag, const Link::Handler &handler,
                     const std::function<void()> &start, int limitMs)
{
    QElapsedTimer wall;
    QEventLoop loop;
    double ms = -1;
    bench.window->link().setHandler(tag, [&](const Response &r) {
        ms = double(wall.nsecsElapsed()) / 1e6;
        handler(r);
        loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    wall.start();
    start();
    loop.exec();
    return ms;
}

// The main-parameter chain of a 17-word instrument: the version word, then three runner ticks
// for the block, the display lines and the setpoints.
double measureMainParameterChain(int baud)
{
    BenchWindow bench;
    if (!bench.start(lineAt(baud)))
        return -1;
    MainParamsSheet &sheet = *bench.window->MainParams;
    DisplaySheet &display = *bench.window->Display;
    const double ms = msUntilAnswer(
        bench, 6, [&](const Response &r) { display.ShowITEUst(r); },
        [&] { sheet.BitBtnMainParam->click(); }, 10000);
    const int bytes = 4 * 8 + (5 + 2) + (5 + 34) + (5 + 12) + (5 + 12);
    return ms / (3 * 1000.0 + wireMs(bytes, baud));
}

// The seven-step write of scheme, method and ratios: seven exchanges and six 100 ms steps.
double measureSchemeWrite(int baud)
{
    BenchWindow bench;
    if (!bench.start(lineAt(baud)))
        return -1;
    SchemeRatiosArea &area = *bench.window->GroupBoxNetSchKp;
    const double ms = msUntilAnswer(
        bench, 20, [&](const Response &r) { area.SaveFinished(r); },
        [&] { area.BitBtnSaveSchKp->click(); }, 10000);
    const int bytes = 3 * (8 + 8) + 4 * (13 + 8);
    return ms / (6 * 100.0 + wireMs(bytes, baud));
}

// Starts the program itself and reads the time to its first shown window and its memory.
bool measureStart(double &startMs, double &rssMb)
{
    QTemporaryDir dir;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("WAYLAND_DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    QElapsedTimer wall;
    wall.start();
    program.start(QStringLiteral(TAVRO_PROGRAM_PATH), {QStringLiteral("--print-startup-ms")});
    while (!program.canReadLine())
        if (!program.waitForReadyRead(5000))
            return false;
    startMs = double(wall.nsecsElapsed()) / 1e6;
    runFor(300);
    QFile status(QStringLiteral("/proc/%1/status").arg(program.processId()));
    rssMb = 0;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &l : status.readAll().split('\n'))
            if (l.startsWith("VmRSS:"))
                rssMb = l.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    program.kill();
    program.waitForFinished();
    return true;
}

// The metrology cycle polling once a second: processor time per poll, and how far the runner's
// sends drift from their 1000 ms ticks over the run.
struct MetrologyResult {
    double cpuMsPerPoll = -1;
    double driftPercent = -1;
};

MetrologyResult measureMetrologyCycle(int ticks)
{
    BenchWindow bench;
    if (!bench.start(lineAt(9600)))
        return {};
    MainWindow &w = *bench.window;
    w.PageControl1->setCurrentIndex(1);
    w.TStuning->PageControlSetAllParam->setCurrentWidget(w.TStuning->TSSetMetrol);
    QElapsedTimer wall;
    QEventLoop loop;
    std::vector<qint64> answers;
    double cpu0 = 0;
    w.link().setHandler(32, [&](const Response &r) {
        w.Metrology->MeasureRead(r);
        if (answers.empty())
            cpu0 = cpuSeconds();
        answers.push_back(wall.nsecsElapsed());
        if (int(answers.size()) > ticks)
            loop.quit();
    });
    QTimer::singleShot((ticks + 10) * 1000, &loop, &QEventLoop::quit);
    wall.start();
    w.Metrology->BitBtnSetNet->click();
    loop.exec();
    MetrologyResult r;
    if (int(answers.size()) <= ticks)
        return r;
    r.cpuMsPerPoll = 1000.0 * (cpuSeconds() - cpu0) / ticks;
    const double spanMs = double(answers.back() - answers.front()) / 1e6;
    r.driftPercent = 100.0 * std::abs(spanMs - ticks * 1000.0) / (ticks * 1000.0);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIntValue("TAVRO_BENCH_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("TAVRO_BENCH_SECONDS")
                            : 5;

    double startMs = 0, rssMb = 0;
    if (measureStart(startMs, rssMb)) {
        line("start to first shown window", startMs, "ms", "<=", 500);
        line("resident memory after start", rssMb, "MB", "<=", 80);
    } else {
        std::printf("the program did not start\n");
    }
    line("idle CPU on the first page", measureIdleCpuPercent(seconds), "%", "<=", 0.5);

    const PollResult slow = measurePolling(9600, seconds);
    const PollResult fast = measurePolling(38400, seconds);
    line("CPU per poll at 9600 baud", slow.cpuMsPerPoll, "ms", "<=", 1);
    line("CPU per poll at 38400 baud", fast.cpuMsPerPoll, "ms", "<=", 1);
    line("polls / wire limit at 9600 baud", slow.ratio, "", ">=", 0.95);
    line("polls / wire limit at 38400 baud", fast.ratio, "", ">=", 0.95);
    line("main-parameter chain / bound", measureMainParameterChain(9600), "", "<=", 1.05);
    line("seven-step write / bound", measureSchemeWrite(9600), "", "<=", 1.05);
    const int ticks = qEnvironmentVariableIntValue("TAVRO_BENCH_TICKS") > 0 ? qEnvironmentVariableIntValue("TAVRO_BENCH_TICKS")
                                                                             : 60;
    const MetrologyResult metrology = measureMetrologyCycle(ticks);
    line("CPU per metrology poll", metrology.cpuMsPerPoll, "ms", "<=", 1);
    line("runner drift over the ticks", metrology.driftPercent, "%", "<=", 5);
    std::printf("worse polling ratio %.3f\n", std::min(slow.ratio, fast.ratio));
    return 0;
}
