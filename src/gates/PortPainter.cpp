#include "PortPainter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <functional>
#include <unordered_map>

namespace {

using enum TLogicalPortType;

const char *Mark(TLevel level) {
    return level ? "1" : "0";
}

void PaintSwitch(TCanvas &canvas, const TPortLook &look) {
    const int w = look.Width, h = look.Height;
    canvas.SetBrush(TBrushStyle::bsSolid, clBtnFace);
    canvas.SetPen(TPenStyle::psSolid, 1, clBlack);
    canvas.Rectangle(0, 0, w, h);
    // The button looks held down while its output is 1.
    const bool pressed = look.Output != 0;
    canvas.Bevel(4, 4, w - 4, h - 4, pressed ? clBtnShadow : clBtnHighlight,
                 pressed ? clBtnHighlight : clBtnShadow, 2);
}

void PaintLamp(TCanvas &canvas, const TPortLook &look) {
    const int d = std::min(look.Width, look.Height) - 2;
    const int t = (look.Height - d) / 2, l = (look.Width - d) / 2, b = t + d, r = l + d;
    const int j = d / 7, k = 6 * j;
    const bool lit = look.Output != 0;
    const TColor core = lit ? clRed : clMaroon, shade = lit ? clMaroon : clBlack,
                 gleam = lit ? clWhite : clRed;

    // The housing: two outlines offset by a pixel give it a lit edge (white) and a shadowed
    // edge (black); the grey disc drawn last hides their fill.
    canvas.SetBrush(TBrushStyle::bsSolid, clBtnShadow);
    canvas.SetPen(TPenStyle::psSolid, 1, clWhite);
    canvas.Ellipse(l - 1, t - 1, r, b);
    canvas.SetPen(TPenStyle::psSolid, 1, clBlack);
    canvas.Ellipse(l, t, r + 1, b + 1);
    canvas.SetPen(TPenStyle::psSolid, 1, clBtnShadow);
    canvas.Ellipse(l, t, r, b);

    // The lens. Two offset ellipses in the highlight and shadow colours, then the core over
    // them, leave only thin crescents visible, which makes the lens look curved.
    canvas.SetBrush(TBrushStyle::bsSolid, core);
    canvas.Ellipse(l + j, t + j, r - j, b - j);
    canvas.SetPen(TPenStyle::psClear, 1, clBtnShadow);
    canvas.SetBrush(TBrushStyle::bsSolid, gleam);
    canvas.Ellipse(l + k / 2, t + 2 * k / 7, r - k / 4, b - 2 * k / 5);
    canvas.SetBrush(TBrushStyle::bsSolid, shade);
    canvas.Ellipse(l + 3 * k / 10, t + k / 2, r - 2 * k / 5, b - k / 4);
    canvas.SetBrush(TBrushStyle::bsSolid, core);
    canvas.Ellipse(l + 2 * k / 7, t + 2 * k / 7, r - 2 * k / 7, b - 2 * k / 7);
}

void PaintGate(TCanvas &canvas, const TPortLook &look) {
    const TLogicalPortType kind = look.Kind;
    const int W = look.Width, H = look.Height;
    const bool orFamily = IsOrFamily(kind), flipFlop = kind == logFFD || kind == logFFJK;
    const int b = IsInverting(kind) ? W / 8 : 0;
    // For the flip-flops the body width is the size of the cut corners.
    const int w = kind == logCLK ? W : flipFlop ? W / 6 : 2 * W / 3;
    const int a = w / 3;

    canvas.SetPen(TPenStyle::psClear, 1, look.Color);
    canvas.SetBrush(TBrushStyle::bsSolid, look.Color);
    if (kind == logNOT)
        canvas.Polygon({{0, H}, {0, 0}, {W - 2 * b, H / 2}});
    else
        canvas.Ellipse(0, 0, W - 2 * b, H);

    if (b > 0) {
        canvas.SetPen(TPenStyle::psSolid, 1, clBlack);
        canvas.Ellipse(W - 2 * b, H / 2 - b, W, H / 2 + b);
        canvas.SetPen(TPenStyle::psClear, 1, look.Color);
    }

    if (kind == logFFD)
        canvas.Polygon({{0, 0}, {W - w, 0}, {W, w}, {W, H - w}, {W - w, H}, {0, H}});
    else if (kind == logFFJK)
        canvas.Polygon(
            {{w, 0}, {W - w, 0}, {W, w}, {W, H - w}, {W - w, H}, {w, H}, {0, H - w}, {0, w}});
    else if (kind != logNOT)
        // Together with the ellipse: the D shape, or for the clock the whole rectangle.
        canvas.Rectangle(0, 0, w - b, H);

    if (orFamily) {
        // The concave back, carved out in the colour of what lies beneath.
        canvas.SetBrush(TBrushStyle::bsSolid, look.ParentColor);
        canvas.Ellipse(-a, 0, a, H);
        canvas.SetBrush(TBrushStyle::bsSolid, look.Color);
    }
    if (kind == logXOR || kind == logNXOR) {
        canvas.SetPen(TPenStyle::psSolid, 2, look.Color);
        canvas.SetBrush(TBrushStyle::bsClear, look.Color);
        canvas.Ellipse(-a - 4, 0, a - 4, H);
    }

    canvas.SetBrush(TBrushStyle::bsClear, look.Color);
    canvas.SetFont(look.Font);
    // Font heights chosen by size are negative, so these offsets lift the text above a line.
    const int h = look.Font.Height();
    if (look.ShowType) {
        // Centred as always, condensed where it would run into the output mark or the edges.
        const std::string label(KindLabel(kind));
        const int outputMark = W - canvas.TextWidth("0") - 2;
        canvas.FitFontTo(label, look.ShowPortState ? 2 * (outputMark - 1) - W : W - 2);
        canvas.TextOut((W - canvas.TextWidth(label)) / 2, H / 2 + h + 2, label);
        canvas.SetFont(look.Font);
    }
    if (look.ShowPortState) {
        const int m = orFamily ? W / 8 : kind == logFFJK ? w : 1;
        if (kind == logNOT) {
            canvas.TextOut(m, H / 2 + h + 3, Mark(look.InA));
        } else {
            canvas.TextOut(m, 2, Mark(look.InA));
            canvas.TextOut(m, H + h - 2, Mark(look.InB));
        }
        canvas.TextOut(W - canvas.TextWidth("0") - 2, H / 2 + h + 3, Mark(look.Output));
    }
}

struct TPictureKey {
    TPortLook Look;
    qreal Ratio;
    bool operator==(const TPictureKey &other) const {
        return Ratio == other.Ratio && Look == other.Look;
    }
};

struct TPictureKeyHash {
    std::size_t operator()(const TPictureKey &key) const {
        const TPortLook &l = key.Look;
        std::size_t seed = 0;
        auto mix = [&seed](std::size_t value) {
            seed ^= value + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2);
        };
        mix(std::size_t(l.Kind));
        mix(std::size_t(unsigned(l.Width)));
        mix(std::size_t(unsigned(l.Height)));
        mix(std::size_t(l.InA) | std::size_t(l.InB) << 1 | std::size_t(l.Output) << 2 |
            std::size_t(l.ShowType) << 3 | std::size_t(l.ShowPortState) << 4 |
            std::size_t(l.Border) << 5);
        mix(std::size_t(std::uint32_t(l.Color)));
        mix(std::size_t(std::uint32_t(l.ParentColor)));
        mix(std::size_t(std::uint32_t(l.Font.Color())));
        mix(std::size_t(unsigned(l.Font.Height())));
        mix(std::size_t(l.Font.Style()));
        mix(std::hash<std::string>()(l.Font.Name()));
        mix(std::hash<double>()(double(key.Ratio)));
        return seed;
    }
};

