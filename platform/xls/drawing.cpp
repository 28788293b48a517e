#include "platform/xls/drawing.h"

#include "platform/error.h"
#include "platform/xls/biff.h"
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
QByteArray blipRecord(const PictureData& pic, const QByteArray& uid) {
    if (!pic.rawBlip.isEmpty()) {
        return pic.rawBlip;
    }
    QByteArray out;
    header(out, 0, 0x46A, BlipJPEG, static_cast<std::uint32_t>(pic.jpeg.size() + 17));
    out.append(uid);
    put8(out, 0xFF);
    out.append(pic.jpeg);
    return out;
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

QByteArray buildDrawingGroup(const DrawingPlan& plan) {
    // FDGG with one IDCL per cluster.
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

    QByteArray bstore;
    for (const StoredBlip& stored : plan.blips) {
        const PictureData& picture = *stored.picture;
        const QByteArray blip = blipRecord(picture, stored.uid);
        const int type = picture.rawBlip.isEmpty() ? 5 : picture.blipType;
        header(bstore, 2, type, FBSE, static_cast<std::uint32_t>(36 + blip.size()));
        put8(bstore, static_cast<std::uint8_t>(type));
        // Metafiles are PICT on the Macintosh side; raster types keep their type.
        put8(bstore, static_cast<std::uint8_t>(type == 2 || type == 3 ? 4 : type));
        bstore.append(stored.uid);
        put16(bstore, 0x00FF);
        put32(bstore, static_cast<std::uint32_t>(blip.size()));
        put32(bstore, stored.references); // cRef: the shapes that show it
        put32(bstore, 0);                 // foDelay: embedded
        put8(bstore, 0);
        put8(bstore, 0);
        put8(bstore, 0);
        put8(bstore, 0);
        bstore.append(blip);
    }

    QByteArray body;
    header(body, 0, 0, FDGG, static_cast<std::uint32_t>(fdgg.size()));
    body.append(fdgg);
    header(body, 0xF, static_cast<int>(plan.blips.size()), BStoreContainer,
           static_cast<std::uint32_t>(bstore.size()));
    body.append(bstore);
    // Default shape properties: fit text to shape, fill and line colours.
    header(body, 3, 3, FOPT, 18);
    put16(body, 0x00BF);
    put32(body, 0x00080008);
    put16(body, 0x0181);
    put32(body, 0x08000041);
    put16(body, 0x01C0);
    put32(body, 0x08000040);
    header(body, 0, 4, SplitMenuColors, 16);
    put32(body, 0x0800000D);
    put32(body, 0x0800000C);
    put32(body, 0x08000017);
    put32(body, 0x100000F7);

    QByteArray out;
    header(out, 0xF, 0, DggContainer, static_cast<std::uint32_t>(body.size()));
    out.append(body);
    return out;
}

Anchor computeAnchor(const SheetModel& sheet, int row, int col, double widthPoints,
                     double heightPoints) {
    Anchor a;
    a.colL = static_cast<std::uint16_t>(col);
    a.rwT = static_cast<std::uint16_t>(row);
    double x = widthPoints;
    int c = col;
    while (c < MaxColumns - 1 && x >= sheet.columnPoints(c)) {
        x -= sheet.columnPoints(c);
        ++c;
    }
    const double cw = sheet.columnPoints(c);
    a.colR = static_cast<std::uint16_t>(c);
    a.dxR = static_cast<std::uint16_t>(
        cw > 0 ? std::clamp<long>(std::lround(x / cw * 1024.0), 0, 1023) : 0);
    double y = heightPoints;
    int r = row;
    while (r < MaxRows - 1 && y >= sheet.rowPoints(r)) {
        y -= sheet.rowPoints(r);
        ++r;
    }
    const double rh = sheet.rowPoints(r);
    a.rwB = static_cast<std::uint16_t>(r);
    a.dyB = static_cast<std::uint16_t>(
        rh > 0 ? std::clamp<long>(std::lround(y / rh * 256.0), 0, 255) : 0);
    return a;
}

QByteArray anchorBytes(const Anchor& a) {
    QByteArray out;
    for (std::uint16_t v : {a.flags, a.colL, a.dxL, a.rwT, a.dyT, a.colR, a.dxR, a.rwB, a.dyB}) {
        put16(out, v);
    }
    return out;
}

std::vector<ShapeRecords> buildSheetDrawing(const SheetDrawing& d) {
    const SheetModel& sheet = *d.sheet;
    const std::size_t n = sheet.shapes.size();
    constexpr std::uint32_t PictureSpSize = 8 + 16 + (8 + 4 * 6) + 26 + 8;
    constexpr std::uint32_t PatriarchSize = 8 + 24 + 16;
    const std::uint32_t spgrLength = PatriarchSize + PictureSpSize * static_cast<std::uint32_t>(n);
    const std::uint32_t dgLength = 16 + 8 + spgrLength;

    std::vector<ShapeRecords> out;
    for (std::size_t i = 0; i < n; ++i) {
        const ShapeModel& s = sheet.shapes[i];
        ShapeRecords rec;
        QByteArray& b = rec.drawing;
        if (i == 0) {
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

        QByteArray& o = rec.obj;
        put16(o, 0x0015); // ftCmo
        put16(o, 0x0012);
        put16(o, 0x0008); // picture
        put16(o, static_cast<std::uint16_t>(i + 1));
        put16(o, 0x6011); // locked, printed, auto fill, auto line
        o.append(QByteArray(12, '\0'));
        put16(o, 0x0007); // ftCf
        put16(o, 0x0002);
        put16(o, 0xFFFF);
        put16(o, 0x0008); // ftPioGrbit
        put16(o, 0x0002);
        put16(o, 0x0001);
        put32(o, 0); // ftEnd
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

} // namespace

std::vector<TemplateBlip> parseDrawingGroup(const QByteArray& dgg) {
    std::vector<TemplateBlip> blips;
    const auto top = children(dgg, 0, dgg.size());
    const ArtRecord* container = find(top, DggContainer);
    if (!container) {
        refuse(QStringLiteral("drawing group holds no drawing group container"));
    }
    const auto inner = children(dgg, container->body, container->body + container->length);
    const ArtRecord* store = find(inner, BStoreContainer);
    if (!store) {
        return blips;
    }
    for (const ArtRecord& bse : children(dgg, store->body, store->body + store->length)) {
        TemplateBlip blip;
        if (bse.type == FBSE && bse.length >= 36) {
            blip.type = static_cast<std::uint8_t>(dgg[bse.body]);
            const int cbName = static_cast<std::uint8_t>(dgg[bse.body + 33]);
            const qsizetype start = bse.body + 36 + cbName;
            const qsizetype end = bse.body + bse.length;
            if (end - start >= 8) {
                const auto inside = children(dgg, start, end);
                if (!inside.empty()) {
                    blip.record = dgg.mid(start, 8 + inside.front().length);
                }
            }
        }
        blips.push_back(std::move(blip));
    }
    return blips;
}

void parseSheetDrawing(SheetModel& sheet, const QByteArray& dg,
                       const std::vector<TemplateBlip>& blips) {
    const auto top = children(dg, 0, dg.size());
    const ArtRecord* container = find(top, DgContainer);
    if (!container) {
        refuse(QStringLiteral("sheet '%1': drawing without a drawing container").arg(sheet.name));
    }
    const auto inner = children(dg, container->body, container->body + container->length);
    const ArtRecord* group = find(inner, SpgrContainer);
    if (!group) {
        return;
    }
    for (const ArtRecord& sp : children(dg, group->body, group->body + group->length)) {
        if (sp.type != SpContainer) {
            refuse(QStringLiteral("sheet '%1' holds grouped drawing objects, which the engine "
                                  "does not keep")
                       .arg(sheet.name));
        }
        const auto parts = children(dg, sp.body, sp.body + sp.length);
        const ArtRecord* fsp = find(parts, FSP);
        if (!fsp || fsp->length < 8) {
            refuse(QStringLiteral("sheet '%1': shape without FSP").arg(sheet.name));
        }
        const std::uint32_t flags = get32(dg, fsp->body + 4);
        if (flags & 0x4) {
            continue; // the patriarch
        }
        int pib = 0;
        bool lock = false;
        if (const ArtRecord* opt = find(parts, FOPT)) {
            const qsizetype count = std::min<qsizetype>(opt->inst, opt->length / 6);
            for (qsizetype k = 0; k < count; ++k) {
                const std::uint16_t id = get16(dg, opt->body + 6 * k);
                const std::uint32_t value = get32(dg, opt->body + 6 * k + 2);
                if ((id & 0x3FFF) == 0x0104) {
                    pib = static_cast<int>(value);
                } else if ((id & 0x3FFF) == 0x007F) {
                    lock = (value & 0x00800080) == 0x00800080;
                }
            }
        }
        const ArtRecord* anchor = find(parts, ClientAnchor);
        if (fsp->inst != 75 || pib < 1 || pib > static_cast<int>(blips.size()) || !anchor ||
            anchor->length < 18) {
            refuse(QStringLiteral("sheet '%1' holds a drawing object that is not a picture, which "
                                  "the engine does not keep")
                       .arg(sheet.name));
        }
        const TemplateBlip& blip = blips[static_cast<std::size_t>(pib - 1)];
        if (blip.record.size() < 25) {
            refuse(QStringLiteral("sheet '%1': picture %2 has no stored image")
                       .arg(sheet.name)
                       .arg(pib));
        }
        ShapeModel s;
        s.id = sheet.nextShapeId++;
        s.name = QStringLiteral("Picture %1").arg(sheet.nextPictureNumber++);
        s.lockAspect = lock;
        s.templateAnchor = dg.mid(anchor->body, 18);
        const auto a = [&](int k) { return static_cast<int>(get16(s.templateAnchor, 2 * k)); };
        s.col = std::min(a(1), MaxColumns - 1);
        s.row = a(3);
        const int colR = std::min(a(5), MaxColumns - 1);
        const int rowB = a(7);
        double w = -sheet.columnPoints(s.col) * std::min(a(2), 1024) / 1024.0;
        for (int c = s.col; c < colR; ++c) {
            w += sheet.columnPoints(c);
        }
        w += sheet.columnPoints(colR) * std::min(a(6), 1024) / 1024.0;
        double h = -sheet.rowPoints(s.row) * std::min(a(4), 256) / 256.0;
        for (int r = s.row; r < rowB && r < MaxRows; ++r) {
            h += sheet.rowPoints(r);
        }
        h += sheet.rowPoints(std::min(rowB, MaxRows - 1)) * std::min(a(8), 256) / 256.0;
        s.width = std::max(1.0, w);
        s.height = std::max(1.0, h);
        s.picture = std::make_shared<PictureData>();
        s.picture->blipType = blip.type;
        const std::uint16_t blipRecType = get16(blip.record, 2);
        if (blip.type == 5 && blipRecType == BlipJPEG) {
            // A JPEG picture: keep the JPEG bytes themselves (after UID(s) and tag).
            const int inst = get16(blip.record, 0) >> 4;
            const int skip = 8 + ((inst & 1) ? 32 : 16) + 1;
            s.picture->jpeg = blip.record.mid(skip);
            s.picture->jpegPixels = jpegPixelSize(s.picture->jpeg);
            s.jpeg = true;
            if (!s.picture->jpegPixels.isValid()) {
                s.picture->jpeg.clear();
                s.picture->rawBlip = blip.record;
            }
        } else {
            s.picture->rawBlip = blip.record;
        }
        sheet.shapes.push_back(std::move(s));
    }
}

} // namespace tav::xls
