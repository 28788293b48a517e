// The object model of the engine: applications, workbooks, sheets, ranges,
// pictures and the in-process clipboard, over the model of model.h.
#include "platform/xls/engine.h"

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/image/picture_loader.h"
#include "platform/shell.h"
#include "platform/xls/address.h"
#include "platform/xls/drawing.h"
#include "platform/xls/model.h"
#include "platform/xls/opcodes.h"
#include "platform/xls/picture.h"
#include "platform/xls/workbook_io.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace tav::xls {

namespace {

// The user reads that an operation was refused; which one is for a developer.
[[noreturn]] void refuse(const QString& detail) {
    throw Error(err::EngineRefused, errorText(ErrorText::EngineRefused), detail);
}

// Cells one formatting or value call may touch.
constexpr qint64 MaxCellsPerCall = 65536;
// Largest picture side Excel accepts, in points.
constexpr double MaxShapePoints = 169087.0;

int padding(int mdw) {
    return 2 * std::max((mdw + 3) / 4, 2) + 1;
}

} // namespace

// ---------------------------------------------------------------- geometry

int columnWidthToPixels(double characters, int mdw) {
    if (characters <= 0) {
        return 0;
    }
    const int pad = padding(mdw);
    if (characters < 1) {
        return static_cast<int>(std::lround(characters * (mdw + pad)));
    }
    return static_cast<int>(std::trunc(characters * mdw + pad));
}

double columnWidthToPoints(double characters, int mdw) {
    return columnWidthToPixels(characters, mdw) * 72.0 / 96.0;
}

namespace {

// COLINFO coldx (1/256 character, padding included) for a width in characters.
std::uint16_t coldxFor(double characters, int mdw) {
    const int px = columnWidthToPixels(characters, mdw);
    return static_cast<std::uint16_t>(std::min(65535.0, std::floor(px * 256.0 / mdw)));
}

int coldxToPixels(std::uint16_t coldx, int mdw) {
    return static_cast<int>(std::lround(coldx * static_cast<double>(mdw) / 256.0));
}

double pixelsToCharacters(int px, int mdw) {
    const int pad = padding(mdw);
    if (px >= mdw + pad) {
        return static_cast<double>(px - pad) / mdw;
    }
    return static_cast<double>(px) / (mdw + pad);
}

} // namespace

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

