// The built-in display settings: the quantity list and setpoint group table, the setpoint rule
// and field guards, and the sheet on the link's test doubles (the read steps for the display
// lines and setpoints, the three writes byte for byte, and answers of the wrong size).
#include "conversion.h"
#include "display_sheet.h"
#include "fakes.h"
#include "frame_util.h"
#include "setpoints.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QtTest>

using namespace tavro;
using namespace tavro::test;

namespace {

const QString kNoSelection = QStringLiteral("Информация не корректна");
const QString kWritten = QStringLiteral("Информация записана ");
constexpr int kNone = -1;

QByteArray frame(std::initializer_list<int> list)
{
    return withCrc(bytes(list));
}

QByteArray wordBytes(const QList<int> &words)
{
    QByteArray out;
    for (int w : words) {
        out.append(char((w >> 8) & 0xFF));
        out.append(char(w & 0xFF));
    }
    return out;
}

// A function-3 answer whose byte count says count while the frame carries data.
QByteArray answerWithCount(int slave, int count, const QByteArray &data)
{
    QByteArray f;
    f.append(char(slave));
    f.append(char(0x03));
    f.append(char(count));
    f.append(data);
    return withCrc(f);
}

struct Rig {
    FakeSerialPort port;
    FakeTimerFactory timers;
    FakeClock clock;
    RecordingMessages messages;
    Link link{port, timers, clock, messages};
    int slave = 1;
    QString saved;
    int chainEnds = 0;
    int mainReads = 0;

    SheetServices services{link,
                           messages,
                           clock,
                           timers,
                           [this] { return std::uint16_t(slave); },
                           [this] { return std::uint16_t(slave); },
                           {},
                           {},
                           nullptr,
                           &saved};
    DisplaySheet sheet{services};

    Rig()
    {
        // The dispatch table and hooks as the window sets them.
        link.setSettingsLogicalNumber([this] { return std::uint16_t(slave); });
        link.setHandler(5, [this](const Response &r) { sheet.ShowIndParam(r); });
        link.setHandler(6, [this](const Response &r) { sheet.ShowITEUst(r); });
        link.setHandler(18, [this](const Response &) { messages.show(kWritten); });
        link.setHandler(19, [this](const Response &) { messages.show(kWritten); });
        sheet.chainEnded = [this] { ++chainEnds; };
        sheet.readMainParams = [this] { ++mainReads; };
    }

    FakeTimer *runner() const { return static_cast<FakeTimer *>(link.TimerSetAuto); }

    // A read step of the chain as the runner sends it, answered with answer.
    void runStep(std::uint16_t reg, std::uint8_t tag, const QByteArray &answer)
    {
        TInquiry &inq = link.CurInquiry;
        inq.Addr = std::uint16_t(slave);
        inq.Reg = reg;
        inq.Count = 6;
        inq.AnswLen = 17;
        inq.Tag = tag;
        link.StepInquiry = &link.CurInquiry;
        link.TimerSetAuto->setInterval(1000);
        link.TimerSetAuto->start();
        runner()->fire();
        port.receive(answer);
    }

    UstChannel line(int i) const { return sheet.lines()[std::size_t(i)]; }
    QLineEdit *field(int line, bool upper) const { return upper ? this->line(line).upper : this->line(line).lower; }

    // The user picks code in line i's list.
    void pick(int i, int code)
    {
        QComboBox *list = line(i).param;
        list->setCurrentIndex(code);
        emit list->activated(code);
    }
    static void focus(QWidget *w, QEvent::Type type)
    {
        QFocusEvent event(type, Qt::TabFocusReason);
        QCoreApplication::sendEvent(w, &event);
    }
    // The user enters the field, replaces its text by typing, and leaves it. A lone minus does not
    // stand, so a negative value gets its sign in front of the digits typed first.
    void typeInto(QLineEdit *f, const QString &typed)
    {
        focus(f, QEvent::FocusIn);
        f->clear();
        const bool negative = typed.startsWith(QLatin1Char('-'));
        QTest::keyClicks(f, negative ? typed.mid(1) : typed);
        if (negative) {
            QTest::keyClick(f, Qt::Key_Home);
            QTest::keyClick(f, '-');
        }
        focus(f, QEvent::FocusOut);
    }
    void setFields(const QStringList &six) // upper 1, lower 1, upper 2, ...
    {
        for (int i = 0; i < 6; ++i)
            field(i / 2, i % 2 == 0)->setText(six[i]);
    }
};

QStringList itemsOf(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

} // namespace

class TestDisplaySheet : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // ---- quantities and the setpoint group table ------------------------------------------------

