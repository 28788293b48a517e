#include "platform/xls/shape_range.h"

#include "platform/xls/automation_constants.h"
#include "platform/xls/object_model.h"

#include <algorithm>
#include <cmath>

namespace tav::xls {

ShapeRange::ShapeRange(SheetModel* sheet, int shapeId) : sheet_(sheet), id_(shapeId) {}

void ShapeRange::setLockAspectRatio(int msoTriState) {
    ShapeModel& s = sheet_->shape(id_);
    if (msoTriState == xl::MsoTrue || msoTriState == 1) { // 1: msoCTrue
        s.lockAspect = true;
    } else if (msoTriState == xl::MsoFalse) {
        s.lockAspect = false;
    } else {
        refuse(QStringLiteral("LockAspectRatio %1 refused").arg(msoTriState));
    }
}

int ShapeRange::lockAspectRatio() const {
    return sheet_->shape(id_).lockAspect ? xl::MsoTrue : xl::MsoFalse;
}

namespace {

void checkSide(double points) {
    if (!std::isfinite(points) || points <= 0 || points > MaxShapePoints) {
        refuse(QStringLiteral("picture size %1 points refused").arg(points));
    }
}

// Sets one side of a picture in points; with its aspect ratio locked the other side
// follows by the same factor. The picture's anchor is computed anew on saving.
void setSide(ShapeModel& s, double ShapeModel::*side, double ShapeModel::*other, double points) {
    if (s.lockAspect && s.*side > 0) {
        s.*other = std::clamp(s.*other * points / s.*side, 0.01, MaxShapePoints);
    }
    s.*side = points;
    s.templateAnchor.clear();
}

} // namespace

void ShapeRange::setHeight(double points) {
    checkSide(points);
    setSide(sheet_->shape(id_), &ShapeModel::height, &ShapeModel::width, points);
}

void ShapeRange::setWidth(double points) {
    checkSide(points);
    setSide(sheet_->shape(id_), &ShapeModel::width, &ShapeModel::height, points);
}

double ShapeRange::height() const {
    return sheet_->shape(id_).height;
}
double ShapeRange::width() const {
    return sheet_->shape(id_).width;
}

} // namespace tav::xls
