// Reading and writing the instrument's configuration against tavro-sim: every value written is
// what the instrument then holds, and reading it back shows the same.
#include "display_sheet.h"
#include "e2e_rig.h"
#include "main_params_sheet.h"
#include "scheme_ratios.h"
#include "settings_page.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace tavro;
using namespace tavro::test;

namespace {

void pick(QComboBox *box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

} // namespace

class TestConfigurationEndToEnd : public QObject {
    Q_OBJECT

    // Runs the main-parameter chain: the version word, then three runner ticks.
    static bool readMainParameters(EndToEndRig &rig)
    {
        rig.window->MainParams->BitBtnMainParam->click();
        if (!rig.answered())
            return false;
        for (int step = 0; step < 3; ++step) {
            if (!rig.timer("TimerSetAuto")->fire() || !rig.answered())
                return false;
        }
        return !rig.timer("TimerSetAuto")->isActive() && rig.window->MainParams->BitBtnMainParam->isEnabled();
    }

    static bool readSchemeAndRatios(EndToEndRig &rig)
    {
        rig.window->GroupBoxNetSchKp->BitBtnReadSchKp->click();
        if (!rig.answered())
            return false;
        for (int step = 0; step < 2; ++step)
            if (!rig.timer("TimerSetAuto")->fire() || !rig.answered())
                return false;
        return !rig.timer("TimerSetAuto")->isActive();
    }

    // Presses the write button, then lets each confirmed step's 100 ms tick run the next one.
    static int writeSchemeAndRatios(EndToEndRig &rig)
    {
        int steps = 0;
        rig.window->GroupBoxNetSchKp->BitBtnSaveSchKp->click();
        while (rig.link().WaitAnsw && rig.answered()) {
            ++steps;
            if (!rig.timer("TimerSaveMaxVal")->fire())
                break;
        }
        return steps;
    }

private slots:
    void readsOldAndNewInstruments_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("port2");
        QTest::newRow("17-word instrument") << "238" << true;
        QTest::newRow("10-word instrument") << "150" << false;
    }
    void readsOldAndNewInstruments()
    {
        QFETCH(QString, version);
        QFETCH(bool, port2);
        EndToEndRig rig;
        QVERIFY(rig.start({"--version", version, "--device-number", "765432"}));
        QVERIFY(readMainParameters(rig));
        MainParamsSheet &m = *rig.window->MainParams;
        QCOMPARE(m.StaticTextVersPrg->text(), version);
        QCOMPARE(m.StaticTextNumMeasureParam->text(), QStringLiteral("31"));
        QCOMPARE(m.EditNumDev->text(), QStringLiteral("765432"));
        QCOMPARE(m.EditReadLog->text(), QStringLiteral("1"));
        QCOMPARE(m.ComboBoxBaudComA->currentText(), QStringLiteral("9600"));
        QCOMPARE(m.sComboBoxStatComB->isEnabled(), port2);
        QCOMPARE(m.sComboBoxStatComB->currentIndex(), port2 ? 1 : -1);
        QCOMPARE(m.ComboBoxBaudComB->currentIndex(), port2 ? 3 : -1);
        QCOMPARE(rig.window->Display->ComboBoxBrightness->currentIndex(), 2);
        QCOMPARE(rig.window->Display->ITEUstMax00->text(), QStringLiteral("0"));
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void everyValueWrittenReadsBack()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({}));
        MainWindow &w = *rig.window;
        QVERIFY(readMainParameters(rig));
        const QString written = QStringLiteral("Информация записана ");

        DisplaySheet &d = *w.Display;
        pick(d.ComboBoxBrightness, 1);
        d.BitBtnWriteBrightness->click();
        QVERIFY(rig.answered());
        pick(d.ComboBoxIndParam0, 3);  // Ток Ia: setpoints 120 / 0
        pick(d.ComboBoxIndParam1, 9);  // Мощность активная Pa: 120 / -120
        pick(d.ComboBoxIndParam2, 25); // Частота F: 100 / 0
        d.BitBtnSaveIndParam->click();
        QVERIFY(rig.answered());
        d.ITEUstMax00->setText("110");
        d.BitBtnSaveUst->click();
        QVERIFY(rig.answered());

        MainParamsSheet &m = *w.MainParams;
        m.EditNumDev->setText("4321");
        m.BitBtnSaveNumDev->click();
        QVERIFY(rig.answered());
        pick(m.sComboBoxStatComB, 0); // "Информ.": the port-2 speed falls back to 9600 and is locked
        m.sBitBtnWriteStatysComB->click();
        QVERIFY(rig.answered());
        QVERIFY(!m.ComboBoxBaudComB->isEnabled());

        SchemeRatiosArea &s = *w.GroupBoxNetSchKp;
        pick(s.ComboBoxSetSch, 1); // four-wire
        s.ComboBoxMaxValU->setEditText("10000");
        s.ComboBoxMaxValI->setEditText("200");
        QCOMPARE(writeSchemeAndRatios(rig), 7);
        QVERIFY(!w.sProgressBarSchKp->isVisible());
        QCOMPARE(rig.messages.shown, QStringList(6, written)); // five writes and the scheme sequence
        QCOMPARE(rig.link().CntNoAnsw, std::uint16_t(0));

        // Everything again from the instrument.
        d.ITEUstMax00->clear();
        QVERIFY(readMainParameters(rig));
        QCOMPARE(d.ComboBoxBrightness->currentIndex(), 1);
        QCOMPARE(d.ComboBoxIndParam0->currentIndex(), 3);
        QCOMPARE(d.ComboBoxIndParam1->currentIndex(), 9);
        QCOMPARE(d.ComboBoxIndParam2->currentIndex(), 25);
        QCOMPARE(d.ITEUstMax00->text(), QStringLiteral("110"));
        QCOMPARE(d.ITEUstMin01->text(), QStringLiteral("-120"));
        QCOMPARE(d.ITEUstMax02->text(), QStringLiteral("100"));
        QCOMPARE(m.EditNumDev->text(), QStringLiteral("4321"));
        QCOMPARE(m.sComboBoxStatComB->currentIndex(), 0);
        QCOMPARE(m.StaticTextSchInp->text(), QStringLiteral("четырехпроводная"));

