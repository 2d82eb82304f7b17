// Frames, CRC-16 and register encodings. Expected bytes were worked out apart from the code under
// test (a bit-by-bit CRC in Python) and are pasted here as wire bytes.
#include "conversion.h"
#include "crc16.h"
#include "encoding.h"
#include "frames.h"
#include "frame_util.h"
#include "modbus_errors.h"

#include <QtTest>

#include <cmath>
#include <random>
#include <vector>

using namespace tavro;

namespace {

// The CRC computed one bit at a time, as the Modbus serial-line documents describe it; the code
// under test uses the byte tables, so the two only agree if both are right.
std::uint16_t bitwiseCrc(const std::uint8_t *p, std::size_t n)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
    return crc;
}

const std::uint8_t *u8(const QByteArray &a) { return reinterpret_cast<const std::uint8_t *>(a.constData()); }

QByteArray hexBytes(const char *hex) { return QByteArray::fromHex(hex); }

enum class Form { Read03, Write06, Write16, Write16Float, Read20 };

QByteArray build(Form form, const TInquiry &inq, std::uint16_t slave)
{
    std::vector<std::uint8_t> tx(kFrameBufferSize + 16, 0xEE); // guard bytes after the buffer
    std::size_t n = 0;
    switch (form) {
    case Form::Read03: n = BuildRead03(tx.data(), inq, slave); break;
    case Form::Write06: n = BuildWrite06(tx.data(), inq, slave); break;
    case Form::Write16: n = BuildWrite16(tx.data(), inq, slave); break;
    case Form::Write16Float: n = BuildWrite16Float(tx.data(), inq, slave); break;
    case Form::Read20: n = BuildRead20(tx.data(), inq, slave); break;
    }
    for (std::size_t i = kFrameBufferSize; i < tx.size(); ++i)
        if (tx[i] != 0xEE)
            qFatal("frame builder wrote past the frame buffer");
    return QByteArray(reinterpret_cast<const char *>(tx.data()), qsizetype(n));
}

const std::uint16_t kThreeValues[] = {0x0102, 0xA0B0, 0xFFFF};

} // namespace

Q_DECLARE_METATYPE(Form)

