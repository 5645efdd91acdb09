#include "FormFixture.h"

#include "classlib/AppEvnts.h"
#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "classlib/StdCtrls.h"
#include "stream/ClassRegistry.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"
#include "stream/Writer.h"

#include <QRegularExpression>

namespace FormFixture {

void RegisterControlClasses() {
    for (const TClassInfo *info :
         {&TPanel::StaticClassInfo(), &TPaintBox::StaticClassInfo(), &TScrollBox::StaticClassInfo(),
          &TLabel::StaticClassInfo(), &TButton::StaticClassInfo(), &TCheckBox::StaticClassInfo(),
          &TRadioButton::StaticClassInfo(), &TMemo::StaticClassInfo(),
          &TSpeedButton::StaticClassInfo(), &TTrackBar::StaticClassInfo(),
          &TStatusBar::StaticClassInfo(), &TOpenDialog::StaticClassInfo(),
          &TSaveDialog::StaticClassInfo(), &TApplicationEvents::StaticClassInfo(),
          &TPopupMenu::StaticClassInfo(), &TMenuItem::StaticClassInfo()})
        RegisterClass(*info);
}

void ReadInto(TForm &form, const QString &description) {
    RegisterControlClasses();
    form.ReadDescription(description.toStdString());
}

QString DescriptionOf(TComponent &root) {
    TMemoryStream stream;
    TWriter(stream).WriteRootComponent(root);
    stream.Seek(0);
    return QString::fromStdString(ObjectBinaryToText(stream));
}

QString Canonical(const QString &description) {
    TMemoryStream stream;
    ObjectTextToBinary(description.toStdString(), stream);
    stream.Seek(0);
    return QString::fromStdString(ObjectBinaryToText(stream));
}

QString WithoutMachineLines(const QString &text) {
    static const QRegularExpression machine(
        QStringLiteral("^  (PixelsPerInch|TextHeight) = \\d+\\n"),
        QRegularExpression::MultilineOption);
    return QString(text).remove(machine);
}

} // namespace FormFixture
