#include "platform/xls/object_model.h"

#include "platform/error.h"

namespace tav::xls {

void refuse(const QString& detail) {
    throw Error(err::EngineRefused, errorText(ErrorText::EngineRefused), detail);
}

std::shared_ptr<const Range::Areas> makeAreas(std::vector<Area> list) {
    auto areas = std::make_shared<Range::Areas>();
    areas->list = std::move(list);
    return areas;
}

std::shared_ptr<PictureData> pictureOfPixels(QImage pixels) {
    auto picture = std::make_shared<PictureData>();
    picture->sourcePixels = pixels.size();
    picture->image = std::move(pixels);
    return picture;
}

void activateSheet(SheetModel* sheet) {
    sheet->book->activeSheet = sheet->index;
}

namespace {

qint64 cellCount(const std::vector<Area>& areas) {
    qint64 n = 0;
    for (const Area& a : areas) {
        n += static_cast<qint64>(a.rows()) * a.columns();
    }
    return n;
}

// Default XF of a new cell: its row's format when the row has one, else its column's,
// else the default cell format 15.
int defaultXf(const SheetModel& sheet, int row, int col) {
    const auto r = sheet.rows.find(row);
    if (r != sheet.rows.end() && (r->second.flags & 0x0080)) {
        return r->second.xfWord & 0x0FFF;
    }
    const ColumnInfo& c = sheet.columns[static_cast<std::size_t>(col)];
    return c.present ? c.xf : 15;
}

} // namespace

void checkCellCount(const std::vector<Area>& areas, const char* what) {
    if (cellCount(areas) > MaxCellsPerCall) {
        refuse(QStringLiteral("%1 of %2 cells at once refused (at most %3)")
                   .arg(QString::fromLatin1(what))
                   .arg(cellCount(areas))
                   .arg(MaxCellsPerCall));
    }
}

Cell& cellAt(SheetModel& sheet, int row, int col) {
    auto it = sheet.cells.find(SheetModel::key(row, col));
    if (it == sheet.cells.end()) {
        Cell fresh;
        fresh.xf = defaultXf(sheet, row, col);
        it = sheet.cells.emplace(SheetModel::key(row, col), std::move(fresh)).first;
    }
    return it->second;
}

const XfBytes& xfOf(const SheetModel& sheet, int row, int col) {
    const Cell* cell = sheet.findCell(row, col);
    const int xf = cell ? cell->xf : defaultXf(sheet, row, col);
    return sheet.book->xfs.at(static_cast<std::size_t>(xf));
}

} // namespace tav::xls
