#include "document/DsgnRunT.h"

#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/TextForm.h"
#include "stream/Writer.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// A form whose methods the designer's events can be bound to by name.
class TDesignForm : public TForm {
public:
    using TForm::TForm;
    ZENTARO_CLASS_INFO()
    TDesignAtRunTime *Designer = nullptr;
    QStringList Calls;
    void DesignRTBeginChange(TComponent *) { Calls << "begin"; }
    void DesignRTEndChange(TComponent *) { Calls << "end"; }
};

const TClassInfo &TDesignForm::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TDesignForm, TForm>("TDesignForm")
            .Method("DesignRTBeginChange", &TDesignForm::DesignRTBeginChange)
            .Method("DesignRTEndChange", &TDesignForm::DesignRTEndChange)
            .Field("DesignRT", &TDesignForm::Designer)
            .Build();
    return info;
}

// A shown form with a designer and counters of the designer's notifications.
struct Scene {
    std::unique_ptr<TDesignForm> Form = std::make_unique<TDesignForm>(nullptr);
    TDesignAtRunTime *Designer = nullptr;
    int Begins = 0, Changes = 0, Ends = 0, Rights = 0;
    QStringList Log;
    bool ForeignSender = false;

    explicit Scene(bool designerFirst = false) {
        Form->SetBounds(40, 40, 1200, 500);
        if (designerFirst) CreateDesigner();
    }
    void CreateDesigner() {
        Designer = new TDesignAtRunTime(Form.get());
        Designer->SetGridSize(4);
        Designer->SetChangeEnabled(true);
        auto count = [this](int &counter, const char *name) {
            return TNotifyEvent([this, &counter, name](TComponent *sender) {
                ++counter;
                Log << name;
                if (sender != Designer) ForeignSender = true;
            });
        };
        Designer->OnBeginChange = count(Begins, "begin");
        Designer->OnChange = count(Changes, "change");
        Designer->OnEndChange = count(Ends, "end");
        Designer->OnMouseRight = count(Rights, "right");
    }
    TControl *Add(QRect bounds) {
        auto *control = new TGraphicControl(Form.get());
        control->SetParent(Form.get());
        control->SetBounds(bounds.x(), bounds.y(), bounds.width(), bounds.height());
        return control;
    }
    void Start() {
        if (!Designer) CreateDesigner();
        Form->Show();
        QApplication::processEvents();
        Designer->SetAttached(true);
    }
    void ResetCounters() {
        Begins = Changes = Ends = Rights = 0;
        Log.clear();
    }
};

QRect Bounds(const TControl *control) {
    return {control->Left(), control->Top(), control->Width(), control->Height()};
}

// A mouse move without buttons, straight to the widget, at any position.
void Hover(TControl *control, QPoint at) {
    QWidget *widget = control->Widget();
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// Presses at a point of the control, moves the mouse by delta in steps and releases, through the
// form's window as the platform delivers them: the pressed control keeps the mouse.
void Drag(TControl *control, QPoint press, QPoint delta, int steps = 1,
          Qt::MouseButton button = Qt::LeftButton) {
    QWidget *top = control->Widget()->window();
    const QPoint grip = control->Widget()->mapTo(top, press);
    QTest::mousePress(top->windowHandle(), button, {}, grip);
    for (int step = 1; step <= steps; ++step)
        QTest::mouseMove(top->windowHandle(), grip + delta * step / steps);
    QTest::mouseRelease(top->windowHandle(), button, {}, grip + delta);
}

// Acts on the next popup menu once it is open: unless held, the button pressed at a point of the
// control is let go where it was pressed (the popup takes it), then an empty choice closes the
// menu with Esc, otherwise the item of that text is chosen.
void OnNextPopup(const QString &choice, TControl *control, QPoint press, Qt::MouseButton button,
                 bool held = false) {
    QWidget *top = control->Widget()->window();
    const QPoint grip = control->Widget()->mapTo(top, press);
    QTimer::singleShot(0, [choice, window = top->windowHandle(), grip, button, held] {
        auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!popup) return;
        if (!held) QTest::mouseRelease(window, button, {}, grip);
        if (choice.isEmpty()) {
            QTest::keyClick(popup, Qt::Key_Escape);
            return;
        }
        for (QAction *action : popup->actions())
            if (action->text() == choice) action->trigger();
        popup->close();
    });
}

