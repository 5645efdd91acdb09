#include "classlib/Application.h"
#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "classlib/MessageDlg.h"
#include "stream/ClassRegistry.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"
#include "stream/Writer.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <limits>
#include <memory>

namespace {

// A windowless box that takes part in drags and has a popup menu.
class TBox : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    ZENTARO_CLASS_INFO()
};

// A windowed container.
class TBin : public TWinControl {
public:
    explicit TBin(TComponent *owner) : TWinControl(owner, new QWidget) {}
    ZENTARO_CLASS_INFO()
};

const TClassInfo &TBox::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TBox, TGraphicControl>("TBox")
            .Reference("PopupMenu", &TBox::PopupMenu, &TBox::SetPopupMenu)
            .Enumeration("DragMode", DragModeNames, &TBox::DragMode, &TBox::SetDragMode)
            .Default(0)
            .Build();
    return info;
}

const TClassInfo &TBin::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TBin, TWinControl>("TBin")
            .Enumeration("Align", AlignNames, &TBin::Align, &TBin::SetAlign)
            .Default(0)
            .Integer("TabOrder", &TBin::TabOrder, &TBin::SetTabOrder)
            .Default(-1)
            .Build();
    return info;
}

QString TextOf(TComponent &root) {
    TMemoryStream stream;
    TWriter(stream).WriteRootComponent(root);
    stream.Seek(0);
    return QString::fromStdString(ObjectBinaryToText(stream));
}

TBox *NewBox(TForm &form, TWinControl &parent, const std::string &name, QRect bounds) {
    auto *box = new TBox(&form);
    box->SetName(name);
    box->SetBounds(bounds.x(), bounds.y(), bounds.width(), bounds.height());
    box->SetParent(&parent);
    return box;
}

// While a button is held, the pressed widget receives the mouse wherever it goes.
void MoveWhilePressed(QWidget *pressed, QWidget *over, QPoint at) {
    const QPoint global = over->mapToGlobal(at);
    QMouseEvent move(QEvent::MouseMove, pressed->mapFromGlobal(global), global, Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(pressed, &move);
}

void ReleaseOver(QWidget *pressed, QWidget *over, QPoint at) {
    const QPoint global = over->mapToGlobal(at);
    QMouseEvent release(QEvent::MouseButtonRelease, pressed->mapFromGlobal(global), global,
                        Qt::LeftButton, {}, {});
    QApplication::sendEvent(pressed, &release);
}

struct DragLog {
    QStringList Events;
    void Watch(TBox &box, bool accepts) {
        box.SetDragMode(TDragMode::dmAutomatic);
        if (accepts)
            box.OnDragOver = [](TComponent *, TComponent *, int, int, TDragState, bool &accept) {
                accept = true;
            };
        box.OnDragDrop = [this](TComponent *sender, TComponent *source, int x, int y) {
            Events << QString("drop %1<-%2 at %3,%4")
                          .arg(QString::fromStdString(sender->Name()),
                               QString::fromStdString(source->Name()))
                          .arg(x)
                          .arg(y);
        };
        box.OnEndDrag = [this](TComponent *sender, TComponent *target, int, int) {
            Events << QString("end %1 on %2")
                          .arg(QString::fromStdString(sender->Name()),
                               target ? QString::fromStdString(target->Name()) : "nothing");
        };
    }
};

} // namespace

class TestClassLib : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void fontHeights_data();
    void fontHeights();
    void hintParts_data();
    void hintParts();
    void applicationHintFollowsThePointer();
    void messageBoxHasRoomForItsTitle();
    void dragToAnotherControl();
    void clickIsADropOnItself();
    void releaseOutsideEndsTheDrag();
    void mouseEventsStopAtTheControlUnderThePointer();
    void popupOpensOnRightClick();
    void stackingFollowsBringToFront();
    void descriptionRoundTrip();
    void alignment_data();
    void alignment();
    void childPositions_data();
    void childPositions();
    void tabOrdersApplyOnceAllChildrenAreRead_data();
    void tabOrdersApplyOnceAllChildrenAreRead();
    void mdiChildLivesInTheFrame();
    void destroyNoticeWhileTheFormIsWhole();
    void closeActions_data();
    void closeActions();
};

