// The instrument simulator: its answers, its framing of the line, its fault schedule, its wire
// timing and its command line without a pty; then one round trip over a real pty.
#include "crc16.h"
#include "encoding.h"
#include "fault_schedule.h"
#include "frame_util.h"
#include "frames.h"
#include "instrument.h"
#include "line_timing.h"
#include "request_framer.h"
#include "sim_options.h"
#include "sim_process.h"

#include <QtTest>

#include <cmath>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace tavro;
using namespace tavro::sim;

namespace {

QByteArray toBytes(const std::vector<std::uint8_t> &v)
{
    return QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size()));
}

QByteArray read03(int slave, int reg, int count)
{
    std::uint8_t tx[kFrameBufferSize];
    TInquiry inq;
    inq.Reg = std::uint16_t(reg);
    inq.Count = std::uint16_t(count);
    return QByteArray(reinterpret_cast<char *>(tx), qsizetype(BuildRead03(tx, inq, std::uint16_t(slave))));
}

QByteArray write06(int slave, int reg, int value)
{
    std::uint8_t tx[kFrameBufferSize];
    TInquiry inq;
    inq.Reg = std::uint16_t(reg);
    inq.Value = std::uint16_t(value);
    return QByteArray(reinterpret_cast<char *>(tx), qsizetype(BuildWrite06(tx, inq, std::uint16_t(slave))));
}

QByteArray write16(int slave, int reg, const QList<std::uint16_t> &values)
{
    std::uint8_t tx[kFrameBufferSize];
    TInquiry inq;
    inq.Reg = std::uint16_t(reg);
    inq.Count = std::uint16_t(values.size());
    inq.Values = values.constData();
    return QByteArray(reinterpret_cast<char *>(tx), qsizetype(BuildWrite16(tx, inq, std::uint16_t(slave))));
}

QByteArray write16Float(int slave, int reg, int count, float value)
{
    std::uint8_t tx[kFrameBufferSize];
    TInquiry inq;
    inq.Reg = std::uint16_t(reg);
    inq.Count = std::uint16_t(count);
    inq.FValue = value;
    return QByteArray(reinterpret_cast<char *>(tx), qsizetype(BuildWrite16Float(tx, inq, std::uint16_t(slave))));
}

QByteArray read20(int slave, int file, int record, int records)
{
    std::uint8_t tx[kFrameBufferSize];
    TInquiry inq;
    inq.FileNum = std::uint16_t(file);
    inq.RecNum = std::uint16_t(record);
    inq.RecCount = std::uint16_t(records);
    return QByteArray(reinterpret_cast<char *>(tx), qsizetype(BuildRead20(tx, inq, std::uint16_t(slave))));
}

QByteArray ask(Instrument &instrument, const QByteArray &request, double uptime = 0.0)
{
    const Moment moment{uptime, 1700000000};
    return toBytes(instrument.handle(reinterpret_cast<const std::uint8_t *>(request.constData()),
                                     std::size_t(request.size()), moment).bytes);
}

bool crcGood(const QByteArray &frame)
{
    return frame.size() >= 4 && CalcCRC16(reinterpret_cast<const std::uint8_t *>(frame.constData()), std::size_t(frame.size())) == 0;
}

// The words of a good function-3 answer.
QList<std::uint16_t> answerWords(const QByteArray &answer)
{
    QList<std::uint16_t> words;
    if (answer.size() < 5 || answer[1] != 0x03)
        return words;
    const RegisterData data(reinterpret_cast<const std::uint8_t *>(answer.constData()) + 3, std::size_t(answer.size() - 5));
    for (std::size_t i = 0; i < data.size() / 2; ++i)
        words.append(RegToWord(data, i));
    return words;
}

QList<float> answerFloats(const QByteArray &answer)
{
    QList<float> values;
    const RegisterData data(reinterpret_cast<const std::uint8_t *>(answer.constData()) + 3, std::size_t(answer.size() - 5));
    for (std::size_t k = 0; k < data.size() / 4; ++k) {
        bool noData = false;
        values.append(RegToFloat(data, k, noData));
    }
    return values;
}

bool nearRelative(double a, double b, double tolerance)
{
    return std::abs(a - b) <= tolerance * std::max(std::abs(a), std::abs(b));
}

QList<float> measuredAt(Instrument &instrument, double uptime)
{
    return answerFloats(ask(instrument, read03(1, 0, 62), uptime));
}

// The current output value as read back from 1920 + 12 x limit + 4 x output.
float outputValue(Instrument &instrument, int limit, int output)
{
    const QList<float> v = answerFloats(ask(instrument, read03(1, 1920 + 12 * limit + 4 * output, 2)));
    return v.isEmpty() ? std::nanf("") : v[0];
}

int exceptionCode(const QByteArray &answer)
{
    return answer.size() == 5 && (quint8(answer[1]) & 0x80) ? quint8(answer[2]) : 0;
}

