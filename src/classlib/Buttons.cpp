#include "Buttons.h"

#include "ExtCtrls.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>

const TClassInfo &TSpeedButton::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TSpeedButton, TGraphicControl>("TSpeedButton")
            .Boolean("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp)
            .Default(0)
            .Integer("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex)
            .Default(0)
            .Boolean("Down", &TSpeedButton::Down, &TSpeedButton::SetDown)
            .Default(0)
            .String("Caption", &TSpeedButton::Caption, &TSpeedButton::SetCaption)
            .Boolean("Enabled", &TSpeedButton::Enabled, &TSpeedButton::SetEnabled)
            .Default(1)
            .Boolean("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat)
            .Default(0)
            .Object("Glyph", &TSpeedButton::Glyph)
            .Boolean("ParentShowHint", &TSpeedButton::ParentShowHint,
                     &TSpeedButton::SetParentShowHint)
            .Default(1)
            .Boolean("ShowHint", &TSpeedButton::ShowHint, &TSpeedButton::SetShowHint)
            .Stored(&TSpeedButton::IsShowHintStored)
            .Boolean("Visible", &TSpeedButton::Visible, &TSpeedButton::SetVisible)
            .Default(1)
            .Event("OnClick", &TSpeedButton::OnClick)
            .Build();
    return info;
}

TSpeedButton::TSpeedButton(TComponent *owner) : TGraphicControl(owner) {
    FGlyph.OnChange = [this] { GlyphChanged(); };
}

std::vector<TSpeedButton *> TSpeedButton::GroupMates() const {
    std::vector<TSpeedButton *> mates;
    if (!Parent() || FGroupIndex == 0) return mates;
    for (TControl *control : Parent()->GraphicControls())
        if (auto *button = dynamic_cast<TSpeedButton *>(control);
            button && button != this && button->FGroupIndex == FGroupIndex)
            mates.push_back(button);
    return mates;
}

void TSpeedButton::SetAllowAllUp(bool value) {
    FAllowAllUp = value;
    // While loading, each button of a group reads its own value.
    if (!Loading())
        for (TSpeedButton *mate : GroupMates())
            mate->FAllowAllUp = value;
}

void TSpeedButton::SetGroupIndex(int value) {
    FGroupIndex = value;
    if (value == 0 && FDown) {
        FDown = false;
        Invalidate();
    }
    if (FDown) ReleaseMates();
}

void TSpeedButton::SetDown(bool value) {
    if (FGroupIndex == 0) value = false;
    if (value == FDown) return;
    // The down button of a group comes up only when all may be up.
    if (FDown && !FAllowAllUp) return;
    FDown = value;
    Invalidate();
    if (value) ReleaseMates();
}

void TSpeedButton::ReleaseMates() {
    for (TSpeedButton *mate : GroupMates())
        if (mate->FDown) {
            mate->FDown = false;
            mate->Invalidate();
        }
}

void TSpeedButton::SetFlat(bool value) {
    FFlat = value;
    Invalidate();
}

void TSpeedButton::SetEnabled(bool enabled) {
    TGraphicControl::SetEnabled(enabled);
    Invalidate();
}

void TSpeedButton::GlyphChanged() {
    FGlyphImage = FGlyphGreyed = FGlyphRelief = QImage();
    if (!FGlyph.Empty()) {
        QImage image = FGlyph.Image().convertToFormat(QImage::Format_ARGB32);
        const QRgb transparent = image.pixel(0, image.height() - 1);
        QImage greyed(image.size(), QImage::Format_ARGB32),
            relief(image.size(), QImage::Format_ARGB32);
        greyed.fill(Qt::transparent);
        relief.fill(Qt::transparent);
        const QRgb shadow = ColorToQColor(clBtnShadow).rgb(),
                   highlight = ColorToQColor(clBtnHighlight).rgb();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (pixel == transparent) {
                    image.setPixel(x, y, 0);
                } else if (qGray(pixel) < 192) {
                    // Light parts of the picture vanish into the face; dark ones stay as relief.
                    greyed.setPixel(x, y, shadow);
                    relief.setPixel(x, y, highlight);
                }
            }
        FGlyphImage = image;
        FGlyphGreyed = greyed;
        FGlyphRelief = relief;
    }
    ApplyFont();
    Invalidate();
}

int TSpeedButton::CaptionRoom() const {
    // Inside the two-pixel frame, beside the glyph and its spacing.
    const int glyph = FGlyphImage.isNull() ? 0 : FGlyphImage.width() + 4;
    return std::max(0, Width() - 4 - glyph);
}

void TSpeedButton::Paint(QPainter &painter) {
    QRect rect = Widget()->rect();
    const bool pressed = ShowsPressed();
    const QColor face = ColorToQColor(clBtnFace), highlight = ColorToQColor(clBtnHighlight),
                 shadow = ColorToQColor(clBtnShadow), dark = ColorToQColor(cl3DDkShadow),
                 light = ColorToQColor(cl3DLight);
    if (!FFlat) {
        painter.fillRect(rect, face);
        if (pressed) {
            Frame3D(painter, rect, dark, highlight, 1);
            Frame3D(painter, rect, shadow, light, 1);
        } else {
            Frame3D(painter, rect, highlight, dark, 1);
            Frame3D(painter, rect, light, shadow, 1);
        }
    } else if (pressed) {
        Frame3D(painter, rect, shadow, highlight, 1);
    } else if (FMouseOver && Enabled()) {
        Frame3D(painter, rect, highlight, shadow, 1);
    } else {
        // A flat button at rest shows what lies beneath it.
        rect.adjust(1, 1, -1, -1);
    }
    if (FDown && !(FTracking && FPressedInside)) {
        // A button that stays down has a checkered face.
        painter.save();
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(face);
        painter.fillRect(rect, QBrush(highlight, Qt::Dense4Pattern));
        painter.restore();
    }

    const int offset = pressed ? 1 : 0;
    const QString text = FromAnsi(Caption());
    const QFont font = Widget()->font();
    const QSize textSize =
        text.isEmpty() ? QSize() : QFontMetrics(font).size(Qt::TextShowMnemonic, text);
    const QSize glyphSize = FGlyphImage.size();
    const int spacing = !glyphSize.isEmpty() && !text.isEmpty() ? 4 : 0;
    const QRect area = Widget()->rect();
    const int left = (area.width() - glyphSize.width() - spacing - textSize.width()) / 2 + offset;

    if (!glyphSize.isEmpty()) {
        const QPoint at(left, (area.height() - glyphSize.height()) / 2 + offset);
        if (Enabled()) {
            painter.drawImage(at, FGlyphImage);
        } else {
            painter.drawImage(at + QPoint(1, 1), FGlyphRelief);
            painter.drawImage(at, FGlyphGreyed);
        }
    }
    if (!text.isEmpty()) {
        const QRect textRect(left + glyphSize.width() + spacing,
                             (area.height() - textSize.height()) / 2 + offset, textSize.width(),
                             textSize.height());
        constexpr int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        painter.setFont(font);
        if (Enabled()) {
            painter.setPen(ColorToQColor(Font()->Color()));
        } else {
            painter.setPen(highlight);
            painter.drawText(textRect.translated(1, 1), flags, text);
            painter.setPen(shadow);
        }
        painter.drawText(textRect, flags, text);
    }
}

bool TSpeedButton::WidgetEvent(QEvent *event) {
    if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
        FMouseOver = event->type() == QEvent::Enter;
        if (FFlat) Invalidate();
    }
    return TGraphicControl::WidgetEvent(event);
}

void TSpeedButton::Click() {
    if (FGroupIndex != 0) SetDown(!FDown);
    TGraphicControl::Click();
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == TMouseButton::mbLeft && Enabled()) {
        FTracking = true;
        FPressedInside = true;
        Invalidate();
    }
    TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
    if (FTracking) {
        const bool inside = Widget()->rect().contains(x, y);
        if (inside != FPressedInside) {
            FPressedInside = inside;
            Invalidate();
        }
    }
    TGraphicControl::MouseMove(shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == TMouseButton::mbLeft && FTracking) {
        FTracking = false;
        Invalidate();
    }
    TGraphicControl::MouseUp(button, shift, x, y);
}
