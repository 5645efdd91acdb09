#include "support/FormFixture.h"
#include "support/UserInput.h"

#include "classlib/AppEvnts.h"
#include "classlib/Application.h"
#include "classlib/Buttons.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "stream/Errors.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <stdexcept>

using namespace FormFixture;

namespace {

// A form whose methods the descriptions below bind events to; it logs the senders.
class TTestForm : public TForm {
public:
    explicit TTestForm(TComponent *owner) : TForm(owner) {}
    ZENTARO_CLASS_INFO()

    QStringList Calls;
    void Clicked(TComponent *sender) { Calls << QString::fromStdString(sender->Name()); }
    void Excepted(TComponent *, std::exception_ptr) {}

    template <typename T> T *Part(const QString &name) const {
        auto *part = dynamic_cast<T *>(FindComponent(name.toStdString()));
        if (!part) qFatal("No %s", qPrintable(name));
        return part;
    }
};

const TClassInfo &TTestForm::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTestForm, TForm>("TTestForm")
                                       .Method("BtnActiveClick", &TTestForm::Clicked)
                                       .Method("BtnNewLogClick", &TTestForm::Clicked)
                                       .Method("CBShowPortTypeClick", &TTestForm::Clicked)
                                       .Method("RBPosPortClick", &TTestForm::Clicked)
                                       .Method("PaintBoxNetPaint", &TTestForm::Clicked)
                                       .Method("Clicked", &TTestForm::Clicked)
                                       .Method("ApplicationEventsException", &TTestForm::Excepted)
                                       .Build();
    return info;
}

// A form of the given client size around its children's records, which may put several
// properties on one line.
QString FormText(const QString &children, int width = 492, int height = 373) {
    return QStringLiteral(
               "object Form: TTestForm\n  Left = 0\n  Top = 0\n  Width = %1\n  Height = %2\n"
               "  Color = clBtnFace\n  Font.Charset = ANSI_CHARSET\n  Font.Color = clWindowText\n"
               "  Font.Height = -11\n  Font.Name = 'Arial'\n  Font.Style = []\n  OldCreateOrder = "
               "False\n")
               .arg(width)
               .arg(height) +
           children + QStringLiteral("end\n");
}

void Le(QByteArray &bytes, quint32 value, int size) {
    for (int i = 0; i < size; ++i)
        bytes += char(value >> 8 * i & 0xFF);
}

// A 16 x 16 bitmap file: silver ground (the bottom-left pixel), a black square at columns and
// rows 4..7 from the top, and a red pixel at (12, 2).
QByteArray BitmapFile(int bitsPerPixel) {
    const QRgb colours[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                              0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                              0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    const int palette = bitsPerPixel == 4 ? 64 : 0, row = bitsPerPixel == 4 ? 8 : 48;
    QByteArray file("BM");
    for (quint32 value :
         {quint32(54 + palette + 16 * row), 0u, quint32(54 + palette), 40u, 16u, 16u})
        Le(file, value, 4);
    Le(file, 1, 2);
    Le(file, bitsPerPixel, 2);
    for (quint32 value : {0u, quint32(16 * row), 0u, 0u, 0u, 0u})
        Le(file, value, 4);
    if (bitsPerPixel == 4)
        for (QRgb rgb : colours)
            Le(file, rgb, 4); // blue, green, red, 0
    auto index = [](int x, int y) {
        return x >= 4 && x <= 7 && y >= 4 && y <= 7 ? 0 : x == 12 && y == 2 ? 9 : 8;
    };
    for (int y = 15; y >= 0; --y) // bottom row first
        for (int x = 0; x < 16; x += bitsPerPixel == 4 ? 2 : 1)
            if (bitsPerPixel == 4)
                file += char(index(x, y) << 4 | index(x + 1, y));
            else
                Le(file, colours[index(x, y)], 3);
    return file;
}

// A Glyph.Data value: the file's length, then the file.
QString GlyphData(int bitsPerPixel) {
    QByteArray data;
    const QByteArray file = BitmapFile(bitsPerPixel);
    Le(data, quint32(file.size()), 4);
    return QStringLiteral("{") + QString::fromLatin1((data + file).toHex()) + QStringLiteral("}");
}

// The network window's fixed controls as its initial layout writes them, a record a line (the
// sample panel's gate is left out: gates are no controls of this library).
QString NetworkLayout() {
    return QStringLiteral(R"(
object PanelTop: TPanel Tag = -1 Left = 0 Top = 0 Width = 492 Height = 41 Align = alTop TabOrder = 0
  object BtnActive: TSpeedButton Tag = -1 Left = 4 Top = 4 Width = 105 Height = 33
    Hint = 'Attiva|Attiva la rete' AllowAllUp = True GroupIndex = 1 Caption = 'Attiva la Rete' Glyph.Data = %1
    ParentShowHint = False ShowHint = True OnClick = BtnActiveClick end
  object CBShowPortType: TCheckBox Tag = -1 Left = 132 Top = 12 Width = 125 Height = 17
    Caption = 'Visualizza Tipo Porte' TabOrder = 1 OnClick = CBShowPortTypeClick end
  object PanelCtrl: TPanel Tag = -1 Left = 124 Top = 2 Width = 265 Height = 37 BevelOuter = bvNone TabOrder = 0
    object BtnNewLog: TSpeedButton Tag = -1 Left = 192 Top = 2 Width = 69 Height = 34
      Hint = 'Aggiungi|Aggiungi Componente' Caption = 'Nuova' Glyph.Data = %2
      ParentShowHint = False ShowHint = True OnClick = BtnNewLogClick end
    object RBPosPort: TRadioButton Tag = -1 Left = 0 Top = 0 Width = 177 Height = 17
      Caption = 'Posiziona e dimensiona le Porte' Checked = True TabOrder = 0 TabStop = True OnClick = RBPosPortClick end
    object RBLnkPort: TRadioButton Tag = -1 Left = 0 Top = 18 Width = 185 Height = 17
      Caption = 'Collega le Porte / Imposta Ingressi' TabOrder = 1 OnClick = RBPosPortClick end
  end
end
object ScrollBoxCli: TScrollBox Tag = -1 Left = 0 Top = 41 Width = 492 Height = 332 Align = alClient TabOrder = 1
  object PaintBoxNet: TPaintBox Tag = -1 Left = 0 Top = 0 Width = 2000 Height = 2000 OnPaint = PaintBoxNetPaint end
  object PanelDefComp: TPanel Left = 388 Top = 12 Width = 73 Height = 77 TabOrder = 0 end
end
)")
        .arg(GlyphData(4), GlyphData(24));
}

void Click(TControl *control, QPoint at = QPoint(6, 8)) {
    QTest::mouseClick(control->Widget(), Qt::LeftButton, {}, at);
}

// Presses inside the control and lets go outside it.
void Slip(TControl *control) {
    QTest::mousePress(control->Widget(), Qt::LeftButton, {}, QPoint(6, 8));
    QTest::mouseRelease(control->Widget(), Qt::LeftButton, {}, QPoint(6, 200));
}

QColor PixelOf(TControl *control, QPoint at) {
    return control->Widget()->grab().toImage().pixelColor(at);
}

bool IsChecked(TControl *control) {
    return static_cast<QAbstractButton *>(control->Widget())->isChecked();
}

} // namespace

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { RegisterControlClasses(); }
    void streamRoundTrip_data();
    void streamRoundTrip();
    void layoutRecordsCarryTheirValues();
    void radioButtonsAreExclusive_data();
    void radioButtonsAreExclusive();
    void speedButtonGroups_data();
    void speedButtonGroups();
    void glyphTransparencyAndGreying();
    void checkBoxClicks_data();
    void checkBoxClicks();
    void scrollBoxScrolling_data();
    void scrollBoxScrolling();
    void scrollBoxExtentFollowsChildren();
    void readChildrenStackAndShow_data();
    void readChildrenStackAndShow();
    void hints_data();
    void hints();
    void panelBevels_data();
    void panelBevels();
    void anchors_data();
    void anchors();
    void memoLines_data();
    void memoLines();
    void trackBar_data();
    void trackBar();
    void modalButtons_data();
    void modalButtons();
    void fileDialogs_data();
    void fileDialogs();
    void fileDialogSidebar();
    void fileDialogReadsNoFile();
    void applicationEventsUnhook();
    void hostileValues_data();
    void hostileValues();
    void captionsFitTheirRoom_data();
    void captionsFitTheirRoom();
};

