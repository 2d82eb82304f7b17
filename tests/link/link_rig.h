#pragma once
// A Link on fakes, with an observer that records what the window would be told.
#include "fakes.h"
#include "frame_util.h"
#include "link.h"

#include <QByteArray>
#include <QStringList>

#include <algorithm>

namespace tavro::test {

// Remembers the largest read the link asked for, so a test can tell it never asked past its buffer.
class ReadLimitPort : public FakeSerialPort {
public:
    using FakeSerialPort::FakeSerialPort;
    int largestRead = 0;
    int reads = 0;
    int read(std::uint8_t *into, int max) override
    {
        ++reads;
        largestRead = std::max(largestRead, max);
        return FakeSerialPort::read(into, max);
    }
};

class RecordingObserver : public LinkObserver {
public:
    QStringList events;
    QStringList statuses;
    QList<QByteArray> channelFrames; // a null array for "no good frame"

    int count(const QString &event) const { return int(events.count(event)); }

    void inquirySent() override { events << "inquirySent"; }
    void portFailed() override { events << "portFailed"; }
    void statisticsChanged() override { events << "statisticsChanged"; }
    void status(const QString &text) override { statuses << text; }
    void answerComplete() override { events << "answerComplete"; }
    void crcFailed() override { events << "crcFailed"; }
    void crcPassed() override { events << "crcPassed"; }
    void exceptionAnswer() override { events << "exceptionAnswer"; }
    void succeeded() override { events << "succeeded"; }
    void timedOut() override { events << "timedOut"; }
    void flushFailedOnChannelPage() override { events << "flushFailedOnChannelPage"; }
    void runnerGaveUp() override { events << "runnerGaveUp"; }
    void runnerSent(bool write) override { events << (write ? "runnerSent write" : "runnerSent read"); }
    void channelFrame(const std::uint8_t *frame) override
    {
        events << "channelFrame";
        channelFrames << (frame ? QByteArray(reinterpret_cast<const char *>(frame), kChannelFrameLength) : QByteArray());
    }
    void channelCrcFailed() override { events << "channelCrcFailed"; }
};

struct LinkRig {
    ReadLimitPort port;
    FakeTimerFactory timers;
    FakeClock clock;
    RecordingMessages messages;
    RecordingObserver observer;
    Link link{port, timers, clock, messages};
    std::uint16_t settingsSlave = 1;

    LinkRig()
    {
        link.setObserver(&observer);
        link.setSettingsLogicalNumber([this] { return settingsSlave; });
    }
    FakeTimer *waitAnsw() const { return timers.byName(QStringLiteral("TimerWaitAnsw")); }
    FakeTimer *setAuto() const { return timers.byName(QStringLiteral("TimerSetAuto")); }
};

// A channel frame: the header, payload bytes, CRC; 142 bytes.
inline QByteArray channelFrame(char fill)
{
    QByteArray f = bytes({0x55, 0xAA, 0x01, 0x80, 0x8E});
    for (int i = 0; f.size() < kChannelFrameLength - 2; ++i)
        f.append(char(fill + i));
    return withCrc(f);
}

} // namespace tavro::test
