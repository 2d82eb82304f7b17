// The metrology cycle and the calibration writes on the link's test doubles, with the scheme and
// ratio area beside it as the window has it; the value-entry dialog; the value texts.
#include "conversion.h"
#include "fakes.h"
#include "frame_util.h"
#include "metrology_panel.h"
#include "metrology_values.h"
#include "scheme_ratios.h"
#include "status_lamp.h"
#include "value_entry_dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <limits>
#include <map>
#include <memory>

using namespace tavro;
using namespace tavro::test;

namespace {

constexpr int kSlave = 5;

QByteArray single(float v)
{
    std::uint8_t b[4];
    FloatToBytes(v, b);
    return QByteArray(reinterpret_cast<const char *>(b), 4);
}

QByteArray word(int w) { return bytes({(w >> 8) & 0xFF, w & 0xFF}); }

QByteArray read03(int reg, int count) { return withCrc(bytes({kSlave, 0x03, reg >> 8, reg & 0xFF, 0, count})); }

QByteArray write06(int reg, int value)
{
    return withCrc(bytes({kSlave, 0x06, reg >> 8, reg & 0xFF, value >> 8, value & 0xFF}));
}

QByteArray write16Float(int reg, float value)
{
    return withCrc(bytes({kSlave, 0x10, reg >> 8, reg & 0xFF, 0x00, 0x02, 0x04}) + single(value));
}

QByteArray write16Answer(int reg) { return withCrc(bytes({kSlave, 0x10, reg >> 8, reg & 0xFF, 0x00, 0x02})); }

// The 62 registers of the measured values; the singles not given are 0.
QByteArray measured(const std::map<int, float> &values)
{
    QByteArray data;
    for (int k = 0; k < 31; ++k) {
        const auto it = values.find(k);
        data += single(it == values.end() ? 0.0f : it->second);
    }
    return data;
}

QByteArray ratios(float u, float uSec, float i, float iSec)
{
    return single(u) + single(uSec) + single(i) + single(iSec);
}

// A text with a point as the screen shows it: with the locale's decimal separator.
QString local(QString text) { return text.replace(QLatin1Char('.'), QLocale().decimalPoint()); }

Response responseOf(const QByteArray &frame)
{
    return Response{reinterpret_cast<const std::uint8_t *>(frame.constData()), std::size_t(frame.size())};
}

const QString kStart = QStringLiteral("   Старт");
const QString kStop = QStringLiteral("   Стоп");

// What the window does at the link's moments that concern the metrology sheet.
class WindowHooks : public LinkObserver {
public:
    MetrologyPanel *panel = nullptr;
    SchemeRatiosArea *area = nullptr;
    Link *link = nullptr;
    QProgressBar *progress = nullptr;
    int gaveUp = 0;
    void exceptionAnswer() override
    {
        panel->EnableCalibControls(true);
        area->EnableSchKp(true);
        progress->hide();
        panel->ApdStatusLight1->hide();
    }
    void timedOut() override
    {
        panel->EnableCalibControls(true);
        if (!link->NetActive)
            area->EnableSchKp(true);
        progress->hide();
    }
    void runnerGaveUp() override
    {
        ++gaveUp;
        panel->StopSetNet();
    }
    void runnerSent(bool) override
    {
        panel->ApdStatusLight1->show();
        panel->ApdStatusLight1->setLit(true);
    }
};

struct Rig {
    FakeSerialPort port;
    FakeTimerFactory timers;
    FakeClock clock;
    RecordingMessages messages;
    Link link{port, timers, clock, messages};
    QWidget owner; // the main window
    QProgressBar progress;
    QString savedEditText;
    QString edit2 = QString::number(kSlave);
    SheetServices services{link,
                           messages,
                           clock,
                           timers,
                           [] { return std::uint16_t(1); },
                           [this] { return std::uint16_t(StrToInt(edit2)); },
                           [](const QString &) {},
                           [this](bool enabled) { panel->EnableCalibControls(enabled); },
                           &progress,
                           &savedEditText};
    FakeTimer *saveTimer = static_cast<FakeTimer *>(timers.create(&owner, QStringLiteral("TimerSaveMaxVal"), 100));
    QTabWidget *tabs = new QTabWidget(&owner);
    QWidget *tab4 = new QWidget;
    QWidget *tab3 = new QWidget;
    StatusLamp *lamp = new StatusLamp(&owner);
    SchemeRatiosArea *area = nullptr;
    MetrologyPanel *panel = nullptr;
    WindowHooks hooks;
    bool otherPagesEnabled = true;
    bool exitOn = true;
    bool mainOrDisplaySheet = false;

