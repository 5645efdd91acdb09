#pragma once

// Colours, cursors, character sets, fonts and bitmaps as the class library's properties see them,
// and their Qt counterparts.

#include "stream/Persistent.h"

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

// 8-bit (Windows-1252) text of properties and files, to and from Qt's strings.
QString FromAnsi(const std::string &text);
std::string ToAnsi(const QString &text);

// 0x00BBGGRR, or a system colour (0xFF000000 | index), or one of the special values.
using TColor = std::int32_t;
constexpr TColor SystemColor(int index) {
    return TColor(0xFF000000u | unsigned(index));
}
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;
constexpr TColor clScrollBar = SystemColor(0), clBackground = SystemColor(1),
                 clActiveCaption = SystemColor(2), clInactiveCaption = SystemColor(3),
                 clMenu = SystemColor(4), clWindow = SystemColor(5), clWindowFrame = SystemColor(6),
                 clMenuText = SystemColor(7), clWindowText = SystemColor(8),
                 clCaptionText = SystemColor(9), clActiveBorder = SystemColor(10),
                 clInactiveBorder = SystemColor(11), clAppWorkSpace = SystemColor(12),
                 clHighlight = SystemColor(13), clHighlightText = SystemColor(14),
                 clBtnFace = SystemColor(15), clBtnShadow = SystemColor(16),
                 clGrayText = SystemColor(17), clBtnText = SystemColor(18),
                 clInactiveCaptionText = SystemColor(19), clBtnHighlight = SystemColor(20),
                 cl3DDkShadow = SystemColor(21), cl3DLight = SystemColor(22),
                 clInfoText = SystemColor(23), clInfoBk = SystemColor(24);
extern const TIdentMap ColorNames;
// The colour on screen; system colours use the classic fixed desktop scheme, so that drawings
// look the same on every machine.
QColor ColorToQColor(TColor color);

using TCursor = std::int16_t;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                  crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10,
                  crHourGlass = -11, crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15,
                  crMultiDrag = -16, crSQLWait = -17, crNo = -18, crAppStart = -19, crHelp = -20,
                  crHandPoint = -21, crSizeAll = -22;
extern const TIdentMap CursorNames;
QCursor CursorToQCursor(TCursor cursor);

extern const TIdentMap CharsetNames;
constexpr int ANSI_CHARSET = 0, DEFAULT_CHARSET = 1;

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
enum class TFontPitch { fpDefault, fpVariable, fpFixed };

// A font as a sub-object of controls: Height below 0 is the character height in pixels.
class TFont : public TPersistent {
public:
    ZENTARO_CLASS_INFO()

    int Charset() const { return FCharset; }
    void SetCharset(int value) { Change(FCharset, value); }
    TColor Color() const { return FColor; }
    void SetColor(TColor value) { Change(FColor, value); }
    int Height() const { return FHeight; }
    void SetHeight(int value) { Change(FHeight, value); }
    const std::string &Name() const { return FName; }
    void SetName(const std::string &value) { Change(FName, value); }
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch value) { Change(FPitch, value); }
    std::int64_t Style() const { return FStyle; }
    void SetStyle(std::int64_t value) { Change(FStyle, value); }

    void Assign(const TFont &other);
    bool operator==(const TFont &other) const;
    // The installed face that stands in for the designed one comes first.
    QFont ToQFont() const;
    // Whether both give the same QFont: colour and charset play no part in it.
    bool SameQFont(const TFont &other) const {
        return FName == other.FName && FHeight == other.FHeight && FStyle == other.FStyle &&
               FPitch == other.FPitch;
    }
    // Called after every change, by the control that holds the font.
    std::function<void()> OnChange;

private:
    template <typename T> void Change(T &field, const T &value) {
        if (field == value) return;
        field = value;
        if (OnChange) OnChange();
    }
    int FCharset = DEFAULT_CHARSET;
    TColor FColor = clWindowText;
    int FHeight = -11;
    std::string FName = "MS Sans Serif";
    TFontPitch FPitch = TFontPitch::fpDefault;
    std::int64_t FStyle = 0;
};

// The font condensed just enough (QFont::setStretch, down to 80 %) for text to fit width pixels;
// text that fits keeps the font as it is. Forms are laid out for fonts other than the installed
// ones, so a caption may want a little less room than on the machine it was designed on.
QFont FitFont(QFont font, const QString &text, int width);

// A bitmap held as the bitmap file it came from: written back byte for byte as the extra
// property Data (4-byte length, then the file); empty bitmaps write nothing.
class TBitmap : public TPersistent {
public:
    ZENTARO_CLASS_INFO()

    std::string Data() const;
    void SetData(const std::string &data);
    const std::string &File() const { return FFile; }
    void LoadFromFile(const std::string &file);
    void Assign(const TBitmap &other);
    bool Empty() const { return FImage.isNull(); }
    const QImage &Image() const { return FImage; }
    std::function<void()> OnChange;

private:
    bool HasData() const { return !FFile.empty(); }
    std::string FFile;
    QImage FImage;
};
