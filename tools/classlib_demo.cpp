// Shows the standard controls of the class library on one form and saves a picture of it:
//   classlib_demo [PICTURE.png]   (default /tmp/controls-demo.png)
// Run it on a display (or under xvfb-run) to look at the controls as the program will draw them.

#include "classlib/AppEvnts.h"
#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "stream/ClassRegistry.h"

#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QTimer>

#include <cstdio>

namespace {

const char *const Description = R"(object Demo: TForm
  Left = 0
  Top = 0
  Width = 760
  Height = 440
  Caption = 'Zentaro - controlli'
  Color = clBtnFace
  Font.Charset = ANSI_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Arial'
  Font.Style = []
  object ToolBar: TPanel
    Left = 0
    Top = 0
    Width = 760
    Height = 38
    Align = alTop
    TabOrder = 0
    object BtnNew: TSpeedButton
      Left = 4
      Top = 4
      Width = 30
      Height = 30
      Hint = 'Nuovo|Crea una nuova rete logica'
      Flat = True
      ShowHint = True
    end
    object BtnOpen: TSpeedButton
      Left = 36
      Top = 4
      Width = 30
      Height = 30
      Flat = True
    end
    object BtnSave: TSpeedButton
      Left = 68
      Top = 4
      Width = 30
      Height = 30
      Enabled = False
      Flat = True
    end
    object Label1: TLabel
      Left = 292
      Top = 12
      Width = 26
      Height = 14
      Caption = 'Clock'
      Transparent = True
    end
    object TrackBarDelay: TTrackBar
      Left = 320
      Top = 8
      Width = 150
      Height = 26
      Frequency = 100
      LineSize = 50
      Max = 1950
      PageSize = 500
      Position = 1000
      TabOrder = 0
      ThumbLength = 12
    end
    object CBShowPortState: TCheckBox
      Left = 500
      Top = 11
      Width = 150
      Height = 17
      Caption = 'Visualizza Stato Porte'
      Checked = True
      TabOrder = 1
    end
  end
  object PanelTop: TPanel
    Left = 0
    Top = 38
    Width = 760
    Height = 41
    Align = alTop
    TabOrder = 1
    object BtnActive: TSpeedButton
      Left = 4
      Top = 4
      Width = 105
      Height = 33
      AllowAllUp = True
      GroupIndex = 1
      Down = True
      Caption = 'Attiva la Rete'
    end
    object PanelCtrl: TPanel
      Left = 124
      Top = 2
      Width = 265
      Height = 37
      BevelOuter = bvNone
      TabOrder = 0
      object BtnNewLog: TSpeedButton
        Left = 192
        Top = 2
        Width = 69
        Height = 34
        Caption = 'Nuova'
        Enabled = False
      end
      object RBPosPort: TRadioButton
        Left = 0
        Top = 0
        Width = 177
        Height = 17
        Caption = 'Posiziona e dimensiona le Porte'
        TabOrder = 0
      end
      object RBLnkPort: TRadioButton
        Left = 0
        Top = 18
        Width = 185
        Height = 17
        Caption = 'Collega le Porte / Imposta Ingressi'
        Checked = True
        TabOrder = 1
        TabStop = True
      end
    end
  end
  object StatusBar: TStatusBar
    Left = 0
    Top = 421
    Width = 760
    Height = 19
    SimplePanel = True
    SimpleText = 'Crea una nuova rete logica'
  end
  object PanelReport: TPanel
    Left = 520
    Top = 79
    Width = 240
    Height = 342
    Align = alRight
    BevelInner = bvLowered
    BorderWidth = 2
    Caption = 'Pannello'
    TabOrder = 2
    object MemoError: TMemo
      Left = 8
      Top = 8
      Width = 224
      Height = 120
      Anchors = [akLeft, akTop, akRight]
      ScrollBars = ssVertical
      TabOrder = 0
    end
    object Label2: TLabel
      Left = 8
      Top = 262
      Width = 200
      Height = 14
      Caption = 'Comunicare l''errore?'
    end
    object BtnOkDef: TButton
      Left = 100
      Top = 300
      Width = 60
      Height = 25
      Caption = '&Si'
      Default = True
      ModalResult = 6
      TabOrder = 1
    end
    object BtnCancelDef: TButton
      Left = 166
      Top = 300
      Width = 60
      Height = 25
      Cancel = True
      Caption = '&No'
      ModalResult = 7
      TabOrder = 2
    end
  end
  object ScrollBoxCli: TScrollBox
    Left = 0
    Top = 79
    Width = 520
    Height = 342
    HorzScrollBar.Position = 40
    VertScrollBar.Position = 20
    Align = alClient
    TabOrder = 3
    object PaintBoxNet: TPaintBox
      Left = -40
      Top = -20
      Width = 2000
      Height = 2000
    end
    object PanelDefComp: TPanel
      Left = 348
      Top = -8
      Width = 73
      Height = 77
      Caption = 'Porta'
      TabOrder = 0
    end
    object PanelLow: TPanel
      Left = 60
      Top = 120
      Width = 150
      Height = 60
      BevelOuter = bvLowered
      Caption = 'Sotto il pannello'
      TabOrder = 1
    end
  end
  object ApplicationEvents: TApplicationEvents
  end
end
)";

