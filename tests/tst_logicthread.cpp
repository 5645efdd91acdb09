// The gates' update threads against the clock: pacing, pause, stop, destruction and exit.

#include "Sanitizers.h"
#include "classlib/Application.h"
#include "gates/LogicCmp.h"
#include "gates/UpdateDispatcher.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <vector>

using enum TLogicalPortType;

namespace {

const char ExitScenario[] = "--exit-with-running-gates";
const char StartFailureScenario[] = "--start-failures";

// A running clock changes its output at every evaluation, so its OnChange counts them.
struct TCountedClock {
    explicit TCountedClock(int delay) : Port(std::make_unique<TLogicalPort>(nullptr)) {
        Port->SetPortType(logCLK);
        Port->SetInAPort(true);
        Port->SetUpdateDelay(delay);
        Port->OnChange = [this](TComponent *) {
            Starts.push_back(Clock.nsecsElapsed());
            if (Work) Work();
            Ends.push_back(Clock.nsecsElapsed());
        };
        Clock.start();
    }
    int Count() const { return int(Starts.size()); }
    double MsBetween(std::int64_t from, std::int64_t to) const { return double(to - from) / 1e6; }

    std::unique_ptr<TLogicalPort> Port;
    QElapsedTimer Clock;
    std::vector<std::int64_t> Starts, Ends;
    std::function<void()> Work;
};

std::size_t LiveThreads() {
    return TUpdateDispatcher::Instance()->LiveThreads();
}
std::size_t PostedRequests() {
    return TUpdateDispatcher::Instance()->PostedRequests();
}

// Keeps the GUI thread from serving for a while, so that requests pile up unserved.
void BlockGuiThread(int ms) {
    QThread::msleep(ulong(ms));
}

// Starts workers in a batch, as reading a network does, while the address space is nearly used
// up, so that many of them get no stack: "finish" ends the read, which must report the failure;
// "fail" lets an error end it, and the next read must find nothing of its starts. Returns the
// exit code: 0 as expected, 1 not, 2 when every worker started after all, 3 when the heap ran
// out first. Threads without gates: a gate's widget would want memory of its own meanwhile.
int StartFailures(const QString &how) {
    // Left paused for program exit to stop.
    std::vector<std::shared_ptr<TLogicalThread>> threads;
    // The starter's own thread first, while there is room for it.
    {
        TLogicalThread::TStartBatch warm;
        threads.push_back(TLogicalThread::Create());
        warm.Finish();
    }
    constexpr int Workers = 1000;
    threads.reserve(2 * Workers);
    // The heap grown beforehand and kept: the threads' objects find room, their stacks do not.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    free(malloc(16 << 20));
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit saved{};
    getrlimit(RLIMIT_AS, &saved);
    rlimit low = saved;
    low.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(1) << 20);
    bool reported = false;
    try {
        TLogicalThread::TStartBatch batch;
        setrlimit(RLIMIT_AS, &low);
        for (int i = 0; i < Workers; ++i)
            threads.push_back(TLogicalThread::Create());
        if (how == "fail") throw std::runtime_error("the file ends early");
        batch.Finish();
    } catch (const std::system_error &) {
        reported = true;
    } catch (const std::runtime_error &) {
    } catch (const std::bad_alloc &) {
        setrlimit(RLIMIT_AS, &saved);
        return 3;
    }
    // Time, still short of room, for any starts a read that did not wait left behind.
    QThread::msleep(200);
    setrlimit(RLIMIT_AS, &saved);
    if (std::count_if(threads.begin(), threads.end(),
                      [](const auto &thread) { return thread->Finished(); }) == 0)
        return 2;
    if (how == "finish") return reported ? 0 : 1;
    try {
        TLogicalThread::TStartBatch next;
        threads.push_back(TLogicalThread::Create());
        next.Finish();
    } catch (const std::system_error &) {
        return 1;
    }
    return 0;
}

} // namespace

class TestLogicThread : public QObject {
    Q_OBJECT

private slots:
    void init() { QTRY_COMPARE(LiveThreads(), 0u); }

    // Each action is A1/A0 (write Active), PLS/CLK (write the kind); after each, whether the
    // thread cycles.
    void threadRule_data() {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("running");
        QTest::newRow("created paused") << QStringList{} << "";
        QTest::newRow("active twice, inactive twice")
            << QStringList{"A1", "A1", "A0", "A0"} << "1100";
        QTest::newRow("pulse switch pauses, other kind resumes")
            << QStringList{"A1", "PLS", "CLK", "PLS", "A0", "CLK"} << "101000";
        QTest::newRow("active pulse switch runs") << QStringList{"PLS", "A1", "A0"} << "010";
    }
    void threadRule() {
        QFETCH(QStringList, actions);
        QFETCH(QString, running);
        TLogicalPort port(nullptr);
        QVERIFY(port.Thread().Suspended());
        for (int i = 0; i < actions.size(); ++i) {
            const QString &action = actions[i];
            if (action.startsWith('A'))
                port.SetActive(action == "A1");
            else
                port.SetPortType(action == "PLS" ? logPLS : logCLK);
            QVERIFY2(port.Thread().Suspended() == (running[i] != '1'), qPrintable(action));
        }
    }