void TestControls::streamRoundTrip_data() {
    QTest::addColumn<QString>("children");
    QTest::newRow("network window layout") << NetworkLayout();
    QTest::newRow("panel")
        << R"(object P: TPanel Left = 0 Top = 323 Width = 492 Height = 50 Align = alBottom
  Alignment = taLeftJustify BevelInner = bvLowered BevelOuter = bvSpace BevelWidth = 2 BorderWidth = 3
  Caption = 'Pannello' Color = clWhite Enabled = False TabOrder = 0 Visible = False end)";
    QTest::newRow("speed button")
        << R"(object B: TSpeedButton Left = 4 Top = 4 Width = 30 Height = 30
  Cursor = crHandPoint Hint = 'Disponi in cascata' AllowAllUp = True GroupIndex = 3 Down = True Caption = 'x'
  Enabled = False Flat = True ParentShowHint = False ShowHint = False Visible = False OnClick = Clicked end)";
    QTest::newRow("label and check box")
        << R"(object L: TLabel Left = 292 Top = 8 Width = 26 Height = 14
  Anchors = [akTop, akRight] Caption = 'Clock' Transparent = True end
object C: TCheckBox Left = 500 Top = 8 Width = 129 Height = 17 Alignment = taLeftJustify
  Caption = 'Visualizza Stato Porte' Checked = True Enabled = False TabOrder = 0 OnClick = Clicked end)";
    QTest::newRow("scrolled scroll box")
        << R"(object S: TScrollBox Left = 0 Top = 0 Width = 200 Height = 150
  HorzScrollBar.Position = 120 VertScrollBar.Position = 48 TabOrder = 0
  object Surface: TPaintBox Left = -120 Top = -48 Width = 2000 Height = 2000 end
  object Inner: TPanel Left = 268 Top = -36 Width = 73 Height = 77 TabOrder = 0 end
end)";
    QTest::newRow("memo and buttons")
        << R"(object M: TMemo Left = 4 Top = 4 Width = 498 Height = 105
  Anchors = [akLeft, akTop, akRight, akBottom] BorderStyle = bsNone Color = clBtnFace ReadOnly = True
  ScrollBars = ssVertical TabOrder = 0 WordWrap = False end
object Yes: TButton Left = 378 Top = 92 Width = 60 Height = 25 Anchors = [akTop, akRight] Caption = '&Si'
  Default = True ModalResult = 6 TabOrder = 1 end
object No: TButton Left = 442 Top = 92 Width = 60 Height = 25 Cancel = True Caption = '&No' ModalResult = 7
  TabOrder = 2 OnClick = Clicked end)";
    QTest::newRow("main window parts")
        << R"(object T: TTrackBar Left = 320 Top = 8 Width = 150 Height = 21
  Frequency = 100 LineSize = 50 Max = 1950 Orientation = trVertical PageSize = 500 Position = 1000 TabOrder = 0
  ThumbLength = 12 TickMarks = tmBoth OnChange = Clicked end
object StatusBar: TStatusBar Left = 0 Top = 354 Width = 492 Height = 19 SimplePanel = True SimpleText = 'Pronto' end
object OpenDialog: TOpenDialog DefaultExt = 'ZTR' FileName = 'NoName.ZTR'
  Filter = 'Zentaro (*.ztr)|*.ZTR|Tutti i File (*.*)|*.*' InitialDir = '/opt/zentaro'
  Options = [ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing] Left = 8 Top = 40 end
object SaveDialog: TSaveDialog Options = [ofOverwritePrompt, ofHideReadOnly, ofPathMustExist, ofEnableSizing] end
object ApplicationEvents: TApplicationEvents OnException = ApplicationEventsException OnHint = Clicked Top = 72 end)";
}

