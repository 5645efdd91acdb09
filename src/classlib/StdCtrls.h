#pragma once

// The standard controls: label, push button, check box, radio button and multi-line edit.

#include "Controls.h"

#include <string>

class QPainter;

// Horizontal placement of a caption; check boxes know only the first two (caption left or right
// of the box).
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
extern const TEnumNames AlignmentNames;
extern const TEnumNames LeftRightNames;

enum class TBorderStyle { bsNone, bsSingle };
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// A windowless caption. It takes its parent's colour, shows the parent through when Transparent
// and sizes itself to its text when the caption or the font changes after loading (or when a
// description gave it no size).
class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent *owner);
    ZENTARO_CLASS_INFO()

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    void Paint(QPainter &painter) override;
    void Loaded() override;

protected:
    void CaptionChanged() override;
    void FontChanged() override;
    int CaptionRoom() const override { return Width(); }

private:
    void AdjustSize();
    bool FTransparent = false;
};

// Windowed buttons report clicks through their widget's own click handling (mouse and keyboard),
// not through the generic mouse-release click of controls.
class TButtonControl : public TWinControl {
public:
    using TWinControl::TWinControl;
    ZENTARO_CLASS_INFO()

protected:
    void Click() override {}
    void ApplyCaption() override;
};

// A push button. A click fires OnClick and then gives its ModalResult (when not zero) to the form
// it is on; Default makes Enter click it and Cancel makes Esc click it, anywhere on that form.
class TButton : public TButtonControl {
public:
    explicit TButton(TComponent *owner);
    ZENTARO_CLASS_INFO()

    bool Cancel() const { return FCancel; }
    void SetCancel(bool value);
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }
    // What a mouse click, Space, Enter (Default) or Esc (Cancel) does.
    void Clicked();
    bool WidgetEvent(QEvent *event) override;

private:
    void WatchKeys();
    bool FCancel = false;
    bool FDefault = false;
    int FModalResult = 0;
    QObject *FKeyFilter = nullptr;
};

// A check box. Every change of Checked, by a click, the keyboard or code, fires OnClick (once
// loading is over).
class TCheckBox : public TButtonControl {
public:
    explicit TCheckBox(TComponent *owner);
    ZENTARO_CLASS_INFO()

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    void Toggle() { SetChecked(!FChecked); }

    // Runs after the widget has painted itself, so that subclasses can paint over it.
    virtual void PaintOver(QPainter &) {}

protected:
    int CaptionRoom() const override;

private:
    TAlignment FAlignment = TAlignment::taRightJustify;
    bool FChecked = false;
};

// A radio button: checking it unchecks the other radio buttons of the same parent. A checked one
// is a tab stop, an unchecked one is not. Becoming checked, by a click or by code, fires OnClick
// (once loading is over); clicking a checked one does nothing.
class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent *owner);
    ZENTARO_CLASS_INFO()

    bool Checked() const { return FChecked; }
    void SetChecked(bool value);
    void SetTabStop(bool value) override;

protected:
    int CaptionRoom() const override;

private:
    void ApplyChecked(bool value);
    bool FChecked = false;
};

class TMemo;

// The lines of a memo. A line break at the very end of the text does not start another line,
// so the text "a\nb\n" has the two lines "a" and "b", like "a\nb".
class TMemoLines {
public:
    explicit TMemoLines(TMemo &memo) : FMemo(memo) {}

    int Count() const;
    std::string operator[](int index) const;
    void Add(const std::string &line) { Insert(Count(), line); }
    // Inserts before the line at index, or after the last line; an index beyond that is ignored.
    void Insert(int index, const std::string &line);
    void Clear();
    // Every line followed by CR LF.
    std::string Text() const;
    // Lines separated by CR LF, LF or CR.
    void SetText(const std::string &text);

private:
    TMemo &FMemo;
};

// A multi-line edit.
class TMemo : public TWinControl {
public:
    explicit TMemo(TComponent *owner);
    ZENTARO_CLASS_INFO()

    TMemoLines &Lines() { return FLines; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);

    // The widget's text, with LF line breaks.
    QString PlainText() const;
    void SetPlainText(const QString &text);

    void SetEnabled(bool enabled) override;

protected:
    void ColorChanged() override;
    void ApplyPalette();

private:
    TMemoLines FLines{*this};
    TBorderStyle FBorderStyle = TBorderStyle::bsSingle;
    bool FReadOnly = false;
    TScrollStyle FScrollBars = TScrollStyle::ssNone;
    bool FWordWrap = true;
};