Record* SheetModel::setupRecord() {
    for (Record& r : records) {
        if (r.type == 0x00A1) {
            return &r;
        }
    }
    return nullptr;
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

// ---------------------------------------------------------------- clipboard

struct Clipboard::Content {
    std::shared_ptr<PictureData> picture;
    QSizeF size;          // points
    bool settled = false; // `picture` holds stored pixels (a cut picture)
};

Clipboard::Clipboard() = default;
Clipboard::~Clipboard() = default;

void Clipboard::clear() {
    content_.reset();
}

void Clipboard::setImage(const QImage& image, QSizeF sizePoints) {
    if (image.isNull()) {
        throw Error(err::InvalidPicture, errorText(ErrorText::NoPictureOnClipboard));
    }
    auto content = std::make_unique<Content>();
    content->picture = std::make_shared<PictureData>();
    content->picture->image = image;
    content->picture->sourcePixels = image.size();
    if (sizePoints.isEmpty()) {
        const double dpr = image.devicePixelRatio() > 0 ? image.devicePixelRatio() : 1.0;
        sizePoints = QSizeF(image.width() / dpr * 0.75, image.height() / dpr * 0.75);
    }
    content->size = sizePoints;
    content_ = std::move(content);
}

bool Clipboard::hasPicture() const {
    return content_ && content_->picture;
}

void Clipboard::setContent(std::unique_ptr<Content> content) {
    content_ = std::move(content);
}

// ---------------------------------------------------------------- ranges

struct Range::Areas {
    std::vector<Area> list;
};

namespace {

std::shared_ptr<const Range::Areas> makeAreas(std::vector<Area> list);

qint64 cellCount(const std::vector<Area>& areas) {
    qint64 n = 0;
    for (const Area& a : areas) {
        n += static_cast<qint64>(a.rows()) * a.columns();
    }
    return n;
}

void checkCellCount(const std::vector<Area>& areas, const char* what) {
    if (cellCount(areas) > MaxCellsPerCall) {
        refuse(QStringLiteral("%1 of %2 cells at once refused (at most %3)")
                   .arg(QString::fromLatin1(what))
                   .arg(cellCount(areas))
                   .arg(MaxCellsPerCall));
    }
}

// Default XF of a new cell: the column's format when the column has one.
int defaultXf(const SheetModel& sheet, int row, int col) {
    const auto r = sheet.rows.find(row);
    if (r != sheet.rows.end() && (r->second.flags & 0x0080)) {
        return r->second.xfWord & 0x0FFF;
    }
    const ColumnInfo& c = sheet.columns[static_cast<std::size_t>(col)];
    return c.present ? c.xf : 15;
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

const XfBytes& xfOf(const SheetModel& sheet, int row, int col) {
    const Cell* cell = sheet.findCell(row, col);
    const int xf = cell ? cell->xf : defaultXf(sheet, row, col);
    return sheet.book->xfs.at(static_cast<std::size_t>(xf));
}

void activateSheet(SheetModel* sheet) {
    sheet->book->activeSheet = sheet->index;
}

} // namespace

Range::Range(SheetModel* sheet, std::shared_ptr<const Areas> areas)
    : sheet_(sheet), areas_(std::move(areas)) {}

namespace {
std::shared_ptr<const Range::Areas> makeAreas(std::vector<Area> list) {
    auto areas = std::make_shared<Range::Areas>();
    areas->list = std::move(list);
    return areas;
}
} // namespace

void Range::select() {
    activateSheet(sheet_);
    SelectionState& sel = sheet_->selection;
    sel.shape = false;
    sel.shapeId = 0;
    sel.areas = areas_->list;
    sel.activeRow = areas_->list.front().r1;
    sel.activeCol = areas_->list.front().c1;
}

QString Range::address() const {
    QStringList parts;
    for (const Area& a : areas_->list) {
        parts << formatArea(a);
    }
    return parts.join(u',');
}

int Range::row() const {
    return areas_->list.front().r1 + 1;
}
int Range::column() const {
    return areas_->list.front().c1 + 1;
}
int Range::rowCount() const {
    return areas_->list.front().rows();
}
int Range::columnCount() const {
    return areas_->list.front().columns();
}

void Range::setColumnWidth(double characters) {
    if (!std::isfinite(characters) || characters < 0 || characters > 255) {
        refuse(QStringLiteral("column width %1 outside 0..255").arg(characters));
    }
    const int mdw = sheet_->digitWidth();
    for (const Area& a : areas_->list) {
        for (int c = a.c1; c <= a.c2; ++c) {
            ColumnInfo& info = sheet_->columns[static_cast<std::size_t>(c)];
            if (!info.present) {
                info.present = true;
                info.xf = 15;
                info.flags = 0;
            }
            info.coldx = coldxFor(characters, mdw);
            info.flags = static_cast<std::uint16_t>((info.flags & ~0x0001) | 0x0002 |
                                                    (characters == 0 ? 0x0001 : 0));
        }
    }
}

double Range::columnWidth() const {
    return sheet_->columnCharacters(areas_->list.front().c1);
}

double Range::width() const {
    const Area& a = areas_->list.front();
    double points = 0;
    for (int c = a.c1; c <= a.c2; ++c) {
        points += sheet_->columnPoints(c);
    }
    return points;
}

void Range::setRowHeight(double points) {
    if (!std::isfinite(points) || points < 0 || points > 409) {
        refuse(QStringLiteral("row height %1 outside 0..409 points").arg(points));
    }
    const auto twips = static_cast<std::uint16_t>(std::lround(points * 20));
    for (const Area& a : areas_->list) {
        for (int r = a.r1; r <= a.r2; ++r) {
            RowInfo& info = sheet_->rows[r];
            info.height = twips;
            info.flags = static_cast<std::uint16_t>((info.flags & ~0x0020) | 0x0100 | 0x0040 |
                                                    (twips == 0 ? 0x0020 : 0));
        }
    }
}

double Range::rowHeight() const {
    return sheet_->rowPoints(areas_->list.front().r1);
}

namespace {
bool isPlainNumber(const QString& text, double* value) {
    static const QRegularExpression pattern(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!pattern.match(text).hasMatch()) {
        return false;
    }
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value);
}
} // namespace

void Range::setFormulaR1C1(const QString& text) {
    checkCellCount(areas_->list, "writing");
    if (text.size() > 32767 + 1) {
        refuse(QStringLiteral("text of %1 characters is longer than a cell holds (32767)")
                   .arg(text.size()));
    }
    Cell value;
    if (text.isEmpty()) {
        value.kind = Cell::Kind::Blank;
    } else if (text.startsWith(u'\'')) {
        value.kind = Cell::Kind::Text;
        value.apostrophe = true;
        value.text = text.mid(1);
    } else if (double number = 0; isPlainNumber(text, &number)) {
        value.kind = Cell::Kind::Number;
        value.number = number;
    } else {
        if (text.size() > 32767) {
            refuse(QStringLiteral("text longer than a cell holds (32767)"));
        }
        value.kind = Cell::Kind::Text;
        value.text = text;
    }
    for (const Area& a : areas_->list) {
        for (int r = a.r1; r <= a.r2; ++r) {
            for (int c = a.c1; c <= a.c2; ++c) {
                Cell& cell = cellAt(*sheet_, r, c);
                cell.kind = value.kind;
                cell.apostrophe = value.apostrophe;
                cell.text = value.text;
                cell.number = value.number;
                cell.raw.clear();
            }
        }
    }
}

QString Range::text() const {
    const Area& a = areas_->list.front();
    const Cell* cell = sheet_->findCell(a.r1, a.c1);
    if (!cell) {
        return {};
    }
    switch (cell->kind) {
    case Cell::Kind::Text:
        return cell->text;
    case Cell::Kind::Number:
        return QString::number(cell->number, 'g', 15);
    default:
        return {};
    }
}

QString Range::formulaR1C1() const {
    const Area& a = areas_->list.front();
    const Cell* cell = sheet_->findCell(a.r1, a.c1);
    if (cell && cell->kind == Cell::Kind::Text && cell->apostrophe) {
        return QLatin1Char('\'') + cell->text;
    }
    return text();
}

namespace {

int hAlignCode(int value) {
    switch (value) {
    case 1: // xlGeneral
        return 0;
    case -4131:
        return 1;
    case -4108:
        return 2;
    case -4152:
        return 3;
    case 5: // xlFill
        return 4;
    case -4130: // xlJustify
        return 5;
    case 7: // xlCenterAcrossSelection
        return 6;
    case -4117: // xlDistributed
        return 7;
    default:
        refuse(QStringLiteral("horizontal alignment %1 refused").arg(value));
    }
}

int vAlignCode(int value) {
    switch (value) {
    case -4160:
        return 0;
    case -4108:
        return 1;
    case -4107:
        return 2;
    case -4130:
        return 3;
    case -4117:
        return 4;
    default:
        refuse(QStringLiteral("vertical alignment %1 refused").arg(value));
    }
}

constexpr std::uint8_t AtrAlc = 0x10;
constexpr std::uint8_t AtrBdr = 0x20;

} // namespace

void Range::setHorizontalAlignment(int value) {
    const int code = hAlignCode(value);
    editXfAll(*sheet_, areas_->list, [code](XfBytes& x) {
        x[6] = static_cast<std::uint8_t>((x[6] & ~0x07) | code);
        if (code != 7) {
            x[6] &= static_cast<std::uint8_t>(~0x80); // fJustLast only with distributed
        }
        x[9] |= AtrAlc;
    });
}

int Range::horizontalAlignment() const {
    static const int values[8] = {1, -4131, -4108, -4152, 5, -4130, 7, -4117};
    const Area& a = areas_->list.front();
    return values[xfOf(*sheet_, a.r1, a.c1)[6] & 0x07];
}

void Range::setVerticalAlignment(int value) {
    const int code = vAlignCode(value);
    editXfAll(*sheet_, areas_->list, [code](XfBytes& x) {
        x[6] = static_cast<std::uint8_t>((x[6] & ~0x70) | (code << 4));
        x[9] |= AtrAlc;
    });
}

int Range::verticalAlignment() const {
    static const int values[8] = {-4160, -4108, -4107, -4130, -4117, -4107, -4107, -4107};
    const Area& a = areas_->list.front();
    return values[(xfOf(*sheet_, a.r1, a.c1)[6] >> 4) & 0x07];
}

void Range::setWrapText(bool on) {
    editXfAll(*sheet_, areas_->list, [on](XfBytes& x) {
        x[6] = static_cast<std::uint8_t>((x[6] & ~0x08) | (on ? 0x08 : 0));
        x[9] |= AtrAlc;
    });
}

bool Range::wrapText() const {
    const Area& a = areas_->list.front();
    return xfOf(*sheet_, a.r1, a.c1)[6] & 0x08;
}

void Range::setOrientation(int degrees) {
    int trot = 0;
    if (degrees == -4128) { // xlHorizontal
        trot = 0;
    } else if (degrees == -4166) { // xlVertical: stacked
        trot = 255;
    } else if (degrees == -4171) { // xlUpward
        trot = 90;
    } else if (degrees == -4170) { // xlDownward
        trot = 180;
    } else if (degrees >= 0 && degrees <= 90) {
        trot = degrees;
    } else if (degrees < 0 && degrees >= -90) {
        trot = 90 - degrees;
    } else {
        refuse(QStringLiteral("orientation %1 refused").arg(degrees));
    }
    editXfAll(*sheet_, areas_->list, [trot](XfBytes& x) {
        x[7] = static_cast<std::uint8_t>(trot);
        x[9] |= AtrAlc;
    });
}

int Range::orientation() const {
    const Area& a = areas_->list.front();
    const int trot = xfOf(*sheet_, a.r1, a.c1)[7];
    if (trot == 255) {
        return -4166;
    }
    return trot <= 90 ? trot : 90 - trot;
}

void Range::setAddIndent(bool on) {
    editXfAll(*sheet_, areas_->list, [on](XfBytes& x) {
        // Only distributed alignment carries the flag; elsewhere it has no effect.
        const bool distributed = (x[6] & 0x07) == 7;
        x[6] = static_cast<std::uint8_t>((x[6] & ~0x80) | (on && distributed ? 0x80 : 0));
        x[9] |= AtrAlc;
    });
}

void Range::setShrinkToFit(bool on) {
    editXfAll(*sheet_, areas_->list, [on](XfBytes& x) {
        x[8] = static_cast<std::uint8_t>((x[8] & ~0x10) | (on ? 0x10 : 0));
        x[9] |= AtrAlc;
    });
}

bool Range::shrinkToFit() const {
    const Area& a = areas_->list.front();
    return xfOf(*sheet_, a.r1, a.c1)[8] & 0x10;
}

void Range::setMergeCells(bool on) {
    auto& merged = sheet_->merged;
    for (const Area& a : areas_->list) {
        std::erase_if(merged, [&a](const Area& m) { return m.intersects(a); });
    }
    if (on) {
        for (const Area& a : areas_->list) {
            if (a.rows() * static_cast<qint64>(a.columns()) > 1) {
                Area m = a;
                m.wholeColumns = m.wholeRows = false;
                merged.push_back(m);
            }
        }
    }
}

bool Range::mergeCells() const {
    const Area& a = areas_->list.front();
    for (const Area& m : sheet_->merged) {
        if (m.contains(a.r1, a.c1)) {
            return true;
        }
    }
    return false;
}

Border Range::borders(int index) const {
    if (index < 7 || index > 12) {
        refuse(QStringLiteral("border index %1 refused").arg(index));
    }
    return Border(*this, index);
}

// ---------------------------------------------------------------- borders

namespace {

enum Edge { Left, Right, Top, Bottom };

// BIFF border style from the automation pair (line style, weight).
int borderStyle(int lineStyle, int weight) {
    const bool heavy = weight == -4138 || weight == 4;
    switch (lineStyle) {
    case -4142:
        return 0;
    case 1: // xlContinuous
        return weight == 1 ? 7 : weight == 2 ? 1 : weight == -4138 ? 2 : 5;
    case -4115: // xlDash
        return heavy ? 8 : 3;
    case -4118: // xlDot
        return 4;
    case -4119: // xlDouble
        return 6;
    case 4: // xlDashDot
        return heavy ? 10 : 9;
    case 5: // xlDashDotDot
        return heavy ? 12 : 11;
    case 13: // xlSlantDashDot
        return 13;
    default:
        return -1;
    }
}

void styleToPair(int style, int* lineStyle, int* weight) {
    static const int ls[14] = {-4142, 1, 1, -4115, -4118, 1, -4119, 1, -4115, 4, 4, 5, 5, 13};
    static const int wt[14] = {2, 2, -4138, 2, 2, 4, 4, 1, -4138, 2, -4138, 2, -4138, -4138};
    const int s = std::clamp(style, 0, 13);
    *lineStyle = ls[s];
    *weight = wt[s];
}

int edgeStyle(const XfBytes& x, Edge e) {
    const std::uint32_t w =
        x[10] | (x[11] << 8) | (x[12] << 16) | (static_cast<std::uint32_t>(x[13]) << 24);
    return static_cast<int>((w >> (4 * e)) & 0x0F);
}

void setEdge(XfBytes& x, Edge e, int style, int icv) {
    std::uint32_t w =
        x[10] | (x[11] << 8) | (x[12] << 16) | (static_cast<std::uint32_t>(x[13]) << 24);
    std::uint32_t v =
        x[14] | (x[15] << 8) | (x[16] << 16) | (static_cast<std::uint32_t>(x[17]) << 24);
    w = (w & ~(0x0Fu << (4 * e))) | (static_cast<std::uint32_t>(style) << (4 * e));
    const std::uint32_t c = style == 0 ? 0u : static_cast<std::uint32_t>(icv) & 0x7F;
    switch (e) {
    case Left:
        w = (w & ~(0x7Fu << 16)) | (c << 16);
        break;
    case Right:
        w = (w & ~(0x7Fu << 23)) | (c << 23);
        break;
    case Top:
        v = (v & ~0x7Fu) | c;
        break;
    case Bottom:
        v = (v & ~(0x7Fu << 7)) | (c << 7);
        break;
    }
    for (int i = 0; i < 4; ++i) {
        x[10 + i] = static_cast<std::uint8_t>(w >> (8 * i));
        x[14 + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    x[9] |= AtrBdr;
}

int edgeColor(const XfBytes& x, Edge e) {
    const std::uint32_t w =
        x[10] | (x[11] << 8) | (x[12] << 16) | (static_cast<std::uint32_t>(x[13]) << 24);
    const std::uint32_t v =
        x[14] | (x[15] << 8) | (x[16] << 16) | (static_cast<std::uint32_t>(x[17]) << 24);
    switch (e) {
    case Left:
        return static_cast<int>((w >> 16) & 0x7F);
    case Right:
        return static_cast<int>((w >> 23) & 0x7F);
    case Top:
        return static_cast<int>(v & 0x7F);
    case Bottom:
        return static_cast<int>((v >> 7) & 0x7F);
    }
    return 0;
}

// Calls fn(row, col, edge) for each cell edge a border index names within `a`.
template <typename Fn> void forEdges(const Area& a, int index, Fn fn) {
    switch (index) {
    case 7:
        for (int r = a.r1; r <= a.r2; ++r)
            fn(r, a.c1, Left);
        break;
    case 8:
        for (int c = a.c1; c <= a.c2; ++c)
            fn(a.r1, c, Top);
        break;
    case 9:
        for (int c = a.c1; c <= a.c2; ++c)
            fn(a.r2, c, Bottom);
        break;
    case 10:
        for (int r = a.r1; r <= a.r2; ++r)
            fn(r, a.c2, Right);
        break;
    case 11:
        for (int r = a.r1; r <= a.r2; ++r)
            for (int c = a.c1; c < a.c2; ++c)
                fn(r, c, Right);
        break;
    case 12:
        for (int r = a.r1; r < a.r2; ++r)
            for (int c = a.c1; c <= a.c2; ++c)
                fn(r, c, Bottom);
        break;
    default:
        break;
    }
}

} // namespace

Border::Border(const Range& range, int index) : range_(range), index_(index) {}

namespace {
// Changes the (line style, weight, colour) of the edges `index` names.
template <typename Fn>
void editBorder(const Range& range, SheetModel& sheet, const std::vector<Area>& areas, int index,
                Fn change) {
    Q_UNUSED(range);
    checkCellCount(areas, "bordering");
    for (const Area& a : areas) {
        forEdges(a, index, [&](int r, int c, Edge e) {
            editXf(sheet, r, c, [&](XfBytes& x) {
                int lineStyle = 0;
                int weight = 0;
                styleToPair(edgeStyle(x, e), &lineStyle, &weight);
                int icv = edgeColor(x, e);
                change(lineStyle, weight, icv);
                const int style = borderStyle(lineStyle, weight);
                setEdge(x, e, style, icv == 0 ? 64 : icv);
            });
        });
    }
}
} // namespace

void Border::setLineStyle(int lineStyle) {
    if (borderStyle(lineStyle, 2) < 0) {
        refuse(QStringLiteral("border line style %1 refused").arg(lineStyle));
    }
    editBorder(range_, *range_.sheet_, range_.areas_->list, index_,
               [lineStyle](int& ls, int&, int&) { ls = lineStyle; });
}

void Border::setWeight(int weight) {
    if (weight != 1 && weight != 2 && weight != -4138 && weight != 4) {
        refuse(QStringLiteral("border weight %1 refused").arg(weight));
    }
    editBorder(range_, *range_.sheet_, range_.areas_->list, index_,
               [weight](int& ls, int& w, int&) {
                   if (ls == -4142) {
                       ls = 1; // a weight on no line draws a continuous one
                   }
                   w = weight;
               });
}

void Border::setColorIndex(int colorIndex) {
    int icv = 0;
    if (colorIndex == -4105 || colorIndex == -4142) {
        icv = 64;
    } else if (colorIndex >= 1 && colorIndex <= 56) {
        icv = colorIndex + 7;
    } else {
        refuse(QStringLiteral("border colour index %1 refused").arg(colorIndex));
    }
    editBorder(range_, *range_.sheet_, range_.areas_->list, index_,
               [icv](int&, int&, int& c) { c = icv; });
}

// ---------------------------------------------------------------- shapes

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

Shape::Shape(SheetModel* sheet, int shapeId) : sheet_(sheet), id_(shapeId) {}

Range Shape::topLeftCell() const {
    const ShapeModel& s = sheet_->shape(id_);
    return Range(sheet_, makeAreas({Area{s.row, s.col, s.row, s.col}}));
}

Range Shape::bottomRightCell() const {
    const ShapeModel& s = sheet_->shape(id_);
    const Anchor a = computeAnchor(*sheet_, s.row, s.col, s.width, s.height);
    return Range(sheet_, makeAreas({Area{a.rwB, a.colR, a.rwB, a.colR}}));
}

void Shape::select() {
    sheet_->shape(id_);
    activateSheet(sheet_);
    sheet_->selection.shape = true;
    sheet_->selection.shapeId = id_;
}

double Shape::width() const {
    return sheet_->shape(id_).width;
}
double Shape::height() const {
    return sheet_->shape(id_).height;
}
QString Shape::name() const {
    return sheet_->shape(id_).name;
}
bool Shape::isJpeg() const {
    return sheet_->shape(id_).jpeg;
}

QSize Shape::pixelSize() const {
    const PictureData& p = *sheet_->shape(id_).picture;
    if (!p.image.isNull()) {
        return p.image.size();
    }
    return p.jpegPixels;
}

bool Shape::isValid() const {
    return sheet_->findShape(id_) != nullptr;
}

// ---------------------------------------------------------------- selection

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

// ---------------------------------------------------------------- page setup

PageSetup::PageSetup(SheetModel* sheet) : sheet_(sheet) {}

void PageSetup::setOrder(int order) {
    if (order != 1 && order != 2) {
        refuse(QStringLiteral("page order %1 refused").arg(order));
    }
    sheet_->pageOrder = order;
}

int PageSetup::order() const {
    return sheet_->pageOrder;
}

void PageSetup::setPrintArea(const QString& address) {
    if (address.isEmpty()) {
        sheet_->printArea.reset();
        return;
    }
    const std::vector<Area> areas = parseAddress(address, AddressKind::Any);
    if (areas.size() != 1 || areas.front().wholeColumns || areas.front().wholeRows) {
        refuse(
            QStringLiteral("print area '%1' refused: one block of cells is needed").arg(address));
    }
    sheet_->printArea = areas.front();
}

double PageSetup::printableWidth() const {
    double left = 0.75; // inches, when the sheet has no margin records
    double right = 0.75;
    int paper = 9; // A4
    int scale = 100;
    bool portrait = true;
    for (const Record& r : sheet_->records) {
        const QByteArray& d = r.data;
        if ((r.type == op::LEFTMARGIN || r.type == op::RIGHTMARGIN) && d.size() >= 8) {
            double inches = 0;
            std::memcpy(&inches, d.constData(), 8); // little-endian IEEE double
            if (std::isfinite(inches) && inches >= 0 && inches < 50) {
                (r.type == op::LEFTMARGIN ? left : right) = inches;
            }
        } else if (r.type == op::WSBOOL && d.size() >= 2 && (get16(d, 0) & 0x0100) != 0 &&
                   sheet_->breaks.empty()) {
            return 0; // fit to pages (saving clears it once manual breaks are set)
        } else if (r.type == op::SETUP && d.size() >= 12) {
            const int flags = get16(d, 10);
            if ((flags & 0x0004) == 0) { // paper, scale and orientation are set
                paper = get16(d, 0);
                scale = get16(d, 2);
                if ((flags & 0x0040) == 0) {
                    portrait = (flags & 0x0002) != 0;
                }
            }
        }
    }
    // Paper sizes by their code, in points (width × height, portrait).
    struct Paper {
        int code;
        double width;
        double height;
    };
    static constexpr Paper papers[] = {
        {1, 612, 792},      {5, 612, 1008},     {8, 841.9, 1190.6},  {9, 595.3, 841.9},
        {11, 419.5, 595.3}, {13, 515.9, 728.5}, {12, 728.5, 1031.8},
    };
    Paper size = papers[3];
    for (const Paper& p : papers) {
        if (p.code == paper) {
            size = p;
        }
    }
    if (scale < 10 || scale > 400) {
        scale = 100;
    }
    const double across = (portrait ? size.width : size.height) - (left + right) * 72;
    return std::max(0.0, across) * 100.0 / scale;
}

QString PageSetup::printArea() const {
    return sheet_->printArea ? formatArea(*sheet_->printArea) : QString();
}

// ---------------------------------------------------------------- document properties

DocumentProperty::DocumentProperty(WorkbookModel* book, int index) : book_(book), index_(index) {}

void DocumentProperty::setValue(const QString& text) {
    book_->properties[static_cast<std::size_t>(index_)] = text;
    book_->propertySet[static_cast<std::size_t>(index_)] = true;
}

QString DocumentProperty::value() const {
    return book_->properties[static_cast<std::size_t>(index_)];
}

// ---------------------------------------------------------------- worksheet

Worksheet::~Worksheet() = default;

QString Worksheet::name() const {
    return model_->name;
}

Range Worksheet::range(const QString& address) {
    return Range(model_, makeAreas(parseAddress(address, AddressKind::Any)));
}

Range Worksheet::columns(const QString& address) {
    return Range(model_, makeAreas(parseAddress(address, AddressKind::Columns)));
}

Range Worksheet::rows(const QString& address) {
    return Range(model_, makeAreas(parseAddress(address, AddressKind::Rows)));
}

void Worksheet::select() {
    activateSheet(model_);
}

namespace {

void settleAll(SheetModel& sheet) {
    for (ShapeModel& s : sheet.shapes) {
        settlePicture(s);
    }
}

ShapeModel& addShape(SheetModel& sheet, std::shared_ptr<PictureData> picture, QSizeF size,
                     bool jpeg) {
    if (sheet.shapes.size() >= static_cast<std::size_t>(MaxPicturesPerSheet)) {
        refuse(QStringLiteral("sheet '%1' cannot hold more pictures").arg(sheet.name));
    }
    ShapeModel s;
    s.id = sheet.nextShapeId++;
    s.row = sheet.selection.activeRow;
    s.col = sheet.selection.activeCol;
    s.width = std::clamp(size.width(), 0.75, MaxShapePoints);
    s.height = std::clamp(size.height(), 0.75, MaxShapePoints);
    s.lockAspect = true;
    s.jpeg = jpeg;
    s.name = QStringLiteral("Picture %1").arg(sheet.nextPictureNumber++);
    s.picture = std::move(picture);
    sheet.shapes.push_back(std::move(s));
    return sheet.shapes.back();
}

// Pixels of a stored PNG (type 6) or DIB (type 7) blip; null for other types.
QImage decodeRasterBlip(const PictureData& pic) {
    const QByteArray& blip = pic.rawBlip;
    if (blip.size() < 8 + 17 || (pic.blipType != 6 && pic.blipType != 7)) {
        return {};
    }
    const int inst =
        (static_cast<std::uint8_t>(blip[0]) | (static_cast<std::uint8_t>(blip[1]) << 8)) >> 4;
    const qsizetype skip = 8 + ((inst & 1) ? 32 : 16) + 1;
    QByteArray data = blip.mid(skip);
    if (pic.blipType == 7) {
        // A DIB lacks the 14-byte file header of a .bmp file.
        if (data.size() < 40) {
            return {};
        }
        const auto u32 = [&data](int at) {
            return static_cast<std::uint32_t>(
                static_cast<std::uint8_t>(data[at]) |
                (static_cast<std::uint8_t>(data[at + 1]) << 8) |
                (static_cast<std::uint8_t>(data[at + 2]) << 16) |
                (static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[at + 3])) << 24));
        };
        const std::uint32_t headerSize = u32(0);
        const int bits =
            static_cast<std::uint8_t>(data[14]) | (static_cast<std::uint8_t>(data[15]) << 8);
        std::uint32_t colours = u32(32);
        if (colours == 0 && bits <= 8) {
            colours = 1u << bits;
        }
        const std::uint32_t masks = (u32(16) == 3 && headerSize == 40) ? 12 : 0;
        const std::uint32_t offset = 14 + headerSize + masks + 4 * colours;
        QByteArray file("BM");
        const std::uint32_t total = static_cast<std::uint32_t>(14 + data.size());
        for (std::uint32_t v : {total, 0u, offset}) {
            for (int k = 0; k < 4; ++k) {
                file.append(static_cast<char>((v >> (8 * k)) & 0xFF));
            }
        }
        data.prepend(file);
    }
    return QImage::fromData(data);
}

QImage loadPictureFile(const QString& path, QSizeF* sizePoints) {
    const LoadedPicture loaded = tav::loadPicture(path);
    QImage image = loaded.image;
    *sizePoints = QSizeF(loaded.logicalSize.width() * 0.75, loaded.logicalSize.height() * 0.75);
    return image;
}

} // namespace

Shape Worksheet::picturesInsert(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        throwErrno(errno, FileOperation::InsertPicture, path);
    }
    if (!S_ISREG(st.st_mode)) {
        throw Error(err::InvalidPicture, errorText(ErrorText::PictureUnreadable, path,
                                                   errorText(ErrorText::PictureNotAFile)));
    }
    QSizeF size;
    QImage image = loadPictureFile(path, &size);
    settleAll(*model_);
    auto picture = std::make_shared<PictureData>();
    picture->sourcePixels = image.size();
    picture->image = std::move(image);
    ShapeModel& s = addShape(*model_, std::move(picture), size, false);
    return Shape(model_, s.id);
}

