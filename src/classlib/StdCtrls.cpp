#include "StdCtrls.h"

#include "Forms.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::string_view, 3> AlignmentElements = {"taLeftJustify", "taRightJustify",
                                                               "taCenter"};
constexpr std::array<std::string_view, 2> BorderStyleElements = {"bsNone", "bsSingle"};
constexpr std::array<std::string_view, 4> ScrollStyleElements = {"ssNone", "ssHorizontal",
                                                                 "ssVertical", "ssBoth"};

// Clicks, Space and mnemonics check the box through the control, so that the control's state and
// OnClick follow every way of toggling it.
class TCheckBoxWidget : public QCheckBox {
protected:
    void nextCheckState() override {
        if (auto *box = dynamic_cast<TCheckBox *>(TControl::FromWidget(this))) box->Toggle();
    }
    void paintEvent(QPaintEvent *event) override {
        QCheckBox::paintEvent(event);
        if (auto *box = dynamic_cast<TCheckBox *>(TControl::FromWidget(this))) {
            QPainter painter(this);
            box->PaintOver(painter);
        }
    }
};

class TRadioButtonWidget : public QRadioButton {
public:
    TRadioButtonWidget() { setAutoExclusive(false); }

protected:
    void nextCheckState() override {
        if (auto *radio = dynamic_cast<TRadioButton *>(TControl::FromWidget(this)))
            radio->SetChecked(true);
    }
};

// The room the style leaves beside a check box's or radio button's indicator.
int RoomBesideIndicator(const QWidget &widget, QStyle::SubElement contents, int width, int height) {
    QStyleOptionButton option;
    option.initFrom(&widget);
    option.rect = QRect(0, 0, width, height);
    return std::max(0, widget.style()->subElementRect(contents, &option, &widget).width());
}

// Enter and Esc that nothing on the form took go to its default and cancel buttons.
class TButtonKeys : public QObject {
public:
    TButtonKeys(TButton *button) : QObject(button->Widget()), FButton(button) {}

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) return false;
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const bool escape = key->key() == Qt::Key_Escape;
        if (!(enter && FButton->Default()) && !(escape && FButton->Cancel())) return false;
        const TForm *form = GetParentForm(FButton);
        QWidget *widget = FButton->Widget();
        if (!form || form->Widget() != watched || !widget->isVisible() || !widget->isEnabled())
            return false;
        FButton->Clicked();
        return true;
    }

private:
    TButton *FButton;
};

} // namespace

const TEnumNames AlignmentNames = AlignmentElements;
const TEnumNames LeftRightNames = TEnumNames(AlignmentElements).first(2);

// ---- TLabel

const TClassInfo &TLabel::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TLabel, TGraphicControl>("TLabel")
            .Set("Anchors", AnchorNames, &TLabel::Anchors, &TLabel::SetAnchors)
            .Default(DefaultAnchors)
            .String("Caption", &TLabel::Caption, &TLabel::SetCaption)
            .Boolean("Transparent", &TLabel::Transparent, &TLabel::SetTransparent)
            .Default(0)
            .Build();
    return info;
}

TLabel::TLabel(TComponent *owner) : TGraphicControl(owner) {
    SetParentColor(true);
}

void TLabel::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    Invalidate();
}

void TLabel::Paint(QPainter &painter) {
    const QRect area = Widget()->rect();
    if (!FTransparent) painter.fillRect(area, ColorToQColor(Color()));
    painter.setFont(Widget()->font());
    const QString text = FromAnsi(Caption());
    constexpr int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic;
    if (!Enabled()) {
        painter.setPen(ColorToQColor(clBtnHighlight));
        painter.drawText(area.translated(1, 1), flags, text);
        painter.setPen(ColorToQColor(clBtnShadow));
    } else {
        painter.setPen(ColorToQColor(Font()->Color()));
    }
    painter.drawText(area, flags, text);
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    if (Width() == 0 || Height() == 0) AdjustSize();
}

void TLabel::CaptionChanged() {
    AdjustSize();
}

void TLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustSize();
}

void TLabel::AdjustSize() {
    // The size a description gives stays as it is.
    if (Loading()) return;
    const QSize size =
        QFontMetrics(Font()->ToQFont()).size(Qt::TextShowMnemonic, FromAnsi(Caption()));
    SetBounds(Left(), Top(), size.width(), size.height());
}

// ---- TButtonControl

const TClassInfo &TButtonControl::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TButtonControl, TWinControl>("TButtonControl").Build();
    return info;
}

void TButtonControl::ApplyCaption() {
    if (auto *button = qobject_cast<QAbstractButton *>(Widget()))
        button->setText(FromAnsi(Caption()));
}

// ---- TButton

const TClassInfo &TButton::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TButton, TButtonControl>("TButton")
            .Set("Anchors", AnchorNames, &TButton::Anchors, &TButton::SetAnchors)
            .Default(DefaultAnchors)
            .Boolean("Cancel", &TButton::Cancel, &TButton::SetCancel)
            .Default(0)
            .String("Caption", &TButton::Caption, &TButton::SetCaption)
            .Boolean("Default", &TButton::Default, &TButton::SetDefault)
            .Default(0)
            .Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult)
            .Default(0)
            .Integer("TabOrder", &TButton::TabOrder, &TButton::SetTabOrder)
            .Event("OnClick", &TButton::OnClick)
            .Build();
    return info;
}