void TestClassLib::initTestCase() {
    RegisterClass(TBox::StaticClassInfo());
    RegisterClass(TBin::StaticClassInfo());
    RegisterClass(TPopupMenu::StaticClassInfo());
    RegisterClass(TMenuItem::StaticClassInfo());
}

void TestClassLib::fontHeights_data() {
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pixels");
    QTest::newRow("character height") << -11 << 11;
    QTest::newRow("cell height drops the leading") << 15 << 12;
    QTest::newRow("zero") << 0 << 1;
    QTest::newRow("beyond any screen") << 1953392968 << 1000;
    QTest::newRow("most negative") << std::numeric_limits<int>::min() << 1000;
}

void TestClassLib::fontHeights() {
    QFETCH(int, height);
    QFETCH(int, pixels);
    TFont font;
    font.SetHeight(height);
    QCOMPARE(font.ToQFont().pixelSize(), pixels);
}

void TestClassLib::hintParts_data() {
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("shortHint");
    QTest::addColumn<QString>("longHint");
    QTest::newRow("both parts") << "Attiva|Attiva la rete"
                                << "Attiva"
                                << "Attiva la rete";
    QTest::newRow("no bar serves as both") << "Affianca Finestre"
                                           << "Affianca Finestre"
                                           << "Affianca Finestre";
    QTest::newRow("empty short part") << "|only long"
                                      << ""
                                      << "only long";
    QTest::newRow("second bar belongs to the long part") << "a|b|c"
                                                         << "a"
                                                         << "b|c";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void TestClassLib::hintParts() {
    QFETCH(QString, hint);
    QFETCH(QString, shortHint);
    QFETCH(QString, longHint);
    QCOMPARE(QString::fromStdString(GetShortHint(hint.toStdString())), shortHint);
    QCOMPARE(QString::fromStdString(GetLongHint(hint.toStdString())), longHint);

    TForm form(nullptr);
    TBox *box = NewBox(form, form, "B", {0, 0, 10, 10});
    box->SetHint(hint.toStdString());
    box->SetShowHint(true);
    QCOMPARE(box->Widget()->toolTip(), shortHint);
    box->SetShowHint(false);
    QCOMPARE(box->Widget()->toolTip(), QString());
}

void TestClassLib::applicationHintFollowsThePointer() {
    TForm form(nullptr);
    TBox *first = NewBox(form, form, "First", {0, 0, 20, 20});
    TBox *second = NewBox(form, form, "Second", {30, 0, 20, 20});
    first->SetHint("Nuovo|Crea una nuova rete logica");
    second->SetHint("Chiudi Tutte");
    QStringList shown;
    TApplication &application = TApplication::Instance();
    const int key =
        application.AddHintListener([&] { shown << QString::fromStdString(application.Hint()); });
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(first->Widget(), &enter);
    QApplication::sendEvent(second->Widget(), &enter);
    QApplication::sendEvent(second->Widget(), &enter); // no change, no notice
    application.RemoveHintListener(key);
    QApplication::sendEvent(first->Widget(), &enter);
    QCOMPARE(shown, QStringList({"Crea una nuova rete logica", "Chiudi Tutte"}));
}

void TestClassLib::messageBoxHasRoomForItsTitle() {
    TApplication &application = TApplication::Instance();
    const std::string title = application.Title();
    application.SetTitle("Zentaro - Simulatore di Reti Logiche");
    int width = 0;
    QTimer::singleShot(50, [&width] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) return;
        width = box->width();
        box->button(QMessageBox::Ok)->click();
    });
    QCOMPARE(MessageDlg("Saving Error!", TMsgDlgType::mtError, {TMsgDlgBtn::mbOK}), mrOk);
    application.SetTitle(title);
    // The title bar holds the frame's icon and three buttons too, each as wide as it is high.
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    QCOMPARE_GE(width, metrics.horizontalAdvance("Zentaro - Simulatore di Reti Logiche") +
                           4 * (metrics.height() + 4));
}

