// Code page 1251, the INI file reader and writer, and Tavro.ini's typed settings.
#include "app_settings.h"
#include "cp1251.h"
#include "ini_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The names of Tavro.ini in code page 1251, as iconv -t cp1251 gives them.
const QByteArray kConnectionCp1251("\xD1\xEE\xE5\xE4\xE8\xED\xE5\xED\xE8\xE5");
const QByteArray kPortCp1251("\xCF\xEE\xF0\xF2");

// A byte string with its NULs, sized by the literal.
template <std::size_t N> QByteArray raw(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1);
}

} // namespace

class TestSettingsFiles : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString path(const QString &name = QStringLiteral("Tavro.ini")) const { return dir_.filePath(name); }
    QString fileWith(const QByteArray &content)
    {
        const QString p = path(QStringLiteral("given.ini"));
        QFile file(p);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
            qFatal("cannot prepare %s", qPrintable(p));
        return p;
    }
    static QByteArray contentOf(const QString &p)
    {
        QFile file(p);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static QByteArray cp(const char *utf8) { return toCp1251(QString::fromUtf8(utf8)); }

private slots:
    void init() { QFile::remove(path(QStringLiteral("given.ini"))); }

    // ---- code page 1251 ---------------------------------------------------------------------

    void everyByteSurvivesDecodeAndEncode_data()
    {
        QTest::addColumn<int>("byte");
        for (int b = 0; b < 256; ++b)
            QTest::addRow("0x%02X", b) << b;
    }
    void everyByteSurvivesDecodeAndEncode()
    {
        QFETCH(int, byte);
        const QByteArray one(1, char(byte));
        const QString decoded = fromCp1251(one);
        QCOMPARE(decoded.size(), 1);
        QCOMPARE(toCp1251(decoded), one);
    }

    void bytesDecodeToDistinctCharacters()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = fromCp1251(all);
        QCOMPARE(QSet<QChar>(text.cbegin(), text.cend()).size(), 256);
    }

    // Reference bytes from iconv -f utf-8 -t cp1251.
    void knownText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("section") << QStringLiteral("Соединение") << kConnectionCp1251;
        QTest::newRow("key") << QStringLiteral("Порт") << kPortCp1251;
        QTest::newRow("ascii") << QStringLiteral("SkinName=Neutral (internal)")
                               << QByteArray("SkinName=Neutral (internal)");
        QTest::newRow("yo") << QStringLiteral("Ёё") << QByteArray("\xA8\xB8");
        QTest::newRow("ukrainian") << QStringLiteral("ЇїІіЄєҐґ")
                                   << QByteArray("\xAF\xBF\xB2\xB3\xAA\xBA\xA5\xB4");
        QTest::newRow("signs") << QStringLiteral("№€‰™«»") << QByteArray("\xB9\x88\x89\x99\xAB\xBB");
        QTest::newRow("serbian") << QStringLiteral("ЂЉЊЋЏђљњћџ")
                                 << QByteArray("\x80\x8A\x8C\x8E\x8F\x90\x9A\x9C\x9E\x9F");
        QTest::newRow("nul inside") << QString(QChar(0)) + u'a' << raw("\0a");
    }
    void knownText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(toCp1251(text), bytes);
        QCOMPARE(fromCp1251(bytes), text);
    }

    void charactersOutsideTheCodePageBecomeQuestionMarks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("greek") << QStringLiteral("Ωx") << QByteArray("?x");
        QTest::newRow("german") << QStringLiteral("ß") << QByteArray("?");
        QTest::newRow("outside BMP is one character") << QStringLiteral("a😀b") << QByteArray("a?b");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
    }
    void charactersOutsideTheCodePageBecomeQuestionMarks()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(toCp1251(text), bytes);
    }

    // ---- reading ------------------------------------------------------------------------------

    void unusableFilesGiveDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("binary junk") << raw("\x00\xFF\xFE[\x01=\x02\n\x00\x00\xC0\xDE\r\r\n");
        QTest::newRow("no equals signs") << "[" + kConnectionCp1251 + "]\n" + kPortCp1251 + " 5\nrubbish\n";
        QTest::newRow("unclosed section") << "[" + kConnectionCp1251 + "\n" + kPortCp1251 + "=5\n";
        QTest::newRow("key before any section") << kPortCp1251 + "=5\n[Other]\nx=1\n";
        QTest::newRow("key in another section") << "[Other]\n" + kPortCp1251 + "=5\n";
        QTest::newRow("commented out")
            << "[" + kConnectionCp1251 + "]\n;" + kPortCp1251 + "=5\n#" + kPortCp1251 + "=6\n";
        QTest::newRow("utf-8 names") << QStringLiteral("[Соединение]\nПорт=5\n").toUtf8();
        QTest::newRow("too large") << "[" + kConnectionCp1251 + "]\n" + kPortCp1251 + "=5\n" +
                                          QByteArray(IniFile::kMaxFileSize, ';');
    }
    void unusableFilesGiveDefaults()
    {
        QFETCH(QByteArray, content);
        const IniFile ini(fileWith(content));
        QCOMPARE(ini.read(AppSettings::kConnection, AppSettings::kPort, QStringLiteral("dflt")),
                 QStringLiteral("dflt"));
        QCOMPARE(ini.readInt(AppSettings::kConnection, AppSettings::kPort, 7), 7);
        QVERIFY(ini.keys(AppSettings::kConnection).isEmpty());
    }

    void missingOrUnreadablePathsGiveDefaults_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("missing") << path(QStringLiteral("absent.ini"));
        QTest::newRow("directory") << dir_.path();
        QTest::newRow("empty path") << QString();
        QTest::newRow("endless device") << QStringLiteral("/dev/zero");
    }
    void missingOrUnreadablePathsGiveDefaults()
    {
        QFETCH(QString, file);
        const IniFile ini(file);
        QCOMPARE(ini.read(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("dflt")),
                 QStringLiteral("dflt"));
        QCOMPARE(ini.readInt(QStringLiteral("a"), QStringLiteral("b"), -4), -4);
    }

    void readsValues_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QByteArray conn = "[" + kConnectionCp1251 + "]\n";
        QTest::newRow("plain") << conn + kPortCp1251 + "=5\n"
                               << "Соединение"
                               << "Порт"
                               << "5";
        QTest::newRow("blanks around") << "  [ " + kConnectionCp1251 + " ]  \n\t" + kPortCp1251 + " =  5 \n"
                                       << "Соединение"
                                       << "Порт"
                                       << "5";
        QTest::newRow("crlf") << "[" + kConnectionCp1251 + "]\r\n" + kPortCp1251 + "=5\r\n"
                              << "Соединение"
                              << "Порт"
                              << "5";
        QTest::newRow("no final line end") << conn + kPortCp1251 + "=5"
                                           << "Соединение"
                                           << "Порт"
                                           << "5";
        QTest::newRow("section in lower case") << cp("[соединение]\nпорт=5\n") << "Соединение"
                                               << "Порт"
                                               << "5";
        QTest::newRow("asked in upper case") << conn + kPortCp1251 + "=5\n"
                                             << "СОЕДИНЕНИЕ"
                                             << "ПОРТ"
                                             << "5";
        QTest::newRow("latin case") << QByteArray("[SKINS]\nskinname=Wood (internal)\n") << "skins"
                                    << "SkinName"
                                    << "Wood (internal)";
        QTest::newRow("first of two wins") << conn + kPortCp1251 + "=5\n" + kPortCp1251 + "=6\n"
                                           << "Соединение"
                                           << "Порт"
                                           << "5";
        QTest::newRow("quoted") << cp("[Скины]\nSkinName=\"Wood (internal)\"\n") << "Скины"
                                << "SkinName"
                                << "Wood (internal)";
        QTest::newRow("equals in value")
            << QByteArray("[Порты]\nComm1=/tmp/a=b\n").replace("Порты", cp("Порты")) << "Порты"
            << "Comm1"
            << "/tmp/a=b";
        QTest::newRow("cyrillic value") << cp("[Скины]\nSkinName=Дерево\n") << "Скины"
                                        << "SkinName"
                                        << "Дерево";
        QTest::newRow("empty value") << conn + kPortCp1251 + "=\n"
                                     << "Соединение"
                                     << "Порт"
                                     << "";
        QTest::newRow("after junk") << raw("\x00\xFF\n") + conn + "\x01\x02\n" + kPortCp1251 + "=5\n"
                                    << "Соединение"
                                    << "Порт"
                                    << "5";
    }
    void readsValues()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QCOMPARE(IniFile(fileWith(content)).read(section, key, QStringLiteral("dflt")), value);
    }

    void readsIntegers_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("12") << 12;
        QTest::newRow("blanks") << QByteArray("  12  ") << 12;
        QTest::newRow("negative") << QByteArray("-3") << -3;
        QTest::newRow("plus") << QByteArray("+3") << 3;
        QTest::newRow("hex 0x") << QByteArray("0x1F") << 31;
        QTest::newRow("hex dollar") << QByteArray("$1f") << 31;
        QTest::newRow("trailing letters") << QByteArray("12a") << -1;
        QTest::newRow("fraction") << QByteArray("1.5") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("words") << QByteArray("COM3") << -1;
        QTest::newRow("too large") << QByteArray("99999999999") << -1;
        QTest::newRow("inner blank") << QByteArray("1 2") << -1;
    }
    void readsIntegers()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        const IniFile ini(fileWith("[A]\nN=" + value + "\n"));
        QCOMPARE(ini.readInt(QStringLiteral("a"), QStringLiteral("n"), -1), expected);
    }

    void listsKeysInFileOrderOnce()
    {
        const IniFile ini(fileWith(cp(
            "[Порты]\nComm3=/a\n; note\ncomm1=/b\nCOMM3=/c\njunk\n[Other]\nComm9=/d\n[порты]\nComm2=/e\n")));
        QCOMPARE(ini.keys(QStringLiteral("Порты")), (QStringList{"Comm3", "comm1", "Comm2"}));
        QVERIFY(ini.keys(QStringLiteral("Absent")).isEmpty());
    }

    // ---- writing ------------------------------------------------------------------------------

    void writesChangeOnlyTheirLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        const QString conn = QStringLiteral("Соединение"), port = QStringLiteral("Порт");
        QTest::newRow("new file") << QByteArray() << conn << port << "1" << cp("[Соединение]\nПорт=1\n");
        QTest::newRow("replace in place")
            << cp("; Tavro\n[Соединение]\nПорт=5\nСкорость=9600\n\n[Скины]\nSkinName=Wood (internal)\n")
            << conn << port << "4"
            << cp("; Tavro\n[Соединение]\nПорт=4\nСкорость=9600\n\n[Скины]\nSkinName=Wood (internal)\n");
        QTest::newRow("keeps the key's spelling and spacing")
            << cp("[соединение]\n  порт =  5  ; old\n") << conn << port << "12"
            << cp("[соединение]\n  порт =  12\n");
        QTest::newRow("keeps crlf") << cp("[Соединение]\r\nПорт=5\r\nX=1\r\n") << conn << port << "4"
                                    << cp("[Соединение]\r\nПорт=4\r\nX=1\r\n");
        QTest::newRow("key added after the section's last key")
            << cp("[Соединение]\nСкорость=9600\n; c\n\n[Скины]\nSkinName=x\n") << conn << port << "2"
            << cp("[Соединение]\nСкорость=9600\nПорт=2\n; c\n\n[Скины]\nSkinName=x\n");
        QTest::newRow("key added to an empty last section without line end")
            << cp("[A]\nx=1\n[Соединение]") << conn << port << "3" << cp("[A]\nx=1\n[Соединение]\nПорт=3\n");
        QTest::newRow("section appended at the end")
            << cp("[Other]\nk=v\n; comment\n") << conn << port << "3"
            << cp("[Other]\nk=v\n; comment\n\n[Соединение]\nПорт=3\n");
        QTest::newRow("section appended after a missing line end")
            << cp("[Other]\nk=v") << conn << port << "3" << cp("[Other]\nk=v\n\n[Соединение]\nПорт=3\n");
        QTest::newRow("section appended after a blank line")
            << cp("[Other]\r\nk=v\r\n\r\n") << conn << port << "3"
            << cp("[Other]\r\nk=v\r\n\r\n[Соединение]\r\nПорт=3\r\n");
        QTest::newRow("garbled lines kept")
            << raw("\x00\xFF junk\n=\n[broken\n\x01\x02\x03") << conn << port << "1"
            << raw("\x00\xFF junk\n=\n[broken\n\x01\x02\x03\n\n") + cp("[Соединение]\nПорт=1\n");
        QTest::newRow("first of two keys changed") << cp("[Соединение]\nПорт=5\nПорт=6\n") << conn << port
                                                   << "1" << cp("[Соединение]\nПорт=1\nПорт=6\n");
        QTest::newRow("cyrillic value")
            << QByteArray() << QStringLiteral("Скины") << QStringLiteral("SkinName")
            << QStringLiteral("Дерево") << cp("[Скины]\nSkinName=Дерево\n");
    }
    void writesChangeOnlyTheirLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        const QString p = before.isEmpty() ? path(QStringLiteral("given.ini")) : fileWith(before);
        IniFile ini(p);
        QVERIFY2(ini.write(section, key, value), qPrintable(ini.errorString()));
        QCOMPARE(contentOf(p), after);
        QCOMPARE(ini.read(section, key), value);
    }

    void namesOnDiskAreCp1251Bytes()
    {
        const QString p = path(QStringLiteral("given.ini"));
        IniFile ini(p);
        QVERIFY(ini.write(QStringLiteral("Соединение"), QStringLiteral("Порт"), 3));
        const QByteArray raw = contentOf(p);
        QVERIFY(raw.contains("[" + kConnectionCp1251 + "]"));
        QVERIFY(raw.contains(kPortCp1251 + "=3"));
        QVERIFY(!raw.contains(QStringLiteral("Порт").toUtf8()));
    }

    void invalidNamesAndValuesAreRefused_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("empty section") << ""
                                       << "k"
                                       << "v";
        QTest::newRow("bracket in section") << "a]b"
                                            << "k"
                                            << "v";
        QTest::newRow("empty key") << "s"
                                   << " "
                                   << "v";
        QTest::newRow("equals in key") << "s"
                                       << "a=b"
                                       << "v";
        QTest::newRow("key like a section") << "s"
                                            << "[x"
                                            << "v";
        QTest::newRow("line break in value") << "s"
                                             << "k"
                                             << "a\nb";
        QTest::newRow("carriage return in value") << "s"
                                                  << "k"
                                                  << "a\rb";
    }
    void invalidNamesAndValuesAreRefused()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before = "[s]\nk=old\n";
        const QString p = fileWith(before);
        IniFile ini(p);
        QVERIFY(!ini.write(section, key, value));
        QVERIFY(!ini.errorString().isEmpty());
        QCOMPARE(contentOf(p), before);
    }

    void failedWritesLeaveTheFileAsItWas()
    {
        // The parent is a plain file: no one, root included, can create a file under it.
        const QString blocker = fileWith("[A]\nx=1\n");
        IniFile unwritable(blocker + QStringLiteral("/Tavro.ini"));
        QVERIFY(!unwritable.write(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("2")));
        QVERIFY(!unwritable.errorString().isEmpty());

        const QByteArray huge = "[A]\nx=1\n" + QByteArray(IniFile::kMaxFileSize, 'z');
        const QString hugePath = fileWith(huge);
        IniFile tooLarge(hugePath);
        QVERIFY(!tooLarge.write(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("2")));
        QVERIFY(!tooLarge.errorString().isEmpty());
        QCOMPARE(contentOf(hugePath), huge);

        IniFile intoDirectory(dir_.path());
        QVERIFY(!intoDirectory.write(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("2")));
    }

    void writeLeavesNoTemporaryFiles()
    {
        QTemporaryDir own;
        IniFile ini(own.filePath(QStringLiteral("Tavro.ini")));
        for (int i = 0; i < 3; ++i)
            QVERIFY(ini.write(QStringLiteral("A"), QStringLiteral("x"), i));
        QCOMPARE(QDir(own.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Tavro.ini")});
    }

    // ---- Tavro.ini ----------------------------------------------------------------------------

    void defaultsWithoutFile()
    {
        const AppSettings settings(path(QStringLiteral("none/Tavro.ini")));
        QCOMPARE(settings.port(), 1);
        QCOMPARE(settings.speed(), 9600);
        QCOMPARE(settings.parity(), 0);
        QCOMPARE(settings.skinName(), QStringLiteral("Neutral (internal)"));
        for (int n = 1; n <= 16; ++n)
            QVERIFY(settings.portDevice(n).isEmpty());
        QVERIFY(!QFile::exists(settings.filePath())); // reading creates nothing
    }

    void keptInTheUsersConfigurationDirectory()
    {
        QTemporaryDir home;
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        const AppSettings settings;
        if (saved.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", saved);

        const QString expected = home.path() + QStringLiteral("/Tavro/Tavro.ini");
        QCOMPARE(settings.filePath(), expected);
        QVERIFY(!QFile::exists(expected));
        AppSettings writer = settings;
        QVERIFY2(writer.setPort(4), qPrintable(writer.errorString())); // creates the directory
        QVERIFY(QFile::exists(expected));
        QCOMPARE(AppSettings(expected).port(), 4);
    }

    void typedValuesUseTheirSectionsAndKeys()
    {
        const QString p = path(QStringLiteral("typed.ini"));
        QFile::remove(p);
        AppSettings settings(p);
        QVERIFY(settings.setPort(5));
        QVERIFY(settings.setSpeed(19200));
        QVERIFY(settings.setSkinName(QStringLiteral("Wood (internal)")));
        QCOMPARE(contentOf(p),
                 cp("[Соединение]\nПорт=5\nСкорость=19200\n\n[Скины]\nSkinName=Wood (internal)\n"));
        QCOMPARE(settings.port(), 5);
        QCOMPARE(settings.speed(), 19200);
        QCOMPARE(settings.skinName(), QStringLiteral("Wood (internal)"));
    }

    void readsParityAndPortDevices()
    {
        const AppSettings settings(
            fileWith(cp("[Соединение]\nПаритет=2\n[Порты]\nComm3= /dev/ttyUSB1 \ncomm16=/dev/ttyS0\n")));
        QCOMPARE(settings.parity(), 2);
        QCOMPARE(settings.portDevice(3), QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(settings.portDevice(16), QStringLiteral("/dev/ttyS0"));
        QVERIFY(settings.portDevice(1).isEmpty());
    }

    void garbledNumbersGiveDefaults()
    {
        const AppSettings settings(fileWith(cp("[Соединение]\nПорт=COM3\nСкорость=fast\nПаритет=\n")));
        QCOMPARE(settings.port(), 1);
        QCOMPARE(settings.speed(), 9600);
        QCOMPARE(settings.parity(), 0);
    }

    void unwritableLocationIsReported()
    {
        const QString blocker = fileWith("x");
        AppSettings settings(blocker + QStringLiteral("/Tavro/Tavro.ini"));
        QVERIFY(!settings.setPort(2));
        QVERIFY(!settings.errorString().isEmpty());
        QCOMPARE(settings.port(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "tst_settings_files.moc"
