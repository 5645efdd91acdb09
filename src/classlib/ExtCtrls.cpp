#include "ExtCtrls.h"

#include "Canvas.h"

#include <QApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr std::array<std::string_view, 4> BevelCutElements = {"bvNone", "bvLowered", "bvRaised",
                                                              "bvSpace"};

// How far a scroll bar's arrow moves the contents, in pixels: about a line of text.
constexpr int LineStep = 20;

// The scroll box's widget: a sunken frame around the visible area (viewport), which holds the
// contents widget that is moved to scroll, and two scroll bars the box lays out itself, so that
// the layout does not wait for the widget to be shown.
class TScrollBoxWidget : public QFrame {
public:
    TScrollBoxWidget()
        : Viewport(new QWidget(this)), Contents(new QWidget(Viewport)),
          HorzBar(new QScrollBar(Qt::Horizontal, this)),
          VertBar(new QScrollBar(Qt::Vertical, this)) {
        setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
        for (QScrollBar *bar : {HorzBar, VertBar}) {
            bar->hide();
            // An arrow click moves a line, a wheel notch the desktop's number of lines.
            bar->setSingleStep(LineStep);
        }
    }

    QWidget *Viewport;
    QWidget *Contents;
    QScrollBar *HorzBar;
    QScrollBar *VertBar;

protected:
    void paintEvent(QPaintEvent *event) override {
        if (TControl *control = TControl::FromWidget(this))
            QPainter(this).fillRect(rect(), ColorToQColor(control->Color()));
        QFrame::paintEvent(event);
    }
    void resizeEvent(QResizeEvent *event) override {
        QFrame::resizeEvent(event);
        if (auto *box = dynamic_cast<TScrollBox *>(TControl::FromWidget(this)))
            box->LayoutScrollArea();
    }
    void wheelEvent(QWheelEvent *event) override {
        const bool sideways = event->angleDelta().x() != 0 && event->angleDelta().y() == 0;
        QScrollBar *bar = sideways || !VertBar->isVisible() ? HorzBar : VertBar;
        if (bar->isVisible())
            QApplication::sendEvent(bar, event);
        else
            event->ignore();
    }
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent *event) override { event->accept(); }
    void mouseDoubleClickEvent(QMouseEvent *event) override { event->accept(); }
};

// The largest extent and scroll position, far beyond any screen.
constexpr int MaxScroll = 1 << 24;

TScrollBoxWidget &ScrollWidget(const TScrollBox &box) {
    return *static_cast<TScrollBoxWidget *>(box.Widget());
}

} // namespace

const TEnumNames BevelCutNames = BevelCutElements;

void Frame3D(QPainter &painter, QRect &rect, const QColor &topLeft, const QColor &bottomRight,
             int width) {
    PaintFrame3D(painter, rect, topLeft, bottomRight, width);
}

// ---- TPanel