    Rig()
    {
        new QVBoxLayout(&owner);
        new QVBoxLayout(tab4);
        new QVBoxLayout(tab3);
        tabs->addTab(tab4, QStringLiteral("Трехпроводная"));
        tabs->addTab(tab3, QStringLiteral("Четырехпроводная"));
        owner.layout()->addWidget(tabs);
        owner.layout()->addWidget(lamp);
        area = new SchemeRatiosArea(services, *saveTimer, tabs, tab3, tab4, &owner);
        panel = new MetrologyPanel(services, *area, tabs, tab3, tab4, lamp, &owner);
        owner.layout()->addWidget(panel);
        panel->setOtherPagesEnabled = [this](bool on) { otherPagesEnabled = on; };
        panel->exitEnabled = [this](bool on) { exitOn = on; };
        panel->settingsSheetIsMainOrDisplay = [this] { return mainOrDisplaySheet; };
        link.setSettingsLogicalNumber([this] { return std::uint16_t(StrToInt(edit2)); });

        MetrologyPanel *p = panel;
        SchemeRatiosArea *a = area;
        link.setHandler(29, [p](const Response &r) { p->SchemeStartRead(r); });
        link.setHandler(27, [p](const Response &r) { p->RatiosRead(r); });
        link.setHandler(32, [p](const Response &r) { p->MeasureRead(r); });
        link.setHandler(14, [p](const Response &r) { p->CalibValueWritten(r); });
        link.setHandler(40, [p](const Response &r) { p->CalibCmdWritten(r); });
        link.setHandler(31, [a](const Response &r) { a->ShowScheme(r); });
        link.setHandler(30, [a](const Response &r) { a->ShowCurrMethod(r); });
        link.setHandler(28, [a](const Response &r) { a->ShowRatiosRead(r); });
        for (std::uint8_t tag : {11, 26, 21, 22, 23, 24})
            link.setHandler(tag, [a](const Response &r) { a->SaveStepConfirmed(r); });
        link.setHandler(20, [a](const Response &r) { a->SaveFinished(r); });
        hooks.panel = p;
        hooks.area = a;
        hooks.link = &link;
        hooks.progress = &progress;
        link.setObserver(&hooks);
    }
    ~Rig()
    {
        link.setObserver(nullptr);
        panel->Form2->closed = nullptr;
    }

    FakeTimer *runner() { return static_cast<FakeTimer *>(link.TimerSetAuto); }
    FakeTimer *answerTimer() { return static_cast<FakeTimer *>(link.TimerWaitAnsw); }
    int sent() const { return int(port.written.size()); }

    // Start, scheme word, ratios: the runner is left polling, the first poll not yet sent.
    void startCycle(int scheme, float uMax, float iMax)
    {
        panel->BitBtnSetNet->click();
        port.receive(readAnswer(kSlave, word(scheme)));
        runner()->fire();
        port.receive(readAnswer(kSlave, ratios(uMax, 100, iMax, 5)));
    }

    // One poll, answered with these values.
    void poll(const std::map<int, float> &values)
    {
        QVERIFY(runner()->fire());
        QCOMPARE(port.lastFrame(), read03(0, 62));
        port.receive(readAnswer(kSlave, measured(values)));
    }

    bool calibControlsEnabled() const
    {
        // As they would be with the main window usable: the dialog may have disabled it.
        return panel->Button3Uan->isEnabledTo(&owner) && panel->Button2Ubn->isEnabledTo(&owner) &&
               panel->UpDownPa0->isEnabledTo(&owner) && panel->UpDownPsc1->isEnabledTo(&owner);
    }
    bool calibControlsDisabled() const
    {
        return !panel->Button3Uan->isEnabledTo(&owner) && !panel->Button2Ubn->isEnabledTo(&owner) &&
               !panel->UpDownPa0->isEnabledTo(&owner) && !panel->UpDownPsc1->isEnabledTo(&owner);
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
};

} // namespace

class TestMetrology : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia)); }

    void scaledValueText_data();
    void scaledValueText();
    void powerUnitText_data();
    void powerUnitText();

    void startState();
    void startSendsSchemeRequest();
    void startWithBadLogicalNumberChangesNothing();
    void startWithoutPortKeepsPagesUsable();
    void cycleReadsRatiosThenPolls();
    void schemeWordChoosesPanel_data();
    void schemeWordChoosesPanel();
    void showNetValues();
    void checkNominal_data();
    void checkNominal();
    void nominalZeroShowsZero();
    void calibrationWrite_data();
    void calibrationWrite();
    void pendingWriteKeepsItsPlace();
    void settingsSheetStopsRunner();
    void stopButtonEndsCycle();
    void tenFailuresEndCycle();
    void exceptionAnswerGivesControlsBack();
    void hostileAnswers_data();
    void hostileAnswers();

    void dialogLayout();
    void dialogSlots_data();
    void dialogSlots();
    void doubleClickOpensDialog();
    void dialogGuards();
    void enterConfirmsWithoutClosing();
    void badTextAtConfirmationWritesNothing_data();
    void badTextAtConfirmationWritesNothing();
    void closingGivesMainWindowBack();
};

// ---- value texts ------------------------------------------------------------------------------

void TestMetrology::scaledValueText_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("phase voltage") << 57.735f << local("57.735");
    QTest::newRow("thousands") << 6000.0f << local("6.0000");
    QTest::newRow("hundred thousands") << 110000.0f << local("110.00");
    QTest::newRow("below one") << 0.5f << local("0.5000");
    QTest::newRow("negative") << -220000.0f << local("-220.00");
    QTest::newRow("zero") << 0.0f << local("0.0");
    QTest::newRow("negative zero") << -0.0f << local("0.0");
    QTest::newRow("just below 1000") << 999.5f << local("999.50");
    QTest::newRow("exactly 1000") << 1000.0f << local("1.0000");
    QTest::newRow("giga") << 2.0e9f << local("2.0000");
    QTest::newRow("tiny") << 0.00004f << local("0.0000");
    QTest::newRow("largest single") << std::numeric_limits<float>::max() << local("340.28");
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << QStringLiteral("NAN");
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << QStringLiteral("INF");
    QTest::newRow("minus infinity") << -std::numeric_limits<float>::infinity() << QStringLiteral("-INF");
}

void TestMetrology::scaledValueText()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(ScaledValueText(value), text);
}

void TestMetrology::powerUnitText_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("unit");
    QTest::newRow("0") << 0.0f << QStringLiteral(" W");
    QTest::newRow("999") << 999.0f << QStringLiteral(" W");
    QTest::newRow("-999") << -999.0f << QStringLiteral(" W");
    QTest::newRow("1000") << 1000.0f << QStringLiteral("kW");
    QTest::newRow("6000") << 6000.0f << QStringLiteral("kW");
    QTest::newRow("-6000") << -6000.0f << QStringLiteral("kW");
    QTest::newRow("1e6") << 1.0e6f << QStringLiteral("MW");
    QTest::newRow("999e6") << 999.0e6f << QStringLiteral("MW");
    QTest::newRow("1e9") << 1.0e9f << QString();
    QTest::newRow("2e9") << 2.0e9f << QString();
    QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << QString();
}

