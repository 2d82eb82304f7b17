// The current-output sheet on the link's test doubles: the variant write, the adjustment cycle
// from its start through limit writes, adjustments, measured values and the store command to its
// stop, the runner's failure limit, and answers or typed texts that cannot be trusted.
#include "conversion.h"
#include "current_outputs_sheet.h"
#include "fakes.h"
#include "frame_util.h"
#include "status_lamp.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QtTest>

using namespace tavro;
using namespace tavro::test;

// The enabled state of the output controls: x 100 and x 10, the measured values with "Ввод", x 1.
struct OutputControlsRow {
    bool fastSteps;
    bool measured;
    bool singleSteps;
};
Q_DECLARE_METATYPE(OutputControlsRow)

namespace {

constexpr int kSlave = 7;
constexpr int kBroken = -1; // Edit2 does not hold a number
constexpr int kNone = -1;   // nothing is sent
using Limit = CurrentOutputsSheet::Limit;

QByteArray frame(std::initializer_list<int> list)
{
    return withCrc(bytes(list));
}

QByteArray write06(int reg, int value)
{
    return frame({kSlave, 0x06, reg >> 8, reg & 0xFF, value >> 8, value & 0xFF});
}

QByteArray word(int w)
{
    return bytes({(w >> 8) & 0xFF, w & 0xFF});
}

const QByteArray kRead532 = frame({kSlave, 0x03, 0x02, 0x14, 0x00, 0x01});
const QByteArray kStopWrite = frame({kSlave, 0x06, 0x02, 0xFE, 0x00, 0x00});

// Stops the current-output cycle when the runner gives up, as the window does.
class GiveUp : public LinkObserver {
public:
    std::function<void()> onGiveUp;
    void runnerGaveUp() override { onGiveUp(); }
};

struct Rig {
    FakeSerialPort port;
    FakeTimerFactory timers;
    FakeClock clock;
    RecordingMessages messages;
    Link link{port, timers, clock, messages};
    GiveUp observer;
    int edit2 = kSlave;
    QList<bool> exits;
    int schemePages = 0;
    int valueEntryClosed = 0;
    StatusLamp *lamp = new StatusLamp; // the sheet takes it into its layout

    std::uint16_t settingsNumber() const
    {
        if (edit2 == kBroken)
            throw ConversionError(QStringLiteral("'x' — не целое число"));
        return std::uint16_t(edit2);
    }

    SheetServices services{link,
                           messages,
                           clock,
                           timers,
                           [] { return std::uint16_t(1); },
                           [this] { return settingsNumber(); },
                           {},
                           {},
                           nullptr,
                           nullptr};
    CurrentOutputsSheet sheet{services, lamp};

    Rig()
    {
        // The dispatch table and hooks as the window sets them.
        link.setSettingsLogicalNumber([this] { return settingsNumber(); });
        link.setHandler(33, [this](const Response &r) { sheet.StartCurrCycle(r); });
        link.setHandler(35, [this](const Response &r) { sheet.RefreshCurrLimits(r); });
        link.setHandler(36, [this](const Response &r) { sheet.CurrWriteConfirmed(r); });
        link.setHandler(15, [this](const Response &r) { sheet.CurrValueEntered(r); });
        observer.onGiveUp = [this] { sheet.StopSetCurr(); };
        link.setObserver(&observer);
        sheet.exitEnabled = [this](bool on) { exits << on; };
        sheet.showSchemePages = [this] { ++schemePages; };
        sheet.closeValueEntry = [this] { ++valueEntryClosed; };
    }

    FakeTimer *runner() const { return static_cast<FakeTimer *>(link.TimerSetAuto); }
    FakeTimer *answerTimer() const { return static_cast<FakeTimer *>(link.TimerWaitAnsw); }