void Worksheet::pasteSpecial(const QString& format, bool link, bool displayAsIcon) {
    const bool jpeg = format == xl::PasteJpeg;
    if (!jpeg && format != xl::PasteBitmap) {
        refuse(QStringLiteral("paste format '%1' refused").arg(format));
    }
    if (link || displayAsIcon) {
        refuse(QStringLiteral("pictures are pasted without link and not as an icon"));
    }
    const Clipboard::Content* content = model_->app->clipboard().content();
    if (!content || !content->picture) {
        refuse(QStringLiteral("nothing to paste: the clipboard holds no picture"));
    }
    settleAll(*model_);
    std::shared_ptr<PictureData> picture;
    if (jpeg && content->settled && !content->picture->rawBlip.isEmpty()) {
        // A template's PNG or DIB picture becomes a JPEG picture like any other;
        // metafile pictures stay as they are (they are not raster pixels).
        QImage pixels = decodeRasterBlip(*content->picture);
        if (!pixels.isNull()) {
            picture = std::make_shared<PictureData>();
            picture->sourcePixels = pixels.size();
            picture->image = std::move(pixels);
        } else {
            picture = content->picture;
        }
    } else if (content->settled) {
        picture = content->picture;
    } else {
        // Each paste of a bitmap gets its own pixels (shared until reduced).
        picture = std::make_shared<PictureData>(*content->picture);
    }
    activateSheet(model_);
    ShapeModel& s = addShape(*model_, std::move(picture), content->size, jpeg);
    model_->selection.shape = true;
    model_->selection.shapeId = s.id;
}