const TClassInfo &TPanel::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TPanel, TWinControl>("TPanel")
            .Enumeration("Align", AlignNames, &TPanel::Align, &TPanel::SetAlign)
            .Default(int(TAlign::alNone))
            .Enumeration("Alignment", AlignmentNames, &TPanel::Alignment, &TPanel::SetAlignment)
            .Default(int(TAlignment::taCenter))
            .Enumeration("BevelInner", BevelCutNames, &TPanel::BevelInner, &TPanel::SetBevelInner)
            .Default(int(TBevelCut::bvNone))
            .Enumeration("BevelOuter", BevelCutNames, &TPanel::BevelOuter, &TPanel::SetBevelOuter)
            .Default(int(TBevelCut::bvRaised))
            .Integer("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth)
            .Default(1)
            .Integer("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth)
            .Default(0)
            .String("Caption", &TPanel::Caption, &TPanel::SetCaption)
            .Integer("Color", &TPanel::Color, &TPanel::SetColor)
            .Symbols(ColorNames)
            .Default(clBtnFace)
            .Stored(&TPanel::IsColorStored)
            .Boolean("Enabled", &TPanel::Enabled, &TPanel::SetEnabled)
            .Default(1)
            .Integer("TabOrder", &TPanel::TabOrder, &TPanel::SetTabOrder)
            .Boolean("Visible", &TPanel::Visible, &TPanel::SetVisible)
            .Default(1)
            .Build();
    return info;
}

TPanel::TPanel(TComponent *owner) : TWinControl(owner, new TPaintedWidget) {
    SetColor(clBtnFace);
}

void TPanel::SetAlignment(TAlignment value) {
    FAlignment = value;
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut value) {
    FBevelInner = value;
    Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut value) {
    FBevelOuter = value;
    Invalidate();
}

void TPanel::SetBevelWidth(int value) {
    // Bounded, so that a hostile description cannot make painting loop for long.
    FBevelWidth = std::clamp(value, 1, 1000);
    Invalidate();
}

void TPanel::SetBorderWidth(int value) {
    FBorderWidth = std::clamp(value, 0, 1000);
    Invalidate();
}

void TPanel::Paint(QPainter &painter) {
    QRect rect = Widget()->rect();
    painter.fillRect(rect, ColorToQColor(Color()));
    PaintBevel(painter, rect, FBevelOuter);
    rect.adjust(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
    PaintBevel(painter, rect, FBevelInner);
    PaintCaption(painter, rect);
}

void TPanel::PaintBevel(QPainter &painter, QRect &rect, TBevelCut bevel) const {
    if (bevel == TBevelCut::bvNone) return;
    const QColor shadow = ColorToQColor(clBtnShadow), highlight = ColorToQColor(clBtnHighlight);
    if (bevel == TBevelCut::bvLowered)
        Frame3D(painter, rect, shadow, highlight, FBevelWidth);
    else
        Frame3D(painter, rect, highlight, shadow, FBevelWidth);
}

void TPanel::PaintCaption(QPainter &painter, const QRect &rect) const {
    if (Caption().empty()) return;
    const QFont font = Font()->ToQFont();
    painter.setFont(font);
    painter.setPen(ColorToQColor(Font()->Color()));
    const int textHeight = QFontMetrics(font).height();
    // Centred on the rectangle with exclusive bottom edge, rounding towards zero.
    const int top = (rect.top() + rect.top() + rect.height() - textHeight) / 2;
    const int horizontal = FAlignment == TAlignment::taLeftJustify    ? Qt::AlignLeft
                           : FAlignment == TAlignment::taRightJustify ? Qt::AlignRight
                                                                      : Qt::AlignHCenter;
    painter.drawText(QRect(rect.left(), top, rect.width(), textHeight),
                     horizontal | Qt::AlignVCenter | Qt::TextExpandTabs, FromAnsi(Caption()));
}

// ---- TPaintBox

const TClassInfo &TPaintBox::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TPaintBox, TGraphicControl>("TPaintBox")
                                       .Event("OnPaint", &TPaintBox::OnPaint)
                                       .Build();
    return info;
}

void TPaintBox::Paint(QPainter &painter) {
    struct Scope {
        QPainter *&Canvas;
        ~Scope() { Canvas = nullptr; }
    } scope{FCanvas};
    FCanvas = &painter;
    OnPaint(this);
}

// ---- TControlScrollBar

const TClassInfo &TControlScrollBar::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TControlScrollBar, void>("TControlScrollBar")
            .Integer("Position", &TControlScrollBar::Position, &TControlScrollBar::SetPosition)
            .Default(0)
            .Build();
    return info;
}

int TControlScrollBar::Position() const {
    return FKind == Qt::Horizontal ? FBox.ScrollPosition().x() : FBox.ScrollPosition().y();
}

void TControlScrollBar::SetPosition(int value) {
    QPoint position = FBox.ScrollPosition();
    (FKind == Qt::Horizontal ? position.rx() : position.ry()) = value;
    FBox.ScrollTo(position);
}

// ---- TScrollBox

const TClassInfo &TScrollBox::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TScrollBox, TWinControl>("TScrollBox")
            .Object("HorzScrollBar", &TScrollBox::HorzScrollBar)
            .Object("VertScrollBar", &TScrollBox::VertScrollBar)
            .Enumeration("Align", AlignNames, &TScrollBox::Align, &TScrollBox::SetAlign)
            .Default(int(TAlign::alNone))
            .Integer("TabOrder", &TScrollBox::TabOrder, &TScrollBox::SetTabOrder)
            .Build();
    return info;
}

TScrollBox::TScrollBox(TComponent *owner)
    : TWinControl(owner, new TScrollBoxWidget), FLayoutGuard(std::make_unique<QObject>()) {
    SetColor(clBtnFace);
    TScrollBoxWidget &widget = ScrollWidget(*this);
    for (QScrollBar *bar : {widget.HorzBar, widget.VertBar})
        QObject::connect(bar, &QScrollBar::valueChanged, bar, [this] { ScrollBarMoved(); });
}

QWidget *TScrollBox::ClientWidget() const {
    return ScrollWidget(*this).Contents;
}

QSize TScrollBox::ViewSize() const {
    FlushLayout();
    return ScrollWidget(*this).Viewport->size();
}

