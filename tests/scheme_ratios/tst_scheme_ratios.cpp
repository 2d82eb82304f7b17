// The scheme and transformer-ratio area of "Настройка метрологии" on the link's test doubles:
// the reading chain, the seven-step write with its progress bar, the edit rules, and the number
// texts of the ratio fields.
#include "conversion.h"
#include "fakes.h"
#include "frame_util.h"
#include "guard.h"
#include "rated_voltage.h"
#include "scheme_ratios.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

using namespace tavro;
using namespace tavro::test;

namespace {

constexpr int kSlave = 5;
constexpr double kInverse13 = 0.7692307692307692;

const QString kWritten = QStringLiteral("Информация записана ");
const QString kNotCorrect = QStringLiteral("Информация не корректна");
const QString kThreeWire = QStringLiteral("трехпроводная");
const QString kFourWire = QStringLiteral("четырехпроводная");

// Single-precision values as the instrument sends them, most significant byte first.
const QByteArray k130 = bytes({0x43, 0x02, 0x00, 0x00});
const QByteArray k100 = bytes({0x42, 0xC8, 0x00, 0x00});
const QByteArray k6_5 = bytes({0x40, 0xD0, 0x00, 0x00});
const QByteArray k5 = bytes({0x40, 0xA0, 0x00, 0x00});
const QByteArray kNoData = bytes({0xFF, 0xFF, 0xFF, 0xFF});

QByteArray word(int w) { return bytes({(w >> 8) & 0xFF, w & 0xFF}); }

QByteArray write06(int reg, int value)
{
    return withCrc(bytes({kSlave, 0x06, reg >> 8, reg & 0xFF, value >> 8, value & 0xFF}));
}

// The single-float write with quantity 8: byte count 16 and still exactly four value bytes.
QByteArray writeRatio(int reg, const QByteArray &value)
{
    return withCrc(bytes({kSlave, 0x10, reg >> 8, reg & 0xFF, 0x00, 0x08, 0x10}) + value);
}

QByteArray write16Answer(int reg) { return withCrc(bytes({kSlave, 0x10, reg >> 8, reg & 0xFF, 0x00, 0x08})); }

QByteArray read03(int reg, int count) { return withCrc(bytes({kSlave, 0x03, reg >> 8, reg & 0xFF, 0, count})); }

QString sep() { return QLocale().decimalPoint(); }

// What the window does at the link's moments that concern this area.
class WindowHooks : public LinkObserver {
public:
    SchemeRatiosArea *area = nullptr;
    Link *link = nullptr;
    QProgressBar *progress = nullptr;
    void exceptionAnswer() override
    {
        area->EnableSchKp(true);
        progress->hide();
    }
    void timedOut() override
    {
        if (!link->NetActive)
            area->EnableSchKp(true);
        progress->hide();
    }
};

struct Rig {
    FakeSerialPort port;
    FakeTimerFactory timers;
    FakeClock clock;
    RecordingMessages messages;
    Link link{port, timers, clock, messages};
    QWidget owner; // parent of the tab widget and the area
    QProgressBar progress;
    QString savedEditText;
    QString edit2 = QString::number(kSlave);
    QStringList statuses;
    QList<int> progressValues;
    SheetServices services{link,
                           messages,
                           clock,
                           timers,
                           [this] { return std::uint16_t(StrToInt(edit2)); },
                           [this] { return std::uint16_t(StrToInt(edit2)); },
                           [this](const QString &text) { statuses << text; },
                           [](bool) {},
                           &progress,
                           &savedEditText};
    FakeTimer *saveTimer = static_cast<FakeTimer *>(timers.create(&owner, QStringLiteral("TimerSaveMaxVal"), 100));
    QTabWidget *tabs = new QTabWidget(&owner);
    QWidget *tab4 = new QWidget;
    QWidget *tab3 = new QWidget;
    std::unique_ptr<SchemeRatiosArea> area;
    WindowHooks hooks;

    Rig()
    {
        progress.setRange(0, 100);
        progress.hide();
        QObject::connect(&progress, &QProgressBar::valueChanged, [this](int v) { progressValues << v; });
        tabs->addTab(tab4, QStringLiteral("Трехпроводная"));
        tabs->addTab(tab3, QStringLiteral("Четырехпроводная"));
        area = std::make_unique<SchemeRatiosArea>(services, *saveTimer, tabs, tab3, tab4, &owner);
        link.setSettingsLogicalNumber([this] { return std::uint16_t(StrToInt(edit2)); });
        SchemeRatiosArea *a = area.get();
        link.setHandler(31, [a](const Response &r) { a->ShowScheme(r); });
        link.setHandler(30, [a](const Response &r) { a->ShowCurrMethod(r); });
        link.setHandler(28, [a](const Response &r) { a->ShowRatiosRead(r); });
        for (std::uint8_t tag : {11, 26, 21, 22, 23, 24})
            link.setHandler(tag, [a](const Response &r) { a->SaveStepConfirmed(r); });
        link.setHandler(20, [a](const Response &r) { a->SaveFinished(r); });
        hooks.area = a;
        hooks.link = &link;
        hooks.progress = &progress;
        link.setObserver(&hooks);
    }
    ~Rig() { link.setObserver(nullptr); }

