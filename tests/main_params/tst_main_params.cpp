// The main-parameter sheet on the link's test doubles: the read chain, what the main block shows,
// the writes with their checks and follow-ups, the guarded edits, and answers of the wrong size.
#include "conversion.h"
#include "fakes.h"
#include "frame_util.h"
#include "main_params_sheet.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QtTest>

using namespace tavro;
using namespace tavro::test;

namespace {

const QString kWritten = QStringLiteral("Информация записана ");
const QString kNotSet = QStringLiteral("Информация не задана");
const QString kNoSelection = QStringLiteral("Информация не корректна");
const QString kRange = QStringLiteral("Логический номер должен \rнаходиться в пределах \rот 1 до 247 ");
constexpr int kBroken = -1; // a logical-number field that does not hold a number

QByteArray frame(std::initializer_list<int> list) {
    return withCrc(bytes(list));
}

QByteArray wordBytes(const QList<int> &words) {
    QByteArray out;
    for (int w : words) {
        out.append(char((w >> 8) & 0xFF));
        out.append(char(w & 0xFF));
    }
    return out;
}

QString conversionText(const QString &text) {
    try {
        StrToInt(text);
    } catch (const ConversionError &e) {
        return e.text();
    }
    return QString();
}

// A main block as a newer instrument answers it; changes are (word, value) pairs.
QList<int> mainBlock(int words, std::initializer_list<std::pair<int, int>> changes = {}) {
    QList<int> block = {238, 31, 17, 1, 3456, 12, 9600, 0, 0, 1, 0, 0, 0, 0, 1, 19200, 0};
    for (const auto &[i, v] : changes)
        block[i] = v;
    return block.mid(0, words);
}

struct Rig {
    FakeSerialPort port;
    FakeTimerFactory timers;
    FakeClock clock;
    RecordingMessages messages;
    Link link{port, timers, clock, messages};
    int edit1 = 1;
    int edit2 = 1;
    QString saved;
    QList<bool> calib;
    int displayCleared = 0;
    QList<int> brightness;
    QStringList logicalNumbers;
    QList<int> speeds;

    static std::uint16_t number(int edit) {
        if (edit == kBroken)
            throw ConversionError(conversionText(QStringLiteral("x")));
        return std::uint16_t(edit);
    }

    SheetServices services{link,
                           messages,
                           clock,
                           timers,
                           [this] { return number(edit1); },
                           [this] { return number(edit2); },
                           {},
                           [this](bool on) { calib << on; },
                           nullptr,
                           &saved};
    MainParamsSheet sheet{services};

    Rig() {
        // The dispatch table as the window registers it.
        link.setSettingsLogicalNumber([this] { return number(edit2); });
        link.setHandler(2, [this](const Response &r) { sheet.ChooseMainParamBlock(r); });
        link.setHandler(3, [this](const Response &r) { sheet.ShowMainParam(r); });
        link.setHandler(18, [this](const Response &) { messages.show(kWritten); });
        link.setHandler(19, [this](const Response &) {
            messages.show(kWritten);
            sheet.WriteConfirmed(link.CurInquiry.Reg);
        });
        sheet.clearDisplaySettings = [this] { ++displayCleared; };
        sheet.showBrightness = [this](std::uint16_t w) { brightness << w; };
        sheet.setLogicalNumber = [this](const QString &t) { logicalNumbers << t; };
        sheet.followPortSpeed = [this](int position) { speeds << position; };
    }

    FakeTimer *runner() const { return static_cast<FakeTimer *>(link.TimerSetAuto); }
    template <class T> T *find(const QString &name) const { return sheet.findChild<T *>(name); }

