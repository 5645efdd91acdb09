#include "MessageDlg.h"

#include "Application.h"
#include "Forms.h"
#include "Graphics.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>

#include <algorithm>

int MessageDlg(const QString &message, TMsgDlgType type,
               std::initializer_list<TMsgDlgBtn> buttons) {
    static constexpr QMessageBox::Icon Icons[] = {QMessageBox::Warning, QMessageBox::Critical,
                                                  QMessageBox::Information, QMessageBox::Question};
    struct TChoice {
        QMessageBox::StandardButton Button;
        int Result;
    };
    static constexpr TChoice Choices[] = {{QMessageBox::Yes, mrYes},
                                          {QMessageBox::No, mrNo},
                                          {QMessageBox::Ok, mrOk},
                                          {QMessageBox::Cancel, mrCancel}};

    QMessageBox box(Icons[int(type)], FromAnsi(TApplication::Instance().Title()), message,
                    QMessageBox::NoButton, QApplication::activeWindow());
    bool hasCancel = false, hasNo = false;
    for (TMsgDlgBtn button : buttons) {
        box.addButton(Choices[int(button)].Button);
        hasCancel |= button == TMsgDlgBtn::mbCancel;
        hasNo |= button == TMsgDlgBtn::mbNo;
    }
    // The text alone would decide the box's width, and the window manager cuts a title that
    // does not fit beside the frame's icon and buttons: a spacer across the box keeps its room.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int titleRoom =
        std::min(metrics.horizontalAdvance(box.windowTitle()) + 8 * metrics.height(), 640);
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(titleRoom, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    // Esc and the close box answer Cancel, or No where that is the way out.
    if (!hasCancel && hasNo) box.setEscapeButton(QMessageBox::No);
    box.exec();
    for (const TChoice &choice : Choices)
        if (box.clickedButton() == box.button(choice.Button)) return choice.Result;
    return hasNo && !hasCancel ? mrNo : mrCancel;
}
