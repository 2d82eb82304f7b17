#pragma once
#include <QObject>
#include <QString>

#include <memory>

namespace tavro {

// A repeating timer on the UI thread. start() on a running timer leaves it running as it is;
// changing the interval of a running timer restarts it (setting the same interval does nothing);
// an interval of 0 means a timer that never fires (unlike QTimer, where 0 fires continuously).
class Timer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual bool isActive() const = 0;

signals:
    void timeout();
};

class TimerFactory {
public:
    virtual ~TimerFactory() = default;
    // The timer is a child of parent and carries name as its object name.
    virtual Timer *create(QObject *parent, const QString &name, int intervalMs) = 0;
};

// Wall clock with milliseconds, and the blocking waits some handlers make.
class Clock {
public:
    virtual ~Clock() = default;
    virtual qint64 nowMs() const = 0; // milliseconds since the epoch
    virtual void wait(int ms) = 0;
};

// Modal message boxes with an OK button. One place, so tests can read what the user was shown.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void show(const QString &text) = 0;
};

} // namespace tavro
