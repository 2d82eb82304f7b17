// The serial port over QSerialPort, driven through a pseudo-terminal whose slave side the resolver
// maps to a port number, as an adapter would be.
#include "port_resolver.h"
#include "qt_serial_port.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>

using tavro::Parity;
using tavro::PortError;
using tavro::QtSerialPort;

namespace {

constexpr int kIoTimeoutMs = 5000;

// The master side of a pseudo-terminal; the port under test opens its slave.
class Pty {
public:
    Pty()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            qFatal("no pseudo-terminal: %s", strerror(errno));
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        slave_ = QString::fromLocal8Bit(ptsname(master_));
    }
    ~Pty() { close(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    const QString &slavePath() const { return slave_; }
    int fd() const { return master_; }

    void send(const QByteArray &bytes) const
    {
        if (::write(master_, bytes.constData(), size_t(bytes.size())) != bytes.size())
            qFatal("pty write failed");
    }
    // Whatever the port has written so far.
    QByteArray take() const
    {
        char buf[256];
        QByteArray got;
        for (ssize_t n; (n = ::read(master_, buf, sizeof buf)) > 0;)
            got.append(buf, n);
        return got;
    }
    // The line settings the slave side has, which a master shares on Linux.
    termios settings() const
    {
        termios t{};
        tcgetattr(master_, &t);
        return t;
    }
    void close()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    QString slave_;
};

} // namespace

class TestQtSerialPort : public QObject {
    Q_OBJECT

    static QByteArray readAll(QtSerialPort &port)
    {
        QByteArray got(port.bytesAvailable(), '\0');
        got.resize(port.read(reinterpret_cast<std::uint8_t *>(got.data()), int(got.size())));
        return got;
    }
    static void write(QtSerialPort &port, const QByteArray &bytes)
    {
        port.write(reinterpret_cast<const std::uint8_t *>(bytes.constData()), int(bytes.size()));
    }

private slots:
    void receivesAndSends()
    {
        Pty pty;
        PortResolver resolver(AppSettings(QString()), [] { return QStringList(); });
        resolver.setOverrides({{3, pty.slavePath()}});
        QtSerialPort port(resolver);
        port.setPortNumber(3);
        QVERIFY(!port.isOpen()); // opened on first use only

        port.clearInput();
        QVERIFY(port.isOpen());
        QCOMPARE(port.deviceName(), pty.slavePath());

        QList<int> counts;
        connect(&port, &tavro::SerialPort::bytesArrived, this, [&](int count) {
            QCOMPARE(count, port.bytesAvailable()); // the count is what is waiting right then
            counts.append(count);
        });
        const QByteArray answer("\x01\x03\x04\x00\xFF\x12\x34", 7);
        pty.send(answer);
        QTRY_COMPARE_WITH_TIMEOUT(port.bytesAvailable(), int(answer.size()), kIoTimeoutMs);
        QVERIFY(!counts.isEmpty());
        QCOMPARE(counts.last(), int(answer.size()));

        std::uint8_t first[2] = {};
        QCOMPARE(port.peek(first, 2), 2);
        QCOMPARE(first[0], 0x01);
        QCOMPARE(first[1], 0x03);
        QCOMPARE(port.bytesAvailable(), int(answer.size())); // peeking takes nothing
        QCOMPARE(readAll(port), answer);
        QCOMPARE(port.bytesAvailable(), 0);

        const QByteArray request("\x01\x03\x00\x00\x00\x3E\xC4\x1A", 8);
        write(port, request);
        QByteArray sent;
        QTRY_COMPARE_WITH_TIMEOUT((sent += pty.take()), request, kIoTimeoutMs);
    }

