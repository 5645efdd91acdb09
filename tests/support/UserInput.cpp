#include "UserInput.h"

#include "classlib/Controls.h"

#include <QApplication>
#include <QPushButton>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

namespace UserInput {

QWindow *WindowOf(const QWidget *widget) {
    return widget->window()->windowHandle();
}
QWindow *WindowOf(const TControl *control) {
    return WindowOf(control->Widget());
}

QPoint InWindow(const QWidget *widget, QPoint at) {
    return widget->mapTo(widget->window(), at);
}
QPoint InWindow(const TControl *control, QPoint at) {
    return InWindow(control->Widget(), at);
}

void Click(const QWidget *widget, QPoint at, Qt::MouseButton button) {
    QTest::mouseClick(WindowOf(widget), button, {}, InWindow(widget, at));
}
void Click(const TControl *control, QPoint at, Qt::MouseButton button) {
    Click(control->Widget(), at, button);
}

int QuickClicks(const TControl *control, QPoint at, int count, int interval) {
    struct TCounter : QObject {
        int Doubles = 0;
        bool eventFilter(QObject *, QEvent *event) override {
            Doubles += event->type() == QEvent::MouseButtonDblClick;
            return false;
        }
    } counter;
    control->Widget()->installEventFilter(&counter);
    QWindow *window = WindowOf(control);
    const QPoint position = InWindow(control, at);
    // QTest keeps one clock for its events and moves it on past the double-click interval after
    // each release; set back, it gives the clicks their pace.
    const int start = QTest::lastMouseTimestamp;
    for (int i = 0; i < count; ++i) {
        QTest::lastMouseTimestamp = start + i * interval;
        QTest::mousePress(window, Qt::LeftButton, {}, position, 1);
        QTest::mouseRelease(window, Qt::LeftButton, {}, position, 1);
    }
    return counter.Doubles;
}

void Wheel(const TControl *control, QPoint at, QPoint angle) {
    Wheel(control->Widget(), at, angle);
}
void Wheel(const QWidget *widget, QPoint at, QPoint angle) {
    QWindow *window = WindowOf(widget);
    const QPoint position = InWindow(widget, at);
    QWheelEvent wheel(position, window->mapToGlobal(position), {}, angle, Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    // Handed to the window as the window system does: only such wheel turns travel up to the
    // parent widgets (sendEvent would mark it as the program's own).
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    static_cast<QObject *>(window)->event(&wheel);
}

void Drag(const TControl *from, QPoint start, const TControl *to, QPoint end) {
    QWindow *window = WindowOf(from);
    QTest::mousePress(window, Qt::LeftButton, {}, InWindow(from, start));
    QTest::mouseMove(window, InWindow(to, end) - QPoint(3, 3));
    QTest::mouseMove(window, InWindow(to, end));
    QTest::mouseRelease(window, Qt::LeftButton, {}, InWindow(to, end));
}

void AnswerNextMessageBox(QMessageBox::StandardButton button, QStringList &asked, int attempts) {
    QTimer::singleShot(10, [&asked, button, attempts] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        // Events may be handled before the box opens (a key's modifiers are pressed first).
        if (!box && attempts > 0) return AnswerNextMessageBox(button, asked, attempts - 1);
        if (!box || !QTest::qWaitForWindowExposed(box)) return;
        asked << box->text();
        QWidget *choice = box->button(button);
        QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {},
                          choice->mapTo(box, choice->rect().center()));
    });
}

} // namespace UserInput
