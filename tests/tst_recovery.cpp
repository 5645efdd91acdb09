#include "app/ExcepLog.h"
#include "app/Main.h"
#include "app/Recovery.h"

#include "classlib/Buttons.h"
#include "classlib/Dialogs.h"
#include "document/FChild.h"
#include "gates/LogicCmp.h"

#include "support/UserInput.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <stdexcept>

using UserInput::Click;

namespace {

// A scratch data folder: the user's own is never touched.
struct DataHome {
    QTemporaryDir Home;
    DataHome() { qputenv("XDG_DATA_HOME", Home.path().toLocal8Bit()); }
    QString Folder() const { return Home.filePath(QStringLiteral("Zentaro/recovery")); }
    QStringList Files(const QString &under = {}) const {
        return QDir(Folder() + under).entryList({QStringLiteral("*.ZTR")}, QDir::Files);
    }
};

void Save(TFormZentaroMain &main, const QString &path) {
    SetFileDialogRunner([path](const TFileDialogRequest &) { return path; });
    Click(main.BtnSave, {15, 15});
    SetFileDialogRunner({});
}

TFormZentaroChild *NewNetwork(TFormZentaroMain &main) {
    Click(main.BtnNew, {15, 15});
    return dynamic_cast<TFormZentaroChild *>(main.ActiveMDIChild());
}

int Ports(TFormZentaroChild *window) {
    int ports = 0;
    for (TComponent *component : window->Components())
        ports += dynamic_cast<TLogicalPort *>(component) != nullptr;
    return ports;
}

// Answers every message box that opens, in turn, with the next of answers.
struct Answers {
    QStringList Asked;
    QTimer Timer;
    QPointer<QMessageBox> Last;
    explicit Answers(QList<QMessageBox::StandardButton> answers) {
        QObject::connect(&Timer, &QTimer::timeout, &Timer, [this, answers] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || box == Last || Asked.size() >= answers.size() || !box->isVisible()) return;
            Last = box;
            Asked << box->windowTitle() + ": " + box->text();
            QAbstractButton *choice = box->button(answers[Asked.size() - 1]);
            QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {},
                              choice->mapTo(box, choice->rect().center()));
        });
        Timer.start(20);
    }
};

// The crashing run: a saved network changed after saving, autosaved each second; says "ready"
// once its copy is written and then waits to be killed.
int CrashingRun(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zentaro"));
    TFormZentaroMain main(nullptr);
    main.Show();
    main.StartRecovery(1);
    TFormZentaroChild *window = NewNetwork(main);
    Save(main, qEnvironmentVariable("RECOVERY_ORIGINAL"));
    Click(window->BtnNewLog, {20, 17});
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (QFile::exists(main.Recovery()->FileOf(window))) {
            std::puts("ready");
            std::fflush(stdout);
            poll.stop();
        }
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
    QTest::addColumn<bool>("kept");
    QTest::newRow("modified") << "" << true;
    QTest::newRow("never modified") << "untouched" << false;
    QTest::newRow("saved") << "save" << false;
    QTest::newRow("closed") << "close" << false;
    QTest::newRow("undone") << "undo" << false;
    QTest::newRow("error reported") << "error" << true;
}