    FakeTimer *runner() { return static_cast<FakeTimer *>(link.TimerSetAuto); }
    FakeTimer *answerTimer() { return static_cast<FakeTimer *>(link.TimerWaitAnsw); }
    int sent() const { return int(port.written.size()); }

    // The user picks an item of a drop-down list.
    static void pick(QComboBox *list, int index)
    {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    // The instrument confirms the last write: an echo for function 6, the short answer for 16.
    void confirmLast()
    {
        const QByteArray last = port.lastFrame();
        if (last.at(1) == 0x06)
            port.receive(last);
        else
            port.receive(write16Answer((std::uint8_t(last.at(2)) << 8) | std::uint8_t(last.at(3))));
    }

    // The whole reading chain: the button, then the runner's two ticks, each answered.
    void readAll(int scheme, int method, const QByteArray &ratios)
    {
        area->BitBtnReadSchKp->click();
        port.receive(readAnswer(kSlave, word(scheme)));
        runner()->fire();
        port.receive(readAnswer(kSlave, word(method)));
        runner()->fire();
        port.receive(readAnswer(kSlave, ratios));
    }

    // Starts the write and confirms steps until `steps` frames are out and confirmed.
    void saveUntil(int steps)
    {
        for (int i = 0; i < steps; ++i) {
            if (i == 0)
                area->BitBtnSaveSchKp->click();
            else
                QVERIFY(saveTimer->fire());
            confirmLast();
        }
    }
};

Response responseOf(const QByteArray &frame)
{
    return Response{reinterpret_cast<const std::uint8_t *>(frame.constData()), std::size_t(frame.size())};
}

} // namespace

class TestSchemeRatios : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void startState();
    void readChainSendsThreeRequests();
    void readButtonKeepsTextsWhenLogicalNumberIsBad();
    void schemeWord_data();
    void schemeWord();
    void currentMethod_data();
    void currentMethod();
    void ratios_data();
    void ratios();
    void hostileRatioAnswers_data();
    void hostileRatioAnswers();
    void nominalPower_data();
    void nominalPower();
    void writeSequence_data();
    void writeSequence();
    void writeStepsWaitForConfirmation();
    void writeStopsOnBadInput_data();
    void writeStopsOnBadInput();
    void writeEndedByLink_data();
    void writeEndedByLink();
    void editRules_data();
    void editRules();
    void editRuleLeavesGoodTextAlone();
    void schemeChange_data();
    void schemeChange();
    void fillRatedVoltagesKeepsText();
    void snapRatedVoltage_data();
    void snapRatedVoltage();
    void generalText_data();
    void generalText();
    void fixedText_data();
    void fixedText();
};

void TestSchemeRatios::startState()
{
    Rig rig;
    SchemeRatiosArea &a = *rig.area;
    QCOMPARE(a.objectName(), QStringLiteral("GroupBoxNetSchKp"));
    QCOMPARE(a.GroupBoxNetSchKp, &a);
    QCOMPARE(a.ComboBoxSetSch->currentText(), kThreeWire);
    QCOMPARE(a.ComboBoxCurrMeasure->currentText(), QStringLiteral("измерительный"));
    QVERIFY(a.ComboBoxCurrMeasure->isEnabled());
    QCOMPARE(a.ComboBoxMaxValU->currentText(), QStringLiteral("100"));
    QCOMPARE(a.ComboBoxMaxValU_->currentText(), QStringLiteral("100"));
    QCOMPARE(a.ComboBoxMaxValI->currentText(), QStringLiteral("5"));
    QCOMPARE(a.ComboBoxMaxValI_->currentText(), QStringLiteral("5"));
    QCOMPARE(a.ComboBoxMaxValU->count(), 11);
    QCOMPARE(a.ComboBoxMaxValU->itemText(10), QString());
    QCOMPARE(a.ComboBoxMaxValI->count(), 24);
    QCOMPARE(a.ComboBoxMaxValI->itemText(23), QStringLiteral("10000"));
    QCOMPARE(a.BitBtnReadSchKp->text(), QStringLiteral("Прочитать  "));
    QCOMPARE(a.BitBtnSaveSchKp->text(), QStringLiteral("Записать  "));
    QVERIFY(a.isEnabled() && a.BitBtnReadSchKp->isEnabled() && a.BitBtnSaveSchKp->isEnabled());
    for (const char *name : {"ComboBoxSetSch", "ComboBoxCurrMeasure", "ComboBoxMaxValU", "ComboBoxMaxValU_",
                             "ComboBoxMaxValI", "ComboBoxMaxValI_", "BitBtnReadSchKp", "BitBtnSaveSchKp"})
        QVERIFY2(a.findChild<QWidget *>(QString::fromLatin1(name)), name);
    // The four-wire panel's tab is the visible one at first.
    QVERIFY(rig.tabs->isTabVisible(rig.tabs->indexOf(rig.tab3)));
    QVERIFY(!rig.tabs->isTabVisible(rig.tabs->indexOf(rig.tab4)));
    QCOMPARE(rig.saveTimer->interval(), 100);
    QVERIFY(!rig.saveTimer->isActive());
    QVERIFY(rig.progress.isHidden());
    QVERIFY(rig.port.written.isEmpty());
}

