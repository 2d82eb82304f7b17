// The receive path under hostile traffic: for every request tag, random, cut, oversized,
// exception-shaped and CRC-valid random answers, in one piece or several, mixed with time-outs,
// runner ticks, stale receive events and the information channel. Seeded and repeatable:
// TAVRO_ROBUST_SEED and TAVRO_ROBUST_CASES override the defaults.
#include "fakes.h"
#include "frame_util.h"
#include "link.h"

#include <QtTest>

#include <cmath>
#include <random>

using namespace tavro;
using namespace tavro::test;

namespace {

const std::uint8_t kHeader[] = {0x55, 0xAA, 0x01, 0x80, 0x8E};

// Counts what the window would be told, and stops the cycles when the runner gives up, as the window does.
class CountingObserver : public LinkObserver {
public:
    Link *link = nullptr;
    QString failure;
    int caseIndex = 0;
    long nAnswers = 0, nCrcFailed = 0, nCrcPassed = 0, nExceptions = 0, nSucceeded = 0, nTimedOut = 0,
         nGaveUp = 0, nPortFailed = 0;
    QByteArray available;      // the bytes waiting when the current event was raised
    QList<QByteArray> frames;  // good channel frames of the current event

    void fail(const QString &what)
    {
        if (failure.isEmpty())
            failure = QStringLiteral("case %1: %2").arg(caseIndex).arg(what);
    }
    void answerComplete() override { ++nAnswers; }
    void crcFailed() override { ++nCrcFailed; }
    void crcPassed() override
    {
        ++nCrcPassed;
        if (link->WaitAnsw)
            fail(QStringLiteral("WaitAnsw still set after a good CRC"));
        if (link->TimerWaitAnsw->isActive())
            fail(QStringLiteral("time-out still running after a good CRC"));
        if (CalcCRC16(link->RxBuf.data(), link->RxCount) != 0)
            fail(QStringLiteral("crcPassed for bytes that do not check"));
    }
    void exceptionAnswer() override { ++nExceptions; }
    void succeeded() override { ++nSucceeded; }
    void timedOut() override { ++nTimedOut; }
    void portFailed() override { ++nPortFailed; }
    void runnerGaveUp() override
    {
        ++nGaveUp;
        link->StopNetCycle();
        link->CurrActive = false;
    }
    void channelFrame(const std::uint8_t *frame) override
    {
        if (!frame)
            return;
        const QByteArray f(reinterpret_cast<const char *>(frame), kChannelFrameLength);
        if (CalcCRC16(frame, kChannelFrameLength) != 0 || !f.startsWith(QByteArray(reinterpret_cast<const char *>(kHeader), 5)))
            fail(QStringLiteral("a channel frame without its header or CRC"));
        if (!available.left(int(kRxBufferSize)).contains(f))
            fail(QStringLiteral("a channel frame that was not among the bytes read"));
        frames << f;
    }
};

class Traffic {
public:
    explicit Traffic(std::uint64_t seed) : rng_(seed) {}

    int below(int n) { return n <= 1 ? 0 : int(rng_() % std::uint64_t(n)); }
    bool chance(int percent) { return below(100) < percent; }
    std::uint16_t word() { return std::uint16_t(rng_()); }

    QByteArray random(int n)
    {
        QByteArray out(n, Qt::Uninitialized);
        for (int i = 0; i < n; ++i)
            out[i] = char(rng_());
        return out;
    }

    // A frame that checks, of the given length (at least 2: the CRC itself).
    QByteArray checked(int length, bool exceptionAllowed)
    {
        QByteArray body = random(std::max(length, 2) - 2);
        if (body.size() > 1 && !exceptionAllowed)
            body[1] = char(body[1] & 0x7F);
        return withCrc(body);
    }

    QByteArray channelStream()
    {
        QByteArray frame = bytes({0x55, 0xAA, 0x01, 0x80, 0x8E}) + random(kChannelFrameLength - 7);
        frame = withCrc(frame);
        if (chance(20))
            frame[below(frame.size())] = char(rng_());
        QByteArray stream = random(below(500)) + frame + random(below(600));
        if (chance(15))
            stream.truncate(below(stream.size() + 1));
        return stream;
    }

