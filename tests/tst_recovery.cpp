#include "app/ExcepLog.h"
#include "app/Main.h"
#include "app/Recovery.h"

#include "classlib/Buttons.h"
#include "classlib/Dialogs.h"
#include "document/FChild.h"

#include "support/UserInput.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include <sys/stat.h>

using UserInput::Click;

namespace {

// A scratch data folder: the user's own is never touched.
struct DataHome {
    QTemporaryDir Home;
    DataHome() { qputenv("XDG_DATA_HOME", Home.path().toLocal8Bit()); }
    QString Folder() const { return Home.filePath(QStringLiteral("Zentaro/recovery")); }
    qsizetype Files(const QString &under = {}) const {
        return QDir(Folder() + under).entryList({QStringLiteral("*.ZTR")}, QDir::Files).size();
    }
};

// A new network saved as savedAs (as is every later save), then a gate added.
TFormZentaroChild *ChangedNetwork(TFormZentaroMain &main, const QString &savedAs) {
    Click(main.BtnNew, {15, 15});
    auto *window = dynamic_cast<TFormZentaroChild *>(main.ActiveMDIChild());
    SetFileDialogRunner([savedAs](const TFileDialogRequest &) { return savedAs; });
    Click(main.BtnSave, {15, 15});
    Click(window->BtnNewLog, {20, 17});
    return window;
}

// Answers each message box that opens with the next of answers, noting title and text.
void Answer(QList<QMessageBox::StandardButton> answers, std::shared_ptr<QStringList> asked,
            QPointer<QMessageBox> last = {}, int attempts = 250) {
    QTimer::singleShot(20, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == last || !box->isVisible()) {
            if (attempts > 0) Answer(answers, asked, last, attempts - 1);
            return;
        }
        *asked << box->windowTitle() + ": " + box->text();
        box->button(answers.front())->click();
        if (answers.size() > 1) Answer(answers.mid(1), asked, box);
    });
}

// The run that crashes: a saved network changed since, copied each second; says "ready" once
// its copy is written, then waits to be killed.
int CrashingRun(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zentaro"));
    TFormZentaroMain main(nullptr);
    main.Show();
    main.StartRecovery(1);
    TFormZentaroChild *window = ChangedNetwork(main, qEnvironmentVariable("RECOVERY_ORIGINAL"));
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (QFile::exists(main.Recovery()->FileOf(window))) std::puts("ready"), poll.stop();
        std::fflush(stdout);
    });
    poll.start(20);
    return application.exec();
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void autosaveKeepsOnlyUnsavedChanges_data();
    void autosaveKeepsOnlyUnsavedChanges();
    void crashedRunIsOffered_data();
    void crashedRunIsOffered();
};

void TestRecovery::autosaveKeepsOnlyUnsavedChanges_data() {
    QTest::addColumn<QString>("then");
    QTest::addColumn<int>("kept");
    for (const auto &[then, kept] : {std::pair{"modified", 1},
                                     {"save", 0},
                                     {"close", 0},
                                     {"undo", 0},
                                     {"new", 0},
                                     {"unchanged", 1},
                                     {"error", 1}})
        QTest::newRow(then) << then << kept;
}

