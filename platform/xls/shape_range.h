// The size of a selected picture (Selection::shapeRange).
#pragma once

namespace tav::xls {

struct SheetModel;

// The size of a selected picture (Selection::shapeRange()).
class ShapeRange {
public:
    // msoTrue (-1) keeps width and height in proportion: setting one then scales the
    // other by the same factor. msoFalse (0) lets them change alone.
    void setLockAspectRatio(int msoTriState);
    int lockAspectRatio() const;
    // Size in points (> 0 and ≤ 169087, else 1004). The top-left corner stays put.
    void setHeight(double points);
    void setWidth(double points);
    double height() const;
    double width() const;

private:
    friend class Selection;
    friend class Shape;
    ShapeRange(SheetModel* sheet, int shapeId);
    SheetModel* sheet_;
    int id_;
};

} // namespace tav::xls
