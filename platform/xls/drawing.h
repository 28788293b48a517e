// The OfficeArt drawing layer: the workbook's drawing group (picture store) and
// each sheet's drawing (one picture shape per placed picture).
#pragma once

#include "platform/xls/model.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <vector>

namespace tav::xls {

class BiffWriter;

// One sheet's part of the drawing group.
struct SheetDrawing {
    SheetModel* sheet = nullptr;
    int dgid = 0;                // drawing id (1, 2, ...)
    std::uint32_t firstSpid = 0; // the patriarch's shape id (a multiple of 1024)
    std::vector<int> blips;      // per shape: its 1-based picture store index
};

// One entry of the picture store: the pixels of one or more shapes.
struct StoredBlip {
    const PictureData* picture = nullptr;
    QByteArray uid; // the blip's 16-byte UID
    std::uint32_t references = 0;
};

struct DrawingPlan {
    std::vector<SheetDrawing> sheets; // only sheets with pictures
    std::vector<StoredBlip> blips;    // the picture store, in order
};

// Assigns drawing ids, shape id clusters and picture store indexes. Pictures with the
// same stored bytes share one store entry (a photo placed twice is stored once), as
// the desktop program does; the entry counts the shapes that use it.
DrawingPlan planDrawings(const std::vector<SheetModel*>& sheets);

// Writes the OfficeArtDggContainer as MSODRAWINGGROUP + CONTINUE records, the stored
// pictures straight from the model into the stream.
void writeDrawingGroup(BiffWriter& w, const DrawingPlan& plan);

// Per picture of the sheet: the OfficeArt bytes of its MSODRAWING record (the first
// one also opens the drawing and holds the patriarch) and its OBJ record data.
struct ShapeRecords {
    QByteArray drawing;
    QByteArray obj;
};
std::vector<ShapeRecords> buildSheetDrawing(const SheetDrawing& sheet);

// Client anchor (18 bytes) of a picture whose top-left corner sits at the top-left
// of its cell, computed from the sheet's column widths and row heights.
struct Anchor {
    std::uint16_t flags = 2; // move with cells, do not size
    std::uint16_t colL = 0, dxL = 0, rwT = 0, dyT = 0;
    std::uint16_t colR = 0, dxR = 0, rwB = 0, dyB = 0;
};
Anchor computeAnchor(const SheetModel& sheet, int row, int col, double widthPoints,
                     double heightPoints);
QByteArray anchorBytes(const Anchor& anchor);

// Reads the template's drawing group: the picture store (BSE) entries. Entries
// without an embedded picture are empty.
struct TemplateBlip {
    int type = 0;      // btWin32
    QByteArray record; // the embedded blip record, header included
};
std::vector<TemplateBlip> parseDrawingGroup(const QByteArray& drawingGroup);

// Reads a sheet's drawing (the OfficeArt bytes of all its MSODRAWING records) and
// adds its pictures to `sheet`. Shapes other than pictures: 1004.
void parseSheetDrawing(SheetModel& sheet, const QByteArray& drawing,
                       const std::vector<TemplateBlip>& blips);

// Offset of the picture's own bytes (the JPEG, PNG or DIB data) in a raster blip
// record: after the record header, one or two 16-byte UIDs and a tag byte.
qsizetype blipDataOffset(const QByteArray& blipRecord);

} // namespace tav::xls