    // The read up to the answer of the main block.
    void readMainBlock(int version, const QByteArray &blockAnswer) {
        sheet.BitBtnMainParam->click();
        port.receive(readAnswer(edit1, wordBytes({version})));
        runner()->fire();
        port.receive(blockAnswer);
    }
    void readMainBlock(const QList<int> &block) {
        readMainBlock(block.size() == 17 ? 0x00C8 : 0x00C7, readAnswer(edit1, wordBytes(block)));
    }
    void setRaw(QLineEdit *edit, const QString &text) {
        const QSignalBlocker quiet(edit);
        edit->setText(text);
    }
    void focus(QWidget *w, QEvent::Type type) {
        QFocusEvent event(type);
        QCoreApplication::sendEvent(w, &event);
    }
};

} // namespace

class TestMainParams : public QObject {
    Q_OBJECT
private slots:
    void startsWithPort2ControlsDisabledAndListsEmpty() {
        Rig rig;
        MainParamsSheet &s = rig.sheet;
        QCOMPARE(s.objectName(), QStringLiteral("MainParamsSheet"));
        for (QWidget *w :
             {static_cast<QWidget *>(s.sComboBoxStatComB), static_cast<QWidget *>(s.sBitBtnWriteStatysComB),
              static_cast<QWidget *>(s.ComboBoxBaudComB), static_cast<QWidget *>(s.BitBtnWriteBaudComB)})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        const QStringList speeds = {"1200", "2400", "4800", "9600", "19200", "38400"};
        for (QComboBox *list : {s.ComboBoxBaudComA, s.ComboBoxBaudComB}) {
            QStringList items;
            for (int i = 0; i < list->count(); ++i)
                items << list->itemText(i);
            QCOMPARE(items, speeds);
            QCOMPARE(list->currentIndex(), -1);
        }
        QCOMPARE(s.sComboBoxStatComB->itemText(0), QStringLiteral("Информ."));
        QCOMPARE(s.sComboBoxStatComB->itemText(1), QStringLiteral("Modbus"));
        QStringList groups;
        for (QGroupBox *g : s.findChildren<QGroupBox *>())
            groups << g->title();
        for (const char *title : {"Настройки каналов связи", "Логический номер", "Скорость (Rs485_1)",
                                  "Конфигурация Rs485_2", "Скорость  (Rs485_2)", "Номер прибора"})
            QVERIFY2(groups.contains(QString::fromUtf8(title)), title);
        const QSize hint = s.sizeHint();
        QVERIFY2(hint.width() <= 830 && hint.height() <= 440,
                 qPrintable(QStringLiteral("%1 x %2").arg(hint.width()).arg(hint.height())));
    }

