#include "WorkerPool.h"

#include <QTest>

#include <csignal>
#include <stdexcept>
#include <unistd.h>

class TestWorkerPool : public QObject {
    Q_OBJECT

private slots:
    void eachJobOnceWhateverHappens_data();
    void eachJobOnceWhateverHappens();
};

void TestWorkerPool::eachJobOnceWhateverHappens_data() {
    // A letter a job: a answers, s crashes, e lets an exception out, l computes on without end,
    // w waits without end, b answers with more than a pipe holds.
    QTest::addColumn<QByteArray>("jobs");
    QTest::addColumn<int>("workers");
    // A word a job: its answer, or what became of it.
    QTest::addColumn<QString>("outcomes");
    // When a job's worker is killed for waiting; the processor time is bound to 2 s.
    QTest::addColumn<double>("wallSeconds");

    QTest::newRow("more jobs than workers")
        << QByteArray("aaaaaaa") << 3 << "job0 job1 job2 job3 job4 job5 job6" << 30.0;
    QTest::newRow("a crash costs its job only, one worker")
        << QByteArray("asasa") << 1 << "job0 crashed-(signal-11) job2 crashed-(signal-11) job4"
        << 30.0;
    QTest::newRow("an exception out of a job")
        << QByteArray("ae") << 2 << "job0 the-worker-exited-with-status-70" << 30.0;
    QTest::newRow("a job past its processor time") << QByteArray("la") << 2 << "time job1" << 30.0;
    QTest::newRow("a job past its wall time") << QByteArray("wa") << 1 << "time job1" << 0.5;
    QTest::newRow("a long answer") << QByteArray("ba") << 2 << "long job1" << 30.0;
}

void TestWorkerPool::eachJobOnceWhateverHappens() {
    QFETCH(QByteArray, jobs);
    QFETCH(int, workers);
    QFETCH(QString, outcomes);
    QFETCH(double, wallSeconds);
    const std::string longAnswer(std::size_t(1) << 20, 'x');
    const auto job = [&](std::size_t index) -> std::string {
        switch (jobs[qsizetype(index)]) {
        case 's':
            std::raise(SIGSEGV);
            break;
        case 'e':
            throw std::runtime_error("thrown");
        case 'l': {
            volatile unsigned long spin = 0;
            for (;;)
                spin = spin + 1;
        }
        case 'w':
            ::pause();
            break;
        case 'b':
            return longAnswer;
        }
        return "job" + std::to_string(index);
    };
    QStringList got(jobs.size());
    int calls = 0;
    TPoolLimits limits;
    limits.Workers = workers;
    limits.ProcessorSeconds = 0.1;
    limits.WallSeconds = wallSeconds;
    RunInWorkers(std::size_t(jobs.size()), limits, job, [&](std::size_t index, TJobOutcome done) {
        ++calls;
        QString &word = got[qsizetype(index)];
        if (!word.isEmpty()) word += " again";
        if (done.Kind == TJobOutcome::TKind::OutOfTime)
            word += "time";
        else if (done.Kind == TJobOutcome::TKind::Crashed)
            word += QString::fromStdString(done.Reason).replace(' ', '-');
        else
            word += done.Answer == longAnswer ? "long" : QString::fromStdString(done.Answer);
    });
    QCOMPARE(calls, jobs.size());
    QCOMPARE(got.join(' '), outcomes);
}

QTEST_GUILESS_MAIN(TestWorkerPool)
#include "tst_workerpool.moc"
