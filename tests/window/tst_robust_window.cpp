// Random, truncated, oversized and exception answers for every request tag, through the real
// window and its handlers. Seeded and repeatable: TAVRO_ROBUST_SEED replays a run.
#include "frame_util.h"
#include "window_rig.h"

#include <QTabWidget>
#include <QtTest>

#include <random>

using namespace tavro;
using namespace tavro::test;

class TestRobustWindow : public QObject {
    Q_OBJECT
private slots:
    void everyTagSurvivesAnyAnswer()
    {
        const quint32 seed = qEnvironmentVariableIsSet("TAVRO_ROBUST_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TAVRO_ROBUST_SEED"))
                                 : 20261211u;
        const int perTag = qEnvironmentVariableIntValue("TAVRO_ROBUST_WINDOW_CASES") > 0
                               ? qEnvironmentVariableIntValue("TAVRO_ROBUST_WINDOW_CASES")
                               : 200;
        qInfo("seed %u, %d cases per tag", seed, perTag);
        std::mt19937 rng(seed);
        auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };

        WindowRig rig;
        Link &link = rig.link();
        const char *timers[] = {"TimerWaitAnsw", "TimerSetAuto", "TimerAuto", "TimerSaveMaxVal",
                                "TimerChanInfo", "TimerClock", "TimerMess"};
        for (int tag = 0; tag < 256; ++tag) {
            for (int i = 0; i < perTag; ++i) {
                if (pick(50) == 0)
                    rig.window->PageControl1->setCurrentIndex(pick(4));
                TInquiry inq;
                inq.Addr = 1;
                inq.Count = std::uint16_t(pick(130));
                inq.AnswLen = std::uint16_t(pick(6) == 0 ? pick(5000) : 5 + 2 * inq.Count);
                inq.Tag = std::uint8_t(tag);
                link.SendInquiry(inq);

                QByteArray answer;
                switch (pick(5)) {
                case 0: // a well-formed read answer of random content
                    answer = QByteArray(qMin(int(inq.Count) * 2, 255), Qt::Uninitialized);
                    for (char &c : answer)
                        c = char(pick(256));
                    answer = readAnswer(1, answer);
                    break;
                case 1: // an exception with any code
                    answer = withCrc(bytes({1, 0x80 | pick(128), pick(256)}));
                    break;
                case 2: { // noise, possibly oversized
                    answer.resize(pick(5000));
                    for (char &c : answer)
                        c = char(pick(256));
                    break;
                }
                case 3: // a write echo
                    answer = withCrc(bytes({1, pick(2) ? 0x06 : 0x10, pick(256), pick(256), pick(256), pick(256)}));
                    break;
                default: // random bytes with a valid CRC
                    answer.resize(3 + pick(300));
                    for (char &c : answer)
                        c = char(pick(256));
                    answer = withCrc(answer);
                    break;
                }
                if (pick(4) == 0)
                    answer.truncate(pick(int(answer.size()) + 1));
                int at = 0;
                while (at < answer.size()) {
                    const int piece = 1 + pick(int(answer.size()) - at);
                    rig.port.receive(answer.mid(at, piece));
                    at += piece;
                }
                if (pick(3) == 0)
                    rig.timer(timers[pick(7)])->fire();
                if (link.WaitAnsw && pick(2) == 0)
                    rig.timer("TimerWaitAnsw")->fire();
                QVERIFY(link.RxCount <= link.RxBuf.size());
            }
        }
        QVERIFY(rig.window->isEnabled());
    }
};

QTEST_MAIN(TestRobustWindow)
#include "tst_robust_window.moc"