std::vector<Shape> Worksheet::shapes() {
    std::vector<Shape> out;
    out.reserve(model_->shapes.size());
    for (const ShapeModel& s : model_->shapes) {
        out.push_back(Shape(model_, s.id));
    }
    return out;
}

int Worksheet::shapeCount() const {
    return static_cast<int>(model_->shapes.size());
}

PageSetup Worksheet::pageSetup() {
    return PageSetup(model_);
}

int Worksheet::setHorizontalPageBreaksEvery(int rowsPerPage, int lastRow) {
    if (rowsPerPage < 1 || rowsPerPage > MaxRows) {
        refuse(QStringLiteral("%1 rows per page refused").arg(rowsPerPage));
    }
    if (lastRow < 1 || lastRow > MaxRows) {
        refuse(QStringLiteral("last row %1 outside 1..%2").arg(lastRow).arg(MaxRows));
    }
    model_->breaks.clear();
    for (int row = rowsPerPage; row < lastRow && model_->breaks.size() < MaxPageBreaks;
         row += rowsPerPage) {
        model_->breaks.push_back(row);
    }
    return static_cast<int>(model_->breaks.size());
}

std::vector<int> Worksheet::horizontalPageBreaks() const {
    std::vector<int> rows;
    for (int b : model_->breaks) {
        rows.push_back(b + 1);
    }
    return rows;
}

