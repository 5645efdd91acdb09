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

QWindow *WindowOf(const TControl *control) { return control->Widget()->window()->windowHandle(); }

QPoint InWindow(const TControl *control, QPoint at) { return control->Widget()->mapTo(control->Widget()->window(), at); }

void Click(const TControl *control, QPoint at, Qt::MouseButton button) {
    QTest::mouseClick(WindowOf(control), button, {}, InWindow(control, at));
}

void Wheel(const TControl *control, QPoint at, QPoint angle) {
    QWindow *window = WindowOf(control);
    const QPoint position = InWindow(control, at);
    QWheelEvent wheel(position, window->mapToGlobal(position), {}, angle, Qt::NoButton, {}, Qt::NoScrollPhase, false);
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
        QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, choice->mapTo(box, choice->rect().center()));
    });
}

} // namespace UserInput
