#pragma once

// The Karnaugh map of one output of a function of 2 to 4 inputs: the cells in Gray-code order,
// each showing the output's level, and the products of a minimal sum outlined in colours.

#include "sim/Minimize.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class TKarnaughView : public QWidget {
public:
    static constexpr int MinInputs = 2, MaxInputs = 4;

    explicit TKarnaughView(QWidget *parent = nullptr);

    // Shows nothing unless inputs has MinInputs to MaxInputs names.
    void SetFunction(const std::vector<std::string> &inputs, const TRowSet &rows,
                     const TCover &cover);
    bool HasMap() const { return FInputs >= MinInputs && FInputs <= MaxInputs; }

    // The map's rows take the first inputs, its columns the others (for 3 inputs: 1 and 2).
    static int RowInputs(int inputs) { return inputs / 2; }
    // The cell (column, row) of a row of the function.
    static QPoint CellOfRow(int inputs, std::uint32_t row);
    // The cells a product covers, as rectangles of cells: one, or pieces where it wraps around
    // an edge of the map.
    static std::vector<QRect> CubeRects(int inputs, TCube cube);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int FInputs = 0;
    std::vector<std::string> FNames;
    TRowSet FRows;
    TCover FCover;
};