// ---------------------------------------------------------------- workbook

Workbook::Workbook(std::unique_ptr<WorkbookModel> model, FileWriter& writer, bool readOnly)
    : model_(std::move(model)), writer_(writer), readOnly_(readOnly) {
    for (std::size_t i = 0; i < model_->sheets.size(); ++i) {
        sheets_.push_back(std::unique_ptr<Worksheet>(new Worksheet(model_->sheets[i].get())));
    }
}

Workbook::~Workbook() = default;

QString Workbook::fullName() const {
    return model_->path;
}

Worksheet& Workbook::worksheet(const QString& name) {
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        if (model_->modelled[i] && sheets_[i]->name() == name) {
            return *sheets_[i];
        }
    }
    refuse(QStringLiteral("workbook '%1' has no worksheet '%2'").arg(model_->path, name));
}

Worksheet& Workbook::worksheet(int index) {
    int n = 0;
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        if (model_->modelled[i] && ++n == index) {
            return *sheets_[i];
        }
    }
    refuse(QStringLiteral("worksheet %1 does not exist").arg(index));
}

int Workbook::worksheetCount() const {
    return static_cast<int>(std::count(model_->modelled.begin(), model_->modelled.end(), true));
}

DocumentProperty Workbook::builtinDocumentProperties(int index) {
    if (index != 1 && index != 2 && index != 3 && index != 5) {
        refuse(QStringLiteral("built-in document property %1 is not supported").arg(index));
    }
    return DocumentProperty(model_.get(), index);
}

