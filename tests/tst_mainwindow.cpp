#include "app/Main.h"

#include "Util.h"
#include "app/Folders.h"
#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "classlib/StdCtrls.h"
#include "document/DsgnRunT.h"
#include "document/FChild.h"
#include "document/PatPanel.h"
#include "gates/LogicCmp.h"
#include "stream/MemoryStream.h"

#include "support/UserInput.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <filesystem>
#include <memory>

using UserInput::Click;

namespace {

const std::string Prefix = "Zentaro - ";

struct Program {
    std::unique_ptr<TFormZentaroMain> Main = std::make_unique<TFormZentaroMain>(nullptr);
    QStringList Asked;
    std::vector<TFileDialogRequest> Requests;

    Program() {
        Main->Show();
        QVERIFY(QTest::qWaitForWindowExposed(Main->Widget()));
    }
    ~Program() { SetFileDialogRunner({}); }

    std::vector<TFormZentaroChild *> Windows() const {
        std::vector<TFormZentaroChild *> windows;
        for (int i = 0; i < Main->MDIChildCount(); ++i)
            windows.push_back(dynamic_cast<TFormZentaroChild *>(Main->MDIChildren(i)));
        return windows;
    }
    TFormZentaroChild *NewNetwork() {
        Click(Main->BtnNew, {15, 15});
        QApplication::processEvents();
        return dynamic_cast<TFormZentaroChild *>(Main->ActiveMDIChild());
    }
    // The next file dialog chooses path (or is cancelled when path is empty).
    void Choose(const QString &path) {
        SetFileDialogRunner(
            [this, path](const TFileDialogRequest &request) -> std::optional<QString> {
                Requests.push_back(request);
                if (path.isEmpty()) return std::nullopt;
                return path;
            });
    }
    void Save(const QString &path) {
        Choose(path);
        Click(Main->BtnSave, {15, 15});
    }
    TFormZentaroChild *Open(const QString &path) {
        Choose(path);
        const int before = Main->MDIChildCount();
        Click(Main->BtnOpen, {15, 15});
        QApplication::processEvents();
        return Main->MDIChildCount() > before
                   ? dynamic_cast<TFormZentaroChild *>(Main->ActiveMDIChild())
                   : nullptr;
    }
    std::vector<bool> ToolEnabled() const {
        return {Main->BtnNew->Enabled(),     Main->BtnOpen->Enabled(), Main->BtnSave->Enabled(),
                Main->BtnCascade->Enabled(), Main->BtnTile->Enabled(), Main->BtnIconize->Enabled(),
                Main->BtnCloseAll->Enabled()};
    }
};

TLogicalPort *AddPort(TFormZentaroChild *window, QPoint at, TLogicalPortType kind) {
    Click(window->BtnNewLog, {20, 17});
    auto *port = dynamic_cast<TLogicalPort *>(window->Components().back());
    port->SetPortType(kind);
    port->SetBounds(at.x(), at.y(), port->Width(), port->Height());
    return port;
}

// What a network is made of, in a form two windows can be compared by; the order of the gates
// follows where the mouse went last.
QStringList Network(const TFormZentaroChild *window) {
    QStringList gates;
    for (const TComponent *component : window->Components())
        if (auto *port = dynamic_cast<const TLogicalPort *>(component))
            gates << QStringLiteral("%1 kind %2 at %3,%4 A=%5 B=%6")
                         .arg(QString::fromStdString(port->Name()))
                         .arg(int(port->PortType()))
                         .arg(port->Left())
                         .arg(port->Top())
                         .arg(port->InAComp() ? QString::fromStdString(port->InAComp()->Name())
                                              : QString())
                         .arg(port->InBComp() ? QString::fromStdString(port->InBComp()->Name())
                                              : QString());
    gates.sort();
    return gates;
}

std::vector<bool> Flags(std::initializer_list<int> flags) {
    return std::vector<bool>(flags.begin(), flags.end());
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void newNetworkEnablesTheTools();
    void statusBarShowsTheLongHint_data();
    void statusBarShowsTheLongHint();
    void saveCloseAndOpenAgain();
    void openFailsCleanly_data();
    void openFailsCleanly();
    void failedSaveKeepsTheNetworkUnsaved();
    void closingAsksOnlyForModifiedNetworks();
    void keyboard();
    void dialogsGiveBackWhatWasChosen();
    void arrangement();
    void examplesFolder_data();
    void examplesFolder();
    void openDialogListsTheExamples();
};

void TestMainWindow::newNetworkEnablesTheTools() {
    Program p;
    QCOMPARE(p.Main->Caption(), Prefix + TFormZentaroMain::CreditLine);
    QCOMPARE(p.ToolEnabled(), Flags({1, 1, 0, 0, 0, 0, 0}));
    TFormZentaroChild *window = p.NewNetwork();
    QVERIFY(window);
    QCOMPARE(p.Main->Caption(), Prefix + "NoName.ZTR");
    QCOMPARE(p.ToolEnabled(), Flags({1, 1, 1, 1, 1, 1, 1}));
    QCOMPARE(window->PanelDefComp, nullptr);
    QCOMPARE(window->LogicalPort1, nullptr);
    QCOMPARE(window->FileName, "NoName.ZTR");
    QVERIFY(!window->Modified);
}

void TestMainWindow::statusBarShowsTheLongHint_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("tip");
    QTest::newRow("new") << "BtnNew" << QPoint(10, 10) << "Crea una nuova rete logica"
                         << "Nuovo (Ctrl+N)";
    QTest::newRow("hint without a bar") << "BtnCascade" << QPoint(10, 10) << "Disponi in cascata"
                                        << "Disponi in cascata";
    QTest::newRow("a network window's button")
        << "BtnNewLog" << QPoint(10, 10) << "Aggiungi Componente"
        << "Aggiungi";
    QTest::newRow("the frame's empty area") << "none" << QPoint() << ""
                                            << "";
    // Left for its parent, which takes no Enter: the status bar clears all the same.
    QTest::newRow("the tool bar between its tools") << "PanelTop" << QPoint(485, 19) << ""
                                                    << "";
    QTest::newRow("clock slider") << "TrackBarDelay" << QPoint(10, 10)
                                  << "Velocità dei clock: a destra più veloce"
                                  << "Velocità dei clock: a destra più veloce";
}

