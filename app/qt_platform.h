#pragma once
// The program's platform: real timers, the wall clock and message boxes.
#include "timer.h"

#include <QTimer>

namespace tavro {

class QtTimer : public Timer {
    Q_OBJECT
public:
    explicit QtTimer(QObject *parent = nullptr);
    void start() override;
    void stop() override;
    void setInterval(int ms) override;
    int interval() const override { return interval_; }
    bool isActive() const override { return active_; }

private:
    QTimer timer_;
    int interval_ = 0;
    bool active_ = false; // a running timer with interval 0 is active but never fires
};

class QtTimerFactory : public TimerFactory {
public:
    Timer *create(QObject *parent, const QString &name, int intervalMs) override;
};

class SystemClock : public Clock {
public:
    qint64 nowMs() const override;
    void wait(int ms) override;
};

class MessageBoxSink : public MessageSink {
public:
    void show(const QString &text) override;
};

} // namespace tavro