void TestMetrology::powerUnitText()
{
    QFETCH(float, value);
    QFETCH(QString, unit);
    QCOMPARE(PowerUnitText(value), unit);
}

// ---- the cycle --------------------------------------------------------------------------------

void TestMetrology::startState()
{
    Rig rig;
    MetrologyPanel *p = rig.panel;
    QCOMPARE(p->objectName(), QStringLiteral("MetrologyPanel"));
    QVERIFY(rig.tabs->isHidden());
    QVERIFY(rig.tabs->isTabVisible(rig.tabs->indexOf(rig.tab3)));
    QVERIFY(!rig.tabs->isTabVisible(rig.tabs->indexOf(rig.tab4)));
    QVERIFY(rig.lamp->isHidden());
    QCOMPARE(rig.lamp->parentWidget(), static_cast<QWidget *>(p));
    QVERIFY(!p->BitBtnSeveSetInfo->isEnabled());
    QVERIFY(p->BitBtnSeveSetInfo->text().isEmpty());
    QCOMPARE(p->BitBtnSetNet->text(), kStart);
    QVERIFY(rig.calibControlsEnabled());
    QVERIFY(!rig.link.NetActive);
    QVERIFY(!rig.link.WritePending);
    QCOMPARE(p->Form2->objectName(), QStringLiteral("Form2"));
    QVERIFY(p->Form2->isHidden());

    const QStringList fourWire{"StaticTextUan", "StaticTextUbn", "StaticTextUcn", "Button3Uan", "Button3Ubn",
                               "Button3Ucn", "StaticTextIa3", "StaticTextIb3", "StaticTextIc3", "Button3Ian",
                               "Button3Ibn", "Button3Icn", "StaticTextPa", "StaticTextPb", "StaticTextPc",
                               "StaticTextP", "StaticTextPa_", "StaticTextPb_", "StaticTextPc_", "StaticTextP_",
                               "UpDownPa1", "UpDownPb1", "UpDownPc1", "UpDownPa0", "UpDownPb0", "UpDownPc0"};
    const QStringList threeWire{"StaticTextUab", "StaticTextUbc", "StaticTextUca", "Button2Uan", "Button2Ubn",
                                "StaticTextIa2", "StaticTextIb2", "StaticTextIc2", "StaticTextPs", "StaticTextQs",
                                "UpDownPsa1", "UpDownPsa0", "UpDownPsc1", "UpDownPsc0"};
    for (const QString &name : fourWire)
        QVERIFY2(rig.tab3->findChild<QWidget *>(name), qPrintable(name));
    for (const QString &name : threeWire)
        QVERIFY2(rig.tab4->findChild<QWidget *>(name), qPrintable(name));
    for (QPushButton *b : {p->Button3Uan, p->Button3Icn, p->Button2Uan, p->Button2Ubn})
        QCOMPARE(b->text(), QStringLiteral("Ввод"));
    QVERIFY(p->findChild<QPushButton *>(QStringLiteral("BitBtnSetNet")));
    QVERIFY(p->findChild<QPushButton *>(QStringLiteral("BitBtnSeveSetInfo")));
}

void TestMetrology::startSendsSchemeRequest()
{
    Rig rig;
    rig.edit2 = QStringLiteral("5");
    rig.panel->BitBtnSetNet->click();
    QCOMPARE(rig.sent(), 1);
    QCOMPARE(rig.port.lastFrame(), read03(528, 1));
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqSchemeStart);
    QCOMPARE(rig.runner()->interval(), 1000);
    QVERIFY(!rig.link.NetActive);
    QVERIFY(rig.panel->BitBtnSeveSetInfo->isEnabled());
    QVERIFY(!rig.otherPagesEnabled);
    QVERIFY(!rig.exitOn);
    QCOMPARE(rig.panel->BitBtnSetNet->text(), kStart);
    // Not started yet: a second click asks again.
    rig.panel->BitBtnSetNet->click();
    QCOMPARE(rig.sent(), 2);
    QCOMPARE(rig.port.lastFrame(), read03(528, 1));
}

void TestMetrology::startWithBadLogicalNumberChangesNothing()
{
    Rig rig;
    rig.edit2 = QStringLiteral("x");
    rig.panel->BitBtnSetNet->click();
    QCOMPARE(rig.sent(), 0);
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY(rig.otherPagesEnabled);
    QVERIFY(rig.exitOn);
    QVERIFY(!rig.panel->BitBtnSeveSetInfo->isEnabled());
}

void TestMetrology::startWithoutPortKeepsPagesUsable()
{
    Rig rig;
    rig.port.failOpen = true;
    rig.panel->BitBtnSetNet->click();
    QCOMPARE(rig.sent(), 0);
    QVERIFY(rig.otherPagesEnabled);
    QVERIFY(rig.exitOn);
    QVERIFY(!rig.panel->BitBtnSeveSetInfo->isEnabled());
}