// A popup menu of the form with one item that logs its caption or runs what it is given.
TPopupMenu *MenuOf(Scene &scene, const char *caption, std::function<void()> command = {}) {
    auto *menu = new TPopupMenu(scene.Form.get());
    auto *item = new TMenuItem(scene.Form.get());
    item->SetCaption(caption);
    item->OnClick = TNotifyEvent([&scene, caption, command](TComponent *) {
        scene.Log << caption;
        if (command) command();
    });
    menu->Items().Add(item);
    return menu;
}

} // namespace

class TestDesigner : public QObject {
    Q_OBJECT

private slots:
    void cursorOfZone_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<int>("cursor");
        const QSize gate(50, 40);
        QTest::newRow("top-left corner") << gate << QPoint(3, 3) << int(crSizeNWSE);
        QTest::newRow("middle moves") << gate << QPoint(25, 20) << int(crArrow);
        QTest::newRow("top band, both ends") << gate << QPoint(43, 6) << int(crSizeNS);
        QTest::newRow("top-right corner") << gate << QPoint(44, 0) << int(crSizeNESW);
        QTest::newRow("right border itself") << gate << QPoint(50, 3) << int(crSizeNESW);
        QTest::newRow("right of the control") << gate << QPoint(51, 3) << int(crArrow);
        QTest::newRow("bottom-left corner") << gate << QPoint(0, 34) << int(crSizeNESW);
        QTest::newRow("bottom band") << gate << QPoint(25, 40) << int(crSizeNS);
        QTest::newRow("bottom-right corner") << gate << QPoint(50, 40) << int(crSizeNWSE);
        // Bands overlap on small controls: the left and top ones come first.
        QTest::newRow("narrow, top corner") << QSize(10, 40) << QPoint(5, 3) << int(crSizeNWSE);
        QTest::newRow("narrow, bottom corner") << QSize(10, 40) << QPoint(5, 37) << int(crSizeNESW);
        QTest::newRow("position wraps at 16 bits")
            << gate << QPoint(65536 + 3, 3) << int(crSizeNWSE);
    }

    void cursorOfZone() {
        QFETCH(QSize, size);
        QFETCH(QPoint, at);
        QFETCH(int, cursor);
        Scene scene;
        TControl *gate = scene.Add({60, 60, size.width(), size.height()});
        scene.Start();
        Hover(gate, {size.width() / 2, size.height() / 2});
        QCOMPARE(scene.Designer->CurrentControl(), gate);
        Hover(gate, at);
        QCOMPARE(gate->Cursor(), cursor);
    }

    void gesture_data() {
        QTest::addColumn<int>("grid");
        QTest::addColumn<QRect>("bounds");
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QRect>("expected");
        const QRect gate(12, 20, 48, 40), odd(12, 20, 50, 42), big(100, 100, 48, 40);
        const QPoint middle(24, 20);
        QTest::newRow("move 12 -> 14 snaps to 16")
            << 4 << gate << middle << QPoint(2, 0) << 1 << QRect(16, 20, 48, 40);
        QTest::newRow("move 12 -> 10 snaps to 8")
            << 4 << gate << middle << QPoint(-2, 0) << 1 << QRect(8, 20, 48, 40);
        QTest::newRow("move 12 -> 2 snaps to 0")
            << 4 << gate << middle << QPoint(-10, 0) << 1 << QRect(0, 20, 48, 40);
        QTest::newRow("move 12 -> -6 snaps to -8")
            << 4 << gate << middle << QPoint(-18, 0) << 1 << QRect(-8, 20, 48, 40);
        QTest::newRow("move in steps keeps the grip")
            << 4 << gate << middle << QPoint(30, 18) << 3 << QRect(40, 40, 48, 40);
        // -(44 div 2) = -22, which snaps past the limit to -24.
        QTest::newRow("far left stops at half the width")
            << 4 << QRect(12, 20, 44, 40) << middle << QPoint(-500, 0) << 2
            << QRect(-24, 20, 44, 40);
        QTest::newRow("far up stops at half the height")
            << 4 << gate << middle << QPoint(0, -500) << 2 << QRect(12, -20, 48, 40);
        QTest::newRow("far right has no limit")
            << 4 << gate << middle << QPoint(1000, 0) << 1 << QRect(1012, 20, 48, 40);
        QTest::newRow("move snaps the size")
            << 4 << odd << middle << QPoint(4, 0) << 1 << QRect(16, 20, 48, 40);
        QTest::newRow("grid 0 does not snap")
            << 0 << odd << middle << QPoint(2, 3) << 1 << QRect(14, 23, 50, 42);
        QTest::newRow("negative grid does not snap")
            << -4 << odd << middle << QPoint(2, 3) << 1 << QRect(14, 23, 50, 42);
        QTest::newRow("top-left corner at (3,3)")
            << 4 << big << QPoint(3, 3) << QPoint(-8, -4) << 1 << QRect(92, 96, 56, 44);
        QTest::newRow("top-right corner")
            << 4 << big << QPoint(45, 3) << QPoint(8, -4) << 1 << QRect(100, 96, 56, 44);
        QTest::newRow("bottom-left corner")
            << 4 << big << QPoint(3, 37) << QPoint(-8, 4) << 1 << QRect(92, 100, 56, 44);
        QTest::newRow("bottom-right corner")
            << 4 << big << QPoint(45, 37) << QPoint(8, 4) << 1 << QRect(100, 100, 56, 44);
        QTest::newRow("bottom edge snaps")
            << 4 << big << QPoint(24, 37) << QPoint(0, 9) << 1 << QRect(100, 100, 48, 48);
        QTest::newRow("left edge keeps the right edge")
            << 4 << big << QPoint(3, 20) << QPoint(-16, 5) << 4 << QRect(84, 100, 64, 40);
        QTest::newRow("right edge to 10 px gives 16")
            << 4 << big << QPoint(45, 20) << QPoint(-38, 0) << 1 << QRect(100, 100, 16, 40);
        QTest::newRow("top edge past the bottom gives 16")
            << 4 << big << QPoint(24, 3) << QPoint(0, 30) << 1 << QRect(100, 128, 48, 16);
        // Left and right bands overlap on a 12-pixel control; the left one is taken.
        QTest::newRow("narrow control, left band wins")
            << 4 << QRect(100, 100, 12, 40) << QPoint(6, 20) << QPoint(8, 0) << 1
            << QRect(108, 100, 16, 40);
        // Sizes follow the distance from the press, however many moves it takes.
        QTest::newRow("right edge in three moves")
            << 4 << big << QPoint(45, 20) << QPoint(24, 0) << 3 << QRect(100, 100, 72, 40);
        QTest::newRow("bottom edge in three moves")
            << 4 << big << QPoint(24, 37) << QPoint(0, 29) << 3 << QRect(100, 100, 48, 68);
        QTest::newRow("bottom-right corner in four moves")
            << 4 << big << QPoint(45, 37) << QPoint(20, 12) << 4 << QRect(100, 100, 68, 52);
        // Sized by the left or top edge, a control keeps its opposite edge and at most half of it
        // goes past the parent's edge: the left stops at minus the right edge.
        QTest::newRow("left edge far left")
            << 4 << big << QPoint(3, 20) << QPoint(-500, 0) << 1 << QRect(-148, 100, 296, 40);
        QTest::newRow("left edge far left in three moves")
            << 0 << big << QPoint(3, 20) << QPoint(-500, 0) << 3 << QRect(-148, 100, 296, 40);
        QTest::newRow("top edge far up in three moves")
            << 0 << big << QPoint(24, 3) << QPoint(0, -500) << 3 << QRect(100, -140, 48, 280);
        QTest::newRow("top-left corner far out")
            << 0 << big << QPoint(3, 3) << QPoint(-300, -300) << 2 << QRect(-148, -140, 296, 280);
    }

    void gesture() {
        QFETCH(int, grid);
        QFETCH(QRect, bounds);
        QFETCH(QPoint, press);
        QFETCH(QPoint, delta);
        QFETCH(int, steps);
        QFETCH(QRect, expected);
        Scene scene;
        TControl *gate = scene.Add(bounds);
        scene.Start();
        scene.Designer->SetGridSize(grid);
        Hover(gate, press);
        Drag(gate, press, delta, steps);
        QCOMPARE(Bounds(gate), expected);
        QCOMPARE(scene.Begins, 1);
        QVERIFY(scene.Changes >= 1);
        QCOMPARE(scene.Ends, 1);
        QVERIFY(!scene.ForeignSender);
    }

    void doubleClickSwallowsNextPress_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
    }

    void doubleClickSwallowsNextPress() {
        QFETCH(Qt::MouseButton, button);
        Scene scene;
        TControl *gate = scene.Add({100, 100, 48, 40});
        scene.Start();
        const QPoint middle(24, 20);
        Hover(gate, middle);
        QTest::mouseClick(gate->Widget(), Qt::LeftButton, {}, middle);
        QTest::mouseDClick(gate->Widget(), Qt::LeftButton, {}, middle);
        QTest::mouseRelease(gate->Widget(), Qt::LeftButton, {}, middle);
        scene.ResetCounters();

        Drag(gate, middle, {20, 20}, 1, button);
        QCOMPARE(scene.Begins + scene.Rights + scene.Changes, 0);
        QCOMPARE(Bounds(gate), QRect(100, 100, 48, 40));
        // Only one press is swallowed.
        QTest::mouseClick(gate->Widget(), button, {}, middle);
        QCOMPARE(scene.Begins + scene.Rights, 1);
    }

    void changeDisabledChangesNothing() {
        Scene scene;
        TControl *gate = scene.Add({100, 100, 48, 40});
        gate->SetCursor(crHandPoint);
        scene.Start();
        scene.Designer->SetChangeEnabled(false);
        Hover(gate, {24, 20});
        Hover(gate, {3, 3});
        QCOMPARE(gate->Cursor(), crHandPoint);
        Drag(gate, {3, 3}, {30, 30});
        Drag(gate, {24, 20}, {30, 30});
        QCOMPARE(Bounds(gate), QRect(100, 100, 48, 40));
        QCOMPARE(gate->Cursor(), crHandPoint);
        QCOMPARE(scene.Begins + scene.Changes + scene.Ends, 0);
        // The right button is reported whatever the setting.
        QTest::mouseClick(gate->Widget(), Qt::RightButton, {}, {24, 20});
        QCOMPARE(scene.Rights, 1);
        QVERIFY(!scene.ForeignSender);
    }

    void eligibleControls_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("align");
        QTest::addColumn<bool>("covered");
        QTest::newRow("plain") << 0 << int(TAlign::alNone) << true;
        QTest::newRow("positive tag") << 7 << int(TAlign::alNone) << true;
        QTest::newRow("tag -1") << -1 << int(TAlign::alNone) << false;
        QTest::newRow("aligned") << 0 << int(TAlign::alTop) << false;
    }

    void eligibleControls() {
        QFETCH(int, tag);
        QFETCH(int, align);
        QFETCH(bool, covered);
        Scene scene;
        TControl *control = scene.Add({100, 100, 48, 40});
        control->SetTag(tag);
        control->SetAlign(TAlign(align));
        int own = 0;
        control->OnMouseMove =
            TMouseMoveEvent([&own](TComponent *, TShiftState, int, int) { ++own; });
        scene.Start();
        Hover(control, {10, 10});
        QCOMPARE(scene.Designer->CurrentControl() == control, covered);
        QCOMPARE(own, covered ? 0 : 1);
    }

    void enteringBringsToFrontAndTheOwnerEndsTheGesture() {
        Scene scene;
        TControl *a = scene.Add({100, 100, 48, 40});
        TControl *b = scene.Add({120, 110, 48, 40});
        TControl *c = scene.Add({300, 300, 48, 40});
        scene.Start();
        QWidget *surface = scene.Form->Widget();
        const QPoint overlap(130, 120);
        QCOMPARE(surface->childAt(overlap), b->Widget());

        // Through the platform's cursor, so that the widget under the mouse gets the move.
        QTest::mouseMove(surface, {104, 104});
        QCOMPARE(scene.Designer->CurrentControl(), a);
        QCOMPARE(scene.Form->GraphicControls(), (std::vector<TControl *>{b, c, a}));
        QCOMPARE(surface->childAt(overlap), a->Widget());
        QTest::mouseMove(surface, {160, 140});
        QCOMPARE(scene.Form->GraphicControls(), (std::vector<TControl *>{c, a, b}));

        // The mouse reaching the owner ends a gesture and leaves no current control.
        QTest::mousePress(b->Widget(), Qt::LeftButton, {}, {30, 20});
        QTest::mouseMove(surface, {250, 250});
        QCOMPARE(scene.Ends, 1);
        QCOMPARE(scene.Designer->CurrentControl(), nullptr);
        QTest::mouseRelease(surface, Qt::LeftButton, {}, {250, 250});
        Hover(b, {30, 20});
        Hover(b, {34, 24});
        QCOMPARE(Bounds(b), QRect(120, 110, 48, 40));
        QCOMPARE(scene.Changes, 0);
    }

    void controlCreatedAfterAttachIsNotCovered() {
        Scene scene;
        scene.Start();
        TControl *late = scene.Add({100, 100, 48, 40});
        Hover(late, {24, 20});
        QCOMPARE(scene.Designer->CurrentControl(), nullptr);
        Drag(late, {24, 20}, {20, 20});
        QCOMPARE(Bounds(late), QRect(100, 100, 48, 40));

        scene.Designer->SetAttached(false);
        scene.Designer->SetAttached(true);
        Hover(late, {24, 20});
        Drag(late, {24, 20}, {20, 20});
        QCOMPARE(Bounds(late), QRect(120, 120, 48, 40));
    }

    void releaseRestoresHandlersAndCursors_data() {
        QTest::addColumn<bool>("destroy");
        QTest::addColumn<bool>("attachTwice");
        QTest::newRow("detach") << false << false;
        QTest::newRow("attached twice, then detached") << false << true;
        QTest::newRow("designer destroyed") << true << false;
    }

    void releaseRestoresHandlersAndCursors() {
        QFETCH(bool, destroy);
        QFETCH(bool, attachTwice);
        Scene scene;
        TControl *gate = scene.Add({100, 100, 48, 40});
        gate->SetCursor(crHandPoint);
        scene.Form->SetCursor(crCross);
        int gateMoves = 0, formMoves = 0;
        gate->OnMouseMove = TMouseMoveEvent(
            "GateMouseMove", [&gateMoves](TComponent *, TShiftState, int, int) { ++gateMoves; });
        scene.Form->OnMouseMove =
            TMouseMoveEvent([&formMoves](TComponent *, TShiftState, int, int) { ++formMoves; });
        scene.Start();
        // A second attach changes nothing: what the controls had stays saved.
        if (attachTwice) scene.Designer->SetAttached(true);
        Hover(scene.Form.get(), {5, 5});
        Hover(gate, {24, 20});
        Hover(gate, {3, 3});
        QCOMPARE(gate->Cursor(), crSizeNWSE);
        QCOMPARE(gateMoves + formMoves, 0);

        if (destroy)
            delete scene.Designer;
        else
            scene.Designer->SetAttached(false);
        QCOMPARE(gate->Cursor(), crHandPoint);
        QCOMPARE(scene.Form->Cursor(), crCross);
        QCOMPARE(gate->OnMouseMove.Name(), std::string("GateMouseMove"));
        Hover(scene.Form.get(), {5, 5});
        QCOMPARE(formMoves, 1);

        // A detached designer leaves its filter on the last current control until another one
        // becomes current; a destroyed one leaves nothing behind. The press at a new position
        // brings a move of its own.
        Drag(gate, {24, 20}, {8, 0});
        QCOMPARE(gateMoves, 2);
        QCOMPARE(Bounds(gate), QRect(destroy ? 100 : 108, 100, 48, 40));
    }

    void goneControlIsNeverTouched_data() {
        QTest::addColumn<bool>("current");
        QTest::addColumn<bool>("dragging");
        QTest::addColumn<bool>("reowned");
        QTest::newRow("covered control") << false << false << false;
        QTest::newRow("current control") << true << false << false;
        QTest::newRow("current control during a drag") << true << true << false;
        QTest::newRow("current control of another owner") << true << false << true;
    }

    void goneControlIsNeverTouched() {
        QFETCH(bool, current);
        QFETCH(bool, dragging);
        QFETCH(bool, reowned);
        Scene scene;
        TControl *doomed = scene.Add({100, 100, 48, 40});
        TControl *other = scene.Add({200, 200, 48, 40});
        scene.Start();
        Hover(current ? doomed : other, {24, 20});
        if (dragging) {
            QTest::mousePress(doomed->Widget(), Qt::LeftButton, {}, {24, 20});
            QTest::mouseMove(doomed->Widget(), {30, 20});
        }
        if (reowned) {
            // The new owner tells the designer nothing when it frees the control.
            TComponent holder(nullptr);
            holder.InsertComponent(doomed);
            QCOMPARE(scene.Designer->CurrentControl(), nullptr);
        } else {
            delete doomed;
        }
        if (dragging) QTest::mouseRelease(scene.Form->Widget(), Qt::LeftButton, {}, {10, 10});
        QCOMPARE(scene.Designer->CurrentControl(), current ? nullptr : other);

        Hover(other, {24, 20});
        Drag(other, {24, 20}, {8, 0});
        QCOMPARE(Bounds(other), QRect(208, 200, 48, 40));
        scene.Designer->SetAttached(false);
        scene.Designer->SetAttached(true);
        Hover(scene.Form.get(), {5, 5});
        QCOMPARE(scene.Designer->CurrentControl(), nullptr);
    }

    void ownerDestroyedWithDesignerCreatedFirst() {
        // The owner frees the designer last, and without notices the controls shown elsewhere.
        Scene scene(true);
        TForm elsewhere(nullptr);
        elsewhere.SetBounds(600, 40, 300, 300);
        auto *gate = new TGraphicControl(scene.Form.get());
        gate->SetParent(&elsewhere);
        gate->SetBounds(10, 10, 48, 40);
        scene.Add({200, 100, 48, 40});
        elsewhere.Show();
        scene.Start();
        Hover(gate, {24, 20});
        QCOMPARE(scene.Designer->CurrentControl(), gate);
        scene.Form.reset();
        QVERIFY(elsewhere.GraphicControls().empty());
        Hover(&elsewhere, {5, 5});
    }

    void notifications_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("click") << true << "click" << QStringList{"begin", "end"};
        QTest::newRow("move within the grid") << true << "nudge" << QStringList{"begin", "end"};
        QTest::newRow("move in two steps")
            << true << "drag" << QStringList{"begin", "change", "change", "end"};
        QTest::newRow("right click") << true << "right" << QStringList{"right", "end"};
        QTest::newRow("click, then over the form")
            << true << "click, leave" << QStringList{"begin", "end"};
        // A context menu opens on the press and takes the release: the gesture ends when it opens.
        QTest::newRow("popup menu closed with Esc")
            << true << "popup" << QStringList{"right", "end"};
        QTest::newRow("popup menu closed while the button is held")
            << true << "popup, held" << QStringList{"right", "end"};
        QTest::newRow("menu opened on the right notice")
            << true << "menu on right" << QStringList{"right", "end", "AND"};
        QTest::newRow("menu opened on a left press")
            << true << "menu on press" << QStringList{"begin", "end", "AND"};
        QTest::newRow("changes off: click") << false << "click" << QStringList();
        QTest::newRow("changes off: drag") << false << "drag" << QStringList();
        QTest::newRow("changes off: right click") << false << "right" << QStringList{"right"};
        QTest::newRow("changes off: popup menu") << false << "popup" << QStringList{"right"};
    }

    void notifications() {
        QFETCH(bool, enabled);
        QFETCH(QString, gesture);
        QFETCH(QStringList, log);
        Scene scene;
        TControl *gate = scene.Add({100, 100, 48, 40});
        TPopupMenu *menu = MenuOf(scene, "AND");
        scene.Start();
        scene.Designer->SetChangeEnabled(enabled);
        const QPoint middle(24, 20);
        auto openMenu = [menu, gate, middle] {
            menu->Popup(gate->Widget()->mapToGlobal(middle), gate);
        };
        if (gesture.startsWith("popup")) gate->SetPopupMenu(menu);
        if (gesture == "menu on right")
            scene.Designer->OnMouseRight = TNotifyEvent(
                [counted = scene.Designer->OnMouseRight, openMenu](TComponent *sender) {
                    counted(sender);
                    openMenu();
                });
        if (gesture == "menu on press")
            gate->OnMouseDown = TMouseEvent(
                [openMenu](TComponent *, TMouseButton, TShiftState, int, int) { openMenu(); });
        const bool right =
            gesture == "right" || gesture.startsWith("popup") || gesture == "menu on right";
        const Qt::MouseButton button = right ? Qt::RightButton : Qt::LeftButton;
        Hover(gate, middle);
        OnNextPopup(gesture.startsWith("menu") ? "AND" : "", gate, middle, button,
                    gesture.endsWith("held"));
        const QPoint delta = gesture == "drag"    ? QPoint(8, 0)
                             : gesture == "nudge" ? QPoint(1, 0)
                                                  : QPoint();
        Drag(gate, middle, delta, gesture == "drag" ? 2 : 1, button);
        if (gesture.endsWith("leave"))
            for (QPoint at : {QPoint(400, 300), QPoint(420, 300)})
                QTest::mouseMove(scene.Form->Widget()->windowHandle(), at);
        QCOMPARE(scene.Log, log);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
    }

    // Nothing touches a control that a notification or a menu command destroyed, and the click
    // still ends once.
    void handlerDestroysTheControl_data() {
        QTest::addColumn<QString>("by");
        QTest::addColumn<bool>("right");
        QTest::newRow("begin notice") << "begin" << false;
        QTest::newRow("change notice") << "change" << false;
        QTest::newRow("end notice") << "end" << false;
        QTest::newRow("right notice") << "right" << true;
        QTest::newRow("menu opened on the right notice") << "menu on right" << true;
        QTest::newRow("the control's popup menu") << "popup" << true;
    }

    void handlerDestroysTheControl() {
        QFETCH(QString, by);
        QFETCH(bool, right);
        Scene scene;
        TControl *doomed = scene.Add({100, 100, 48, 40});
        TControl *other = scene.Add({300, 100, 48, 40});
        auto destroy = [&doomed] { delete std::exchange(doomed, nullptr); };
        TPopupMenu *menu = MenuOf(scene, "Elimina", destroy);
        scene.Start();
        auto destroyOn = [&](TNotifyEvent &notice) {
            notice = TNotifyEvent([counted = notice, destroy](TComponent *sender) {
                counted(sender);
                destroy();
            });
        };
        if (by == "begin") destroyOn(scene.Designer->OnBeginChange);
        if (by == "change") destroyOn(scene.Designer->OnChange);
        if (by == "end") destroyOn(scene.Designer->OnEndChange);
        if (by == "right") destroyOn(scene.Designer->OnMouseRight);
        if (by == "menu on right")
            scene.Designer->OnMouseRight = TNotifyEvent([&](TComponent *) {
                menu->Popup(doomed->Widget()->mapToGlobal(QPoint(24, 20)), doomed);
            });
        if (by == "popup") doomed->SetPopupMenu(menu);
        OnNextPopup("Elimina", doomed, {24, 20}, right ? Qt::RightButton : Qt::LeftButton);
        const QPointer<QWidget> widget = doomed->Widget();
        Hover(doomed, {24, 20});
        Drag(doomed, {24, 20}, {8, 0}, 1, right ? Qt::RightButton : Qt::LeftButton);
        QVERIFY(!doomed && !widget);
        QCOMPARE(scene.Designer->CurrentControl(), nullptr);
        QCOMPARE(scene.Ends, 1);
        QCOMPARE(scene.Begins, right ? 0 : 1);

        scene.ResetCounters();
        Hover(other, {24, 20});
        Drag(other, {24, 20}, {8, 0});
        QCOMPARE(Bounds(other), QRect(308, 100, 48, 40));
        QCOMPARE(scene.Log, QStringList({"begin", "change", "end"}));
    }

    // The designer's record, as a window's description holds it, read into a new designer.
    void recordReadsBack_data() {
        QTest::addColumn<int>("grid");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("events");
        QTest::newRow("fine grid, changes off, events") << 8 << false << true;
        QTest::newRow("no grid, no events") << 0 << true << false;
    }

    void recordReadsBack() {
        QFETCH(int, grid);
        QFETCH(bool, enabled);
        QFETCH(bool, events);
        TDesignForm source(nullptr);
        source.SetName("FormNet");
        auto *designer = new TDesignAtRunTime(&source);
        designer->SetName("DesignRT");
        designer->SetGridSize(grid);
        designer->SetChangeEnabled(enabled);
        if (events) {
            designer->OnBeginChange = TNotifyEvent("DesignRTBeginChange", [](TComponent *) {});
            designer->OnEndChange = TNotifyEvent("DesignRTEndChange", [](TComponent *) {});
        }
        TMemoryStream stream;
        TWriter(stream).WriteRootComponent(source);
        stream.Seek(0);

        TDesignForm copy(nullptr);
        TReader(stream).ReadRootComponent(copy);
        QVERIFY(copy.Designer);
        QCOMPARE(copy.Designer->GridSize(), grid);
        QCOMPARE(copy.Designer->ChangeEnabled(), enabled);
        QCOMPARE(copy.Designer->OnBeginChange.Name(),
                 std::string(events ? "DesignRTBeginChange" : ""));
        QCOMPARE(copy.Designer->OnEndChange.Name(), std::string(events ? "DesignRTEndChange" : ""));
        QVERIFY(!copy.Designer->OnChange && !copy.Designer->OnMouseRight);
        copy.Designer->OnBeginChange(copy.Designer);
        copy.Designer->OnEndChange(copy.Designer);
        QCOMPARE(copy.Calls, events ? QStringList({"begin", "end"}) : QStringList());
    }

    void streamsItsPropertiesInOrder() {
        Scene scene;
        scene.Form->SetName("FormNet");
        scene.Start();
        TDesignAtRunTime &designer = *scene.Designer;
        designer.SetName("DesignRT");
        designer.SetTag(3);
        designer.SetChangeEnabled(false);
        designer.SetDesignLeft(456);
        designer.SetDesignTop(4);
        designer.OnBeginChange = TNotifyEvent("DesignRTBeginChange", [](TComponent *) {});
        designer.OnEndChange = TNotifyEvent("DesignRTEndChange", [](TComponent *) {});

        TMemoryStream stream;
        TWriter(stream).WriteRootComponent(*scene.Form);
        stream.Seek(0);
        const QString text = QString::fromStdString(ObjectBinaryToText(stream));
        const QString expected = "  object DesignRT: TDesignAtRunTime\n"
                                 "    Tag = 3\n"
                                 "    GridSize = 4\n"
                                 "    ChangeEnabled = False\n"
                                 "    OnBeginChange = DesignRTBeginChange\n"
                                 "    OnEndChange = DesignRTEndChange\n"
                                 "    Left = 456\n"
                                 "    Top = 4\n"
                                 "  end\n";
        QVERIFY2(text.contains(expected), qPrintable(text));
    }
};

QTEST_MAIN(TestDesigner)
#include "tst_designer.moc"