void TestSchemeRatios::readChainSendsThreeRequests()
{
    Rig rig;
    rig.area->BitBtnReadSchKp->click();
    QCOMPARE(rig.port.written, QList<QByteArray>{read03(528, 1)});
    QCOMPARE(rig.area->ComboBoxMaxValU->currentText(), QString());
    QCOMPARE(rig.area->ComboBoxMaxValU_->currentText(), QString());
    QVERIFY(rig.messages.shown.isEmpty()); // emptying the texts is no typing error

    rig.port.receive(readAnswer(kSlave, word(0)));
    QCOMPARE(int(rig.link.InqCurrMethod.Tag), 30);
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqCurrMethod);
    QVERIFY(rig.runner()->isActive());
    QCOMPARE(rig.runner()->interval(), 1000);
    QVERIFY(rig.runner()->fire());
    QCOMPARE(rig.port.lastFrame(), read03(546, 1));

    rig.port.receive(readAnswer(kSlave, word(1)));
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqRatioReread);
    QVERIFY(rig.runner()->isActive());
    QVERIFY(rig.runner()->fire());
    QCOMPARE(rig.port.lastFrame(), read03(2048, 8));

    rig.port.receive(readAnswer(kSlave, k130 + k100 + k6_5 + k5));
    QVERIFY(!rig.runner()->isActive());
    QCOMPARE(rig.sent(), 3);
    QCOMPARE(rig.area->ComboBoxMaxValU->currentText(), QStringLiteral("100"));
    QVERIFY(rig.messages.shown.isEmpty());
}

void TestSchemeRatios::readButtonKeepsTextsWhenLogicalNumberIsBad()
{
    Rig rig;
    rig.edit2 = QStringLiteral("abc");
    rig.area->BitBtnReadSchKp->click();
    QVERIFY(rig.port.written.isEmpty());
    QCOMPARE(rig.area->ComboBoxMaxValU->currentText(), QStringLiteral("100"));
    QCOMPARE(rig.area->ComboBoxMaxValU_->currentText(), QStringLiteral("100"));
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY(rig.messages.shown.first().contains(QStringLiteral("abc")));
}

void TestSchemeRatios::schemeWord_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("threeWire");
    QTest::newRow("0 is four-wire") << word(0) << kFourWire << false;
    QTest::newRow("1 is three-wire") << word(1) << kThreeWire << true;
    QTest::newRow("7 is three-wire") << word(7) << kThreeWire << true;
    QTest::newRow("all ones") << word(0xFFFF) << kThreeWire << true;
    QTest::newRow("extra bytes after the word") << word(0) + bytes({1, 2, 3}) << kFourWire << false;
}

void TestSchemeRatios::schemeWord()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, shown);
    QFETCH(bool, threeWire);
    Rig rig;
    rig.area->ThreeWire = !threeWire;
    rig.area->BitBtnReadSchKp->click();
    rig.port.receive(readAnswer(kSlave, data));
    QCOMPARE(rig.area->ComboBoxSetSch->currentText(), shown);
    QCOMPARE(rig.area->ThreeWire, threeWire);
    QCOMPARE(rig.area->ComboBoxMaxValU->count(), 10); // the empty item is gone
    for (int i = 0; i < 10; ++i)
        QCOMPARE(rig.area->ComboBoxMaxValU->itemText(i), RatedVoltages().at(i));
    QCOMPARE(rig.area->ComboBoxMaxValU->currentText(), QString());
}

void TestSchemeRatios::currentMethod_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("three-wire, measured") << 1 << 0 << 0 << true;
    QTest::newRow("three-wire, calculated") << 1 << 1 << 1 << true;
    QTest::newRow("three-wire, unknown method") << 1 << 5 << -1 << true;
    QTest::newRow("three-wire, all ones") << 7 << 0xFFFF << -1 << true;
    QTest::newRow("four-wire, calculated is forced to measured") << 0 << 1 << 0 << false;
    QTest::newRow("four-wire, unknown method") << 0 << 5 << 0 << false;
}

void TestSchemeRatios::currentMethod()
{
    QFETCH(int, scheme);
    QFETCH(int, method);
    QFETCH(int, index);
    QFETCH(bool, enabled);
    Rig rig;
    rig.readAll(scheme, method, k130 + k100 + k6_5 + k5);
    QCOMPARE(rig.area->ComboBoxCurrMeasure->currentIndex(), index);
    QCOMPARE(rig.area->ComboBoxCurrMeasure->isEnabled(), enabled);
    QVERIFY(rig.messages.shown.isEmpty());
}

