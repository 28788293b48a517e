// A picture on a worksheet (Worksheet::shapes, Worksheet::picturesInsert).
#pragma once

#include <QSize>
#include <QString>

namespace tav::xls {

class Range;
struct SheetModel;

// A picture on a worksheet.
class Shape {
public:
    // The cell under the picture's top-left corner.
    Range topLeftCell() const;
    // The cell under the picture's bottom-right corner (from the column widths and row
    // heights as they are now).
    Range bottomRightCell() const;
    // Makes the picture the selection of its sheet.
    void select();
    double width() const;  // points
    double height() const; // points
    // The name shown by the desktop program, "Picture N".
    QString name() const;
    // True when the picture is stored as a JPEG picture (pasted as "図 (JPEG)");
    // false for a pasted bitmap or an inserted file before the JPEG conversion.
    bool isJpeg() const;
    // Pixel size of the picture as it is held now (reduced once its size is set).
    QSize pixelSize() const;
    // False once the picture was cut from the sheet.
    bool isValid() const;

private:
    friend class Worksheet;
    friend class Selection;
    Shape(SheetModel* sheet, int shapeId);
    SheetModel* sheet_;
    int id_;
};

} // namespace tav::xls