    void readChain_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("blockWords");
        QTest::newRow("0x00C8 reads 17 words") << 0x00C8 << 17;
        QTest::newRow("0x00C7 reads 10 words") << 0x00C7 << 10;
        QTest::newRow("0x012C reads 10 words: only the low byte counts") << 0x012C << 10;
        QTest::newRow("0xFFC8 reads 17 words") << 0xFFC8 << 17;
    }
    void readChain() {
        QFETCH(int, version);
        QFETCH(int, blockWords);
        Rig rig;
        rig.edit1 = rig.edit2 = 5;
        MainParamsSheet &s = rig.sheet;
        s.StaticTextVersPrg->setText("old");
        s.StaticTextSchInp->setText("old");
        s.EditNumDev->setText("99");
        s.EditReadLog->setText("9");
        s.ComboBoxBaudComA->setCurrentIndex(2);
        s.sComboBoxStatComB->setCurrentIndex(1);
        s.ComboBoxBaudComB->setCurrentIndex(2);

        s.BitBtnMainParam->click();
        QCOMPARE(rig.port.written, QList<QByteArray>{frame({5, 0x03, 0x02, 0x00, 0x00, 0x01})});
        QCOMPARE(int(rig.link.WaitLen), 7);
        QCOMPARE(s.StaticTextVersPrg->text(), QString());
        QCOMPARE(s.StaticTextSchInp->text(), QString());
        QCOMPARE(s.EditNumDev->text(), QString());
        QCOMPARE(s.EditReadLog->text(), QStringLiteral("9"));
        QCOMPARE(s.ComboBoxBaudComA->currentIndex(), -1);
        QCOMPARE(s.sComboBoxStatComB->currentIndex(), -1);
        QCOMPARE(s.ComboBoxBaudComB->currentIndex(), -1);
        QCOMPARE(rig.displayCleared, 1);
        QVERIFY(rig.link.WritePending);
        QCOMPARE(rig.calib, QList<bool>{false});

        rig.port.receive(readAnswer(5, wordBytes({version})));
        QCOMPARE(rig.port.written.size(), 1); // the runner sends the block, not the answer handler
        QCOMPARE(rig.link.StepInquiry, &rig.link.CurInquiry);
        QCOMPARE(int(rig.link.CurInquiry.Tag), 3);
        QCOMPARE(int(rig.link.CurInquiry.Count), blockWords);
        QCOMPARE(int(rig.link.CurInquiry.AnswLen), 2 * blockWords + 5);
        QVERIFY(rig.runner()->isActive());
        QCOMPARE(rig.runner()->interval(), 1000);
        const bool port2 = blockWords == 17;
        QCOMPARE(s.sComboBoxStatComB->isEnabled(), port2);
        QCOMPARE(s.sBitBtnWriteStatysComB->isEnabled(), port2);
        QCOMPARE(s.ComboBoxBaudComB->isEnabled(), port2);
        QCOMPARE(s.BitBtnWriteBaudComB->isEnabled(), port2);

        QVERIFY(rig.runner()->fire());
        QCOMPARE(rig.port.lastFrame(), frame({5, 0x03, 0x02, 0x00, 0x00, blockWords}));

        rig.port.receive(readAnswer(5, wordBytes(mainBlock(blockWords))));
        QCOMPARE(rig.link.StepInquiry, &rig.link.CurInquiry);
        QCOMPARE(int(rig.link.CurInquiry.Tag), 5);
        QCOMPARE(int(rig.link.CurInquiry.Reg), 1024);
        QCOMPARE(int(rig.link.CurInquiry.Count), 6);
        QCOMPARE(int(rig.link.CurInquiry.AnswLen), 17);
        QCOMPARE(int(rig.link.CurInquiry.Addr), 5);
        QVERIFY(rig.runner()->isActive());
        QVERIFY(rig.runner()->fire());
        QCOMPARE(rig.port.lastFrame(), frame({5, 0x03, 0x04, 0x00, 0x00, 0x06}));
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(rig.link.WritePending); // the chain leaves it to the calibration sheet
    }

    void showMainParam_data() {
        QTest::addColumn<QList<int>>("block");
        QTest::addColumn<QString>("versPrg");
        QTest::addColumn<QString>("numDev");
        QTest::addColumn<int>("baudA");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("baudB");
        QTest::addColumn<bool>("modeEnabled");
        QTest::addColumn<bool>("baudBEnabled");

        const QString four = QStringLiteral("четырехпроводная");
        const QString three = QStringLiteral("трехпроводная");
        QTest::newRow("17 words, port 2 Modbus")
            << mainBlock(17) << "238"
            << "123456" << 3 << four << "Tavro" << 1 << 4 << true << true;
        QTest::newRow("38400 selects 38400") << mainBlock(17, {{6, 38400}}) << "238"
                                             << "123456" << 5 << four << "Tavro" << 1 << 4 << true << true;
        QTest::newRow("57600 leaves no selection")
            << mainBlock(17, {{6, 57600}, {15, 57600}}) << "238"
            << "123456" << -1 << four << "Tavro" << 1 << -1 << true << true;
        QTest::newRow("scheme 1 is three-wire, variant 0 KrTavro")
            << mainBlock(17, {{8, 1}, {9, 0}}) << "238"
            << "123456" << 3 << three << "KrTavro" << 1 << 4 << true << true;
        QTest::newRow("any other scheme and variant")
            << mainBlock(17, {{8, 0xFFFF}, {9, 7}}) << "238"
            << "123456" << 3 << three << "Tavro" << 1 << 4 << true << true;
        QTest::newRow("mode Информ. disables the port-2 speed")
            << mainBlock(17, {{14, 0}}) << "238"
            << "123456" << 3 << four << "Tavro" << 0 << 4 << true << false;
        QTest::newRow("unknown mode: no selection, port-2 speed disabled")
            << mainBlock(17, {{14, 2}}) << "238"
            << "123456" << 3 << four << "Tavro" << -1 << 4 << true << false;
        QTest::newRow("device number parts above 9999")
            << mainBlock(17, {{4, 65535}, {5, 65535}}) << "238"
            << "655415535" << 3 << four << "Tavro" << 1 << 4 << true << true;
        QTest::newRow("10 words leave port 2 empty and disabled")
            << mainBlock(10, {{0, 199}}) << "199"
            << "123456" << 3 << four << "Tavro" << -1 << -1 << false << false;
    }
    void showMainParam() {
        QFETCH(QList<int>, block);
        QFETCH(QString, versPrg);
        QFETCH(QString, numDev);
        QFETCH(int, baudA);
        QFETCH(QString, scheme);
        QFETCH(QString, variant);
        QFETCH(int, mode);
        QFETCH(int, baudB);
        QFETCH(bool, modeEnabled);
        QFETCH(bool, baudBEnabled);
        Rig rig;
        MainParamsSheet &s = rig.sheet;
        rig.readMainBlock(block);

        QCOMPARE(int(rig.link.CurInquiry.Tag), 5); // the block was shown and the chain goes on
        QCOMPARE(s.StaticTextVersPrg->text(), versPrg);
        QCOMPARE(s.StaticTextNumMeasureParam->text(), QStringLiteral("31"));
        QCOMPARE(s.EditReadLog->text(), QStringLiteral("17"));
        QCOMPARE(rig.brightness, QList<int>{1});
        QCOMPARE(s.EditNumDev->text(), numDev);
        QCOMPARE(s.ComboBoxBaudComA->currentIndex(), baudA);
        QCOMPARE(s.StaticTextSchInp->text(), scheme);
        QCOMPARE(s.StaticTextVersDev->text(), variant);
        QCOMPARE(s.sComboBoxStatComB->currentIndex(), mode);
        QCOMPARE(s.ComboBoxBaudComB->currentIndex(), baudB);
        QCOMPARE(s.sComboBoxStatComB->isEnabled(), modeEnabled);
        QCOMPARE(s.sBitBtnWriteStatysComB->isEnabled(), modeEnabled);
        QCOMPARE(s.ComboBoxBaudComB->isEnabled(), baudBEnabled);
        QCOMPARE(s.BitBtnWriteBaudComB->isEnabled(), baudBEnabled);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void writes_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("readLog");
        QTest::addColumn<QString>("numDev");
        QTest::addColumn<int>("selection"); // of the button's own list
        QTest::addColumn<int>("edit1");
        QTest::addColumn<int>("edit2");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("shown");

        const QString log = QStringLiteral("BitBtnWriteLog");
        const QString baudA = QStringLiteral("BitBtnWriteBaudComA");
        const QString mode = QStringLiteral("sBitBtnWriteStatysComB");
        const QString baudB = QStringLiteral("BitBtnWriteBaudComB");
        const QString numDev = QStringLiteral("BitBtnSaveNumDev");
        const QStringList none;

        QTest::newRow("logical number 17")
            << log << "17"
            << "" << -1 << 5 << 5 << frame({5, 0x06, 0x02, 0x04, 0x00, 17}) << 19 << none;
        QTest::newRow("logical number 1")
            << log << "1"
            << "" << -1 << 5 << 5 << frame({5, 0x06, 0x02, 0x04, 0x00, 1}) << 19 << none;
        QTest::newRow("logical number 247")
            << log << "247"
            << "" << -1 << 5 << 5 << frame({5, 0x06, 0x02, 0x04, 0x00, 247}) << 19 << none;
        QTest::newRow("logical number empty")
            << log << ""
            << "" << -1 << 5 << 5 << QByteArray() << 0 << QStringList{kNotSet};
        QTest::newRow("logical number 300 refused")
            << log << "300"
            << "" << -1 << 5 << 5 << QByteArray() << 0 << QStringList{kRange};
        QTest::newRow("logical number 0 refused")
            << log << "0"
            << "" << -1 << 5 << 5 << QByteArray() << 0 << QStringList{kRange};
        QTest::newRow("logical number 248 refused")
            << log << "248"
            << "" << -1 << 5 << 5 << QByteArray() << 0 << QStringList{kRange};
        QTest::newRow("logical number not an integer")
            << log << "1x"
            << "" << -1 << 5 << 5 << QByteArray() << 0 << QStringList{conversionText("1x")};
        QTest::newRow("logical number with Edit1 not a number")
            << log << "17"
            << "" << -1 << kBroken << 5 << QByteArray() << 0 << QStringList{conversionText("x")};
        QTest::newRow("port-1 speed 19200")
            << baudA << ""
            << "" << 4 << 5 << 5 << frame({5, 0x06, 0x02, 0x0C, 0x00, 4}) << 19 << none;
        QTest::newRow("port-1 speed without selection")
            << baudA << ""
            << "" << -1 << 5 << 5 << QByteArray() << 0 << QStringList{kNoSelection};
        QTest::newRow("port-2 mode Modbus to the slave of Edit2")
            << mode << ""
            << "" << 1 << 5 << 9 << frame({9, 0x06, 0x02, 0x1C, 0x00, 1}) << 19 << none;
        QTest::newRow("port-2 mode Информ.")
            << mode << ""
            << "" << 0 << 5 << 9 << frame({9, 0x06, 0x02, 0x1C, 0x00, 0}) << 19 << none;
        QTest::newRow("port-2 mode unknown (no selection) refused")
            << mode << ""
            << "" << -1 << 5 << 9 << QByteArray() << 0 << QStringList{kNoSelection};
        QTest::newRow("port-2 speed 38400")
            << baudB << ""
            << "" << 5 << 5 << 9 << frame({5, 0x06, 0x02, 0x1E, 0x00, 5}) << 19 << none;
        QTest::newRow("port-2 speed without selection")
            << baudB << ""
            << "" << -1 << 5 << 5 << QByteArray() << 0 << QStringList{kNoSelection};
        QTest::newRow("device number 123456 to the slave of Edit2")
            << numDev << ""
            << "123456" << -1 << 5 << 9
            << frame({9, 0x10, 0x02, 0x08, 0x00, 0x02, 0x04, 0x00, 12, 0x0D, 0x80}) << 18 << none;
        QTest::newRow("device number 0")
            << numDev << ""
            << "0" << -1 << 5 << 9 << frame({9, 0x10, 0x02, 0x08, 0x00, 0x02, 0x04, 0, 0, 0, 0}) << 18
            << none;
        QTest::newRow("device number 655415535: high part keeps its low 16 bits")
            << numDev << ""
            << "655415535" << -1 << 5 << 9
            << frame({9, 0x10, 0x02, 0x08, 0x00, 0x02, 0x04, 0x00, 0x05, 0x15, 0x9F}) << 18 << none;
        QTest::newRow("device number -1 taken unsigned")
            << numDev << ""
            << "-1" << -1 << 5 << 9 << frame({9, 0x10, 0x02, 0x08, 0x00, 0x02, 0x04, 0x8D, 0xB8, 0x1C, 0x7F})
            << 18 << none;
        QTest::newRow("device number not an integer")
            << numDev << ""
            << "12a" << -1 << 5 << 9 << QByteArray() << 0 << QStringList{conversionText("12a")};
    }
    void writes() {
        QFETCH(QString, button);
        QFETCH(QString, readLog);
        QFETCH(QString, numDev);
        QFETCH(int, selection);
        QFETCH(int, edit1);
        QFETCH(int, edit2);
        QFETCH(QByteArray, sent);
        QFETCH(int, tag);
        QFETCH(QStringList, shown);
        Rig rig;
        MainParamsSheet &s = rig.sheet;
        rig.edit1 = edit1;
        rig.edit2 = edit2;
        rig.setRaw(s.EditReadLog, readLog);
        rig.setRaw(s.EditNumDev, numDev);
        for (QComboBox *list : {s.ComboBoxBaudComA, s.sComboBoxStatComB, s.ComboBoxBaudComB})
            list->setCurrentIndex(-1);
        s.sComboBoxStatComB->setEnabled(true);
        s.sBitBtnWriteStatysComB->setEnabled(true);
        s.ComboBoxBaudComB->setEnabled(true);
        s.BitBtnWriteBaudComB->setEnabled(true);
        if (button == "BitBtnWriteBaudComA")
            s.ComboBoxBaudComA->setCurrentIndex(selection);
        else if (button == "sBitBtnWriteStatysComB")
            s.sComboBoxStatComB->setCurrentIndex(selection);
        else if (button == "BitBtnWriteBaudComB")
            s.ComboBoxBaudComB->setCurrentIndex(selection);

        rig.find<QPushButton>(button)->click();

        QCOMPARE(rig.messages.shown, shown);
        if (sent.isEmpty()) {
            QVERIFY(rig.port.written.isEmpty());
            QVERIFY(!rig.link.WaitAnsw);
            return;
        }
        QCOMPARE(rig.port.written, QList<QByteArray>{sent});
        QCOMPARE(int(rig.link.SentTag), tag);
        QCOMPARE(int(rig.link.WaitLen), 8);
        QVERIFY(rig.link.WaitAnsw);
    }

    void writeConfirmed_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("selection");
        QTest::addColumn<bool>("baudBEnabledBefore");
        QTest::addColumn<QStringList>("newLogicalNumber");
        QTest::addColumn<QList<int>>("portSpeed");
        QTest::addColumn<int>("baudB");
        QTest::addColumn<bool>("baudBEnabled");

        QTest::newRow("516: Edit1 takes the new logical number")
            << "BitBtnWriteLog" << -1 << true << QStringList{"42"} << QList<int>{} << 5 << true;
        QTest::newRow("524: the PC port follows the instrument")
            << "BitBtnWriteBaudComA" << 4 << true << QStringList{} << QList<int>{4} << 5 << true;
        QTest::newRow("540 Modbus: port-2 speed enabled")
            << "sBitBtnWriteStatysComB" << 1 << false << QStringList{} << QList<int>{} << 5 << true;
        QTest::newRow("540 Информ.: port-2 speed 9600 and disabled")
            << "sBitBtnWriteStatysComB" << 0 << true << QStringList{} << QList<int>{} << 3 << false;
        QTest::newRow("542: nothing follows")
            << "BitBtnWriteBaudComB" << 5 << true << QStringList{} << QList<int>{} << 5 << true;
    }
    void writeConfirmed() {
        QFETCH(QString, button);
        QFETCH(int, selection);
        QFETCH(bool, baudBEnabledBefore);
        QFETCH(QStringList, newLogicalNumber);
        QFETCH(QList<int>, portSpeed);
        QFETCH(int, baudB);
        QFETCH(bool, baudBEnabled);
        Rig rig;
        MainParamsSheet &s = rig.sheet;
        s.EditReadLog->setText("42");
        s.sComboBoxStatComB->setEnabled(true);
        s.sBitBtnWriteStatysComB->setEnabled(true);
        s.ComboBoxBaudComB->setCurrentIndex(5);
        s.ComboBoxBaudComB->setEnabled(baudBEnabledBefore);
        s.BitBtnWriteBaudComB->setEnabled(true); // clickable for the 542 row
        if (button == "BitBtnWriteBaudComA")
            s.ComboBoxBaudComA->setCurrentIndex(selection);
        else if (button == "sBitBtnWriteStatysComB")
            s.sComboBoxStatComB->setCurrentIndex(selection);

        rig.find<QPushButton>(button)->click();
        QCOMPARE(rig.port.written.size(), 1);
        rig.port.receive(rig.port.lastFrame()); // the instrument echoes a function-6 write

        QCOMPARE(rig.messages.shown, QStringList{kWritten});
        QCOMPARE(rig.logicalNumbers, newLogicalNumber);
        QCOMPARE(rig.speeds, portSpeed);
        QCOMPARE(s.ComboBoxBaudComB->currentIndex(), baudB);
        QCOMPARE(s.ComboBoxBaudComB->isEnabled(), baudBEnabled);
        if (button == "sBitBtnWriteStatysComB")
            QCOMPARE(s.BitBtnWriteBaudComB->isEnabled(), baudBEnabled);
    }

    void editRules_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("afterChange");
        QTest::addColumn<QString>("afterExit");

        const QString log = QStringLiteral("EditReadLog");
        const QString dev = QStringLiteral("EditNumDev");
        QTest::newRow("logical number: non-integer emptied, exit gives 1") << log << "5"
                                                                           << "5a"
                                                                           << ""
                                                                           << "1";
        QTest::newRow("logical number: empty stays, exit gives 1") << log << "5"
                                                                   << ""
                                                                   << ""
                                                                   << "1";
        QTest::newRow("logical number: 70000 -> 7000") << log << "5"
                                                       << "70000"
                                                       << "7000"
                                                       << "7000";
        QTest::newRow("logical number: 65535 kept") << log << "5"
                                                    << "65535"
                                                    << "65535"
                                                    << "65535";
        QTest::newRow("logical number: 65536 -> 6553") << log << "5"
                                                       << "65536"
                                                       << "6553"
                                                       << "6553";
        QTest::newRow("logical number: -1 -> 42949") << log << "5"
                                                     << "-1"
                                                     << "42949"
                                                     << "42949";
        QTest::newRow("logical number: -70000 -> 42948") << log << "5"
                                                         << "-70000"
                                                         << "42948"
                                                         << "42948";
        QTest::newRow("logical number: 300 kept while typing") << log << "5"
                                                               << "300"
                                                               << "300"
                                                               << "300";
        QTest::newRow("device number: non-integer restores the saved text") << dev << "555"
                                                                            << "55x"
                                                                            << "555"
                                                                            << "555";
        QTest::newRow("device number: beyond int restores the saved text") << dev << "555"
                                                                           << "99999999999"
                                                                           << "555"
                                                                           << "555";
        QTest::newRow("device number: empty stays, exit gives 0") << dev << "7"
                                                                  << ""
                                                                  << ""
                                                                  << "0";
        QTest::newRow("device number: saved empty, non-integer typed") << dev << ""
                                                                       << "x"
                                                                       << ""
                                                                       << "0";
        QTest::newRow("device number: large number kept") << dev << "1"
                                                          << "655415535"
                                                          << "655415535"
                                                          << "655415535";
    }
    void editRules() {
        QFETCH(QString, field);
        QFETCH(QString, before);
        QFETCH(QString, typed);
        QFETCH(QString, afterChange);
        QFETCH(QString, afterExit);
        Rig rig;
        auto *edit = rig.find<QLineEdit>(field);
        rig.setRaw(edit, before);
        rig.saved = QStringLiteral("left by another field");

        rig.focus(edit, QEvent::FocusIn);
        QCOMPARE(rig.saved, before);
        edit->setText(typed);
        QCOMPARE(edit->text(), afterChange);
        rig.focus(edit, QEvent::FocusOut);
        QCOMPARE(edit->text(), afterExit);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    // Answers whose size does not match the request: what they carry is shown, nothing more.
    void oddBlockAnswers_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("versPrg");
        QTest::addColumn<QString>("numDev");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("mode");

        // A frame as long as the 17-word read waits for, whose byte count claims 2 words.
        QByteArray twoWords = bytes({1, 0x03, 4}) + wordBytes(mainBlock(17));
        QTest::newRow("byte count shorter than the frame") << 0x00C8 << withCrc(twoWords) << "238"
                                                           << ""
                                                           << "" << -1;
        QByteArray overclaimed = bytes({1, 0x03, 200}) + wordBytes(mainBlock(17));
        QTest::newRow("byte count longer than the frame") << 0x00C8 << withCrc(overclaimed) << "238"
                                                          << "123456"
                                                          << "Tavro" << 1;
        QTest::newRow("17 words to a 10-word read")
            << 0x00C7 << readAnswer(1, wordBytes(mainBlock(17))) << "238"
            << "123456"
            << "Tavro" << -1;
        QTest::newRow("30 words to a 17-word read")
            << 0x00C8 << readAnswer(1, wordBytes(mainBlock(17) + QList<int>(13, 0xABCD))) << "238"
            << "123456"
            << "Tavro" << 1;
        QTest::newRow("no data at all, padded to the waited length")
            << 0x00C7 << withCrc(bytes({1, 0x03, 0}) + QByteArray(20, '\xFF')) << ""
            << ""
            << "" << -1;
    }
    void oddBlockAnswers() {
        QFETCH(int, version);
        QFETCH(QByteArray, answer);
        QFETCH(QString, versPrg);
        QFETCH(QString, numDev);
        QFETCH(QString, variant);
        QFETCH(int, mode);
        Rig rig;
        MainParamsSheet &s = rig.sheet;
        rig.readMainBlock(version, answer);

        QCOMPARE(int(rig.link.CurInquiry.Tag), 5);
        QCOMPARE(s.StaticTextVersPrg->text(), versPrg);
        QCOMPARE(s.EditNumDev->text(), numDev);
        QCOMPARE(s.StaticTextVersDev->text(), variant);
        QCOMPARE(s.sComboBoxStatComB->currentIndex(), mode);
        if (mode < 0) {
            QVERIFY(!s.sComboBoxStatComB->isEnabled());
            QVERIFY(!s.ComboBoxBaudComB->isEnabled());
        }
    }

    // The decoders on their own, with frames shorter than any the link would pass on.
    void truncatedAnswers_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("slave only") << bytes({1});
        QTest::newRow("header only") << bytes({1, 3, 34});
        QTest::newRow("header and CRC") << bytes({1, 3, 34, 0, 0});
        QTest::newRow("half a word") << bytes({1, 3, 34, 0x00, 0xC8, 0});
    }
    void truncatedAnswers() {
        QFETCH(QByteArray, answer);
        Rig rig;
        MainParamsSheet &s = rig.sheet;
        const Response response{reinterpret_cast<const std::uint8_t *>(answer.constData()),
                                std::size_t(answer.size())};

        s.ChooseMainParamBlock(response);
        QCOMPARE(int(rig.link.CurInquiry.Count),
                 10); // without a version word, the block every instrument has
        QVERIFY(!s.sComboBoxStatComB->isEnabled());
        s.ShowMainParam(response);
        QCOMPARE(int(rig.link.CurInquiry.Tag), 5);
        QCOMPARE(s.StaticTextVersPrg->text(), QString());
        QCOMPARE(s.EditNumDev->text(), QString());
        QVERIFY(rig.brightness.isEmpty());
    }

    void chainStopsWhenTheLogicalNumberIsNotANumber() {
        Rig rig;
        rig.sheet.BitBtnMainParam->click();
        rig.port.receive(readAnswer(1, wordBytes({0x00C8})));
        rig.runner()->fire();
        rig.edit1 = kBroken;
        rig.port.receive(readAnswer(1, wordBytes(mainBlock(17))));

        QCOMPARE(rig.messages.shown, QStringList{conversionText("x")});
        QCOMPARE(rig.sheet.StaticTextVersPrg->text(), QStringLiteral("238")); // what came is shown
        QVERIFY(!rig.runner()->isActive()); // and the block is not read again and again
    }

    void readWithoutPortKeepsCalibrationControls() {
        Rig rig;
        rig.port.failOpen = true;
        rig.sheet.BitBtnMainParam->click();
        QVERIFY(rig.port.written.isEmpty());
        QVERIFY(!rig.link.WritePending);
        QVERIFY(rig.calib.isEmpty());
    }
};

QTEST_MAIN(TestMainParams)
#include "tst_main_params.moc"