        s.ComboBoxMaxValU->setEditText("");
        QVERIFY(readSchemeAndRatios(rig));
        QCOMPARE(s.ComboBoxSetSch->currentIndex(), 1);
        QVERIFY(!s.ComboBoxCurrMeasure->isEnabled());
        QCOMPARE(s.UMax, 10000.0f);
        QCOMPARE(s.IMax, 200.0f);
        QCOMPARE(s.ComboBoxMaxValU->currentText(), QStringLiteral("7692")); // shown divided by 1.3
    }

    void programFollowsNewLogicalNumberAndSpeed()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({}));
        MainParamsSheet &m = *rig.window->MainParams;
        QVERIFY(readMainParameters(rig));

        m.EditReadLog->setText("17");
        m.BitBtnWriteLog->click();
        QVERIFY(rig.answered());
        QCOMPARE(rig.window->TS_Tavro->Edit1->text(), QStringLiteral("17"));
        QCOMPARE(rig.window->TStuning->Edit2->text(), QStringLiteral("17"));

        pick(m.ComboBoxBaudComA, 4); // 19200
        m.BitBtnWriteBaudComA->click();
        QVERIFY(rig.answered());
        QCOMPARE(rig.port.baudRate(), 19200);
        QCOMPARE(rig.window->TS_Tavro->ComboBoxBaud1->currentText(), QStringLiteral("19200"));
        QCOMPARE(AppSettings(rig.settings.filePath()).speed(), 19200);

        QVERIFY(readMainParameters(rig)); // addressed to 17 now
        QCOMPARE(m.EditReadLog->text(), QStringLiteral("17"));
        QCOMPARE(m.ComboBoxBaudComA->currentText(), QStringLiteral("19200"));

        m.EditReadLog->setText("300"); // refused: the instrument would become unreachable
        const int sent = int(rig.link().CntAllEnquiry);
        m.BitBtnWriteLog->click();
        QVERIFY(!rig.link().WaitAnsw);
        QCOMPARE(int(rig.link().CntAllEnquiry), sent);
        QVERIFY(rig.messages.shown.last().startsWith(QStringLiteral("Логический номер должен")));
    }

    void chainsSurviveAMissingAnswer_data()
    {
        QTest::addColumn<bool>("mainParameters");
        QTest::newRow("main-parameter chain") << true;
        QTest::newRow("scheme and ratios") << false;
    }
    void chainsSurviveAMissingAnswer()
    {
        QFETCH(bool, mainParameters);
        EndToEndRig rig;
        QVERIFY(rig.start({"--drop-every", "2"})); // the chain's second request goes unanswered first
        MainWindow &w = *rig.window;
        if (mainParameters)
            w.MainParams->BitBtnMainParam->click();
        else
            w.GroupBoxNetSchKp->BitBtnReadSchKp->click();
        QVERIFY(rig.answered());
        FakeTimer *runner = rig.timer("TimerSetAuto");
        for (int tick = 0; tick < 8 && runner->isActive(); ++tick) {
            runner->fire();
            if (!rig.answered())
                rig.fireTimeout(); // the runner asks again at its next tick
        }
        QVERIFY(!runner->isActive());
        QVERIFY(rig.link().CntNoAnsw >= 1);
        if (mainParameters) {
            QCOMPARE(w.MainParams->StaticTextVersPrg->text(), QStringLiteral("238"));
            QVERIFY(!w.Display->ITEUstMax00->text().isEmpty());
        } else {
            // The instrument keeps 1.3 times the rated primary current: 6.5 shows as 5.0.
            QCOMPARE(w.GroupBoxNetSchKp->IMax, 6.5f);
            QCOMPARE(w.GroupBoxNetSchKp->ComboBoxMaxValI->currentText(), QStringLiteral("5") + QLocale().decimalPoint() + "0");
        }
    }

    void writeSequenceStopsOnExceptionAndOnTimeout_data()
    {
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<int>("answered");
        QTest::addColumn<QString>("message");
        QTest::newRow("exception at the secondary voltage")
            << QStringList{"--exception", "2052:2"} << 4 << "Адрес данных указанный в запросе недоступен";
        QTest::newRow("no answer at the third step") << QStringList{"--drop-every", "3"} << 2 << QString();
    }
    void writeSequenceStopsOnExceptionAndOnTimeout()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(int, answered);
        QFETCH(QString, message);
        EndToEndRig rig;
        QVERIFY(rig.start(simArgs));
        SchemeRatiosArea &s = *rig.window->GroupBoxNetSchKp;
        const int steps = writeSchemeAndRatios(rig);
        QCOMPARE(steps, answered);
        if (rig.link().WaitAnsw)
            rig.fireTimeout();
        QVERIFY(!rig.timer("TimerSaveMaxVal")->isActive());
        QVERIFY(!rig.window->sProgressBarSchKp->isVisibleTo(rig.window.get()));
        QVERIFY(s.isEnabled() && s.BitBtnSaveSchKp->isEnabled());
        if (!message.isEmpty())
            QCOMPARE(rig.messages.shown.last(), message);
        QVERIFY(!rig.messages.shown.contains(QStringLiteral("Информация записана ")));
    }
};

QTEST_MAIN(TestConfigurationEndToEnd)
#include "tst_configuration_e2e.moc"