void TestSchemeRatios::ratios_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<float>>("values");
    QTest::newRow("130/100 and 6.5/5") << k130 + k100 + k6_5 + k5
                                      << QStringList{"100", "100", "5" + sep() + "0", "5" + sep() + "0"}
                                      << QList<float>{130, 100, 6.5f, 5};
    QTest::newRow("no data reads as 0") << kNoData + kNoData + kNoData + kNoData
                                       << QStringList{"0", "0", "0" + sep() + "0", "0" + sep() + "0"}
                                       << QList<float>{0, 0, 0, 0};
    // 10000 × 1.3 = 13000 (46 4B 20 00), 1 (3F 80 00 00), 650 (44 22 80 00), 0.5 (3F 00 00 00).
    QTest::newRow("10000/1 and 500/0.5") << bytes({0x46, 0x4B, 0x20, 0x00, 0x3F, 0x80, 0, 0, 0x44, 0x22, 0x80, 0, 0x3F, 0, 0, 0})
                                        << QStringList{"10000", "1", "500" + sep() + "0", "0" + sep() + "5"}
                                        << QList<float>{13000, 1, 650, 0.5f};
}

void TestSchemeRatios::ratios()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, texts);
    QFETCH(QList<float>, values);
    Rig rig;
    rig.readAll(1, 0, data);
    SchemeRatiosArea &a = *rig.area;
    QCOMPARE(QStringList({a.ComboBoxMaxValU->currentText(), a.ComboBoxMaxValU_->currentText(),
                          a.ComboBoxMaxValI->currentText(), a.ComboBoxMaxValI_->currentText()}),
             texts);
    QCOMPARE(QList<float>({a.UMax, a.USec, a.IMax, a.ISec}), values);
    QCOMPARE(a.UMaxLine, a.UMax);
    QVERIFY(rig.messages.shown.isEmpty());
}

void TestSchemeRatios::hostileRatioAnswers_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray nan = bytes({0x7F, 0xC0, 0, 0});
    const QByteArray inf = bytes({0x7F, 0x80, 0, 0});
    const QByteArray negInf = bytes({0xFF, 0x80, 0, 0});
    const QByteArray huge = bytes({0x7F, 0x7F, 0xFF, 0xFF});
    const QByteArray tiny = bytes({0x00, 0x00, 0x00, 0x01});
    QTest::newRow("not a number") << nan + nan + nan + nan;
    QTest::newRow("infinities") << inf + negInf + inf + negInf;
    QTest::newRow("largest single") << huge + huge + huge + huge;
    QTest::newRow("smallest single") << tiny + tiny + tiny + tiny;
    QTest::newRow("one value only") << k130;
    QTest::newRow("nothing") << QByteArray();
    QTest::newRow("too long") << k130 + k100 + k6_5 + k5 + k130 + k130;
}

void TestSchemeRatios::hostileRatioAnswers()
{
    QFETCH(QByteArray, data);
    Rig rig;
    const QByteArray frame = readAnswer(kSlave, data);
    rig.area->ThreeWire = true;
    rig.area->ShowRatiosRead(responseOf(frame));
    rig.area->ThreeWire = false;
    rig.area->CalcNominalPower();
    for (QComboBox *box : {rig.area->ComboBoxMaxValU, rig.area->ComboBoxMaxValU_, rig.area->ComboBoxMaxValI,
                           rig.area->ComboBoxMaxValI_}) {
        const QString text = box->currentText();
        QVERIFY2(!text.isEmpty() && text.size() <= 24, qPrintable(text));
    }
    // Values the answer does not carry read as no data.
    if (data.size() < 16)
        QCOMPARE(rig.area->ISec, 0.0f);
    QVERIFY(rig.messages.shown.isEmpty());
}

void TestSchemeRatios::nominalPower_data()
{
    QTest::addColumn<float>("uMax");
    QTest::addColumn<float>("iMax");
    QTest::addColumn<bool>("threeWire");
    QTest::addColumn<double>("phase");  // rough values, worked out by hand
    QTest::addColumn<double>("total");
    QTest::newRow("four-wire 130 V 6.5 A") << 130.0f << 6.5f << false << 650.0 << 1950.0;
    QTest::newRow("three-wire 130 V 6.5 A") << 130.0f << 6.5f << true << 650.0 << 1125.865;
    QTest::newRow("three-wire 13000 V 650 A") << 13000.0f << 650.0f << true << 6.5e6 << 1.125865e7;
    QTest::newRow("four-wire 0.1 V 0.3 A") << 0.1f << 0.3f << false << 0.023076923 << 0.069230769;
    QTest::newRow("nothing read") << 0.0f << 0.0f << true << 0.0 << 0.0;
}

void TestSchemeRatios::nominalPower()
{
    QFETCH(float, uMax);
    QFETCH(float, iMax);
    QFETCH(bool, threeWire);
    QFETCH(double, phase);
    QFETCH(double, total);
    Rig rig;
    rig.area->UMax = uMax;
    rig.area->IMax = iMax;
    rig.area->ThreeWire = threeWire;
    rig.area->CalcNominalPower();

    // Each stored result is a single: the phase power, then the line value of the three-wire case.
    const float expectedPhase = float(double(uMax) * double(iMax) * kInverse13);
    float expectedTotal;
    if (threeWire) {
        const float line = float(double(expectedPhase) * kInverse13);
        expectedTotal = float(double(line) * 1.7321 * 1.3);
    } else {
        expectedTotal = float(double(expectedPhase) * 3);
    }
    QCOMPARE(rig.area->PPhaseMax, expectedPhase);
    QCOMPARE(rig.area->PTotalMax, expectedTotal);
    QVERIFY(std::fabs(rig.area->PPhaseMax - phase) <= 1e-5 * std::max(1.0, phase));
    QVERIFY(std::fabs(rig.area->PTotalMax - total) <= 1e-5 * std::max(1.0, total));
}