// A shown form with two boxes in automatic drag mode, A left of B.
struct DragScene {
    TForm Form{nullptr};
    TBox *A;
    TBox *B;
    DragLog Log;
    DragScene(bool aAccepts, bool bAccepts) {
        Form.SetBounds(0, 0, 300, 200);
        Form.Show();
        A = NewBox(Form, Form, "A", {10, 10, 50, 40});
        B = NewBox(Form, Form, "B", {100, 10, 50, 40});
        Log.Watch(*A, aAccepts);
        Log.Watch(*B, bAccepts);
    }
};

void TestClassLib::dragToAnotherControl() {
    DragScene scene(false, true);
    QTest::mousePress(scene.A->Widget(), Qt::LeftButton, {}, {5, 5});
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::ForbiddenCursor);
    MoveWhilePressed(scene.A->Widget(), scene.B->Widget(), {12, 7});
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::DragMoveCursor);
    ReleaseOver(scene.A->Widget(), scene.B->Widget(), {12, 7});
    QCOMPARE(scene.Log.Events, QStringList({"drop B<-A at 12,7", "end A on B"}));
    QVERIFY(!QApplication::overrideCursor());
}

void TestClassLib::clickIsADropOnItself() {
    DragScene scene(true, true);
    QTest::mouseClick(scene.A->Widget(), Qt::LeftButton, {}, {20, 30});
    QCOMPARE(scene.Log.Events, QStringList({"drop A<-A at 20,30", "end A on A"}));
}

void TestClassLib::releaseOutsideEndsTheDrag() {
    DragScene scene(true, true);
    QTest::mousePress(scene.A->Widget(), Qt::LeftButton, {}, {5, 5});
    MoveWhilePressed(scene.A->Widget(), scene.B->Widget(), {5, 5});
    MoveWhilePressed(scene.A->Widget(), scene.Form.Widget(), {200, 150});
    ReleaseOver(scene.A->Widget(), scene.Form.Widget(), {200, 150});
    QCOMPARE(scene.Log.Events, QStringList({"end A on nothing"}));
    QVERIFY(!QApplication::overrideCursor());
}

void TestClassLib::mouseEventsStopAtTheControlUnderThePointer() {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    form.Show();
    TBox *box = NewBox(form, form, "Box", {10, 10, 50, 40});
    QStringList events;
    auto watch = [&](TControl &control) {
        const QString name = QString::fromStdString(control.Name());
        control.OnClick = [&events, name](TComponent *) { events << "click " + name; };
        control.OnMouseMove = [&events, name](TComponent *, TShiftState, int, int) {
            events << "move " + name;
        };
    };
    form.SetName("Form");
    watch(form);
    watch(*box);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), box->Widget()->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, {}, {});
    QApplication::sendEvent(box->Widget(), &move);
    QTest::mouseClick(box->Widget(), Qt::LeftButton, {}, {5, 5});
    QVERIFY(!events.filter("Form").size());
    QVERIFY2(events.contains("click Box") && events.contains("move Box"),
             qPrintable(events.join(", ")));
}