void TestMainWindow::statusBarShowsTheLongHint() {
    QFETCH(QString, control);
    QFETCH(QPoint, at);
    QFETCH(QString, status);
    QFETCH(QString, tip);
    Program p;
    TFormZentaroChild *window = p.NewNetwork();
    const TComponent *owner =
        control == "BtnNewLog" ? static_cast<TComponent *>(window) : p.Main.get();
    const auto *target =
        dynamic_cast<const TControl *>(owner->FindComponent(control.toStdString()));
    const QWidget *area = p.Main->MDIArea()->viewport();
    QWindow *main = p.Main->Widget()->windowHandle();
    QTest::mouseMove(main, UserInput::InWindow(p.Main->BtnOpen, {10, 10}));
    QTest::mouseMove(main, target ? UserInput::InWindow(target, at)
                                  : area->mapTo(area->window(), area->rect().bottomRight()));
    QTRY_COMPARE(FromAnsi(p.Main->StatusBar->SimpleText()), status);
    if (target) QCOMPARE(target->Widget()->toolTip(), tip);
}

void TestMainWindow::saveCloseAndOpenAgain() {
    Program p;
    QTemporaryDir folder;
    TFormZentaroChild *window = p.NewNetwork();
    TLogicalPort *clock = AddPort(window, {10, 10}, TLogicalPortType::logCLK);
    TLogicalPort *gate = AddPort(window, {150, 60}, TLogicalPortType::logAND);
    TLogicalPort *lamp = AddPort(window, {300, 60}, TLogicalPortType::logLED);
    Click(window->RBLnkPort, {5, 8});
    UserInput::Drag(clock, {25, 20}, gate, {5, 5});
    UserInput::Drag(gate, {25, 20}, lamp, {5, 20});
    QCOMPARE(gate->InAComp(), clock);
    QCOMPARE(lamp->InAComp(), gate);
    QVERIFY(window->Modified);
    const QStringList network = Network(window);
    const std::string clockName = clock->Name();
    // Saved out of sight, beyond the frame's corner.
    const QRect area = p.Main->MDIArea()->viewport()->rect();
    window->SetBounds(area.width() + 100, area.height() + 50, 300, 200);
    const QString path = folder.filePath(QStringLiteral("rete.ZTR"));
    p.Save(path);
    QCOMPARE(p.Requests.size(), 1u);
    const TFileDialogRequest &request = p.Requests.front();
    QVERIFY(request.Save);
    QCOMPARE(request.FileName, QStringLiteral("NoName.ZTR"));
    QCOMPARE(request.InitialDir, QCoreApplication::applicationDirPath());
    QCOMPARE(request.DefaultExt, QStringLiteral("ZTR"));
    QCOMPARE(request.NameFilters.size(), 2);
    QVERIFY(QFile::exists(path));
    QVERIFY(!window->Modified);
    QCOMPARE(window->FileName, path.toStdString());
    QCOMPARE(window->Caption(), "rete.ZTR");
    QCOMPARE(p.Main->Caption(), Prefix + path.toStdString());

    Click(p.Main->BtnCloseAll, {15, 15});
    QTRY_COMPARE(p.Main->MDIChildCount(), 0);
    QCOMPARE(p.Main->Caption(), Prefix + TFormZentaroMain::CreditLine);
    QCOMPARE(p.ToolEnabled(), Flags({1, 1, 0, 0, 0, 0, 0}));

    // The slider and the level display apply to a network opened afterwards.
    p.Main->TrackBarDelay->Widget()->setFocus();
    QTest::keyClick(p.Main->Widget()->windowHandle(), Qt::Key_Right);
    QCOMPARE(p.Main->TrackBarDelay->Position(), 1050);
    Click(p.Main->CBShowPortState, {5, 8});
    QVERIFY(p.Main->CBShowPortState->Checked());

    TFormZentaroChild *opened = p.Open(path);
    QVERIFY(opened);
    QCOMPARE(Network(opened), network);
    QCOMPARE(opened->MDIFrame()->geometry(),
             QRect(area.width() - 300, area.height() - 200, 300, 200));
    // The wires show at once: the clock's runs right along y = 30.
    QApplication::processEvents();
    QCOMPARE(opened->ScrollBoxCli->ClientWidget()->grab().toImage().pixelColor(70, 30),
             QColor(Qt::black));
    QCOMPARE(opened->FileName, path.toStdString());
    QCOMPARE(opened->Caption(), "rete.ZTR");
    QCOMPARE(p.Main->Caption(), Prefix + path.toStdString());
    QCOMPARE(opened->PopupMenuPort->Items().Count(), 14);
    QVERIFY(opened->DesignRT->Attached());
    auto *openedClock = dynamic_cast<TLogicalPort *>(opened->FindComponent(clockName));
    QVERIFY(openedClock);
    QCOMPARE(openedClock->UpdateDelay(), 950);
    for (const TComponent *component : opened->Components())
        if (auto *port = dynamic_cast<const TLogicalPort *>(component))
            QVERIFY(port->ShowPortState());

    Click(opened->BtnActive, {50, 16});
    QVERIFY(openedClock->Active());
    p.Main->TrackBarDelay->Widget()->setFocus();
    QTest::keyClick(p.Main->Widget()->windowHandle(), Qt::Key_End);
    QCOMPARE(openedClock->UpdateDelay(), 50);
    Click(opened->BtnActive, {50, 16});

    // Saved again, it opens into the same network.
    const QString again = folder.filePath(QStringLiteral("ancora.ZTR"));
    p.Save(again);
    TFormZentaroChild *reopened = p.Open(again);
    QVERIFY(reopened);
    QCOMPARE(Network(reopened), network);
    QVERIFY(reopened->Name() != opened->Name());
    Click(p.Main->BtnCloseAll, {15, 15});
    QTRY_COMPARE(p.Main->MDIChildCount(), 0);
}

