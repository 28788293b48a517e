// What the classes of the object model share: their refusal, ranges made from areas,
// the active sheet, cells and their formats, and what the clipboard holds. Not part of
// the engine's interface (engine.h).
#pragma once

#include "platform/xls/clipboard.h"
#include "platform/xls/model.h"
#include "platform/xls/range.h"

#include <QSizeF>
#include <QString>

#include <memory>
#include <vector>

namespace tav::xls {

// Cells one formatting or value call may touch.
inline constexpr qint64 MaxCellsPerCall = 65536;
// Largest picture side Excel accepts, in points.
inline constexpr double MaxShapePoints = 169087.0;

// Points of one pixel at 96 dpi: a picture's natural size in points.
inline constexpr double PointsPerPixel = 0.75;

// Throws 1004: the user reads that an operation was refused; `detail`, which one, is
// for a developer.
[[noreturn]] void refuse(const QString& detail);

struct Range::Areas {
    std::vector<Area> list;
};

std::shared_ptr<const Range::Areas> makeAreas(std::vector<Area> list);

// Makes `sheet` the active sheet of its workbook.
void activateSheet(SheetModel* sheet);

// Refuses a call (`what`: "formatting", "writing", ...) on more than MaxCellsPerCall
// cells.
void checkCellCount(const std::vector<Area>& areas, const char* what);

// The cell at (row, col), 0-based; a new cell gets the format of its row or column.
Cell& cellAt(SheetModel& sheet, int row, int col);

// The format of the cell at (row, col), also of a cell that does not exist yet.
const XfBytes& xfOf(const SheetModel& sheet, int row, int col);

// Changes the format of one cell through `fn(XfBytes&)`; the cell then uses the XF
// with the changed bytes (shared with every cell of equal format).
template <typename Fn> void editXf(SheetModel& sheet, int row, int col, Fn&& fn) {
    Cell& cell = cellAt(sheet, row, col);
    XfBytes bytes = sheet.book->xfs.at(static_cast<std::size_t>(cell.xf));
    if (bytes[4] & 0x04) {
        // A style XF cannot be a cell's format: derive a cell XF from it.
        const std::uint16_t parent = static_cast<std::uint16_t>(cell.xf);
        bytes[4] = static_cast<std::uint8_t>((bytes[4] & 0x03) | ((parent & 0x0F) << 4));
        bytes[5] = static_cast<std::uint8_t>(parent >> 4);
    }
    fn(bytes);
    cell.xf = sheet.book->xfIndex(bytes);
}

// editXf for every cell of `areas` (at most MaxCellsPerCall).
template <typename Fn> void editXfAll(SheetModel& sheet, const std::vector<Area>& areas, Fn fn) {
    checkCellCount(areas, "formatting");
    for (const Area& a : areas) {
        for (int r = a.r1; r <= a.r2; ++r) {
            for (int c = a.c1; c <= a.c2; ++c) {
                editXf(sheet, r, c, fn);
            }
        }
    }
}

// A picture that holds `pixels` until its size is settled.
std::shared_ptr<PictureData> pictureOfPixels(QImage pixels);

struct Clipboard::Content {
    std::shared_ptr<PictureData> picture;
    QSizeF size;          // points
    bool settled = false; // `picture` holds stored pixels (a cut picture)
};

} // namespace tav::xls