void TestClassLib::popupOpensOnRightClick() {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    form.Show();
    auto *menu = new TPopupMenu(&form);
    auto *first = new TMenuItem(&form);
    first->SetCaption("AND");
    auto *separator = new TMenuItem(&form);
    separator->SetCaption("-");
    auto *last = new TMenuItem(&form);
    last->SetCaption("Elimina");
    menu->Items().Add(first);
    menu->Items().Add(last);
    menu->Items().Insert(1, separator);
    QStringList clicked;
    last->OnClick = [&](TComponent *sender) {
        clicked << QString::fromStdString(static_cast<TMenuItem *>(sender)->Caption());
    };
    TBox *box = NewBox(form, form, "Gate", {10, 10, 50, 40});
    box->SetPopupMenu(menu);

    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!popup) return;
        for (QAction *action : popup->actions())
            shown << (action->isSeparator() ? "-" : action->text());
        popup->actions().last()->trigger();
        popup->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, {5, 5},
                            box->Widget()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(box->Widget(), &event);
    QCOMPARE(shown, QStringList({"AND", "-", "Elimina"}));
    QCOMPARE(clicked, QStringList({"Elimina"}));
    QCOMPARE(menu->PopupComponent(), box);

    // Without AutoPopup nothing opens; a menu that goes leaves the control without one.
    menu->SetAutoPopup(false);
    QApplication::sendEvent(box->Widget(), &event);
    delete menu;
    QCOMPARE(box->PopupMenu(), nullptr);
}

void TestClassLib::stackingFollowsBringToFront() {
    TForm form(nullptr);
    form.SetName("Form");
    auto *bin = new TBin(&form);
    bin->SetName("Bin");
    bin->SetParent(&form);
    TBox *a = NewBox(form, form, "A", {0, 0, 10, 10});
    TBox *b = NewBox(form, form, "B", {0, 0, 10, 10});
    TBox *c = NewBox(form, form, "C", {0, 0, 10, 10});
    a->BringToFront();
    QCOMPARE(form.GraphicControls(), std::vector<TControl *>({b, c, a}));
    QCOMPARE(form.Controls(), std::vector<TControl *>({b, c, a, bin}));
    // Windowed controls stay above windowless ones on screen.
    QCOMPARE(form.Widget()->children().indexOf(bin->Widget()) >
                 form.Widget()->children().indexOf(a->Widget()),
             true);
    const QString text = TextOf(form);
    QVERIFY(text.indexOf("object B: TBox") < text.indexOf("object C: TBox"));
    QVERIFY(text.indexOf("object C: TBox") < text.indexOf("object A: TBox"));
    QVERIFY(text.indexOf("object A: TBox") < text.indexOf("object Bin: TBin"));
}