void Workbook::save() {
    if (readOnly_) {
        refuse(QStringLiteral("'%1' was opened read-only and is not written back; save a copy")
                   .arg(model_->path));
    }
    saveCopyAs(model_->path);
}

void Workbook::saveCopyAs(const QString& path) {
    const QByteArray bytes = workbookFileBytes(*model_);
    writeFileAtomically(writer_, path, bytes);
}

void Workbook::writeTo(PendingFile& file) {
    file.write(workbookFileBytes(*model_));
}

// ---------------------------------------------------------------- application

Workbook& Workbooks::open(const QString& fullPath, bool readOnly) {
    std::unique_ptr<WorkbookModel> model = readWorkbook(fullPath);
    for (auto& sheet : model->sheets) {
        sheet->app = app_;
    }
    if (std::find(model->modelled.begin(), model->modelled.end(), true) == model->modelled.end()) {
        refuse(QStringLiteral("'%1' holds no worksheet").arg(fullPath));
    }
    books_.push_back(
        std::unique_ptr<Workbook>(new Workbook(std::move(model), app_->fileWriter(), readOnly)));
    return *books_.back();
}

Workbook& Workbooks::item(int index) {
    if (index < 1 || index > static_cast<int>(books_.size())) {
        refuse(QStringLiteral("workbook %1 is not open").arg(index));
    }
    return *books_[static_cast<std::size_t>(index - 1)];
}