// Busy networks hold few distinct looks; the limits only stop odd sizes from piling up.
constexpr std::size_t MaxCachedPictures = 256;
constexpr qint64 MaxCachedBytes = qint64(64) << 20;
// Pictures beyond this many device pixels are not drawn at all.
constexpr qint64 MaxPicturePixels = qint64(1) << 24;

} // namespace

bool TPortLook::operator==(const TPortLook &other) const {
    return Kind == other.Kind && Width == other.Width && Height == other.Height &&
           InA == other.InA && InB == other.InB && Output == other.Output &&
           ShowType == other.ShowType && ShowPortState == other.ShowPortState &&
           Border == other.Border && Color == other.Color && ParentColor == other.ParentColor &&
           Font == other.Font;
}

std::string_view KindLabel(TLogicalPortType kind) {
    switch (kind) {
    case logAND:
        return "AND";
    case logOR:
        return "OR";
    case logNOT:
        return "NOT";
    case logXOR:
        return "XOR";
    case logNAND:
        return "NAND";
    case logNOR:
        return "NOR";
    case logNXOR:
        return "NXOR";
    case logCLK:
        return "CLK";
    case logPLS:
    case logLED:
        return "";
    case logFFD:
        return "FFD";
    case logFFJK:
        return "FFJK";
    }
    return "";
}

void PaintPort(TCanvas &canvas, const TPortLook &look) {
    if (look.Kind == logPLS)
        PaintSwitch(canvas, look);
    else if (look.Kind == logLED)
        PaintLamp(canvas, look);
    else
        PaintGate(canvas, look);

    if (look.Border) {
        canvas.SetBrush(TBrushStyle::bsClear, clBlack);
        canvas.SetPen(TPenStyle::psDot, 1, clBlack);
        canvas.Rectangle(0, 0, look.Width, look.Height);
    }
}

QPixmap PortPicture(const TPortLook &look, qreal devicePixelRatio) {
    const qreal ratio =
        devicePixelRatio > 0 && std::isfinite(devicePixelRatio) ? devicePixelRatio : 1;
    if (look.Width <= 0 || look.Height <= 0) return QPixmap();
    const qreal deviceWidth = std::ceil(look.Width * ratio),
                deviceHeight = std::ceil(look.Height * ratio);
    if (deviceWidth * deviceHeight > qreal(MaxPicturePixels)) return QPixmap();
    const int pixelWidth = int(deviceWidth), pixelHeight = int(deviceHeight);

    static std::unordered_map<TPictureKey, QPixmap, TPictureKeyHash> cache;
    static qint64 cachedBytes = 0;
    TPictureKey key{look, ratio};
    // The key must not keep the port's change handler alive.
    key.Look.Font.OnChange = nullptr;
    if (auto found = cache.find(key); found != cache.end()) return found->second;

    QPixmap picture(pixelWidth, pixelHeight);
    if (picture.isNull()) return picture;
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        TPainterCanvas canvas(painter);
        PaintPort(canvas, look);
    }

    const qint64 bytes = qint64(pixelWidth) * pixelHeight * 4;
    if (cache.size() >= MaxCachedPictures || cachedBytes + bytes > MaxCachedBytes) {
        cache.clear();
        cachedBytes = 0;
    }
    cache.emplace(std::move(key), picture);
    cachedBytes += bytes;
    return picture;
}
