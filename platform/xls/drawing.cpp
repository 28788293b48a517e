// The OfficeArt drawing layer: planning the picture store and the shape ids, writing
// the drawing group and each sheet's drawing (with the pictures' anchors), and reading
// a template's.
#include "platform/xls/drawing.h"

#include "platform/error.h"
#include "platform/xls/biff.h"
#include "platform/xls/opcodes.h"
#include "platform/xls/picture.h"

#include <QCryptographicHash>
#include <QHash>

#include <cmath>

namespace tav::xls {

namespace {

// The user reads what went wrong; the record details are for a developer.
[[noreturn]] void refuse(const QString& detail) {
    throw Error(err::EngineRefused, errorText(ErrorText::WorkbookDrawingsDamaged), detail);
}

// OfficeArt record types.
constexpr std::uint16_t DggContainer = 0xF000;
constexpr std::uint16_t BStoreContainer = 0xF001;
constexpr std::uint16_t DgContainer = 0xF002;
constexpr std::uint16_t SpgrContainer = 0xF003;
constexpr std::uint16_t SpContainer = 0xF004;
constexpr std::uint16_t FDGG = 0xF006;
constexpr std::uint16_t FBSE = 0xF007;
constexpr std::uint16_t FDG = 0xF008;
constexpr std::uint16_t FSPGR = 0xF009;
constexpr std::uint16_t FSP = 0xF00A;
constexpr std::uint16_t FOPT = 0xF00B;
constexpr std::uint16_t ClientAnchor = 0xF010;
constexpr std::uint16_t ClientData = 0xF011;
constexpr std::uint16_t SplitMenuColors = 0xF11E;
constexpr std::uint16_t BlipJPEG = 0xF01D;

// Every sheet drawing owns whole clusters of 1024 shape ids.
constexpr int ClusterSize = 1024;

void header(QByteArray& out, int ver, int inst, std::uint16_t type, std::uint32_t length) {
    put16(out, static_cast<std::uint16_t>((ver & 0x0F) | (inst << 4)));
    put16(out, type);
    put32(out, length);
}

int clustersFor(std::size_t shapes) {
    return static_cast<int>((shapes + 1 + ClusterSize - 1) / ClusterSize);
}

// The 16-byte UID of a picture's blip: the template's own for a kept blip, else the
// MD4 digest of the JPEG bytes.
QByteArray blipUid(const PictureData& pic) {
    if (!pic.rawBlip.isEmpty()) {
        return pic.rawBlip.mid(8, 16);
    }
    Q_ASSERT(!pic.jpeg.isEmpty());
    return QCryptographicHash::hash(pic.jpeg, QCryptographicHash::Md4);
}

// The blip record (header included) of a picture with its UID.
// The bytes of a stored picture's blip record: its header, UID and tag, then the JPEG;
// a template's picture of another type keeps its record as it was.
qsizetype blipRecordSize(const PictureData& pic, const QByteArray& uid) {
    return pic.rawBlip.isEmpty() ? 8 + uid.size() + 1 + pic.jpeg.size() : pic.rawBlip.size();
}

void appendBlipRecord(BiffWriter& w, const PictureData& pic, const QByteArray& uid) {
    if (!pic.rawBlip.isEmpty()) {
        w.appendContinued(pic.rawBlip);
        return;
    }
    QByteArray head;
    header(head, 0, 0x46A, BlipJPEG, static_cast<std::uint32_t>(pic.jpeg.size() + 17));
    head.append(uid);
    put8(head, 0xFF);
    w.appendContinued(head);
    w.appendContinued(pic.jpeg);
}

bool sameBlip(const PictureData& a, const PictureData& b) {
    return a.rawBlip == b.rawBlip && a.jpeg == b.jpeg &&
           (a.rawBlip.isEmpty() || a.blipType == b.blipType);
}

} // namespace

DrawingPlan planDrawings(const std::vector<SheetModel*>& sheets) {
    DrawingPlan plan;
    // UID → store indexes (0-based) with that UID; a digest collision of different
    // bytes keeps both entries.
    QHash<QByteArray, std::vector<int>> byUid;
    int cluster = 1;
    for (SheetModel* sheet : sheets) {
        if (sheet->shapes.empty()) {
            continue;
        }
        SheetDrawing d;
        d.sheet = sheet;
        d.dgid = static_cast<int>(plan.sheets.size()) + 1;
        d.firstSpid = static_cast<std::uint32_t>(cluster * ClusterSize);
        cluster += clustersFor(sheet->shapes.size());
        for (const ShapeModel& shape : sheet->shapes) {
            const PictureData& picture = *shape.picture;
            QByteArray uid = blipUid(picture);
            std::vector<int>& candidates = byUid[uid];
            int index = -1;
            for (int k : candidates) {
                if (sameBlip(*plan.blips[static_cast<std::size_t>(k)].picture, picture)) {
                    index = k;
                    break;
                }
            }
            if (index < 0) {
                index = static_cast<int>(plan.blips.size());
                candidates.push_back(index);
                plan.blips.push_back(StoredBlip{&picture, std::move(uid), 0});
            }
            ++plan.blips[static_cast<std::size_t>(index)].references;
            d.blips.push_back(index + 1);
        }
        plan.sheets.push_back(std::move(d));
    }
    return plan;
}

namespace {

// FDGG: the highest shape id, the clusters of shape ids (one per 1024 ids of each
// sheet drawing, and one unused), the shapes saved and the drawings.
QByteArray fdggRecord(const DrawingPlan& plan) {
    QByteArray fdgg;
    std::uint32_t spidMax = 0;
    std::uint32_t saved = 0;
    int clusters = 0;
    QByteArray idcls;
    for (const SheetDrawing& d : plan.sheets) {
        const std::size_t ids = d.sheet->shapes.size() + 1;
        spidMax = std::max<std::uint32_t>(spidMax, d.firstSpid + static_cast<std::uint32_t>(ids));
        saved += static_cast<std::uint32_t>(ids);
        for (std::size_t used = 0; used < ids; used += ClusterSize) {
            put32(idcls, static_cast<std::uint32_t>(d.dgid));
            put32(idcls,
                  static_cast<std::uint32_t>(std::min<std::size_t>(ClusterSize, ids - used)));
            ++clusters;
        }
    }
    put32(fdgg, spidMax);
    put32(fdgg, static_cast<std::uint32_t>(clusters + 1));
    put32(fdgg, saved);
    put32(fdgg, static_cast<std::uint32_t>(plan.sheets.size()));
    fdgg.append(idcls);
    QByteArray out;
    header(out, 0, 0, FDGG, static_cast<std::uint32_t>(fdgg.size()));
    out.append(fdgg);
    return out;
}

// The picture store's size: one FBSE with its embedded blip per stored picture.
qsizetype bstoreSize(const DrawingPlan& plan) {
    qsizetype size = 0;
    for (const StoredBlip& stored : plan.blips) {
        size += 8 + 36 + blipRecordSize(*stored.picture, stored.uid);
    }
    return size;
}

void appendBstoreContainer(BiffWriter& w, const DrawingPlan& plan) {
    QByteArray head;
    header(head, 0xF, static_cast<int>(plan.blips.size()), BStoreContainer,
           static_cast<std::uint32_t>(bstoreSize(plan)));
    w.appendContinued(head);
    for (const StoredBlip& stored : plan.blips) {
        const PictureData& picture = *stored.picture;
        const qsizetype blipSize = blipRecordSize(picture, stored.uid);
        const int type = picture.rawBlip.isEmpty() ? blipType::Jpeg : picture.blipType;
        QByteArray fbse;
        header(fbse, 2, type, FBSE, static_cast<std::uint32_t>(36 + blipSize));
        put8(fbse, static_cast<std::uint8_t>(type));
        // Metafiles are PICT on the Macintosh side; raster types keep their type.
        put8(fbse, static_cast<std::uint8_t>(
                       type == blipType::Emf || type == blipType::Wmf ? blipType::Pict : type));
        fbse.append(stored.uid);
        put16(fbse, 0x00FF);
        put32(fbse, static_cast<std::uint32_t>(blipSize));
        put32(fbse, stored.references); // cRef: the shapes that show it
        put32(fbse, 0);                 // foDelay: embedded
        put8(fbse, 0);
        put8(fbse, 0);
        put8(fbse, 0);
        put8(fbse, 0);
        w.appendContinued(fbse);
        appendBlipRecord(w, picture, stored.uid);
    }
}

// Default shape properties (fit text to shape, fill and line colours) and the split
// menu colours.
QByteArray defaultShapeOptions() {
    QByteArray out;
    header(out, 3, 3, FOPT, 18);
    put16(out, 0x00BF);
    put32(out, 0x00080008);
    put16(out, 0x0181);
    put32(out, 0x08000041);
    put16(out, 0x01C0);
    put32(out, 0x08000040);
    header(out, 0, 4, SplitMenuColors, 16);
    put32(out, 0x0800000D);
    put32(out, 0x0800000C);
    put32(out, 0x08000017);
    put32(out, 0x100000F7);
    return out;
}

} // namespace

void writeDrawingGroup(BiffWriter& w, const DrawingPlan& plan) {
    const QByteArray fdgg = fdggRecord(plan);
    const QByteArray options = defaultShapeOptions();
    const qsizetype store = bstoreSize(plan);
    const qsizetype body = fdgg.size() + 8 + store + options.size();
    // The record and its CONTINUE headers, and room for the sheets that follow.
    w.reserve(8 + body + (8 + body) / MaxRecordData * 4 + (4 << 20));
    w.beginContinued(op::MSODRAWINGGROUP);
    QByteArray head;
    header(head, 0xF, 0, DggContainer, static_cast<std::uint32_t>(body));
    w.appendContinued(head);
    w.appendContinued(fdgg);
    appendBstoreContainer(w, plan);
    w.appendContinued(options);
    w.endContinued();
}

namespace {

// Where a length, laid from the start of cell `first`, ends: the cell (at most `last`)
// and the offset inside it in 1/`units` of that cell. `size(i)` is cell i's size in
// points; cells of size 0 (hidden) are walked over.
struct CellEdge {
    int cell;
    std::uint16_t offset;
};

template <typename Size>
CellEdge endOfLength(double length, int first, int last, int units, Size size) {
    double rest = length;
    int i = first;
    while (i < last && rest >= size(i)) {
        rest -= size(i);
        ++i;
    }
    const double s = size(i);
    return {i, static_cast<std::uint16_t>(
                   s > 0 ? std::clamp<long>(std::lround(rest / s * units), 0, units - 1) : 0)};
}

// The length in points from offset `from` (1/`units`) in cell `first` to offset `to` in
// cell `last`, over cells 0 .. count - 1: the inverse of endOfLength.
template <typename Size>
double lengthBetween(int first, int from, int last, int to, int units, int count, Size size) {
    double length = -size(first) * std::min(from, units) / static_cast<double>(units);
    for (int i = first; i < last && i < count; ++i) {
        length += size(i);
    }
    length += size(std::min(last, count - 1)) * std::min(to, units) / static_cast<double>(units);
    return length;
}

} // namespace

Anchor computeAnchor(const SheetModel& sheet, int row, int col, double widthPoints,
                     double heightPoints) {
    const CellEdge right = endOfLength(widthPoints, col, MaxColumns - 1, 1024,
                                       [&sheet](int c) { return sheet.columnPoints(c); });
    const CellEdge bottom = endOfLength(heightPoints, row, MaxRows - 1, 256,
                                        [&sheet](int r) { return sheet.rowPoints(r); });
    Anchor a;
    a.colL = static_cast<std::uint16_t>(col);
    a.rwT = static_cast<std::uint16_t>(row);
    a.colR = static_cast<std::uint16_t>(right.cell);
    a.dxR = right.offset;
    a.rwB = static_cast<std::uint16_t>(bottom.cell);
    a.dyB = bottom.offset;
    return a;
}

QByteArray anchorBytes(const Anchor& a) {
    QByteArray out;
    for (std::uint16_t v : {a.flags, a.colL, a.dxL, a.rwT, a.dyT, a.colR, a.dxR, a.rwB, a.dyB}) {
        put16(out, v);
    }
    return out;
}

namespace {

constexpr std::uint32_t PictureSpSize = 8 + 16 + (8 + 4 * 6) + 26 + 8;
constexpr std::uint32_t PatriarchSize = 8 + 24 + 16;

// The drawing container's start (its FDG: shape count, last shape id), the group of
// shapes and its patriarch shape.
void appendDrawingStart(QByteArray& b, const SheetDrawing& d) {
    const std::size_t n = d.sheet->shapes.size();
    const std::uint32_t spgrLength = PatriarchSize + PictureSpSize * static_cast<std::uint32_t>(n);
    const std::uint32_t dgLength = 16 + 8 + spgrLength;
    header(b, 0xF, 0, DgContainer, dgLength);
    header(b, 0, d.dgid, FDG, 8);
    put32(b, static_cast<std::uint32_t>(n + 1));
    put32(b, d.firstSpid + static_cast<std::uint32_t>(n));
    header(b, 0xF, 0, SpgrContainer, spgrLength);
    header(b, 0xF, 0, SpContainer, PatriarchSize - 8);
    header(b, 1, 0, FSPGR, 16);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    header(b, 2, 0, FSP, 8);
    put32(b, d.firstSpid);
    put32(b, 0x00000005); // fGroup | fPatriarch
}

// The picture shape of the sheet's picture `i`: its id, options, anchor.
void appendPictureShape(QByteArray& b, const SheetDrawing& d, std::size_t i) {
    const SheetModel& sheet = *d.sheet;
    const ShapeModel& s = sheet.shapes[i];
    header(b, 0xF, 0, SpContainer, PictureSpSize - 8);
    header(b, 2, 75, FSP, 8); // msosptPictureFrame
    put32(b, d.firstSpid + static_cast<std::uint32_t>(i + 1));
    put32(b, 0x00000A00); // fHaveAnchor | fHaveSpt
    header(b, 3, 4, FOPT, 24);
    put16(b, 0x007F); // protection: lock aspect ratio (and its "use" bit)
    put32(b, s.lockAspect ? 0x00800080 : 0x00800000);
    put16(b, 0x4104); // pib: BStore index of the picture
    put32(b, static_cast<std::uint32_t>(d.blips[i]));
    put16(b, 0x01BF); // fill: not filled
    put32(b, 0x00100000);
    put16(b, 0x03BF); // group shape: not a button
    put32(b, 0x00080000);
    header(b, 0, 0, ClientAnchor, 18);
    if (s.templateAnchor.size() == 18) {
        b.append(s.templateAnchor);
    } else {
        b.append(anchorBytes(computeAnchor(sheet, s.row, s.col, s.width, s.height)));
    }
    header(b, 0, 0, ClientData, 0);
}

// OBJ data of picture object `id`: common object data, clipboard format, picture flags.
QByteArray pictureObj(std::size_t id) {
    QByteArray o;
    put16(o, 0x0015); // ftCmo
    put16(o, 0x0012);
    put16(o, 0x0008); // picture
    put16(o, static_cast<std::uint16_t>(id));
    put16(o, 0x6011); // locked, printed, auto fill, auto line
    o.append(QByteArray(12, '\0'));
    put16(o, 0x0007); // ftCf
    put16(o, 0x0002);
    put16(o, 0xFFFF);
    put16(o, 0x0008); // ftPioGrbit
    put16(o, 0x0002);
    put16(o, 0x0001);
    put32(o, 0); // ftEnd
    return o;
}

} // namespace

std::vector<ShapeRecords> buildSheetDrawing(const SheetDrawing& d) {
    std::vector<ShapeRecords> out;
    for (std::size_t i = 0; i < d.sheet->shapes.size(); ++i) {
        ShapeRecords rec;
        if (i == 0) {
            appendDrawingStart(rec.drawing, d);
        }
        appendPictureShape(rec.drawing, d, i);
        rec.obj = pictureObj(i + 1);
        out.push_back(std::move(rec));
    }
    return out;
}

// ---------------------------------------------------------------- reading

namespace {

struct ArtRecord {
    int ver = 0;
    int inst = 0;
    std::uint16_t type = 0;
    qsizetype body = 0;   // offset of the body in the buffer
    qsizetype length = 0; // body length
};

// Children of the container whose body spans [begin, end).
std::vector<ArtRecord> children(const QByteArray& buf, qsizetype begin, qsizetype end) {
    std::vector<ArtRecord> out;
    qsizetype at = begin;
    while (at < end) {
        if (end - at < 8) {
            refuse(QStringLiteral("drawing record truncated at %1").arg(at));
        }
        ArtRecord r;
        const std::uint16_t verInst = get16(buf, at);
        r.ver = verInst & 0x0F;
        r.inst = verInst >> 4;
        r.type = get16(buf, at + 2);
        const std::uint32_t length = get32(buf, at + 4);
        r.body = at + 8;
        if (length > static_cast<std::uint64_t>(end - r.body)) {
            refuse(QStringLiteral("drawing record 0x%1 declares %2 bytes, %3 remain")
                       .arg(r.type, 4, 16, QLatin1Char('0'))
                       .arg(length)
                       .arg(end - r.body));
        }
        r.length = static_cast<qsizetype>(length);
        out.push_back(r);
        at = r.body + r.length;
    }
    return out;
}

const ArtRecord* find(const std::vector<ArtRecord>& list, std::uint16_t type) {
    for (const ArtRecord& r : list) {
        if (r.type == type) {
            return &r;
        }
    }
    return nullptr;
}

// The options of a picture shape the engine keeps: its picture store index (pib) and
// whether its aspect ratio is locked.
struct PictureOptions {
    int pib = 0;
    bool lockAspect = false;
};

PictureOptions readPictureOptions(const QByteArray& drawing, const ArtRecord* opt) {
    PictureOptions options;
    if (!opt) {
        return options;
    }
    const qsizetype count = std::min<qsizetype>(opt->inst, opt->length / 6);
    for (qsizetype k = 0; k < count; ++k) {
        const std::uint16_t id = get16(drawing, opt->body + 6 * k);
        const std::uint32_t value = get32(drawing, opt->body + 6 * k + 2);
        if ((id & 0x3FFF) == 0x0104) {
            options.pib = static_cast<int>(value);
        } else if ((id & 0x3FFF) == 0x007F) {
            options.lockAspect = (value & 0x00800080) == 0x00800080;
        }
    }
    return options;
}

// Top-left cell and size in points of a picture from its anchor bytes.
void placeFromAnchor(const SheetModel& sheet, ShapeModel& s) {
    const auto a = [&s](int k) { return static_cast<int>(get16(s.templateAnchor, 2 * k)); };
    s.col = std::min(a(1), MaxColumns - 1);
    s.row = a(3);
    const int colR = std::min(a(5), MaxColumns - 1);
    const double w = lengthBetween(s.col, a(2), colR, a(6), 1024, MaxColumns,
                                   [&sheet](int c) { return sheet.columnPoints(c); });
    const double h = lengthBetween(s.row, a(4), a(7), a(8), 256, MaxRows,
                                   [&sheet](int r) { return sheet.rowPoints(r); });
    s.width = std::max(1.0, w);
    s.height = std::max(1.0, h);
}

bool isJpegBlip(const TemplateBlip& blip) {
    return blip.type == blipType::Jpeg && get16(blip.record, 2) == BlipJPEG;
}

// The pixels of a template picture: a JPEG picture keeps its JPEG bytes, any other
// (or a JPEG whose size cannot be read) its whole blip record.
std::shared_ptr<PictureData> pictureOf(const TemplateBlip& blip) {
    auto picture = std::make_shared<PictureData>();
    picture->blipType = blip.type;
    if (isJpegBlip(blip)) {
        picture->jpeg = blip.record.mid(blipDataOffset(blip.record));
        picture->jpegPixels = jpegPixelSize(picture->jpeg);
        if (!picture->jpegPixels.isValid()) {
            picture->jpeg.clear();
            picture->rawBlip = blip.record;
        }
    } else {
        picture->rawBlip = blip.record;
    }
    return picture;
}

// Adds the picture of shape container `sp` to the sheet; the patriarch is skipped, any
// other shape refused.
void readShape(SheetModel& sheet, const QByteArray& drawing, const ArtRecord& sp,
               const std::vector<TemplateBlip>& blips) {
    const auto parts = children(drawing, sp.body, sp.body + sp.length);
    const ArtRecord* fsp = find(parts, FSP);
    if (!fsp || fsp->length < 8) {
        refuse(QStringLiteral("sheet '%1': shape without FSP").arg(sheet.name));
    }
    if (get32(drawing, fsp->body + 4) & 0x4) {
        return; // the patriarch
    }
    const PictureOptions options = readPictureOptions(drawing, find(parts, FOPT));
    const ArtRecord* anchor = find(parts, ClientAnchor);
    if (fsp->inst != 75 || options.pib < 1 || options.pib > static_cast<int>(blips.size()) ||
        !anchor || anchor->length < 18) {
        refuse(QStringLiteral("sheet '%1' holds a drawing object that is not a picture, which "
                              "the engine does not keep")
                   .arg(sheet.name));
    }
    const TemplateBlip& blip = blips[static_cast<std::size_t>(options.pib - 1)];
    if (blip.record.size() < 25) {
        refuse(QStringLiteral("sheet '%1': picture %2 has no stored image")
                   .arg(sheet.name)
                   .arg(options.pib));
    }
    ShapeModel s;
    s.id = sheet.nextShapeId++;
    s.name = QStringLiteral("Picture %1").arg(sheet.nextPictureNumber++);
    s.lockAspect = options.lockAspect;
    s.templateAnchor = drawing.mid(anchor->body, 18);
    placeFromAnchor(sheet, s);
    s.jpeg = isJpegBlip(blip);
    s.picture = pictureOf(blip);
    sheet.shapes.push_back(std::move(s));
}

} // namespace

qsizetype blipDataOffset(const QByteArray& blipRecord) {
    const int inst = get16(blipRecord, 0) >> 4;
    return 8 + ((inst & 1) ? 32 : 16) + 1;
}

std::vector<TemplateBlip> parseDrawingGroup(const QByteArray& drawingGroup) {
    std::vector<TemplateBlip> blips;
    const auto top = children(drawingGroup, 0, drawingGroup.size());
    const ArtRecord* container = find(top, DggContainer);
    if (!container) {
        refuse(QStringLiteral("drawing group holds no drawing group container"));
    }
    const auto inner = children(drawingGroup, container->body, container->body + container->length);
    const ArtRecord* store = find(inner, BStoreContainer);
    if (!store) {
        return blips;
    }
    for (const ArtRecord& bse : children(drawingGroup, store->body, store->body + store->length)) {
        TemplateBlip blip;
        if (bse.type == FBSE && bse.length >= 36) {
            blip.type = static_cast<std::uint8_t>(drawingGroup[bse.body]);
            const int cbName = static_cast<std::uint8_t>(drawingGroup[bse.body + 33]);
            const qsizetype start = bse.body + 36 + cbName;
            const qsizetype end = bse.body + bse.length;
            if (end - start >= 8) {
                const auto inside = children(drawingGroup, start, end);
                if (!inside.empty()) {
                    blip.record = drawingGroup.mid(start, 8 + inside.front().length);
                }
            }
        }
        blips.push_back(std::move(blip));
    }
    return blips;
}

void parseSheetDrawing(SheetModel& sheet, const QByteArray& drawing,
                       const std::vector<TemplateBlip>& blips) {
    const auto top = children(drawing, 0, drawing.size());
    const ArtRecord* container = find(top, DgContainer);
    if (!container) {
        refuse(QStringLiteral("sheet '%1': drawing without a drawing container").arg(sheet.name));
    }
    const auto inner = children(drawing, container->body, container->body + container->length);
    const ArtRecord* group = find(inner, SpgrContainer);
    if (!group) {
        return;
    }
    for (const ArtRecord& sp : children(drawing, group->body, group->body + group->length)) {
        if (sp.type != SpContainer) {
            refuse(QStringLiteral("sheet '%1' holds grouped drawing objects, which the engine "
                                  "does not keep")
                       .arg(sheet.name));
        }
        readShape(sheet, drawing, sp, blips);
    }
}

} // namespace tav::xls