void TestMainWindow::openFailsCleanly_data() {
    QTest::addColumn<QByteArray>("content");
    TFormZentaroChild sample(nullptr);
    const TMemoryStream image = NetworkFileImage(sample);
    const QByteArray valid(reinterpret_cast<const char *>(image.Memory()), qsizetype(image.Size()));
    QTest::newRow("not a network file") << QByteArray("object Rete: TFormZentaroChild\nend\n");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("cut short") << valid.left(valid.size() / 2);
    QByteArray flipped = valid;
    flipped[3] = char(flipped[3] ^ 0x5A);
    QTest::newRow("magic changed") << flipped;
}

void TestMainWindow::openFailsCleanly() {
    QFETCH(QByteArray, content);
    Program p;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("guasto.ZTR"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    // Without a network window and with one: the caption stays as it was either way.
    for (int windows = 0; windows < 2; ++windows) {
        if (windows) p.NewNetwork();
        const std::string caption = p.Main->Caption();
        bool hourglassOverBox = true;
        UserInput::AnswerNextMessageBox(QMessageBox::Ok, p.Asked);
        QTimer::singleShot(0, [&hourglassOverBox] {
            hourglassOverBox = QApplication::overrideCursor() != nullptr;
        });
        QCOMPARE(p.Open(path), nullptr);
        QCOMPARE(p.Asked.size(), windows + 1);
        QCOMPARE(p.Asked.back(), QStringLiteral("Loading Error!"));
        QVERIFY(!hourglassOverBox);
        QCOMPARE(p.Main->Caption(), caption);
        QCOMPARE(p.Main->MDIChildCount(), windows);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }
}

void TestMainWindow::failedSaveKeepsTheNetworkUnsaved() {
    Program p;
    TFormZentaroChild *window = p.NewNetwork();
    window->Modified = true;
    UserInput::AnswerNextMessageBox(QMessageBox::Ok, p.Asked);
    p.Save(QStringLiteral("/nonexistent-folder/rete.ZTR"));
    QCOMPARE(p.Asked, QStringList(QStringLiteral("Saving Error!")));
    QVERIFY(window->Modified);
    QCOMPARE(window->FileName, "NoName.ZTR");
    QCOMPARE(window->Caption(), "NoName.ZTR");
    QCOMPARE(p.Main->Caption(), Prefix + "NoName.ZTR");
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestMainWindow::closingAsksOnlyForModifiedNetworks() {
    Program p;
    TFormZentaroChild *modified = p.NewNetwork();
    modified->Modified = true;
    p.NewNetwork();
    p.Main->Close();
    QVERIFY(p.Main->Widget()->isVisible());
    // The window asked about is brought to the front, above the one that hid it.
    const TForm *shown = nullptr;
    QTimer::singleShot(0, [&] { shown = p.Main->ActiveMDIChild(); });
    UserInput::AnswerNextMessageBox(QMessageBox::Yes, p.Asked);
    Click(p.Main->BtnCloseAll, {15, 15});
    QTRY_COMPARE(p.Main->MDIChildCount(), 0);
    QCOMPARE(p.Asked.size(), 1);
    QCOMPARE(shown, modified);
    QCOMPARE(p.Main->Caption(), Prefix + TFormZentaroMain::CreditLine);
    p.Main->Close();
    QVERIFY(!p.Main->Widget()->isVisible());
}

void TestMainWindow::keyboard() {
    Program p;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("rete.ZTR"));
    QCOMPARE(p.Main->BtnSave->Widget()->toolTip(), QStringLiteral("Salva (Ctrl+S)"));
    auto press = [&](Qt::Key key) {
        p.Main->Widget()->activateWindow(); // as the window manager does after a message box
        QVERIFY(QTest::qWaitForWindowActive(p.Main->Widget()));
        QTest::keyClick(p.Main->Widget()->windowHandle(), key, Qt::ControlModifier);
    };
    p.Choose(path);
    press(Qt::Key_N);
    press(Qt::Key_S);
    QVERIFY(QFile::exists(path));
    AddPort(p.Windows().front(), {10, 10}, TLogicalPortType::logAND);
    UserInput::AnswerNextMessageBox(QMessageBox::Yes, p.Asked);
    press(Qt::Key_W);
    QTRY_COMPARE(p.Main->MDIChildCount(), 0);
    QCOMPARE(p.Asked.size(), 1);
    p.Choose(path);
    press(Qt::Key_O);
    QCOMPARE(p.Main->Caption(), Prefix + path.toStdString());
}

void TestMainWindow::dialogsGiveBackWhatWasChosen() {
    Program p;
    QTemporaryDir folder;
    const QString plain = folder.filePath(QStringLiteral("rete"));
    p.NewNetwork();
    p.Save(folder.filePath(QStringLiteral("nuova")));
    QVERIFY(QFile::exists(folder.filePath(QStringLiteral("nuova.ZTR"))));
    // A name that exists as it is, without extension, is the file opened and saved.
    QVERIFY(QFile::copy(folder.filePath(QStringLiteral("nuova.ZTR")), plain));
    TFormZentaroChild *window = p.Open(plain);
    QVERIFY(window);
    QCOMPARE(window->FileName, plain.toStdString());
    p.Save(plain);
    QCOMPARE(window->FileName, plain.toStdString());
    QVERIFY(!QFile::exists(plain + ".ZTR"));
    // A name that is not valid text keeps its bytes when the proposed name is kept.
    const std::string bytes = QFile::encodeName(folder.path()).toStdString() + "/r\xe9te.ZTR";
    QVERIFY(std::filesystem::copy_file(plain.toStdString(), bytes));
    window = p.Main->OpenNetwork(bytes);
    QVERIFY(window);
    SetFileDialogRunner([](const TFileDialogRequest &request) { return request.FileName; });
    Click(p.Main->BtnSave, {15, 15});
    QCOMPARE(window->FileName, bytes);
    const auto files = std::filesystem::directory_iterator(folder.path().toStdString());
    QCOMPARE(std::distance(begin(files), end(files)), 3); // nuova.ZTR, rete and that one
}

void TestMainWindow::arrangement() {
    Program p;
    p.NewNetwork();
    p.NewNetwork();
    Click(p.Main->BtnIconize, {15, 15});
    for (TFormZentaroChild *window : p.Windows())
        QCOMPARE(window->WindowState(), TWindowState::wsMinimized);

    Click(p.Main->BtnTile, {15, 15});
    const QRect area = p.Main->MDIArea()->viewport()->rect();
    int bottom = 0;
    for (TFormZentaroChild *window : p.Windows()) {
        QCOMPARE(window->WindowState(), TWindowState::wsNormal);
        const QRect frame = window->MDIFrame()->geometry();
        QCOMPARE(frame.left(), 0);
        QCOMPARE(frame.width(), area.width());
        QCOMPARE(frame.top(), bottom);
        bottom = frame.bottom() + 1;
    }
    QCOMPARE(bottom, area.height());

    Click(p.Main->BtnIconize, {15, 15});
    Click(p.Main->BtnCascade, {15, 15});
    const std::vector<TFormZentaroChild *> windows = p.Windows();
    for (TFormZentaroChild *window : windows) {
        QCOMPARE(window->WindowState(), TWindowState::wsNormal);
        // The full width the windows had before, as far as the area allows.
        QCOMPARE(window->MDIFrame()->geometry().right(), area.width() - 1);
    }
    QVERIFY(windows[0]->MDIFrame()->y() > windows[1]->MDIFrame()->y());
    Click(p.Main->BtnCloseAll, {15, 15});
    QTRY_COMPARE(p.Main->MDIChildCount(), 0);
}

// The installed folder, found from the program's folder, wins over the source tree's; a folder
// that is missing or a plain file is passed over.
void TestMainWindow::examplesFolder_data() {
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");
    // The source folder's name, and the folder expected: none, installed or source.
    QTest::newRow("installed and source") << true << QString("source") << QString("installed");
    QTest::newRow("source only") << false << QString("source") << QString("source");
    QTest::newRow("source missing") << false << QString("missing") << QString();
    QTest::newRow("source is a file") << false << QString("file") << QString();
    QTest::newRow("neither") << false << QString() << QString();
}

void TestMainWindow::examplesFolder() {
    QFETCH(bool, installed);
    QFETCH(QString, source);
    QFETCH(QString, expected);
    QTemporaryDir root;
    const QDir top(root.path());
    QVERIFY(top.mkpath("prefix/bin") && top.mkpath("source"));
    if (installed) QVERIFY(top.mkpath("prefix/share/zentaro/examples"));
    QFile file(top.filePath("file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString found = ExamplesFolderFrom(top.filePath("prefix/bin"),
                                             source.isEmpty() ? "" : top.filePath(source));
    const QString wanted = expected == "installed" ? top.filePath("prefix/share/zentaro/examples")
                           : expected.isEmpty()    ? QString()
                                                   : top.filePath(expected);
    QCOMPARE(found, wanted);
}

// In a build tree the open dialog lists the source tree's examples; the save dialog lists none.
void TestMainWindow::openDialogListsTheExamples() {
    Program p;
    p.Choose({});
    Click(p.Main->BtnOpen, {15, 15});
    p.NewNetwork();
    p.Save({});
    QCOMPARE(p.Requests.size(), std::size_t(2));
    const QStringList listed = p.Requests[0].SidebarFolders;
    QCOMPARE(listed.size(), 1);
    for (const char *name : {"half_adder.ZTR", "traffic_light.ZTR"})
        QVERIFY2(QFile::exists(listed[0] + "/" + name), qPrintable(listed[0]));
    QVERIFY(p.Requests[1].SidebarFolders.isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