    QByteArray answer(int waitLen)
    {
        switch (below(8)) {
        case 0:
        case 1: return checked(waitLen, false); // the expected length, good CRC
        case 2: return checked(2 + below(5000), true);
        case 3: { // exception-shaped
            QByteArray e = withCrc(bytes({below(256), 0x80 | below(128), below(256)}));
            if (chance(10))
                e[below(5)] = char(rng_());
            return e;
        }
        case 4: return checked(waitLen, false).left(below(waitLen + 1)); // cut short
        case 5: return checked(waitLen, false) + random(below(5000 - std::min(waitLen, 4999))); // oversized
        case 6: return random(below(600));
        default: return channelStream();
        }
    }

    QList<QByteArray> pieces(const QByteArray &all)
    {
        QList<QByteArray> out;
        const int n = chance(50) ? 1 : 2 + below(3);
        int at = 0;
        for (int i = 1; i < n && at < all.size(); ++i) {
            const int len = below(all.size() - at + 1);
            out << all.mid(at, len);
            at += len;
        }
        out << all.mid(at);
        return out;
    }

private:
    std::mt19937_64 rng_;
};

std::uint64_t seedFromEnvironment()
{
    bool ok = false;
    const qulonglong s = qEnvironmentVariable("TAVRO_ROBUST_SEED").toULongLong(&ok, 0);
    return ok ? s : 0x7A5B2024u;
}

int casesFromEnvironment()
{
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("TAVRO_ROBUST_CASES", &ok);
    return ok && n > 0 ? n : 256 * 400;
}

} // namespace

class TestRobust : public QObject {
    Q_OBJECT
private slots:
    void hostileTraffic();
};