    QByteArray tick()
    {
        runner()->fire();
        return port.lastFrame();
    }
    // The instrument's answer to the write just sent: function 6 echoes, function 16 echoes the head.
    void confirmWrite()
    {
        const QByteArray sent = port.lastFrame();
        port.receive(sent.at(1) == 0x10 ? withCrc(sent.left(6)) : sent);
    }
    void selectQuietly(int limit)
    {
        const QSignalBlocker quiet(sheet.sRadioGroupHwCurr);
        sheet.sRadioGroupHwCurr->setItemIndex(limit);
    }
    // Start at the given limit, the limit write confirmed, the runner reading 532.
    void runCycle(int variant, int limit)
    {
        selectQuietly(limit);
        sheet.sBitBtnSetCurr->click();
        port.receive(readAnswer(kSlave, word(variant)));
        tick();
        confirmWrite();
    }
    bool enabled(QWidget *w) const { return w->isEnabled(); }
};

void verifyOutputControls(const CurrentOutputsSheet &s, OutputControlsRow expected)
{
    for (int t = 0; t < CurrentOutputsSheet::kOutputs; ++t) {
        QCOMPARE(s.stepUpDowns(100)[t]->isEnabled(), expected.fastSteps);
        QCOMPARE(s.stepUpDowns(10)[t]->isEnabled(), expected.fastSteps);
        QCOMPARE(s.measuredEdits()[t]->isEnabled(), expected.measured);
        QCOMPARE(s.enterButtons()[t]->isEnabled(), expected.measured);
        QCOMPARE(s.stepUpDowns(1)[t]->isEnabled(), expected.singleSteps);
    }
}

void verifyIdle(const CurrentOutputsSheet &s)
{
    QVERIFY(s.sComboBoxSelHwCurr->isEnabled());
    QVERIFY(s.sBitBtnSaveSelHwCurr->isEnabled());
    QVERIFY(!s.sRadioGroupHwCurr->isEnabled());
    QVERIFY(!s.BitBtnSeveHwCurrInfo->isEnabled());
    QCOMPARE(s.sBitBtnSetCurr->text(), QStringLiteral("   Старт"));
    verifyOutputControls(s, {false, false, false});
}

QStringList texts(const CurrentOutputsSheet &s)
{
    QStringList out;
    for (DecimalSpinEdit *e : s.measuredEdits())
        out << e->text();
    return out;
}

QStringList childTexts(const QWidget &root)
{
    QStringList out;
    for (const QLabel *l : root.findChildren<QLabel *>())
        out << l->text();
    for (const QGroupBox *g : root.findChildren<QGroupBox *>())
        out << g->title();
    return out;
}

} // namespace

class TestCurrentOutputs : public QObject {
    Q_OBJECT
private slots:
    void startsIdleWithTheMiddleLimit()
    {
        Rig rig;
        const CurrentOutputsSheet &s = rig.sheet;
        QCOMPARE(s.objectName(), QStringLiteral("CurrentOutputsSheet"));
        QCOMPARE(s.sComboBoxSelHwCurr->count(), 2);
        QCOMPARE(s.sComboBoxSelHwCurr->itemText(0), QStringLiteral("-5mA     0mA     +5mA"));
        QCOMPARE(s.sComboBoxSelHwCurr->itemText(1), QStringLiteral(" 4mA   12mA   +20mA"));
        QCOMPARE(s.sComboBoxSelHwCurr->currentIndex(), -1);
        QCOMPARE(s.sRadioGroupHwCurr->itemIndex(), int(Limit::Middle));
        QCOMPARE(s.sRadioGroupHwCurr->button(0)->text(), QStringLiteral("Верхний предел"));
        QCOMPARE(s.sRadioGroupHwCurr->button(1)->text(), QStringLiteral("Средний предел"));
        QCOMPARE(s.sRadioGroupHwCurr->button(2)->text(), QStringLiteral("Нижний предел"));
        QCOMPARE(s.sBitBtnSaveSelHwCurr->text(), QStringLiteral("Запись"));
        QCOMPARE(texts(s), QStringList({"0,000", "0,000", "0,000"}));
        verifyIdle(s);
        QVERIFY(!rig.link.CurrActive);
        QVERIFY(s.isAncestorOf(rig.lamp));

        const QStringList shown = childTexts(s);
        for (const char *caption : {"Аппаратная реализация", "Пределы", "Установить связь:", "Сохранить изменения:",
                                    "Токовый выход 1", "Токовый выход 2", "Токовый выход 3", "Измеренное значение",
                                    "x 1", "x 10", "x 100"})
            QVERIFY2(shown.contains(QString::fromUtf8(caption)), caption);
        for (const char *name :
             {"sComboBoxSelHwCurr", "sBitBtnSaveSelHwCurr", "sRadioGroupHwCurr", "sBitBtnSetCurr",
              "BitBtnSeveHwCurrInfo", "sDecimalSpinEditCurr1", "sDecimalSpinEditCurr3", "sBitBtnEnterCurr2",
              "sUpDownSFast1", "sUpDownFast2", "sUpDownCurr3"})
            QVERIFY2(s.findChild<QWidget *>(QString::fromLatin1(name)), name);
        for (int size : {1, 10, 100})
            for (AdjustUpDown *u : s.stepUpDowns(size))
                QCOMPARE(u->position(), 50);
    }