void TestControls::streamRoundTrip() {
    QFETCH(QString, children);
    const QString description = FormText(children + '\n');
    const QString written = RoundTrip<TTestForm>(description);
    QCOMPARE(written.split('\n'), Canonical(description).split('\n'));
    QCOMPARE(RoundTrip<TTestForm>(written), written);
}

void TestControls::layoutRecordsCarryTheirValues() {
    TTestForm form(nullptr);
    ReadInto(form, FormText(NetworkLayout()));
    auto *btnActive = form.Part<TSpeedButton>("BtnActive");
    QVERIFY(btnActive->AllowAllUp() && btnActive->GroupIndex() == 1 && !btnActive->Down());
    QCOMPARE(btnActive->Glyph()->Image().size(), QSize(16, 16));
    // The payloads of the two glyphs: 16 colours and 24-bit colour.
    QCOMPARE(btnActive->Glyph()->Data().size(), size_t(250));
    QCOMPARE(form.Part<TSpeedButton>("BtnNewLog")->Glyph()->Data().size(), size_t(826));
    QCOMPARE(form.Part<TSpeedButton>("BtnNewLog")->Glyph()->Image().pixelColor(12, 2),
             QColor(Qt::red));
    QCOMPARE(form.Part<TPanel>("PanelCtrl")->BevelOuter(), TBevelCut::bvNone);
    QCOMPARE(form.Part<TPanel>("PanelTop")->BevelOuter(), TBevelCut::bvRaised);
    // Reading fires no click, though the handlers are bound.
    QVERIFY(form.Calls.isEmpty());
    // PanelCtrl lies over the check box it covers.
    QCOMPARE(form.Part<TPanel>("PanelTop")->WinControls().back(), form.Part<TPanel>("PanelCtrl"));
    auto *box = form.Part<TScrollBox>("ScrollBoxCli");
    QCOMPARE(box->Extent(), QSize(2000, 2000));
    QVERIFY(box->ViewSize().width() < 492 && box->ViewSize().height() < 332);
}

void TestControls::radioButtonsAreExclusive_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("as read") << QStringList() << "A C" << QStringList();
    QTest::newRow("click the other") << QStringList{"click B"} << "B C" << QStringList{"B"};
    QTest::newRow("click the checked one") << QStringList{"click A"} << "A C" << QStringList();
    QTest::newRow("back and forth")
        << QStringList{"click B", "click A"} << "A C" << QStringList{"B", "A"};
    QTest::newRow("checked by code") << QStringList{"check B"} << "B C" << QStringList{"B"};
    QTest::newRow("unchecked by code") << QStringList{"uncheck A"} << "C" << QStringList();
    QTest::newRow("other parent") << QStringList{"click D"} << "A D" << QStringList{"D"};
}

void TestControls::radioButtonsAreExclusive() {
    QFETCH(QStringList, actions);
    QFETCH(QString, checked);
    QFETCH(QStringList, calls);
    const QString radio = "object %1: TRadioButton Left = 0 Top = %2 Width = 100 Height = 17 %3 "
                          "OnClick = Clicked end\n";
    const QString panel =
        "object %1: TPanel Left = 0 Top = %2 Width = 200 Height = 60 TabOrder = 0\n%3%4end\n";
    const QString on = "Checked = True TabStop = True";
    TTestForm form(nullptr);
    ReadInto(form, FormText(panel.arg("P1").arg(0).arg(radio.arg("A").arg(0).arg(on),
                                                       radio.arg("B").arg(20).arg("")) +
                            panel.arg("P2").arg(60).arg(radio.arg("C").arg(0).arg(on),
                                                        radio.arg("D").arg(20).arg(""))));
    form.Show();
    for (const QString &action : actions) {
        auto *target = form.Part<TRadioButton>(action.section(' ', 1));
        if (action.startsWith("click"))
            Click(target);
        else
            target->SetChecked(action.startsWith("check"));
    }
    QStringList actual;
    for (const char *name : {"A", "B", "C", "D"}) {
        auto *button = form.Part<TRadioButton>(name);
        if (button->Checked()) actual << name;
        QCOMPARE(button->TabStop(), button->Checked());
        QCOMPARE(IsChecked(button), button->Checked());
    }
    QCOMPARE(actual.join(' '), checked);
    QCOMPARE(form.Calls, calls);
}

void TestControls::speedButtonGroups_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("down");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("up button goes down") << QStringList{"click A1"} << "A1" << QStringList{"A1+"};
    QTest::newRow("another of the group takes over")
        << QStringList{"click A1", "click A2"} << "A2" << QStringList{"A1+", "A2+"};
    QTest::newRow("down one stays down")
        << QStringList{"click A1", "click A1"} << "A1" << QStringList{"A1+", "A1+"};
    QTest::newRow("all up allowed")
        << QStringList{"click B", "click B"} << "" << QStringList{"B+", "B-"};
    QTest::newRow("groups are separate")
        << QStringList{"click A1", "click B"} << "A1 B" << QStringList{"A1+", "B+"};
    QTest::newRow("group 0 only clicks") << QStringList{"click P"} << "" << QStringList{"P-"};
    QTest::newRow("released outside") << QStringList{"slip A1"} << "" << QStringList();
    QTest::newRow("down by code") << QStringList{"down A1", "down A2"} << "A2" << QStringList();
    QTest::newRow("disabled") << QStringList{"disable A1", "click A1"} << "" << QStringList();
    // Clicks 100 ms apart, in window-level input: Qt makes every second one a double click.
    QTest::newRow("double click toggles twice")
        << QStringList{"quick2 B"} << "" << QStringList{"B+", "B-"};
    QTest::newRow("three quick clicks")
        << QStringList{"quick3 B"} << "B" << QStringList{"B+", "B-", "B+"};
    QTest::newRow("ten quick clicks") << QStringList{"quick10 P"} << "" << QStringList(10, "P-");
}

