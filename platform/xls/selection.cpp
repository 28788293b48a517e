#include "platform/xls/selection.h"

#include "platform/xls/application.h"
#include "platform/xls/object_model.h"
#include "platform/xls/shape_range.h"

namespace tav::xls {

Selection::Selection(SheetModel* sheet) : sheet_(sheet) {}

bool Selection::isRange() const {
    return !sheet_->selection.shape;
}
bool Selection::isShape() const {
    return sheet_->selection.shape;
}

Range Selection::range() const {
    if (sheet_->selection.shape) {
        refuse(QStringLiteral("the selection is a picture, not a range"));
    }
    return Range(sheet_, makeAreas(sheet_->selection.areas));
}

ShapeRange Selection::shapeRange() const {
    if (!sheet_->selection.shape) {
        refuse(QStringLiteral("the selection holds no picture"));
    }
    sheet_->shape(sheet_->selection.shapeId);
    return ShapeRange(sheet_, sheet_->selection.shapeId);
}

void Selection::cut() {
    if (!sheet_->selection.shape) {
        refuse(QStringLiteral("only a selected picture can be cut"));
    }
    ShapeModel& s = sheet_->shape(sheet_->selection.shapeId);
    settlePicture(s);
    auto content = std::make_unique<Clipboard::Content>();
    content->picture = s.picture;
    content->size = QSizeF(s.width, s.height);
    content->settled = true;
    const int row = s.row;
    const int col = s.col;
    const int id = s.id;
    std::erase_if(sheet_->shapes, [id](const ShapeModel& m) { return m.id == id; });
    sheet_->app->clipboard().setContent(std::move(content));
    sheet_->selection.shape = false;
    sheet_->selection.shapeId = 0;
    sheet_->selection.areas = {Area{row, col, row, col}};
    sheet_->selection.activeRow = row;
    sheet_->selection.activeCol = col;
}

} // namespace tav::xls
