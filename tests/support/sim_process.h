#pragma once
// Starts the instrument simulator tavro-sim for end-to-end tests and ends it again.
//
//   tests/<area>/tests.cmake:   tavro_test(tst_x SOURCES ... LIBS ...)
//                               tavro_use_sim(tst_x)   # builds tavro-sim first, sets TAVRO_SIM_PATH
//   test:                       tavro::test::SimProcess sim({"--address", "5", "--verbose"});
//                               QVERIFY2(sim.start(), qPrintable(sim.errorString()));
//                               port.setPortName(sim.devicePath());
//                               ... QVERIFY(sim.waitForLine("tx ", 5000));
//
// The environment variable TAVRO_SIM, when set, names the binary instead of TAVRO_SIM_PATH.
// --exit-with-parent is always passed, so a crashed test leaves no simulator behind.
// Log lines (--verbose) are only collected while the test runs an event loop or calls
// waitForLine(); without --verbose the simulator prints nothing after the device path.
// Log lines look like "rx 01 03 00 00 00 3e c4 1a", "tx 01 03 7c ...", "exception 2", "drop",
// "corrupt", "split 64 +30 ms", "discard <bytes>" (bytes that made no frame), "ignore" (a frame
// for another logical number), "baud 38400" (the line follows a write of the port-1 speed).
#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <utility>

namespace tavro::test {

class SimProcess {
public:
    static QString simPath()
    {
        const QString fromEnv = qEnvironmentVariable("TAVRO_SIM");
        if (!fromEnv.isEmpty())
            return fromEnv;
#ifdef TAVRO_SIM_PATH
        return QStringLiteral(TAVRO_SIM_PATH);
#else
        return QString();
#endif
    }

    explicit SimProcess(QStringList arguments = {}, QString program = simPath())
        : program_(std::move(program)), arguments_(std::move(arguments))
    {
    }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    ~SimProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // Starts the simulator and waits (at most timeoutMs) for the device path on its first line.
    bool start(int timeoutMs = 10000)
    {
        if (program_.isEmpty()) {
            error_ = QStringLiteral("no simulator: set TAVRO_SIM or use tavro_use_sim() in tests.cmake");
            return false;
        }
        process_.setProgram(program_);
        process_.setArguments(arguments_ + QStringList{QStringLiteral("--exit-with-parent")});
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
        if (!process_.waitForStarted(timeoutMs)) {
            error_ = program_ + QStringLiteral(": ") + process_.errorString();
            return false;
        }
        const QDeadlineTimer deadline(timeoutMs);
        while (!process_.canReadLine()) {
            if (process_.state() == QProcess::NotRunning || deadline.hasExpired()
                || !process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
                if (!process_.canReadLine()) {
                    error_ = QStringLiteral("the simulator printed no device path: ")
                        + QString::fromLocal8Bit(process_.readAllStandardError());
                    return false;
                }
            }
        }
        devicePath_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        return !devicePath_.isEmpty();
    }

    QString devicePath() const { return devicePath_; }
    QString errorString() const { return error_; }
    QProcess &process() { return process_; }

    // Log lines received so far and not yet taken.
    QStringList takeLines()
    {
        collect();
        QStringList lines;
        lines.swap(lines_);
        return lines;
    }

    // Waits (at most timeoutMs) for a log line starting with prefix; the lines before it and the
    // line itself are taken. The line goes to *line when given.
    bool waitForLine(const QString &prefix, int timeoutMs = 5000, QString *line = nullptr)
    {
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            collect();
            for (qsizetype i = 0; i < lines_.size(); ++i) {
                if (lines_[i].startsWith(prefix)) {
                    if (line)
                        *line = lines_[i];
                    lines_.remove(0, i + 1);
                    return true;
                }
            }
            if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
                return false;
            process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
    }

private:
    void collect()
    {
        while (process_.canReadLine())
            lines_.append(QString::fromLocal8Bit(process_.readLine()).trimmed());
    }

    QString program_;
    QStringList arguments_;
    QProcess process_;
    QString devicePath_;
    QString error_;
    QStringList lines_;
};

} // namespace tavro::test