InstrumentConfig configWithVersion(int version)
{
    InstrumentConfig config;
    config.version = std::uint16_t(version);
    return config;
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT
private slots:
    void measuredValuesAreConsistent_data()
    {
        QTest::addColumn<double>("uptime");
        QTest::newRow("start") << 0.0;
        QTest::newRow("7.3 s") << 7.3;
        QTest::newRow("2 min") << 120.0;
        QTest::newRow("a day") << 86400.5;
    }
    void measuredValuesAreConsistent()
    {
        QFETCH(double, uptime);
        Instrument instrument{InstrumentConfig{}};
        const QByteArray answer = ask(instrument, read03(1, 0, 62), uptime);
        QCOMPARE(answer.size(), 129);
        QVERIFY(crcGood(answer));
        QCOMPARE(answer.left(3), test::bytes({0x01, 0x03, 124}));
        const QList<float> v = answerFloats(answer);
        QCOMPARE(v.size(), 31);

        auto near = [](double a, double b, double tolerance) { return std::abs(a - b) <= tolerance; };
        for (int k = 0; k < 3; ++k) {
            const double u = v[kUa + k], i = v[kIa + k], p = v[kPa + k], q = v[kQa + k], s = v[kSa + k];
            QVERIFY2(u > 225 && u < 235, qPrintable(QString::number(u)));
            QVERIFY2(i > 4.8 && i < 5.3, qPrintable(QString::number(i)));
            QVERIFY(near(s, u * i, 0.01));
            QVERIFY(near(s * s, p * p + q * q, 1e-4 * s * s));
            QVERIFY(p > 0 && q > 0);
            QVERIFY(near(v[kKpa + k], p / s, 1e-5));
        }
        QVERIFY(near(v[kP], v[kPa] + v[kPb] + v[kPc], 0.01));
        QVERIFY(near(v[kQ], v[kQa] + v[kQb] + v[kQc], 0.01));
        QVERIFY(near(v[kS], v[kSa] + v[kSb] + v[kSc], 0.01));
        QVERIFY(near(v[kKp], v[kP] / v[kS], 1e-5));
        QVERIFY(near(v[kF], 50.0, 0.05));
        QVERIFY(near(v[kUfMean], (v[kUa] + v[kUb] + v[kUc]) / 3.0, 0.001));
        QVERIFY(near(v[kIMean], (v[kIa] + v[kIb] + v[kIc]) / 3.0, 0.0001));
        QVERIFY(near(v[kUlMean], (v[kUab] + v[kUbc] + v[kUca]) / 3.0, 0.001));
        for (std::size_t k = kUab; k <= kUca; ++k)
            QVERIFY2(near(v[k] / (std::sqrt(3.0) * v[kUfMean]), 1.0, 0.01), qPrintable(QString::number(v[k])));
        QVERIFY(v[kU0] >= 0 && v[kU0] < 2.0);
        QVERIFY(v[kI0] >= 0 && v[kI0] < 0.5);
    }

    void measuredValuesDriftSlowly()
    {
        // Consecutive polls a second apart see nearly the same values; over a minute they move.
        for (double t : {0.0, 10.0, 33.3, 71.0}) {
            const auto a = MeasuredAt(t);
            const auto b = MeasuredAt(t + 1.0);
            for (std::size_t k = 0; k < kMeasuredCount; ++k)
                if (k != kU0 && k != kI0)
                    QVERIFY2(std::abs(a[k] - b[k]) <= 0.005 * std::abs(a[k]), qPrintable(QString::number(k)));
        }
        const auto a = MeasuredAt(0.0);
        const auto later = MeasuredAt(10.0);
        for (std::size_t k : {kUa, kIa, kPa, kQa, kF})
            QVERIFY2(a[k] != later[k], qPrintable(QString::number(k)));
    }

    void partOfTheMeasuredBlock()
    {
        Instrument instrument{InstrumentConfig{}};
        const QByteArray all = ask(instrument, read03(1, 0, 62), 3.0);
        // Byte addressing: Ub is the single at address 4, its low word at 6.
        QCOMPARE(ask(instrument, read03(1, 4, 2), 3.0).mid(3, 4), all.mid(3 + 4, 4));
        QCOMPARE(ask(instrument, read03(1, 6, 1), 3.0).mid(3, 2), all.mid(3 + 6, 2));
        QCOMPARE(ask(instrument, read03(1, 1, 1)), test::withCrc(test::bytes({0x01, 0x83, 0x02})));
    }

    void mainBlock_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("words"); // empty: exception 2
        // 534 repeats the output variant of 530; 532 the output limit, none at first.
        QTest::newRow("17 words") << 238 << 17
                                  << QList<int>{238, 31, 1, 2, 3456, 12, 9600, 0, 0, 1, 0, 1, 0, 0, 1, 9600, 0};
        QTest::newRow("version 200") << 200 << 17
                                     << QList<int>{200, 31, 1, 2, 3456, 12, 9600, 0, 0, 1, 0, 1, 0, 0, 1, 9600, 0};
        QTest::newRow("10 words") << 199 << 10 << QList<int>{199, 31, 1, 2, 3456, 12, 9600, 0, 0, 1};
        QTest::newRow("old version has no port 2") << 199 << 17 << QList<int>{};
        QTest::newRow("only the low byte counts") << 0x012C << 17 << QList<int>{};
        QTest::newRow("past the block") << 238 << 19 << QList<int>{};
    }
    void mainBlock()
    {
        QFETCH(int, version);
        QFETCH(int, count);
        QFETCH(QList<int>, words);
        Instrument instrument(configWithVersion(version));
        const QByteArray answer = ask(instrument, read03(1, 512, count));
        if (words.isEmpty()) {
            QCOMPARE(answer, test::withCrc(test::bytes({0x01, 0x83, 0x02})));
            return;
        }
        QCOMPARE(answer.size(), 5 + 2 * count);
        QVERIFY(crcGood(answer));
        QList<int> got;
        for (auto w : answerWords(answer))
            got.append(w);
        QCOMPARE(got, words);
    }

    void otherBlocks_data()
    {
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("words");
        QTest::newRow("display lines") << 1024 << 6 << QList<int>{0, 0, 0, 0, 0, 0};
        QTest::newRow("setpoints") << 2816 << 6 << QList<int>{0, 0, 0, 0, 0, 0};
        // 130.0 = 43020000, 100.0 = 42C80000, 6.5 = 40D00000, 5.0 = 40A00000
        QTest::newRow("transformers") << 2048 << 8
                                      << QList<int>{0x4302, 0, 0x42C8, 0, 0x40D0, 0, 0x40A0, 0};
        QTest::newRow("phase-B method") << 546 << 1 << QList<int>{0};
    }
    void otherBlocks()
    {
        QFETCH(int, reg);
        QFETCH(int, count);
        QFETCH(QList<int>, words);
        Instrument instrument{InstrumentConfig{}};
        QList<int> got;
        for (auto w : answerWords(ask(instrument, read03(1, reg, count))))
            got.append(w);
        QCOMPARE(got, words);
    }

    void writeThenRead_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("expectedAnswer");
        QTest::addColumn<int>("reg");
        QTest::addColumn<QList<int>>("words");
        const auto w16answer = [](int reg, int count) {
            return test::withCrc(test::bytes({0x01, 0x10, reg >> 8, reg & 0xFF, count >> 8, count & 0xFF}));
        };
        const QByteArray brightness = write06(1, 518, 4);
        QTest::newRow("brightness") << brightness << brightness << 518 << QList<int>{4};
        const QByteArray speed1 = write06(1, 524, 5);
        QTest::newRow("port 1 speed by list position") << speed1 << speed1 << 524 << QList<int>{38400};
        const QByteArray speed2 = write06(1, 542, 4);
        QTest::newRow("port 2 speed by list position") << speed2 << speed2 << 542 << QList<int>{19200};
        const QByteArray mode = write06(1, 540, 0);
        QTest::newRow("port 2 mode") << mode << mode << 540 << QList<int>{0};
        // The scheme is written 0 three-wire / 1 four-wire and read 0 four-wire / else three-wire.
        const QByteArray fourWire = write06(1, 528, 1);
        QTest::newRow("scheme four-wire") << fourWire << fourWire << 528 << QList<int>{0};
        const QByteArray threeWire = write06(1, 528, 0);
        QTest::newRow("scheme three-wire") << threeWire << threeWire << 528 << QList<int>{1};
        QTest::newRow("display lines") << write16(1, 1024, {3, 7, 25}) << w16answer(1024, 3) << 1024
                                       << QList<int>{3, 7, 25, 0, 0, 0};
        QTest::newRow("setpoints") << write16(1, 2816, {1, 2, 3, 4, 5, 6}) << w16answer(2816, 6) << 2816
                                   << QList<int>{1, 2, 3, 4, 5, 6};
        // Written high part first, read back with the low part first.
        QTest::newRow("device number") << write16(1, 520, {12, 3456}) << w16answer(520, 2) << 520
                                       << QList<int>{3456, 12};
        // The single-float form with Count 8: byte count 16 but only four value bytes.
        QTest::newRow("float with count 8") << write16Float(1, 2052, 8, 200.0f) << w16answer(2052, 8) << 2048
                                            << QList<int>{0x4302, 0, 0x4348, 0, 0x40D0, 0, 0x40A0, 0};
        QTest::newRow("float with count 2") << write16Float(1, 2060, 2, 1.0f) << w16answer(2060, 2) << 2056
                                            << QList<int>{0x40D0, 0, 0x3F80, 0};
    }
    void writeThenRead()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, expectedAnswer);
        QFETCH(int, reg);
        QFETCH(QList<int>, words);
        Instrument instrument{InstrumentConfig{}};
        QCOMPARE(ask(instrument, request), expectedAnswer);
        QList<int> got;
        for (auto w : answerWords(ask(instrument, read03(1, reg, int(words.size())))))
            got.append(w);
        QCOMPARE(got, words);
    }

    void floatFormIsThirteenBytes()
    {
        const QByteArray request = write16Float(1, 2048, 8, 100.0f);
        QCOMPARE(request.size(), 13);
        QCOMPARE(quint8(request[6]), quint8(16));
    }

    void exceptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("code"); // 0: a normal answer
        const QStringList none;
        QTest::newRow("read unknown address") << none << read03(1, 3000, 1) << 2;
        QTest::newRow("read running past the measured block") << none << read03(1, 120, 4) << 2;
        QTest::newRow("write unknown address") << none << write06(1, 3000, 1) << 2;
        QTest::newRow("write the version") << none << write06(1, 512, 1) << 2;
        QTest::newRow("write a measured value") << none << write06(1, 0, 1) << 2;
        QTest::newRow("list write partly unknown") << none << write16(1, 2824, {1, 2, 3}) << 2;
        QTest::newRow("unknown function") << none << test::withCrc(test::bytes({0x01, 0x04, 0, 0, 0, 2})) << 1;
        QTest::newRow("read of no registers") << none << read03(1, 512, 0) << 3;
        QTest::newRow("logical number 0") << none << write06(1, 516, 0) << 68;
        QTest::newRow("speed position 6") << none << write06(1, 524, 6) << 69;
        QTest::newRow("unknown file") << none << read20(1, 5, 0, 1) << 2;
        QTest::newRow("forced on a read") << QStringList{"--exception", "2818:7"} << read03(1, 2816, 6) << 7;
        QTest::newRow("forced on a float write") << QStringList{"--exception", "0x802:70"}
                                                 << write16Float(1, 2048, 8, 1.0f) << 70;
        QTest::newRow("forced elsewhere") << QStringList{"--exception", "2818:7"} << read03(1, 1024, 6) << 0;
    }
    void exceptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, request);
        QFETCH(int, code);
        SimOptions options;
        std::string error;
        std::vector<QByteArray> argStore{"tavro-sim"};
        for (const auto &a : arguments)
            argStore.push_back(a.toUtf8());
        std::vector<const char *> argv;
        for (const auto &a : argStore)
            argv.push_back(a.constData());
        QVERIFY(ParseOptions(int(argv.size()), argv.data(), options, error));
        Instrument instrument(options.instrument);
        const QByteArray answer = ask(instrument, request);
        if (code == 0) {
            QVERIFY(crcGood(answer));
            QCOMPARE(quint8(answer[1]), quint8(request[1]));
        } else {
            QCOMPARE(answer, test::withCrc(test::bytes({0x01, quint8(request[1]) | 0x80, code})));
        }
    }

    void silentAnswers_data()
    {
        QTest::addColumn<QByteArray>("request");
        QByteArray badCrc = read03(1, 0, 62);
        badCrc[7] = char(badCrc[7] ^ 0x40);
        QTest::newRow("other slave") << read03(2, 0, 62);
        QTest::newRow("broadcast") << read03(0, 0, 62);
        QTest::newRow("bad CRC") << badCrc;
        QTest::newRow("too short") << QByteArray("\x01\x03", 2);
    }
    void silentAnswers()
    {
        QFETCH(QByteArray, request);
        Instrument instrument{InstrumentConfig{}};
        QVERIFY(ask(instrument, request).isEmpty());
    }

    void newLogicalNumberAnswersFromNowOn()
    {
        Instrument instrument{InstrumentConfig{}};
        const QByteArray request = write06(1, 516, 9);
        QCOMPARE(ask(instrument, request), request);
        QCOMPARE(instrument.address(), std::uint8_t(9));
        QVERIFY(ask(instrument, read03(1, 516, 1)).isEmpty());
        QCOMPARE(answerWords(ask(instrument, read03(9, 516, 1))), QList<std::uint16_t>{9});
    }

    void settingsSurviveARestart()
    {
        Instrument before{InstrumentConfig{}};
        QVERIFY(!ask(before, write06(1, 518, 1)).isEmpty());
        QVERIFY(!ask(before, write06(1, 524, 5)).isEmpty());
        QVERIFY(!ask(before, write16(1, 2816, {130, 0, 120, 0xFF88, 100, 0})).isEmpty());
        QVERIFY(!ask(before, write16Float(1, 2052, 8, 57.5f)).isEmpty());
        QVERIFY(!ask(before, write06(1, 516, 9)).isEmpty());

        // Junk, unknown and read-only words and impossible values are skipped, never taken.
        const std::string saved = before.SaveState() + "junk\n512 999\n9999 1\n542 1234\n516 300\n";
        Instrument after{InstrumentConfig{}};
        QCOMPARE(after.RestoreState(saved), before.RestoreState(before.SaveState()));
        QCOMPARE(after.address(), std::uint8_t(9));
        QCOMPARE(after.port1Speed(), 38400u);
        QVERIFY(ask(after, read03(1, 518, 1)).isEmpty()); // the old number is not answered any more
        QCOMPARE(ask(after, read03(9, 512, 17)), ask(before, read03(9, 512, 17)));
        QCOMPARE(ask(after, read03(9, 2816, 6)), ask(before, read03(9, 2816, 6)));
        QCOMPARE(ask(after, read03(9, 2048, 8)), ask(before, read03(9, 2048, 8)));
    }

    void referenceCalibratesItsChannel_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("calibrated"); // the measured value the slot calibrates
        QTest::addColumn<float>("reference");
        QTest::addColumn<QList<int>>("following"); // values that scale with it
        QTest::addColumn<QList<int>>("untouched");
        QTest::newRow("Ua") << 0 << int(kUa) << 231.5f << QList<int>{kPa, kQa, kSa} << QList<int>{kUb, kIa, kKpa};
        QTest::newRow("Ub") << 1 << int(kUb) << 228.0f << QList<int>{kPb, kQb, kSb} << QList<int>{kUa, kIb};
        QTest::newRow("Uc") << 2 << int(kUc) << 230.0f << QList<int>{kPc, kQc, kSc} << QList<int>{kUa, kIc};
        QTest::newRow("Uab") << 3 << int(kUab) << 400.0f << QList<int>{} << QList<int>{kUa, kUbc, kPa, kP};
        QTest::newRow("Ubc") << 4 << int(kUbc) << 395.0f << QList<int>{} << QList<int>{kUb, kUab, kP};
        QTest::newRow("Ia") << 6 << int(kIa) << 5.0f << QList<int>{kPa, kQa, kSa} << QList<int>{kUa, kIb, kKpa};
        QTest::newRow("Ib") << 7 << int(kIb) << 4.5f << QList<int>{kPb, kQb, kSb} << QList<int>{kIa, kUb};
        QTest::newRow("Ic") << 8 << int(kIc) << 5.5f << QList<int>{kPc, kQc, kSc} << QList<int>{kIa, kUc};
    }
    void referenceCalibratesItsChannel()
    {
        QFETCH(int, slot);
        QFETCH(int, calibrated);
        QFETCH(float, reference);
        QFETCH(QList<int>, following);
        QFETCH(QList<int>, untouched);
        constexpr double at = 12.0, later = 47.5;
        Instrument instrument{InstrumentConfig{}};
        const QList<float> before = measuredAt(instrument, at);
        const QByteArray request = write16Float(1, 1792 + 4 * slot, 2, reference);
        QCOMPARE(ask(instrument, request, at), test::withCrc(test::bytes({0x01, 0x10, 0x07, 4 * slot, 0, 2})));

        const QList<float> now = measuredAt(instrument, at);
        QVERIFY2(nearRelative(now[calibrated], reference, 2e-7), qPrintable(QString::number(now[calibrated])));
        const double gain = double(reference) / before[calibrated];
        for (int k : following)
            QVERIFY2(nearRelative(now[k], before[k] * gain, 1e-6), qPrintable(QString::number(k)));
        for (int k : untouched)
            QCOMPARE(now[k], before[k]);
        QVERIFY(nearRelative(now[kP], now[kPa] + now[kPb] + now[kPc], 1e-6));
        QVERIFY(nearRelative(now[kS], now[kSa] + now[kSb] + now[kSc], 1e-6));

        // As the load drifts the channel keeps reading the drifted value times the same gain.
        const auto raw = MeasuredAt(later);
        const QList<float> drifted = measuredAt(instrument, later);
        QVERIFY(raw[calibrated] != before[calibrated]);
        QVERIFY2(nearRelative(drifted[calibrated], raw[calibrated] * gain, 1e-6),
                 qPrintable(QString::number(drifted[calibrated])));
    }

    void secondReferenceStartsFromTheCalibratedValue()
    {
        Instrument instrument{InstrumentConfig{}};
        QVERIFY(!ask(instrument, write16Float(1, 1792, 2, 240.0f), 3.0).isEmpty());
        QVERIFY(!ask(instrument, write16Float(1, 1792, 2, 220.0f), 9.0).isEmpty());
        QVERIFY(nearRelative(measuredAt(instrument, 9.0)[kUa], 220.0, 2e-7));
        QVERIFY(nearRelative(instrument.calibration().gain[kSlotUa], 220.0 / MeasuredAt(9.0)[kUa], 1e-6));
    }

    void refusedReferenceChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("code");
        QTest::newRow("not a number") << write16Float(1, 1792, 2, std::nanf("")) << 69;
        QTest::newRow("infinite") << write16Float(1, 1816, 2, INFINITY) << 69;
        QTest::newRow("zero") << write16Float(1, 1796, 2, 0.0f) << 69;
        QTest::newRow("negative") << write16Float(1, 1820, 2, -5.0f) << 69;
        QTest::newRow("ten times off") << write16Float(1, 1824, 2, 60.0f) << 69;
        QTest::newRow("unused slot") << write16Float(1, 1812, 2, 230.0f) << 2;
        QTest::newRow("inside a slot") << write16Float(1, 1794, 2, 230.0f) << 2;
        QTest::newRow("two slots at once") << write16(1, 1792, {0x4366, 0, 0x4366, 0}) << 3;
        QTest::newRow("function 6") << write06(1, 1792, 1) << 2;
        QTest::newRow("read back") << read03(1, 1792, 2) << 2;
    }
    void refusedReferenceChangesNothing()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, code);
        Instrument instrument{InstrumentConfig{}};
        const QByteArray answer = ask(instrument, request, 5.0);
        QCOMPARE(answer, test::withCrc(test::bytes({0x01, quint8(request[1]) | 0x80, code})));
        QCOMPARE(instrument.calibration(), Calibration{});
        QCOMPARE(ask(instrument, read03(1, 0, 62), 5.0), ask(instrument, read03(1, 0, 62), 5.0));
        Instrument fresh{InstrumentConfig{}};
        QCOMPARE(ask(instrument, read03(1, 0, 62), 5.0), ask(fresh, read03(1, 0, 62), 5.0));
    }

    void powerAdjustment_data()
    {
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("phase");
        QTest::addColumn<double>("step");
        QTest::newRow("A fine up") << 640 << 0 << 0 << 0.001;
        QTest::newRow("B fine up") << 640 << 1 << 1 << 0.001;
        QTest::newRow("C fine up") << 640 << 2 << 2 << 0.001;
        QTest::newRow("A coarse up") << 640 << 3 << 0 << 0.01;
        QTest::newRow("B coarse up") << 640 << 4 << 1 << 0.01;
        QTest::newRow("C coarse up") << 640 << 5 << 2 << 0.01;
        QTest::newRow("A fine down") << 641 << 0 << 0 << -0.001;
        QTest::newRow("C coarse down") << 641 << 5 << 2 << -0.01;
    }
    void powerAdjustment()
    {
        QFETCH(int, reg);
        QFETCH(int, code);
        QFETCH(int, phase);
        QFETCH(double, step);
        Instrument instrument{InstrumentConfig{}};
        const QList<float> before = measuredAt(instrument, 20.0);
        const QByteArray request = write06(1, reg, code);
        QCOMPARE(ask(instrument, request), request);
        const QList<float> after = measuredAt(instrument, 20.0);
        const int p = kPa + phase;
        QVERIFY2(nearRelative(after[p], before[p] * (1.0 + step), 1e-6), qPrintable(QString::number(after[p])));
        QVERIFY(nearRelative(after[kP] - before[kP], after[p] - before[p], 1e-3));
        for (int k = 0; k < 3; ++k) {
            if (k != phase)
                QCOMPARE(after[kPa + k], before[kPa + k]);
            QCOMPARE(after[kQa + k], before[kQa + k]);
            QCOMPARE(after[kUa + k], before[kUa + k]);
        }
        // The opposite command undoes it.
        QVERIFY(!ask(instrument, write06(1, reg == 640 ? 641 : 640, code)).isEmpty());
        QVERIFY(nearRelative(measuredAt(instrument, 20.0)[p], before[p], 1e-6));
    }

    void powerAdjustmentLimits()
    {
        Instrument instrument{InstrumentConfig{}};
        QCOMPARE(exceptionCode(ask(instrument, write06(1, 640, 6))), 69);
        int accepted = 0;
        for (int n = 0; n < 15; ++n)
            if (exceptionCode(ask(instrument, write06(1, 641, 4))) == 0)
                ++accepted;
        QCOMPARE(accepted, 10); // down to 90 %, no further
        QVERIFY(nearRelative(instrument.calibration().powerTrim[1], 0.9, 1e-9));
    }

    void storeDecidesWhatARestartKeeps_data()
    {
        QTest::addColumn<bool>("store");
        QTest::addColumn<bool>("changeAfterStore");
        QTest::newRow("stored") << true << false;
        QTest::newRow("not stored") << false << false;
        QTest::newRow("changed after the store") << true << true;
    }
    void storeDecidesWhatARestartKeeps()
    {
        QFETCH(bool, store);
        QFETCH(bool, changeAfterStore);
        Instrument before{InstrumentConfig{}};
        QVERIFY(!ask(before, write16Float(1, 1792, 2, 233.0f), 4.0).isEmpty());
        QVERIFY(!ask(before, write16Float(1, 1820, 2, 5.1f), 4.0).isEmpty());
        QVERIFY(!ask(before, write16Float(1, 1808, 2, 401.0f), 4.0).isEmpty());
        QVERIFY(!ask(before, write06(1, 640, 4)).isEmpty());
        QVERIFY(!ask(before, write06(1, 642, 21)).isEmpty());
        QVERIFY(!ask(before, write16Float(1, 1920 + 4, 2, 19.95f)).isEmpty());
        const Calibration calibrated = before.calibration();
        if (store)
            QCOMPARE(ask(before, write06(1, 767, 0)), write06(1, 767, 0));
        if (changeAfterStore)
            QVERIFY(!ask(before, write16Float(1, 1816, 2, 4.8f), 4.0).isEmpty());
        // Whatever was stored, the running instrument keeps working with all its changes.
        QVERIFY(before.calibration() != Calibration{});

        Instrument after{InstrumentConfig{}};
        QVERIFY(after.RestoreState(before.SaveState()) > 0);
        QCOMPARE(after.calibration(), store ? calibrated : Calibration{});
        Instrument reference{InstrumentConfig{}};
        if (store && !changeAfterStore) {
            QCOMPARE(ask(after, read03(1, 0, 62), 30.0), ask(before, read03(1, 0, 62), 30.0));
            QCOMPARE(outputValue(after, 0, 1), 19.95f);
            QCOMPARE(outputValue(after, 1, 1), outputValue(before, 1, 1));
        }
        if (!store) {
            QCOMPARE(ask(after, read03(1, 0, 62), 30.0), ask(reference, read03(1, 0, 62), 30.0));
            QCOMPARE(outputValue(after, 0, 1), 20.0f);
        }
    }

    void junkInTheStateFileIsSkipped()
    {
        Instrument before{InstrumentConfig{}};
        QVERIFY(!ask(before, write16Float(1, 1800, 2, 229.0f), 2.0).isEmpty());
        QVERIFY(!ask(before, write06(1, 640, 2)).isEmpty());
        QVERIFY(!ask(before, write06(1, 643, 4)).isEmpty());
        QVERIFY(!ask(before, write06(1, 530, 0)).isEmpty());
        QVERIFY(!ask(before, write06(1, 767, 0)).isEmpty());
        const std::string clean = before.SaveState();
        const std::string junk = "gain\ngain 5 1.0\ngain 9 1.0\ngain 0 nan\ngain 0 inf\ngain 1 50\ngain 2 -1\n"
                                 "gain 0 1.01 more\ngain x 1.0\ntrim 3 1.0\ntrim 0 2\noutput 3 0 0.1\n"
                                 "output 0 3 0.1\noutput 0 0 5\ngains 0 1.0\n530 7\n766 9\n534 1\n532 3\n";
        Instrument after{InstrumentConfig{}};
        Instrument plain{InstrumentConfig{}};
        QCOMPARE(after.RestoreState(junk + clean + junk), plain.RestoreState(clean));
        QCOMPARE(after.calibration(), before.storedCalibration());
        QCOMPARE(after.calibration(), before.calibration());
        QCOMPARE(ask(after, read03(1, 512, 17)), ask(before, read03(1, 512, 17)));
        QCOMPARE(ask(after, read03(1, 0, 62), 8.0), ask(before, read03(1, 0, 62), 8.0));
        // An older state file without calibration lines still restores its words.
        Instrument old{InstrumentConfig{}};
        QCOMPARE(old.RestoreState("518 3\n530 0\n"), std::size_t(2));
        QCOMPARE(answerWords(ask(old, read03(1, 530, 3))), (QList<std::uint16_t>{0, 0, 0}));
        QCOMPARE(old.calibration(), Calibration{});
    }

    void outputVariantAndLimit_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("code");
        QTest::addColumn<QList<int>>("words"); // 530, 532, 534 afterwards
        QTest::newRow("at start") << QByteArray() << 0 << QList<int>{1, 0, 1};
        QTest::newRow("variant 0") << write06(1, 530, 0) << 0 << QList<int>{0, 0, 0};
        QTest::newRow("variant 2") << write06(1, 530, 2) << 69 << QList<int>{1, 0, 1};
        QTest::newRow("upper limit") << write06(1, 766, 1) << 0 << QList<int>{1, 1, 1};
        QTest::newRow("lower limit") << write06(1, 766, 3) << 0 << QList<int>{1, 3, 1};
        QTest::newRow("limit 4") << write06(1, 766, 4) << 69 << QList<int>{1, 0, 1};
        QTest::newRow("534 is read only") << write06(1, 534, 0) << 2 << QList<int>{1, 0, 1};
        QTest::newRow("532 is read only") << write06(1, 532, 2) << 2 << QList<int>{1, 0, 1};
        QTest::newRow("store needs 0") << write06(1, 767, 1) << 69 << QList<int>{1, 0, 1};
    }
    void outputVariantAndLimit()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, code);
        QFETCH(QList<int>, words);
        Instrument instrument{InstrumentConfig{}};
        if (!request.isEmpty())
            QCOMPARE(exceptionCode(ask(instrument, request)), code);
        QList<int> got;
        for (auto w : answerWords(ask(instrument, read03(1, 530, 3))))
            got.append(w);
        QCOMPARE(got, words);
    }

    void outputSteps_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("output");
        QTest::addColumn<double>("expected"); // mA at that limit and output afterwards
        QTest::newRow("x1 middle, output 1") << 1 << 642 << 0 << 1 << 0 << 12.001;
        QTest::newRow("x1 middle, output 3 down") << 1 << 643 << 2 << 1 << 2 << 11.999;
        QTest::newRow("x1 upper, output 1") << 1 << 642 << 3 << 0 << 0 << 20.001;
        QTest::newRow("x1 upper, output 3") << 1 << 643 << 5 << 0 << 2 << 19.999;
        QTest::newRow("x10 output 2") << 1 << 642 << 11 << 1 << 1 << 12.01;
        QTest::newRow("x100 output 3") << 1 << 643 << 22 << 1 << 2 << 11.9;
        QTest::newRow("bipolar middle") << 0 << 642 << 20 << 1 << 0 << 0.1;
        QTest::newRow("bipolar upper") << 0 << 643 << 4 << 0 << 1 << 4.999;
    }
    void outputSteps()
    {
        QFETCH(int, variant);
        QFETCH(int, reg);
        QFETCH(int, code);
        QFETCH(int, limit);
        QFETCH(int, output);
        QFETCH(double, expected);
        Instrument instrument{InstrumentConfig{}};
        QVERIFY(!ask(instrument, write06(1, 530, variant)).isEmpty());
        const QByteArray request = write06(1, reg, code);
        QCOMPARE(ask(instrument, request), request);
        QVERIFY(std::abs(instrument.outputCurrent(std::size_t(limit), std::size_t(output)) - expected) < 1e-9);
        QCOMPARE(outputValue(instrument, limit, output), float(expected));
        // Only that output at that limit moved.
        const double nominal[2][3] = {{5, 0, -5}, {20, 12, 4}};
        for (int l = 0; l < 3; ++l)
            for (int t = 0; t < 3; ++t)
                if (l != limit || t != output)
                    QCOMPARE(outputValue(instrument, l, t), float(nominal[variant][l]));
    }

    void outputMeasuredValue_data()
    {
        QTest::addColumn<int>("reg");
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("code");
        QTest::newRow("upper, output 2") << 1924 << 19.95f << 0;
        QTest::newRow("middle, output 1") << 1932 << 12.04f << 0;
        QTest::newRow("lower, output 3") << 1952 << 3.9f << 0;
        QTest::newRow("inside a value") << 1926 << 19.95f << 2;
        QTest::newRow("past the last") << 1956 << 4.0f << 2;
        QTest::newRow("far off the limit") << 1920 << 12.0f << 69;
        QTest::newRow("not a number") << 1920 << std::nanf("") << 69;
    }
    void outputMeasuredValue()
    {
        QFETCH(int, reg);
        QFETCH(float, value);
        QFETCH(int, code);
        Instrument instrument{InstrumentConfig{}};
        const QByteArray answer = ask(instrument, write16Float(1, reg, 2, value));
        QCOMPARE(exceptionCode(answer), code);
        if (code != 0) {
            QCOMPARE(instrument.calibration(), Calibration{});
            return;
        }
        QCOMPARE(answer, test::withCrc(test::bytes({0x01, 0x10, reg >> 8, reg & 0xFF, 0, 2})));
        const int offset = reg - 1920;
        QCOMPARE(outputValue(instrument, offset / 12, offset % 12 / 4), value);
        // From there the x1 step moves it (there is no step at the lower limit).
        const int limit = offset / 12, output = offset % 12 / 4;
        if (limit < 2) {
            QVERIFY(!ask(instrument, write06(1, 642, limit == 0 ? output + 3 : output)).isEmpty());
            QVERIFY(std::abs(outputValue(instrument, limit, output) - (value + 0.001f)) < 1e-5f);
        }
    }

    void profileFiles_data()
    {
        QTest::addColumn<int>("file");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("answered");
        QTest::newRow("3-minute block") << 0 << 0 << 10 << 10;
        QTest::newRow("3-minute second block") << 0 << 10 << 10 << 10;
        QTest::newRow("3-minute end of file") << 0 << int(Instrument::kProfile3minRecords) - 3 << 10 << 3;
        QTest::newRow("30-minute record") << 10 << 5 << 1 << 1;
    }
    void profileFiles()
    {
        QFETCH(int, file);
        QFETCH(int, first);
        QFETCH(int, records);
        QFETCH(int, answered);
        Instrument instrument{InstrumentConfig{}};
        const QByteArray answer = ask(instrument, read20(1, file, first, records), 500.0);
        QCOMPARE(answer.size(), 7 + 18 * answered);
        QVERIFY(crcGood(answer));
        QCOMPARE(quint8(answer[1]), quint8(0x14));
        QCOMPARE(quint8(answer[3]) >> 4, answered);
        for (int r = 0; r < answered; ++r) {
            bool noData = false;
            const RegisterData record(reinterpret_cast<const std::uint8_t *>(answer.constData()) + 5 + 18 * r, 18);
            const float aPlus = RegToFloat(record, 0, noData);
            QVERIFY2(aPlus > 2.5f && aPlus < 4.0f, qPrintable(QString::number(aPlus)));
            QVERIFY(RegToWord(record, 8) & 0x0200);
        }
    }

    void framer_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<bool>("thenSilence");
        QTest::addColumn<QStringList>("events");
        const QByteArray read = read03(1, 0, 62);
        const QByteArray floatForm = write16Float(1, 2048, 8, 100.0f);
        const QByteArray list = write16(1, 2816, {1, 2, 3, 4, 5, 6});
        const QByteArray shortList = write16(1, 518, {4});
        const QByteArray file = read20(1, 0, 0, 10);
        const QByteArray unknown8 = test::withCrc(test::bytes({0x01, 0x04, 0, 0, 0, 2}));
        const QByteArray unknown5 = test::withCrc(test::bytes({0x01, 0x2B, 0x0E}));
        QByteArray corrupt = read;
        corrupt[3] = char(corrupt[3] ^ 1);
        const auto frame = [](const QByteArray &f) { return "frame " + f.toHex(' '); };

        QTest::newRow("whole") << QList<QByteArray>{read} << false << QStringList{frame(read)};
        QTest::newRow("in pieces") << QList<QByteArray>{read.left(1), read.mid(1, 4), read.mid(5)} << false
                                   << QStringList{frame(read)};
        QTest::newRow("two back to back") << QList<QByteArray>{read + list} << false
                                          << QStringList{frame(read), frame(list)};
        QTest::newRow("float form, count 8") << QList<QByteArray>{floatForm} << false << QStringList{frame(floatForm)};
        QTest::newRow("float form then read") << QList<QByteArray>{floatForm + read} << false
                                              << QStringList{frame(floatForm), frame(read)};
        QTest::newRow("list form") << QList<QByteArray>{list.left(10), list.mid(10)} << false << QStringList{frame(list)};
        QTest::newRow("one-word list") << QList<QByteArray>{shortList} << false << QStringList{frame(shortList)};
        QTest::newRow("function 20") << QList<QByteArray>{file} << false << QStringList{frame(file)};
        QTest::newRow("bad CRC drops the buffer") << QList<QByteArray>{corrupt + read} << false
                                                  << QStringList{"drop 16"};
        QTest::newRow("bad CRC, then a good frame") << QList<QByteArray>{corrupt, read} << false
                                                    << QStringList{"drop 8", frame(read)};
        QTest::newRow("partial frame ends at the gap") << QList<QByteArray>{read.left(5)} << true
                                                       << QStringList{"drop 5"};
        QTest::newRow("lone byte") << QList<QByteArray>{read.left(1)} << true << QStringList{"drop 1"};
        QTest::newRow("unknown function, 8 bytes") << QList<QByteArray>{unknown8} << false
                                                   << QStringList{frame(unknown8)};
        QTest::newRow("unknown function, other length") << QList<QByteArray>{unknown5} << true
                                                        << QStringList{frame(unknown5)};
        QTest::newRow("unknown function garbage") << QList<QByteArray>{test::bytes({0x01, 0x55, 1, 2, 3})} << true
                                                  << QStringList{"drop 5"};
    }
    void framer()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(bool, thenSilence);
        QFETCH(QStringList, events);
        RequestFramer framer;
        QStringList got;
        auto record = [&](const RequestFramer::Event &e) {
            if (e.kind == RequestFramer::Kind::Frame)
                got.append("frame " + toBytes(e.bytes).toHex(' '));
            else if (e.kind == RequestFramer::Kind::Dropped)
                got.append("drop " + QString::number(e.bytes.size()));
            return e.kind != RequestFramer::Kind::None;
        };
        for (const auto &chunk : chunks) {
            framer.append(reinterpret_cast<const std::uint8_t *>(chunk.constData()), std::size_t(chunk.size()));
            while (record(framer.next())) {
            }
        }
        if (thenSilence)
            record(framer.silence());
        QCOMPARE(got, events);
        QVERIFY(framer.empty());
    }

    void faultSchedule_data()
    {
        QTest::addColumn<QStringList>("arguments");
        // One letter per answer: . sent as is, D dropped, C CRC corrupted, S split, CS both.
        QTest::addColumn<QStringList>("plans");
        QTest::addColumn<int>("trailing");
        QTest::newRow("no faults") << QStringList{} << QStringList{".", ".", "."} << 0;
        QTest::newRow("drop every 3") << QStringList{"--drop-every", "3"} << QStringList{".", ".", "D", ".", ".", "D"} << 0;
        QTest::newRow("corrupt every 2") << QStringList{"--corrupt-crc-every", "2"} << QStringList{".", "C", ".", "C"} << 0;
        QTest::newRow("split every 2") << QStringList{"--split-every", "2", "--split-gap-ms", "30"}
                                       << QStringList{".", "S", ".", "S"} << 0;
        QTest::newRow("trailing") << QStringList{"--trailing", "3"} << QStringList{".", "."} << 3;
        QTest::newRow("combined") << QStringList{"--drop-every", "4", "--corrupt-crc-every", "2", "--split-every", "3"}
                                  << QStringList{".", "C", "S", "D", ".", "CS", ".", "D"} << 0;
        QTest::newRow("every 1") << QStringList{"--corrupt-crc-every", "1"} << QStringList{"C", "C"} << 0;
    }
    void faultSchedule()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, plans);
        QFETCH(int, trailing);
        std::vector<QByteArray> argStore{"tavro-sim"};
        for (const auto &a : arguments)
            argStore.push_back(a.toUtf8());
        std::vector<const char *> argv;
        for (const auto &a : argStore)
            argv.push_back(a.constData());
        SimOptions options;
        std::string error;
        QVERIFY(ParseOptions(int(argv.size()), argv.data(), options, error));

        const QByteArray answer = test::withCrc(test::bytes({0x01, 0x06, 0x02, 0x06, 0x00, 0x04}));
        const std::vector<std::uint8_t> bytes(answer.begin(), answer.end());
        FaultSchedule schedule(options.faults);
        QStringList got;
        for (qsizetype n = 0; n < plans.size(); ++n) {
            const AnswerPlan plan = schedule.plan(bytes);
            QString letters;
            if (plan.drop) {
                got.append("D");
                continue;
            }
            if (plan.corrupt)
                letters += 'C';
            if (plan.splitAt != 0) {
                letters += 'S';
                QVERIFY(plan.splitAt > 0 && plan.splitAt < plan.bytes.size());
                QCOMPARE(plan.gapMs, options.faults.splitGapMs);
            }
            got.append(letters.isEmpty() ? "." : letters);

            const QByteArray sent = toBytes(plan.bytes);
            QCOMPARE(sent.size(), answer.size() + trailing);
            QCOMPARE(crcGood(sent.left(answer.size())), !plan.corrupt);
            // Only one CRC bit differs when corrupted.
            QCOMPARE(sent.left(answer.size() - 1), answer.left(answer.size() - 1));
        }
        QCOMPARE(got, plans);
        QCOMPARE(schedule.answers(), std::size_t(plans.size()));
    }

    void lineTiming_data()
    {
        QTest::addColumn<int>("baud");
        QTest::newRow("9600") << 9600;
        QTest::newRow("38400") << 38400;
        QTest::newRow("115200") << 115200;
    }
    void lineTiming()
    {
        QFETCH(int, baud);
        const LineTiming timing{std::uint32_t(baud)};
        const double byteNs = 1e10 / baud;
        QVERIFY(std::abs(double(timing.bytesNs(1)) - byteNs) < 1.0);
        QVERIFY(std::abs(double(timing.bytesNs(137)) - 137 * byteNs) < 1.0);
        const std::int64_t start = 1'000'000'000;
        // A 129-byte answer ends exactly 129 byte times after the request; no byte is early.
        for (std::size_t i : {std::size_t(0), std::size_t(1), std::size_t(64), std::size_t(128)}) {
            const auto due = timing.answerByteDue(start, i);
            QCOMPARE(timing.answerBytesDue(start, due), i + 1);
            QCOMPARE(timing.answerBytesDue(start, due - 1), i);
        }
        QCOMPARE(timing.answerBytesDue(start, start - 5), std::size_t(0));
        QVERIFY(timing.answerByteDue(start, 128) - start >= std::int64_t(129 * byteNs));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::newRow("defaults") << QStringList{} << true;
        QTest::newRow("all") << QStringList{"--device", "/dev/ttyUSB0", "--address", "247", "--version", "150",
                                            "--baud", "38400", "--emulate-line", "--verbose", "--exit-with-parent",
                                            "--drop-every", "5", "--corrupt-crc-every", "6", "--split-every", "7",
                                            "--split-gap-ms", "40", "--trailing", "2", "--exception", "516:68",
                                            "--exception", "0x200:2", "--delay-ms", "10"}
                             << true;
        QTest::newRow("address 0") << QStringList{"--address", "0"} << false;
        QTest::newRow("address 248") << QStringList{"--address", "248"} << false;
        QTest::newRow("negative count") << QStringList{"--drop-every", "-1"} << false;
        QTest::newRow("missing value") << QStringList{"--address"} << false;
        QTest::newRow("not a number") << QStringList{"--baud", "fast"} << false;
        QTest::newRow("exception without code") << QStringList{"--exception", "516"} << false;
        QTest::newRow("exception code 0") << QStringList{"--exception", "516:0"} << false;
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << false;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        std::vector<QByteArray> argStore{"tavro-sim"};
        for (const auto &a : arguments)
            argStore.push_back(a.toUtf8());
        std::vector<const char *> argv;
        for (const auto &a : argStore)
            argv.push_back(a.constData());
        SimOptions options;
        std::string error;
        QCOMPARE(ParseOptions(int(argv.size()), argv.data(), options, error), valid);
        QCOMPARE(error.empty(), valid);
    }

    void commandLineValues()
    {
        const char *argv[] = {"tavro-sim", "--address", "7", "--version", "150", "--baud", "38400",
                              "--exception", "0x200:2", "--split-every", "3", "--split-gap-ms", "25"};
        SimOptions options;
        std::string error;
        QVERIFY(ParseOptions(int(std::size(argv)), argv, options, error));
        QCOMPARE(options.instrument.address, std::uint8_t(7));
        QCOMPARE(options.instrument.version, std::uint16_t(150));
        QCOMPARE(options.baud, 38400u);
        QCOMPARE(options.instrument.port1Speed, 38400u);
        QCOMPARE(options.instrument.forcedExceptions.size(), std::size_t(1));
        QCOMPARE(options.instrument.forcedExceptions[0].first, std::uint16_t(512));
        QCOMPARE(options.faults.splitEvery, 3u);
        QCOMPARE(options.faults.splitGapMs, 25u);
    }

    // The built simulator on a real pseudo-terminal: one measured-values read.
    void roundTripOverPty()
    {
        test::SimProcess sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorString()));
        const int fd = ::open(sim.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY2(fd >= 0, qPrintable(sim.devicePath()));
        const QByteArray request = test::bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x3E, 0xC4, 0x1A});
        QCOMPARE(::write(fd, request.constData(), std::size_t(request.size())), ssize_t(8));

        QByteArray answer;
        QDeadlineTimer deadline(5000);
        while (answer.size() < 129 && !deadline.hasExpired()) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, int(qMax<qint64>(1, deadline.remainingTime()))) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                answer.append(buffer, n);
        }
        ::close(fd);
        QCOMPARE(answer.size(), 129);
        QVERIFY(crcGood(answer));
        QCOMPARE(answer.left(3), test::bytes({0x01, 0x03, 124}));
        const QList<float> v = answerFloats(answer);
        QVERIFY(v[kUa] > 225 && v[kUa] < 235);
        QVERIFY(std::abs(v[kF] - 50.0f) < 0.05f);
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