    void evaluatesOnlyWhileActive_data() {
        QTest::addColumn<int>("delay");
        QTest::newRow("5 ms") << 5;
        QTest::newRow("negative: no sleep rather than forever") << -1;
    }
    void evaluatesOnlyWhileActive() {
        QFETCH(int, delay);
        TCountedClock clock(delay);
        QTest::qWait(60);
        QCOMPARE(clock.Count(), 0);
        clock.Port->SetActive(true);
        QTRY_VERIFY(clock.Count() >= 3);
        clock.Port->SetActive(false);
        const int paused = clock.Count();
        QTest::qWait(60);
        QCOMPARE(clock.Count(), paused);
    }

    // Requests already waiting for the GUI thread when the gate is paused or destroyed are
    // dropped.
    void noEvaluationAfterPauseOrStop_data() {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("pause") << false;
        QTest::newRow("destroy") << true;
    }
    void noEvaluationAfterPauseOrStop() {
        QFETCH(bool, destroy);
        auto count = std::make_shared<int>(0);
        std::vector<std::unique_ptr<TLogicalPort>> ports;
        for (int i = 0; i < 20; ++i) {
            ports.push_back(std::make_unique<TLogicalPort>(nullptr));
            ports.back()->SetPortType(logCLK);
            ports.back()->SetInAPort(true);
            ports.back()->SetUpdateDelay(1);
            ports.back()->OnChange = [count](TComponent *) { ++*count; };
            ports.back()->SetActive(true);
        }
        QTRY_VERIFY(*count >= 40);
        BlockGuiThread(20); // every worker now waits for its evaluation
        for (auto &port : ports)
            if (destroy)
                port.reset();
            else
                port->SetActive(false);
        const int before = *count;
        QTest::qWait(50);
        QCOMPARE(*count, before);
    }

    void sleepStartsAfterEvaluation() {
        TCountedClock clock(40);
        clock.Work = [] { BlockGuiThread(25); };
        clock.Port->SetActive(true);
        QTRY_VERIFY_WITH_TIMEOUT(clock.Count() >= 4, 5000);
        clock.Port->SetActive(false);
        for (int i = 1; i < clock.Count(); ++i)
            QVERIFY2(clock.MsBetween(clock.Ends[std::size_t(i - 1)],
                                     clock.Starts[std::size_t(i)]) >= 39.5,
                     qPrintable(QString::number(clock.MsBetween(clock.Ends[std::size_t(i - 1)],
                                                                clock.Starts[std::size_t(i)]))));
    }

    void lowerDelayTakesEffectAtTheNextSleep() {
        TCountedClock clock(600);
        clock.Port->SetActive(true);
        QTRY_COMPARE(clock.Count(), 1);
        clock.Port->SetUpdateDelay(20);
        QTRY_VERIFY_WITH_TIMEOUT(clock.Count() >= 4, 5000);
        QVERIFY(clock.MsBetween(clock.Ends[0], clock.Starts[1]) >= 599.5);
        QVERIFY(clock.MsBetween(clock.Ends[2], clock.Starts[3]) < 300);
    }

    // All sleeps share one timekeeper: a short sleep booked while it waits for a long one must
    // not wait with it.
    void shortSleepBookedDuringLongOneEndsOnTime() {
        TCountedClock slow(800), fast(20);
        slow.Port->SetActive(true);
        QTRY_COMPARE(slow.Count(), 1);
        fast.Port->SetActive(true);
        QTRY_VERIFY_WITH_TIMEOUT(fast.Count() >= 4, 5000);
        QVERIFY(fast.MsBetween(fast.Ends[0], fast.Starts[1]) < 300);
        QCOMPARE(slow.Count(), 1);
    }

