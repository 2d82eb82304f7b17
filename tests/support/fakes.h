#pragma once
// Test doubles for the link's platform: a scripted serial port, timers fired by hand, a clock
// moved by hand and a message sink that records. Nothing here waits on a real clock.
#include "serial_port.h"
#include "timer.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <vector>

namespace tavro::test {

class FakeSerialPort : public SerialPort {
    Q_OBJECT
public:
    using SerialPort::SerialPort;

    // Script.
    bool failOpen = false;  // every operation that needs the port throws PortError
    bool failRead = false;  // read() throws PortError
    QList<QByteArray> written; // each write() as one frame
    QByteArray input;          // bytes waiting to be read

    // Puts bytes on the line and raises the receive event, as the port does.
    void receive(const QByteArray &bytes)
    {
        input += bytes;
        emit bytesArrived(int(input.size()));
    }
    QByteArray lastFrame() const { return written.isEmpty() ? QByteArray() : written.last(); }

    void setPortNumber(int n) override { number_ = n; }
    int portNumber() const override { return number_; }
    void setBaudRate(int b) override { baud_ = b; }
    int baudRate() const override { return baud_; }
    void setParity(Parity p) override { parity_ = p; }
    Parity parity() const override { return parity_; }
    void setDataBits(int b) override { dataBits = b; }
    void setStopBits(int b) override { stopBits = b; }
    int dataBits = 8;
    int stopBits = 1;
    int readThreshold = 1;
    void setReadThreshold(int bytes) override { readThreshold = bytes; }

    void clearOutput() override { check(); }
    void clearInput() override
    {
        check();
        input.clear();
    }
    void write(const std::uint8_t *bytes, int length) override
    {
        check();
        written.append(QByteArray(reinterpret_cast<const char *>(bytes), length));
    }
    int read(std::uint8_t *into, int max) override
    {
        check();
        if (failRead)
            throw PortError("read failed");
        const int n = std::min<int>(max, int(input.size()));
        std::copy_n(input.constData(), n, into);
        input.remove(0, n);
        return n;
    }
    int bytesAvailable() const override { return int(input.size()); }
    int peek(std::uint8_t *into, int max) const override
    {
        const int n = std::min<int>(max, int(input.size()));
        std::copy_n(input.constData(), n, into);
        return n;
    }

private:
    void check() const
    {
        if (failOpen)
            throw PortError("cannot open");
    }
    int number_ = 1;
    int baud_ = 9600;
    Parity parity_ = Parity::None;
};

class FakeTimer : public Timer {
    Q_OBJECT
public:
    using Timer::Timer;
    void start() override { active_ = true; }
    void stop() override { active_ = false; }
    void setInterval(int ms) override { interval_ = ms; }
    int interval() const override { return interval_; }
    bool isActive() const override { return active_; }
    // Fires once if running with a non-zero interval, as a real tick would.
    bool fire()
    {
        if (!active_ || interval_ <= 0)
            return false;
        emit timeout();
        return true;
    }

private:
    bool active_ = false;
    int interval_ = 0;
};

class FakeTimerFactory : public TimerFactory {
public:
    Timer *create(QObject *parent, const QString &name, int intervalMs) override
    {
        auto *t = new FakeTimer(parent);
        t->setObjectName(name);
        t->setInterval(intervalMs);
        timers.push_back(t);
        return t;
    }
    FakeTimer *byName(const QString &name) const
    {
        for (FakeTimer *t : timers)
            if (t->objectName() == name)
                return t;
        return nullptr;
    }
    std::vector<FakeTimer *> timers;
};

class FakeClock : public Clock {
public:
    qint64 now = 1'700'000'000'000;
    std::vector<int> waits;
    qint64 nowMs() const override { return now; }
    void wait(int ms) override
    {
        waits.push_back(ms);
        now += ms;
    }
    void advance(qint64 ms) { now += ms; }
};

class RecordingMessages : public MessageSink {
public:
    QStringList shown;
    void show(const QString &text) override { shown << text; }
    QString takeLast() { return shown.isEmpty() ? QString() : shown.takeLast(); }
};

} // namespace tavro::test
