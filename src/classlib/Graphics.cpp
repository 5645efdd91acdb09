#include "Graphics.h"

#include "stream/Cp1252.h"
#include "stream/Errors.h"

#include <QByteArray>
#include <QFontMetrics>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::string_view, 4> FontStyleNames = {"fsBold", "fsItalic", "fsUnderline",
                                                            "fsStrikeOut"};
constexpr std::array<std::string_view, 3> FontPitchNames = {"fpDefault", "fpVariable", "fpFixed"};

constexpr TIdentEntry ColorEntries[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
};

// The classic desktop scheme, as RGB, by system colour index.
constexpr std::array<QRgb, 25> SystemColors = {
    0xD4D0C8, 0x3A6EA5, 0x0A246A, 0x808080, 0xD4D0C8, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xD4D0C8, 0xD4D0C8, 0x808080, 0x0A246A, 0xFFFFFF, 0xD4D0C8, 0x808080, 0x808080,
    0x000000, 0xD4D0C8, 0xFFFFFF, 0x404040, 0xD4D0C8, 0x000000, 0xFFFFE1,
};

constexpr TIdentEntry CursorEntries[] = {
    {crDefault, "crDefault"},     {crNone, "crNone"},           {crArrow, "crArrow"},
    {crCross, "crCross"},         {crIBeam, "crIBeam"},         {crSizeNESW, "crSizeNESW"},
    {crSizeNS, "crSizeNS"},       {crSizeNWSE, "crSizeNWSE"},   {crSizeWE, "crSizeWE"},
    {crUpArrow, "crUpArrow"},     {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
    {crNoDrop, "crNoDrop"},       {crHSplit, "crHSplit"},       {crVSplit, "crVSplit"},
    {crMultiDrag, "crMultiDrag"}, {crSQLWait, "crSQLWait"},     {crNo, "crNo"},
    {crAppStart, "crAppStart"},   {crHelp, "crHelp"},           {crHandPoint, "crHandPoint"},
    {crSizeAll, "crSizeAll"},
};

constexpr TIdentEntry CharsetEntries[] = {
    {0, "ANSI_CHARSET"},      {1, "DEFAULT_CHARSET"},    {2, "SYMBOL_CHARSET"},
    {77, "MAC_CHARSET"},      {128, "SHIFTJIS_CHARSET"}, {129, "HANGEUL_CHARSET"},
    {130, "JOHAB_CHARSET"},   {134, "GB2312_CHARSET"},   {136, "CHINESEBIG5_CHARSET"},
    {161, "GREEK_CHARSET"},   {162, "TURKISH_CHARSET"},  {163, "VIETNAMESE_CHARSET"},
    {177, "HEBREW_CHARSET"},  {178, "ARABIC_CHARSET"},   {186, "BALTIC_CHARSET"},
    {204, "RUSSIAN_CHARSET"}, {222, "THAI_CHARSET"},     {238, "EASTEUROPE_CHARSET"},
    {255, "OEM_CHARSET"},
};

constexpr std::int64_t MaxFontPixels = 1000;

// Faces the stored windows were laid out with, and the installed faces drawn instead. Liberation
// Sans has Arial's advance widths, and the dialog face's widths are close to them, so captions
// keep the room they were given; the rest is the job of FitFont.
struct TFaceSubstitute {
    const char *Designed;
    const char *Installed;
};
constexpr TFaceSubstitute FaceSubstitutes[] = {
    {"Arial", "Liberation Sans"},
    {"MS Sans Serif", "Liberation Sans"},
    {"Courier New", "Liberation Mono"},
    {"Times New Roman", "Liberation Serif"},
};

// Narrower than this, text gets hard to read; a caption needing more is cut instead.
constexpr int MinFitStretch = 80;

} // namespace

const TIdentMap ColorNames = ColorEntries;
const TIdentMap CursorNames = CursorEntries;
const TIdentMap CharsetNames = CharsetEntries;

QString FromAnsi(const std::string &text) {
    QString result;
    result.reserve(qsizetype(text.size()));
    for (unsigned char byte : text) {
        const int character = Cp1252ToUnicode(byte);
        result.append(QChar(char16_t(character < 0 ? byte : character)));
    }
    return result;
}

std::string ToAnsi(const QString &text) {
    std::string result;
    result.reserve(std::size_t(text.size()));
    for (const char32_t character : text.toUcs4()) {
        const int byte = UnicodeToCp1252(character);
        result.push_back(char(byte < 0 ? '?' : byte));
    }
    return result;
}

QColor ColorToQColor(TColor color) {
    const auto value = std::uint32_t(color);
    if ((value & 0xFF000000u) == 0xFF000000u) {
        const std::uint32_t index = value & 0xFFFFFF;
        return QColor(index < SystemColors.size() ? SystemColors[index] : 0);
    }
    if (color == clNone || color == clDefault) return QColor(Qt::transparent);
    return QColor(int(value & 0xFF), int(value >> 8 & 0xFF), int(value >> 16 & 0xFF));
}

