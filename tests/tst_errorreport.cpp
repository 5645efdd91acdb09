#include "app/ExcepLog.h"
#include "app/Main.h"
#include "document/FChild.h"

#include "classlib/Buttons.h"
#include "classlib/StdCtrls.h"
#include "document/PatPanel.h"

#include "support/UserInput.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cerrno>
#include <memory>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// How the user leaves the dialog.
enum class Answer { Yes, Escape, CloseBox };

struct Seen {
    QString Report;
    int PanelHeight = 0;
    int ClientHeight = 0;
    bool DescriptionFocused = false;
};

// Answers the next report dialog: types the description and leaves the dialog as told.
void AnswerReport(const QString &description, Answer answer, Seen &seen) {
    QTimer::singleShot(0, [=, &seen] {
        auto *dialog = dynamic_cast<TFormShowExcept *>(
            TControl::FromWidget(QApplication::activeModalWidget()));
        if (!dialog || !QTest::qWaitForWindowExposed(dialog->Widget())) return;
        seen.Report = dialog->MemoError->PlainText();
        seen.PanelHeight = dialog->PanelError->Height();
        seen.ClientHeight = dialog->ClientHeight();
        seen.DescriptionFocused = dialog->MemoDesc->Widget()->hasFocus();
        QWidget *typing = dialog->MemoDesc->Widget();
        for (const QString &line : description.split('\n')) {
            if (line != description.section('\n', 0, 0) || description.startsWith('\n'))
                QTest::keyClick(typing, Qt::Key_Return);
            QTest::keyClicks(typing, line);
        }
        switch (answer) {
        case Answer::Yes:
            UserInput::Click(dialog->BtnOkDef, {30, 12});
            break;
        case Answer::Escape:
            QTest::keyClick(typing, Qt::Key_Escape);
            break;
        case Answer::CloseBox:
            dialog->Close();
            break;
        }
    });
}

QByteArray Crlf(QString text) {
    return text.replace("\n", "\r\n").toLatin1();
}

} // namespace

class TestErrorReport : public QObject {
    Q_OBJECT

private slots:
    void report_data();
    void report();
    void errorInAnEventHandlerIsReported();
    void logOfAnInstalledProgram();
};

void TestErrorReport::report_data() {
    QTest::addColumn<int>("windows");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("description");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("mail");
    QTest::addColumn<QString>("logName");  // "log" in a fresh folder, "kept" holding a line, "" for
                                           // none, "folder" for one in the way
    QTest::addColumn<QString>("expected"); // the record, with \n for CR LF
    QTest::addColumn<int>("panelHeight");

    const QString head =
        "Errore: \"%1\"\nSysErr: 2 - No such file or directory\n   Modulo Attivo: %2\n"
        "Classe Oggetto: TSpeedButton\n  Nome Oggetto: BtnNew\nOwner Oggetto: FormZentaroMain\n"
        "Moduli Aperti: \n%3Descrizione Operazioni: \n";
    QTest::newRow("no window, empty description") << 0 << "boom"
                                                  << "" << Answer::Yes << "aiuto@zentaro.example"
                                                  << "log" << head.arg("boom", "", "") + "\n\n"
                                                  << 113;
    // The frame lists its windows as they stack, the active one first.
    QTest::newRow("two windows, listed last first")
        << 2 << "boom"
        << "ho cliccato" << Answer::Escape << "x"
        << "log"
        << head.arg("boom", "FormZentaroChild_1  [NoName.ZTR]",
                    "           FormZentaroChild\n           FormZentaroChild_1\n") +
               "ho cliccato\n\n"
        << 143;
    QTest::newRow("description ending in a line break")
        << 0 << "boom"
        << "riga 1\nriga 2\n"
        << Answer::CloseBox << ""
        << "log" << head.arg("boom", "", "") + "riga 1\nriga 2\n\n\n"
        << 113;
    QTest::newRow("quotes and line breaks in the message, no log") << 0 << "a \"b\"\nc"
                                                                   << "" << Answer::Yes << ""
                                                                   << "" << QString() << 128;
    QTest::newRow("a log holding a record keeps it")
        << 0 << "boom"
        << "" << Answer::Escape << ""
        << "kept"
        << "prima\n" + head.arg("boom", "", "") + "\n\n"
        << 113;
    QTest::newRow("log that cannot be written") << 0 << "boom"
                                                << "" << Answer::Yes << "z"
                                                << "folder" << QString() << 113;
    QTest::newRow("long report stops growing")
        << 0 << QString("riga\n").repeated(20) + "fine"
        << "" << Answer::Escape << ""
        << "log" << head.arg(QString("riga\n").repeated(20) + "fine", "", "") + "\n\n"
        << 350;
}