int Workbooks::count() const {
    return static_cast<int>(books_.size());
}

Application::Application(FileWriter& writer) : writer_(writer), workbooks_(this) {}

Application::Application() : Application(localFileWriter()) {}

Application::~Application() = default;

Workbook& Application::activeWorkbook() {
    if (workbooks_.books_.empty()) {
        refuse(QStringLiteral("no workbook is open"));
    }
    return *workbooks_.books_.front();
}

Worksheet& Application::worksheets(const QString& name) {
    return activeWorkbook().worksheet(name);
}

namespace {
SheetModel* activeSheetModel(Workbook& book) {
    WorkbookModel& m = book.model();
    SheetModel* sheet = m.sheets.at(static_cast<std::size_t>(m.activeSheet)).get();
    if (!m.modelled[static_cast<std::size_t>(m.activeSheet)]) {
        refuse(QStringLiteral("the active sheet is not a worksheet"));
    }
    return sheet;
}
} // namespace

Selection Application::selection() {
    return Selection(activeSheetModel(activeWorkbook()));
}

Range Application::activeCell() {
    SheetModel* sheet = activeSheetModel(activeWorkbook());
    const int r = sheet->selection.activeRow;
    const int c = sheet->selection.activeCol;
    return Range(sheet, makeAreas({Area{r, c, r, c}}));
}

void Application::setVisible(bool on) {
    if (!on) {
        visible_ = false;
        return;
    }
    for (const auto& book : workbooks_.books_) {
        const QString path = book->fullName();
        if (!defaultShell().openDocument(path)) {
            throw Error(ErrCannotShow, errorText(ErrorText::NoViewerForWorkbook, path));
        }
    }
    visible_ = true;
}

void Application::quit() {
    workbooks_.books_.clear();
}

} // namespace tav::xls