void TScrollBox::ScrollBarMoved() {
    if (FLayingOut) return;
    const TScrollBoxWidget &widget = ScrollWidget(*this);
    ScrollTo(QPoint(widget.HorzBar->value(), widget.VertBar->value()));
}

void TScrollBox::ScrollTo(QPoint position) {
    if (!Loading()) {
        LayoutScrollArea();
        const QSize view = ViewSize();
        position.setX(std::min(position.x(), FExtent.width() - view.width()));
        position.setY(std::min(position.y(), FExtent.height() - view.height()));
    }
    position =
        QPoint(std::clamp(position.x(), 0, MaxScroll), std::clamp(position.y(), 0, MaxScroll));
    if (position == FPosition) return;
    MoveView(position);
    LayoutScrollArea();
}

void TScrollBox::MoveView(QPoint position) {
    const QPoint delta = position - FPosition;
    FPosition = position;
    // The children keep their place in the contents; only their visible position changes.
    const bool layingOut = std::exchange(FLayingOut, true);
    auto moved = [](int position, int by) {
        return int(std::clamp<qint64>(qint64(position) - by, std::numeric_limits<int>::min(),
                                      std::numeric_limits<int>::max()));
    };
    for (TControl *control : Controls())
        control->SetBounds(moved(control->Left(), delta.x()), moved(control->Top(), delta.y()),
                           control->Width(), control->Height());
    FLayingOut = layingOut;
}

void TScrollBox::Loaded() {
    TWinControl::Loaded();
    // The stored position is kept while loading; now it meets the real extent.
    ScrollTo(FPosition);
}

void TScrollBox::RequestLayout() {
    if (FLayingOut || FLayoutPending) return;
    FLayoutPending = true;
    QTimer::singleShot(0, FLayoutGuard.get(), [this] { FlushLayout(); });
}

void TScrollBox::FlushLayout() const {
    if (FLayoutPending) const_cast<TScrollBox *>(this)->LayoutScrollArea();
}

void TScrollBox::LayoutScrollArea() {
    if (FLayingOut) return;
    FLayingOut = true;
    FLayoutPending = false;
    TScrollBoxWidget &widget = ScrollWidget(*this);
    const QRect area = widget.contentsRect();

    // Wide arithmetic: descriptions may place children anywhere.
    qint64 wideRight = 0, wideBottom = 0;
    for (TControl *control : Controls()) {
        if (!control->Visible()) continue;
        wideRight = std::max(wideRight, qint64(control->Left()) + FPosition.x() + control->Width());
        wideBottom =
            std::max(wideBottom, qint64(control->Top()) + FPosition.y() + control->Height());
    }
    const int right = int(std::min<qint64>(wideRight, MaxScroll)),
              bottom = int(std::min<qint64>(wideBottom, MaxScroll));
    FExtent = QSize(right, bottom);

    const int thickness = widget.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &widget);
    bool horizontal = right > area.width(), vertical = bottom > area.height();
    if (horizontal && !vertical) vertical = bottom > area.height() - thickness;
    if (vertical && !horizontal) horizontal = right > area.width() - thickness;
    const int viewWidth = std::max(0, area.width() - (vertical ? thickness : 0));
    const int viewHeight = std::max(0, area.height() - (horizontal ? thickness : 0));
    // A view that grew, or contents that shrank, scroll back; a stored position waits for the
    // end of loading.
    if (!Loading()) {
        const QPoint limited(std::clamp(FPosition.x(), 0, std::max(0, right - viewWidth)),
                             std::clamp(FPosition.y(), 0, std::max(0, bottom - viewHeight)));
        if (limited != FPosition) MoveView(limited);
    }

    widget.Viewport->setGeometry(area.x(), area.y(), viewWidth, viewHeight);
    widget.Contents->setGeometry(-FPosition.x(), -FPosition.y(),
                                 std::max(right, FPosition.x() + viewWidth),
                                 std::max(bottom, FPosition.y() + viewHeight));
    widget.HorzBar->setGeometry(area.x(), area.y() + viewHeight, viewWidth, thickness);
    widget.VertBar->setGeometry(area.x() + viewWidth, area.y(), thickness, viewHeight);
    widget.HorzBar->setVisible(horizontal);
    widget.VertBar->setVisible(vertical);
    widget.HorzBar->setRange(0, std::max(right - viewWidth, FPosition.x()));
    widget.HorzBar->setPageStep(std::max(1, viewWidth));
    widget.HorzBar->setValue(FPosition.x());
    widget.VertBar->setRange(0, std::max(bottom - viewHeight, FPosition.y()));
    widget.VertBar->setPageStep(std::max(1, viewHeight));
    widget.VertBar->setValue(FPosition.y());
    FLayingOut = false;
}
