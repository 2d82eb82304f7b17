#include "qt_platform.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QThread>

namespace tavro {

QtTimer::QtTimer(QObject *parent) : Timer(parent)
{
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timer::timeout);
}

void QtTimer::start()
{
    if (active_)
        return;
    active_ = true;
    if (interval_ > 0)
        timer_.start(interval_);
}

void QtTimer::stop()
{
    active_ = false;
    timer_.stop();
}

void QtTimer::setInterval(int ms)
{
    if (ms == interval_)
        return;
    interval_ = ms;
    if (!active_)
        return;
    if (ms > 0)
        timer_.start(ms);
    else
        timer_.stop();
}

Timer *QtTimerFactory::create(QObject *parent, const QString &name, int intervalMs)
{
    auto *t = new QtTimer(parent);
    t->setObjectName(name);
    t->setInterval(intervalMs);
    return t;
}

qint64 SystemClock::nowMs() const
{
    return QDateTime::currentMSecsSinceEpoch();
}

void SystemClock::wait(int ms)
{
    // A plain wait: the window does not react meanwhile, and the port keeps collecting bytes.
    QThread::msleep(static_cast<unsigned long>(std::max(ms, 0)));
}

void MessageBoxSink::show(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace tavro
