#include "KarnaughView.h"

#include <QPainter>
#include <QPainterPath>

#include <array>

namespace {

constexpr int Cell = 44, Margin = 60;

// Gray code of i: neighbouring cells differ in one input.
std::uint32_t Gray(std::uint32_t i) {
    return i ^ (i >> 1);
}

std::uint32_t GrayIndex(std::uint32_t code) {
    std::uint32_t index = 0;
    for (; code; code >>= 1)
        index ^= code;
    return index;
}

// The positions along one side (size 2 or 4) that the cube's literals on those bits allow, in
// order, split into runs that do not wrap.
std::vector<std::pair<int, int>> Runs(int bits, std::uint32_t care, std::uint32_t value) {
    const int size = 1 << bits;
    std::vector<bool> in(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i)
        in[std::size_t(i)] = (Gray(std::uint32_t(i)) & care) == value;
    std::vector<std::pair<int, int>> runs; // first, count
    for (int i = 0; i < size; ++i) {
        if (!in[std::size_t(i)]) continue;
        if (!runs.empty() && runs.back().first + runs.back().second == i)
            ++runs.back().second;
        else
            runs.emplace_back(i, 1);
    }
    return runs;
}

} // namespace

TKarnaughView::TKarnaughView(QWidget *parent) : QWidget(parent) {
    setMinimumSize(sizeHint());
}

QSize TKarnaughView::sizeHint() const {
    return {Margin + 4 * Cell + 16, Margin + 4 * Cell + 16};
}

void TKarnaughView::SetFunction(const std::vector<std::string> &inputs, const TRowSet &rows,
                                const TCover &cover) {
    FInputs = int(inputs.size());
    FNames = inputs;
    FRows = rows;
    FCover = cover;
    update();
}

QPoint TKarnaughView::CellOfRow(int inputs, std::uint32_t row) {
    const int columnBits = inputs - RowInputs(inputs);
    const std::uint32_t columnCode = row & ((1u << columnBits) - 1);
    const std::uint32_t rowCode = row >> columnBits;
    return {int(GrayIndex(columnCode)), int(GrayIndex(rowCode))};
}

std::vector<QRect> TKarnaughView::CubeRects(int inputs, TCube cube) {
    const int rowBits = RowInputs(inputs), columnBits = inputs - rowBits;
    const std::uint32_t columnMask = (1u << columnBits) - 1;
    const auto rows = Runs(rowBits, cube.Care >> columnBits, cube.Value >> columnBits);
    const auto columns = Runs(columnBits, cube.Care & columnMask, cube.Value & columnMask);
    std::vector<QRect> rects;
    for (const auto &[top, height] : rows)
        for (const auto &[left, width] : columns)
            rects.emplace_back(left, top, width, height);
    return rects;
}

void TKarnaughView::paintEvent(QPaintEvent *) {
    if (!HasMap()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int rowBits = RowInputs(FInputs), columnBits = FInputs - rowBits;
    const int rows = 1 << rowBits, columns = 1 << columnBits;
    const QPoint origin(Margin, Margin);
    const QColor ink = palette().color(QPalette::WindowText);
    painter.setPen(ink);

    // The inputs of each side, and the Gray code of every row and column.
    const auto names = [&](int first, int count) {
        QStringList text;
        for (int i = first; i < first + count; ++i)
            text << QString::fromStdString(FNames[std::size_t(i)]);
        return text.join(QLatin1Char(' '));
    };
    const auto code = [](std::uint32_t value, int bits) {
        return QString::number(Gray(value), 2).rightJustified(bits, QLatin1Char('0'));
    };
    // The columns' inputs above their codes, the rows' inputs turned up beside theirs.
    painter.drawText(QRect(origin.x(), 0, columns * Cell, 18), Qt::AlignCenter,
                     names(rowBits, columnBits));
    painter.save();
    painter.translate(12, origin.y() + rows * Cell / 2);
    painter.rotate(-90);
    painter.drawText(QRect(-rows * Cell / 2, -9, rows * Cell, 18), Qt::AlignCenter,
                     names(0, rowBits));
    painter.restore();
    for (int c = 0; c < columns; ++c)
        painter.drawText(QRect(origin.x() + c * Cell, origin.y() - 20, Cell, 18), Qt::AlignCenter,
                         code(std::uint32_t(c), columnBits));
    for (int r = 0; r < rows; ++r)
        painter.drawText(QRect(origin.x() - 40, origin.y() + r * Cell, 36, Cell),
                         Qt::AlignRight | Qt::AlignVCenter, code(std::uint32_t(r), rowBits));

    for (std::uint32_t row = 0; row < (1u << FInputs); ++row) {
        const QPoint cell = CellOfRow(FInputs, row);
        const QRect box(origin + QPoint(cell.x() * Cell, cell.y() * Cell), QSize(Cell, Cell));
        painter.drawRect(box);
        const bool high = row / 64 < FRows.size() && (FRows[row / 64] >> (row % 64) & 1);
        painter.drawText(box, Qt::AlignCenter, high ? QStringLiteral("1") : QStringLiteral("0"));
    }

    // Each product in a colour of its own, inset a little more than the one before, so that
    // groups sharing cells stay apart.
    static const std::array<QColor, 8> colours = {
        QColor(214, 39, 40),   QColor(31, 119, 180), QColor(44, 160, 44),   QColor(255, 127, 14),
        QColor(148, 103, 189), QColor(23, 190, 207), QColor(227, 119, 194), QColor(140, 86, 75)};
    for (std::size_t i = 0; i < FCover.Cubes.size(); ++i) {
        painter.setPen(QPen(colours[i % colours.size()], 2));
        painter.setBrush(Qt::NoBrush);
        const int inset = 4 + int(i % 5) * 3;
        for (const QRect &cells : CubeRects(FInputs, FCover.Cubes[i])) {
            const QRect area(origin + QPoint(cells.left() * Cell, cells.top() * Cell),
                             QSize(cells.width() * Cell, cells.height() * Cell));
            painter.drawRoundedRect(area.adjusted(inset, inset, -inset, -inset), 8, 8);
        }
    }
}
