// The transaction engine, the receive handler and the request-sequence runner, on a scripted port
// with hand-fired timers and a hand-moved clock.
#include "link_rig.h"

#include <QtTest>

#include <memory>

using namespace tavro;
using namespace tavro::test;

namespace {

enum class Op { Inquiry, Read03, Write06, Write16, Write16Float, Read20 };

bool send(Link &link, Op op, const TInquiry &inq)
{
    switch (op) {
    case Op::Inquiry: return link.SendInquiry(inq);
    case Op::Read03: return link.SendInquiryRead03(inq);
    case Op::Write06: return link.SendInquiryWrite06(inq);
    case Op::Write16: return link.SendInquiryWrite16(inq);
    case Op::Write16Float: return link.SendInquiryWrite16Float(inq);
    case Op::Read20: return link.SendInquiryRead20(inq);
    }
    return false;
}

QByteArray hexBytes(const char *hex) { return QByteArray::fromHex(hex); }

// A function-3 answer of 62 registers (129 bytes) with recognisable data.
QByteArray measuredAnswer()
{
    QByteArray data;
    for (int i = 0; i < 124; ++i)
        data.append(char(i * 7 + 3));
    return readAnswer(1, data);
}

TInquiry measuredRead(std::uint8_t tag = 0)
{
    TInquiry inq;
    inq.Addr = 1;
    inq.Count = 62;
    inq.AnswLen = 129;
    inq.Tag = tag;
    return inq;
}

const std::uint16_t kListValues[] = {0x0102, 0xA0B0, 0xFFFF};

const QString kNoAnswer = QStringLiteral("  Нет ответа от устройства !");
const QString kCrcError = QStringLiteral("  Ошибка контрольной суммы !");
const QString kSuccess = QStringLiteral("  Операция завершена успешно");
const QString kReceiveError = QStringLiteral(" Ошибка приема информации !");

} // namespace

Q_DECLARE_METATYPE(Op)

class TestLinkEngine : public QObject {
    Q_OBJECT

    std::unique_ptr<LinkRig> rig;
    QList<QByteArray> dispatched;
    QList<int> dispatchedTags;

    Link &link() { return rig->link; }
    void handleAllTags()
    {
        for (int tag = 0; tag < 256; ++tag)
            link().setHandler(std::uint8_t(tag), [this, tag](const Response &r) {
                dispatched << QByteArray(reinterpret_cast<const char *>(r.bytes), qsizetype(r.size));
                dispatchedTags << tag;
            });
    }

private slots:
    void init()
    {
        rig = std::make_unique<LinkRig>();
        dispatched.clear();
        dispatchedTags.clear();
        handleAllTags();
    }
    void cleanup() { rig.reset(); }

    // ---- sending ---------------------------------------------------------------------------

    void sendOperations_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<int>("addr");
        QTest::addColumn<int>("settingsSlave");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("value");
        QTest::addColumn<float>("fvalue");
        QTest::addColumn<int>("fileNum");
        QTest::addColumn<int>("recNum");
        QTest::addColumn<int>("recCount");
        QTest::addColumn<int>("answLen");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("waitLen");
        QTest::addColumn<bool>("countsEnquiry");
        QTest::addColumn<bool>("setsSentTime");