void TestMetrology::cycleReadsRatiosThenPolls()
{
    Rig rig;
    rig.panel->BitBtnSetNet->click();
    rig.port.receive(readAnswer(kSlave, word(0)));
    QCOMPARE(rig.panel->BitBtnSetNet->text(), kStop);
    QVERIFY(rig.link.NetActive);
    QVERIFY(rig.runner()->isActive());
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqRatioRead);
    QVERIFY(!rig.area->isEnabled());
    QVERIFY(rig.tabs->isHidden());

    QVERIFY(rig.runner()->fire());
    QCOMPARE(rig.port.lastFrame(), read03(2048, 8));
    rig.port.receive(readAnswer(kSlave, ratios(130, 100, 6.5f, 5)));
    QVERIFY(!rig.tabs->isHidden());
    QCOMPARE(rig.area->UMax, 130.0f);
    QCOMPARE(rig.area->IMax, 6.5f);
    QCOMPARE(rig.area->ComboBoxMaxValU->currentText(), QStringLiteral("100"));
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqMeasure);
    QVERIFY(rig.runner()->isActive());

    for (int tick = 0; tick < 3; ++tick) {
        rig.poll({{0, 57.735f}});
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqMeasure);
        QVERIFY(rig.runner()->isActive());
    }
    QCOMPARE(rig.panel->StaticTextUan->text(), local("57.735"));
    QCOMPARE(rig.sent(), 5);
    QVERIFY(rig.messages.shown.isEmpty());
}

void TestMetrology::schemeWordChoosesPanel_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("threeWire");
    QTest::newRow("0: four-wire") << readAnswer(kSlave, word(0)) << false;
    QTest::newRow("1: three-wire") << readAnswer(kSlave, word(1)) << true;
    QTest::newRow("0xFFFF: three-wire") << readAnswer(kSlave, word(0xFFFF)) << true;
}

void TestMetrology::schemeWordChoosesPanel()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, threeWire);
    Rig rig;
    rig.panel->BitBtnSetNet->click();
    rig.port.receive(answer);
    QVERIFY(rig.link.NetActive);
    QCOMPARE(rig.area->ThreeWire, threeWire);
    QCOMPARE(rig.area->ComboBoxSetSch->currentText(),
             threeWire ? QStringLiteral("трехпроводная") : QStringLiteral("четырехпроводная"));
    QCOMPARE(rig.tabs->isTabVisible(rig.tabs->indexOf(rig.tab4)), threeWire);
    QCOMPARE(rig.tabs->isTabVisible(rig.tabs->indexOf(rig.tab3)), !threeWire);
}

void TestMetrology::showNetValues()
{
    Rig rig;
    rig.startCycle(0, 130, 6.5f);
    rig.poll({{0, 57.735f},
              {1, 0.005f},
              {2, -0.005f},
              {3, 5.0f},
              {4, 2.5f},
              {5, 0.0f},
              {6, 100.0f},
              {7, 110000.0f},
              {8, 99.9f},
              {9, 6000.0f},
              {10, 500.0f},
              {11, -1.5e6f},
              {21, 2.0e9f},
              {22, -0.005f}});
    MetrologyPanel *p = rig.panel;
    const std::vector<std::pair<QLabel *, QString>> expected{
        {p->StaticTextUan, "57.735"}, {p->StaticTextUbn, "0.0"},     {p->StaticTextUcn, "0.0"},
        {p->StaticTextIa3, "5.0000"}, {p->StaticTextIa2, "5.0000"},  {p->StaticTextIb3, "2.5000"},
        {p->StaticTextIb2, "2.5000"}, {p->StaticTextIc3, "0.0"},     {p->StaticTextIc2, "0.0"},
        {p->StaticTextUab, "100.00"}, {p->StaticTextUbc, "110.00"},  {p->StaticTextUca, "99.900"},
        {p->StaticTextPa, "6.0000"},  {p->StaticTextPb, "500.00"},   {p->StaticTextPc, "-1.5000"},
        {p->StaticTextP, "2.0000"},   {p->StaticTextPs, "2.0000"},   {p->StaticTextQs, "-0.0050"},
    };
    for (const auto &[label, text] : expected)
        QCOMPARE(label->text(), local(text));
    QCOMPARE(p->StaticTextPa_->text(), QStringLiteral("kW"));
    QCOMPARE(p->StaticTextPb_->text(), QStringLiteral(" W"));
    QCOMPARE(p->StaticTextPc_->text(), QStringLiteral("MW"));
    QCOMPARE(p->StaticTextP_->text(), QString());
    // Nominals 57.74 V, 5 A, 100 V: 60 % of each decides.
    QVERIFY(p->Button3Uan->isEnabled());
    QVERIFY(!p->Button3Ubn->isEnabled());
    QVERIFY(!p->Button3Ucn->isEnabled());
    QVERIFY(p->Button3Ian->isEnabled());
    QVERIFY(!p->Button3Ibn->isEnabled());
    QVERIFY(!p->Button3Icn->isEnabled());
    QVERIFY(p->Button2Uan->isEnabled());
    QVERIFY(p->Button2Ubn->isEnabled()); // governed by Uca
}