void TestSchemeRatios::writeSequence_data()
{
    QTest::addColumn<int>("scheme"); // list index chosen
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("schemeSent");
    QTest::addColumn<int>("methodSent");
    QTest::newRow("three-wire, calculated") << 0 << 1 << 0 << 1;
    QTest::newRow("three-wire, measured") << 0 << 0 << 0 << 0;
    QTest::newRow("four-wire forces measured") << 1 << 1 << 1 << 0;
}

void TestSchemeRatios::writeSequence()
{
    QFETCH(int, scheme);
    QFETCH(int, method);
    QFETCH(int, schemeSent);
    QFETCH(int, methodSent);
    Rig rig;
    // The texts as a read of 130/100 V and 6.5/5 A shows them: "100", "100", "5,0", "5,0".
    rig.readAll(1, 0, k130 + k100 + k6_5 + k5);
    rig.pick(rig.area->ComboBoxCurrMeasure, method);
    rig.pick(rig.area->ComboBoxSetSch, scheme);
    rig.port.written.clear();
    rig.progressValues.clear();
    rig.statuses.clear();

    const QList<QByteArray> expected{
        write06(528, schemeSent),       write06(546, methodSent),  writeRatio(2048, k100), writeRatio(2052, k100),
        writeRatio(2056, k5),           writeRatio(2060, k5),      write06(767, 0),
    };
    const QList<int> timeouts{5000, 5000, 3000, 3000, 3000, 3000, 5000};
    for (int step = 0; step < expected.size(); ++step) {
        if (step == 0)
            rig.area->BitBtnSaveSchKp->click();
        else
            QVERIFY(rig.saveTimer->fire());
        QVERIFY(!rig.saveTimer->isActive());
        QCOMPARE(rig.sent(), step + 1);
        QCOMPARE(rig.port.lastFrame(), expected.at(step));
        QCOMPARE(rig.answerTimer()->interval(), timeouts.at(step));
        QVERIFY(rig.answerTimer()->isActive());
        QVERIFY(!rig.progress.isHidden());
        rig.confirmLast();
    }
    QCOMPARE(rig.progressValues, (QList<int>{0, 10, 20, 40, 60, 80, 99, 100}));
    QCOMPARE(rig.statuses, (QStringList{QStringLiteral("  Запись схемы подключения"),
                                        QStringLiteral("  Запись значения напряжения трансформатора напряжения"),
                                        QStringLiteral("  Запись значения входного напряжения"),
                                        QStringLiteral("  Запись значения тока трансформатора тока"),
                                        QStringLiteral("  Запись значение входного тока")}));
    QCOMPARE(rig.messages.shown, QStringList{kWritten});
    QCOMPARE(rig.clock.waits, std::vector<int>{100});
    QVERIFY(rig.progress.isHidden());
    QVERIFY(!rig.saveTimer->isActive());
    QVERIFY(rig.area->isEnabled() && rig.area->BitBtnSaveSchKp->isEnabled());
    QVERIFY(!rig.saveTimer->fire());
    QCOMPARE(rig.sent(), 7);
    // The method record keeps the write's tag until the next read, and its read length.
    QCOMPARE(int(rig.link.InqCurrMethod.Tag), 26);
    QCOMPARE(int(rig.link.InqCurrMethod.AnswLen), 7);
}

void TestSchemeRatios::writeStepsWaitForConfirmation()
{
    Rig rig;
    rig.area->BitBtnSaveSchKp->click();
    QCOMPARE(rig.sent(), 1);
    // No confirmation yet: the step timer is off, and an unrelated answer does not move the sequence.
    QVERIFY(!rig.saveTimer->fire());
    rig.port.receive(withCrc(bytes({kSlave, 0x06, 0x02, 0x11, 0, 0})).left(3));
    QVERIFY(!rig.saveTimer->fire());
    QCOMPARE(rig.sent(), 1);
    rig.port.input.clear();
    rig.confirmLast();
    QVERIFY(rig.saveTimer->isActive());
    QCOMPARE(rig.saveTimer->interval(), 100);
    QCOMPARE(rig.sent(), 1); // the next step waits for the tick
    QVERIFY(rig.saveTimer->fire());
    QCOMPARE(rig.sent(), 2);
}