    // Requests piled up while the GUI thread is busy are served in the order they came in.
    void requestsServedOldestFirst() {
        const std::vector<int> posting{3, 0, 5, 1, 4, 2};
        std::vector<int> served;
        std::vector<std::unique_ptr<TCountedClock>> clocks;
        for (int i = 0; i < 6; ++i) {
            clocks.push_back(std::make_unique<TCountedClock>(200));
            clocks.back()->Work = [&served, i] { served.push_back(i); };
        }
        const std::size_t before = PostedRequests();
        for (std::size_t i = 0; i < posting.size(); ++i) { // no event loop: nothing is served
            clocks[std::size_t(posting[i])]->Port->SetActive(true);
            for (QDeadlineTimer limit(5000); PostedRequests() == before + i && !limit.hasExpired();)
                QThread::usleep(200);
        }
        QTRY_VERIFY(served.size() >= posting.size());
        served.resize(posting.size());
        QCOMPARE(served, posting);
    }

    // Exit stops sleeping, paused and waiting workers alike, and hears of the last one's end at
    // once instead of sitting out its allowance of a second.
    void exitStopsWorkersAtOnce() {
        std::vector<std::unique_ptr<TCountedClock>> clocks;
        for (int delay : {5000, 5000, 5000, 1}) {
            clocks.push_back(std::make_unique<TCountedClock>(delay));
            clocks.back()->Port->SetActive(true);
        }
        TLogicalPort paused(nullptr);
        QTRY_VERIFY(std::ranges::all_of(clocks, [](auto &clock) { return clock->Count() > 0; }));
        BlockGuiThread(20); // the fast gate now waits for its evaluation
        QElapsedTimer stopping;
        stopping.start();
        TUpdateDispatcher::Instance()->StopAll();
        QVERIFY2(stopping.elapsed() < 500, qPrintable(QString::number(stopping.elapsed())));
        QCOMPARE(LiveThreads(), 0u);
    }

    void destructionMidSleepReturnsAtOnce() {
        auto clock = std::make_unique<TCountedClock>(400);
        clock->Port->SetActive(true);
        QTRY_COMPARE(clock->Count(), 1);
        QElapsedTimer destroying;
        destroying.start();
        clock.reset();
        QVERIFY(destroying.elapsed() < 50);
        // The thread sleeps on, then leaves without touching the gate.
        QTest::qWait(150);
        QCOMPARE(LiveThreads(), 1u);
        QTRY_COMPARE_WITH_TIMEOUT(LiveThreads(), 0u, 2000);
    }

    void pausedThreadEndsWithItsGate() {
        auto port = std::make_unique<TLogicalPort>(nullptr);
        QCOMPARE(LiveThreads(), 1u);
        port.reset();
        QTRY_COMPARE(LiveThreads(), 0u);
    }

    // A window closing leaves its workers' wake-ups to the timekeeper in one batch: every worker
    // must still end without evaluating again, whether the event loop hands the batch over or
    // program exit does, with no event served in between.
    void destroyedBatchEnds_data() {
        QTest::addColumn<int>("gates");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("exit");
        QTest::newRow("paused, event loop") << 500 << false << false;
        QTest::newRow("paused, exit") << 500 << false << true;
        QTest::newRow("running, event loop") << 50 << true << false;
        QTest::newRow("running, exit") << 50 << true << true;
    }
    void destroyedBatchEnds() {
        QFETCH(int, gates);
        QFETCH(bool, running);
        QFETCH(bool, exit);
        int evaluations = 0;
        std::vector<std::unique_ptr<TLogicalPort>> ports;
        for (int i = 0; i < gates; ++i) {
            auto &port = ports.emplace_back(std::make_unique<TLogicalPort>(nullptr));
            port->SetPortType(logCLK);
            port->SetInAPort(true);
            port->SetUpdateDelay(1);
            port->OnChange = [&evaluations](TComponent *) { ++evaluations; };
            port->SetActive(running);
        }
        QTRY_VERIFY(running ? evaluations >= 2 * gates : LiveThreads() == std::size_t(gates));
        BlockGuiThread(5); // running workers now wait for their evaluation or sleep
        ports.clear();
        const int before = evaluations;
        if (exit) {
            QElapsedTimer stopping;
            stopping.start();
            TUpdateDispatcher::Instance()->StopAll();
            QVERIFY2(stopping.elapsed() < 500, qPrintable(QString::number(stopping.elapsed())));
        }
        QTRY_COMPARE(LiveThreads(), 0u);
        QCOMPARE(evaluations, before);
    }

    void exceptionInEvaluateIsDiscarded() {
        bool reported = false;
        TApplication::Instance().OnException = [&](TComponent *, std::exception_ptr) {
            reported = true;
        };
        TCountedClock clock(5);
        clock.Work = [&clock] {
            if (clock.Count() == 1) throw std::runtime_error("evaluation failed");
        };
        clock.Port->SetActive(true);
        QTRY_VERIFY(clock.Count() >= 4);
        QVERIFY(!reported);
        TApplication::Instance().OnException = nullptr;
    }

