#pragma once

// Speed buttons: windowless tool-bar buttons with a caption and a glyph, which can stay down.

#include "Controls.h"

#include <QImage>

// A windowless button. With GroupIndex 0 it only clicks. Buttons of the same parent that share
// a non-zero GroupIndex form a group in which at most one is down: clicking an up button puts
// it down and the others up; clicking the down one puts it up only when AllowAllUp is set. A
// click changes Down right before OnClick runs, so the handler always sees the state its click
// left; every click counts, the second of a double click too. The glyph's bottom-left pixel gives
// its transparent colour; a disabled button shows the glyph and the caption greyed. A flat button
// shows its frame only while the mouse is over it or while it is down.
class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent *owner);
    ZENTARO_CLASS_INFO()

    bool AllowAllUp() const { return FAllowAllUp; }
    // Applies to the whole group.
    void SetAllowAllUp(bool value);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool Down() const { return FDown; }
    void SetDown(bool value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value);
    TBitmap *Glyph() { return &FGlyph; }
    void SetEnabled(bool enabled) override;

    void Paint(QPainter &painter) override;
    bool WidgetEvent(QEvent *event) override;

protected:
    void Click() override;
    bool DoubleClickIsPress() const override { return true; }
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void CaptionChanged() override { Invalidate(); }
    int CaptionRoom() const override;

private:
    // The other buttons of this one's group.
    std::vector<TSpeedButton *> GroupMates() const;
    // Puts the other buttons of the group up, whatever their AllowAllUp.
    void ReleaseMates();
    void GlyphChanged();
    bool ShowsPressed() const { return FDown || (FTracking && FPressedInside); }

    bool FAllowAllUp = false;
    int FGroupIndex = 0;
    bool FDown = false;
    bool FFlat = false;
    TBitmap FGlyph;
    QImage FGlyphImage;  // with the transparent colour cleared
    QImage FGlyphGreyed; // the dark silhouette of a disabled glyph
    QImage FGlyphRelief; // its light relief, drawn one pixel lower right
    bool FTracking = false;
    bool FPressedInside = false;
    bool FMouseOver = false;
};