void TestControls::speedButtonGroups() {
    QFETCH(QStringList, actions);
    QFETCH(QString, down);
    QFETCH(QStringList, calls);
    const QString button =
        "object %1: TSpeedButton Left = %2 Top = 4 Width = 30 Height = 30 %3 GroupIndex = %4 end\n";
    TTestForm form(nullptr);
    ReadInto(form,
             FormText("object Bar: TPanel Left = 0 Top = 0 Width = 300 Height = 40 TabOrder = 0\n" +
                      button.arg("A1").arg(0).arg("").arg(1) +
                      button.arg("A2").arg(40).arg("").arg(1) +
                      button.arg("B").arg(80).arg("AllowAllUp = True").arg(2) +
                      button.arg("P").arg(120).arg("").arg(0) + "end\n"));
    form.Show();
    QStringList log;
    int panelClicks = 0;
    form.Part<TPanel>("Bar")->OnClick = TNotifyEvent::Handler([&](TComponent *) { ++panelClicks; });
    for (const char *name : {"A1", "A2", "B", "P"}) {
        auto *speed = form.Part<TSpeedButton>(name);
        // OnClick sees the state the click left.
        speed->OnClick = TNotifyEvent::Handler([&log, speed](TComponent *) {
            log << QString::fromStdString(speed->Name()) + (speed->Down() ? "+" : "-");
        });
    }
    for (const QString &action : actions) {
        auto *target = form.Part<TSpeedButton>(action.section(' ', 1));
        if (action.startsWith("click"))
            Click(target);
        else if (action.startsWith("quick"))
            QVERIFY(UserInput::QuickClicks(target, {10, 8},
                                           action.section(' ', 0, 0).mid(5).toInt(), 100) > 0);
        else if (action.startsWith("slip"))
            Slip(target);
        else if (action.startsWith("down"))
            target->SetDown(true);
        else
            target->SetEnabled(false);
    }
    QStringList actual;
    for (const char *name : {"A1", "A2", "B", "P"})
        if (form.Part<TSpeedButton>(name)->Down()) actual << name;
    QCOMPARE(actual.join(' '), down);
    QCOMPARE(log, calls);
    // An enabled windowless control's clicks are its own, not its parent's.
    if (!actions.contains("disable A1")) QCOMPARE(panelClicks, 0);
}

void TestControls::glyphTransparencyAndGreying() {
    TForm form(nullptr);
    form.SetBounds(0, 0, 100, 100);
    TSpeedButton button(&form);
    button.SetBounds(0, 0, 40, 40);
    button.SetParent(&form);
    button.Glyph()->LoadFromFile(BitmapFile(4).toStdString());
    form.Show();
    // The glyph sits centred at (12, 12); its silver ground is transparent over the face.
    const QColor face = ColorToQColor(clBtnFace);
    QCOMPARE(PixelOf(&button, QPoint(13, 13)), face);
    QCOMPARE(PixelOf(&button, QPoint(16, 16)), QColor(Qt::black));
    QCOMPARE(PixelOf(&button, QPoint(24, 14)), QColor(Qt::red));
    button.SetEnabled(false);
    QCOMPARE(PixelOf(&button, QPoint(16, 16)), ColorToQColor(clBtnShadow));
    QCOMPARE(PixelOf(&button, QPoint(20, 20)), ColorToQColor(clBtnHighlight));
    QCOMPARE(PixelOf(&button, QPoint(13, 13)), face);
}

void TestControls::checkBoxClicks_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<int>("clicks");
    QTest::newRow("mouse click ticks") << QStringList{"mouse"} << true << 1;
    QTest::newRow("second click unticks") << QStringList{"mouse", "mouse"} << false << 2;
    QTest::newRow("space ticks") << QStringList{"space"} << true << 1;
    QTest::newRow("set from code") << QStringList{"on"} << true << 1;
    QTest::newRow("same value from code") << QStringList{"off"} << false << 0;
    QTest::newRow("released outside") << QStringList{"slip"} << false << 0;
}

void TestControls::checkBoxClicks() {
    QFETCH(QStringList, actions);
    QFETCH(bool, checked);
    QFETCH(int, clicks);
    TTestForm form(nullptr);
    ReadInto(
        form,
        FormText(
            "object CB: TCheckBox Left = 8 Top = 8 Width = 150 Height = 17 Caption = 'Visualizza'"
            " TabOrder = 0 OnClick = Clicked end\n"));
    form.Show();
    auto *box = form.Part<TCheckBox>("CB");
    for (const QString &action : actions) {
        if (action == "mouse")
            Click(box);
        else if (action == "space")
            QTest::keyClick(box->Widget(), Qt::Key_Space);
        else if (action == "slip")
            Slip(box);
        else
            box->SetChecked(action == "on");
    }
    QCOMPARE(box->Checked(), checked);
    QCOMPARE(IsChecked(box), checked);
    QCOMPARE(form.Calls.size(), clicks);
}

void TestControls::scrollBoxScrolling_data() {
    QTest::addColumn<QPoint>("requested");
    QTest::addColumn<bool>("byScrollBars");
    QTest::addColumn<bool>("clamped");
    QTest::newRow("not scrolled") << QPoint(0, 0) << false << false;
    QTest::newRow("by code") << QPoint(100, 200) << false << false;
    QTest::newRow("by the scroll bars") << QPoint(37, 410) << true << false;
    QTest::newRow("beyond the extent") << QPoint(5000, 5000) << false << true;
    QTest::newRow("before the start") << QPoint(-20, -1) << false << true;
}