    void quantityTexts()
    {
        QStringList texts = DisplayQuantityTexts();
        QCOMPARE(texts.size(), kQuantityCount);
        QCOMPARE(texts[0], QStringLiteral("Напряжение  Ua"));
        QCOMPARE(texts[3], QStringLiteral("Ток  Ia"));
        QCOMPARE(texts[25], QStringLiteral("Частота  F"));
        QCOMPARE(texts[28], QStringLiteral("Напряжение линейное среднее Uл ср"));
        QCOMPARE(texts[30], QStringLiteral("Ток нулевой последовательности Io"));
        // The power factors are spelled with Latin K and p here (the external indicator differs).
        for (int code : {18, 19, 20, 24}) {
            const QString tail = texts[code].section(QLatin1Char(' '), -1);
            QVERIFY2(tail.startsWith(QLatin1String("Kp")), qPrintable(texts[code]));
        }
        QCOMPARE(texts[24], QStringLiteral("Коэффициент мощности сумм.  Kp"));
        QCOMPARE(texts.removeDuplicates(), 0);
    }

    void groupTable_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("defaultUpper");
        QTest::addColumn<int>("defaultLower");
        QTest::addColumn<int>("largestUpper");
        QTest::addColumn<int>("smallestLower");
        QTest::newRow("Ua: phase voltage") << 0 << 130 << 0 << 150 << 0;
        QTest::newRow("Uф ср: phase voltage") << 26 << 130 << 0 << 150 << 0;
        QTest::newRow("Uo: phase voltage") << 29 << 130 << 0 << 150 << 0;
        QTest::newRow("Ia: current") << 3 << 120 << 0 << 130 << 0;
        QTest::newRow("I ср: current") << 27 << 120 << 0 << 130 << 0;
        QTest::newRow("Io: current") << 30 << 120 << 0 << 130 << 0;
        QTest::newRow("Uab: line voltage") << 6 << 130 << 0 << 150 << 0;
        QTest::newRow("Uл ср: line voltage") << 28 << 130 << 0 << 150 << 0;
        QTest::newRow("Pa: phase power") << 9 << 120 << -120 << 130 << -130;
        QTest::newRow("Qc: phase power") << 14 << 120 << -120 << 130 << -130;
        QTest::newRow("Sa: apparent power") << 15 << 120 << 0 << 130 << 0;
        QTest::newRow("S: apparent power") << 23 << 120 << 0 << 130 << 0;
        QTest::newRow("Kpa: phase power factor") << 18 << 100 << -100 << 100 << -100;
        QTest::newRow("P: total power") << 21 << 120 << -120 << 130 << -130;
        QTest::newRow("Q: total power") << 22 << 120 << -120 << 130 << -130;
        QTest::newRow("Kp: total power factor") << 24 << 100 << -100 << 100 << -100;
        QTest::newRow("F: frequency") << 25 << 100 << 0 << 100 << 0;
    }
    void groupTable()
    {
        QFETCH(int, code);
        const std::optional<SetpointGroup> group = SetpointGroupOf(code);
        QVERIFY(group);
        const SetpointLimits limits = LimitsOf(*group);
        QTEST(limits.defaultUpper, "defaultUpper");
        QTEST(limits.defaultLower, "defaultLower");
        QTEST(limits.largestUpper, "largestUpper");
        QTEST(limits.smallestLower, "smallestLower");
    }

    void codesOutsideTheListHaveNoGroup()
    {
        for (int code : {-1, -128, 31, 255, 0xFFFF})
            QVERIFY2(!SetpointGroupOf(code), qPrintable(QString::number(code)));
    }

    void setpointNumber_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("number");
        QTest::newRow("whole") << "C" << "120" << true;
        QTest::newRow("negative") << "C" << "-120" << true;
        QTest::newRow("point in C locale") << "C" << "12.5" << true;
        QTest::newRow("comma in C locale") << "C" << "12,5" << false;
        QTest::newRow("comma in Russian locale") << "ru_RU" << "12,5" << true;
        QTest::newRow("point in Russian locale") << "ru_RU" << "12.5" << false;
        QTest::newRow("empty") << "C" << "" << false;
        QTest::newRow("lone minus") << "C" << "-" << false;
        QTest::newRow("lone plus") << "C" << "+" << false;
        QTest::newRow("letter") << "C" << "12a" << false;
        QTest::newRow("group separator") << "C" << "1,000" << false;
        QTest::newRow("infinity") << "C" << "inf" << false;
        QTest::newRow("not a number") << "C" << "nan" << false;
        QTest::newRow("overflow") << "C" << "1e999" << false;
    }
    void setpointNumber()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QTEST(IsSetpointNumber(text), "number");
    }

    void exitText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("upper");
        QTest::addColumn<QString>("result");
        QTest::newRow("upper above 150") << "200" << true << "150";
        QTest::newRow("upper at 150") << "150" << true << "150";
        QTest::newRow("upper far below zero stays") << "-200" << true << "-200";
        QTest::newRow("lower below -150") << "-200" << false << "-150";
        QTest::newRow("lower above 150 stays") << "200" << false << "200";
        QTest::newRow("decimal kept as typed") << "149.5" << true << "149.5";
        QTest::newRow("decimal above 150") << "150.5" << true << "150";
        QTest::newRow("empty") << "" << true << "0";
        QTest::newRow("lone minus") << "-" << false << "0";
        QTest::newRow("letters") << "abc" << false << "0";
    }
    void exitText()
    {
        QFETCH(QString, text);
        QFETCH(bool, upper);
        QTEST(SetpointExitText(text, upper), "result");
    }

    void wholeNumberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 130.0 << "130";
        QTest::newRow("negative") << -120.0 << "-120";
        QTest::newRow("rounds half away from zero") << 119.5 << "120";
        QTest::newRow("negative half") << -119.5 << "-120";
        QTest::newRow("float noise") << 100.0 * double(1.2f) << "120";
        QTest::newRow("no minus zero") << -0.4 << "0";
        QTest::newRow("no group separator") << 12345.0 << "12345";
    }
    void wholeNumberText()
    {
        QFETCH(double, value);
        QTEST(WholeNumberText(value), "text");
    }

    // ---- the sheet ------------------------------------------------------------------------------

    void startState()
    {
        Rig rig;
        DisplaySheet &s = rig.sheet;
        QCOMPARE(s.objectName(), QStringLiteral("DisplaySheet"));
        QCOMPARE(itemsOf(s.ComboBoxBrightness),
                 (QStringList{QStringLiteral("максимальная"), QStringLiteral("средняя"), QStringLiteral("низкая")}));
        QVERIFY(!s.ComboBoxBrightness->isEditable());
        QCOMPARE(s.ComboBoxBrightness->currentIndex(), -1);
        for (const UstChannel &line : s.lines()) {
            QCOMPARE(itemsOf(line.param), DisplayQuantityTexts());
            QVERIFY(line.param->isEditable());
            QCOMPARE(line.param->currentText(), QStringLiteral("Напряжение  Ua"));
            QCOMPARE(line.upper->text(), QString());
            QCOMPARE(line.lower->text(), QString());
        }
        QVERIFY(s.BitBtnWriteBrightness->isEnabled());
        QVERIFY(!s.BitBtnSaveIndParam->isEnabled());
        QVERIFY(!s.BitBtnSaveUst->isEnabled());
        for (QPushButton *b : {s.BitBtnWriteBrightness, s.BitBtnSaveIndParam, s.BitBtnSaveUst})
            QCOMPARE(b->text(), QStringLiteral("Запись"));
        QCOMPARE(s.IBitBtnMainParam->text(), QStringLiteral("     Читать"));

        const char *names[] = {"ComboBoxBrightness", "BitBtnWriteBrightness", "ComboBoxIndParam0", "ComboBoxIndParam1",
                               "ComboBoxIndParam2", "BitBtnSaveIndParam", "ITEUstMax00", "ITEUstMax01", "ITEUstMax02",
                               "ITEUstMin00", "ITEUstMin01", "ITEUstMin02", "BitBtnSaveUst", "IBitBtnMainParam"};
        for (const char *name : names)
            QVERIFY2(s.findChild<QWidget *>(QString::fromLatin1(name)), name);

        QStringList groups;
        for (QGroupBox *g : s.findChildren<QGroupBox *>())
            groups << g->title();
        for (const char *title : {"Яркость", "Отображаемые параметры", "Наименование", "Уставки", "превышения", "принижения"})
            QVERIFY2(groups.contains(QString::fromUtf8(title)), title);
        QStringList labels;
        for (QLabel *l : s.findChildren<QLabel *>())
            labels << l->text();
        QCOMPARE(labels.count(QStringLiteral("%")), 6);
        for (const char *caption : {"Строка 1", "Строка 2", "Строка 3"})
            QVERIFY2(labels.contains(QString::fromUtf8(caption)), caption);

        const QSize hint = s.sizeHint();
        QVERIFY2(hint.width() <= 830 && hint.height() <= 440,
                 qPrintable(QStringLiteral("%1 x %2").arg(hint.width()).arg(hint.height())));

        s.IBitBtnMainParam->click();
        QCOMPARE(rig.mainReads, 1);
    }

    void pickingAQuantityPutsInItsDefaults_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("lower");
        QTest::newRow("line 2 Ток Ia") << 1 << 3 << "120" << "0";
        QTest::newRow("line 2 Мощность активная Pa") << 1 << 9 << "120" << "-120";
        QTest::newRow("line 2 Частота F") << 1 << 25 << "100" << "0";
        QTest::newRow("line 1 Коэффициент мощности Kpb") << 0 << 19 << "100" << "-100";
        QTest::newRow("line 3 Напряжение линейное Uab") << 2 << 6 << "130" << "0";
    }
    void pickingAQuantityPutsInItsDefaults()
    {
        QFETCH(int, line);
        QFETCH(int, code);
        Rig rig;
        rig.setFields({"11", "-11", "22", "-22", "33", "-33"});
        rig.line(line).upper->setEnabled(false);
        rig.pick(line, code);
        QTEST(rig.line(line).upper->text(), "upper");
        QTEST(rig.line(line).lower->text(), "lower");
        QVERIFY(rig.line(line).upper->isEnabled());
        QVERIFY(rig.sheet.BitBtnSaveIndParam->isEnabled());
        for (int other = 0; other < 3; ++other)
            if (other != line)
                QCOMPARE(rig.line(other).upper->text(), QString::number(11 * (other + 1)));
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(rig.port.written.isEmpty());
    }

    void typingOverALineNamesNoQuantity()
    {
        Rig rig;
        rig.setFields({"11", "-11", "22", "-22", "33", "-33"});
        QComboBox *list = rig.line(0).param;
        list->lineEdit()->selectAll();
        QTest::keyClicks(list->lineEdit(), QStringLiteral("xyz"));
        QCOMPARE(SelectedCode(list), -1);
        QVERIFY(rig.sheet.BitBtnSaveIndParam->isEnabled());
        QCOMPARE(rig.line(0).upper->text(), QStringLiteral("11")); // no quantity, no defaults
        QCOMPARE(rig.line(0).lower->text(), QStringLiteral("-11"));

        rig.sheet.BitBtnSaveIndParam->click();
        QCOMPARE(rig.port.lastFrame(),
                 frame({1, 0x10, 0x04, 0x00, 0x00, 0x03, 0x06, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00}));
        QCOMPARE(list->count(), kQuantityCount); // typing never adds an item
    }

    void leavingASetpointField_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("upper");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("200 upper of Uab: guard 150") << 6 << true << "200" << "150";
        QTest::newRow("200 upper of Ia: guard 150, then group 130") << 3 << true << "200" << "130";
        QTest::newRow("-200 lower of Ia: guard -150, then group 0") << 3 << false << "-200" << "0";
        QTest::newRow("-200 lower of P total: guard -150, then group -130") << 21 << false << "-200" << "-130";
        QTest::newRow("-50 lower of Pa inside its limit") << 9 << false << "-50" << "-50";
        QTest::newRow("decimal inside its limit stays as typed") << 25 << true << "99.5" << "99.5";
        QTest::newRow("empty becomes 0") << 3 << true << "" << "0";
        QTest::newRow("empty lower becomes 0") << 9 << false << "" << "0";
    }
    void leavingASetpointField()
    {
        QFETCH(int, code);
        QFETCH(bool, upper);
        QFETCH(QString, typed);
        Rig rig;
        for (int line = 0; line < 3; ++line)
            rig.pick(line, code);
        rig.typeInto(rig.field(1, upper), typed);
        QTEST(rig.field(1, upper)->text(), "result");
        QVERIFY2(rig.messages.shown.isEmpty(), qPrintable(rig.messages.shown.join('|')));
    }

    void upperBelowLowerIsAccepted()
    {
        Rig rig;
        for (int line = 0; line < 3; ++line)
            rig.pick(line, 9); // Pa: 120 / -120
        rig.typeInto(rig.field(0, true), "-100");
        rig.typeInto(rig.field(0, false), "50");
        QCOMPARE(rig.field(0, true)->text(), QStringLiteral("-100"));
        QCOMPARE(rig.field(0, false)->text(), QStringLiteral("50"));
        QVERIFY(rig.messages.shown.isEmpty());

        rig.sheet.EnableSaveButtons();
        rig.sheet.BitBtnSaveUst->click();
        QCOMPARE(rig.port.lastFrame(), frame({1, 0x10, 0x0B, 0x00, 0x00, 0x06, 0x0C, 0xFF, 0x9C, 0x00, 0x32, 0x00, 0x78,
                                              0xFF, 0x88, 0x00, 0x78, 0xFF, 0x88}));
    }

    void changeGuard_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("a letter reverts to the focus-entry text") << "12a" << "120";
        QTest::newRow("a lone minus reverts") << "-" << "120";
        QTest::newRow("a minus first reverts, digits then follow it") << "-5" << "1205";
        QTest::newRow("digits") << "75" << "75";
        QTest::newRow("a decimal with the locale's separator") << "7.5" << "7.5";
    }
    void changeGuard()
    {
        QFETCH(QString, typed);
        Rig rig;
        QLineEdit *f = rig.field(0, true);
        f->setText("120");
        Rig::focus(f, QEvent::FocusIn);
        QCOMPARE(rig.saved, QStringLiteral("120"));
        f->clear(); // an empty text is accepted
        QCOMPARE(f->text(), QString());
        QTest::keyClicks(f, typed);
        QTEST(f->text(), "result");
    }

    void negativeEntryPutsTheSignInFrontOfDigits()
    {
        Rig rig;
        QLineEdit *f = rig.field(0, false);
        Rig::focus(f, QEvent::FocusIn);
        QTest::keyClicks(f, "50");
        QTest::keyClick(f, Qt::Key_Home);
        QTest::keyClick(f, '-');
        QCOMPARE(f->text(), QStringLiteral("-50"));
    }

    void theRuleStopsAtAnEmptyField()
    {
        Rig rig; // start: every line shows Ua, every field is empty
        rig.setFields({"", "", "", "", "200", ""});
        rig.typeInto(rig.field(0, true), "50");
        QCOMPARE(rig.field(0, true)->text(), QStringLiteral("50"));
        QCOMPARE(rig.messages.shown.size(), 1); // line 1's empty lower; lines 2 and 3 are skipped
        QVERIFY(rig.messages.shown[0].contains(QStringLiteral("принижения")));
        QCOMPARE(rig.field(2, true)->text(), QStringLiteral("200"));
    }

    void aLineWithoutQuantityKeepsItsTexts()
    {
        Rig rig;
        rig.setFields({"500", "-500", "", "", "", ""});
        rig.line(0).param->setCurrentIndex(-1);
        rig.line(0).upper->setEnabled(false);
        rig.sheet.ControlITEUst(0, true);
        rig.sheet.ControlITEUst(0, false);
        QCOMPARE(rig.line(0).upper->text(), QStringLiteral("500"));
        QCOMPARE(rig.line(0).lower->text(), QStringLiteral("-500"));
        QVERIFY(rig.line(0).upper->isEnabled());
        rig.sheet.ControlITEUst(3, true); // no such line
        rig.sheet.ControlITEUst(-1, false);
    }

    // ---- the read steps -------------------------------------------------------------------------

    void showIndParam_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("selection");
        QTest::newRow("0x0019 Частота F") << 0x0019 << 25;
        QTest::newRow("0x0000 Напряжение Ua") << 0x0000 << 0;
        QTest::newRow("0x001E the last code") << 0x001E << 30;
        QTest::newRow("0x0103 only the low byte counts") << 0x0103 << 3;
        QTest::newRow("0x001F (31) no selection") << 0x001F << kNone;
        QTest::newRow("0xFFFF no selection") << 0xFFFF << kNone;
        QTest::newRow("0x0080 negative byte, no selection") << 0x0080 << kNone;
        QTest::newRow("0x00C8 no selection") << 0x00C8 << kNone;
    }
    void showIndParam()
    {
        QFETCH(int, word);
        QFETCH(int, selection);
        Rig rig;
        rig.slave = 7;
        rig.sheet.ClearForRead();
        rig.runStep(1024, 5, readAnswer(7, wordBytes({word, 3, word, 0xFFFF, 0xFFFF, 0xFFFF})));
        QCOMPARE(rig.port.written.size(), 1);
        QCOMPARE(rig.port.lastFrame(), frame({7, 0x03, 0x04, 0x00, 0x00, 0x06}));
        QCOMPARE(rig.sheet.ComboBoxIndParam0->currentIndex(), selection);
        QCOMPARE(rig.sheet.ComboBoxIndParam1->currentIndex(), 3);
        QCOMPARE(rig.sheet.ComboBoxIndParam2->currentIndex(), selection);
        QCOMPARE(SelectedCode(rig.sheet.ComboBoxIndParam0), selection);
        // Not the user's pick: no defaults, no write button.
        for (const UstChannel &line : rig.sheet.lines())
            QCOMPARE(line.upper->text(), QString());
        QVERIFY(!rig.sheet.BitBtnSaveIndParam->isEnabled());
        QVERIFY(rig.messages.shown.isEmpty());

        // The next step: the setpoints at 2816.
        const TInquiry &next = rig.link.CurInquiry;
        QCOMPARE(rig.link.StepInquiry, &rig.link.CurInquiry);
        QCOMPARE(int(next.Reg), 2816);
        QCOMPARE(int(next.Count), 6);
        QCOMPARE(int(next.AnswLen), 17);
        QCOMPARE(int(next.Tag), 6);
        QCOMPARE(int(next.Addr), 7);
        QVERIFY(rig.runner()->isActive());
        QCOMPARE(rig.runner()->interval(), 1000);
        QVERIFY(rig.runner()->fire());
        QCOMPARE(rig.port.lastFrame(), frame({7, 0x03, 0x0B, 0x00, 0x00, 0x06}));
    }

    void showITEUstEndsTheRead()
    {
        Rig rig;
        rig.runStep(2816, 6, readAnswer(1, wordBytes({0xFF88, 0x0000, 0x0082, 0x8000, 0x7FFF, 0xFFFF})));
        const QStringList expected = {"-120", "0", "130", "-32768", "32767", "-1"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(rig.field(i / 2, i % 2 == 0)->text(), expected[i]);
        QCOMPARE(rig.chainEnds, 1);
        QVERIFY(!rig.runner()->isActive());
        QVERIFY(!rig.runner()->fire());
        QCOMPARE(rig.port.written.size(), 1);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void clearForReadAndBrightness_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<int>("selection");
        QTest::newRow("0 максимальная") << 0 << 0;
        QTest::newRow("1 средняя") << 1 << 1;
        QTest::newRow("2 низкая") << 2 << 2;
        QTest::newRow("3 none") << 3 << kNone;
        QTest::newRow("0xFFFF none") << 0xFFFF << kNone;
    }
    void clearForReadAndBrightness()
    {
        QFETCH(int, word);
        Rig rig;
        rig.setFields({"1", "2", "3", "4", "5", "6"});
        rig.sheet.ComboBoxBrightness->setCurrentIndex(1);
        rig.sheet.ClearForRead();
        for (const UstChannel &line : rig.sheet.lines()) {
            QCOMPARE(line.param->currentIndex(), -1);
            QCOMPARE(SelectedCode(line.param), -1);
            QCOMPARE(line.upper->text(), QString());
            QCOMPARE(line.lower->text(), QString());
        }
        QCOMPARE(rig.sheet.ComboBoxBrightness->currentIndex(), -1);
        rig.sheet.ShowBrightness(std::uint16_t(word));
        QTEST(rig.sheet.ComboBoxBrightness->currentIndex(), "selection");
    }

    void answersOfTheWrongSize_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QList<int>>("selections");
        QTest::addColumn<QStringList>("setpoints");
        const QByteArray six = wordBytes({25, 3, 9, 0, 0, 0});
        const QByteArray points = wordBytes({100, -100, 120, 0, 130, -130});
        QTest::newRow("lines: byte count 2 in a full frame")
            << 5 << answerWithCount(1, 2, six) << QList<int>{25, 0, 0} << QStringList{"", "", "", "", "", ""};
        QTest::newRow("lines: byte count 0")
            << 5 << answerWithCount(1, 0, six) << QList<int>{0, 0, 0} << QStringList{"", "", "", "", "", ""};
        QTest::newRow("lines: byte count beyond the frame")
            << 5 << answerWithCount(1, 250, six) << QList<int>{25, 3, 9} << QStringList{"", "", "", "", "", ""};
        QTest::newRow("lines: long answer")
            << 5 << readAnswer(1, six + six) << QList<int>{25, 3, 9} << QStringList{"", "", "", "", "", ""};
        QTest::newRow("setpoints: byte count 4")
            << 6 << answerWithCount(1, 4, points) << QList<int>{0, 0, 0}
            << QStringList{"100", "-100", "", "", "", ""};
        QTest::newRow("setpoints: long answer")
            << 6 << readAnswer(1, points + points) << QList<int>{0, 0, 0}
            << QStringList{"100", "-100", "120", "0", "130", "-130"};
    }
    void answersOfTheWrongSize()
    {
        QFETCH(int, tag);
        QFETCH(QByteArray, answer);
        QFETCH(QList<int>, selections);
        QFETCH(QStringList, setpoints);
        Rig rig;
        rig.runStep(tag == 5 ? 1024 : 2816, std::uint8_t(tag), answer);
        for (int line = 0; line < 3; ++line)
            QCOMPARE(rig.line(line).param->currentIndex(), selections[line]);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(rig.field(i / 2, i % 2 == 0)->text(), setpoints[i]);
        QCOMPARE(rig.link.WaitAnsw, false);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void tinyResponsesDoNotCrash()
    {
        Rig rig;
        const std::uint8_t raw[5] = {1, 3, 12, 0, 25};
        for (std::size_t size = 0; size <= 5; ++size) {
            const Response response{size ? raw : nullptr, size};
            rig.sheet.ShowIndParam(response);
            rig.sheet.ShowITEUst(response);
        }
        QCOMPARE(rig.sheet.ComboBoxIndParam0->currentIndex(), 0);
        QCOMPARE(rig.field(0, true)->text(), QString());
    }

    // ---- writes ---------------------------------------------------------------------------------

    void writeBrightness_data()
    {
        QTest::addColumn<int>("selection");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("максимальная") << 0 << frame({9, 0x06, 0x02, 0x06, 0x00, 0x00}) << QStringList();
        QTest::newRow("низкая") << 2 << frame({9, 0x06, 0x02, 0x06, 0x00, 0x02}) << QStringList();
        QTest::newRow("no selection") << kNone << QByteArray() << QStringList{kNoSelection};
    }
    void writeBrightness()
    {
        QFETCH(int, selection);
        QFETCH(QByteArray, sent);
        Rig rig;
        rig.slave = 9;
        rig.sheet.ComboBoxBrightness->setCurrentIndex(selection);
        rig.sheet.BitBtnWriteBrightness->click();
        QCOMPARE(rig.port.lastFrame(), sent);
        QTEST(rig.messages.shown, "shown");
        QCOMPARE(int(rig.link.CurInquiry.Reg), 518);
        QCOMPARE(int(rig.link.CurInquiry.Tag), 19);
        if (!sent.isEmpty()) {
            QCOMPARE(int(rig.link.SentTag), 19);
            rig.port.receive(sent); // the instrument echoes a function-6 write
            QCOMPARE(rig.messages.shown, QStringList{kWritten});
        }
    }

    void writeDisplayLines_data()
    {
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("three quantities") << QList<int>{3, 25, 30}
                                          << frame({1, 0x10, 0x04, 0x00, 0x00, 0x03, 0x06, 0x00, 0x03, 0x00,
                                                    0x19, 0x00, 0x1E});
        QTest::newRow("a line without selection goes as 0xFFFF")
            << QList<int>{0, kNone, 9}
            << frame({1, 0x10, 0x04, 0x00, 0x00, 0x03, 0x06, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x09});
    }
    void writeDisplayLines()
    {
        QFETCH(QList<int>, codes);
        QFETCH(QByteArray, sent);
        Rig rig;
        for (int line = 0; line < 3; ++line)
            rig.line(line).param->setCurrentIndex(codes[line]);
        rig.sheet.EnableSaveButtons();
        rig.sheet.BitBtnSaveIndParam->click();
        QCOMPARE(rig.port.written, QList<QByteArray>{sent});
        QVERIFY(!rig.sheet.BitBtnSaveIndParam->isEnabled());
        QCOMPARE(int(rig.link.InqMultiWrite.Reg), 1024);
        QCOMPARE(int(rig.link.InqMultiWrite.AnswLen), 11);
        QCOMPARE(int(rig.link.InqMultiWrite.Tag), 18);
        QCOMPARE(int(rig.link.WaitLen), 8);

        rig.port.receive(frame({1, 0x10, 0x04, 0x00, 0x00, 0x03}));
        QCOMPARE(rig.messages.shown, QStringList{kWritten});
        rig.sheet.EnableSaveButtons(); // as the window does after a good CRC
        QVERIFY(rig.sheet.BitBtnSaveIndParam->isEnabled());
    }

    void writeSetpointsInterleaved()
    {
        Rig rig;
        rig.setFields({"130", "0", "120", "-120", "100", "-100"});
        rig.sheet.EnableSaveButtons();
        rig.sheet.BitBtnSaveUst->click();
        QCOMPARE(rig.port.written,
                 QList<QByteArray>{frame({1, 0x10, 0x0B, 0x00, 0x00, 0x06, 0x0C, 0x00, 0x82, 0x00, 0x00, 0x00, 0x78,
                                          0xFF, 0x88, 0x00, 0x64, 0xFF, 0x9C})});
        QVERIFY(!rig.sheet.BitBtnSaveUst->isEnabled());
        QCOMPARE(int(rig.link.InqMultiWrite.Reg), 2816);
        QCOMPARE(int(rig.link.InqMultiWrite.AnswLen), 17);
        QCOMPARE(int(rig.link.InqMultiWrite.Tag), 18);
        // The record keeps pointing at words that are still the ones sent.
        QCOMPARE(int(rig.link.InqMultiWrite.Values[3]), 0xFF88);

        rig.link.TimerWaitAnswTimer(); // no answer
        rig.sheet.EnableSaveButtons(); // as the window does after a time-out
        QVERIFY(rig.sheet.BitBtnSaveUst->isEnabled());
    }

    void setpointsThatAreNotWholeAreNotSent_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("12,5 in a Russian locale") << "ru_RU" << "12,5";
        QTest::newRow("12.5 in the C locale") << "C" << "12.5";
        QTest::newRow("empty") << "C" << "";
        QTest::newRow("beyond a signed word") << "C" << "40000";
    }
    void setpointsThatAreNotWholeAreNotSent()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        Rig rig;
        rig.setFields({"130", "0", "120", text, "100", "-100"});
        QCOMPARE(rig.field(1, false)->text(), text); // the guards let it stand
        rig.sheet.EnableSaveButtons();
        rig.sheet.BitBtnSaveUst->click();
        QVERIFY(rig.port.written.isEmpty());
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY2(rig.messages.shown[0].contains(QStringLiteral("строка 2")), qPrintable(rig.messages.shown[0]));
        QVERIFY(rig.sheet.BitBtnSaveUst->isEnabled());
        QVERIFY(!rig.link.WaitAnsw);
    }

    void aWriteThePortRefusesLeavesTheButtonUsable()
    {
        Rig rig;
        rig.setFields({"130", "0", "120", "0", "100", "0"});
        rig.sheet.EnableSaveButtons();
        rig.port.failOpen = true;
        rig.sheet.BitBtnSaveUst->click();
        rig.sheet.BitBtnSaveIndParam->click();
        QVERIFY(rig.port.written.isEmpty());
        QCOMPARE(rig.messages.shown.size(), 2); // the port's message, once per button
        QVERIFY(rig.sheet.BitBtnSaveUst->isEnabled());
        QVERIFY(rig.sheet.BitBtnSaveIndParam->isEnabled());
    }
};

QTEST_MAIN(TestDisplaySheet)
#include "tst_display_sheet.moc"