void TestSchemeRatios::writeStopsOnBadInput_data()
{
    QTest::addColumn<QString>("field"); // what is spoiled just before the failing step
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sentBefore");
    QTest::addColumn<QString>("message");
    QTest::newRow("scheme list without selection") << "scheme" << QString() << 0 << kNotCorrect;
    QTest::newRow("method list without selection") << "method" << QString() << 1 << kNotCorrect;
    QTest::newRow("primary voltage not a number") << "U" << "abc" << 2 << "'abc'";
    QTest::newRow("secondary voltage empty") << "U_" << "" << 3 << "''";
    QTest::newRow("primary current infinite") << "I" << "inf" << 4 << "'inf'";
    QTest::newRow("secondary current beyond a single") << "I_" << "1e39" << 5 << "'1e39'";
    QTest::newRow("secondary current not a number") << "I_" << "NaN" << 5 << "'NaN'";
    QTest::newRow("logical number bad at the start") << "edit2" << "x" << 0 << "'x'";
    QTest::newRow("logical number bad at a ratio") << "edit2" << "" << 3 << "''";
    QTest::newRow("logical number bad at the store command") << "edit2" << "1.5" << 6 << "'1.5'";
}

void TestSchemeRatios::writeStopsOnBadInput()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, sentBefore);
    QFETCH(QString, message);
    Rig rig;
    rig.saveUntil(sentBefore);
    SchemeRatiosArea &a = *rig.area;
    if (field == "scheme")
        a.ComboBoxSetSch->setCurrentIndex(-1);
    else if (field == "method")
        a.ComboBoxCurrMeasure->setCurrentIndex(-1);
    else if (field == "edit2")
        rig.edit2 = text;
    else
        a.findChild<QComboBox *>("ComboBox" + QStringLiteral("MaxVal") + field)->setEditText(text);
    a.EnableSchKp(false); // so that giving the area back shows

    if (sentBefore == 0)
        RunGuarded(rig.messages, [&] { a.BitBtnSaveSchKpClick(); }); // as the button's connection runs it
    else
        QVERIFY(rig.saveTimer->fire());

    QCOMPARE(rig.sent(), sentBefore);
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY2(rig.messages.shown.first().contains(message), qPrintable(rig.messages.shown.first()));
    QVERIFY(rig.progress.isHidden());
    QVERIFY(a.isEnabled() && a.BitBtnSaveSchKp->isEnabled() && a.BitBtnReadSchKp->isEnabled());
    QVERIFY(!rig.saveTimer->isActive());
    QVERIFY(!rig.saveTimer->fire());
    QCOMPARE(rig.sent(), sentBefore);
}

void TestSchemeRatios::writeEndedByLink_data()
{
    QTest::addColumn<bool>("timeout");
    QTest::addColumn<QString>("message");
    QTest::newRow("exception answer") << false << QStringLiteral("Адрес данных указанный в запросе недоступен");
    QTest::newRow("no answer") << true << QString();
}

void TestSchemeRatios::writeEndedByLink()
{
    QFETCH(bool, timeout);
    QFETCH(QString, message);
    Rig rig;
    rig.saveUntil(2);
    QVERIFY(rig.saveTimer->fire()); // 2048 goes out
    QCOMPARE(rig.sent(), 3);
    rig.area->EnableSchKp(false);
    if (timeout)
        QVERIFY(rig.answerTimer()->fire());
    else
        rig.port.receive(withCrc(bytes({kSlave, 0x90, 0x02})));

    QCOMPARE(rig.messages.shown, message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(rig.progress.isHidden());
    QVERIFY(rig.area->isEnabled() && rig.area->BitBtnSaveSchKp->isEnabled());
    QVERIFY(!rig.saveTimer->fire());
    QCOMPARE(rig.sent(), 3);

    // A new write starts over from the scheme.
    rig.progressValues.clear();
    rig.area->BitBtnSaveSchKp->click();
    QCOMPARE(rig.port.lastFrame(), write06(528, 0));
    QCOMPARE(rig.progressValues, QList<int>{0});
    QVERIFY(!rig.progress.isHidden());
}

void TestSchemeRatios::editRules_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("typed"); // key by key, or the whole text at once as a paste does
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("errors");
    const QString s = sep();
    QTest::newRow("voltage above the limit") << "U" << true << "800000" << "750000" << 0;
    QTest::newRow("current above the limit") << "I" << true << "25000" << "20000" << 0;
    QTest::newRow("voltage at the limit") << "U" << true << "750000" << "750000" << 0;
    QTest::newRow("trailing separator disappears") << "U" << true << "100" + s << "100" << 0;
    QTest::newRow("typing a fraction loses its separator") << "I" << true << "12" + s + "5" << "125" << 0;
    QTest::newRow("pasted fraction kept") << "I" << false << "12" + s + "5" << "12" + s + "5" << 0;
    QTest::newRow("0.1 comes back as a single") << "U" << false << "0" + s + "1" << "0" + s + "100000001490116" << 0;
    QTest::newRow("dot accepted as separator") << "I" << false << "2.5" << "2" + s + "5" << 0;
    QTest::newRow("exponent") << "U" << false << "1e3" << "1000" << 0;
    QTest::newRow("far beyond a single") << "U" << false << "1e40" << "750000" << 0;
    QTest::newRow("negative kept") << "I" << false << "-5" << "-5" << 0;
    QTest::newRow("negative beyond a single") << "I" << false << "-1e40" << "-1e40" << 1;
    QTest::newRow("letters") << "U" << false << "abc" << "abc" << 1;
    QTest::newRow("not a number") << "U" << false << "nan" << "nan" << 1;
    QTest::newRow("emptied") << "I" << false << "" << "" << 1;
    QTest::newRow("typed sign alone") << "I" << true << "-" << "-" << 1;
}