class TestCrcFrames : public QObject {
    Q_OBJECT
private slots:
    void typedNumbers_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<double>("value");
        QTest::newRow("point, English") << "en_US" << "19.95" << true << 19.95;
        QTest::newRow("comma is no group separator, English") << "en_US" << "19,950" << false << 0.0;
        QTest::newRow("grouped thousands refused") << "en_US" << "1,234.5" << false << 0.0;
        QTest::newRow("comma, Russian") << "ru_RU" << "19,95" << true << 19.95;
        QTest::newRow("point accepted in Russian too") << "ru_RU" << " 19.95 " << true << 19.95;
        QTest::newRow("letters") << "ru_RU" << "12a" << false << 0.0;
        QTest::newRow("empty") << "ru_RU" << "" << false << 0.0;
        QTest::newRow("negative") << "de_DE" << "-0,5" << true << -0.5;
    }
    void typedNumbers()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, converts);
        QFETCH(double, value);
        const QLocale previous;
        QLocale::setDefault(QLocale(locale));
        try {
            const double got = StrToFloat(text);
            QVERIFY2(converts, qPrintable(text));
            QCOMPARE(got, value);
        } catch (const ConversionError &e) {
            QVERIFY2(!converts, e.what());
            QVERIFY(e.text().contains(QStringLiteral("'") + text + QStringLiteral("'")));
        }
        QLocale::setDefault(previous);
    }

    void crcOfKnownInputs_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("wire"); // the two CRC bytes in the order they are sent
        QTest::newRow("empty") << QByteArray() << hexBytes("FFFF");
        QTest::newRow("123456789") << QByteArray("123456789") << hexBytes("374B");
        QTest::newRow("read 62 registers") << hexBytes("01030000003E") << hexBytes("C41A");
        QTest::newRow("exception 2") << hexBytes("018302") << hexBytes("C0F1");
        QTest::newRow("142 zero bytes") << QByteArray(142, '\0') << hexBytes("A544");
    }
    void crcOfKnownInputs()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, wire);
        const std::uint16_t crc = CalcCRC16(u8(input), std::size_t(input.size()));
        QCOMPARE(std::uint8_t(crc & 0xFF), std::uint8_t(wire[0]));
        QCOMPARE(std::uint8_t(crc >> 8), std::uint8_t(wire[1]));
        QCOMPARE(test::withCrc(input).right(2), wire);
    }

    // Every length up to a full buffer and every byte value, against the bitwise form.
    void crcAgreesWithBitwiseForm()
    {
        std::mt19937 rng(12345);
        std::vector<std::uint8_t> buf(4096);
        for (auto &b : buf)
            b = std::uint8_t(rng());
        for (std::size_t len = 0; len <= buf.size(); len += (len < 300 ? 1 : 97))
            QCOMPARE(CalcCRC16(buf.data(), len), bitwiseCrc(buf.data(), len));
        for (int v = 0; v < 256; ++v) {
            const std::uint8_t one = std::uint8_t(v);
            QCOMPARE(CalcCRC16(&one, 1), bitwiseCrc(&one, 1));
        }
    }

    void appendCrcPutsLowByteFirst()
    {
        std::uint8_t frame[8] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x3E, 0, 0};
        QCOMPARE(AppendCRC16(frame, 6), std::size_t(8));
        QCOMPARE(frame[6], std::uint8_t(0xC4));
        QCOMPARE(frame[7], std::uint8_t(0x1A));
    }

    void anySingleBitFlipBreaksTheCheck_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("read request") << hexBytes("01030000003EC41A");
        QTest::newRow("exception") << hexBytes("018302C0F1");
        QTest::newRow("write echo") << hexBytes("01060204001109BF");
        QTest::newRow("float write") << hexBytes("05100800000810434800002464");
        QByteArray long_;
        for (int i = 0; i < 129 - 2; ++i)
            long_.append(char(i * 37 + 11));
        QTest::newRow("129-byte answer") << test::withCrc(long_);
    }
    void anySingleBitFlipBreaksTheCheck()
    {
        QFETCH(QByteArray, frame);
        QCOMPARE(CalcCRC16(u8(frame), std::size_t(frame.size())), std::uint16_t(0));
        QCOMPARE(bitwiseCrc(u8(frame), std::size_t(frame.size())), std::uint16_t(0));
        for (int bit = 0; bit < frame.size() * 8; ++bit) {
            QByteArray bad = frame;
            bad[bit / 8] = char(bad[bit / 8] ^ (1 << (bit % 8)));
            if (CalcCRC16(u8(bad), std::size_t(bad.size())) == 0)
                QFAIL(qPrintable(QStringLiteral("flipping bit %1 still checks to zero").arg(bit)));
        }
    }

    void requestFrames_data()
    {
        QTest::addColumn<Form>("form");
        QTest::addColumn<int>("slave");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("value");
        QTest::addColumn<float>("fvalue");
        QTest::addColumn<int>("fileNum");
        QTest::addColumn<int>("recNum");
        QTest::addColumn<int>("recCount");
        QTest::addColumn<bool>("withValues");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("f3 measured values") << Form::Read03 << 1 << 0 << 62 << 0 << 0.f << 0 << 0 << 0 << false
                                            << hexBytes("01030000003EC41A");
        QTest::newRow("f3 slave 247") << Form::Read03 << 247 << 528 << 1 << 0 << 0.f << 0 << 0 << 0 << false
                                      << hexBytes("F7030210000190E1");
        QTest::newRow("f3 slave 0x1F7 keeps low byte") << Form::Read03 << 0x1F7 << 528 << 1 << 0 << 0.f << 0 << 0 << 0
                                                       << false << hexBytes("F7030210000190E1");
        QTest::newRow("f6") << Form::Write06 << 1 << 0x204 << 0 << 0x11 << 0.f << 0 << 0 << 0 << false
                            << hexBytes("01060204001109BF");
        QTest::newRow("f6 high value") << Form::Write06 << 0x20 << 0x2FE << 0 << 0xABCD << 0.f << 0 << 0 << 0 << false
                                       << hexBytes("200602FEABCD5196");
        QTest::newRow("f16 list, Count 0") << Form::Write16 << 1 << 0xB00 << 0 << 0 << 0.f << 0 << 0 << 0 << true
                                           << hexBytes("01100B00000000AC91");
        QTest::newRow("f16 list, Count 3") << Form::Write16 << 1 << 0x400 << 3 << 0 << 0.f << 0 << 0 << 0 << true
                                           << hexBytes("011004000003060102A0B0FFFFA9F6");
        QTest::newRow("f16 float, Count 2") << Form::Write16Float << 1 << 0x700 << 2 << 0 << 1.5f << 0 << 0 << 0
                                            << false << hexBytes("011007000002043FC00000D9B7");
        QTest::newRow("f16 float, Count 8") << Form::Write16Float << 5 << 0x800 << 8 << 0 << 200.0f << 0 << 0 << 0
                                            << false << hexBytes("05100800000810434800002464");
        QTest::newRow("f16 float, negative") << Form::Write16Float << 1 << 0x804 << 2 << 0 << -0.1f << 0 << 0 << 0
                                             << false << hexBytes("01100804000204BDCCCCCDE55A");
        QTest::newRow("f20 one record") << Form::Read20 << 1 << 0 << 0 << 0 << 0.f << 10 << 5 << 1 << false
                                        << hexBytes("01140C000A000500084259");
        QTest::newRow("f20 ten records") << Form::Read20 << 1 << 0 << 0 << 0 << 0.f << 0 << 0x123 << 10 << false
                                         << hexBytes("01140C0000012300503B95");
    }
    void requestFrames()
    {
        QFETCH(Form, form);
        QFETCH(int, slave);
        QFETCH(int, reg);
        QFETCH(int, count);
        QFETCH(int, value);
        QFETCH(float, fvalue);
        QFETCH(int, fileNum);
        QFETCH(int, recNum);
        QFETCH(int, recCount);
        QFETCH(bool, withValues);
        QFETCH(QByteArray, expected);

        TInquiry inq;
        inq.Addr = 0x55; // the builders take the slave they are given, never the record's own
        inq.Reg = std::uint16_t(reg);
        inq.Count = std::uint16_t(count);
        inq.Value = std::uint16_t(value);
        inq.FValue = fvalue;
        inq.FileNum = std::uint16_t(fileNum);
        inq.RecNum = std::uint16_t(recNum);
        inq.RecCount = std::uint16_t(recCount);
        inq.Values = withValues ? kThreeValues : nullptr;
        const QByteArray frame = build(form, inq, std::uint16_t(slave));
        QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    }

    // The list form's byte count is the low byte of 2 x Count; the frame still carries every word.
    void write16ListLengthFollowsCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("byteCount");
        QTest::newRow("1") << 1 << 2;
        QTest::newRow("127") << 127 << 254;
        QTest::newRow("128") << 128 << 0;
        QTest::newRow("200") << 200 << 0x90;
    }
    void write16ListLengthFollowsCount()
    {
        QFETCH(int, count);
        QFETCH(int, byteCount);
        std::vector<std::uint16_t> values(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            values[std::size_t(i)] = std::uint16_t(0x1000 + i);
        TInquiry inq;
        inq.Reg = 0xB00;
        inq.Count = std::uint16_t(count);
        inq.Values = values.data();
        const QByteArray f = build(Form::Write16, inq, 1);
        QCOMPARE(f.size(), 9 + 2 * count);
        QCOMPARE(std::uint8_t(f[6]), std::uint8_t(byteCount));
        QCOMPARE(std::uint8_t(f[7 + 2 * (count - 1)]), std::uint8_t(0x10 + ((count - 1) >> 8)));
        QCOMPARE(std::uint8_t(f[8 + 2 * (count - 1)]), std::uint8_t((count - 1) & 0xFF));
        QCOMPARE(bitwiseCrc(u8(f), std::size_t(f.size())), std::uint16_t(0));
    }

    // A Count too large for the frame buffer gives a shorter frame, never a write past the buffer.
    void write16ListNeverOverrunsTheBuffer()
    {
        TInquiry inq;
        inq.Count = 0xFFFF;
        const QByteArray f = build(Form::Write16, inq, 1);
        QVERIFY(f.size() <= int(kFrameBufferSize));
        QCOMPARE(bitwiseCrc(u8(f), std::size_t(f.size())), std::uint16_t(0));
    }

    void regToFloat_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("index");
        QTest::addColumn<float>("expected");
        QTest::addColumn<bool>("noData");
        QTest::newRow("200.0") << hexBytes("43480000") << 0 << 200.0f << false;
        QTest::newRow("no data") << hexBytes("FFFFFFFF") << 0 << 0.0f << true;
        QTest::newRow("second value") << hexBytes("FFFFFFFF3FC00000") << 1 << 1.5f << false;
        QTest::newRow("negative") << hexBytes("BDCCCCCD") << 0 << -0.1f << false;
        QTest::newRow("zero") << hexBytes("00000000") << 0 << 0.0f << false;
        QTest::newRow("past the end is no data") << hexBytes("43480000") << 1 << 0.0f << true;
    }
    void regToFloat()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, index);
        QFETCH(float, expected);
        QFETCH(bool, noData);
        bool flag = !noData; // the call must set or clear it, whatever it was
        const float v = RegToFloat(RegisterData(u8(data), std::size_t(data.size())), std::size_t(index), flag);
        QCOMPARE(flag, noData);
        QCOMPARE(v, expected);
    }

    // Only all four bytes 0xFF mean no data; a no-data low or high register alone is a number.
    void regToFloatPartialAllOnesIsANumber_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("low register FFFF") << hexBytes("0000FFFF");
        QTest::newRow("high register FFFF") << hexBytes("FFFF0000");
        QTest::newRow("FFFFFFFE") << hexBytes("FFFFFFFE");
    }
    void regToFloatPartialAllOnesIsANumber()
    {
        QFETCH(QByteArray, data);
        bool flag = true;
        const float v = RegToFloat(RegisterData(u8(data), std::size_t(data.size())), 0, flag);
        QVERIFY(!flag);
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        QCOMPARE(bits, std::uint32_t(std::uint8_t(data[0])) << 24 | std::uint32_t(std::uint8_t(data[1])) << 16
                           | std::uint32_t(std::uint8_t(data[2])) << 8 | std::uint8_t(data[3]));
    }

    void floatToBytes()
    {
        std::uint8_t out[4];
        FloatToBytes(200.0f, out);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(out), 4), hexBytes("43480000"));
        FloatToBytes(-0.1f, out);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(out), 4), hexBytes("BDCCCCCD"));
    }

    void regToWord_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("expected");
        QTest::newRow("first") << hexBytes("12345678") << 0 << 0x1234;
        QTest::newRow("second") << hexBytes("12345678") << 1 << 0x5678;
        QTest::newRow("high bit") << hexBytes("FFFE") << 0 << 0xFFFE;
        QTest::newRow("odd size, half past the end") << hexBytes("123456") << 1 << 0x56FF;
        QTest::newRow("past the end") << hexBytes("1234") << 5 << 0xFFFF;
        QTest::newRow("empty") << QByteArray() << 0 << 0xFFFF;
    }
    void regToWord()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, index);
        QFETCH(int, expected);
        QCOMPARE(int(RegToWord(RegisterData(u8(data), std::size_t(data.size())), std::size_t(index))), expected);
    }

    void swapBytes_data()
    {
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("1234") << 0x1234 << 0x3412;
        QTest::newRow("00FF") << 0x00FF << 0xFF00;
        QTest::newRow("0000") << 0 << 0;
        QTest::newRow("ABAB") << 0xABAB << 0xABAB;
    }
    void swapBytes()
    {
        QFETCH(int, in);
        QFETCH(int, out);
        QCOMPARE(int(SwapBytes(std::uint16_t(in))), out);
    }

    void exceptionTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const QStringList withText = {
            QStringLiteral("MB_EX_NONE"),
            QStringLiteral("Код запроса не поддерживается"),
            QStringLiteral("Адрес данных указанный в запросе недоступен"),
            QStringLiteral("Данные в запросе являются недопустимой величиной"),
            QStringLiteral("Невосстанавливаемая ошибка"),
            QStringLiteral("Обработка запроса требует много времени"),
            QStringLiteral("Подчиненный занят обработкой команды"),
            QStringLiteral("На изменяемый параметр установлена аппаратная защита"),
            QStringLiteral("Ошибка паритета"),
            QString(),
            QStringLiteral("MB_EX_GATEWAY_PATH_FAILED"),
            QStringLiteral("MB_EX_GATEWAY_TGT_FAILED"),
        };
        const QStringList own = {
            QStringLiteral("Начало информации не кратно размерности"),
            QStringLiteral("Размер запрашиваемой информации превышает допустимую величину"),
            QStringLiteral("По запрашиваемому адресу информация отсутствует или закрыта"),
            QStringLiteral("Не указан точный размер информации"),
            QStringLiteral("недопустимый сетевой адрес"),
            QStringLiteral("Попытка установить недопустимое значение"),
            QStringLiteral("На изменяемый параметр установлена аппаратная защита"),
            QStringLiteral("Передан неверный пароль"),
        };
        for (int code = 0; code < 256; ++code) {
            QString text;
            if (code < withText.size())
                text = withText[code];
            else if (code >= 64 && code < 64 + own.size())
                text = own[code - 64];
            QTest::addRow("%d", code) << code << text;
        }
    }
    void exceptionTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(ModbusErrorText(code), text);
        QCOMPARE(ModbusErrorText(code).isEmpty(), text.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCrcFrames)
#include "tst_crc_frames.moc"