void TestRecovery::autosaveKeepsOnlyUnsavedChanges() {
    QFETCH(QString, then);
    QFETCH(bool, kept);
    DataHome data;
    auto main = std::make_unique<TFormZentaroMain>(nullptr);
    main->Show();
    main->StartRecovery(0);
    TFormZentaroChild *window = NewNetwork(*main);
    if (then != "untouched") Click(window->BtnNewLog, {20, 17});
    if (then == "error") {
        // The copy is there while the report asks the user, who may end the program from it.
        main->ExceptLogger->SetLogName({});
        window->BtnNewLog->OnClick = [](TComponent *) { throw std::runtime_error("guasto"); };
        int filesDuringReport = -1;
        QTimer::singleShot(0, [&] {
            filesDuringReport = int(data.Files().size());
            QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
        });
        Click(window->BtnNewLog, {20, 17});
        QCOMPARE(filesDuringReport, 1);
    }
    main->Recovery()->SaveAll();
    if (then == "save") Save(*main, data.Home.filePath("own.ZTR"));
    QStringList asked;
    if (then == "close") UserInput::AnswerNextMessageBox(QMessageBox::Yes, asked), window->Close();
    if (then == "undo") window->Undo(), main->Recovery()->SaveAll();
    QTRY_COMPARE(data.Files().size(), kept ? 1 : 0);
    // The folder is the user's alone.
    QCOMPARE(QFile::permissions(data.Folder()) & 0x0077, QFile::Permissions());
}

void TestRecovery::crashedRunIsOffered_data() {
    QTest::addColumn<bool>("killed");
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::addColumn<int>("reopened");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QStringList>("keptAside");
    const QStringList none, one = {QStringLiteral("*")};
    QTest::newRow("restored") << true << false << QMessageBox::Yes << 1 << one << none;
    QTest::newRow("deleted") << true << false << QMessageBox::No << 0 << none << none;
    QTest::newRow("damaged") << true << true << QMessageBox::Yes << 0 << none << one;
    QTest::newRow("owner running") << false << false << QMessageBox::Yes << 0 << one << none;
}

void TestRecovery::crashedRunIsOffered() {
    QFETCH(bool, killed);
    QFETCH(bool, damaged);
    QFETCH(QMessageBox::StandardButton, answer);
    QFETCH(int, reopened);
    QFETCH(QStringList, left);
    QFETCH(QStringList, keptAside);
    DataHome data;
    const QString original = data.Home.filePath(QStringLiteral("mia rete.ZTR"));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RECOVERY_ORIGINAL"), original);
    environment.insert(QStringLiteral("RECOVERY_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForReadyRead(20000));
    QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
    const QByteArray saved = [&] {
        QFile file(original);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    QVERIFY(!saved.isEmpty());
    if (killed) {
        child.kill(); // SIGKILL: nothing of the child's own runs any more
        QVERIFY(child.waitForFinished(5000));
    }
    QCOMPARE(data.Files().size(), 1);
    if (damaged) {
        QFile file(data.Folder() + QLatin1Char('/') + data.Files().front());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a network");
    }

    TFormZentaroMain main(nullptr);
    main.Show();
    Answers answers({answer, QMessageBox::Ok});
    main.StartRecovery(0);
    QCOMPARE(answers.Asked.isEmpty(), !killed);
    if (killed) QVERIFY(answers.Asked.front().startsWith("Zentaro - Ripristino: "));
    if (killed) QVERIFY(answers.Asked.front().contains("mia rete.ZTR — scritta il "));
    QCOMPARE(answers.Asked.size(), killed ? 1 + damaged : 0);
    QCOMPARE(main.MDIChildCount(), reopened);
    if (reopened) {
        auto *window = dynamic_cast<TFormZentaroChild *>(main.ActiveMDIChild());
        QCOMPARE(window->FileName, original.toStdString());
        QVERIFY(window->Modified);
        QCOMPARE(Ports(window), 1);
        // Now this copy's own file: the crashed run's is gone.
        QCOMPARE(data.Files(), QStringList{QFileInfo(main.Recovery()->FileOf(window)).fileName()});
    }
    QCOMPARE(data.Files().size(), left.size());
    QCOMPARE(data.Files(QStringLiteral("/kept")).size(), keptAside.size());
    QFile file(original);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), saved);
    if (!killed) child.kill(), child.waitForFinished(5000);
    for (TForm *window : {main.ActiveMDIChild()})
        if (window) dynamic_cast<TFormZentaroChild *>(window)->MarkUnmodified();
}

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsSet("RECOVERY_CHILD")) return CrashingRun(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zentaro"));
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
