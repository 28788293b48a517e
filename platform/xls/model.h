// The engine's in-memory workbook: what the object model changes and the template
// records it keeps. Shared by the object model (the classes of engine.h), the template
// reader and the workbook writer.
#pragma once

#include "platform/xls/address.h"
#include "platform/xls/biff.h"
#include "platform/xls/column_width.h"
#include "platform/xls/limits.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tav::xls {

class Application;

// Internal record identifiers that mark where the writer emits regenerated
// content inside a kept substream. They never reach a file.
namespace mark {
inline constexpr std::uint16_t Index = 0xF001;        // INDEX, right after BOF
inline constexpr std::uint16_t PageBreaks = 0xF002;   // HORIZONTALPAGEBREAKS
inline constexpr std::uint16_t ColInfo = 0xF003;      // COLINFO set
inline constexpr std::uint16_t CellTable = 0xF004;    // DIMENSIONS, ROW blocks, cells, DBCELL
inline constexpr std::uint16_t Drawing = 0xF005;      // MSODRAWING + OBJ per picture
inline constexpr std::uint16_t MergeCells = 0xF006;   // MERGECELLS
inline constexpr std::uint16_t DrawingGroup = 0xF007; // globals MSODRAWINGGROUP
inline constexpr std::uint16_t Sst = 0xF008;          // globals SST + EXTSST
inline constexpr std::uint16_t NewXfs = 0xF009;       // globals: XFs added by the engine
} // namespace mark

inline Record markRecord(std::uint16_t mark) {
    return Record{mark, {}};
}

using XfBytes = std::array<std::uint8_t, 20>;

// Picture types of the picture store (the blip type of a BSE record).
namespace blipType {
inline constexpr int Emf = 2;
inline constexpr int Wmf = 3;
inline constexpr int Pict = 4;
inline constexpr int Jpeg = 5;
inline constexpr int Png = 6;
inline constexpr int Dib = 7;
} // namespace blipType

struct Cell {
    enum class Kind : std::uint8_t { Blank, Text, Number, Raw };
    Kind kind = Kind::Blank;
    bool apostrophe = false; // written with a leading "'"
    int xf = 15;             // index into WorkbookModel::xfs
    QString text;            // Kind::Text
    double number = 0;       // Kind::Number
    // Kind::Raw: the template's cell record followed by the records that belong to
    // it (a FORMULA's STRING, SHRFMLA, ARRAY, TABLE). Row, column and XF of the first
    // record are rewritten on save.
    std::vector<Record> raw;
};

struct ColumnInfo {
    bool present = false;    // a COLINFO record covers the column
    std::uint16_t coldx = 0; // width in 1/256 of a character
    std::uint16_t xf = 15;
    std::uint16_t flags = 0; // fHidden, fUserSet, outline bits
};

struct RowInfo {
    std::uint16_t height = 255;    // twips
    std::uint16_t flags = 0x0100;  // ROW flags word (reserved bit 8 set)
    std::uint16_t xfWord = 0x000F; // last word: ixfe (12 bits), fExAsc, fExDsc
};

// Pixels of one picture. A pasted bitmap keeps `image` until its size is settled;
// then it is reduced to the stored size and encoded into `jpeg`, and `image` is
// released, so memory stays bounded however many photos are placed.
struct PictureData {
    QImage image; // not yet stored
    // encodeJpeg(image, JpegQuality), made beforehand off the engine's thread; used when
    // the picture is stored at exactly the pixels of `image`
    QByteArray imageJpeg;
    QByteArray jpeg; // JPEG file bytes (baseline, upright)
    QSize jpegPixels;
    // A template picture of another type, kept as it was: BSE blip type and the
    // complete blip record (OfficeArt header included).
    int blipType = blipType::Jpeg;
    QByteArray rawBlip;
    QSize sourcePixels; // pixel size of the source image (limit for stored pixels)
};

struct ShapeModel {
    int id = 0;  // handle of the engine's Shape objects; unique per sheet
    int row = 0; // top-left cell, 0-based
    int col = 0;
    double width = 0;  // points
    double height = 0; // points
    bool lockAspect = false;
    bool jpeg = false; // a JPEG picture (as opposed to a pasted bitmap / inserted file)
    QString name;
    std::shared_ptr<PictureData> picture;
    // Template pictures keep their anchor bytes until moved or resized.
    QByteArray templateAnchor;
};

