#pragma once

// Input as a user gives it: mouse events go to the window and reach the controls through Qt's
// dispatch, and message boxes are answered by clicking their buttons.

#include <QMessageBox>
#include <QPoint>
#include <QStringList>

class QWidget;
class QWindow;
class TControl;

namespace UserInput {

// Controls and plain widgets alike.
QWindow *WindowOf(const QWidget *widget);
QWindow *WindowOf(const TControl *control);
// A point of the control in the coordinates of its window.
QPoint InWindow(const QWidget *widget, QPoint at);
QPoint InWindow(const TControl *control, QPoint at);
void Click(const QWidget *widget, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void Click(const TControl *control, QPoint at, Qt::MouseButton button = Qt::LeftButton);
// Clicks count times, interval milliseconds apart by the events' clock, so that clicks closer
// than the platform's double-click interval arrive as Qt makes them: press, release, double
// click, release. Returns how many double clicks the control's widget got.
int QuickClicks(const TControl *control, QPoint at, int count, int interval);
// Turns the mouse wheel over a point of the control by angle (120 a notch; negative is down).
void Wheel(const QWidget *widget, QPoint at, QPoint angle);
void Wheel(const TControl *control, QPoint at, QPoint angle);
// Drags with the left button from a point of one control to a point of another.
void Drag(const TControl *from, QPoint start, const TControl *to, QPoint end);
// Answers the next message box that opens with the button, and adds its text to asked.
void AnswerNextMessageBox(QMessageBox::StandardButton button, QStringList &asked,
                          int attempts = 100);

} // namespace UserInput