void TestClassLib::descriptionRoundTrip() {
    const QString description = "object Demo: TForm\n"
                                "  Left = 227\n"
                                "  Top = 341\n"
                                "  Width = 500\n"
                                "  Height = 400\n"
                                "  BorderIcons = [biSystemMenu, biMinimize]\n"
                                "  Caption = 'NoName.ZTR'\n"
                                "  Color = clBtnFace\n"
                                "  Font.Charset = ANSI_CHARSET\n"
                                "  Font.Color = clWindowText\n"
                                "  Font.Height = -11\n"
                                "  Font.Name = 'Arial'\n"
                                "  Font.Style = []\n"
                                "  OldCreateOrder = False\n"
                                "  Scaled = False\n"
                                "  PixelsPerInch = 96\n"
                                "  TextHeight = %1\n"
                                "  object Top: TBin\n"
                                "    Tag = -1\n"
                                "    Left = 0\n"
                                "    Top = 0\n"
                                "    Width = 500\n"
                                "    Height = 41\n"
                                "    Align = alTop\n"
                                "    TabOrder = 0\n"
                                "    object Gate: TBox\n"
                                "      Left = 4\n"
                                "      Top = 4\n"
                                "      Width = 50\n"
                                "      Height = 30\n"
                                "      PopupMenu = Menu\n"
                                "      DragMode = dmAutomatic\n"
                                "    end\n"
                                "  end\n"
                                "  object Menu: TPopupMenu\n"
                                "    Left = 416\n"
                                "    Top = 4\n"
                                "    object ItemAND: TMenuItem\n"
                                "      Caption = 'AND'\n"
                                "    end\n"
                                "    object TMenuItem\n"
                                "      Tag = 1\n"
                                "      Caption = '-'\n"
                                "    end\n"
                                "    object TMenuItem\n"
                                "      Tag = 2\n"
                                "      Caption = '-'\n"
                                "    end\n"
                                "  end\n"
                                "end\n";
    TForm form(nullptr);
    form.ReadDescription(description.arg(14).toStdString());
    // The text height follows this machine's fonts.
    const QString expected = description.arg(form.TextHeight());
    QCOMPARE(form.Name(), "Demo");
    QCOMPARE(form.PixelsPerInch(), 96);
    auto *gate = dynamic_cast<TBox *>(form.FindComponent("Gate"));
    QVERIFY(gate);
    QCOMPARE(gate->PopupMenu(), form.FindComponent("Menu"));
    QCOMPARE(dynamic_cast<TPopupMenu *>(gate->PopupMenu())->Items().Count(), 3);
    // The aligned panel spans the client area of the 500-wide form.
    QCOMPARE(dynamic_cast<TControl *>(form.FindComponent("Top"))->Width(), form.ClientWidth());
    QCOMPARE(TextOf(form), expected);

    // Sized from outside, as by the user: bounds and aligned children follow.
    form.Show();
    form.Widget()->resize(640, 300);
    QCOMPARE(form.Width(), form.Widget()->frameGeometry().width());
    QCOMPARE(form.Height(), form.Widget()->frameGeometry().height());
    QCOMPARE(dynamic_cast<TControl *>(form.FindComponent("Top"))->Width(), 640);
}

void TestClassLib::alignment_data() {
    // Children of a 400 x 300 container in reading order, "name:align:size" (the height of top
    // and bottom ones, the width of left and right ones), and where each one ends up.
    QTest::addColumn<QString>("children");
    QTest::addColumn<QString>("bounds");
    QTest::newRow("one of each, client read first")
        << "C:alClient L:alLeft:50 R:alRight:60 B:alBottom:30 T:alTop:40"
        << "C=50,40,290,230 L=0,40,50,230 R=340,40,60,230 B=0,270,400,30 T=0,0,400,40";
    QTest::newRow("two of each, the first read outermost")
        << "T1:alTop:20 T2:alTop:10 B1:alBottom:30 B2:alBottom:5 L1:alLeft:20 L2:alLeft:30 "
           "R1:alRight:40 R2:alRight:15"
        << "T1=0,0,400,20 T2=0,20,400,10 B1=0,270,400,30 B2=0,265,400,5 L1=0,30,20,235 "
           "L2=20,30,30,235 "
           "R1=360,30,40,235 R2=345,30,15,235";
    QTest::newRow("sides alone take the full height") << "L:alLeft:50 R:alRight:60"
                                                      << "L=0,0,50,300 R=340,0,60,300";
    QTest::newRow("a side read before top and bottom")
        << "L:alLeft:50 T:alTop:40 B:alBottom:30"
        << "L=0,40,50,230 T=0,0,400,40 B=0,270,400,30";
}

void TestClassLib::alignment() {
    QFETCH(QString, children);
    QFETCH(QString, bounds);
    QString description =
        "object F: TForm\n  object Box: TBin\n    Width = 400\n    Height = 300\n";
    for (const QString &child : children.split(' ')) {
        const QStringList parts = child.split(':');
        const int size = parts.value(2).toInt();
        const bool side = parts[1] == "alLeft" || parts[1] == "alRight";
        description += QString("    object %1: TBin\n      Width = %2\n      Height = %3\n      "
                               "Align = %4\n    end\n")
                           .arg(parts[0])
                           .arg(side ? size : 10)
                           .arg(side ? 10 : size)
                           .arg(parts[1]);
    }
    TForm form(nullptr);
    form.ReadDescription((description + "  end\nend\n").toStdString());
    QStringList actual;
    for (const TControl *control :
         dynamic_cast<TWinControl *>(form.FindComponent("Box"))->Controls())
        actual << QString("%1=%2,%3,%4,%5")
                      .arg(QString::fromStdString(control->Name()))
                      .arg(control->Left())
                      .arg(control->Top())
                      .arg(control->Width())
                      .arg(control->Height());
    QCOMPARE(actual.join(' '), bounds);
}