    void clearInputDropsWaitingBytes()
    {
        Pty pty;
        PortResolver resolver(AppSettings(QString()), [&pty] { return QStringList{pty.slavePath()}; });
        QtSerialPort port(resolver); // Comm1: the only system device
        port.clearOutput();
        QCOMPARE(port.deviceName(), pty.slavePath());
        pty.send("stale");
        QTRY_COMPARE_WITH_TIMEOUT(port.bytesAvailable(), 5, kIoTimeoutMs);
        port.clearInput();
        QCOMPARE(port.bytesAvailable(), 0);
        std::uint8_t byte;
        QCOMPARE(port.read(&byte, 1), 0);
    }

    // A pseudo-terminal keeps speed and stop bits but always runs 8 bits without parity.
    void lineFormatReachesTheDevice_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<bool>("setWhileOpen");
        QTest::newRow("9600, one stop bit, at open") << 9600 << 1 << false;
        QTest::newRow("19200, two stop bits, at open") << 19200 << 2 << false;
        QTest::newRow("1200, two stop bits, while open") << 1200 << 2 << true;
        QTest::newRow("38400, one stop bit, while open") << 38400 << 1 << true;
    }
    void lineFormatReachesTheDevice()
    {
        QFETCH(int, baud);
        QFETCH(int, stopBits);
        QFETCH(bool, setWhileOpen);
        Pty pty;
        PortResolver resolver(AppSettings(QString()), [] { return QStringList(); });
        resolver.setOverrides({{1, pty.slavePath()}});
        QtSerialPort port(resolver);
        if (setWhileOpen) {
            port.setBaudRate(4800);
            port.setStopBits(stopBits == 1 ? 2 : 1);
            port.clearOutput();
        }
        port.setBaudRate(baud);
        port.setStopBits(stopBits);
        port.setDataBits(8);
        port.setParity(Parity::None);
        port.clearOutput();
        QVERIFY(port.isOpen());
        const termios t = pty.settings();
        const std::map<int, speed_t> speeds{{1200, B1200}, {9600, B9600}, {19200, B19200}, {38400, B38400}};
        QCOMPARE(cfgetospeed(&t), speeds.at(baud));
        QCOMPARE(cfgetispeed(&t), speeds.at(baud));
        QCOMPARE(bool(t.c_cflag & CSTOPB), stopBits == 2);
        QCOMPARE(t.c_cflag & (CSIZE | PARENB), tcflag_t(CS8));
        QVERIFY(!(t.c_cflag & CRTSCTS));
        QVERIFY(!(t.c_iflag & (IXON | IXOFF)));
    }

    // The pseudo-terminal stands in for a device that refuses a parity or a character size.
    void refusedLineFormatIsReported_data()
    {
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::newRow("even parity") << int(Parity::Even) << 8;
        QTest::newRow("seven bits") << int(Parity::None) << 7;
    }
    void refusedLineFormatIsReported()
    {
        QFETCH(int, parity);
        QFETCH(int, dataBits);
        Pty pty;
        PortResolver resolver(AppSettings(QString()), [] { return QStringList(); });
        resolver.setOverrides({{1, pty.slavePath()}});

        QtSerialPort atOpen(resolver);
        atOpen.setParity(Parity(parity));
        atOpen.setDataBits(dataBits);
        QVERIFY_THROWS_EXCEPTION(PortError, atOpen.clearOutput());
        QVERIFY(!atOpen.isOpen());

        QtSerialPort whileOpen(resolver);
        whileOpen.clearOutput();
        whileOpen.setParity(Parity(parity));
        whileOpen.setDataBits(dataBits);
        QVERIFY(!whileOpen.isOpen());
        QVERIFY_THROWS_EXCEPTION(PortError, whileOpen.clearOutput());
        whileOpen.setParity(Parity::None); // back to a format the device takes
        whileOpen.setDataBits(8);
        whileOpen.clearOutput();
        QVERIFY(whileOpen.isOpen());
    }

