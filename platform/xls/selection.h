// The application's selection (Application::selection).
#pragma once

namespace tav::xls {

class Range;
class ShapeRange;
struct SheetModel;

// The application's selection: a range or one picture.
class Selection {
public:
    bool isRange() const;
    bool isShape() const;
    // The selected range; 1004 when a picture is selected.
    Range range() const;
    // The selected picture's size; 1004 when a range is selected.
    ShapeRange shapeRange() const;
    // Removes the selected picture from the sheet and puts it on the clipboard (its
    // size stays with it). A selected range: 1004 (only pictures are cut).
    void cut();

private:
    friend class Application;
    explicit Selection(SheetModel* sheet);
    SheetModel* sheet_;
};

} // namespace tav::xls
