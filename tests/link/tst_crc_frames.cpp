#include "crc16.h"
#include "encoding.h"
#include "frames.h"
#include "frame_util.h"

#include <QtTest>

using namespace tavro;

class TestCrcFrames : public QObject {
    Q_OBJECT
private slots:
    void crcOfKnownInputs()
    {
        QCOMPARE(CalcCRC16(nullptr, 0), std::uint16_t(0xFFFF));
        const std::uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
        const auto crc = CalcCRC16(digits, 9);
        QCOMPARE(crc & 0xFF, 0x37); // wire order: 37 4B
        QCOMPARE(crc >> 8, 0x4B);
    }
    void measuredValuesRead()
    {
        std::uint8_t tx[kFrameBufferSize];
        TInquiry inq;
        inq.Reg = 0;
        inq.Count = 62;
        const auto n = BuildRead03(tx, inq, 1);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(tx), int(n)), test::bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x3E, 0xC4, 0x1A}));
    }
};

QTEST_GUILESS_MAIN(TestCrcFrames)
#include "tst_crc_frames.moc"