void TestClassLib::childPositions_data() {
    // Records a word each: W... a windowed TBin, I... an inline record, ^ an inherited record of a
    // box the form already has (made first), [n] the child position that follows the class.
    QTest::addColumn<QString>("records");
    QTest::addColumn<QString>("order");
    QTest::newRow("single child at 0") << "A[0]"
                                       << "A";
    QTest::newRow("last read goes first") << "A B C[0]"
                                          << "C A B";
    QTest::newRow("into the middle") << "A B C[1]"
                                     << "A C B";
    QTest::newRow("counts only the siblings read so far") << "A B[1] C"
                                                          << "A B C";
    QTest::newRow("past the end stays last") << "A B C[9]"
                                             << "A B C";
    QTest::newRow("below 0 goes first") << "A B C[-1]"
                                        << "C A B";
    QTest::newRow("within the windowed ones") << "A W1 W2[0] B"
                                              << "A B W2 W1";
    QTest::newRow("within the windowless ones") << "W1 A B[0]"
                                                << "B A W1";
    QTest::newRow("inline record") << "A B I[0]"
                                   << "I A B";
    QTest::newRow("inherited record moves the existing box") << "A B ^K[2]"
                                                             << "A B K";
}

void TestClassLib::childPositions() {
    QFETCH(QString, records);
    QFETCH(QString, order);
    TForm form(nullptr);
    QString description = "object F: TForm\n";
    for (const QString &record : records.split(' ')) {
        const bool inherited = record.startsWith('^');
        const QString name = record.section('[', 0, 0).remove('^');
        const QString position = record.contains('[') ? " [" + record.section('[', 1) : QString();
        if (inherited) NewBox(form, form, name.toStdString(), {0, 0, 10, 10});
        description += QString("  %1 %2: %3%4\n    Left = 0\n    Top = 0\n    Width = 10\n    "
                               "Height = 10\n  end\n")
                           .arg(inherited              ? "inherited"
                                : name.startsWith('I') ? "inline"
                                                       : "object",
                                name, name.startsWith('W') ? "TBin" : "TBox", position);
    }
    form.ReadDescription((description + "end\n").toStdString());
    QStringList actual;
    for (const TControl *control : form.Controls())
        actual << QString::fromStdString(control->Name());
    QCOMPARE(actual.join(' '), order);
    // The widgets are stacked the same way.
    QCOMPARE(form.Widget()->childAt(5, 5), form.Controls().back()->Widget());
}

void TestClassLib::tabOrdersApplyOnceAllChildrenAreRead_data() {
    QTest::addColumn<QList<int>>("stored");
    QTest::addColumn<QString>("order");
    QTest::newRow("as read") << QList<int>{0, 1, 2} << "ABC";
    QTest::newRow("reversed") << QList<int>{2, 1, 0} << "CBA";
    QTest::newRow("rotated") << QList<int>{2, 0, 1} << "BCA";
    QTest::newRow("clash: the last one read wins the place") << QList<int>{0, 0, 2} << "BAC";
    QTest::newRow("out of range keeps the reading order") << QList<int>{9, -1, 0} << "CAB";
}

