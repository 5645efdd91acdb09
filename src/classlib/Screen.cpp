#include "Screen.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>

TScreen &TScreen::Instance() {
    static TScreen screen;
    return screen;
}

TScreen::TScreen() {
    if (auto *application = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QObject::connect(application, &QGuiApplication::focusWindowChanged, application,
                         [] { Instance().ActiveFormChanged(); });
}

void TScreen::SetCursor(TCursor cursor) {
    if (cursor == FCursor) return;
    if (FCursor != crDefault) QApplication::restoreOverrideCursor();
    FCursor = cursor;
    if (cursor != crDefault) QApplication::setOverrideCursor(CursorToQCursor(cursor));
}

void TScreen::ActiveFormChanged() {
    // Also sent while a form is destroyed, where nothing may escape.
    try {
        OnActiveFormChange(nullptr);
    } catch (...) {
    }
}
