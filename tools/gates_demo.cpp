// Draws every gate kind in several states on one sheet and saves it, for looking at the pictures
// the network window will show:
//   gates_demo PICTURE.png [SCALE [RATIO]]
// SCALE enlarges the saved sheet by whole pixels (default 1); RATIO draws at that device pixel
// ratio, as on a high-density screen (default 1).

#include "gates/LogicCmp.h"
#include "gates/PortPainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <array>
#include <cstdio>

namespace {

constexpr int CellWidth = 110, CellHeight = 90, CaptionWidth = 60, Margin = 16;
// The network surface.
constexpr TColor Surface = clBtnFace;

struct TVariant {
    const char *Caption;
    TLevel InA, InB, Output;
    bool ShowType, ShowPortState, Border;
    int Width, Height;
};

constexpr std::array<TVariant, 7> Variants = {{
    {"all 0", 0, 0, 0, true, true, false, 50, 40},
    {"A=1 out=1", 1, 0, 1, true, true, false, 50, 40},
    {"B=1 out=0", 0, 1, 0, true, true, false, 50, 40},
    {"1 1 1 border", 1, 1, 1, true, true, true, 50, 40},
    {"plain out=1", 1, 1, 1, false, false, false, 50, 40},
    {"plain border", 0, 0, 0, false, false, true, 50, 40},
    {"80x60", 1, 0, 1, true, true, true, 80, 60},
}};

TPortLook Look(TLogicalPortType kind, const TVariant &variant) {
    TPortLook look;
    look.Kind = kind;
    look.Width = variant.Width;
    look.Height = variant.Height;
    // Lamps are always square in a real network.
    if (kind == TLogicalPortType::logLED) look.Width = look.Height;
    look.InA = variant.InA;
    look.InB = variant.InB;
    look.Output = variant.Output;
    look.ShowType = variant.ShowType;
    look.ShowPortState = variant.ShowPortState;
    look.Border = variant.Border;
    look.ParentColor = Surface;
    look.Font.SetColor(clWhite);
    return look;
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: gates_demo PICTURE.png [SCALE [RATIO]]\n");
        return 2;
    }
    const int scale = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const qreal ratio = argc > 3 ? std::max(0.5, std::atof(argv[3])) : 1.0;

    const int width = CaptionWidth + int(Variants.size()) * CellWidth + Margin;
    const int height = Margin + 20 + LogicalPortTypeCount * CellHeight;
    QImage sheet(int(width * ratio), int(height * ratio), QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(ratio);
    sheet.fill(ColorToQColor(Surface));
    {
        QPainter painter(&sheet);
        painter.setPen(Qt::black);
        for (std::size_t column = 0; column < Variants.size(); ++column)
            painter.drawText(CaptionWidth + int(column) * CellWidth, Margin,
                             QString::fromLatin1(Variants[column].Caption));
        for (int row = 0; row < LogicalPortTypeCount; ++row) {
            const auto kind = TLogicalPortType(row);
            const int top = Margin + 20 + row * CellHeight;
            painter.setPen(Qt::black);
            painter.drawText(4, top + 24, QString::fromLatin1(LogicalPortTypeNames[row].data()));
            // Wires beneath the gates, so that what a picture leaves transparent shows.
            painter.fillRect(CaptionWidth, top + 10, width - CaptionWidth - Margin, 1, Qt::black);
            painter.fillRect(CaptionWidth, top + 33, width - CaptionWidth - Margin, 1, Qt::blue);
            for (std::size_t column = 0; column < Variants.size(); ++column) {
                const int left = CaptionWidth + int(column) * CellWidth;
                painter.fillRect(left + 2, top - 4, 1, 70, Qt::darkGreen);
                painter.drawPixmap(left, top, PortPicture(Look(kind, Variants[column]), ratio));
            }
        }
    }
    if (scale > 1)
        sheet = sheet.scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const bool saved = sheet.save(path);
    std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(path));
    return saved ? 0 : 1;
}