void TestMetrology::checkNominal_data()
{
    QTest::addColumn<bool>("threeWire");
    QTest::addColumn<float>("uMax");
    QTest::addColumn<float>("iMax");
    QTest::addColumn<int>("channel");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<float>("shown");
    QTest::newRow("four-wire Ua 35 of 57.7") << false << 130.f << 5.f << 0 << 35.f << "Button3Uan" << true << 35.f;
    QTest::newRow("four-wire Ua 34 of 57.7") << false << 130.f << 5.f << 0 << 34.f << "Button3Uan" << false << 34.f;
    // 60 % of 100 / 1.732 is 34.6420; of 100 / 1.732051 it would be 34.6410.
    QTest::newRow("four-wire Ua between the two factors") << false << 130.f << 5.f << 0 << 34.6415f << "Button3Uan"
                                                          << false << 34.6415f;
    QTest::newRow("four-wire Uc 35") << false << 130.f << 5.f << 2 << 35.f << "Button3Ucn" << true << 35.f;
    QTest::newRow("three-wire Ua 61 of 100") << true << 130.f << 5.f << 1 << 61.f << "Button3Ubn" << true << 61.f;
    QTest::newRow("three-wire Ua 59 of 100") << true << 130.f << 5.f << 1 << 59.f << "Button3Ubn" << false << 59.f;
    QTest::newRow("Ia 3.1 of 5") << false << 130.f << 6.5f << 3 << 3.1f << "Button3Ian" << true << 3.1f;
    QTest::newRow("Ia 2.9 of 5") << false << 130.f << 6.5f << 3 << 2.9f << "Button3Ian" << false << 2.9f;
    QTest::newRow("Ic 3.1 of 5") << false << 130.f << 6.5f << 5 << 3.1f << "Button3Icn" << true << 3.1f;
    QTest::newRow("Uab 61 of 100") << true << 130.f << 5.f << 6 << 61.f << "Button2Uan" << true << 61.f;
    QTest::newRow("Uca 59 of 100") << true << 130.f << 5.f << 8 << 59.f << "Button2Ubn" << false << 59.f;
    QTest::newRow("negative") << false << 130.f << 6.5f << 3 << -4.f << "Button3Ian" << false << -4.f;
    QTest::newRow("zero band") << false << 130.f << 6.5f << 3 << 0.005f << "Button3Ian" << false << 0.f;
    QTest::newRow("negative zero band") << false << 130.f << 6.5f << 4 << -0.009f << "Button3Ibn" << false << 0.f;
}

void TestMetrology::checkNominal()
{
    QFETCH(bool, threeWire);
    QFETCH(float, uMax);
    QFETCH(float, iMax);
    QFETCH(int, channel);
    QFETCH(float, value);
    QFETCH(QString, button);
    QFETCH(bool, enabled);
    QFETCH(float, shown);
    Rig rig;
    rig.area->ThreeWire = threeWire;
    rig.area->UMax = rig.area->UMaxLine = uMax;
    rig.area->IMax = iMax;
    auto *governed = rig.owner.findChild<QPushButton *>(button);
    QVERIFY(governed);
    governed->setEnabled(!enabled);
    QCOMPARE(rig.panel->CheckNominal(channel, value), shown);
    QCOMPARE(governed->isEnabled(), enabled);
}

void TestMetrology::nominalZeroShowsZero()
{
    Rig rig;
    rig.startCycle(0, 0, 0);
    rig.panel->Button3Uan->setEnabled(false);
    rig.poll({{0, 57.735f}, {3, 5.f}, {9, 6000.f}, {22, 12.f}});
    QCOMPARE(rig.panel->StaticTextUan->text(), local("0.0"));
    QCOMPARE(rig.panel->StaticTextIa3->text(), local("0.0"));
    QCOMPARE(rig.panel->StaticTextPa->text(), local("0.0"));
    QCOMPARE(rig.panel->StaticTextPa_->text(), QStringLiteral(" W"));
    QCOMPARE(rig.panel->StaticTextQs->text(), local("12.000"));
    // The "Ввод" buttons stay as they were.
    QVERIFY(!rig.panel->Button3Uan->isEnabled());
    QVERIFY(rig.panel->Button3Ian->isEnabled());
}

// ---- calibration writes -----------------------------------------------------------------------

namespace {

// How a write is triggered: a widget's name, and the half of a spin button or a typed value.
enum class Trigger { Click, SpinUp, SpinDown, Typed };

} // namespace
Q_DECLARE_METATYPE(Trigger)

void TestMetrology::calibrationWrite_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<Trigger>("trigger");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("frame");
    const float phase = float(57.73502050459253); // 130 / 1.3 / 1.732051
    QTest::newRow("Button3Uan") << "Button3Uan" << Trigger::Click << "" << write16Float(1792, phase);
    QTest::newRow("Button3Ubn") << "Button3Ubn" << Trigger::Click << "" << write16Float(1796, phase);
    QTest::newRow("Button3Ucn") << "Button3Ucn" << Trigger::Click << "" << write16Float(1800, phase);
    QTest::newRow("Button3Ian") << "Button3Ian" << Trigger::Click << "" << write16Float(1816, 5.0f);
    QTest::newRow("Button3Ibn") << "Button3Ibn" << Trigger::Click << "" << write16Float(1820, 5.0f);
    QTest::newRow("Button3Icn") << "Button3Icn" << Trigger::Click << "" << write16Float(1824, 5.0f);
    QTest::newRow("Button2Uan") << "Button2Uan" << Trigger::Click << "" << write16Float(1804, 100.0f);
    QTest::newRow("Button2Ubn") << "Button2Ubn" << Trigger::Click << "" << write16Float(1808, 100.0f);
    QTest::newRow("store") << "BitBtnSeveSetInfo" << Trigger::Click << "" << write06(767, 0);
    const std::vector<std::pair<const char *, int>> spins{{"UpDownPa0", 0}, {"UpDownPsa0", 0}, {"UpDownPb0", 1},
                                                          {"UpDownPc0", 2}, {"UpDownPsc0", 2}, {"UpDownPa1", 3},
                                                          {"UpDownPsa1", 3}, {"UpDownPb1", 4}, {"UpDownPc1", 5},
                                                          {"UpDownPsc1", 5}};
    for (const auto &[name, code] : spins) {
        QTest::addRow("%s up", name) << name << Trigger::SpinUp << "" << write06(640, code);
        QTest::addRow("%s down", name) << name << Trigger::SpinDown << "" << write06(641, code);
    }
    QTest::newRow("typed for Uab") << "StaticTextUab" << Trigger::Typed << "220" << write16Float(1804, 220.0f);
    QTest::newRow("typed for Ubc") << "StaticTextUbc" << Trigger::Typed << "99,5" << write16Float(1808, 99.5f);
    QTest::newRow("typed for Ia3") << "StaticTextIa3" << Trigger::Typed << "5.01" << write16Float(1816, 5.01f);
    QTest::newRow("typed for Ia2") << "StaticTextIa2" << Trigger::Typed << "5.01" << write16Float(1816, 5.01f);
    QTest::newRow("typed for Ic2") << "StaticTextIc2" << Trigger::Typed << "-1" << write16Float(1824, -1.0f);
}

