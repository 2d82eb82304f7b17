#pragma once
// The real main window on test doubles: a scripted port, hand-fired timers, a hand-moved clock,
// recorded message boxes and a settings file of its own.
#include "app_settings.h"
#include "cp1251.h"
#include "fakes.h"
#include "main_window.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace tavro::test {

struct WindowRig {
    QTemporaryDir dir;
    FakeSerialPort port;
    FakeTimerFactory timers;
    FakeClock clock;
    RecordingMessages messages;
    AppSettings settings{dir.filePath(QStringLiteral("Tavro.ini"))};
    std::unique_ptr<MainWindow> window;

    // iniText is written to the settings file, in code page 1251, before the window starts.
    explicit WindowRig(const QString &iniText = QString())
    {
        if (!iniText.isNull()) {
            QFile f(settings.filePath());
            f.open(QIODevice::WriteOnly);
            f.write(toCp1251(iniText));
        }
        window = std::make_unique<MainWindow>(Platform{port, timers, clock, messages, settings, nullptr});
    }
    ~WindowRig()
    {
        window.reset(); // before the port it listens to
    }
    FakeTimer *timer(const char *name) const { return timers.byName(QString::fromLatin1(name)); }
    Link &link() { return window->link(); }
    template <class T = QWidget> T *find(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QString iniBytesAsText() const
    {
        QFile f(settings.filePath());
        f.open(QIODevice::ReadOnly);
        return fromCp1251(f.readAll());
    }
};

} // namespace tavro::test
