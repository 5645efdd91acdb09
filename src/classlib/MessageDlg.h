#pragma once

// Modal questions and notices in the program's own wording.

#include <QString>

#include <initializer_list>

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel };

// Shows the message in a modal box titled with the application's title, wide enough for the
// title to show in full on the window's frame (up to 640 pixels), and returns the modal
// result of the button chosen (mrYes, mrNo, mrOk, mrCancel); closing the box otherwise gives
// mrCancel, or mrNo when there is no Cancel button but a No.
int MessageDlg(const QString &message, TMsgDlgType type, std::initializer_list<TMsgDlgBtn> buttons);