TButton::TButton(TComponent *owner) : TButtonControl(owner, new QPushButton) {
    auto *button = static_cast<QPushButton *>(Widget());
    // Enter on a focused button clicks that button, as on a dialog.
    button->setAutoDefault(true);
    QObject::connect(button, &QPushButton::clicked, button, [this] { Clicked(); });
    SetTabStop(true);
}

void TButton::SetCancel(bool value) {
    FCancel = value;
    WatchKeys();
}

void TButton::SetDefault(bool value) {
    FDefault = value;
    static_cast<QPushButton *>(Widget())->setDefault(value);
    WatchKeys();
}

void TButton::WatchKeys() {
    if (!FDefault && !FCancel) return;
    TForm *form = GetParentForm(this);
    if (!form) return;
    if (!FKeyFilter) FKeyFilter = new TButtonKeys(this);
    form->Widget()->installEventFilter(FKeyFilter);
}

bool TButton::WidgetEvent(QEvent *event) {
    // The form is known for sure once the button shows.
    if (event->type() == QEvent::Show) WatchKeys();
    return TButtonControl::WidgetEvent(event);
}

void TButton::Clicked() {
    // The form's result first, so that OnClick can still change it.
    if (FModalResult != 0)
        if (TForm *form = GetParentForm(this)) form->SetModalResult(FModalResult);
    OnClick(this);
}

// ---- TCheckBox

const TClassInfo &TCheckBox::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TCheckBox, TButtonControl>("TCheckBox")
            .Enumeration("Alignment", LeftRightNames, &TCheckBox::Alignment,
                         &TCheckBox::SetAlignment)
            .Default(int(TAlignment::taRightJustify))
            .String("Caption", &TCheckBox::Caption, &TCheckBox::SetCaption)
            .Boolean("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked)
            .Default(0)
            .Boolean("Enabled", &TCheckBox::Enabled, &TCheckBox::SetEnabled)
            .Default(1)
            .Integer("TabOrder", &TCheckBox::TabOrder, &TCheckBox::SetTabOrder)
            .Event("OnClick", &TCheckBox::OnClick)
            .Build();
    return info;
}

TCheckBox::TCheckBox(TComponent *owner) : TButtonControl(owner, new TCheckBoxWidget) {
    SetTabStop(true);
}

void TCheckBox::SetAlignment(TAlignment value) {
    FAlignment = value == TAlignment::taLeftJustify ? value : TAlignment::taRightJustify;
    Widget()->setLayoutDirection(FAlignment == TAlignment::taLeftJustify ? Qt::RightToLeft
                                                                         : Qt::LeftToRight);
}

int TCheckBox::CaptionRoom() const {
    return RoomBesideIndicator(*Widget(), QStyle::SE_CheckBoxContents, Width(), Height());
}

void TCheckBox::SetChecked(bool value) {
    if (value == FChecked) return;
    FChecked = value;
    static_cast<QCheckBox *>(Widget())->setChecked(value);
    if (!Loading()) OnClick(this);
}

// ---- TRadioButton

const TClassInfo &TRadioButton::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TRadioButton, TButtonControl>("TRadioButton")
            .String("Caption", &TRadioButton::Caption, &TRadioButton::SetCaption)
            .Boolean("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked)
            .Default(0)
            .Integer("TabOrder", &TRadioButton::TabOrder, &TRadioButton::SetTabOrder)
            .Boolean("TabStop", &TRadioButton::TabStop, &TRadioButton::SetTabStop)
            .Default(0)
            .Event("OnClick", &TRadioButton::OnClick)
            .Build();
    return info;
}

TRadioButton::TRadioButton(TComponent *owner) : TButtonControl(owner, new TRadioButtonWidget) {
    SetTabStop(false);
}

void TRadioButton::SetChecked(bool value) {
    if (value == FChecked) return;
    ApplyChecked(value);
    if (!value) return;
    if (Parent())
        for (TControl *sibling : Parent()->WinControls())
            if (auto *radio = dynamic_cast<TRadioButton *>(sibling);
                radio && radio != this && radio->FChecked)
                radio->ApplyChecked(false);
    if (!Loading()) OnClick(this);
}

int TRadioButton::CaptionRoom() const {
    return RoomBesideIndicator(*Widget(), QStyle::SE_RadioButtonContents, Width(), Height());
}

void TRadioButton::ApplyChecked(bool value) {
    FChecked = value;
    static_cast<QRadioButton *>(Widget())->setChecked(value);
    SetTabStop(value);
}