struct SelectionState {
    bool shape = false;
    int shapeId = 0;
    std::vector<Area> areas{Area{}};
    int activeRow = 0;
    int activeCol = 0;
};

struct WorkbookModel;

// One shared string: its characters, and the rich-text runs (4 bytes each) and
// phonetic data kept as stored.
struct SstEntry {
    QString text;
    QByteArray runs;
    QByteArray phonetic;
};

struct SheetModel {
    WorkbookModel* book = nullptr;
    Application* app = nullptr;
    QString name;
    int index = 0;     // position among the workbook's sheets
    int pageOrder = 1; // SETUP fLeftToRight: 2 over then down, 1 down then over

    std::map<std::uint32_t, Cell> cells; // key: row << 8 | column
    std::array<ColumnInfo, MaxColumns> columns{};
    std::map<int, RowInfo> rows;
    std::uint16_t defaultRowHeight = 255; // twips, from DEFAULTROWHEIGHT
    std::uint16_t defColWidth = 8;        // characters, from DEFCOLWIDTH

    std::vector<ShapeModel> shapes;
    int nextShapeId = 1;
    int nextPictureNumber = 1;
    std::vector<Area> merged;
    std::vector<int> breaks; // 0-based first row of each page that a manual break starts
    // The range that prints (PageSetup::setPrintArea), if one was set.
    std::optional<Area> printArea;
    SelectionState selection;

    // The template's records of this substream (BOF..EOF) with the regenerated parts
    // replaced by mark:: records.
    std::vector<Record> records;

    static std::uint32_t key(int row, int col) {
        return static_cast<std::uint32_t>(row) << 8 | static_cast<std::uint32_t>(col);
    }
    Cell& cell(int row, int col) { return cells[key(row, col)]; }
    const Cell* findCell(int row, int col) const {
        const auto it = cells.find(key(row, col));
        return it == cells.end() ? nullptr : &it->second;
    }
    ShapeModel* findShape(int id);
    ShapeModel& shape(int id); // 1004 when the picture is gone

    // Column width in points and row height in points as the writer's anchors see
    // them (Excel geometry at 96 dpi with the workbook's digit width).
    double columnPoints(int col) const;
    double rowPoints(int row) const;
    double columnCharacters(int col) const;
    int digitWidth() const;
};

// Stream of the compound file that the engine copies verbatim.
struct KeptStream {
    QString name;
    QByteArray data;
};

struct WorkbookModel {
    QString path;
    QByteArray classId;              // root CLSID (16 bytes) or empty
    std::vector<KeptStream> streams; // other streams, in template order
    QByteArray summaryInformation;   // the template's, kept when no property is set
    std::vector<Record> globals;     // BOF..EOF of the globals substream with marks
    // Sheet substreams in BOUNDSHEET order; sheets the engine does not model
    // (charts, macro sheets) keep their records in `records` and have no cells.
    std::vector<std::unique_ptr<SheetModel>> sheets;
    std::vector<bool> modelled;               // per sheet: worksheet parsed into the model
    std::vector<std::size_t> boundsheetIndex; // position of each BOUNDSHEET in globals
    int activeSheet = 0;

    // Cell formats: the template's XF records first, then the ones the engine adds.
    std::vector<XfBytes> xfs;
    int templateXfCount = 0;
    QHash<QByteArray, int> xfLookup; // XF bytes → first index with these bytes
    int digitWidth = DefaultDigitWidthPx;

    // Shared strings of the template, in their order; the writer appends the
    // engine's strings.
    std::vector<SstEntry> sst;
    std::uint32_t sstTotalOtherSheets = 0; // LABELSST references in unmodelled sheets

    // Built-in document properties 1 title, 2 subject, 3 author, 5 comments.
    std::array<QString, 6> properties;
    std::array<bool, 6> propertySet{};

    // XF index for `bytes`, appending a new XF when no equal one exists.
    int xfIndex(const XfBytes& bytes);
};

// Reduces a pasted or inserted picture to the pixels its placed size needs and
// encodes it as JPEG; releases the full image. Called once the picture's size is
// settled (another picture placed, cut, save).
void settlePicture(ShapeModel& shape);

} // namespace tav::xls