    void writesTheVariant_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("±5 mA") << 0 << frame({kSlave, 0x06, 0x02, 0x12, 0x00, 0x00}) << QStringList();
        QTest::newRow("4..20 mA") << 1 << frame({kSlave, 0x06, 0x02, 0x12, 0x00, 0x01}) << QStringList();
        QTest::newRow("no selection") << -1 << QByteArray() << QStringList{"Информация не корректна"};
    }
    void writesTheVariant()
    {
        QFETCH(int, index);
        QFETCH(QByteArray, sent);
        QFETCH(QStringList, shown);
        Rig rig;
        rig.sheet.sComboBoxSelHwCurr->setCurrentIndex(index);
        rig.sheet.sBitBtnSaveSelHwCurr->click();
        QCOMPARE(rig.port.lastFrame(), sent);
        QCOMPARE(rig.messages.shown, shown);
        if (!sent.isEmpty()) {
            // The window's confirmation of tag 19 looks at the register written.
            QCOMPARE(int(rig.link.SentTag), 19);
            QCOMPARE(int(rig.link.CurInquiry.Reg), 530);
        }
    }

    void startsTheCycle_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("listIndex");
        QTest::addColumn<QString>("limitText");
        QTest::addColumn<OutputControlsRow>("controls");
        QTest::newRow("4..20 mA, upper") << 1 << int(Limit::Upper) << 1 << "20.0" << OutputControlsRow{false, true, true};
        QTest::newRow("±5 mA, middle") << 0 << int(Limit::Middle) << 0 << "0.0" << OutputControlsRow{true, false, true};
        QTest::newRow("4..20 mA, lower") << 1 << int(Limit::Lower) << 1 << "4.0" << OutputControlsRow{false, false, false};
        QTest::newRow("±5 mA, lower") << 0 << int(Limit::Lower) << 0 << "-5.0" << OutputControlsRow{false, false, false};
        QTest::newRow("unknown variant") << 5 << int(Limit::Middle) << -1 << "12.0" << OutputControlsRow{true, false, true};
    }
    void startsTheCycle()
    {
        QFETCH(int, variant);
        QFETCH(int, limit);
        QFETCH(int, listIndex);
        QFETCH(QString, limitText);
        QFETCH(OutputControlsRow, controls);
        Rig rig;
        CurrentOutputsSheet &s = rig.sheet;
        rig.selectQuietly(limit);

        s.sBitBtnSetCurr->click();
        QCOMPARE(rig.port.lastFrame(), frame({kSlave, 0x03, 0x02, 0x16, 0x00, 0x01}));
        QCOMPARE(rig.exits, QList<bool>{false});
        QVERIFY(!rig.link.CurrActive);
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqCurrStart);

        rig.port.receive(readAnswer(kSlave, word(variant)));
        QVERIFY(rig.link.CurrActive);
        QCOMPARE(s.sBitBtnSetCurr->text(), QStringLiteral("   Стоп"));
        QCOMPARE(s.sComboBoxSelHwCurr->currentIndex(), listIndex);
        QCOMPARE(texts(s), QStringList({limitText, limitText, limitText}));
        QVERIFY(!s.sComboBoxSelHwCurr->isEnabled());
        QVERIFY(!s.sBitBtnSaveSelHwCurr->isEnabled());
        QVERIFY(s.sRadioGroupHwCurr->isEnabled());
        QVERIFY(s.BitBtnSeveHwCurrInfo->isEnabled());
        verifyOutputControls(s, controls);
        QCOMPARE(rig.schemePages, 1);
        QVERIFY(rig.runner()->isActive());
        QVERIFY(rig.clock.waits.empty());

        // The runner writes the selected limit, then reads 532 at every tick.
        QCOMPARE(rig.tick(), write06(766, limit + 1));
        rig.confirmWrite();
        QCOMPARE(rig.clock.waits, std::vector<int>{1000});
        QCOMPARE(rig.answerTimer()->interval(), 5000);
        QCOMPARE(rig.runner()->interval(), 2000);
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqReg532);
        QCOMPARE(rig.tick(), kRead532);
        QCOMPARE(rig.runner()->interval(), 1000);
        rig.port.receive(readAnswer(kSlave, word(0x1234)));
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqReg532);
        rig.port.written.clear();
        QCOMPARE(rig.tick(), kRead532);
        QCOMPARE(rig.messages.shown, QStringList());
    }

    void selectsTheLimit_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("byUser");
        QTest::addColumn<QString>("limitText");
        QTest::addColumn<OutputControlsRow>("controls");
        QTest::newRow("4..20 mA upper to lower")
            << 1 << int(Limit::Upper) << int(Limit::Lower) << true << "4.0" << OutputControlsRow{false, false, false};
        QTest::newRow("±5 mA middle to lower")
            << 0 << int(Limit::Middle) << int(Limit::Lower) << true << "-5.0" << OutputControlsRow{false, false, false};
        QTest::newRow("±5 mA middle to upper")
            << 0 << int(Limit::Middle) << int(Limit::Upper) << true << "5.0" << OutputControlsRow{false, true, true};
        QTest::newRow("4..20 mA lower to middle")
            << 1 << int(Limit::Lower) << int(Limit::Middle) << true << "12.0" << OutputControlsRow{true, false, true};
        QTest::newRow("set by the program")
            << 1 << int(Limit::Middle) << int(Limit::Upper) << false << "20.0" << OutputControlsRow{false, true, true};
    }
    void selectsTheLimit()
    {
        QFETCH(int, variant);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, byUser);
        QFETCH(QString, limitText);
        QFETCH(OutputControlsRow, controls);
        Rig rig;
        CurrentOutputsSheet &s = rig.sheet;
        rig.runCycle(variant, from);

        if (byUser)
            s.sRadioGroupHwCurr->button(to)->click();
        else
            s.sRadioGroupHwCurr->setItemIndex(to);
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqCurrLimit);
        verifyOutputControls(s, controls);

        QCOMPARE(rig.tick(), write06(766, to + 1));
        rig.confirmWrite();
        QCOMPARE(texts(s), QStringList({limitText, limitText, limitText}));
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqReg532);
        QCOMPARE(rig.clock.waits.size(), std::size_t(1)); // only the start's pause: tag 35 does not wait
    }

    void entersAMeasuredValue_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("output");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("direct"); // the handler itself, not the button
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("reported");
        const int up = Limit::Upper;
        QTest::newRow("upper, output 2")
            << up << 1 << "19.950" << "C" << false
            << frame({kSlave, 0x10, 0x07, 0x84, 0x00, 0x02, 0x04, 0x41, 0x9F, 0x99, 0x9A}) << false;
        QTest::newRow("upper, output 1, limit text")
            << up << 0 << "20.0" << "C" << false
            << frame({kSlave, 0x10, 0x07, 0x80, 0x00, 0x02, 0x04, 0x41, 0xA0, 0x00, 0x00}) << false;
        QTest::newRow("upper, output 3, negative")
            << up << 2 << "-4.5" << "C" << false
            << frame({kSlave, 0x10, 0x07, 0x88, 0x00, 0x02, 0x04, 0xC0, 0x90, 0x00, 0x00}) << false;
        QTest::newRow("comma in a Russian locale")
            << up << 2 << "12,5" << "ru_RU" << false
            << frame({kSlave, 0x10, 0x07, 0x88, 0x00, 0x02, 0x04, 0x41, 0x48, 0x00, 0x00}) << false;
        QTest::newRow("point in a Russian locale")
            << up << 0 << "12.5" << "ru_RU" << false
            << frame({kSlave, 0x10, 0x07, 0x80, 0x00, 0x02, 0x04, 0x41, 0x48, 0x00, 0x00}) << false;
        QTest::newRow("lower limit address") << int(Limit::Lower) << 2 << "1" << "C" << true
                                             << frame({kSlave, 0x10, 0x07, 0xA0, 0x00, 0x02, 0x04, 0x3F, 0x80,
                                                       0x00, 0x00})
                                             << false;
        QTest::newRow("middle: button disabled") << int(Limit::Middle) << 1 << "19.950" << "C" << false << QByteArray()
                                                 << false;
        QTest::newRow("not a number") << up << 0 << "abc" << "C" << false << QByteArray() << true;
        QTest::newRow("two points") << up << 1 << "1.2.3" << "C" << false << QByteArray() << true;
        // An empty field is reported ("Информация не задана") and nothing is sent.
        QTest::newRow("empty") << up << 2 << "" << "C" << false << QByteArray() << true;
        QTest::newRow("blanks") << up << 2 << "   " << "C" << false << QByteArray() << true;
    }
    void entersAMeasuredValue()
    {
        QFETCH(int, limit);
        QFETCH(int, output);
        QFETCH(QString, typed);
        QFETCH(QString, locale);
        QFETCH(bool, direct);
        QFETCH(QByteArray, sent);
        QFETCH(bool, reported);
        const QLocale previous;
        QLocale::setDefault(QLocale(locale));
        auto restore = qScopeGuard([&] { QLocale::setDefault(previous); });
        Rig rig;
        CurrentOutputsSheet &s = rig.sheet;
        rig.runCycle(1, limit);

        s.measuredEdits()[output]->setText(typed);
        if (direct)
            s.sBitBtnEnterCurr1Click(output);
        else
            s.enterButtons()[output]->click();
        QCOMPARE(rig.messages.shown.size(), reported ? 1 : 0);
        if (sent.isEmpty()) {
            QCOMPARE(rig.link.StepInquiry, &rig.link.InqReg532);
            QCOMPARE(rig.tick(), kRead532);
            return;
        }
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqCurrEnter);
        QCOMPARE(rig.tick(), sent);
        rig.confirmWrite();
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqReg532);
        QCOMPARE(rig.clock.waits.size(), std::size_t(1)); // tag 15 does not wait
    }

    void adjustsAnOutput_data()
    {
        QTest::addColumn<int>("size"); // 1, 10 or 100
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("output");
        QTest::addColumn<bool>("up");
        QTest::addColumn<bool>("direct");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("code");
        const int mid = Limit::Middle;
        const int upper = Limit::Upper;
        QTest::newRow("x 10, output 3, middle, up") << 10 << mid << 2 << true << false << 642 << 12;
        QTest::newRow("x 10, output 3, middle, down") << 10 << mid << 2 << false << false << 643 << 12;
        QTest::newRow("x 10 at upper: disabled") << 10 << upper << 2 << true << false << kNone << kNone;
        QTest::newRow("x 10 at upper: handler refuses") << 10 << upper << 2 << true << true << kNone << kNone;
        QTest::newRow("x 100, output 2, middle, up") << 100 << mid << 1 << true << false << 642 << 21;
        QTest::newRow("x 100, output 1, middle, down") << 100 << mid << 0 << false << false << 643 << 20;
        QTest::newRow("x 100 at upper: handler refuses") << 100 << upper << 0 << false << true << kNone << kNone;
        QTest::newRow("x 1, output 1, middle") << 1 << mid << 0 << true << false << 642 << 0;
        QTest::newRow("x 1, output 1, upper") << 1 << upper << 0 << true << false << 642 << 3;
        QTest::newRow("x 1, output 3, upper, down") << 1 << upper << 2 << false << false << 643 << 5;
        QTest::newRow("x 1 at lower: disabled") << 1 << int(Limit::Lower) << 0 << true << false << kNone << kNone;
    }
    void adjustsAnOutput()
    {
        QFETCH(int, size);
        QFETCH(int, limit);
        QFETCH(int, output);
        QFETCH(bool, up);
        QFETCH(bool, direct);
        QFETCH(int, reg);
        QFETCH(int, code);
        Rig rig;
        CurrentOutputsSheet &s = rig.sheet;
        rig.runCycle(0, limit);
        AdjustUpDown *control = s.stepUpDowns(size)[output];

        if (direct) {
            if (size == 10)
                s.sUpDownFast2Click(output, up);
            else
                s.sUpDownSFast2Click(output, up);
        } else {
            (up ? control->upButton : control->downButton)->click();
        }
        QCOMPARE(control->position(), 50);
        if (reg == kNone) {
            QCOMPARE(rig.link.StepInquiry, &rig.link.InqReg532);
            QCOMPARE(rig.tick(), kRead532);
            return;
        }
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqCurrAdjust);
        QCOMPARE(rig.tick(), write06(reg, code));
        rig.confirmWrite();
        QCOMPARE(rig.clock.waits, (std::vector<int>{1000, 1000}));
        QCOMPARE(rig.runner()->interval(), 2000);
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqReg532);
    }

    void aSecondAdjustmentReplacesTheFirst()
    {
        Rig rig;
        rig.runCycle(1, Limit::Middle);
        rig.sheet.sUpDownFast1->upButton->click();
        rig.sheet.sUpDownCurr2->downButton->click();
        QCOMPARE(rig.tick(), write06(643, 1));
        QCOMPARE(rig.port.written.count(write06(642, 10)), 0);
    }

    void storesTheAdjustment()
    {
        Rig rig;
        rig.runCycle(1, Limit::Middle);
        rig.sheet.BitBtnSeveHwCurrInfo->click();
        QCOMPARE(rig.runner()->interval(), 3000);
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqCurrAdjust);
        QCOMPARE(rig.tick(), frame({kSlave, 0x06, 0x02, 0xFF, 0x00, 0x00}));
        QCOMPARE(rig.runner()->interval(), 1000);
        rig.confirmWrite();
        QCOMPARE(rig.runner()->interval(), 2000);
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqReg532);
    }

    void stopEndsTheCycleAtOnce_data()
    {
        QTest::addColumn<QString>("queued");
        QTest::addColumn<bool>("answerOutstanding");
        QTest::newRow("reading 532") << "532" << false;
        QTest::newRow("read of 532 outstanding") << "532" << true;
        QTest::newRow("adjustment queued") << "adjust" << false;
        QTest::newRow("measured value queued") << "value" << false;
        QTest::newRow("store queued") << "store" << false;
    }
    void stopEndsTheCycleAtOnce()
    {
        QFETCH(QString, queued);
        QFETCH(bool, answerOutstanding);
        Rig rig;
        CurrentOutputsSheet &s = rig.sheet;
        rig.runCycle(1, Limit::Upper);
        if (queued == "adjust")
            s.sUpDownCurr1->upButton->click();
        else if (queued == "value")
            s.sBitBtnEnterCurr1->click();
        else if (queued == "store")
            s.BitBtnSeveHwCurrInfo->click();
        if (answerOutstanding)
            rig.tick();
        rig.lamp->show();
        rig.link.StepRetry = 3;

        s.sBitBtnSetCurr->click();
        QCOMPARE(rig.port.lastFrame(), kStopWrite);
        QCOMPARE(rig.exits, (QList<bool>{false, true}));
        QVERIFY(!rig.link.CurrActive);
        QVERIFY(!rig.runner()->isActive());
        QCOMPARE(int(rig.link.StepRetry), 0);
        QVERIFY(rig.lamp->isHidden());
        QCOMPARE(rig.valueEntryClosed, 1);
        verifyIdle(s);

        rig.confirmWrite();
        QCOMPARE(rig.clock.waits, (std::vector<int>{1000, 1000}));
        QCOMPARE(rig.link.StepInquiry, &rig.link.InqReg532);
        QVERIFY(!rig.runner()->isActive());

        // The next start begins again with the variant read.
        s.sBitBtnSetCurr->click();
        QCOMPARE(rig.port.lastFrame(), frame({kSlave, 0x03, 0x02, 0x16, 0x00, 0x01}));
    }

    void stopWithoutACycleStillLeavesAdjustment()
    {
        Rig rig;
        rig.sheet.StopSetCurr();
        QCOMPARE(rig.port.written, QList<QByteArray>{kStopWrite});
        QVERIFY(rig.exits.isEmpty());
        verifyIdle(rig.sheet);
    }

    void runnerFailureLimitStopsTheCycle_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<bool>("stopped");
        QTest::newRow("nine failures") << 9 << false;
        QTest::newRow("ten failures") << 10 << true;
    }
    void runnerFailureLimitStopsTheCycle()
    {
        QFETCH(int, failures);
        QFETCH(bool, stopped);
        Rig rig;
        rig.runCycle(1, Limit::Middle);
        for (int i = 0; i < failures; ++i) {
            QCOMPARE(rig.tick(), kRead532);
            rig.answerTimer()->fire();
        }
        QCOMPARE(rig.tick(), stopped ? kStopWrite : kRead532);
        QCOMPARE(rig.link.CurrActive, !stopped);
        QCOMPARE(rig.runner()->isActive(), !stopped);
    }

    void untrustedStartAnswersNeverCrash_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("listIndex");
        QTest::addColumn<QString>("limitText");
        const QString untouched = QStringLiteral("0,000");
        QTest::newRow("no data") << frame({kSlave, 0x03, 0x00}) << 1 << untouched;
        QTest::newRow("one byte") << frame({kSlave, 0x03, 0x01, 0x00}) << 1 << untouched;
        QTest::newRow("count above the data") << frame({kSlave, 0x03, 0x02, 0x00}) << 1 << untouched;
        QTest::newRow("odd count") << frame({kSlave, 0x03, 0x03, 0x00, 0x00, 0x09}) << 0 << "0.0";
        QTest::newRow("all ones") << frame({kSlave, 0x03, 0x02, 0xFF, 0xFF}) << -1 << "12.0";
        QTest::newRow("two words") << frame({kSlave, 0x03, 0x04, 0x00, 0x01, 0x00, 0x00}) << 1 << "12.0";
    }
    void untrustedStartAnswersNeverCrash()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, listIndex);
        QFETCH(QString, limitText);
        Rig rig;
        rig.sheet.sComboBoxSelHwCurr->setCurrentIndex(1);
        rig.sheet.sBitBtnSetCurr->click();
        // Straight to the handler: the link holds back answers shorter than a whole word read.
        rig.sheet.StartCurrCycle(Response{reinterpret_cast<const std::uint8_t *>(answer.constData()),
                                          std::size_t(answer.size())});
        QVERIFY(rig.link.CurrActive);
        QCOMPARE(rig.sheet.sComboBoxSelHwCurr->currentIndex(), listIndex);
        QCOMPARE(texts(rig.sheet), QStringList({limitText, limitText, limitText}));
        QCOMPARE(rig.tick(), write06(766, 2));
    }

    void startThatCannotGoOut_data()
    {
        QTest::addColumn<int>("edit2");
        QTest::addColumn<bool>("portFails");
        QTest::addColumn<QList<bool>>("exits");
        QTest::addColumn<QString>("shown");
        QTest::newRow("settings number not a number") << kBroken << false << QList<bool>{} << "'x' — не целое число";
        QTest::newRow("port cannot be used")
            << kSlave << true << QList<bool>{false, true} << "Ошибка при чтении номера порта: COM 1";
    }
    void startThatCannotGoOut()
    {
        QFETCH(int, edit2);
        QFETCH(bool, portFails);
        QFETCH(QList<bool>, exits);
        QFETCH(QString, shown);
        Rig rig;
        rig.edit2 = edit2;
        rig.port.failOpen = portFails;
        rig.sheet.sBitBtnSetCurr->click();
        QVERIFY(rig.port.written.isEmpty());
        QCOMPARE(rig.exits, exits);
        QCOMPARE(rig.messages.shown, QStringList{shown});
        QVERIFY(!rig.link.CurrActive);
        verifyIdle(rig.sheet);
    }

    void spinArrowsStepByOneThousandth_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("result");
        QTest::newRow("up") << "19.950" << 1 << "19.951";
        QTest::newRow("down past zero") << "0.000" << -2 << "-0.002";
        QTest::newRow("not a number stays") << "abc" << 1 << "abc";
    }
    void spinArrowsStepByOneThousandth()
    {
        QFETCH(QString, text);
        QFETCH(int, steps);
        QFETCH(QString, result);
        const QLocale previous;
        QLocale::setDefault(QLocale::c());
        auto restore = qScopeGuard([&] { QLocale::setDefault(previous); });
        DecimalSpinEdit edit;
        edit.setText(text);
        edit.stepBy(steps);
        QCOMPARE(edit.text(), result);
    }
};

QTEST_MAIN(TestCurrentOutputs)
#include "tst_current_outputs.moc"