    // While a network is read, workers start on a helper thread, maybe after their gate was
    // activated or destroyed: the late worker must still follow what its gate was told.
    void lateStartFollowsTheGate() {
        std::optional<TCountedClock> active, paused, destroyed;
        {
            TLogicalThread::TStartBatch batch;
            active.emplace(2);
            paused.emplace(2);
            destroyed.emplace(2);
            active->Port->SetActive(true);
            destroyed->Port->SetActive(true);
            destroyed.reset();
            batch.Finish();
        }
        QTRY_VERIFY(active->Count() >= 3);
        QTRY_COMPARE(LiveThreads(), 2u);
        QCOMPARE(paused->Count(), 0);
    }

    // Gates created, activated, paused, retyped, re-delayed and destroyed at random while others
    // run, also while their workers are still being started; the sanitizer builds look for races
    // and leaks.
    void randomLifecycles_data() {
        QTest::addColumn<bool>("inBatch");
        QTest::newRow("started at once") << false;
        QTest::newRow("started by the helper") << true;
    }
    void randomLifecycles() {
        QFETCH(bool, inBatch);
        std::optional<TLogicalThread::TStartBatch> batch;
        if (inBatch) batch.emplace();
        QRandomGenerator random(20261207);
        std::vector<std::unique_ptr<TLogicalPort>> ports;
        TComponent owner(nullptr);
        int evaluations = 0;
        for (int step = 0; step < 3000; ++step) {
            const int choice = int(random.bounded(10));
            if (ports.empty() || choice == 0) {
                auto *port = new TLogicalPort(&owner);
                port->OnChange = [&evaluations](TComponent *) { ++evaluations; };
                port->SetUpdateDelay(int(random.bounded(1, 6)));
                if (!ports.empty())
                    port->SetInAComp(ports[random.bounded(quint32(ports.size()))].get());
                ports.emplace_back(port);
                continue;
            }
            auto &port = ports[random.bounded(quint32(ports.size()))];
            switch (choice) {
            case 1:
            case 2:
                port->SetActive(true);
                break;
            case 3:
                port->SetActive(false);
                break;
            case 4:
                port->SetPortType(TLogicalPortType(random.bounded(LogicalPortTypeCount)));
                break;
            case 5:
                port->SetUpdateDelay(int(random.bounded(0, 6)));
                break;
            case 6:
                port->ResetState();
                break;
            case 7:
                if (ports.size() > 10) {
                    std::swap(port, ports.back());
                    ports.pop_back();
                }
                break;
            default:
                QCoreApplication::processEvents();
                break;
            }
        }
        if (batch) batch->Finish();
        QTRY_VERIFY(evaluations > 0);
        ports.clear();
        QTRY_COMPARE_WITH_TIMEOUT(LiveThreads(), 0u, 5000);
    }

    // A worker that cannot start while a network or an undo step is read fails that reading;
    // a reading ended by an error first waits for its starts, so none reaches the next one.
    void startFailuresStayWithTheirRead_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("read ends: failure reported") << "finish";
        QTest::newRow("read fails: its starts awaited") << "fail";
    }
    void startFailuresStayWithTheirRead() {
#ifdef ZENTARO_SANITIZED
        QSKIP("a sanitizer's shadow memory leaves no address space to limit");
#endif
        QFETCH(QString, how);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {StartFailureScenario, how});
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() != 2, "every worker started: the limit was too high");
        QVERIFY2(child.exitCode() != 3, "the gates' objects found no memory");
        QCOMPARE(child.exitCode(), 0);
    }

    // The program exits while gates run and others sleep long, without destroying them.
    void exitWithRunningGatesDoesNotHang() {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ASAN_OPTIONS", "detect_leaks=0"); // the gates are left on purpose
        child.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        child.start(QCoreApplication::applicationFilePath(), {ExitScenario});
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    }
};

int main(int argc, char *argv[]) {
    TApplicationObject application(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], ExitScenario) == 0) {
        for (int i = 0; i < 300; ++i) {
            auto *port = new TLogicalPort(nullptr);
            port->SetPortType(i % 2 ? logCLK : logNOT);
            port->SetInAPort(true);
            port->SetUpdateDelay(i % 10 ? 2 : 5000);
            port->SetActive(true);
        }
        QTimer::singleShot(300, [] {
            BlockGuiThread(20); // leave with every worker inside its request
            QCoreApplication::quit();
        });
        return application.exec();
    }
    if (argc > 2 && qstrcmp(argv[1], StartFailureScenario) == 0)
        return StartFailures(QString::fromLocal8Bit(argv[2]));
    TestLogicThread test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logicthread.moc"
