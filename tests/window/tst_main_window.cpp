#include "connection_controls.h"
#include "display_sheet.h"
#include "main_params_sheet.h"
#include "metrology_panel.h"
#include "scheme_ratios.h"
#include "frame_util.h"
#include "measure_page.h"
#include "measured_values_panel.h"
#include "settings_page.h"
#include "status_lamp.h"
#include "window_rig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include <QProgressBar>

#include <cstring>

using namespace tavro;
using namespace tavro::test;

namespace {

const QByteArray kMeasureRequest = bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x3E, 0xC4, 0x1A});

QByteArray floatBytes(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return bytes({int(bits >> 24), int((bits >> 16) & 0xFF), int((bits >> 8) & 0xFF), int(bits & 0xFF)});
}

// A measured-values answer: value k is base + k.
QByteArray measuredAnswer(float base = 230.0f)
{
    QByteArray data;
    for (int k = 0; k < 31; ++k)
        data += floatBytes(base + float(k));
    return readAnswer(1, data);
}

QStringList tabCaptions(QTabWidget *tabs)
{
    QStringList out;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->isTabVisible(i))
            out << tabs->tabText(i);
    return out;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startsWithItsPagesAndTimers()
    {
        WindowRig rig;
        MainWindow &w = *rig.window;
        QCOMPARE(w.windowTitle(), QStringLiteral("Tavro v2.38"));
        QCOMPARE(w.size(), QSize(846, 630));
        QCOMPARE(tabCaptions(w.PageControl1),
                 (QStringList{"Измеряемая информация", "Настройка", "Внешние устройства", "Информационный канал"}));
        QCOMPARE(tabCaptions(w.TStuning->PageControlSetAllParam),
                 (QStringList{"Насторойка основных параметров", "Настройка параметров индикации",
                              "Настройка метрологии", "Настройка токовых выходов"}));
        QCOMPARE(w.PageControl1->currentIndex(), 0);
        QVERIFY(rig.timer("TimerChanInfo")->isActive());
        QVERIFY(rig.timer("TimerClock")->isActive());
        for (const char *idle : {"TimerWaitAnsw", "TimerMess", "TimerAuto", "TimerSetAuto", "TimerSaveMaxVal"})
            QVERIFY2(!rig.timer(idle)->isActive(), idle);
        QCOMPARE(rig.timer("TimerSetAuto")->interval(), 500);
        for (const char *name : {"BitBtnExit", "sBitBtn1", "sComboBoxSkin", "BitBtnStart", "EditAuto",
                                 "CheckBoxAuto", "ButtonStatClear", "Edit1", "Edit2", "Edit12", "ComboBoxPort1",
                                 "ComboBoxPort5", "ComboBoxBaud4", "sProgressBarSchKp", "ApdStatusLight3"})
            QVERIFY2(rig.find(name), name);
        QVERIFY(!w.sProgressBarSchKp->isVisibleTo(&w));
        QVERIFY(!w.sComboBoxSkin->isVisibleTo(&w));
        QCOMPARE(w.TS_Tavro->BitBtnStart->text(), QStringLiteral("     Читать"));
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void singleReadShowsValuesAndCounts()
    {
        WindowRig rig;
        MeasurePage &page = *rig.window->TS_Tavro;
        page.BitBtnStart->click();
        QCOMPARE(rig.port.lastFrame(), kMeasureRequest);
        QVERIFY(!page.BitBtnStart->isEnabled());
        QCOMPARE(page.StaticTextAllEnquiry->text(), QStringLiteral("1"));
        QVERIFY(rig.timer("TimerWaitAnsw")->isActive());

        rig.clock.advance(1020);
        rig.port.receive(measuredAnswer());
        QVERIFY(page.BitBtnStart->isEnabled());
        QVERIFY(!rig.link().WaitAnsw);
        QCOMPARE(page.Values->EditUa->text(), QLocale().toString(230.0, 'f', 3));
        QCOMPARE(page.Values->EditIa->text(), QLocale().toString(233.0, 'f', 4));
        QCOMPARE(page.StaticTextTimeMeasure->text(), QStringLiteral("1c 20mc"));
        QCOMPARE(page.StaticTextMax->text(), QStringLiteral("20mc"));
        QCOMPARE(rig.window->StatusPanel1->text(), QStringLiteral("  Операция завершена успешно"));
        QVERIFY(rig.timer("TimerMess")->fire());
        QVERIFY(rig.window->StatusPanel1->text().isEmpty());
        QVERIFY(rig.port.input.isEmpty());
    }

    void missingAnswerClearsAllButZeroSequence()
    {
        WindowRig rig;
        MeasurePage &page = *rig.window->TS_Tavro;
        page.BitBtnStart->click();
        rig.port.receive(measuredAnswer());
        const QString uo = page.Values->EditUo->text();
        QVERIFY(!uo.isEmpty());

        page.BitBtnStart->click();
        QVERIFY(rig.timer("TimerWaitAnsw")->fire());
        QCOMPARE(page.StaticTextNoAnsw->text(), QStringLiteral("1"));
        QCOMPARE(rig.window->StatusPanel1->text(), QStringLiteral("  Нет ответа от устройства !"));
        QVERIFY(page.Values->EditUa->text().isEmpty());
        QVERIFY(page.Values->EditFrec->text().isEmpty());
        QCOMPARE(page.Values->EditUo->text(), uo);
        QVERIFY(page.BitBtnStart->isEnabled());
        QCOMPARE(page.ApdStatusLight3->color(), QColor(Qt::red));
        QVERIFY(!rig.timer("TimerWaitAnsw")->isActive());
    }

    void badCrcCountsAndWaitsForTheTimeout()
    {
        WindowRig rig;
        MeasurePage &page = *rig.window->TS_Tavro;
        page.BitBtnStart->click();
        QByteArray answer = measuredAnswer();
        answer[10] = char(answer[10] ^ 0x01);
        rig.port.receive(answer);
        QCOMPARE(page.StaticTextErrCRC->text(), QStringLiteral("1"));
        QCOMPARE(rig.window->StatusPanel1->text(), QStringLiteral("  Ошибка контрольной суммы !"));
        QVERIFY(rig.link().WaitAnsw);
        QVERIFY(page.Values->EditUa->text().isEmpty());
        QVERIFY(rig.timer("TimerWaitAnsw")->fire());
        QCOMPARE(page.StaticTextNoAnsw->text(), QStringLiteral("1"));
    }

    void exceptionAnswerKeepsTheValues()
    {
        WindowRig rig;
        MeasurePage &page = *rig.window->TS_Tavro;
        page.BitBtnStart->click();
        rig.port.receive(measuredAnswer());
        const QString ua = page.Values->EditUa->text();
        page.BitBtnStart->click();
        rig.port.receive(bytes({0x01, 0x83, 0x02, 0xC0, 0xF1}));
        QCOMPARE(rig.messages.shown, QStringList{"Адрес данных указанный в запросе недоступен"});
        QCOMPARE(page.Values->EditUa->text(), ua);
        QVERIFY(!rig.link().WaitAnsw);
    }

    void portThatCannotBeOpenedIsReported()
    {
        WindowRig rig;
        rig.port.failOpen = true;
        MeasurePage &page = *rig.window->TS_Tavro;
        page.BitBtnStart->click();
        QCOMPARE(rig.messages.shown, QStringList{"Ошибка при чтении номера порта: COM 1"});
        QVERIFY(page.BitBtnStart->isEnabled());
        QVERIFY(!rig.link().WaitAnsw);
        QVERIFY(!rig.timer("TimerWaitAnsw")->isActive());
        QCOMPARE(rig.link().CntAllEnquiry, std::uint16_t(0));
    }

    void logicalNumberThatIsNotANumberIsShownAndNothingSent()
    {
        WindowRig rig;
        MeasurePage &page = *rig.window->TS_Tavro;
        {
            const QSignalBlocker quiet(page.Edit1);
            page.Edit1->setText(QString());
        }
        page.BitBtnStart->click();
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY2(rig.messages.shown.first().contains(QStringLiteral("''")), qPrintable(rig.messages.shown.first()));
        QVERIFY(rig.port.written.isEmpty());
        QVERIFY(page.BitBtnStart->isEnabled());
    }

    void pollingPeriod_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "250" << 250 << "250";
        QTest::newRow("wraps at 16 bits") << "70000" << 4464 << "70000";
        QTest::newRow("capped") << "65000" << 60000 << "60000";
        QTest::newRow("zero never fires") << "0" << 0 << "0";
        QTest::newRow("not a number keeps the period") << "abc" << 100 << "";
    }
    void pollingPeriod()
    {
        QFETCH(QString, typed);
        QFETCH(int, interval);
        QFETCH(QString, shown);
        WindowRig rig;
        MeasurePage &page = *rig.window->TS_Tavro;
        page.EditAuto->setText(typed);
        page.CheckBoxAuto->setChecked(true);
        page.BitBtnStart->click();
        FakeTimer *autoTimer = rig.timer("TimerAuto");
        QVERIFY(autoTimer->isActive());
        QCOMPARE(autoTimer->interval(), interval);
        QCOMPARE(page.EditAuto->text(), shown);
        QCOMPARE(rig.port.written.size(), 1);
        rig.port.receive(measuredAnswer());
        QCOMPARE(autoTimer->fire(), interval > 0);
        QCOMPARE(rig.port.written.size(), interval > 0 ? 2 : 1);
    }

    void pollingNeverOverlapsAndStopsOnPageChange()
    {
        WindowRig rig;
        MainWindow &w = *rig.window;
        MeasurePage &page = *w.TS_Tavro;
        page.CheckBoxAuto->setChecked(true);
        page.BitBtnStart->click();
        QCOMPARE(page.BitBtnStart->text(), QStringLiteral("     Стoп"));
        QVERIFY(!page.Edit1->isEnabled());
        QVERIFY(!page.CheckBoxAuto->isEnabled());
        QVERIFY(!w.BitBtnExit->isEnabled());

        FakeTimer *autoTimer = rig.timer("TimerAuto");
        autoTimer->fire();
        autoTimer->fire();
        QCOMPARE(rig.port.written.size(), 1); // the first request is still outstanding
        rig.port.receive(measuredAnswer());
        autoTimer->fire();
        QCOMPARE(rig.port.written.size(), 2);
        QCOMPARE(page.StaticTextAllEnquiry->text(), QStringLiteral("2"));

        w.PageControl1->setCurrentIndex(1);
        QVERIFY(!autoTimer->isActive());
        QVERIFY(page.Edit1->isEnabled());
        QVERIFY(!page.CheckBoxAuto->isChecked());
        QVERIFY(w.BitBtnExit->isEnabled());
        QCOMPARE(page.BitBtnStart->text(), QStringLiteral("     Читать"));
    }

    void resetEmptiesCountersButNotTheTimes()
    {
        WindowRig rig;
        MeasurePage &page = *rig.window->TS_Tavro;
        page.BitBtnStart->click();
        rig.clock.advance(40);
        rig.port.receive(measuredAnswer());
        page.BitBtnStart->click();
        rig.timer("TimerWaitAnsw")->fire();
        page.ButtonStatClear->click();
        QVERIFY(page.StaticTextAllEnquiry->text().isEmpty());
        QVERIFY(page.StaticTextNoAnsw->text().isEmpty());
        QVERIFY(page.StaticTextErrCRC->text().isEmpty());
        QCOMPARE(page.StaticTextTimeMeasure->text(), QStringLiteral("0c 40mc"));
        QCOMPARE(page.StaticTextMax->text(), QStringLiteral("40mc"));
        page.BitBtnStart->click();
        QCOMPARE(page.StaticTextAllEnquiry->text(), QStringLiteral("1"));
    }

    void portChoiceShowsEverywhereAndIsKept()
    {
        WindowRig rig;
        MainWindow &w = *rig.window;
        QComboBox *ext = rig.find<QComboBox>("ComboBoxPort2");
        ext->setCurrentIndex(3);
        emit ext->activated(3);
        for (const char *name : {"ComboBoxPort1", "ComboBoxPort2", "ComboBoxPort3", "ComboBoxPort4", "ComboBoxPort5"})
            QCOMPARE(rig.find<QComboBox>(name)->currentText(), QStringLiteral("Comm4"));
        QCOMPARE(rig.port.portNumber(), 4);
        QCOMPARE(AppSettings(rig.settings.filePath()).port(), 4);
        QVERIFY(rig.iniBytesAsText().contains(QStringLiteral("Порт=4")));

        WindowRig restarted(rig.iniBytesAsText());
        QCOMPARE(restarted.find<QComboBox>("ComboBoxPort5")->currentText(), QStringLiteral("Comm4"));
        QCOMPARE(restarted.port.portNumber(), 4);
        Q_UNUSED(w);
    }

    void speedChoiceIsKeptAndAppliedToAllSelectors()
    {
        WindowRig rig;
        QComboBox *baud = rig.find<QComboBox>("ComboBoxBaud2");
        baud->setCurrentIndex(5);
        emit baud->activated(5);
        QCOMPARE(rig.port.baudRate(), 38400);
        QCOMPARE(rig.find<QComboBox>("ComboBoxBaud1")->currentText(), QStringLiteral("38400"));
        QCOMPARE(rig.find<QComboBox>("ComboBoxBaud4")->currentText(), QStringLiteral("38400"));
        QCOMPARE(AppSettings(rig.settings.filePath()).speed(), 38400);
    }

    void channelPageForces9600AndFirstPageReloads()
    {
        WindowRig rig("[Соединение]\r\nПорт=2\r\nСкорость=19200\r\nПаритет=2\r\n");
        MainWindow &w = *rig.window;
        QCOMPARE(rig.port.baudRate(), 19200);
        QCOMPARE(rig.port.parity(), Parity::Even);
        w.PageControl1->setCurrentIndex(3);
        QCOMPARE(rig.port.baudRate(), 9600);
        QCOMPARE(rig.port.parity(), Parity::None);
        QVERIFY(rig.link().ChanListening);
        w.PageControl1->setCurrentIndex(0);
        QVERIFY(!rig.link().ChanListening);
        QCOMPARE(rig.port.baudRate(), 19200);
        QCOMPARE(rig.port.parity(), Parity::Even);
        QCOMPARE(AppSettings(rig.settings.filePath()).speed(), 19200);
    }

    void badSettingsAreReported_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("storedPort");
        QTest::newRow("no file") << QString() << QStringList() << 1 << 9600 << 0 << 1;
        QTest::newRow("empty file") << QString("") << QStringList() << 1 << 9600 << 0 << 1;
        QTest::newRow("garbled") << QString("\x01\x02[[[=\n==\nПорт") << QStringList() << 1 << 9600 << 0 << 1;
        QTest::newRow("port 0") << "[Соединение]\nПорт=0\n" << QStringList{"Ошибочный номер порта: COM 0"} << 1
                                << 9600 << 0 << 1;
        QTest::newRow("port 17") << "[Соединение]\nПорт=17\n" << QStringList{"Ошибочный номер порта: COM 17"} << 1
                                 << 9600 << 0 << 1;
        QTest::newRow("speed 100") << "[Соединение]\nСкорость=100\n" << QStringList{"Ошибочная скорость порта: 100"}
                                   << 1 << 9600 << 0 << 1;
        QTest::newRow("speed 14400 runs, selectors show 9600")
            << "[Соединение]\nСкорость=14400\n" << QStringList() << 1 << 14400 << 0 << 1;
        QTest::newRow("parity 5") << "[Соединение]\nПаритет=5\n"
                                  << QStringList{"Ошибка в задании контроля четности порта: 5"} << 1 << 9600 << 0
                                  << 1;
    }
    void badSettingsAreReported()
    {
        QFETCH(QString, ini);
        QFETCH(QStringList, messages);
        QFETCH(int, port);
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, storedPort);
        WindowRig rig(ini);
        QCOMPARE(rig.messages.shown, messages);
        QCOMPARE(rig.port.portNumber(), port);
        QCOMPARE(rig.port.baudRate(), baud);
        QCOMPARE(int(rig.port.parity()), parity);
        QCOMPARE(rig.find<QComboBox>("ComboBoxBaud1")->currentIndex(), ConnectionControls::BaudIndex(baud));
        QCOMPARE(AppSettings(rig.settings.filePath()).port(), storedPort);
    }

    void logicalNumbersStayEqualAndInRange()
    {
        WindowRig rig;
        auto *edit1 = rig.find<QLineEdit>("Edit1");
        auto *edit2 = rig.find<QLineEdit>("Edit2");
        auto *edit12 = rig.find<QLineEdit>("Edit12");
        edit2->setText("12");
        QCOMPARE(edit1->text(), QStringLiteral("12"));
        QCOMPARE(edit12->text(), QStringLiteral("12"));
        QVERIFY(rig.messages.shown.isEmpty());

        edit2->setText("300");
        QCOMPARE(rig.messages.shown,
                 QStringList{"Логический номер должен \rнаходиться в пределах \rот 1 до 247 "});
        QVERIFY(edit1->text().isEmpty() && edit2->text().isEmpty() && edit12->text().isEmpty());

        rig.messages.shown.clear();
        edit1->setText("12a");
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(edit1->text().isEmpty() && edit2->text().isEmpty() && edit12->text().isEmpty());
    }

    void skinsAreChosenAndKept()
    {
        WindowRig rig("[Скины]\nSkinName=Wood (internal)\n");
        MainWindow &w = *rig.window;
        w.sBitBtn1->click();
        QVERIFY(w.sComboBoxSkin->isVisibleTo(&w));
        QCOMPARE(w.sComboBoxSkin->currentText(), QStringLiteral("Wood (internal)"));
        w.sComboBoxSkin->setCurrentText(QStringLiteral("Golden (internal)"));
        emit w.sComboBoxSkin->activated(w.sComboBoxSkin->currentIndex());
        QVERIFY(!w.sComboBoxSkin->isVisibleTo(&w));
        QCOMPARE(AppSettings(rig.settings.filePath()).skinName(), QStringLiteral("Golden (internal)"));
        w.SetSkin(QString());
        QCOMPARE(rig.messages.shown, QStringList{"Ошибка при изменении внешнего вида"});
    }

    void writeSequenceEndsCleanlyOnExceptionAndTimeout_data()
    {
        QTest::addColumn<bool>("exception");
        QTest::newRow("exception answer") << true;
        QTest::newRow("no answer") << false;
    }
    void writeSequenceEndsCleanlyOnExceptionAndTimeout()
    {
        QFETCH(bool, exception);
        WindowRig rig;
        MainWindow &w = *rig.window;
        w.GroupBoxNetSchKp->BitBtnSaveSchKp->click();
        QCOMPARE(rig.port.lastFrame().left(4), bytes({0x01, 0x06, 0x02, 0x10}));
        QVERIFY(w.sProgressBarSchKp->isVisibleTo(&w));
        if (exception)
            rig.port.receive(withCrc(bytes({0x01, 0x86, 0x02})));
        else
            QVERIFY(rig.timer("TimerWaitAnsw")->fire());
        QVERIFY(!w.sProgressBarSchKp->isVisibleTo(&w));
        QVERIFY(w.GroupBoxNetSchKp->isEnabled() && w.GroupBoxNetSchKp->BitBtnSaveSchKp->isEnabled());
        QVERIFY(!rig.timer("TimerSaveMaxVal")->isActive());
        QCOMPARE(rig.port.written.size(), 1);
    }

    void displaySheetFollowsTheWindow()
    {
        WindowRig rig;
        MainWindow &w = *rig.window;
        DisplaySheet &d = *w.Display;
        QVERIFY(!d.BitBtnSaveIndParam->isEnabled() && !d.BitBtnSaveUst->isEnabled());

        // Entering the external devices page puts each line's default setpoints in.
        w.PageControl1->setCurrentIndex(2);
        QCOMPARE(d.ITEUstMax00->text(), QStringLiteral("130")); // "Напряжение  Ua"
        QCOMPARE(d.ITEUstMin02->text(), QStringLiteral("0"));
        w.PageControl1->setCurrentIndex(1);

        // Its read button runs the main-parameter chain of the other sheet.
        d.IBitBtnMainParam->click();
        QCOMPARE(rig.port.lastFrame().left(6), bytes({0x01, 0x03, 0x02, 0x00, 0x00, 0x01}));
        QVERIFY(d.ITEUstMax00->text().isEmpty());
        QVERIFY(rig.timer("TimerWaitAnsw")->fire()); // a time-out gives the write buttons back
        QVERIFY(d.BitBtnSaveIndParam->isEnabled() && d.BitBtnSaveUst->isEnabled());
        QVERIFY(w.MainParams->BitBtnMainParam->isEnabled());
    }

    // Starts the metrology cycle on its sheet: the scheme, then the ratios, then polling.
    static void startMetrology(WindowRig &rig)
    {
        MainWindow &w = *rig.window;
        w.PageControl1->setCurrentIndex(1);
        w.TStuning->PageControlSetAllParam->setCurrentWidget(w.TStuning->TSSetMetrol);
        w.Metrology->BitBtnSetNet->click();
        rig.port.receive(readAnswer(1, bytes({0, 0}))); // four-wire
        QVERIFY(rig.timer("TimerSetAuto")->fire());
        rig.port.receive(readAnswer(1, QByteArray(16, '\0')));
    }

    void runnerGivesUpAfterTenFailures()
    {
        WindowRig rig;
        startMetrology(rig);
        Link &link = rig.link();
        QVERIFY(link.NetActive);
        QVERIFY(!rig.window->BitBtnExit->isEnabled());
        QVERIFY(!rig.window->TS_Tavro->isEnabled());
        FakeTimer *runner = rig.timer("TimerSetAuto");
        for (int i = 0; i < 10; ++i) {
            QVERIFY(runner->fire());
            QVERIFY(rig.timer("TimerWaitAnsw")->fire());
        }
        QCOMPARE(link.StepRetry, std::uint16_t(10));
        QVERIFY(runner->fire());
        QVERIFY(!link.NetActive);
        QVERIFY(!runner->isActive());
        QCOMPARE(link.StepRetry, std::uint16_t(0));
        QCOMPARE(rig.window->Metrology->BitBtnSetNet->text(), QStringLiteral("   Старт"));
        QVERIFY(rig.window->BitBtnExit->isEnabled());
        // The current outputs leave their adjustment mode whether their cycle ran or not.
        QCOMPARE(rig.port.lastFrame(), withCrc(bytes({0x01, 0x06, 0x02, 0xFE, 0x00, 0x00})));
    }

    void leavingTheSheetOrTabEndsTheCycle_data()
    {
        QTest::addColumn<bool>("otherTab");
        QTest::newRow("another sheet") << false;
        QTest::newRow("another tab") << true;
    }
    void leavingTheSheetOrTabEndsTheCycle()
    {
        QFETCH(bool, otherTab);
        WindowRig rig;
        startMetrology(rig);
        MainWindow &w = *rig.window;
        QVERIFY(rig.link().NetActive);
        if (otherTab)
            w.PageControl1->setCurrentIndex(0);
        else
            w.TStuning->PageControlSetAllParam->setCurrentWidget(w.TStuning->TSSetCurrent);
        QVERIFY(!rig.link().NetActive);
        QVERIFY(!rig.timer("TimerSetAuto")->isActive());
        QVERIFY(w.TS_Tavro->isEnabled() && w.BitBtnExit->isEnabled());
        QVERIFY(w.GroupBoxNetSchKp->isEnabled());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