void TestRecovery::autosaveKeepsOnlyUnsavedChanges() {
    QFETCH(QString, then);
    QFETCH(int, kept);
    DataHome data;
    TFormZentaroMain main(nullptr);
    main.Show();
    main.StartRecovery(0);
    TFormZentaroChild *window = ChangedNetwork(main, data.Home.filePath(QStringLiteral("a.ZTR")));
    int filesDuringReport = 1;
    if (then == "error") {
        // The copy is there while the report asks the user, who may end the program from it.
        main.ExceptLogger->SetLogName({});
        window->BtnNewLog->OnClick = [](TComponent *) { throw std::runtime_error("guasto"); };
        QTimer::singleShot(0, [&] {
            filesDuringReport = int(data.Files());
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
        });
        Click(window->BtnNewLog, {20, 17});
    }
    main.Recovery()->SaveAll();
    if (then == "save") Click(main.BtnSave, {15, 15});
    auto asked = std::make_shared<QStringList>();
    if (then == "close") Answer({QMessageBox::Yes}, asked), window->Close();
    if (then == "undo") window->Undo(), main.Recovery()->SaveAll();
    if (then == "new") Click(main.BtnNew, {15, 15}), main.Recovery()->SaveAll();
    if (then == "unchanged") {
        // Every write replaces the file by a new one; a network that did not change keeps it.
        const auto inode = [&] {
            struct stat status {};
            ::stat(QFile::encodeName(main.Recovery()->FileOf(window)).constData(), &status);
            return status.st_ino;
        };
        const auto before = inode();
        main.Recovery()->SaveAll();
        QCOMPARE(inode(), before);
    }
    QTRY_COMPARE(data.Files(), kept + (then == "new"));
    QCOMPARE(filesDuringReport, 1);
    // The folder and the copies are the user's alone.
    QFileInfoList files = QDir(data.Folder(), "*.ZTR *.name").entryInfoList();
    for (const QFileInfo &file : files << QFileInfo(data.Folder()))
        QCOMPARE(file.permissions() & 0x0077, QFile::Permissions());
}

void TestRecovery::crashedRunIsOffered_data() {
    QTest::addColumn<bool>("killed");
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<int>("reopened");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("keptAside");
    QTest::newRow("restored") << true << false << QMessageBox::Yes << 1 << 1 << 0;
    QTest::newRow("deleted") << true << false << QMessageBox::No << 0 << 0 << 0;
    QTest::newRow("damaged") << true << true << QMessageBox::Yes << 0 << 0 << 1;
    QTest::newRow("owner running") << false << false << QMessageBox::Yes << 0 << 1 << 0;
}

void TestRecovery::crashedRunIsOffered() {
    QFETCH(bool, killed);
    QFETCH(bool, damaged);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(int, reopened);
    DataHome data;
    const QString original = data.Home.filePath(QStringLiteral("mia rete.ZTR"));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RECOVERY_ORIGINAL"), original);
    environment.insert(QStringLiteral("RECOVERY_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForReadyRead(20000));
    QCOMPARE(child.readLine(), QByteArray("ready\n"));
    QFile file(original);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    if (killed) child.kill(); // SIGKILL: nothing of the child's own runs any more
    QVERIFY(!killed || child.waitForFinished(5000));
    QDir folder(data.Folder(), QStringLiteral("*.ZTR"));
    if (damaged) QFile::resize(folder.filePath(folder.entryList().value(0)), 10);

    TFormZentaroMain main(nullptr);
    main.Show();
    // A box the row does not expect is answered too, and counted.
    const auto asked = std::make_shared<QStringList>();
    Answer(damaged ? QList{answer, QMessageBox::Ok} : QList{answer}, asked);
    main.StartRecovery(0);
    QCOMPARE(asked->size(), killed ? 1 + damaged : 0);
    QVERIFY(!killed || asked->at(0).startsWith("Zentaro - Ripristino: "));
    QVERIFY(!killed || asked->at(0).contains("\nmia rete.ZTR — scritta il "));
    QCOMPARE(main.MDIChildCount(), reopened);
    if (auto *window = dynamic_cast<TFormZentaroChild *>(main.ActiveMDIChild())) {
        QCOMPARE(window->FileName, original.toStdString());
        QVERIFY(window->Modified && window->FindComponent("LogPort1"));
        // Now in this copy's own file: the crashed run's is gone.
        QCOMPARE(folder.entryList(), {QFileInfo(main.Recovery()->FileOf(window)).fileName()});
    }
    QTEST(int(data.Files()), "left");
    QTEST(int(data.Files(QStringLiteral("/kept"))), "keptAside");
    QVERIFY(file.seek(0));
    QCOMPARE(file.readAll(), saved);
}

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsSet("RECOVERY_CHILD")) return CrashingRun(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zentaro"));
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