void TestControls::scrollBoxScrolling() {
    QFETCH(QPoint, requested);
    QFETCH(bool, byScrollBars);
    QFETCH(bool, clamped);
    TTestForm form(nullptr);
    ReadInto(form,
             FormText(R"(object S: TScrollBox Left = 0 Top = 0 Width = 200 Height = 150 TabOrder = 0
  object Surface: TPaintBox Left = 0 Top = 0 Width = 1000 Height = 800 end
  object X: TPanel Left = 50 Top = 60 Width = 40 Height = 30 TabOrder = 0 end
end
)"));
    auto *box = form.Part<TScrollBox>("S");
    auto *x = form.Part<TPanel>("X");
    if (byScrollBars)
        for (QScrollBar *bar : box->Widget()->findChildren<QScrollBar *>())
            bar->setValue(bar->orientation() == Qt::Horizontal ? requested.x() : requested.y());
    else
        box->ScrollTo(requested);
    const QSize limit = box->Extent() - box->ViewSize();
    const QPoint expected = !clamped ? requested
                                     : QPoint(std::clamp(requested.x(), 0, limit.width()),
                                              std::clamp(requested.y(), 0, limit.height()));
    QCOMPARE(QPoint(box->HorzScrollBar()->Position(), box->VertScrollBar()->Position()), expected);
    // Children move with the view; their place in the contents stays.
    QCOMPARE(QPoint(x->Left(), x->Top()), QPoint(50, 60) - expected);
    QCOMPARE(x->Widget()->pos(), QPoint(50, 60));
    const QWidget *view = box->ClientWidget()->parentWidget();
    QCOMPARE(x->Widget()->mapTo(view, QPoint()), QPoint(x->Left(), x->Top()));

    // What is written reads back to the same view.
    const QString written = DescriptionOf(form);
    QCOMPARE(written.contains("HorzScrollBar.Position"), expected.x() != 0);
    QCOMPARE(written.contains("VertScrollBar.Position"), expected.y() != 0);
    TTestForm copy(nullptr);
    ReadInto(copy, written);
    auto *copied = copy.Part<TPanel>("X");
    QCOMPARE(copy.Part<TScrollBox>("S")->ScrollPosition(), expected);
    QCOMPARE(QPoint(copied->Left(), copied->Top()), QPoint(x->Left(), x->Top()));
    QCOMPARE(copied->Widget()->pos(), QPoint(50, 60));
}

void TestControls::readChildrenStackAndShow_data() {
    QTest::addColumn<QString>("children");
    QTest::addColumn<QStringList>("stacking"); // the box's child widgets, back to front
    QTest::newRow("windowless after windowed") << R"(object A: TPaintBox Width = 9 Height = 9 end
object P: TPanel Width = 9 Height = 9 end object B: TSpeedButton Width = 9 Height = 9 Visible = False end
object Q: TPanel Width = 9 Height = 9 end object C: TPaintBox Width = 9 Height = 9 end)"
                                               << QStringList{"A", "B", "C", "P", "Q"};
    QTest::newRow("given places") << R"(object A: TPaintBox Width = 9 Height = 9 end
object P: TPanel Width = 9 Height = 9 Visible = False end object B: TPaintBox [0] Width = 9 Height = 9 end
object C: TPaintBox [1] Width = 9 Height = 9 end)"
                                  << QStringList{"B", "C", "A", "P"};
}

void TestControls::readChildrenStackAndShow() {
    QFETCH(QString, children);
    QFETCH(QStringList, stacking);
    TTestForm form(nullptr);
    ReadInto(form,
             FormText("object S: TScrollBox Width = 200 Height = 150\n" + children + "\nend\n"));
    auto *box = form.Part<TScrollBox>("S");
    QStringList order;
    for (QObject *child : box->ClientWidget()->children())
        if (const TControl *control = TControl::FromWidget(qobject_cast<QWidget *>(child))) {
            order << QString::fromStdString(control->Name());
            QCOMPARE(control->Widget()->isVisibleTo(box->Widget()), control->Visible());
        }
    QCOMPARE(order, stacking);
}

void TestControls::scrollBoxExtentFollowsChildren() {
    TForm form(nullptr);
    form.SetBounds(0, 0, 400, 300);
    TScrollBox box(&form);
    box.SetBounds(0, 0, 200, 150);
    box.SetParent(&form);
    TPanel panel(&form);
    panel.SetBounds(10, 10, 50, 50);
    panel.SetParent(&box);
    QCOMPARE(box.Extent(), QSize(60, 60));
    for (QScrollBar *bar : box.Widget()->findChildren<QScrollBar *>())
        QVERIFY(!bar->isVisibleTo(box.Widget()));
    panel.SetLeft(500);
    QCOMPARE(box.Extent(), QSize(550, 60));
    box.ScrollTo(QPoint(100, 0));
    QCOMPARE(panel.Left(), 400);
    // Nothing left to show: the view goes back to the start.
    panel.SetVisible(false);
    QCOMPARE(box.Extent(), QSize(0, 0));
    QCOMPARE(box.ScrollPosition(), QPoint(0, 0));
    QCOMPARE(panel.Left(), 500);
}

void TestControls::hints_data() {
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("showHint");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("longHint");
    QTest::newRow("short and long") << "Nuovo|Crea una nuova rete logica" << true << "Nuovo"
                                    << "Crea una nuova rete logica";
    QTest::newRow("no bar serves as both") << "Disponi in cascata" << true << "Disponi in cascata"
                                           << "Disponi in cascata";
    QTest::newRow("tooltips off") << "Attiva|Attiva la rete" << false << ""
                                  << "Attiva la rete";
}

void TestControls::hints() {
    QFETCH(QString, hint);
    QFETCH(bool, showHint);
    QFETCH(QString, toolTip);
    QFETCH(QString, longHint);
    TForm form(nullptr);
    TApplicationEvents events(&form);
    QStringList shown;
    events.OnHint = TNotifyEvent::Handler(
        [&](TComponent *) { shown << QString::fromStdString(TApplication::Instance().Hint()); });
    TSpeedButton button(&form);
    button.SetBounds(0, 0, 30, 30);
    button.SetParent(&form);
    button.SetHint(hint.toStdString());
    button.SetParentShowHint(false);
    button.SetShowHint(showHint);
    TApplication::Instance().SetHint("elsewhere");
    shown.clear();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(button.Widget(), &enter);
    QCOMPARE(button.Widget()->toolTip(), toolTip);
    QCOMPARE(shown, QStringList{longHint});
}