void TestMetrology::calibrationWrite()
{
    QFETCH(QString, widget);
    QFETCH(Trigger, trigger);
    QFETCH(QString, typed);
    QFETCH(QByteArray, frame);
    Rig rig;
    rig.startCycle(0, 130, 6.5f);
    rig.poll({});
    rig.panel->EnableCalibControls(true); // the zero values disabled the "Ввод" buttons
    const int before = rig.sent();

    switch (trigger) {
    case Trigger::Click:
        rig.owner.findChild<QPushButton *>(widget)->click();
        break;
    case Trigger::SpinUp:
        rig.owner.findChild<SpinButton *>(widget)->up->click();
        break;
    case Trigger::SpinDown:
        rig.owner.findChild<SpinButton *>(widget)->down->click();
        break;
    case Trigger::Typed:
        rig.panel->SendInfoToForm2(rig.owner.findChild<QLabel *>(widget));
        rig.panel->Form2->EditImpValue->setText(typed);
        rig.panel->Form2->ButtonEnterVal->click();
        break;
    }
    QVERIFY2(rig.messages.shown.isEmpty(), qPrintable(rig.messages.shown.join('\n')));
    QCOMPARE(rig.sent(), before); // queued for the next tick
    QVERIFY(rig.link.WritePending);
    QVERIFY(rig.calibControlsDisabled());

    QVERIFY(rig.runner()->fire());
    QCOMPARE(rig.sent(), before + 1);
    QCOMPARE(rig.port.lastFrame(), frame);
    const bool command = frame.at(1) == 0x06;
    QCOMPARE(rig.runner()->isActive(), !command); // the runner waits for a command's answer

    rig.confirmLast();
    QVERIFY(!rig.link.WritePending);
    QVERIFY(rig.calibControlsEnabled());
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqMeasure);
    QVERIFY(rig.runner()->isActive());
    if (command)
        QCOMPARE(rig.answerTimer()->interval(), 5000);
    rig.poll({});
    QVERIFY(rig.messages.shown.isEmpty());
}

void TestMetrology::pendingWriteKeepsItsPlace()
{
    Rig rig;
    rig.startCycle(0, 130, 6.5f);
    // The poll goes out, then the user presses a spin button before its answer is in.
    QVERIFY(rig.runner()->fire());
    rig.panel->UpDownPb1->up->click();
    rig.port.receive(readAnswer(kSlave, measured({{0, 50.f}})));
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqCalibCmd);
    // A typed value queued after it replaces it.
    rig.panel->SendInfoToForm2(rig.panel->StaticTextUbn);
    rig.panel->Form2->EditImpValue->setText(QStringLiteral("57"));
    rig.panel->Form2->ButtonEnterVal->click();
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqCalibValue);
    QVERIFY(rig.runner()->fire());
    QCOMPARE(rig.port.lastFrame(), write16Float(1796, 57.f));
    // No answer: the same write goes again at the next tick, then the answer ends it.
    QVERIFY(rig.answerTimer()->fire());
    QVERIFY(!rig.link.WritePending);
    QVERIFY(rig.calibControlsEnabled());
    QCOMPARE(rig.link.StepRetry, 1);
    QVERIFY(rig.runner()->fire());
    QCOMPARE(rig.port.lastFrame(), write16Float(1796, 57.f));
    rig.confirmLast();
    QCOMPARE(rig.link.StepRetry, 0);
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqMeasure);
}

void TestMetrology::settingsSheetStopsRunner()
{
    Rig rig;
    rig.startCycle(1, 130, 5);
    rig.mainOrDisplaySheet = true;
    rig.poll({{6, 100.f}});
    QVERIFY(!rig.runner()->isActive());
    QCOMPARE(rig.panel->StaticTextUab->text(), local("100.00"));
    QVERIFY(!rig.runner()->fire());
}

void TestMetrology::stopButtonEndsCycle()
{
    Rig rig;
    rig.owner.show();
    rig.startCycle(0, 130, 6.5f);
    rig.poll({});
    rig.progress.show();
    rig.panel->ApdStatusLight1->show();
    rig.panel->SendInfoToForm2(rig.panel->StaticTextUan);
    QVERIFY(!rig.owner.isEnabled());
    QVERIFY(!rig.otherPagesEnabled);
    QVERIFY(!rig.exitOn);

    rig.panel->BitBtnSetNetClick();
    QVERIFY(rig.tabs->isHidden());
    QCOMPARE(rig.panel->BitBtnSetNet->text(), kStart);
    QVERIFY(!rig.runner()->isActive());
    QCOMPARE(rig.link.StepRetry, 0);
    QVERIFY(!rig.link.NetActive);
    QVERIFY(rig.panel->Form2->isHidden());
    QVERIFY(rig.owner.isEnabled());
    QVERIFY(rig.area->isEnabled());
    QVERIFY(rig.panel->ApdStatusLight1->isHidden());
    QVERIFY(rig.progress.isHidden());
    QVERIFY(rig.exitOn);
    QVERIFY(rig.otherPagesEnabled);
    QVERIFY(!rig.panel->BitBtnSeveSetInfo->isEnabled());
    // The next click starts again.
    const int before = rig.sent();
    rig.panel->BitBtnSetNet->click();
    QCOMPARE(rig.sent(), before + 1);
    QCOMPARE(rig.port.lastFrame(), read03(528, 1));
}