void TestSchemeRatios::editRules()
{
    QFETCH(QString, field);
    QFETCH(bool, typed);
    QFETCH(QString, input);
    QFETCH(QString, result);
    QFETCH(int, errors);
    Rig rig;
    QComboBox *box = field == "U" ? rig.area->ComboBoxMaxValU : rig.area->ComboBoxMaxValI;
    QLineEdit *edit = box->lineEdit();
    edit->selectAll();
    if (typed) {
        edit->del(); // counts as typing: an empty text is reported like any non-number
        rig.messages.shown.clear();
        QTest::keyClicks(edit, input);
    } else {
        edit->insert(input);
    }
    QCOMPARE(box->currentText(), result);
    QCOMPARE(rig.messages.shown.size(), errors);
    // Setting the text from a handler is no typing: no rule, no message.
    rig.messages.shown.clear();
    box->setEditText(QStringLiteral("abc"));
    QVERIFY(rig.messages.shown.isEmpty());
}

void TestSchemeRatios::editRuleLeavesGoodTextAlone()
{
    Rig rig;
    QLineEdit *edit = rig.area->ComboBoxMaxValI->lineEdit();
    edit->setText(QStringLiteral("1500"));
    edit->setCursorPosition(2);
    int changes = 0;
    connect(edit, &QLineEdit::textChanged, [&changes] { ++changes; });
    QTest::keyClick(edit, Qt::Key_0);
    QCOMPARE(edit->text(), QStringLiteral("15000"));
    QCOMPARE(changes, 1);                 // only the keystroke itself
    QCOMPARE(edit->cursorPosition(), 3);  // not thrown to the end by a rewrite
}

void TestSchemeRatios::schemeChange_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<QString>("primary");
    QTest::addColumn<QString>("secondary");
    QTest::addColumn<QString>("primaryShown");
    QTest::addColumn<QString>("secondaryShown");
    QTest::addColumn<int>("errors");
    QTest::newRow("four-wire, near miss snapped") << 1 << "10490" << "100" << "10500" << "100" << 0;
    QTest::newRow("three-wire, 400 has no band") << 0 << "400" + sep() + "3" << "100" + sep() + "2" << "400" << "100" << 0;
    QTest::newRow("four-wire, above the limit") << 1 << "800000" << "57" + sep() + "7" << "750000" << "58" << 0;
    QTest::newRow("nothing read yet") << 1 << "" << "" << "100" << "100" << 0;
    QTest::newRow("primary not a number") << 1 << "abc" << "100" << "abc" << "100" << 1;
    QTest::newRow("secondary not a number") << 0 << "6000" << "x" << "6000" << "x" << 1;
}

void TestSchemeRatios::schemeChange()
{
    QFETCH(int, scheme);
    QFETCH(QString, primary);
    QFETCH(QString, secondary);
    QFETCH(QString, primaryShown);
    QFETCH(QString, secondaryShown);
    QFETCH(int, errors);
    Rig rig;
    SchemeRatiosArea &a = *rig.area;
    a.ComboBoxCurrMeasure->setCurrentIndex(1);
    a.ComboBoxMaxValU->setEditText(primary);
    a.ComboBoxMaxValU_->setEditText(secondary);
    rig.pick(a.ComboBoxSetSch, scheme);

    const bool fourWire = scheme == 1;
    QCOMPARE(a.ComboBoxMaxValU->currentText(), primaryShown);
    QCOMPARE(a.ComboBoxMaxValU_->currentText(), secondaryShown);
    QCOMPARE(rig.tabs->isTabVisible(rig.tabs->indexOf(rig.tab3)), fourWire);
    QCOMPARE(rig.tabs->isTabVisible(rig.tabs->indexOf(rig.tab4)), !fourWire);
    QCOMPARE(a.ComboBoxCurrMeasure->isEnabled(), !fourWire);
    QCOMPARE(a.ComboBoxCurrMeasure->currentIndex(), fourWire ? 0 : 1);
    QCOMPARE(rig.messages.shown.size(), errors);

    // The sheet-change rule of the window gives the same result, and undoes nothing when three-wire.
    a.ComboBoxSetSch->setCurrentIndex(1 - scheme);
    a.ApplyCurrentMethodRule();
    QCOMPARE(a.ComboBoxCurrMeasure->isEnabled(), fourWire);
    QCOMPARE(a.ComboBoxCurrMeasure->currentIndex(), 0);
}

void TestSchemeRatios::fillRatedVoltagesKeepsText()
{
    Rig rig;
    rig.area->ComboBoxMaxValU->setEditText(QStringLiteral("12345"));
    rig.area->FillRatedVoltages();
    QCOMPARE(rig.area->ComboBoxMaxValU->currentText(), QStringLiteral("12345"));
    QCOMPARE(rig.area->ComboBoxMaxValU->count(), 10);
    QVERIFY(rig.messages.shown.isEmpty());
}