void TestControls::panelBevels_data() {
    QTest::addColumn<int>("outer");
    QTest::addColumn<int>("inner");
    QTest::addColumn<int>("bevelWidth");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("color");
    const int raised = int(TBevelCut::bvRaised), lowered = int(TBevelCut::bvLowered),
              none = int(TBevelCut::bvNone);
    QTest::newRow("raised: light top left")
        << raised << none << 1 << QPoint(0, 0) << int(clBtnHighlight);
    QTest::newRow("raised: dark bottom right")
        << raised << none << 1 << QPoint(99, 49) << int(clBtnShadow);
    QTest::newRow("lowered: dark top left")
        << lowered << none << 1 << QPoint(0, 0) << int(clBtnShadow);
    QTest::newRow("no bevel") << none << none << 1 << QPoint(0, 0) << int(clBtnFace);
    QTest::newRow("wide bevel") << raised << none << 2 << QPoint(1, 1) << int(clBtnHighlight);
    // Border width 2: the outer bevel, two pixels of face, then the inner bevel.
    QTest::newRow("border in face colour")
        << raised << lowered << 1 << QPoint(2, 2) << int(clBtnFace);
    QTest::newRow("inner bevel inside the border")
        << raised << lowered << 1 << QPoint(3, 3) << int(clBtnShadow);
    QTest::newRow("inner bevel bottom right")
        << raised << lowered << 1 << QPoint(96, 46) << int(clBtnHighlight);
}

void TestControls::panelBevels() {
    QFETCH(int, outer);
    QFETCH(int, inner);
    QFETCH(int, bevelWidth);
    QFETCH(QPoint, at);
    QFETCH(int, color);
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    TPanel panel(&form);
    panel.SetBounds(0, 0, 100, 50);
    panel.SetParent(&form);
    panel.SetBevelOuter(TBevelCut(outer));
    panel.SetBevelInner(TBevelCut(inner));
    panel.SetBevelWidth(bevelWidth);
    panel.SetBorderWidth(2);
    form.Show();
    QCOMPARE(PixelOf(&panel, at), ColorToQColor(TColor(color)));
}

void TestControls::anchors_data() {
    QTest::addColumn<qint64>("anchors");
    QTest::addColumn<QRect>("bounds");
    QTest::newRow("left and top stay") << qint64(DefaultAnchors) << QRect(10, 20, 30, 40);
    QTest::newRow("all sides stretch") << qint64(15) << QRect(10, 20, 130, 90);
    QTest::newRow("top right moves") << qint64(1 << akTop | 1 << akRight) << QRect(110, 20, 30, 40);
    QTest::newRow("bottom left moves down")
        << qint64(1 << akLeft | 1 << akBottom) << QRect(10, 70, 30, 40);
    QTest::newRow("none keeps the middle") << qint64(0) << QRect(60, 45, 30, 40);
}

void TestControls::anchors() {
    QFETCH(qint64, anchors);
    QFETCH(QRect, bounds);
    TForm form(nullptr);
    TPanel panel(&form);
    panel.SetBounds(0, 0, 200, 100);
    panel.SetParent(&form);
    TMemo memo(&form);
    memo.SetBounds(10, 20, 30, 40);
    memo.SetParent(&panel);
    memo.SetAnchors(anchors);
    panel.SetBounds(0, 0, 300, 150);
    QCOMPARE(QRect(memo.Left(), memo.Top(), memo.Width(), memo.Height()), bounds);
}

void TestControls::memoLines_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("typed without final break")
        << "abc" << QStringList{"", ""} << 2 << QByteArray("abc\r\n\r\n");
    QTest::newRow("typed with final break")
        << "abc\n"
        << QStringList{"", ""} << 3 << QByteArray("abc\r\n\r\n\r\n");
    QTest::newRow("nothing typed") << "" << QStringList{"", ""} << 2 << QByteArray("\r\n\r\n");
    QTest::newRow("report lines") << "" << QStringList{"Errore: \"x\"", "Moduli Aperti: "} << 2
                                  << QByteArray("Errore: \"x\"\r\nModuli Aperti: \r\n");
    QTest::newRow("after typed lines")
        << "a\nb" << QStringList{"c"} << 3 << QByteArray("a\r\nb\r\nc\r\n");
    QTest::newRow("empty") << "" << QStringList() << 0 << QByteArray();
}

void TestControls::memoLines() {
    QFETCH(QString, typed);
    QFETCH(QStringList, added);
    QFETCH(int, count);
    QFETCH(QByteArray, text);
    TMemo memo(nullptr);
    memo.SetPlainText(typed);
    for (const QString &line : added)
        memo.Lines().Add(line.toStdString());
    QCOMPARE(memo.Lines().Count(), count);
    QCOMPARE(QByteArray::fromStdString(memo.Lines().Text()), text);
    // The text set again gives the same lines.
    TMemo copy(nullptr);
    copy.Lines().SetText(memo.Lines().Text());
    QCOMPARE(copy.Lines().Count(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(copy.Lines()[i], memo.Lines()[i]);
}

void TestControls::trackBar_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("changes");
    QTest::newRow("as read") << 0 << "" << 1000 << 0;
    QTest::newRow("right arrow") << int(Qt::Key_Right) << "" << 1050 << 1;
    QTest::newRow("left arrow") << int(Qt::Key_Left) << "" << 950 << 1;
    QTest::newRow("up arrow") << int(Qt::Key_Up) << "" << 950 << 1;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << "" << 1500 << 1;
    QTest::newRow("end") << int(Qt::Key_End) << "" << 1950 << 1;
    QTest::newRow("code beyond the range") << 0 << "Position 5000" << 1950 << 1;
    QTest::newRow("code, same position") << 0 << "Position 1000" << 1000 << 0;
    QTest::newRow("range shrinks below") << 0 << "Max 800" << 800 << 1;
    QTest::newRow("min above max") << 0 << "Min 3000" << 3000 << 1;
}

void TestControls::trackBar() {
    QFETCH(int, key);
    QFETCH(QString, action);
    QFETCH(int, position);
    QFETCH(int, changes);
    TTestForm form(nullptr);
    ReadInto(
        form,
        FormText(
            "object T: TTrackBar Left = 320 Top = 8 Width = 150 Height = 21 Frequency = 100 "
            "LineSize = 50"
            " Max = 1950 PageSize = 500 Position = 1000 TabOrder = 0 OnChange = Clicked end\n"));
    form.Show();
    auto *bar = form.Part<TTrackBar>("T");
    if (key) QTest::keyClick(bar->Widget(), Qt::Key(key));
    const int value = action.section(' ', 1).toInt();
    if (action.startsWith("Position")) bar->SetPosition(value);
    if (action.startsWith("Max")) bar->SetMax(value);
    if (action.startsWith("Min")) bar->SetMin(value);
    QCOMPARE(bar->Position(), position);
    QCOMPARE(static_cast<QAbstractSlider *>(bar->Widget())->value(), position);
    QVERIFY(bar->Min() <= bar->Max());
    QCOMPARE(form.Calls.size(), changes);
}

void TestControls::modalButtons_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("memoText");
    QTest::newRow("yes button") << "click Yes" << int(mrYes) << "";
    QTest::newRow("no button") << "click No" << int(mrNo) << "";
    QTest::newRow("enter clicks the default") << "enter" << int(mrYes) << "";
    QTest::newRow("escape clicks the cancel") << "escape" << int(mrNo) << "";
    QTest::newRow("enter in the memo is a new line") << "memo" << int(mrNo) << "\n";
    QTest::newRow("close box") << "close" << int(mrCancel) << "";
}

