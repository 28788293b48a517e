// The model's own arithmetic: column widths and row heights in points, pictures by
// id, and the shared list of cell formats.
#include "platform/xls/model.h"

#include "platform/xls/column_width.h"
#include "platform/xls/object_model.h"

namespace tav::xls {

int SheetModel::digitWidth() const {
    return book ? book->digitWidth : DefaultDigitWidthPx;
}

double SheetModel::columnCharacters(int col) const {
    const ColumnInfo& info = columns[static_cast<std::size_t>(col)];
    if (!info.present) {
        return defColWidth;
    }
    if (info.flags & 0x0001) {
        return 0;
    }
    return pixelsToCharacters(coldxToPixels(info.coldx, digitWidth()), digitWidth());
}

double SheetModel::columnPoints(int col) const {
    const ColumnInfo& info = columns[static_cast<std::size_t>(col)];
    if (!info.present) {
        return columnWidthToPoints(defColWidth, digitWidth());
    }
    if (info.flags & 0x0001) {
        return 0;
    }
    return coldxToPixels(info.coldx, digitWidth()) * 72.0 / 96.0;
}

double SheetModel::rowPoints(int row) const {
    const auto it = rows.find(row);
    if (it == rows.end()) {
        return defaultRowHeight / 20.0;
    }
    if (it->second.flags & 0x0020) {
        return 0;
    }
    return it->second.height / 20.0;
}

ShapeModel* SheetModel::findShape(int id) {
    for (ShapeModel& s : shapes) {
        if (s.id == id) {
            return &s;
        }
    }
    return nullptr;
}

ShapeModel& SheetModel::shape(int id) {
    ShapeModel* s = findShape(id);
    if (!s) {
        refuse(QStringLiteral("the picture is no longer on sheet '%1'").arg(name));
    }
    return *s;
}

int WorkbookModel::xfIndex(const XfBytes& bytes) {
    const QByteArray key(reinterpret_cast<const char*>(bytes.data()), 20);
    const auto it = xfLookup.constFind(key);
    if (it != xfLookup.constEnd()) {
        return it.value();
    }
    if (xfs.size() >= 4050) {
        refuse(QStringLiteral("the workbook cannot hold more cell formats"));
    }
    xfs.push_back(bytes);
    const int index = static_cast<int>(xfs.size() - 1);
    xfLookup.insert(key, index);
    return index;
}

} // namespace tav::xls