        // The record's Addr for SendInquiry and Write06, the settings page's number for the others.
        QTest::newRow("SendInquiry") << Op::Inquiry << 1 << 7 << 0 << 62 << 0 << 0.f << 0 << 0 << 0 << 129 << 0
                                     << hexBytes("01030000003EC41A") << 129 << true << true;
        QTest::newRow("Read03") << Op::Read03 << 9 << 247 << 528 << 1 << 0 << 0.f << 0 << 0 << 0 << 7 << 29
                                << hexBytes("F7030210000190E1") << 7 << false << false;
        QTest::newRow("Write06") << Op::Write06 << 1 << 0x20 << 0x204 << 0 << 0x11 << 0.f << 0 << 0 << 0 << 0 << 19
                                 << hexBytes("01060204001109BF") << 8 << false << false;
        QTest::newRow("Write06 other slave") << Op::Write06 << 0x20 << 1 << 0x2FE << 2 << 0xABCD << 0.f << 0 << 0 << 0
                                             << 0 << 36 << hexBytes("200602FEABCD5196") << 8 << false << false;
        QTest::newRow("Write16") << Op::Write16 << 99 << 1 << 0x400 << 3 << 0 << 0.f << 0 << 0 << 0 << 0 << 18
                                 << hexBytes("011004000003060102A0B0FFFFA9F6") << 8 << false << true;
        QTest::newRow("Write16Float") << Op::Write16Float << 99 << 5 << 0x800 << 8 << 0 << 200.f << 0 << 0 << 0 << 0
                                      << 21 << hexBytes("05100800000810434800002464") << 8 << false << false;
        QTest::newRow("Read20") << Op::Read20 << 99 << 1 << 0 << 0 << 0 << 0.f << 10 << 5 << 1 << 25 << 39
                                << hexBytes("01140C000A000500084259") << 25 << false << false;
    }
    void sendOperations()
    {
        QFETCH(Op, op);
        QFETCH(int, addr);
        QFETCH(int, settingsSlave);
        QFETCH(int, reg);
        QFETCH(int, count);
        QFETCH(int, value);
        QFETCH(float, fvalue);
        QFETCH(int, fileNum);
        QFETCH(int, recNum);
        QFETCH(int, recCount);
        QFETCH(int, answLen);
        QFETCH(int, tag);
        QFETCH(QByteArray, frame);
        QFETCH(int, waitLen);
        QFETCH(bool, countsEnquiry);
        QFETCH(bool, setsSentTime);

        rig->settingsSlave = std::uint16_t(settingsSlave);
        rig->waitAnsw()->setInterval(3000);
        TInquiry inq;
        inq.Addr = std::uint16_t(addr);
        inq.Reg = std::uint16_t(reg);
        inq.Count = std::uint16_t(count);
        inq.Value = std::uint16_t(value);
        inq.FValue = fvalue;
        inq.FileNum = std::uint16_t(fileNum);
        inq.RecNum = std::uint16_t(recNum);
        inq.RecCount = std::uint16_t(recCount);
        inq.AnswLen = std::uint16_t(answLen);
        inq.Values = kListValues;
        inq.Tag = std::uint8_t(tag);

        QVERIFY(!rig->waitAnsw()->isActive());
        QVERIFY(send(link(), op, inq));
        QCOMPARE(rig->port.written.size(), 1);
        QCOMPARE(rig->port.written[0].toHex(' '), frame.toHex(' '));
        QVERIFY(link().WaitAnsw);
        QCOMPARE(int(link().WaitLen), waitLen);
        QCOMPARE(int(link().SentTag), tag);
        QVERIFY(rig->waitAnsw()->isActive());
        QCOMPARE(rig->waitAnsw()->interval(), 3000);
        QCOMPARE(int(link().CntAllEnquiry), countsEnquiry ? 1 : 0);
        QCOMPARE(rig->observer.count("inquirySent"), countsEnquiry ? 1 : 0);
        QCOMPARE(link().SentTime, setsSentTime ? rig->clock.now : qint64(0));
        QVERIFY(rig->messages.shown.isEmpty());
    }

    void sendFailsWhenPortCannotBeUsed_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<bool>("waiting");
        QTest::newRow("SendInquiry") << Op::Inquiry << false;
        QTest::newRow("SendInquiry while waiting") << Op::Inquiry << true;
        QTest::newRow("Read03") << Op::Read03 << false;
        QTest::newRow("Write06") << Op::Write06 << false;
        QTest::newRow("Write16") << Op::Write16 << true;
        QTest::newRow("Write16Float") << Op::Write16Float << false;
        QTest::newRow("Read20") << Op::Read20 << false;
    }
    void sendFailsWhenPortCannotBeUsed()
    {
        QFETCH(Op, op);
        QFETCH(bool, waiting);
        rig->port.setPortNumber(12);
        rig->port.failOpen = true;
        link().WaitAnsw = waiting;
        link().WaitLen = 77;
        TInquiry inq = measuredRead(5);
        QVERIFY(!send(link(), op, inq));
        QCOMPARE(rig->messages.shown, QStringList{QStringLiteral("Ошибка при чтении номера порта: COM 12")});
        QCOMPARE(rig->observer.count("portFailed"), 1);
        QVERIFY(rig->port.written.isEmpty());
        QCOMPARE(link().WaitAnsw, waiting);
        QCOMPARE(int(link().WaitLen), 77);
        QVERIFY(!rig->waitAnsw()->isActive());
        QCOMPARE(int(link().CntAllEnquiry), 0);
        QCOMPARE(link().SentTime, qint64(0));
        QCOMPARE(rig->observer.count("inquirySent"), 0);
    }

    // ---- time-out ------------------------------------------------------------------------------

    void timeOutEndsTheExchange_data()
    {
        QTest::addColumn<bool>("net");
        QTest::addColumn<bool>("curr");
        QTest::addColumn<int>("retries");
        QTest::newRow("no cycle") << false << false << 0;
        QTest::newRow("metrology cycle") << true << false << 1;
        QTest::newRow("current-output cycle") << false << true << 1;
        QTest::newRow("both cycles") << true << true << 2;
    }
    void timeOutEndsTheExchange()
    {
        QFETCH(bool, net);
        QFETCH(bool, curr);
        QFETCH(int, retries);
        link().NetActive = net;
        link().CurrActive = curr;
        link().StepRetry = 3;
        QVERIFY(link().SendInquiry(measuredRead()));
        link().WritePending = true;
        rig->waitAnsw()->setInterval(5000); // a sequence lengthened it
        rig->port.input = hexBytes("0103"); // half an answer that never completes

        QVERIFY(rig->waitAnsw()->fire());
        QCOMPARE(int(link().CntNoAnsw), 1);
        QVERIFY(!link().WaitAnsw);
        QVERIFY(!link().WritePending);
        QCOMPARE(int(link().StepRetry), 3 + retries);
        QVERIFY(!rig->waitAnsw()->isActive());
        QCOMPARE(rig->waitAnsw()->interval(), 3000);
        QCOMPARE(rig->observer.statuses, QStringList{kNoAnswer});
        QCOMPARE(rig->observer.count("timedOut"), 1);
        QVERIFY(rig->port.input.isEmpty());
        QVERIFY(dispatched.isEmpty());
        QVERIFY(!rig->waitAnsw()->fire()); // stopped: one time-out per exchange
        QCOMPARE(int(link().CntNoAnsw), 1);
    }

    // ---- reception -----------------------------------------------------------------------------

    void answerInPieces_data()
    {
        QTest::addColumn<int>("split");
        for (int split : {1, 2, 4, 5, 64, 128})
            QTest::addRow("first piece %d bytes", split) << split;
    }
    void answerInPieces()
    {
        QFETCH(int, split);
        const QByteArray answer = measuredAnswer();
        QVERIFY(link().SendInquiry(measuredRead(0)));
        rig->waitAnsw()->setInterval(5000);
        rig->port.receive(answer.left(split));
        QVERIFY(dispatched.isEmpty());
        QCOMPARE(rig->port.input.size(), split); // left waiting, not read
        QCOMPARE(rig->port.reads, 0);
        QVERIFY(link().WaitAnsw);
        QCOMPARE(rig->observer.count("answerComplete"), 0);
        QCOMPARE(rig->waitAnsw()->interval(), 3000); // every receive event resets the time-out

        rig->port.receive(answer.mid(split));
        QCOMPARE(dispatched, QList<QByteArray>{answer});
        QCOMPARE(dispatchedTags, QList<int>{0});
        QVERIFY(!link().WaitAnsw);
        QVERIFY(!rig->waitAnsw()->isActive());
        QCOMPARE(link().RxCount, std::size_t(129));
        QCOMPARE(rig->observer.statuses, QStringList{kSuccess});
        QCOMPARE(rig->observer.count("succeeded"), 1);
        QVERIFY(rig->port.input.isEmpty());

        rig->port.receive(answer); // the same bytes again, nothing outstanding
        QCOMPARE(dispatched.size(), 1);
    }

    void answerGoesToTheSentTagOnly()
    {
        QVERIFY(link().SendInquiryRead03(link().InqSchemeStart));
        rig->port.receive(readAnswer(1, hexBytes("0003")));
        QCOMPARE(dispatchedTags, QList<int>{29});
        QCOMPARE(dispatched[0], readAnswer(1, hexBytes("0003")));
    }

    void tagWithoutHandlerRunsOnlyTheCommonPath()
    {
        link().setHandler(34, nullptr);
        link().StepRetry = 4;
        QVERIFY(link().SendInquiryRead03(link().InqReg532));
        rig->port.receive(readAnswer(1, hexBytes("0102")));
        QVERIFY(dispatched.isEmpty());
        QCOMPARE(int(link().StepRetry), 0);
        QCOMPARE(rig->observer.count("succeeded"), 1);
        QCOMPARE(rig->observer.statuses, QStringList{kSuccess});
        QVERIFY(!link().WaitAnsw);
    }

    void exceptionAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("writePending");
        QTest::addColumn<int>("firstPiece");
        QTest::newRow("code 2, one piece") << hexBytes("018302C0F1")
                                           << QStringLiteral("Адрес данных указанный в запросе недоступен") << false
                                           << 5;
        QTest::newRow("code 2, write pending") << hexBytes("018302C0F1")
                                               << QStringLiteral("Адрес данных указанный в запросе недоступен") << true
                                               << 5;
        QTest::newRow("code 2, in pieces 3 + 2") << hexBytes("018302C0F1")
                                                 << QStringLiteral("Адрес данных указанный в запросе недоступен")
                                                 << false << 3;
        QTest::newRow("code 1 to a write") << withCrc(hexBytes("018601")) << QStringLiteral("Код запроса не поддерживается")
                                           << false << 5;
        QTest::newRow("code 71") << withCrc(hexBytes("019047")) << QStringLiteral("Передан неверный пароль") << false << 5;
        QTest::newRow("code 9") << withCrc(hexBytes("018309")) << QString() << false << 5;
        QTest::newRow("code 72") << withCrc(hexBytes("018348")) << QString() << false << 5;
        QTest::newRow("code 255") << withCrc(hexBytes("0183FF")) << QString() << true << 5;
    }
    void exceptionAnswer()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, text);
        QFETCH(bool, writePending);
        QFETCH(int, firstPiece);
        link().NetActive = true;
        link().StepRetry = 3;
        link().StepInquiry = &link().InqCalibValue;
        link().WritePending = writePending;
        QVERIFY(link().SendInquiry(measuredRead(0)));

        rig->port.receive(answer.left(firstPiece));
        if (firstPiece < answer.size()) {
            QVERIFY(link().WaitAnsw);
            rig->port.receive(answer.mid(firstPiece));
        }
        QVERIFY(dispatched.isEmpty());
        QCOMPARE(rig->messages.shown, text.isEmpty() ? QStringList() : QStringList{text});
        QVERIFY(!link().WaitAnsw);
        QVERIFY(!rig->waitAnsw()->isActive());
        QCOMPARE(link().StepInquiry, writePending ? &link().InqCalibValue : &link().InqMeasure);
        QVERIFY(!link().WritePending);
        QCOMPARE(int(link().StepRetry), 3);
        QCOMPARE(rig->observer.count("exceptionAnswer"), 1);
        QCOMPARE(rig->observer.count("succeeded"), 0);
        QCOMPARE(rig->observer.count("crcFailed"), 0);
        QCOMPARE(int(link().CntErrCRC), 0);
        QCOMPARE(link().LastAnswSec, -1); // no answer time for an exception
        QVERIFY(!rig->observer.statuses.contains(kSuccess));
        QVERIFY(rig->port.input.isEmpty());
    }

    // Function code 0x80 itself makes a five-byte answer complete, but only codes above it are exceptions.
    void functionCode0x80IsNotAnException()
    {
        QVERIFY(link().SendInquiry(measuredRead(7)));
        const QByteArray answer = withCrc(hexBytes("018002"));
        rig->port.receive(answer);
        QCOMPARE(dispatched, QList<QByteArray>{answer});
        QCOMPARE(rig->observer.count("exceptionAnswer"), 0);
        QVERIFY(rig->messages.shown.isEmpty());
    }

    void badCrc_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("net");
        QTest::addColumn<bool>("curr");
        QTest::addColumn<int>("retries");
        QByteArray corrupted = hexBytes("01060204001109BF");
        corrupted[5] = char(0x12);
        QTest::newRow("corrupted write echo") << corrupted << false << false << 0;
        QTest::newRow("corrupted, metrology cycle") << corrupted << true << false << 1;
        QTest::newRow("corrupted, both cycles") << corrupted << true << true << 2;
        QTest::newRow("trailing garbage") << hexBytes("01060204001109BF5A") << false << true << 1;
        QTest::newRow("CRC bytes swapped") << hexBytes("010602040011BF09") << false << false << 0;
    }
    void badCrc()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, net);
        QFETCH(bool, curr);
        QFETCH(int, retries);
        link().NetActive = net;
        link().CurrActive = curr;
        TInquiry inq;
        inq.Addr = 1;
        inq.Reg = 0x204;
        inq.Value = 0x11;
        inq.Tag = 19;
        QVERIFY(link().SendInquiryWrite06(inq));

        rig->port.receive(answer);
        QCOMPARE(int(link().CntErrCRC), 1);
        QVERIFY(dispatched.isEmpty());
        QVERIFY(rig->messages.shown.isEmpty());
        QVERIFY(link().WaitAnsw);
        QVERIFY(rig->waitAnsw()->isActive());
        QCOMPARE(int(link().StepRetry), retries);
        QCOMPARE(rig->observer.statuses, QStringList{kCrcError});
        QCOMPARE(rig->observer.count("crcFailed"), 1);
        QCOMPARE(rig->observer.count("crcPassed"), 0);
        QVERIFY(rig->port.input.isEmpty());

        // Still outstanding: the time-out ends it and counts one missing answer.
        QVERIFY(rig->waitAnsw()->fire());
        QCOMPARE(int(link().CntNoAnsw), 1);
        QCOMPARE(int(link().CntErrCRC), 1);
        QCOMPARE(int(link().StepRetry), 2 * retries);
        QVERIFY(!link().WaitAnsw);
    }

    // After a bad CRC the request is still outstanding, so a good repeat is still taken.
    void goodAnswerAfterBadCrcIsDispatched()
    {
        QVERIFY(link().SendInquiry(measuredRead(0)));
        QByteArray bad = measuredAnswer();
        bad[40] = char(bad[40] ^ 0x10);
        rig->port.receive(bad);
        rig->port.receive(measuredAnswer());
        QCOMPARE(dispatched.size(), 1);
        QCOMPARE(int(link().CntErrCRC), 1);
        QVERIFY(!link().WaitAnsw);
    }

    void lateBytesAreNotRead()
    {
        rig->port.receive(measuredAnswer());
        QCOMPARE(rig->port.input.size(), 129);
        QCOMPARE(rig->port.reads, 0);
        QVERIFY(dispatched.isEmpty());
        QCOMPARE(int(link().CntErrCRC), 0);
        QCOMPARE(int(link().CntNoAnsw), 0);
        QVERIFY(rig->observer.events.isEmpty());

        // Not after a finished exchange either.
        QVERIFY(link().SendInquiry(measuredRead(0)));
        rig->port.input.clear();
        rig->port.receive(measuredAnswer());
        rig->port.receive(measuredAnswer());
        QCOMPARE(dispatched.size(), 1);
        QCOMPARE(rig->port.input.size(), 129);
        QCOMPARE(int(link().CntErrCRC), 0);
    }

    // Bytes left from before a send are read with its answer, which then fails the CRC.
    void leftoverBytesSpoilTheNextAnswer()
    {
        rig->port.receive(hexBytes("0103"));
        QVERIFY(link().SendInquiry(measuredRead(0)));
        rig->port.receive(measuredAnswer());
        QVERIFY(dispatched.isEmpty());
        QCOMPARE(int(link().CntErrCRC), 1);
        QCOMPARE(link().RxCount, std::size_t(131));
    }

    void answerTime_data()
    {
        QTest::addColumn<int>("elapsed");
        QTest::addColumn<int>("maxBefore");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("millis");
        QTest::addColumn<int>("maxAfter");
        QTest::newRow("1 s 20 ms keeps 500") << 1020 << 500 << 1 << 20 << 500;
        QTest::newRow("250 ms raises 100") << 250 << 100 << 0 << 250 << 250;
        QTest::newRow("equal stays") << 300 << 300 << 0 << 300 << 300;
        QTest::newRow("minutes drop out") << 61005 << 0 << 1 << 5 << 5;
    }
    void answerTime()
    {
        QFETCH(int, elapsed);
        QFETCH(int, maxBefore);
        QFETCH(int, seconds);
        QFETCH(int, millis);
        QFETCH(int, maxAfter);
        link().MaxAnswMs = std::uint16_t(maxBefore);
        QVERIFY(link().SendInquiry(measuredRead(0)));
        rig->clock.advance(elapsed);
        rig->port.receive(measuredAnswer());
        QCOMPARE(link().LastAnswSec, seconds);
        QCOMPARE(link().LastAnswMs, millis);
        QCOMPARE(int(link().MaxAnswMs), maxAfter);
    }

    void buttonStatClear()
    {
        link().CntNoAnsw = 3;
        link().CntErrCRC = 4;
        link().CntAllEnquiry = 5;
        link().MaxAnswMs = 600;
        link().LastAnswSec = 1;
        link().LastAnswMs = 20;
        link().ButtonStatClear();
        QCOMPARE(int(link().CntNoAnsw), 0);
        QCOMPARE(int(link().CntErrCRC), 0);
        QCOMPARE(int(link().CntAllEnquiry), 0);
        QCOMPARE(int(link().MaxAnswMs), 0);
        QCOMPARE(link().LastAnswSec, 1); // the shown answer time stays
        QCOMPARE(link().LastAnswMs, 20);
        QCOMPARE(rig->observer.count("statisticsChanged"), 1);
    }

    void oversizedAnswerIsReadOnlyToTheBuffer()
    {
        QVERIFY(link().SendInquiry(measuredRead(0)));
        QByteArray flood = measuredAnswer();
        while (flood.size() < 5000)
            flood.append(char(flood.size()));
        rig->port.receive(flood);
        QCOMPARE(rig->port.largestRead, int(kRxBufferSize));
        QCOMPARE(link().RxCount, kRxBufferSize);
        QVERIFY(rig->port.input.isEmpty()); // the rest is flushed
        QCOMPARE(int(link().CntErrCRC), 1);
        QVERIFY(dispatched.isEmpty());
    }

    // An event whose count is older than the bytes now waiting: only what was read is the answer.
    void staleCountReadsOnlyWhatIsThere()
    {
        QVERIFY(link().SendInquiry(measuredRead(0)));
        rig->port.receive(measuredAnswer());
        QVERIFY(link().SendInquiryRead03(link().InqSchemeRead));
        rig->port.input = readAnswer(1, hexBytes("0002"));
        link().ComPortTriggerAvail(129);
        QCOMPARE(link().RxCount, std::size_t(7));
        QCOMPARE(dispatched.size(), 2);
        QCOMPARE(dispatched[1], readAnswer(1, hexBytes("0002")));
    }

    void readFailureIsReported()
    {
        QVERIFY(link().SendInquiry(measuredRead(0)));
        rig->port.failRead = true;
        rig->port.receive(measuredAnswer());
        QCOMPARE(rig->messages.shown.value(0), kReceiveError);
        QVERIFY(dispatched.isEmpty()); // an empty buffer does not pass the CRC check
        QCOMPARE(int(link().CntErrCRC), 1);
    }

    void wakesOnlyWhenAnAnswerCanBeComplete_data()
    {
        QTest::addColumn<QByteArray>("piece");
        QTest::addColumn<int>("threshold");
        QTest::newRow("nothing yet: five bytes make an exception") << QByteArray() << 5;
        QTest::newRow("one byte: still five") << hexBytes("01") << 4;
        QTest::newRow("a read answer: the rest of it") << hexBytes("01037c") << 126;
        QTest::newRow("an exception: the rest of five") << hexBytes("0183") << 3;
    }
    void wakesOnlyWhenAnAnswerCanBeComplete()
    {
        QFETCH(QByteArray, piece);
        QFETCH(int, threshold);
        QVERIFY(link().SendInquiry(measuredRead(0)));
        if (!piece.isEmpty())
            rig->port.receive(piece);
        QCOMPARE(rig->port.readThreshold, threshold);
        rig->port.receive(piece.startsWith(hexBytes("0183")) ? withCrc(hexBytes("018302")).mid(2)
                                                            : measuredAnswer().mid(int(piece.size())));
        QVERIFY(!link().WaitAnsw);
        QCOMPARE(rig->port.readThreshold, 1); // idle again: every byte is seen
    }

    void readFailureNeverReplaysThePreviousAnswer()
    {
        QVERIFY(link().SendInquiry(measuredRead(0)));
        rig->port.receive(measuredAnswer());
        QCOMPARE(dispatched.size(), 1);
        QVERIFY(link().SendInquiry(measuredRead(0)));
        rig->port.failRead = true;
        rig->port.receive(measuredAnswer()); // same length as the answer still in the buffer
        QCOMPARE(dispatched.size(), 1);
        QCOMPARE(int(link().CntErrCRC), 1);
        QVERIFY(link().WaitAnsw);
    }

    // ---- runner --------------------------------------------------------------------------------

    void runnerTick_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("write");
        QTest::addColumn<bool>("keepsRunning");
        QTest::newRow("14 float write") << 14 << 0x10 << 13 << true << true;
        QTest::newRow("15 float write") << 15 << 0x10 << 13 << true << true;
        QTest::newRow("16 list write") << 16 << 0x10 << 13 << true << true;
        QTest::newRow("35 write06") << 35 << 0x06 << 8 << true << true;
        QTest::newRow("36 write06") << 36 << 0x06 << 8 << true << true;
        QTest::newRow("40 stops, then write06") << 40 << 0x06 << 8 << true << false;
        QTest::newRow("0 read") << 0 << 0x03 << 8 << false << true;
        QTest::newRow("29 read") << 29 << 0x03 << 8 << false << true;
        QTest::newRow("32 read") << 32 << 0x03 << 8 << false << true;
        QTest::newRow("34 read") << 34 << 0x03 << 8 << false << true;
        QTest::newRow("255 read") << 255 << 0x03 << 8 << false << true;
    }
    void runnerTick()
    {
        QFETCH(int, tag);
        QFETCH(int, function);
        QFETCH(int, length);
        QFETCH(bool, write);
        QFETCH(bool, keepsRunning);
        rig->settingsSlave = 3;
        TInquiry step;
        step.Addr = 3;
        step.Reg = 0x216;
        step.Count = 2;
        step.Values = kListValues;
        step.AnswLen = 9;
        step.Tag = std::uint8_t(tag);
        link().StepInquiry = &step;
        rig->setAuto()->setInterval(2000);
        rig->setAuto()->start();
        link().WaitAnsw = true; // the runner does not wait for an outstanding request

        QVERIFY(rig->setAuto()->fire());
        QCOMPARE(rig->port.written.size(), 1);
        const QByteArray f = rig->port.written[0];
        QCOMPARE(f.size(), length);
        QCOMPARE(int(std::uint8_t(f[0])), 3);
        QCOMPARE(int(std::uint8_t(f[1])), function);
        QCOMPARE(int(link().SentTag), tag);
        QCOMPARE(int(link().WaitLen), write ? 8 : 9);
        QCOMPARE(rig->setAuto()->interval(), 1000);
        QCOMPARE(rig->setAuto()->isActive(), keepsRunning);
        QCOMPARE(rig->observer.events.filter("runnerSent"),
                 QStringList{write ? QStringLiteral("runnerSent write") : QStringLiteral("runnerSent read")});
    }

    void runnerWithoutStepSendsNothing()
    {
        rig->setAuto()->start();
        link().StepInquiry = nullptr;
        link().TimerSetAutoTimer();
        QVERIFY(rig->port.written.isEmpty());
        QCOMPARE(rig->setAuto()->interval(), 1000);
    }

    void runnerGivesUpAfterTenFailures_data()
    {
        QTest::addColumn<bool>("curr");
        QTest::addColumn<bool>("byCrc");
        QTest::addColumn<int>("failures");
        QTest::newRow("ten time-outs, metrology cycle") << false << false << 10;
        QTest::newRow("five time-outs, both cycles") << true << false << 5;
        QTest::newRow("ten CRC errors, metrology cycle") << false << true << 10;
    }
    void runnerGivesUpAfterTenFailures()
    {
        QFETCH(bool, curr);
        QFETCH(bool, byCrc);
        QFETCH(int, failures);
        link().NetActive = true;
        link().CurrActive = curr;
        link().StepInquiry = &link().InqMeasure;
        rig->setAuto()->start();
        for (int i = 0; i < failures; ++i) {
            QVERIFY(rig->setAuto()->fire());
            QCOMPARE(rig->observer.count("runnerGaveUp"), 0);
            if (byCrc)
                rig->port.receive(QByteArray(129, '\x01'));
            else
                QVERIFY(rig->waitAnsw()->fire());
        }
        QCOMPARE(int(link().StepRetry), 10);
        const auto sent = rig->port.written.size();
        QVERIFY(rig->setAuto()->fire());
        QCOMPARE(rig->observer.count("runnerGaveUp"), 1);
        QCOMPARE(rig->port.written.size(), sent);
    }

    void retryAfterAnswer_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("retry");
        QTest::newRow("good answer resets") << readAnswer(1, hexBytes("0001")) << 0;
        QTest::newRow("exception keeps") << hexBytes("018302C0F1") << 9;
    }
    void retryAfterAnswer()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, retry);
        link().NetActive = true;
        link().StepRetry = 9;
        link().StepInquiry = &link().InqSchemeStart;
        rig->setAuto()->start();
        QVERIFY(rig->setAuto()->fire());
        rig->port.receive(answer);
        QCOMPARE(int(link().StepRetry), retry);
    }

    // ---- information channel -------------------------------------------------------------------

    void channelWaitsForAWindow()
    {
        link().ChanListening = true;
        rig->port.receive(QByteArray(kChannelWindow - 1, '\x11'));
        QCOMPARE(rig->port.reads, 0);
        QCOMPARE(rig->port.input.size(), kChannelWindow - 1);
        QVERIFY(rig->observer.channelFrames.isEmpty());
    }

    void channelFrameSearch_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("total");
        QTest::addColumn<bool>("found");
        QTest::newRow("at 0") << 0 << 426 << true;
        QTest::newRow("at 1") << 1 << 426 << true;
        QTest::newRow("at 284, ends at the window") << 284 << 426 << true;
        QTest::newRow("at 300, runs past the window") << 300 << 600 << true;
        QTest::newRow("at 421, last header in the window") << 421 << 700 << true;
        QTest::newRow("at 430, past the window") << 430 << 700 << false;
        QTest::newRow("at 300, cut short") << 300 << 426 << false;
        QTest::newRow("none") << -1 << 426 << false;
        QTest::newRow("at 100 in a full buffer") << 100 << 4096 << true;
        QTest::newRow("at 100 in 5000 bytes") << 100 << 5000 << true;
    }
    void channelFrameSearch()
    {
        QFETCH(int, offset);
        QFETCH(int, total);
        QFETCH(bool, found);
        const QByteArray frame = channelFrame('\x20');
        QByteArray stream(total, '\x11');
        if (offset >= 0)
            stream.replace(offset, std::min<int>(frame.size(), total - offset), frame.left(total - offset));
        link().ChanListening = true;
        link().WaitAnsw = true;
        rig->waitAnsw()->start();
        rig->port.receive(stream);
        QCOMPARE(rig->observer.channelFrames.size(), 1);
        QCOMPARE(rig->observer.channelFrames[0], found ? frame : QByteArray());
        QVERIFY(rig->port.input.isEmpty());
        QVERIFY(rig->port.largestRead <= int(kRxBufferSize));
        // The exchange is none of the channel's business.
        QVERIFY(link().WaitAnsw);
        QVERIFY(rig->waitAnsw()->isActive());
        QCOMPARE(int(link().CntErrCRC), 0);
        QVERIFY(dispatched.isEmpty());
    }

    void channelBadCrcIsNoFrame()
    {
        QByteArray frame = channelFrame('\x20');
        frame[70] = char(frame[70] ^ 1);
        link().ChanListening = true;
        rig->port.receive(frame + QByteArray(300, '\x11'));
        QCOMPARE(rig->observer.channelFrames, QList<QByteArray>{QByteArray()});
    }

    void channelNeverShowsAnEarlierFrameAgain()
    {
        const QByteArray frame = channelFrame('\x20');
        link().ChanListening = true;
        rig->port.receive(frame + QByteArray(300, '\x11'));
        rig->port.receive(QByteArray(426, '\x11'));                        // no header
        rig->port.receive(QByteArray(400, '\x11') + frame.left(26));       // header, frame cut short
        rig->port.receive(QByteArray(430, '\x11'));
        rig->port.failRead = true;
        rig->port.receive(QByteArray(430, '\x11'));                        // nothing could be read
        QCOMPARE(rig->observer.channelFrames,
                 (QList<QByteArray>{frame, QByteArray(), QByteArray(), QByteArray(), QByteArray()}));
        QCOMPARE(rig->messages.shown, QStringList{kReceiveError});
    }
};

QTEST_GUILESS_MAIN(TestLinkEngine)
#include "tst_link_engine.moc"