void TestControls::modalButtons() {
    QFETCH(QString, action);
    QFETCH(int, result);
    QFETCH(QString, memoText);
    TTestForm form(nullptr);
    ReadInto(
        form,
        FormText(R"(object Desc: TMemo Left = 4 Top = 4 Width = 200 Height = 50 TabOrder = 0 end
object Yes: TButton Left = 4 Top = 60 Width = 60 Height = 25 Caption = '&Si' Default = True ModalResult = 6
  TabOrder = 1 end
object No: TButton Left = 70 Top = 60 Width = 60 Height = 25 Cancel = True Caption = '&No' ModalResult = 7
  TabOrder = 2 OnClick = Clicked end
)",
                 300, 120));
    auto *memo = form.Part<TMemo>("Desc");
    QTimer::singleShot(0, form.Widget(), [&] {
        if (action.startsWith("click"))
            Click(form.Part<TButton>(action.section(' ', 1)));
        else if (action == "enter" || action == "escape")
            QTest::keyClick(form.Widget(), action == "enter" ? Qt::Key_Return : Qt::Key_Escape);
        else if (action == "memo") {
            QTest::keyClick(memo->Widget(), Qt::Key_Return);
            QTest::keyClick(memo->Widget(), Qt::Key_Escape);
        } else
            form.Close();
    });
    QCOMPARE(form.ShowModal(), result);
    QCOMPARE(memo->PlainText(), memoText);
    QCOMPARE(form.Calls.size(), result == mrNo ? 1 : 0);
    QVERIFY(!form.Widget()->isVisible());
}

void TestControls::fileDialogs_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("executed");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("cancelled") << false << "" << false << "/opt/zentaro/NoName.ZTR";
    QTest::newRow("chosen") << false << "/tmp/rete.ZTR" << true << "/tmp/rete.ZTR";
    QTest::newRow("default extension added") << true << "/tmp/rete" << true << "/tmp/rete.ZTR";
    QTest::newRow("other extension kept") << true << "/tmp/rete.txt" << true << "/tmp/rete.txt";
    QTest::newRow("name beyond 8-bit text") << true << "/tmp/сеть.ZTR" << true << "/tmp/сеть.ZTR";
}

void TestControls::fileDialogs() {
    QFETCH(bool, save);
    QFETCH(QString, answer);
    QFETCH(bool, executed);
    QFETCH(QString, fileName);
    std::unique_ptr<TOpenDialog> dialog(save ? new TSaveDialog(nullptr) : new TOpenDialog(nullptr));
    dialog->SetDefaultExt("ZTR");
    dialog->SetFilter("Zentaro (*.ztr)|*.ZTR|Tutti i File (*.*)|*.*");
    dialog->SetInitialDir("/opt/zentaro");
    dialog->SetFileName("/opt/zentaro/NoName.ZTR");
    dialog->SetOptions(dialog->Options() | 1 << ofPathMustExist);
    dialog->SetSidebarFolders({"/opt/zentaro/examples"});
    TFileDialogRequest asked;
    SetFileDialogRunner([&](const TFileDialogRequest &request) -> std::optional<QString> {
        asked = request;
        return answer.isEmpty() ? std::nullopt : std::optional<QString>(answer);
    });
    QCOMPARE(dialog->Execute(), executed);
    SetFileDialogRunner({});
    QCOMPARE(dialog->FilePath(), fileName);
    QCOMPARE(asked.Save, save);
    QCOMPARE(asked.NameFilters,
             QStringList({"Zentaro (*.ztr) (*.ZTR *.ztr)", "Tutti i File (*.*) (*)"}));
    QCOMPARE(asked.InitialDir, "/opt/zentaro");
    QCOMPARE(asked.FileName, "/opt/zentaro/NoName.ZTR");
    QCOMPARE(asked.DefaultExt, "ZTR");
    QCOMPARE(asked.SidebarFolders, QStringList({"/opt/zentaro/examples"}));
    QCOMPARE(asked.Options,
             TOpenOptions(1 << ofHideReadOnly | 1 << ofPathMustExist | 1 << ofEnableSizing));
}

// Sidebar folders come after the dialog's own places, in their order; the dialog is only
// prepared, never shown.
void TestControls::fileDialogSidebar() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("examples") && QDir(dir.path()).mkpath("more"));
    TFileDialogRequest request;
    request.SidebarFolders = {dir.filePath("examples"), dir.filePath("more")};
    QFileDialog plain, prepared;
    PrepareFileDialog(prepared, request);
    QCOMPARE(prepared.sidebarUrls(), plain.sidebarUrls()
                                         << QUrl::fromLocalFile(dir.filePath("examples"))
                                         << QUrl::fromLocalFile(dir.filePath("more")));
}