void TestMetrology::tenFailuresEndCycle()
{
    Rig rig;
    rig.startCycle(0, 130, 6.5f);
    for (int i = 0; i < 10; ++i) {
        QVERIFY(rig.runner()->fire());
        QCOMPARE(rig.port.lastFrame(), read03(0, 62));
        QVERIFY(rig.answerTimer()->fire());
    }
    QCOMPARE(rig.link.StepRetry, 10);
    const int before = rig.sent();
    QVERIFY(rig.runner()->fire());
    QCOMPARE(rig.hooks.gaveUp, 1);
    QCOMPARE(rig.sent(), before);
    QVERIFY(!rig.link.NetActive);
    QVERIFY(!rig.runner()->isActive());
    QCOMPARE(rig.panel->BitBtnSetNet->text(), kStart);
    QVERIFY(rig.tabs->isHidden());
    QVERIFY(rig.area->isEnabled());
    QVERIFY(rig.exitOn);
    // This path leaves the other pages locked and the store button usable until the next start and stop.
    QVERIFY(!rig.otherPagesEnabled);
    QVERIFY(rig.panel->BitBtnSeveSetInfo->isEnabled());
}

void TestMetrology::exceptionAnswerGivesControlsBack()
{
    Rig rig;
    rig.startCycle(0, 130, 6.5f);
    rig.panel->Button2Uan->click();
    QVERIFY(rig.runner()->fire());
    rig.port.receive(withCrc(bytes({kSlave, 0x90, 0x02})));
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY(!rig.link.WritePending);
    QVERIFY(rig.calibControlsEnabled());
    // The write keeps its place and goes again.
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqCalibValue);
    QVERIFY(rig.runner()->fire());
    QCOMPARE(rig.port.lastFrame(), write16Float(1804, 100.f));
}

void TestMetrology::hostileAnswers_data()
{
    QTest::addColumn<QByteArray>("frame");
    const QByteArray nan = bytes({0x7F, 0xC0, 0x00, 0x00});
    const QByteArray inf = bytes({0x7F, 0x80, 0x00, 0x00});
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << bytes({kSlave, 3});
    QTest::newRow("no data") << withCrc(bytes({kSlave, 3, 0}));
    QTest::newRow("all ones") << readAnswer(kSlave, QByteArray(124, char(0xFF)));
    QTest::newRow("not a number") << readAnswer(kSlave, nan.repeated(31));
    QTest::newRow("infinity") << readAnswer(kSlave, inf.repeated(31));
    QTest::newRow("half a value") << readAnswer(kSlave, bytes({0x42, 0xC8}));
}

void TestMetrology::hostileAnswers()
{
    QFETCH(QByteArray, frame);
    Rig rig;
    rig.area->UMax = rig.area->UMaxLine = 130;
    rig.area->IMax = 6.5f;
    rig.area->PPhaseMax = 650;
    rig.area->PTotalMax = 1950;
    const Response answer = responseOf(frame);
    rig.panel->SchemeStartRead(answer);
    rig.panel->RatiosRead(answer);
    rig.area->UMax = rig.area->UMaxLine = 130;
    rig.panel->MeasureRead(answer);
    rig.panel->CalibValueWritten(answer);
    rig.panel->CalibCmdWritten(answer);
    for (QLabel *label : rig.owner.findChildren<QLabel *>(QRegularExpression(QStringLiteral("^StaticText"))))
        QVERIFY2(label->text().size() <= 7 || label->text() == QStringLiteral("NAN"), qPrintable(label->text()));
    // Through the link too, with the answer's length as the poll expects it.
    Rig wired;
    wired.startCycle(0, 130, 6.5f);
    QVERIFY(wired.runner()->fire());
    wired.port.receive(frame);
    QVERIFY(wired.link.NetActive);
}

// ---- the value-entry dialog -------------------------------------------------------------------

void TestMetrology::dialogLayout()
{
    RecordingMessages messages;
    ValueEntryDialog dialog(messages);
    QCOMPARE(dialog.objectName(), QStringLiteral("Form2"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Введите значение"));
    QCOMPARE(dialog.size(), QSize(261, 61));
    QCOMPARE(dialog.ButtonEnterVal->text(), QStringLiteral("Ввод"));
    QCOMPARE(dialog.EditImpValue->objectName(), QStringLiteral("EditImpValue"));
    QCOMPARE(dialog.ButtonEnterVal->objectName(), QStringLiteral("ButtonEnterVal"));
    QCOMPARE(dialog.EditImpValue->geometry().left(), 16);
    QCOMPARE(dialog.ButtonEnterVal->geometry().left(), 164);
    QVERIFY(dialog.savedText().isEmpty());
    QVERIFY(!dialog.isModal());
}

void TestMetrology::dialogSlots_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QPoint>("offset");
    QTest::newRow("Uan") << "StaticTextUan" << 0 << QPoint(70, 220);
    QTest::newRow("Ubn") << "StaticTextUbn" << 1 << QPoint(70, 280);
    QTest::newRow("Ucn") << "StaticTextUcn" << 2 << QPoint(70, 340);
    QTest::newRow("Uab") << "StaticTextUab" << 3 << QPoint(70, 220);
    QTest::newRow("Ubc") << "StaticTextUbc" << 4 << QPoint(70, 280);
    QTest::newRow("Ia3") << "StaticTextIa3" << 6 << QPoint(340, 220);
    QTest::newRow("Ib3") << "StaticTextIb3" << 7 << QPoint(340, 280);
    QTest::newRow("Ic3") << "StaticTextIc3" << 8 << QPoint(340, 340);
    QTest::newRow("Ia2") << "StaticTextIa2" << 6 << QPoint(340, 220);
    QTest::newRow("Ic2") << "StaticTextIc2" << 8 << QPoint(340, 340);
    QTest::newRow("Uca: none") << "StaticTextUca" << -1 << QPoint();
    QTest::newRow("Ib2: none") << "StaticTextIb2" << -1 << QPoint();
    QTest::newRow("Pa: none") << "StaticTextPa" << -1 << QPoint();
}

void TestMetrology::dialogSlots()
{
    QFETCH(QString, field);
    QFETCH(int, slot);
    QFETCH(QPoint, offset);
    Rig rig;
    rig.owner.move(100, 50);
    rig.owner.show();
    auto *label = rig.owner.findChild<QLabel *>(field);
    QVERIFY(label);
    label->setText(local("57.735"));
    QCOMPARE(rig.panel->SlotOf(label), slot);
    rig.panel->SendInfoToForm2(label);
    ValueEntryDialog *dialog = rig.panel->Form2;
    if (slot < 0) {
        QVERIFY(dialog->isHidden());
        QVERIFY(rig.owner.isEnabled());
        QVERIFY(rig.panel->Form2Source == nullptr);
        return;
    }
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->isEnabled());
    QVERIFY(!rig.owner.isEnabled());
    QCOMPARE(rig.panel->Form2Source, static_cast<QWidget *>(label));
    QCOMPARE(dialog->pos(), rig.owner.pos() + offset);
    QCOMPARE(dialog->EditImpValue->text(), local("57.735"));
    dialog->close();
}