void TestRobust::hostileTraffic()
{
    const std::uint64_t seed = seedFromEnvironment();
    const int cases = casesFromEnvironment();
    qInfo("seed 0x%llx, %d cases (TAVRO_ROBUST_SEED, TAVRO_ROBUST_CASES)", static_cast<unsigned long long>(seed), cases);

    FakeSerialPort port;
    FakeTimerFactory timers;
    FakeClock clock;
    RecordingMessages messages;
    CountingObserver seen;
    Link link(port, timers, clock, messages);
    seen.link = &link;
    link.setObserver(&seen);
    std::uint16_t settingsSlave = 1;
    link.setSettingsLogicalNumber([&] { return settingsSlave; });
    FakeTimer *waitAnsw = timers.byName(QStringLiteral("TimerWaitAnsw"));
    FakeTimer *setAuto = timers.byName(QStringLiteral("TimerSetAuto"));

    Traffic traffic(seed);
    std::vector<std::uint16_t> listValues(kRxBufferSize);
    for (auto &v : listValues)
        v = traffic.word();

    long handlerCalls = 0;
    long enquiries = 0;     // SendInquiry calls that went out, the counter's model
    long errCrcBase = 0, noAnswBase = 0; // observer counts at the last ButtonStatClear
    double sink = 0;
    bool reentrantSends = false;

    auto randomInquiry = [&](std::uint8_t tag) {
        TInquiry inq;
        inq.Addr = traffic.chance(90) ? std::uint16_t(1 + traffic.below(247)) : traffic.word();
        inq.Reg = traffic.word();
        inq.Count = traffic.chance(90) ? std::uint16_t(traffic.below(126)) : traffic.word();
        inq.AnswLen = traffic.chance(80) ? std::uint16_t(5 + 2 * inq.Count) : std::uint16_t(traffic.below(5001));
        inq.Value = traffic.word();
        const std::uint32_t bits = std::uint32_t(traffic.word()) << 16 | traffic.word();
        std::memcpy(&inq.FValue, &bits, 4);
        inq.FileNum = traffic.word();
        inq.RecNum = traffic.word();
        inq.RecCount = traffic.word();
        inq.Values = traffic.chance(95) ? listValues.data() : nullptr;
        inq.Tag = tag;
        return inq;
    };
    auto sendRandom = [&](const TInquiry &inq) {
        switch (traffic.below(7)) {
        case 0:
            if (link.SendInquiry(inq))
                ++enquiries;
            break;
        case 1: link.SendInquiryRead03(inq); break;
        case 2: link.SendInquiryWrite06(inq); break;
        case 3: link.SendInquiryWrite16(inq); break;
        case 4: link.SendInquiryWrite16Float(inq); break;
        case 5: link.SendInquiryRead20(inq); break;
        default: {
            const QByteArray frame = traffic.random(traffic.below(5000));
            link.SendFrame(inq.Tag, reinterpret_cast<const std::uint8_t *>(frame.constData()), int(frame.size()),
                           inq.AnswLen);
        }
        }
    };

    for (int tag = 0; tag < 256; ++tag) {
        link.setHandler(std::uint8_t(tag), [&, tag](const Response &r) {
            ++handlerCalls;
            if (link.SentTag != tag)
                seen.fail(QStringLiteral("tag %1 dispatched to the handler of %2").arg(link.SentTag).arg(tag));
            if (r.bytes != link.RxBuf.data() || r.size != link.RxCount || r.size > kRxBufferSize)
                seen.fail(QStringLiteral("the response is not the receive buffer"));
            if (link.WaitAnsw)
                seen.fail(QStringLiteral("dispatched while still waiting"));
            // Decode the way the features do, well past the end of the data.
            for (std::size_t i = 0; i < r.size + 8; ++i)
                sink += r.byte(i);
            const RegisterData data = r.data();
            for (std::size_t i = 0; i < data.size() / 2 + 3; ++i)
                sink += RegToWord(data, i) + SwapBytes(RegToWord(data, i));
            bool noData = false;
            for (std::size_t k = 0; k < data.size() / 4 + 3; ++k) {
                const float v = RegToFloat(data, k, noData);
                sink += noData ? 1.0 : (std::isfinite(v) ? 0.5 : 0.25);
            }
            // Some answers start the next request from inside the handler, as the profile reads do.
            if (reentrantSends && traffic.chance(10))
                sendRandom(randomInquiry(std::uint8_t(traffic.below(256))));
        });
    }

    auto checkCounters = [&] {
        auto fail = [&](const QString &what) { seen.fail(what); };
        if (link.RxCount > kRxBufferSize)
            fail(QStringLiteral("RxCount %1").arg(link.RxCount));
        if (seen.nAnswers != seen.nCrcFailed + seen.nCrcPassed)
            fail(QStringLiteral("an answer that was neither good nor bad"));
        if (seen.nCrcPassed != seen.nExceptions + seen.nSucceeded)
            fail(QStringLiteral("a good answer that was neither an exception nor a success"));
        if (seen.nSucceeded != handlerCalls)
            fail(QStringLiteral("%1 successes, %2 dispatches").arg(seen.nSucceeded).arg(handlerCalls));
        if (link.CntErrCRC != std::uint16_t(seen.nCrcFailed - errCrcBase))
            fail(QStringLiteral("CntErrCRC %1, CRC failures %2").arg(link.CntErrCRC).arg(seen.nCrcFailed - errCrcBase));
        if (link.CntNoAnsw != std::uint16_t(seen.nTimedOut - noAnswBase))
            fail(QStringLiteral("CntNoAnsw %1, time-outs %2").arg(link.CntNoAnsw).arg(seen.nTimedOut - noAnswBase));
        if (link.CntAllEnquiry != std::uint16_t(enquiries))
            fail(QStringLiteral("CntAllEnquiry %1, enquiries %2").arg(link.CntAllEnquiry).arg(enquiries));
        if (link.WaitAnsw != waitAnsw->isActive())
            fail(QStringLiteral("WaitAnsw and the time-out disagree"));
    };

    auto deliver = [&](const QByteArray &piece) {
        const bool listening = link.ChanListening;
        const bool waiting = link.WaitAnsw;
        const long answersBefore = seen.nAnswers;
        const auto errBefore = link.CntErrCRC;
        const int inputBefore = int(port.input.size());
        seen.available = port.input + piece;
        seen.frames.clear();
        if (traffic.chance(3)) { // a receive event whose count is stale
            port.input += piece;
            link.ComPortTriggerAvail(traffic.below(6000) - 5);
        } else {
            port.receive(piece);
        }
        auto fail = [&](const QString &what) { seen.fail(what); };
        if (listening) {
            if (seen.nAnswers != answersBefore || link.CntErrCRC != errBefore || link.WaitAnsw != waiting)
                fail(QStringLiteral("the channel branch touched the exchange"));
        } else if (!waiting) {
            if (seen.nAnswers != answersBefore || int(port.input.size()) != inputBefore + piece.size())
                fail(QStringLiteral("bytes read while nothing was outstanding"));
        }
        if (seen.nAnswers != answersBefore && !port.input.isEmpty())
            fail(QStringLiteral("bytes left after an answer"));
        checkCounters();
    };

    for (int index = 0; index < cases && seen.failure.isEmpty(); ++index) {
        const std::uint8_t tag = std::uint8_t(index % 256);
        seen.caseIndex = index;
        reentrantSends = traffic.chance(5);
        if (port.input.size() > 12000)
            link.FlushPort();
        port.written.clear();

        link.NetActive = traffic.chance(30);
        link.CurrActive = traffic.chance(20);
        link.WritePending = traffic.chance(20);
        link.ChanListening = traffic.chance(10);
        settingsSlave = traffic.chance(95) ? std::uint16_t(1 + traffic.below(247)) : traffic.word();
        if (traffic.chance(1)) {
            link.ButtonStatClear();
            errCrcBase = seen.nCrcFailed;
            noAnswBase = seen.nTimedOut;
            enquiries = 0;
        }

        TInquiry inq = randomInquiry(tag);
        port.failOpen = traffic.chance(1);
        sendRandom(inq);
        port.failOpen = false;
        if (link.WaitAnsw && !port.written.isEmpty() && link.SentTag != tag)
            seen.fail(QStringLiteral("SentTag %1 after sending tag %2").arg(link.SentTag).arg(tag));
        port.failRead = traffic.chance(1);

        const QByteArray answer = traffic.answer(link.WaitLen);
        for (const QByteArray &piece : traffic.pieces(answer)) {
            deliver(piece);
            if (traffic.chance(5) && waitAnsw->fire()) {
                if (link.WaitAnsw || link.WritePending || waitAnsw->interval() != kAnswerTimeoutMs)
                    seen.fail(QStringLiteral("time-out left the exchange open"));
                checkCounters();
            }
            if (traffic.chance(5)) {
                TInquiry step = randomInquiry(std::uint8_t(traffic.below(256)));
                link.StepInquiry = traffic.chance(50) ? &step : &link.InqMeasure;
                setAuto->start();
                link.TimerSetAutoTimer();
                link.StepInquiry = &link.InqMeasure; // never leave it pointing at a local
                checkCounters();
            }
            if (traffic.chance(2))
                link.ChanListening = !link.ChanListening;
        }
        port.failRead = false;
        if (traffic.chance(30) && waitAnsw->fire())
            checkCounters();
    }

    qInfo("%ld answers complete, %ld good, %ld exceptions, %ld dispatched, %ld CRC errors, %ld time-outs, %ld runner stops",
          seen.nAnswers, seen.nCrcPassed, seen.nExceptions, handlerCalls, seen.nCrcFailed, seen.nTimedOut, seen.nGaveUp);
    QVERIFY2(seen.failure.isEmpty(), qPrintable(seen.failure + QStringLiteral(" (seed 0x%1)").arg(seed, 0, 16)));
    // Every kind of ending happened, so the run exercised what it claims to.
    QVERIFY(handlerCalls > 1000);
    QVERIFY(seen.nExceptions > 1000);
    QVERIFY(seen.nCrcFailed > 1000);
    QVERIFY(seen.nTimedOut > 1000);
    QVERIFY(seen.nGaveUp > 0);
    QVERIFY(sink != 0);
}

QTEST_GUILESS_MAIN(TestRobust)
#include "tst_robust.moc"