// A file is typed by its name: reading it could wait forever (/proc/kmsg). A PNG's bytes under
// a name without an extension stay a plain file.
void TestControls::fileDialogReadsNoFile() {
    QTemporaryDir dir;
    QFile file(dir.filePath("data"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("\x89PNG\r\n\x1a\n", 8) == 8);
    file.close();
    QCOMPARE(TNameOnlyIconProvider().type(QFileInfo(file.fileName())),
             QMimeDatabase().mimeTypeForName("application/octet-stream").comment());
}

void TestControls::applicationEventsUnhook() {
    TApplication &application = TApplication::Instance();
    QStringList log;
    auto first = std::make_unique<TApplicationEvents>(nullptr);
    auto second = std::make_unique<TApplicationEvents>(nullptr);
    first->OnException =
        TExceptionEvent::Handler([&](TComponent *sender, std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception &e) {
                log << QString("first %1 %2").arg(sender ? "sender" : "none", e.what());
            }
        });
    second->OnException =
        TExceptionEvent::Handler([&](TComponent *, std::exception_ptr) { log << "second"; });
    second->OnHint = TNotifyEvent::Handler([&](TComponent *) { log << "hint"; });
    TComponent sender(nullptr);
    application.HandleException(&sender, std::make_exception_ptr(std::runtime_error("boom")));
    QCOMPARE(log, QStringList({"first sender boom", "second"}));

    log.clear();
    first.reset();
    application.HandleException(nullptr, std::make_exception_ptr(std::runtime_error("again")));
    application.SetHint(application.Hint() + "x");
    QCOMPARE(log, QStringList({"second", "hint"}));

    log.clear();
    second.reset();
    QVERIFY(!application.OnException);
    application.SetHint(application.Hint() + "y");
    application.HandleException(nullptr, std::make_exception_ptr(std::runtime_error("unheard")));
    QVERIFY(log.isEmpty());
}

void TestControls::hostileValues_data() {
    QTest::addColumn<QString>("children");
    QTest::addColumn<bool>("reads");
    QTest::newRow("far scroll positions and children")
        << R"(object S: TScrollBox Width = 100 Height = 100
  HorzScrollBar.Position = 2147483647 VertScrollBar.Position = -2147483648 TabOrder = 0
  object X: TPanel Left = 2147483647 Top = -2147483648 Width = 2147483647 Height = 10 TabOrder = 0 end
end)" << true;
    QTest::newRow("huge bevels")
        << "object P: TPanel Width = 50 Height = 50 BevelWidth = 2147483647 BorderWidth = -5"
           " Caption = 'x' TabOrder = 0 end"
        << true;
    QTest::newRow("reversed track bar range")
        << "object T: TTrackBar Max = -5 Min = 5 Position = 100 TabOrder = 0 end" << true;
    QTest::newRow("glyph that is no bitmap")
        << "object B: TSpeedButton Glyph.Data = {0400000001020304} end" << false;
    QTest::newRow("glyph of the wrong length")
        << "object B: TSpeedButton Glyph.Data = {FF00000042} end" << false;
    QTest::newRow("check box caption in the middle")
        << "object C: TCheckBox Alignment = taCenter end" << false;
}

void TestControls::hostileValues() {
    QFETCH(QString, children);
    QFETCH(bool, reads);
    TTestForm form(nullptr);
    bool read = true;
    try {
        ReadInto(form, FormText(children + '\n', 300, 200));
    } catch (const EReadError &) {
        read = false;
    }
    QCOMPARE(read, reads);
    // Whatever was read paints and writes.
    form.Show();
    QVERIFY(!form.Widget()->grab().isNull());
    QVERIFY(DescriptionOf(form).startsWith("object Form"));
    for (TComponent *component : form.Components())
        if (auto *box = dynamic_cast<TScrollBox *>(component))
            QVERIFY(box->ScrollPosition().x() <= box->Extent().width() &&
                    box->ScrollPosition().y() == 0);
}

void TestControls::captionsFitTheirRoom_data() {
    QTest::addColumn<QString>("name");
    // Pixels of a windowless control's width that its caption does not get: frame and glyph.
    QTest::addColumn<int>("reserved");
    QTest::newRow("long radio button") << "RBLnkPort" << 0;
    QTest::newRow("radio button") << "RBPosPort" << 0;
    QTest::newRow("check box") << "CBShowPortType" << 0;
    QTest::newRow("main window check box") << "CBShowPortState" << 0;
    QTest::newRow("speed button") << "BtnActive" << 4 + 16 + 4;
    QTest::newRow("narrow speed button") << "BtnNewLog" << 4 + 16 + 4;
    QTest::newRow("label") << "LabelClock" << 0;
}

void TestControls::captionsFitTheirRoom() {
    QFETCH(QString, name);
    QFETCH(int, reserved);
    // The network window's layout and the main window's bar, in the designed Arial -11.
    TTestForm form(nullptr);
    ReadInto(form, FormText(NetworkLayout() + QStringLiteral(R"(
object LabelClock: TLabel Left = 292 Top = 12 Width = 26 Height = 14 Caption = 'Clock' end
object CBShowPortState: TCheckBox Left = 500 Top = 11 Width = 150 Height = 17
  Caption = 'Visualizza Stato Porte' Checked = True TabOrder = 2 end
)")));
    TControl *control = form.Part<TControl>(name);
    const QWidget &widget = *control->Widget();
    const QFont font = widget.font();
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(font.pixelSize(), 11);
    // Condensing, where needed at all, stays slight.
    QVERIFY2(font.stretch() == QFont::AnyStretch || font.stretch() >= 90,
             qPrintable(QString::number(font.stretch())));

    int room = control->Width() - reserved;
    if (auto *button = qobject_cast<const QAbstractButton *>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.rect = button->rect();
        const auto contents = button->inherits("QRadioButton") ? QStyle::SE_RadioButtonContents
                                                               : QStyle::SE_CheckBoxContents;
        room = widget.style()->subElementRect(contents, &option, button).width();
    }
    const QString caption = FromAnsi(control->Caption());
    const int width = QFontMetrics(font).size(Qt::TextShowMnemonic, caption).width();
    QVERIFY2(width <= room, qPrintable(QStringLiteral("%1 px in %2").arg(width).arg(room)));
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