// A 16 x 16 bitmap file whose bottom-left pixel is the olive ground that the button leaves out.
std::string Glyph(int kind) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor(0x80, 0x80, 0x00));
    QPainter painter(&image);
    painter.setPen(Qt::black);
    switch (kind) {
    case 0: // a sheet
        painter.fillRect(3, 1, 10, 14, Qt::white);
        painter.drawRect(3, 1, 9, 13);
        painter.drawLine(5, 5, 10, 5);
        painter.drawLine(5, 8, 10, 8);
        break;
    case 1: // a folder
        painter.fillRect(1, 4, 14, 10, QColor(0xFF, 0xD0, 0x40));
        painter.drawRect(1, 4, 13, 9);
        painter.drawLine(2, 3, 6, 3);
        break;
    case 2: // a disk
        painter.fillRect(2, 2, 12, 12, QColor(0x20, 0x40, 0xC0));
        painter.fillRect(5, 3, 6, 4, Qt::white);
        painter.drawRect(2, 2, 11, 11);
        break;
    default: // a gate
        painter.setBrush(Qt::red);
        painter.drawEllipse(3, 3, 9, 9);
        painter.drawLine(0, 7, 3, 7);
        painter.drawLine(12, 7, 15, 7);
        break;
    }
    painter.end();
    QByteArray file;
    QBuffer buffer(&file);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "BMP").write(image);
    return file.toStdString();
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    const QString picture =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/controls-demo.png");

    for (const TClassInfo *info :
         {&TPanel::StaticClassInfo(), &TPaintBox::StaticClassInfo(), &TScrollBox::StaticClassInfo(),
          &TLabel::StaticClassInfo(), &TButton::StaticClassInfo(), &TCheckBox::StaticClassInfo(),
          &TRadioButton::StaticClassInfo(), &TMemo::StaticClassInfo(),
          &TSpeedButton::StaticClassInfo(), &TTrackBar::StaticClassInfo(),
          &TStatusBar::StaticClassInfo(), &TApplicationEvents::StaticClassInfo()})
        RegisterClass(*info);

    TForm form(nullptr);
    form.ReadDescription(Description);
    const char *buttons[] = {"BtnNew", "BtnOpen", "BtnSave", "BtnActive", "BtnNewLog"};
    for (int i = 0; i < 5; ++i)
        if (auto *button = dynamic_cast<TSpeedButton *>(form.FindComponent(buttons[i])))
            button->Glyph()->LoadFromFile(Glyph(std::min(i, 3)));
    auto *memo = dynamic_cast<TMemo *>(form.FindComponent("MemoError"));
    for (const char *line :
         {"Errore: \"Prova\"", "SysErr: 0 - ", "   Modulo Attivo: ", "Moduli Aperti: "})
        memo->Lines().Add(line);
    auto *surface = dynamic_cast<TPaintBox *>(form.FindComponent("PaintBoxNet"));
    surface->OnPaint = TNotifyEvent::Handler([surface](TComponent *) {
        QPainter &canvas = *surface->Canvas();
        canvas.setPen(QColor(0xB0, 0xB0, 0xB0));
        for (int x = 0; x < surface->Width(); x += 40)
            canvas.drawLine(x, 0, x, surface->Height());
        for (int y = 0; y < surface->Height(); y += 40)
            canvas.drawLine(0, y, surface->Width(), y);
        canvas.setPen(QPen(Qt::blue, 2));
        canvas.drawPolyline(
            QPolygon({QPoint(150, 220), QPoint(250, 220), QPoint(250, 80), QPoint(388, 80)}));
    });

    form.Show();
    QTimer::singleShot(300, &application, [&] {
        const bool saved = form.Widget()->grab().save(picture);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(picture));
        QApplication::exit(saved ? 0 : 1);
    });
    return QApplication::exec();
}