void TRadioButton::SetTabStop(bool value) {
    TButtonControl::SetTabStop(value);
    Widget()->setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

// ---- TMemoLines

namespace {

QStringList PhysicalLines(const TMemo &memo) {
    return memo.PlainText().split(QLatin1Char('\n'));
}

} // namespace

int TMemoLines::Count() const {
    const QString text = FMemo.PlainText();
    if (text.isEmpty()) return 0;
    return int(text.count(QLatin1Char('\n'))) + (text.endsWith(QLatin1Char('\n')) ? 0 : 1);
}

std::string TMemoLines::operator[](int index) const {
    if (index < 0 || index >= Count()) return {};
    return ToAnsi(PhysicalLines(FMemo)[index]);
}

void TMemoLines::Insert(int index, const std::string &line) {
    const QStringList lines = PhysicalLines(FMemo);
    QString text = FMemo.PlainText();
    if (index < 0) return;
    if (index < lines.size()) {
        // Before an existing line, even the empty one after a final line break.
        qsizetype position = 0;
        for (int i = 0; i < index; ++i)
            position += lines[i].size() + 1;
        text.insert(position, FromAnsi(line) + QLatin1Char('\n'));
    } else if (index == lines.size() && !lines.back().isEmpty()) {
        // After a last line that has no line break yet.
        text += QLatin1Char('\n') + FromAnsi(line);
    } else {
        return;
    }
    FMemo.SetPlainText(text);
}

void TMemoLines::Clear() {
    FMemo.SetPlainText({});
}

std::string TMemoLines::Text() const {
    const QStringList lines = PhysicalLines(FMemo);
    std::string text;
    for (int i = 0, count = Count(); i < count; ++i)
        text += ToAnsi(lines[i]) + "\r\n";
    return text;
}

void TMemoLines::SetText(const std::string &text) {
    QString plain = FromAnsi(text);
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    FMemo.SetPlainText(plain);
}

// ---- TMemo

const TClassInfo &TMemo::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TMemo, TWinControl>("TMemo")
            .Set("Anchors", AnchorNames, &TMemo::Anchors, &TMemo::SetAnchors)
            .Default(DefaultAnchors)
            .Enumeration("BorderStyle", BorderStyleElements, &TMemo::BorderStyle,
                         &TMemo::SetBorderStyle)
            .Default(int(TBorderStyle::bsSingle))
            .Integer("Color", &TMemo::Color, &TMemo::SetColor)
            .Symbols(ColorNames)
            .Default(clWindow)
            .Stored(&TMemo::IsColorStored)
            .Boolean("ReadOnly", &TMemo::ReadOnly, &TMemo::SetReadOnly)
            .Default(0)
            .Enumeration("ScrollBars", ScrollStyleElements, &TMemo::ScrollBars,
                         &TMemo::SetScrollBars)
            .Default(int(TScrollStyle::ssNone))
            .Integer("TabOrder", &TMemo::TabOrder, &TMemo::SetTabOrder)
            .Boolean("WordWrap", &TMemo::WordWrap, &TMemo::SetWordWrap)
            .Default(1)
            .Build();
    return info;
}

TMemo::TMemo(TComponent *owner) : TWinControl(owner, new QPlainTextEdit) {
    SetTabStop(true);
    SetScrollBars(FScrollBars);
    ColorChanged();
}

QString TMemo::PlainText() const {
    return static_cast<QPlainTextEdit *>(Widget())->toPlainText();
}

void TMemo::SetPlainText(const QString &text) {
    static_cast<QPlainTextEdit *>(Widget())->setPlainText(text);
}

void TMemo::SetBorderStyle(TBorderStyle value) {
    FBorderStyle = value;
    static_cast<QPlainTextEdit *>(Widget())->setFrameShape(
        value == TBorderStyle::bsNone ? QFrame::NoFrame : QFrame::StyledPanel);
}

void TMemo::SetReadOnly(bool value) {
    FReadOnly = value;
    static_cast<QPlainTextEdit *>(Widget())->setReadOnly(value);
}

void TMemo::SetScrollBars(TScrollStyle value) {
    FScrollBars = value;
    auto *edit = static_cast<QPlainTextEdit *>(Widget());
    const bool horizontal = value == TScrollStyle::ssHorizontal || value == TScrollStyle::ssBoth;
    const bool vertical = value == TScrollStyle::ssVertical || value == TScrollStyle::ssBoth;
    edit->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TMemo::SetWordWrap(bool value) {
    FWordWrap = value;
    static_cast<QPlainTextEdit *>(Widget())->setLineWrapMode(value ? QPlainTextEdit::WidgetWidth
                                                                   : QPlainTextEdit::NoWrap);
}

void TMemo::ColorChanged() {
    ApplyPalette();
    TWinControl::ColorChanged();
}

void TMemo::SetEnabled(bool enabled) {
    TWinControl::SetEnabled(enabled);
    ApplyPalette();
}

void TMemo::ApplyPalette() {
    QPalette palette = Widget()->palette();
    palette.setColor(QPalette::Base, ColorToQColor(Color()));
    // Only a memo disabled itself greys its text; in a disabled container it still reads as
    // usual and merely takes no input, as the system draws it.
    const QPalette standard = QApplication::palette(Widget());
    palette.setColor(
        QPalette::Disabled, QPalette::Text,
        standard.color(Enabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    Widget()->setPalette(palette);
}