void TestErrorReport::report() {
    QFETCH(int, windows);
    QFETCH(QString, message);
    QFETCH(QString, description);
    QFETCH(Answer, answer);
    QFETCH(QString, mail);
    QFETCH(QString, logName);
    QFETCH(QString, expected);
    QFETCH(int, panelHeight);

    TFormZentaroMain mainWindow(nullptr);
    mainWindow.Show();
    for (int i = 0; i < windows; ++i)
        UserInput::Click(mainWindow.BtnNew, {15, 15});
    QTemporaryDir folder;
    const QString logPath = folder.filePath("log.txt");
    if (logName == "folder") QVERIFY(QDir().mkdir(logPath));
    if (logName == "kept") {
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::WriteOnly) && log.write("prima\r\n") == 7);
    }
    const QString relative = QDir(QCoreApplication::applicationDirPath()).relativeFilePath(logPath);
    mainWindow.ExceptLogger->SetLogName(logName.isEmpty() ? std::string() : relative.toStdString());
    mainWindow.ExceptLogger->SetMailAddress(mail.toStdString());
    QStringList opened;
    SetDesktopOpener(
        [&opened](const std::string &address) { opened << QString::fromStdString(address); });
    QGuiApplication::clipboard()->setText("before");

    Seen seen;
    AnswerReport(description, answer, seen);
    errno = ENOENT;
    mainWindow.ApplicationEventsException(
        mainWindow.BtnNew, std::make_exception_ptr(std::runtime_error(message.toStdString())));
    SetDesktopOpener({});

    QVERIFY(seen.DescriptionFocused);
    QCOMPARE(seen.PanelHeight, panelHeight);
    QCOMPARE(seen.ClientHeight, panelHeight + 122);
    QVERIFY(seen.Report.startsWith("Errore: \"" + message + "\"\n"));
    QVERIFY(seen.Report.endsWith("Moduli Aperti: \n") || windows > 0);
    QFile log(logPath);
    if (expected.isNull()) {
        QVERIFY(!log.open(QIODevice::ReadOnly));
    } else {
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(log.readAll()), QString::fromLatin1(Crlf(expected)));
    }
    if (answer == Answer::Yes) {
        QCOMPARE(opened, QStringList("mailto: " + mail + " ?Subject=Self Bug"));
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(
            "Errore: \"" + message.replace("\n", "\r\n") + "\"\r\n"));
    } else {
        QVERIFY(opened.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    }
}

void TestErrorReport::errorInAnEventHandlerIsReported() {
    TFormZentaroMain mainWindow(nullptr);
    mainWindow.Show();
    QVERIFY(QTest::qWaitForWindowExposed(mainWindow.Widget()));
    mainWindow.ExceptLogger->SetLogName({});
    UserInput::Click(mainWindow.BtnNew, {15, 15});
    auto *window = dynamic_cast<TFormZentaroChild *>(mainWindow.ActiveMDIChild());
    QVERIFY(window);
    window->BtnNewLog->OnClick = [](TComponent *) { throw std::runtime_error("guasto"); };
    Seen seen;
    AnswerReport("", Answer::Escape, seen);
    UserInput::Click(window->BtnNewLog, {20, 17});
    QVERIFY(seen.Report.startsWith("Errore: \"guasto\"\n"));
    QVERIFY(seen.Report.contains("Classe Oggetto: TSpeedButton\n  Nome Oggetto: BtnNewLog\nOwner "
                                 "Oggetto: FormZentaroChild\n"));
    QVERIFY(seen.Report.contains("   Modulo Attivo: FormZentaroChild  [NoName.ZTR]\n"));
}

// Run by a user who may not write the program's folder, the log goes to the user's data folder,
// made for it.
void TestErrorReport::logOfAnInstalledProgram() {
    if (::geteuid() != 0) QSKIP("needs root, to run as another user");
    QTemporaryDir home;
    QVERIFY(::chown(qPrintable(home.path()), 65534, 65534) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("HOME", qPrintable(home.path()), 1);
        ::unsetenv("XDG_DATA_HOME");
        QCoreApplication::setApplicationName(QStringLiteral("Zentaro"));
        TExceptionLogger logger(nullptr);
        logger.SetLogName("ExcQRLog.TXT");
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) logger.WriteLog("riga\r\n");
        ::_exit(0);
    }
    int status = 1;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QFile log(home.filePath(".local/share/Zentaro/ExcQRLog.TXT"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("riga\r\n"));
}

QTEST_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