void TestClassLib::tabOrdersApplyOnceAllChildrenAreRead() {
    QFETCH(QList<int>, stored);
    QFETCH(QString, order);
    QString description = "object F: TForm\n";
    for (int i = 0; i < 3; ++i)
        description += QString("  object %1: TBin\n    TabOrder = %2\n  end\n")
                           .arg(QChar('A' + i))
                           .arg(stored[i]);
    description += "end\n";
    TForm form(nullptr);
    form.ReadDescription(description.toStdString());
    QString actual(3, ' ');
    for (const char *name : {"A", "B", "C"}) {
        const int tab = dynamic_cast<TWinControl *>(form.FindComponent(name))->TabOrder();
        QVERIFY(tab >= 0 && tab < 3);
        actual[tab] = QChar(name[0]);
    }
    QCOMPARE(actual, order);
}

void TestClassLib::mdiChildLivesInTheFrame() {
    TForm frame(nullptr);
    frame.SetFormStyle(TFormStyle::fsMDIForm);
    frame.SetBounds(0, 0, 800, 600);
    frame.Show();
    QVERIFY(frame.MDIArea());
    {
        TForm child(nullptr);
        child.SetBounds(20, 30, 500, 400);
        child.SetFormStyle(TFormStyle::fsMDIChild);
        child.Show();
        QVERIFY(child.MDIFrame());
        QCOMPARE(frame.MDIArea()->subWindowList().size(), 1);
        QCOMPARE(child.MDIFrame()->geometry(), QRect(20, 30, 500, 400));
        child.SetCaption("Rete \xe8");
        QCOMPARE(child.MDIFrame()->windowTitle(), QString("Rete \u00e8"));

        // Default placement cascades the next child below the first.
        TForm second(nullptr);
        second.SetBounds(20, 30, 300, 200);
        second.SetPosition(TPosition::poDefault);
        second.SetFormStyle(TFormStyle::fsMDIChild);
        second.Show();
        QVERIFY(second.MDIFrame()->x() == second.MDIFrame()->y() && second.MDIFrame()->x() > 0);
        QCOMPARE(second.MDIFrame()->size(), QSize(300, 200));
    }
    QCOMPARE(frame.MDIArea()->subWindowList().size(), 0);
}

// A form class whose destroy handler uses its own members, as real windows do.
class TNotingForm : public TForm {
public:
    explicit TNotingForm(QStringList &log) : TForm(nullptr), FLog(log), FName("noting") {
        OnDestroy = TNotifyEvent([this](TComponent *) { FLog << "destroy " + FName; });
    }
    ~TNotingForm() override { FName = "gone"; }

private:
    QStringList &FLog;
    QString FName;
};

void TestClassLib::destroyNoticeWhileTheFormIsWhole() {
    QStringList log;
    TComponent::Free(new TNotingForm(log));
    TComponent owner(nullptr);
    auto *owned = new TNotingForm(log);
    owner.InsertComponent(owned);
    owner.DestroyComponents();
    QCOMPARE(log, QStringList({"destroy noting", "destroy noting"}));
}

void TestClassLib::closeActions_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("visibleAfter");
    QTest::addColumn<bool>("destroyed");
    QTest::newRow("refuse") << int(TCloseAction::caNone) << true << false;
    QTest::newRow("hide") << int(TCloseAction::caHide) << false << false;
    QTest::newRow("destroy") << int(TCloseAction::caFree) << false << true;
}

void TestClassLib::closeActions() {
    QFETCH(int, action);
    QFETCH(bool, visibleAfter);
    QFETCH(bool, destroyed);
    auto *form = new TForm(nullptr);
    const QPointer<QWidget> widget = form->Widget();
    bool asked = false;
    form->OnClose = [&](TComponent *, TCloseAction &close) {
        asked = true;
        close = TCloseAction(action);
    };
    form->Show();
    form->Close();
    QVERIFY(asked);
    QCOMPARE(widget->isVisible(), visibleAfter);
    QCoreApplication::processEvents();
    QCOMPARE(widget.isNull(), destroyed);
    if (!destroyed) delete form;
}

QTEST_MAIN(TestClassLib)
#include "tst_classlib.moc"
