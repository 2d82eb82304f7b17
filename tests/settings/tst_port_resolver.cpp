// Port numbers to devices: the run's mapping, Tavro.ini, then the system's devices in order.
#include "cp1251.h"
#include "port_resolver.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using PortMap = QMap<int, QString>;

class TestPortResolver : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    AppSettings settingsWith(const QString &iniText)
    {
        const QString path = dir_.filePath(QStringLiteral("Tavro.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot prepare %s", qPrintable(path));
        file.write(toCp1251(iniText));
        return AppSettings(path);
    }

private slots:
    void resolves_data()
    {
        QTest::addColumn<PortMap>("overrides");
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("device");

        const QStringList system{"/dev/ttyS0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyUSB0"};
        const QString ini = QStringLiteral("[Порты]\nComm1=/dev/ttyS4\nComm3=\n");
        const PortMap run{{1, "/tmp/pty1"}, {5, "/tmp/pty5"}};

        QTest::newRow("run mapping wins over ini") << run << ini << system << 1 << "/tmp/pty1";
        QTest::newRow("run mapping past the system list") << run << ini << system << 5 << "/tmp/pty5";
        QTest::newRow("ini wins over system") << PortMap{} << ini << system << 1 << "/dev/ttyS4";
        QTest::newRow("ini key in other case") << PortMap{} << "[порты]\ncomm2=/dev/x\n"
                                               << system << 2 << "/dev/x";
        QTest::newRow("empty ini value falls to system") << PortMap{} << ini << system << 3 << "/dev/ttyACM0";
        QTest::newRow("system, first is the lowest USB")
            << PortMap{} << QString() << system << 1 << "/dev/ttyUSB0";
        QTest::newRow("system, second") << PortMap{} << QString() << system << 2 << "/dev/ttyUSB1";
        QTest::newRow("system, last") << PortMap{} << QString() << system << 4 << "/dev/ttyS0";
        QTest::newRow("system numbering ignores other sources")
            << run << ini << system << 2 << "/dev/ttyUSB1";
        QTest::newRow("past the system list") << PortMap{} << QString() << system << 5 << "";
        QTest::newRow("no devices at all") << PortMap{} << QString() << QStringList{} << 1 << "";
        QTest::newRow("zero") << PortMap{} << "[Порты]\nComm0=/dev/x\n" << system << 0 << "";
        QTest::newRow("seventeen") << PortMap{{17, "/dev/x"}} << "[Порты]\nComm17=/dev/x\n"
                                   << system << 17 << "";
        QTest::newRow("negative") << PortMap{} << QString() << system << -1 << "";
    }
    void resolves()
    {
        QFETCH(PortMap, overrides);
        QFETCH(QString, ini);
        QFETCH(QStringList, system);
        QFETCH(int, number);
        QFETCH(QString, device);
        PortResolver resolver(settingsWith(ini), [system] { return system; });
        resolver.setOverrides(overrides);
        QCOMPARE(resolver.resolve(number), device);
    }

    void seesIniChangesAfterConstruction()
    {
        AppSettings settings = settingsWith(QString());
        const PortResolver resolver(settings, [] { return QStringList{"/dev/ttyS0"}; });
        QCOMPARE(resolver.resolve(1), QStringLiteral("/dev/ttyS0"));
        settingsWith(QStringLiteral("[Порты]\nComm1=/dev/other\n"));
        QCOMPARE(resolver.resolve(1), QStringLiteral("/dev/other"));
    }

    void ordersSystemDevices_data()
    {
        QTest::addColumn<QStringList>("reported");
        QTest::addColumn<QStringList>("ordered");
        QTest::newRow("usb numbers as numbers")
            << QStringList{"/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyUSB0"}
            << QStringList{"/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10"};
        QTest::newRow("usb, then acm, then the rest")
            << QStringList{"/dev/ttyS0", "/dev/ttyACM1", "/dev/rfcomm0", "/dev/ttyACM0", "/dev/ttyUSB3"}
            << QStringList{"/dev/ttyUSB3", "/dev/ttyACM0", "/dev/ttyACM1", "/dev/rfcomm0", "/dev/ttyS0"};
        QTest::newRow("the rest by name, numbers as numbers")
            << QStringList{"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyAMA0", "/dev/ttyS1", "/dev/ttyS0"}
            << QStringList{"/dev/ttyAMA0", "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10"};
        QTest::newRow("long numbers do not overflow")
            << QStringList{"/dev/ttyS99999999999999999999", "/dev/ttyS3"}
            << QStringList{"/dev/ttyS3", "/dev/ttyS99999999999999999999"};
        QTest::newRow("duplicates once") << QStringList{"/dev/ttyS1", "/dev/ttyS1", "/dev/ttyUSB0"}
                                         << QStringList{"/dev/ttyUSB0", "/dev/ttyS1"};
        QTest::newRow("empty") << QStringList{} << QStringList{};
    }
    void ordersSystemDevices()
    {
        QFETCH(QStringList, reported);
        QFETCH(QStringList, ordered);
        QCOMPARE(PortResolver::orderSystemPorts(reported), ordered);
    }

    void describesEachNumber()
    {
        int listings = 0;
        PortResolver resolver(settingsWith(QStringLiteral("[Порты]\nComm2=/dev/fromini\n")), [&listings] {
            ++listings;
            return QStringList{"/dev/ttyUSB0"};
        });
        resolver.setOverrides({{3, "/tmp/pty"}});
        QCOMPARE(resolver.describe(1), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(resolver.describe(2), QStringLiteral("/dev/fromini"));
        QCOMPARE(resolver.describe(3), QStringLiteral("/tmp/pty"));
        QCOMPARE(resolver.describe(4), QStringLiteral("Нет устройства для Comm4"));

        listings = 0;
        const QStringList all = resolver.describeAll();
        QCOMPARE(listings, 1);
        QCOMPARE(all.size(), 16);
        QCOMPARE(all.mid(0, 4),
                 (QStringList{"/dev/ttyUSB0", "/dev/fromini", "/tmp/pty", "Нет устройства для Comm4"}));
        QCOMPARE(all.last(), QStringLiteral("Нет устройства для Comm16"));
    }

    void parsesPortMapEntries_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<PortMap>("ports");
        QTest::addColumn<QStringList>("badEntries");
        QTest::newRow("none") << QStringList{} << PortMap{} << QStringList{};
        QTest::newRow("one") << QStringList{"1=/dev/pts/3"} << PortMap{{1, "/dev/pts/3"}} << QStringList{};
        QTest::newRow("several") << QStringList{"16=/b", "2=/a"} << PortMap{{2, "/a"}, {16, "/b"}}
                                 << QStringList{};
        QTest::newRow("later wins") << QStringList{"2=/a", "2=/b"} << PortMap{{2, "/b"}} << QStringList{};
        QTest::newRow("equals in path")
            << QStringList{"3=/tmp/a=b"} << PortMap{{3, "/tmp/a=b"}} << QStringList{};
        QTest::newRow("blanks") << QStringList{" 4 = /x "} << PortMap{{4, "/x"}} << QStringList{};
        QTest::newRow("not a number") << QStringList{"x=/a"} << PortMap{} << QStringList{"x=/a"};
        QTest::newRow("zero") << QStringList{"0=/a"} << PortMap{} << QStringList{"0=/a"};
        QTest::newRow("seventeen") << QStringList{"17=/a"} << PortMap{} << QStringList{"17=/a"};
        QTest::newRow("no path") << QStringList{"5="} << PortMap{} << QStringList{"5="};
        QTest::newRow("no equals") << QStringList{"5"} << PortMap{} << QStringList{"5"};
        QTest::newRow("no number") << QStringList{"=/a"} << PortMap{} << QStringList{"=/a"};
        QTest::newRow("good ones kept") << QStringList{"1=/a", "bad", "2=/b", "99=/c"}
                                        << PortMap{{1, "/a"}, {2, "/b"}} << QStringList{"bad", "99=/c"};
    }
    void parsesPortMapEntries()
    {
        QFETCH(QStringList, entries);
        QFETCH(PortMap, ports);
        QFETCH(QStringList, badEntries);
        QString error;
        QCOMPARE(parsePortMapArgs(entries, &error), ports);
        const QStringList lines = error.isEmpty() ? QStringList() : error.split(u'\n');
        QCOMPARE(lines.size(), badEntries.size());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(lines[i].contains(badEntries[i]), qPrintable(lines[i]));
        QCOMPARE(parsePortMapArgs(entries), ports); // the error text is optional
    }
};

QTEST_GUILESS_MAIN(TestPortResolver)
#include "tst_port_resolver.moc"