QCursor CursorToQCursor(TCursor cursor) {
    switch (cursor) {
    case crNone:
        return QCursor(Qt::BlankCursor);
    case crCross:
        return QCursor(Qt::CrossCursor);
    case crIBeam:
        return QCursor(Qt::IBeamCursor);
    case crSizeNESW:
        return QCursor(Qt::SizeBDiagCursor);
    case crSizeNS:
        return QCursor(Qt::SizeVerCursor);
    case crSizeNWSE:
        return QCursor(Qt::SizeFDiagCursor);
    case crSizeWE:
        return QCursor(Qt::SizeHorCursor);
    case crUpArrow:
        return QCursor(Qt::UpArrowCursor);
    case crHourGlass:
    case crSQLWait:
        return QCursor(Qt::WaitCursor);
    case crDrag:
    case crMultiDrag:
        return QCursor(Qt::DragMoveCursor);
    case crNoDrop:
    case crNo:
        return QCursor(Qt::ForbiddenCursor);
    case crHSplit:
        return QCursor(Qt::SplitHCursor);
    case crVSplit:
        return QCursor(Qt::SplitVCursor);
    case crAppStart:
        return QCursor(Qt::BusyCursor);
    case crHelp:
        return QCursor(Qt::WhatsThisCursor);
    case crHandPoint:
        return QCursor(Qt::PointingHandCursor);
    case crSizeAll:
        return QCursor(Qt::SizeAllCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

// ---- TFont

const TClassInfo &TFont::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TFont, void>("TFont")
            .Integer("Charset", &TFont::Charset, &TFont::SetCharset)
            .Symbols(CharsetNames)
            .Integer("Color", &TFont::Color, &TFont::SetColor)
            .Symbols(ColorNames)
            .Integer("Height", &TFont::Height, &TFont::SetHeight)
            .String("Name", &TFont::Name, &TFont::SetName)
            .Enumeration("Pitch", FontPitchNames, &TFont::Pitch, &TFont::SetPitch)
            .Default(0)
            .Set("Style", FontStyleNames, &TFont::Style, &TFont::SetStyle)
            .Build();
    return info;
}

void TFont::Assign(const TFont &other) {
    const bool changed = !(*this == other);
    FCharset = other.FCharset;
    FColor = other.FColor;
    FHeight = other.FHeight;
    FName = other.FName;
    FPitch = other.FPitch;
    FStyle = other.FStyle;
    if (changed && OnChange) OnChange();
}

bool TFont::operator==(const TFont &other) const {
    return FCharset == other.FCharset && FColor == other.FColor && FHeight == other.FHeight &&
           FName == other.FName && FPitch == other.FPitch && FStyle == other.FStyle;
}

QFont TFont::ToQFont() const {
    const QString name = FromAnsi(FName);
    QStringList families{name};
    for (const TFaceSubstitute &face : FaceSubstitutes)
        if (name.compare(QLatin1String(face.Designed), Qt::CaseInsensitive) == 0)
            families.prepend(QString::fromLatin1(face.Installed));
    QFont font(families);
    // A positive height includes the internal leading, about a fifth of it. Heights from a file
    // may be anything; no screen needs glyphs beyond a thousand pixels.
    const std::int64_t height =
        FHeight < 0 ? -std::int64_t(FHeight) : std::int64_t(FHeight) * 4 / 5;
    font.setPixelSize(int(std::clamp<std::int64_t>(height, 1, MaxFontPixels)));
    font.setBold(FStyle >> fsBold & 1);
    font.setItalic(FStyle >> fsItalic & 1);
    font.setUnderline(FStyle >> fsUnderline & 1);
    font.setStrikeOut(FStyle >> fsStrikeOut & 1);
    if (FPitch == TFontPitch::fpFixed) font.setFixedPitch(true);
    return font;
}

QFont FitFont(QFont font, const QString &text, int width) {
    const auto advance = [&text](const QFont &f) {
        return QFontMetrics(f).size(Qt::TextShowMnemonic, text).width();
    };
    const int natural = advance(font);
    if (natural <= width) return font;
    // Start near the ratio needed; rounded advances may want a step or two more.
    int stretch =
        int(std::clamp<qint64>(qint64(100) * std::max(width, 0) / natural, MinFitStretch, 99));
    for (;; --stretch) {
        font.setStretch(stretch);
        if (stretch == MinFitStretch || advance(font) <= width) return font;
    }
}

// ---- TBitmap

const TClassInfo &TBitmap::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TBitmap, void>("TBitmap")
                                       .Bytes("Data", &TBitmap::Data, &TBitmap::SetData)
                                       .Extra()
                                       .Stored(&TBitmap::HasData)
                                       .Build();
    return info;
}

std::string TBitmap::Data() const {
    if (FFile.empty()) return {};
    const auto size = std::uint32_t(FFile.size());
    std::string data{char(size), char(size >> 8), char(size >> 16), char(size >> 24)};
    return data + FFile;
}

void TBitmap::SetData(const std::string &data) {
    if (data.size() < 4) throw EReadError("Bitmap data too short");
    const std::uint32_t size = std::uint8_t(data[0]) | std::uint8_t(data[1]) << 8 |
                               std::uint8_t(data[2]) << 16 |
                               std::uint32_t(std::uint8_t(data[3])) << 24;
    if (size != data.size() - 4) throw EReadError("Bitmap data length does not match");
    LoadFromFile(data.substr(4));
}

void TBitmap::LoadFromFile(const std::string &file) {
    QImage image;
    if (!file.empty() &&
        !image.loadFromData(reinterpret_cast<const uchar *>(file.data()), int(file.size()), "BMP"))
        throw EReadError("Invalid bitmap");
    FFile = file;
    FImage = image;
    if (OnChange) OnChange();
}

void TBitmap::Assign(const TBitmap &other) {
    FFile = other.FFile;
    FImage = other.FImage;
    if (OnChange) OnChange();
}
