#include "platform/xls/shape_range.h"

#include "platform/xls/object_model.h"

#include <algorithm>
#include <cmath>

namespace tav::xls {

ShapeRange::ShapeRange(SheetModel* sheet, int shapeId) : sheet_(sheet), id_(shapeId) {}

void ShapeRange::setLockAspectRatio(int msoTriState) {
    ShapeModel& s = sheet_->shape(id_);
    if (msoTriState == -1 || msoTriState == 1) {
        s.lockAspect = true;
    } else if (msoTriState == 0) {
        s.lockAspect = false;
    } else {
        refuse(QStringLiteral("LockAspectRatio %1 refused").arg(msoTriState));
    }
}

int ShapeRange::lockAspectRatio() const {
    return sheet_->shape(id_).lockAspect ? -1 : 0;
}

namespace {
void checkSide(double points) {
    if (!std::isfinite(points) || points <= 0 || points > MaxShapePoints) {
        refuse(QStringLiteral("picture size %1 points refused").arg(points));
    }
}
} // namespace

void ShapeRange::setHeight(double points) {
    checkSide(points);
    ShapeModel& s = sheet_->shape(id_);
    if (s.lockAspect && s.height > 0) {
        s.width = std::clamp(s.width * points / s.height, 0.01, MaxShapePoints);
    }
    s.height = points;
    s.templateAnchor.clear();
}

void ShapeRange::setWidth(double points) {
    checkSide(points);
    ShapeModel& s = sheet_->shape(id_);
    if (s.lockAspect && s.width > 0) {
        s.height = std::clamp(s.height * points / s.width, 0.01, MaxShapePoints);
    }
    s.width = points;
    s.templateAnchor.clear();
}

double ShapeRange::height() const {
    return sheet_->shape(id_).height;
}
double ShapeRange::width() const {
    return sheet_->shape(id_).width;
}

} // namespace tav::xls
