// Calibrating against tavro-sim: the value the instrument reports after a reference is sent is
// that reference, a power nudge moves the power, and a stored calibration outlives a restart.
#include "e2e_rig.h"
#include "encoding.h"
#include "measured_values_panel.h"
#include "metrology_panel.h"
#include "scheme_ratios.h"
#include "settings_page.h"
#include "value_entry_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <array>
#include <cmath>

using namespace tavro;
using namespace tavro::test;

namespace {

enum : int { kUa = 0, kUb = 1, kIa = 3, kUab = 6, kPa = 9, kPb = 10 };

struct CalibrationRig : EndToEndRig {
    std::array<float, 31> measured{};
    int polls = 0;

    bool startCycle(const QStringList &simArgs)
    {
        if (!start(simArgs))
            return false;
        MainWindow &w = *window;
        link().setHandler(32, [this](const Response &r) {
            bool noData = false;
            for (int k = 0; k < 31; ++k)
                measured[k] = RegToFloat(r.data(), k, noData);
            ++polls;
            window->Metrology->MeasureRead(r);
        });
        w.PageControl1->setCurrentIndex(1);
        w.TStuning->PageControlSetAllParam->setCurrentWidget(w.TStuning->TSSetMetrol);
        return begin();
    }
    // "   Старт", then the ratios and the first poll.
    bool begin()
    {
        window->Metrology->BitBtnSetNet->click();
        return answered() && link().NetActive && tick() && tick() && polls > 0;
    }
    bool tick() { return timer("TimerSetAuto")->fire() && answered(); }
    // The queued write goes out at the next tick, the poll after it shows its effect.
    bool writeAndPoll()
    {
        const int before = polls;
        return tick() && !link().WritePending && tick() && polls == before + 1;
    }
};

// Equal but for the instrument's slow drift between the reference and the next poll.
bool near(float a, float b)
{
    return std::fabs(a - b) <= 1e-3f * std::max(std::fabs(a), std::fabs(b));
}

} // namespace

class TestCalibrationEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void enterSendsTheNominalAndTheInstrumentFollows()
    {
        CalibrationRig rig;
        QVERIFY(rig.startCycle({}));
        MetrologyPanel &m = *rig.window->Metrology;
        QVERIFY(m.Button3Uan->isEnabled()); // 230 V is above 60 % of the nominal
        m.Button3Uan->click();
        QVERIFY(rig.link().WritePending);
        QVERIFY(rig.writeAndPoll());
        QVERIFY2(near(rig.measured[kUa], rig.link().InqCalibValue.FValue),
                 qPrintable(QString::number(rig.measured[kUa])));
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void threeWireLineVoltageIsCalibrated()
    {
        CalibrationRig rig;
        QVERIFY(rig.start({}));
        SchemeRatiosArea &s = *rig.window->GroupBoxNetSchKp;
        s.ComboBoxSetSch->setCurrentIndex(0); // three-wire
        emit s.ComboBoxSetSch->activated(0);
        s.BitBtnSaveSchKp->click();
        while (rig.link().WaitAnsw && rig.answered())
            rig.timer("TimerSaveMaxVal")->fire();
        rig.link().setHandler(32, [&](const Response &r) {
            bool noData = false;
            for (int k = 0; k < 31; ++k)
                rig.measured[k] = RegToFloat(r.data(), k, noData);
            ++rig.polls;
            rig.window->Metrology->MeasureRead(r);
        });
        rig.window->PageControl1->setCurrentIndex(1);
        rig.window->TStuning->PageControlSetAllParam->setCurrentWidget(rig.window->TStuning->TSSetMetrol);
        QVERIFY(rig.begin());
        QVERIFY(s.ThreeWire);
        MetrologyPanel &m = *rig.window->Metrology;
        QVERIFY(m.Button2Uan->isEnabled());
        m.Button2Uan->click();
        QVERIFY(rig.writeAndPoll());
        QVERIFY2(near(rig.measured[kUab], rig.link().InqCalibValue.FValue),
                 qPrintable(QString::number(rig.measured[kUab])));
    }

    void typedReferenceThroughTheDialog()
    {
        CalibrationRig rig;
        QVERIFY(rig.startCycle({}));
        MetrologyPanel &m = *rig.window->Metrology;
        m.SendInfoToForm2(m.StaticTextIa3);
        QVERIFY(m.Form2->isVisible());
        QVERIFY(!rig.window->isEnabled());
        m.Form2->EditImpValue->setText(QLocale().toString(4.75, 'f', 2));
        m.Form2->ButtonEnterVal->click();
        QVERIFY(rig.writeAndPoll());
        QVERIFY2(near(rig.measured[kIa], 4.75f), qPrintable(QString::number(rig.measured[kIa])));
        m.Form2->close();
        QVERIFY(rig.window->isEnabled());
    }

    void powerNudgeMovesThePhasePower()
    {
        CalibrationRig rig;
        QVERIFY(rig.startCycle({}));
        const float pa = rig.measured[kPa], pb = rig.measured[kPb];
        rig.window->Metrology->UpDownPa1UpClick();
        QVERIFY(rig.writeAndPoll());
        // The nudge is far larger than the instrument's slow drift between two polls.
        QVERIFY2(rig.measured[kPa] / pa > 1.0005f * (rig.measured[kPb] / pb),
                 qPrintable(QStringLiteral("%1 -> %2").arg(pa).arg(rig.measured[kPa])));
    }

    void storedCalibrationOutlivesARestart()
    {
        QTemporaryDir stateDir;
        const QStringList withState{"--state", stateDir.filePath("instrument.state")};
        CalibrationRig rig;
        QVERIFY(rig.startCycle(withState));
        MetrologyPanel &m = *rig.window->Metrology;
        m.Button3Uan->click();
        QVERIFY(rig.writeAndPoll());
        const float stored = rig.link().InqCalibValue.FValue;
        m.BitBtnSeveSetInfo->click();
        QVERIFY(rig.tick()); // the store command; the runner waits for its answer
        m.Button3Ubn->click(); // changed after the store: lost at the restart
        QVERIFY(rig.tick() && rig.tick());
        const float unsaved = rig.link().InqCalibValue.FValue;
        m.BitBtnSetNet->click(); // "   Стоп"
        QVERIFY(!rig.link().NetActive);

        const QString gone = rig.sim->devicePath();
        rig.sim.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(gone) || !rig.port.isOpen(), kLineMs);
        QVERIFY(rig.startSim(withState));
        rig.messages.shown.clear();
        rig.polls = 0;
        // The first send may still find the old line gone; the next one opens the new device.
        for (int attempt = 0; attempt < 2 && rig.polls == 0; ++attempt) {
            if (!rig.begin() && rig.link().WaitAnsw)
                rig.fireTimeout();
        }
        QVERIFY(rig.polls >= 1);
        // The live values drift a few tenths of a percent with the instrument's own clock, which
        // starts again at the restart; the calibration is what keeps the value at the reference.
        QVERIFY2(std::fabs(rig.measured[kUa] / stored - 1) < 0.01f, qPrintable(QString::number(rig.measured[kUa])));
        QVERIFY(std::fabs(rig.measured[kUb] / unsaved - 1) > 0.5f);
    }

    void tenDroppedAnswersStopBothCycles()
    {
        CalibrationRig rig;
        QVERIFY(rig.startCycle({}));
        // The line goes bad under a running cycle: from now on no request is answered.
        const QString gone = rig.sim->devicePath();
        rig.sim.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(gone) || !rig.port.isOpen(), kLineMs);
        QVERIFY(rig.startSim({"--drop-every", "1"}));
        FakeTimer *runner = rig.timer("TimerSetAuto");
        for (int tick = 0; tick < 20 && rig.link().NetActive; ++tick) {
            runner->fire();
            if (rig.link().WaitAnsw) {
                QVERIFY(!rig.answered());
                rig.fireTimeout();
            }
        }
        QVERIFY(!rig.link().NetActive);
        QVERIFY(!rig.link().CurrActive);
        QVERIFY(!runner->isActive());
        QCOMPARE(rig.window->Metrology->BitBtnSetNet->text(), QStringLiteral("   Старт"));
        QVERIFY(rig.window->BitBtnExit->isEnabled());
        QVERIFY(rig.link().CntNoAnsw >= 10);
        // Stopping the current outputs always takes them out of their adjustment mode.
        const auto *sent = reinterpret_cast<const char *>(rig.link().TxBuf.data());
        QCOMPARE(QByteArray(sent, 6), QByteArray::fromHex("010602fe0000"));
        QCOMPARE(rig.link().SentTag, std::uint8_t(36));
    }
};

QTEST_MAIN(TestCalibrationEndToEnd)
#include "tst_calibration_e2e.moc"
