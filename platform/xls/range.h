// A range of cells of a worksheet (Worksheet::range, Application::activeCell).
#pragma once

#include <QString>

#include <memory>

namespace tav::xls {

class Border;
struct SheetModel;

// A range of cells: one or more rectangular areas of one worksheet, made from an
// address text. Rows and columns of a whole-column range ("A:AZ") run over all
// 65536 rows; of a whole-row range ("1:88") over all 256 columns.
class Range {
public:
    // Makes the range the selection of its sheet and activates the sheet; its first
    // cell becomes the active cell.
    void select();

    // The address in absolute A1 form, e.g. "$H$6", "$D$3:$D$18", "$A:$AZ", "$1:$88",
    // areas separated by ",".
    QString address() const;
    int row() const;         // first row of the first area, 1-based
    int column() const;      // first column of the first area, 1-based
    int rowCount() const;    // rows of the first area
    int columnCount() const; // columns of the first area

    // Width of every column the range touches, in characters of the default font
    // (0..255; 0 hides the column). Other values throw 1004.
    void setColumnWidth(double characters);
    // Width of the first column, in characters.
    double columnWidth() const;
    // Width of the first area in points: the sum of its columns' widths.
    double width() const;
    // Height of every row the range touches, in points (0..409). Other values: 1004.
    void setRowHeight(double points);
    // Height of the first row, in points.
    double rowHeight() const;

    // Writes `text` into every cell of the range. A leading apostrophe stores the
    // rest as text (the apostrophe is not part of the value); a plain decimal number
    // ("12", "-3.5") is stored as a number; any other text, including one starting
    // with "=", is stored as text (the engine does not evaluate formulas). An empty
    // text clears the value and keeps the cell's format. At most 65536 cells.
    void setFormulaR1C1(const QString& text);
    // The first cell's value as it was written (without the apostrophe), or "".
    QString text() const;
    // The first cell's content in formula form: text cells that were written with
    // the apostrophe come back with it.
    QString formulaR1C1() const;

    // Cell formats of every cell of the range (at most 65536 cells, else 1004).
    // horizontal: xlLeft -4131, xlCenter -4108, xlRight -4152, xlGeneral 1.
    void setHorizontalAlignment(int value);
    int horizontalAlignment() const;
    // vertical: xlTop -4160, xlCenter -4108, xlBottom -4107.
    void setVerticalAlignment(int value);
    int verticalAlignment() const;
    void setWrapText(bool on);
    bool wrapText() const;
    // Text rotation in degrees, -90..90 (0 horizontal), or xlVertical -4166.
    void setOrientation(int degrees);
    int orientation() const;
    void setAddIndent(bool on);
    void setShrinkToFit(bool on);
    bool shrinkToFit() const;
    // True merges each area of the range into one cell; false unmerges every merged
    // area the range touches.
    void setMergeCells(bool on);
    bool mergeCells() const;

    Border borders(int index) const;

    // Engine internals: the parsed areas.
    struct Areas;

private:
    friend class Worksheet;
    friend class Shape;
    friend class Application;
    friend class Selection;
    friend class Border;
    Range(SheetModel* sheet, std::shared_ptr<const Areas> areas);
    SheetModel* sheet_;
    std::shared_ptr<const Areas> areas_;
};

} // namespace tav::xls
