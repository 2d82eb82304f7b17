// The program's link against tavro-sim over a pseudo-terminal: the real serial port, the real
// window, timers fired by the test. Waits are for bytes on the line, never for a time-out.
#include "e2e_rig.h"
#include "measured_values_panel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace tavro;
using namespace tavro::test;


class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void readsPlausibleMeasuredValues()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({"--address", "5"}));
        rig.page().Edit1->setText("5");
        rig.page().BitBtnStart->click();
        QVERIFY(rig.link().WaitAnsw);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link().WaitAnsw, kLineMs);
        const MeasuredValuesPanel &v = *rig.page().Values;
        QVERIFY2(qAbs(rig.shown(v.EditUa) - 230) < 15, qPrintable(v.EditUa->text()));
        QVERIFY2(qAbs(rig.shown(v.EditIb) - 5) < 1, qPrintable(v.EditIb->text()));
        QVERIFY2(qAbs(rig.shown(v.EditFrec) - 50) < 1, qPrintable(v.EditFrec->text()));
        const double p = rig.shown(v.EditPa) + rig.shown(v.EditPb) + rig.shown(v.EditPc);
        QVERIFY(qAbs(p - rig.shown(v.EditP)) < 1.0);
        QCOMPARE(rig.link().CntAllEnquiry, std::uint16_t(1));
        QCOMPARE(rig.link().CntErrCRC, std::uint16_t(0));
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(rig.page().BitBtnStart->isEnabled());
    }

    void missingAnswerEndsByTimeout()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({"--drop-every", "1"}));
        rig.page().BitBtnStart->click();
        QVERIFY(rig.sim->waitForLine("drop", kLineMs));
        QVERIFY(rig.link().WaitAnsw);
        rig.fireTimeout();
        QCOMPARE(rig.link().CntNoAnsw, std::uint16_t(1));
        QCOMPARE(rig.window->StatusPanel1->text(), QStringLiteral("  Нет ответа от устройства !"));
        QVERIFY(!rig.link().WaitAnsw);
    }

    void badCrcIsCountedAndTheExchangeTimesOut()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({"--corrupt-crc-every", "1"}));
        rig.page().BitBtnStart->click();
        QTRY_COMPARE_WITH_TIMEOUT(rig.link().CntErrCRC, std::uint16_t(1), kLineMs);
        QCOMPARE(rig.window->StatusPanel1->text(), QStringLiteral("  Ошибка контрольной суммы !"));
        QVERIFY(rig.link().WaitAnsw);
        QVERIFY(rig.page().Values->EditUa->text().isEmpty());
        rig.fireTimeout();
        QCOMPARE(rig.link().CntNoAnsw, std::uint16_t(1));
    }

    void answerInPiecesIsReadOnce()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({"--split-every", "1", "--split-gap-ms", "40"}));
        int dispatched = 0;
        rig.link().setHandler(0, [&](const Response &r) {
            ++dispatched;
            rig.page().Values->ShowMeasured(r.data());
        });
        rig.page().BitBtnStart->click();
        QVERIFY(rig.sim->waitForLine("split", kLineMs));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link().WaitAnsw, kLineMs);
        QCOMPARE(dispatched, 1);
        QCOMPARE(rig.link().RxCount, std::size_t(129));
        QCOMPARE(rig.link().CntErrCRC, std::uint16_t(0));
        QVERIFY(!rig.page().Values->EditUa->text().isEmpty());
    }

    void trailingBytesNeverLeaveTheLinkStuck()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({"--trailing", "5"}));
        for (int exchange = 1; exchange <= 3; ++exchange) {
            rig.page().BitBtnStart->click();
            QVERIFY(rig.sim->waitForLine("tx ", kLineMs));
            // Garbage read with the answer fails the CRC; garbage after it is flushed.
            QTRY_VERIFY_WITH_TIMEOUT(!rig.link().WaitAnsw || rig.link().CntErrCRC > 0, kLineMs);
            if (rig.link().WaitAnsw)
                rig.fireTimeout();
            QVERIFY(!rig.link().WaitAnsw);
            QCOMPARE(rig.link().CntAllEnquiry, std::uint16_t(exchange));
        }
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void exceptionAnswerIsShown()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({"--exception", "0:2"}));
        rig.page().BitBtnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.messages.shown.isEmpty(), kLineMs);
        QCOMPARE(rig.messages.shown, QStringList{"Адрес данных указанный в запросе недоступен"});
        QVERIFY(!rig.link().WaitAnsw);
        QVERIFY(rig.page().Values->EditUa->text().isEmpty());
    }

    void pollingRunsAgainstTheInstrument()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({}));
        rig.page().CheckBoxAuto->setChecked(true);
        rig.page().BitBtnStart->click();
        FakeTimer *poll = rig.timers.byName(QStringLiteral("TimerAuto"));
        for (int i = 0; i < 5; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(!rig.link().WaitAnsw, kLineMs);
            poll->fire();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link().WaitAnsw, kLineMs);
        QCOMPARE(rig.link().CntAllEnquiry, std::uint16_t(6));
        QCOMPARE(rig.link().CntNoAnsw, std::uint16_t(0));
        rig.page().BitBtnStart->click();
        QVERIFY(!poll->isActive());
    }

    void portThatVanishesIsReportedAndComesBack()
    {
        EndToEndRig rig;
        QVERIFY(rig.start({}));
        rig.page().BitBtnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link().WaitAnsw, kLineMs);

        const QString gone = rig.sim->devicePath();
        rig.sim.reset(); // the adapter is pulled out
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(gone) || !rig.port.isOpen(), kLineMs);
        rig.page().BitBtnStart->click();
        if (rig.link().WaitAnsw) // the port noticed only now: the write went nowhere
            rig.fireTimeout();
        rig.page().BitBtnStart->click();
        QVERIFY(rig.messages.shown.contains(QStringLiteral("Ошибка при чтении номера порта: COM 1")));
        QVERIFY(rig.page().BitBtnStart->isEnabled());

        QVERIFY(rig.startSim({})); // plugged in again
        rig.messages.shown.clear();
        rig.page().BitBtnStart->click();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link().WaitAnsw, kLineMs);
        QVERIFY(rig.messages.shown.isEmpty());
        QVERIFY(!rig.page().Values->EditUa->text().isEmpty());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