    void changingTheNumberClosesThePort()
    {
        Pty pty;
        PortResolver resolver(AppSettings(QString()), [] { return QStringList(); });
        resolver.setOverrides({{1, pty.slavePath()}});
        QtSerialPort port(resolver);
        port.clearOutput();
        port.setPortNumber(1); // the same number keeps it open
        QVERIFY(port.isOpen());
        port.setPortNumber(2);
        QVERIFY(!port.isOpen());
        QCOMPARE(port.portNumber(), 2);
        QVERIFY_THROWS_EXCEPTION(PortError, port.clearOutput()); // Comm2 has no device
        port.setPortNumber(1);
        port.clearOutput();
        QVERIFY(port.isOpen());
    }

    void everyUseNeedsADevice_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("operation");
        for (const int number : {0, 2, 17})
            for (int operation = 0; operation < 4; ++operation)
                QTest::addRow("Comm%d op%d", number, operation) << number << operation;
    }
    void everyUseNeedsADevice()
    {
        QFETCH(int, number);
        QFETCH(int, operation);
        PortResolver resolver(AppSettings(QString()), [] { return QStringList{"/dev/ttyS0"}; });
        resolver.setOverrides({{2, QStringLiteral("/nonexistent/tty")}});
        QtSerialPort port(resolver);
        port.setPortNumber(number); // setting a number never fails; using it does
        std::uint8_t bytes[4] = {1, 2, 3, 4};
        try {
            switch (operation) {
            case 0:
                port.clearOutput();
                break;
            case 1:
                port.clearInput();
                break;
            case 2:
                port.write(bytes, 4);
                break;
            default:
                port.read(bytes, 4);
                break;
            }
            QFAIL("no PortError");
        } catch (const PortError &e) {
            QVERIFY(QString::fromStdString(e.what()).contains(QStringLiteral("Comm%1").arg(number)));
        }
        QVERIFY(!port.isOpen());
        QCOMPARE(port.bytesAvailable(), 0);
        QCOMPARE(port.peek(bytes, 4), 0);
    }

    void deviceThatVanishesIsReopenedWhenBack()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyTavro"));
        PortResolver resolver(AppSettings(QString()), [] { return QStringList(); });
        resolver.setOverrides({{4, link}});
        QtSerialPort port(resolver);
        port.setPortNumber(4);

        auto pty = std::make_unique<Pty>();
        QVERIFY(QFile::link(pty->slavePath(), link));
        port.clearOutput();
        QVERIFY(port.isOpen());

        // Pulled out: the line hangs up under the open port, and the device name is gone.
        pty.reset();
        QVERIFY(QFile::remove(link));
        QTRY_VERIFY_WITH_TIMEOUT(!port.isOpen(), kIoTimeoutMs);
        QVERIFY_THROWS_EXCEPTION(PortError, port.clearOutput());
        QVERIFY_THROWS_EXCEPTION(PortError, write(port, "x"));

        // Plugged in again, under the same name.
        pty = std::make_unique<Pty>();
        QVERIFY(QFile::link(pty->slavePath(), link));
        port.clearOutput();
        QVERIFY(port.isOpen());
        QSignalSpy arrived(&port, &tavro::SerialPort::bytesArrived);
        pty->send("ok");
        QTRY_COMPARE_WITH_TIMEOUT(port.bytesAvailable(), 2, kIoTimeoutMs);
        QVERIFY(!arrived.isEmpty());
        QCOMPARE(readAll(port), QByteArray("ok"));
    }

    void writeToAHungUpLineClosesThePort()
    {
        Pty pty;
        PortResolver resolver(AppSettings(QString()), [] { return QStringList(); });
        resolver.setOverrides({{1, pty.slavePath()}});
        QtSerialPort port(resolver);
        port.clearOutput();
        pty.close();
        // Whichever comes first, the hang-up noticed on reading or the failed write, closes it.
        try {
            write(port, "abc");
        } catch (const PortError &) {
        }
        QTRY_VERIFY_WITH_TIMEOUT(!port.isOpen(), kIoTimeoutMs);
        QVERIFY_THROWS_EXCEPTION(PortError, port.clearInput()); // the slave went with its master
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qt_serial_port.moc"
