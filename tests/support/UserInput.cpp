#include "UserInput.h"

#include "classlib/Controls.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace UserInput {

QWindow *WindowOf(const TControl *control) { return control->Widget()->window()->windowHandle(); }

QPoint InWindow(const TControl *control, QPoint at) { return control->Widget()->mapTo(control->Widget()->window(), at); }

void Click(const TControl *control, QPoint at, Qt::MouseButton button) {
    QTest::mouseClick(WindowOf(control), button, {}, InWindow(control, at));
}

void Drag(const TControl *from, QPoint start, const TControl *to, QPoint end) {
    QWindow *window = WindowOf(from);
    QTest::mousePress(window, Qt::LeftButton, {}, InWindow(from, start));
    QTest::mouseMove(window, InWindow(to, end) - QPoint(3, 3));
    QTest::mouseMove(window, InWindow(to, end));
    QTest::mouseRelease(window, Qt::LeftButton, {}, InWindow(to, end));
}

void AnswerNextMessageBox(QMessageBox::StandardButton button, QStringList &asked) {
    QTimer::singleShot(0, [&asked, button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !QTest::qWaitForWindowExposed(box)) return;
        asked << box->text();
        QWidget *choice = box->button(button);
        QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, choice->mapTo(box, choice->rect().center()));
    });
}

} // namespace UserInput