void TestSchemeRatios::snapRatedVoltage_data()
{
    QTest::addColumn<double>("v");
    QTest::addColumn<QString>("primaryText");
    QTest::addColumn<QString>("result");
    const QString t = QStringLiteral("1");
    QTest::newRow("10490") << 10490.0 << t << "10500";
    QTest::newRow("10530") << 10530.0 << t << "10530";
    QTest::newRow("400.3") << 400.3 << t << "400";
    QTest::newRow("100.2 is outside the open band") << 100.2 << t << "100";
    QTest::newRow("99.8 is outside too") << 99.8 << t << "100";
    QTest::newRow("99.5 rounds away from zero") << 99.5 << t << "100";
    QTest::newRow("6011.9") << 6011.9 << t << "6000";
    QTest::newRow("6012") << 6012.0 << t << "6012";
    QTest::newRow("15718.7") << 15718.7 << t << "15750";
    QTest::newRow("109790") << 109790.0 << t << "110000";
    QTest::newRow("220439") << 220439.0 << t << "220000";
    QTest::newRow("499000") << 499000.0 << t << "499000";
    QTest::newRow("500999") << 500999.0 << t << "500000";
    QTest::newRow("750000") << 750000.0 << t << "750000";
    QTest::newRow("negative small") << -0.3 << t << "0";
    QTest::newRow("not a number") << std::nan("") << t << "NAN";
    QTest::newRow("empty text") << 10490.0 << QString() << "100";
    QTest::newRow("blank text") << 0.0 << QStringLiteral("  ") << "100";
}

void TestSchemeRatios::snapRatedVoltage()
{
    QFETCH(double, v);
    QFETCH(QString, primaryText);
    QFETCH(QString, result);
    QCOMPARE(SnapRatedVoltage(v, primaryText), result);
}

void TestSchemeRatios::generalText_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<float>("v");
    QTest::addColumn<QString>("text");
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale c = QLocale::c();
    QTest::newRow("integer") << ru << 750000.0f << "750000";
    QTest::newRow("zero") << ru << 0.0f << "0";
    QTest::newRow("negative zero") << ru << -0.0f << "0";
    QTest::newRow("exact fraction") << ru << 100.5f << "100,5";
    QTest::newRow("exact fraction, dot locale") << c << 100.5f << "100.5";
    QTest::newRow("0.1 as a single") << ru << 0.1f << "0,100000001490116";
    QTest::newRow("single digits of 57.7") << ru << 57.7f << "57,7000007629395";
    QTest::newRow("small, exponent") << ru << 1e-6f << "9,99999997475243E-7";
    QTest::newRow("0.0001 still plain") << c << 0.0001f << "0.0000999999974737875";
    QTest::newRow("largest single") << ru << std::numeric_limits<float>::max() << "3,40282346638529E38";
    QTest::newRow("not a number") << ru << std::numeric_limits<float>::quiet_NaN() << "NAN";
    QTest::newRow("infinity") << ru << std::numeric_limits<float>::infinity() << "INF";
    QTest::newRow("negative infinity") << ru << -std::numeric_limits<float>::infinity() << "-INF";
}

void TestSchemeRatios::generalText()
{
    QFETCH(QLocale, locale);
    QFETCH(float, v);
    QFETCH(QString, text);
    const QLocale before;
    QLocale::setDefault(locale);
    const QString shown = GeneralText(v);
    QLocale::setDefault(before);
    QCOMPARE(shown, text);
}

void TestSchemeRatios::fixedText_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("v");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale c = QLocale::c();
    QTest::newRow("130 / 1.3") << ru << 130.0 * kInverse13 << 0 << "100";
    QTest::newRow("6.5 / 1.3") << ru << 6.5 * kInverse13 << 1 << "5,0";
    QTest::newRow("6.5 / 1.3, dot locale") << c << 6.5 * kInverse13 << 1 << "5.0";
    QTest::newRow("half up") << ru << 2.5 << 0 << "3";
    QTest::newRow("half away from zero") << ru << -2.5 << 0 << "-3";
    QTest::newRow("one decimal half") << ru << 0.25 << 1 << "0,3";
    QTest::newRow("no negative zero") << ru << -0.04 << 1 << "0,0";
    QTest::newRow("large") << ru << 123456789012.0 << 0 << "123456789012";
    QTest::newRow("huge falls back to general") << ru << 1e20 << 0 << "1E20";
    QTest::newRow("not a number") << ru << std::nan("") << 1 << "NAN";
}

void TestSchemeRatios::fixedText()
{
    QFETCH(QLocale, locale);
    QFETCH(double, v);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    const QLocale before;
    QLocale::setDefault(locale);
    const QString shown = FixedText(v, decimals);
    QLocale::setDefault(before);
    QCOMPARE(shown, text);
}

QTEST_MAIN(TestSchemeRatios)
#include "tst_scheme_ratios.moc"
