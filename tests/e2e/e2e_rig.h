#pragma once
// The program's window on the real serial port against tavro-sim over a pseudo-terminal, with
// timers fired by the test. Waits are for bytes on the line, never for a time-out.
#include "app_settings.h"
#include "fakes.h"
#include "main_window.h"
#include "measure_page.h"
#include "port_resolver.h"
#include "qt_serial_port.h"
#include "sim_process.h"

#include <QDeadlineTimer>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace tavro::test {

constexpr int kLineMs = 5000; // bound for bytes to cross the pseudo-terminal

struct EndToEndRig {
    QTemporaryDir dir;
    AppSettings settings{dir.filePath(QStringLiteral("Tavro.ini"))};
    PortResolver resolver{settings, [] { return QStringList(); }};
    QtSerialPort port{resolver};
    FakeTimerFactory timers;
    FakeClock clock;
    RecordingMessages messages;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<MainWindow> window;

    bool start(const QStringList &simArgs)
    {
        if (!startSim(simArgs))
            return false;
        window = std::make_unique<MainWindow>(Platform{port, timers, clock, messages, settings, &resolver});
        return true;
    }
    bool startSim(const QStringList &simArgs)
    {
        sim = std::make_unique<SimProcess>(simArgs + QStringList{QStringLiteral("--verbose")});
        if (!sim->start()) {
            qWarning() << sim->errorString();
            return false;
        }
        resolver.setOverrides({{1, sim->devicePath()}});
        return true;
    }
    ~EndToEndRig() { window.reset(); }
    Link &link() { return window->link(); }
    MeasurePage &page() { return *window->TS_Tavro; }
    FakeTimer *timer(const char *name) { return timers.byName(QString::fromLatin1(name)); }
    void fireTimeout() { timer("TimerWaitAnsw")->fire(); }
    // Waits for the outstanding exchange to end with an answer; false at once when the
    // simulator reports that it left this request unanswered (the test then fires the time-out).
    bool answered()
    {
        const QDeadlineTimer deadline(kLineMs);
        while (link().WaitAnsw && !deadline.hasExpired()) {
            if (sim->waitForLine(QStringLiteral("drop"), 0))
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        return !link().WaitAnsw;
    }
    double shown(QLineEdit *field) const { return QLocale().toDouble(field->text()); }
};


} // namespace tavro::test