void TestMetrology::doubleClickOpensDialog()
{
    Rig rig;
    rig.owner.show();
    rig.panel->StaticTextUbn->setText(local("12.345"));
    QTest::mouseDClick(rig.panel->StaticTextUbn, Qt::LeftButton);
    QVERIFY(rig.panel->Form2->isVisible());
    QCOMPARE(rig.panel->Form2->EditImpValue->text(), local("12.345"));
    rig.panel->Form2->close();
    rig.panel->Form2Source = nullptr;
    QTest::mouseDClick(rig.panel->StaticTextUca, Qt::LeftButton);
    QVERIFY(rig.panel->Form2->isHidden());
    QVERIFY(rig.panel->Form2Source == nullptr);
}

void TestMetrology::dialogGuards()
{
    RecordingMessages messages;
    ValueEntryDialog dialog(messages);
    QLineEdit *edit = dialog.EditImpValue;
    edit->setText(local("1.5"));
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(edit, &in);
    QCOMPARE(dialog.savedText(), local("1.5"));
    // A letter puts back the text the edit had on entry.
    edit->setText(local("1.55"));
    QTest::keyClicks(edit, QStringLiteral("a"));
    QCOMPARE(edit->text(), local("1.5"));
    // An empty text is accepted while typing, and "0" when the edit is left.
    edit->clear();
    QCOMPARE(edit->text(), QString());
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(edit, &out);
    QCOMPARE(edit->text(), QStringLiteral("0"));
    // A text that is no number, set from outside, is put back too; left as it is, it gives "0".
    edit->setText(QStringLiteral("-"));
    QCOMPARE(edit->text(), local("1.5"));
    QVERIFY(messages.shown.isEmpty());
}

void TestMetrology::enterConfirmsWithoutClosing()
{
    RecordingMessages messages;
    QWidget main;
    ValueEntryDialog dialog(messages);
    QList<float> confirmed;
    dialog.confirmed = [&](float v) { confirmed << v; };
    dialog.show();
    dialog.EditImpValue->setText(QStringLiteral("220"));
    QTest::keyClick(dialog.EditImpValue, Qt::Key_Return);
    QCOMPARE(confirmed, QList<float>{220.f});
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.savedText(), QStringLiteral("220"));
    QTest::keyClick(dialog.EditImpValue, Qt::Key_Enter);
    QCOMPARE(confirmed.size(), 2);
    QVERIFY(messages.shown.isEmpty());
}

void TestMetrology::badTextAtConfirmationWritesNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("beyond a single") << QStringLiteral("1e39");
    QTest::newRow("not a number") << QStringLiteral("nan");
}

void TestMetrology::badTextAtConfirmationWritesNothing()
{
    QFETCH(QString, text);
    Rig rig;
    rig.startCycle(0, 130, 6.5f);
    rig.panel->SendInfoToForm2(rig.panel->StaticTextUan);
    ValueEntryDialog *dialog = rig.panel->Form2;
    {
        const QSignalBlocker quiet(dialog->EditImpValue);
        dialog->EditImpValue->setText(text);
    }
    dialog->ButtonEnterVal->click();
    QCOMPARE(rig.messages.shown.size(), 1);
    QVERIFY(!rig.link.WritePending);
    QCOMPARE(rig.link.StepInquiry, &rig.link.InqMeasure);
    QVERIFY(rig.calibControlsEnabled());
}

void TestMetrology::closingGivesMainWindowBack()
{
    Rig rig;
    rig.owner.show();
    rig.panel->SendInfoToForm2(rig.panel->StaticTextIa3);
    QVERIFY(!rig.owner.isEnabled());
    rig.panel->Form2->close();
    QVERIFY(rig.owner.isEnabled());
    QVERIFY(rig.panel->Form2->isHidden());
    // Escape closes it the same way.
    rig.panel->SendInfoToForm2(rig.panel->StaticTextIa3);
    QTest::keyClick(rig.panel->Form2, Qt::Key_Escape);
    QVERIFY(rig.panel->Form2->isHidden());
    QVERIFY(rig.owner.isEnabled());
    // It keeps its source until opened again.
    QCOMPARE(rig.panel->Form2Source, static_cast<QWidget *>(rig.panel->StaticTextIa3));
}

QTEST_MAIN(TestMetrology)
#include "tst_metrology.moc"
