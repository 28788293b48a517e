// Reading a BIFF8 template into the model: records the engine regenerates are parsed
// and replaced by marks, every other record is kept byte for byte.
#include "platform/error.h"
#include "platform/xls/drawing.h"
#include "platform/xls/ole.h"
#include "platform/xls/opcodes.h"
#include "platform/xls/workbook_io.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace tav::xls {

namespace {

// The user reads what went wrong; the record details are for a developer.
[[noreturn]] void refuse(const QString& detail) {
    throw Error(err::EngineRefused, errorText(ErrorText::WorkbookContentDamaged), detail);
}

constexpr qint64 MaxTemplateBytes = 512LL * 1024 * 1024;

Record markRecord(std::uint16_t mark) {
    return Record{mark, {}};
}

// Characters of an XLUnicodeString-like field: `count` characters, 8- or 16-bit.
QString readChars(ByteReader& in, int count, bool high) {
    if (high) {
        const QByteArray raw = in.bytes(static_cast<qsizetype>(count) * 2);
        return QString(reinterpret_cast<const QChar*>(raw.constData()), count);
    }
    return QString::fromLatin1(in.bytes(count));
}

// ShortXLUnicodeString (1-byte count) or XLUnicodeString (2-byte count).
QString readUnicodeString(ByteReader& in, bool shortCount) {
    const int cch = shortCount ? in.u8() : in.u16();
    const std::uint8_t flags = in.u8();
    return readChars(in, cch, flags & 0x01);
}

// ---------------------------------------------------------------- SST

// Reads across an SST record and its CONTINUE records, honouring the rule that a
// string's characters resume in a CONTINUE record after a new fHighByte byte.
class ContinuedReader {
public:
    explicit ContinuedReader(std::vector<const QByteArray*> chunks) : chunks_(std::move(chunks)) {}

    bool atEnd() {
        while (chunk_ < chunks_.size() && pos_ >= chunks_[chunk_]->size()) {
            ++chunk_;
            pos_ = 0;
        }
        return chunk_ >= chunks_.size();
    }

    // Plain bytes, flowing over record boundaries.
    QByteArray bytes(qint64 count) {
        QByteArray out;
        while (count > 0) {
            if (atEnd()) {
                refuse(QStringLiteral("shared string table ends inside a string"));
            }
            const QByteArray& c = *chunks_[chunk_];
            const qsizetype n = std::min<qint64>(count, c.size() - pos_);
            out.append(c.constData() + pos_, n);
            pos_ += n;
            count -= n;
        }
        return out;
    }

    std::uint32_t u32() {
        const QByteArray b = bytes(4);
        return get32(b, 0);
    }
    std::uint16_t u16() {
        const QByteArray b = bytes(2);
        return get16(b, 0);
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(bytes(1)[0]); }

    // `count` characters starting with width `high`; a record boundary inside them
    // is followed by a new flags byte.
    QString chars(int count, bool high) {
        QString out;
        out.reserve(count);
        while (count > 0) {
            if (atEnd()) {
                refuse(QStringLiteral("shared string table ends inside a string"));
            }
            if (pos_ >= chunks_[chunk_]->size()) {
                continue;
            }
            const QByteArray& c = *chunks_[chunk_];
            const int width = high ? 2 : 1;
            const qsizetype fit = (c.size() - pos_) / width;
            if (fit == 0) {
                refuse(QStringLiteral("shared string split inside a character"));
            }
            const int n = static_cast<int>(std::min<qsizetype>(fit, count));
            if (high) {
                out.append(QString(reinterpret_cast<const QChar*>(c.constData() + pos_), n));
            } else {
                out.append(QString::fromLatin1(c.constData() + pos_, n));
            }
            pos_ += static_cast<qsizetype>(n) * width;
            count -= n;
            if (count > 0) {
                // The characters continue in the next record, which starts with the
                // width flag of the rest.
                ++chunk_;
                pos_ = 0;
                if (chunk_ >= chunks_.size() || chunks_[chunk_]->isEmpty()) {
                    refuse(QStringLiteral("shared string table ends inside a string"));
                }
                high = (*chunks_[chunk_])[0] & 0x01;
                pos_ = 1;
            }
        }
        return out;
    }

private:
    std::vector<const QByteArray*> chunks_;
    std::size_t chunk_ = 0;
    qsizetype pos_ = 0;
};

void parseSst(WorkbookModel& book, const std::vector<const QByteArray*>& chunks) {
    ContinuedReader in(chunks);
    in.u32(); // cstTotal: recomputed
    const std::uint32_t unique = in.u32();
    for (std::uint32_t i = 0; i < unique; ++i) {
        if (in.atEnd()) {
            // Some writers declare more strings than they store; keep what is there.
            break;
        }
        const int cch = in.u16();
        const std::uint8_t flags = in.u8();
        const int runs = (flags & 0x08) ? in.u16() : 0;
        const std::uint32_t ext = (flags & 0x04) ? in.u32() : 0;
        SstEntry entry;
        entry.text = in.chars(cch, flags & 0x01);
        entry.runs = in.bytes(static_cast<qint64>(runs) * 4);
        entry.phonetic = in.bytes(ext);
        book.sst.push_back(std::move(entry));
    }
}

// ---------------------------------------------------------------- globals

// Digit width in pixels of the Normal style font (FONT record 0), which is the unit
// of column widths. Arial and ＭＳ Ｐゴシック 11 pt have an 8-pixel digit; the width is
// estimated from the size (Arial 10 pt: 7 pixels).
int digitWidthOf(const Record& font) {
    ByteReader in(font.data, op::FONT);
    const std::uint16_t twips = in.u16();
    in.skip(12);
    const QString name = readUnicodeString(in, true);
    const double points = twips / 20.0;
    const int estimate = static_cast<int>(std::lround(points * 96.0 / 72.0 * 0.55));
    Q_UNUSED(name);
    return std::clamp(estimate, 4, 30);
}

struct SheetEntry {
    QString name;
    std::uint32_t position = 0;
    int type = 0; // BOUNDSHEET dt
};

// Offset of every record in the stream.
std::vector<qsizetype> recordOffsets(const std::vector<Record>& records) {
    std::vector<qsizetype> offsets;
    offsets.reserve(records.size());
    qsizetype at = 0;
    for (const Record& r : records) {
        offsets.push_back(at);
        at += 4 + r.data.size();
    }
    return offsets;
}

bool isCellRecord(std::uint16_t type) {
    switch (type) {
    case op::LABELSST:
    case op::LABEL:
    case op::NUMBER:
    case op::RK:
    case op::MULRK:
    case op::BLANK:
    case op::MULBLANK:
    case op::BOOLERR:
    case op::FORMULA:
        return true;
    default:
        return false;
    }
}

bool isPageSetup(std::uint16_t type) {
    switch (type) {
    case op::HEADER:
    case op::FOOTER:
    case op::HCENTER:
    case op::VCENTER:
    case op::LEFTMARGIN:
    case op::RIGHTMARGIN:
    case op::TOPMARGIN:
    case op::BOTTOMMARGIN:
    case op::PLS:
    case op::SETUP:
        return true;
    default:
        return false;
    }
}

double decodeRk(std::uint32_t rk) {
    double value;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, 8);
    }
    return (rk & 0x01) ? value / 100.0 : value;
}

// ---------------------------------------------------------------- sheets

class SheetParser {
public:
    SheetParser(WorkbookModel& book, SheetModel& sheet, const std::vector<TemplateBlip>& blips)
        : book_(book), sheet_(sheet), blips_(blips) {}

    void parse(const std::vector<Record>& records) {
        std::vector<Record>& kept = sheet_.records;
        QByteArray drawing;
        bool sawWindow = false;
        bool cellMark = false;
        std::size_t drawingAt = SIZE_MAX;
        std::size_t mergeAt = SIZE_MAX;
        std::uint16_t previous = 0;
        int depth = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const Record& r = records[i];
            const std::uint16_t before = previous;
            previous = r.type == op::CONTINUE ? before : r.type;
            if (i == 0) {
                kept.push_back(r); // BOF
                kept.push_back(markRecord(mark::Index));
                continue;
            }
            if (r.type == op::BOF) {
                ++depth; // an embedded chart substream: kept as it is
            }
            if (depth > 0) {
                if (r.type == op::EOF_) {
                    --depth;
                }
                kept.push_back(r);
                continue;
            }
            switch (r.type) {
            case op::INDEX:
            case op::DBCELL:
                break;
            case op::HORIZONTALPAGEBREAKS:
                parseBreaks(r);
                break;
            case op::COLINFO:
                parseColInfo(r);
                break;
            case op::DEFCOLWIDTH:
                sheet_.defColWidth = ByteReader(r.data, r.type).u16();
                kept.push_back(r);
                kept.push_back(markRecord(mark::ColInfo));
                break;
            case op::DEFAULTROWHEIGHT: {
                ByteReader in(r.data, r.type);
                in.u16();
                sheet_.defaultRowHeight = in.u16();
                kept.push_back(r);
                break;
            }
            case op::SETUP: {
                ByteReader in(r.data, r.type);
                in.skip(10);
                sheet_.pageOrder = (in.u16() & 0x0001) ? 2 : 1;
                kept.push_back(r);
                break;
            }
            case op::DIMENSIONS:
                if (!cellMark) {
                    kept.push_back(markRecord(mark::CellTable));
                    cellMark = true;
                }
                break;
            case op::ROW:
                parseRow(r);
                break;
            case op::MSODRAWING:
                drawing.append(r.data);
                drawingAt = std::min(drawingAt, kept.size());
                break;
            case op::OBJ:
                checkObj(r);
                drawingAt = std::min(drawingAt, kept.size());
                break;
            case op::TXO:
            case op::NOTE:
                refuse(QStringLiteral("sheet '%1' holds text boxes or comments, which the engine "
                                      "does not keep")
                           .arg(sheet_.name));
            case op::MSODRAWINGSELECTION:
                break;
            case op::CONTINUE:
                if (before == op::MSODRAWING) {
                    drawing.append(r.data);
                } else if (before == op::OBJ) {
                    // continuation of an OBJ: part of the dropped drawing
                } else if (before == op::FORMULA || before == op::STRING ||
                           (isCellRecord(before) && lastCell_)) {
                    attachToCell(r);
                } else {
                    kept.push_back(r);
                }
                break;
            case op::MERGECELLS:
                parseMerge(r);
                break;
            case op::WINDOW2:
                sawWindow = true;
                if (drawingAt == SIZE_MAX) {
                    drawingAt = kept.size();
                }
                kept.push_back(r);
                break;
            case op::STRING:
            case op::SHRFMLA:
            case op::ARRAY:
            case op::TABLE:
                attachToCell(r);
                break;
            default:
                if (isCellRecord(r.type)) {
                    parseCell(r);
                    break;
                }
                if (sawWindow && mergeAt == SIZE_MAX && r.type != 0x088B && r.type != op::SCL &&
                    r.type != op::PANE && r.type != op::SELECTION) {
                    mergeAt = kept.size();
                }
                kept.push_back(r);
                break;
            }
        }
        // Insertion points of the regenerated parts.
        if (kept.empty() || kept.back().type != op::EOF_) {
            refuse(QStringLiteral("sheet '%1' has no end record").arg(sheet_.name));
        }
        if (mergeAt == SIZE_MAX) {
            mergeAt = kept.size() - 1;
        }
        if (drawingAt == SIZE_MAX) {
            drawingAt = kept.size() - 1;
        }
        // Insert from the back so that earlier positions stay valid.
        const bool mergeFirst = mergeAt >= drawingAt;
        auto insertAt = [&kept](std::size_t at, std::uint16_t m) {
            kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(at), markRecord(m));
        };
        if (mergeFirst) {
            insertAt(mergeAt, mark::MergeCells);
            insertAt(drawingAt, mark::Drawing);
        } else {
            insertAt(drawingAt, mark::Drawing);
            insertAt(mergeAt, mark::MergeCells);
        }
        auto indexOf = [&kept](std::uint16_t type) -> std::size_t {
            for (std::size_t i = 0; i < kept.size(); ++i) {
                if (kept[i].type == type) {
                    return i;
                }
            }
            return SIZE_MAX;
        };
        if (!cellMark) {
            insertAt(indexOf(mark::Drawing), mark::CellTable);
        }
        if (indexOf(mark::ColInfo) == SIZE_MAX) {
            insertAt(indexOf(mark::CellTable), mark::ColInfo);
        }
        std::size_t setupAt = SIZE_MAX;
        for (std::size_t i = 0; i < kept.size(); ++i) {
            if (isPageSetup(kept[i].type)) {
                setupAt = i;
                break;
            }
        }
        insertAt(std::min(setupAt, indexOf(mark::ColInfo)), mark::PageBreaks);
        if (!drawing.isEmpty()) {
            parseSheetDrawing(sheet_, drawing, blips_);
        }
        if (objCount_ != static_cast<int>(sheet_.shapes.size())) {
            refuse(QStringLiteral("sheet '%1': %2 drawing objects but %3 pictures")
                       .arg(sheet_.name)
                       .arg(objCount_)
                       .arg(sheet_.shapes.size()));
        }
    }

private:
    int checkXf(int xf) const {
        return xf >= 0 && xf < static_cast<int>(book_.xfs.size()) ? xf : 15;
    }

    void checkRowCol(int row, int col, std::uint16_t type) const {
        if (row >= MaxRows || col >= MaxColumns) {
            refuse(QStringLiteral("sheet '%1': record %2 addresses row %3 column %4")
                       .arg(sheet_.name, QString::fromLatin1(op::opcodeName(type)))
                       .arg(row)
                       .arg(col));
        }
    }

    void parseBreaks(const Record& r) {
        ByteReader in(r.data, r.type);
        const int count = in.u16();
        sheet_.breaks.clear();
        for (int i = 0; i < count; ++i) {
            const int row = in.u16();
            in.skip(4);
            if (row > 0 && row < MaxRows && (sheet_.breaks.empty() || row > sheet_.breaks.back())) {
                sheet_.breaks.push_back(row);
            }
        }
    }

    void parseColInfo(const Record& r) {
        ByteReader in(r.data, r.type);
        const int first = in.u16();
        // LibreOffice writes 256 as the last column; the sheet ends at 255.
        const int last = std::min<int>(in.u16(), MaxColumns - 1);
        const std::uint16_t coldx = in.u16();
        const std::uint16_t xf = in.u16();
        const std::uint16_t flags = in.u16();
        for (int c = first; c <= last; ++c) {
            ColumnInfo& info = sheet_.columns[static_cast<std::size_t>(c)];
            info.present = true;
            info.coldx = coldx;
            info.xf = static_cast<std::uint16_t>(checkXf(xf));
            info.flags = flags;
        }
    }

    void parseRow(const Record& r) {
        ByteReader in(r.data, r.type);
        const int row = in.u16();
        checkRowCol(row, 0, r.type);
        in.skip(4);
        RowInfo info;
        info.height = in.u16() & 0x7FFF;
        in.skip(4);
        info.flags = static_cast<std::uint16_t>(in.u16() | 0x0100);
        info.xfWord = in.u16();
        if ((info.flags & 0x0080) && (info.xfWord & 0x0FFF) >= book_.xfs.size()) {
            info.flags &= static_cast<std::uint16_t>(~0x0080);
            info.xfWord = static_cast<std::uint16_t>((info.xfWord & 0xF000) | 15);
        }
        sheet_.rows[row] = info;
    }

    void parseMerge(const Record& r) {
        ByteReader in(r.data, r.type);
        const int count = in.u16();
        for (int i = 0; i < count; ++i) {
            Area a;
            a.r1 = in.u16();
            a.r2 = in.u16();
            a.c1 = in.u16();
            a.c2 = in.u16();
            if (a.r1 <= a.r2 && a.c1 <= a.c2 && a.c2 < MaxColumns) {
                sheet_.merged.push_back(a);
            }
        }
    }

    void checkObj(const Record& r) {
        ByteReader in(r.data, r.type);
        const std::uint16_t ft = in.u16();
        in.u16();
        const std::uint16_t ot = in.u16();
        if (ft != 0x0015 || ot != 0x0008) {
            refuse(QStringLiteral("sheet '%1' holds drawing objects other than pictures (type "
                                  "%2), which the engine does not keep")
                       .arg(sheet_.name)
                       .arg(ot));
        }
        ++objCount_;
    }

    Cell& newCell(int row, int col, int xf, std::uint16_t type) {
        checkRowCol(row, col, type);
        Cell& cell = sheet_.cell(row, col);
        cell = Cell{};
        cell.xf = checkXf(xf);
        lastCell_ = &cell;
        return cell;
    }

    void parseCell(const Record& r) {
        ByteReader in(r.data, r.type);
        const int row = in.u16();
        const int col = in.u16();
        lastCell_ = nullptr;
        switch (r.type) {
        case op::LABELSST: {
            Cell& cell = newCell(row, col, in.u16(), r.type);
            const std::uint32_t index = in.u32();
            if (index >= book_.sst.size()) {
                refuse(QStringLiteral("sheet '%1': text cell refers to string %2 of %3")
                           .arg(sheet_.name)
                           .arg(index)
                           .arg(book_.sst.size()));
            }
            cell.kind = Cell::Kind::Text;
            cell.text = book_.sst[index].text;
            break;
        }
        case op::LABEL: {
            Cell& cell = newCell(row, col, in.u16(), r.type);
            cell.kind = Cell::Kind::Text;
            cell.text = readUnicodeString(in, false);
            break;
        }
        case op::NUMBER: {
            Cell& cell = newCell(row, col, in.u16(), r.type);
            cell.kind = Cell::Kind::Number;
            cell.number = in.f64();
            break;
        }
        case op::RK: {
            Cell& cell = newCell(row, col, in.u16(), r.type);
            cell.kind = Cell::Kind::Number;
            cell.number = decodeRk(in.u32());
            break;
        }
        case op::BLANK:
            newCell(row, col, in.u16(), r.type);
            break;
        case op::MULBLANK:
        case op::MULRK: {
            const bool rk = r.type == op::MULRK;
            const int width = rk ? 6 : 2;
            const qsizetype count = (in.remaining() - 2) / width;
            for (qsizetype k = 0; k < count; ++k) {
                Cell& cell = newCell(row, col + static_cast<int>(k), in.u16(), r.type);
                if (rk) {
                    cell.kind = Cell::Kind::Number;
                    cell.number = decodeRk(in.u32());
                }
            }
            lastCell_ = nullptr;
            break;
        }
        default: { // FORMULA, BOOLERR: kept as they are
            Cell& cell = newCell(row, col, in.u16(), r.type);
            cell.kind = Cell::Kind::Raw;
            cell.raw.push_back(r);
            break;
        }
        }
    }

    void attachToCell(const Record& r) {
        if (!lastCell_ || lastCell_->kind != Cell::Kind::Raw) {
            // A companion record without its cell: it cannot be placed again.
            return;
        }
        lastCell_->raw.push_back(r);
    }

    WorkbookModel& book_;
    SheetModel& sheet_;
    const std::vector<TemplateBlip>& blips_;
    Cell* lastCell_ = nullptr;
    int objCount_ = 0;
};

} // namespace

// The sheets' print areas: built-in names Print_Area (name character 0x06, scoped to
// a sheet) whose formula is one 3-D area reference. Other names are only kept.
void readPrintAreas(WorkbookModel& book) {
    for (const Record& r : book.globals) {
        const QByteArray& d = r.data;
        if (r.type != op::NAME || d.size() < 16) {
            continue;
        }
        const auto byte = [&d](qsizetype k) { return static_cast<std::uint8_t>(d[k]); };
        const bool builtin = (get16(d, 0) & 0x0020) != 0;
        const int itab = get16(d, 8);
        if (!builtin || byte(3) != 1 || get16(d, 4) != 11 || itab < 1 ||
            static_cast<std::size_t>(itab) > book.sheets.size()) {
            continue;
        }
        const bool wide = (byte(14) & 1) != 0;
        const qsizetype formula = wide ? 17 : 16;
        if (d.size() < formula + 11 || byte(15) != 0x06 || (wide && byte(16) != 0)) {
            continue;
        }
        const std::uint8_t ptg = byte(formula);
        if ((ptg & 0x1F) != 0x1B || (ptg & 0x60) == 0) { // ptgArea3d of any class
            continue;
        }
        const Area area{get16(d, formula + 3), get16(d, formula + 7) & 0xFF, get16(d, formula + 5),
                        get16(d, formula + 9) & 0xFF};
        if (area.r1 <= area.r2 && area.c1 <= area.c2) {
            book.sheets[static_cast<std::size_t>(itab - 1)]->printArea = area;
        }
    }
}

void parseWorkbookStream(WorkbookModel& book, const QByteArray& stream) {
    const std::vector<Record> records = splitRecords(stream);
    if (records.empty() || records.front().type != op::BOF || records.front().data.size() < 4 ||
        get16(records.front().data, 0) != 0x0600 || get16(records.front().data, 2) != 0x0005) {
        refuse(QStringLiteral("the workbook stream is not BIFF8 (Excel 97-2003)"));
    }
    const std::vector<qsizetype> offsets = recordOffsets(records);

    // Globals.
    std::size_t i = 0;
    std::vector<SheetEntry> entries;
    std::vector<const QByteArray*> sstChunks;
    QByteArray drawingGroup;
    std::uint16_t previous = 0;
    bool sawXf = false;
    bool xfMarked = false;
    bool sstMarked = false;
    bool dggMarked = false;
    const Record* font0 = nullptr;
    for (; i < records.size(); ++i) {
        const Record& r = records[i];
        const std::uint16_t before = previous;
        previous = r.type == op::CONTINUE ? before : r.type;
        if (sawXf && !xfMarked && r.type != op::XF && r.type != op::CONTINUE) {
            book.globals.push_back(markRecord(mark::NewXfs));
            xfMarked = true;
        }
        switch (r.type) {
        case op::FONT:
            if (!font0) {
                font0 = &r;
            }
            book.globals.push_back(r);
            break;
        case op::XF: {
            if (r.data.size() != 20) {
                refuse(QStringLiteral("%1 has %2 bytes instead of 20")
                           .arg(recordWhere(r.type, offsets[i]))
                           .arg(r.data.size()));
            }
            XfBytes bytes;
            std::memcpy(bytes.data(), r.data.constData(), 20);
            book.xfs.push_back(bytes);
            const QByteArray key(r.data);
            if (!book.xfLookup.contains(key)) {
                book.xfLookup.insert(key, static_cast<int>(book.xfs.size() - 1));
            }
            sawXf = true;
            book.globals.push_back(r);
            break;
        }
        case op::XFCRC:
        case op::XFEXT:
            // Checksummed extensions of the XF list; the engine adds XFs, so they go.
            break;
        case op::BOUNDSHEET: {
            ByteReader in(r.data, r.type);
            SheetEntry e;
            e.position = in.u32();
            in.u8();
            e.type = in.u8();
            e.name = readUnicodeString(in, true);
            entries.push_back(e);
            book.boundsheetIndex.push_back(book.globals.size());
            book.globals.push_back(r);
            break;
        }
        case op::MSODRAWINGGROUP:
            drawingGroup.append(r.data);
            if (!dggMarked) {
                book.globals.push_back(markRecord(mark::DrawingGroup));
                dggMarked = true;
            }
            break;
        case op::SST:
            sstChunks.push_back(&r.data);
            if (!dggMarked) {
                book.globals.push_back(markRecord(mark::DrawingGroup));
                dggMarked = true;
            }
            book.globals.push_back(markRecord(mark::Sst));
            sstMarked = true;
            break;
        case op::EXTSST:
            break;
        case op::CONTINUE:
            if (before == op::SST) {
                sstChunks.push_back(&r.data);
            } else if (before == op::MSODRAWINGGROUP) {
                drawingGroup.append(r.data);
            } else {
                book.globals.push_back(r);
            }
            break;
        case op::EOF_:
            if (!dggMarked) {
                book.globals.push_back(markRecord(mark::DrawingGroup));
            }
            if (!sstMarked) {
                book.globals.push_back(markRecord(mark::Sst));
            }
            book.globals.push_back(r);
            break;
        default:
            book.globals.push_back(r);
            break;
        }
        if (r.type == op::EOF_) {
            ++i;
            break;
        }
    }
    if (book.globals.empty() || book.globals.back().type != op::EOF_) {
        refuse(QStringLiteral("the workbook globals have no end record"));
    }
    if (book.xfs.size() < 16) {
        refuse(QStringLiteral("the workbook has %1 cell formats; at least 16 are required")
                   .arg(book.xfs.size()));
    }
    if (!font0) {
        refuse(QStringLiteral("the workbook has no font"));
    }
    book.digitWidth = digitWidthOf(*font0);
    book.templateXfCount = static_cast<int>(book.xfs.size());
    if (!sstChunks.empty()) {
        parseSst(book, sstChunks); // LibreOffice writes no SST when there is no text
    }
    std::vector<TemplateBlip> blips;
    if (!drawingGroup.isEmpty()) {
        blips = parseDrawingGroup(drawingGroup);
    }

    // Substreams after the globals, by their start offset.
    struct Sub {
        std::size_t begin;
        std::size_t end; // one past EOF
    };
    std::vector<Sub> subs;
    while (i < records.size()) {
        if (records[i].type != op::BOF) {
            ++i; // padding or junk between substreams
            continue;
        }
        const std::size_t begin = i;
        int depth = 0;
        for (; i < records.size(); ++i) {
            if (records[i].type == op::BOF) {
                ++depth;
            } else if (records[i].type == op::EOF_ && --depth == 0) {
                break;
            }
        }
        if (i >= records.size()) {
            refuse(QStringLiteral("sheet substream at offset %1 has no end record")
                       .arg(offsets[begin]));
        }
        subs.push_back(Sub{begin, ++i});
    }
    std::vector<bool> used(subs.size(), false);
    for (std::size_t s = 0; s < entries.size(); ++s) {
        const SheetEntry& e = entries[s];
        std::size_t found = SIZE_MAX;
        for (std::size_t k = 0; k < subs.size(); ++k) {
            if (offsets[subs[k].begin] == static_cast<qsizetype>(e.position) && !used[k]) {
                found = k;
                break;
            }
        }
        if (found == SIZE_MAX) {
            // Position wrong: take the next unused substream in order.
            for (std::size_t k = 0; k < subs.size(); ++k) {
                if (!used[k]) {
                    found = k;
                    break;
                }
            }
        }
        if (found == SIZE_MAX) {
            refuse(QStringLiteral("sheet '%1' has no substream").arg(e.name));
        }
        used[found] = true;
        const std::vector<Record> sub(
            records.begin() + static_cast<std::ptrdiff_t>(subs[found].begin),
            records.begin() + static_cast<std::ptrdiff_t>(subs[found].end));
        auto sheet = std::make_unique<SheetModel>();
        sheet->book = &book;
        sheet->name = e.name;
        sheet->index = static_cast<int>(s);
        const bool worksheet =
            e.type == 0 && sub.front().data.size() >= 4 && get16(sub.front().data, 2) == 0x0010;
        if (worksheet) {
            SheetParser(book, *sheet, blips).parse(sub);
        } else {
            for (const Record& r : sub) {
                if (r.type == op::LABELSST) {
                    ++book.sstTotalOtherSheets;
                }
                if (r.type != op::INDEX && r.type != op::DBCELL) {
                    sheet->records.push_back(r);
                }
            }
        }
        book.sheets.push_back(std::move(sheet));
        book.modelled.push_back(worksheet);
    }
    readPrintAreas(book);
}

// A refusal while `name` is read names the file for the user.
[[noreturn]] void unreadable(const QString& name, const Error& cause) {
    throw Error(cause.number(), errorText(ErrorText::WorkbookUnreadable, name, cause.description()),
                cause.detail());
}

std::unique_ptr<WorkbookModel> readWorkbookFromMemory(const QByteArray& file, const QString& name) {
    OleFile ole;
    try {
        ole = readOleFile(file, name);
    } catch (const Error& e) {
        unreadable(name, e);
    }
    auto book = std::make_unique<WorkbookModel>();
    book->path = name;
    book->classId = ole.classId;
    const QByteArray* workbook = nullptr;
    for (const OleStream& s : ole.streams) {
        if (s.name == QLatin1String("Workbook")) {
            workbook = &s.data;
        }
    }
    try {
        if (!workbook) {
            refuse(QStringLiteral("'%1' has no Workbook stream").arg(name));
        }
        parseWorkbookStream(*book, *workbook);
    } catch (const Error& e) {
        unreadable(name, e);
    }
    for (OleStream& s : ole.streams) {
        if (s.name == QLatin1String("Workbook")) {
            continue;
        }
        if (s.name == QLatin1String("\x05SummaryInformation")) {
            book->summaryInformation = s.data;
            continue;
        }
        book->streams.push_back(KeptStream{s.name, std::move(s.data)});
    }
    return book;
}

std::unique_ptr<WorkbookModel> readWorkbook(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT) {
            // A missing folder is "path not found", a missing file "file not found".
            struct stat folder {};
            const QByteArray parent = QFile::encodeName(QFileInfo(path).absolutePath());
            if (::stat(parent.constData(), &folder) != 0) {
                throw Error(err::PathNotFound,
                            failedOperation(FileOperation::Open, path,
                                            errorText(ErrorText::FolderMissing,
                                                      QFileInfo(path).absolutePath())));
            }
        }
        throwErrno(e, FileOperation::Open, path);
    }
    if (!S_ISREG(st.st_mode)) {
        throw Error(err::EngineRefused, errorText(ErrorText::NotAFile, path));
    }
    if (st.st_size > MaxTemplateBytes) {
        throw Error(
            err::EngineRefused,
            errorText(ErrorText::WorkbookUnreadable, path, errorText(ErrorText::FileTooLarge)),
            QStringLiteral("%1 bytes").arg(st.st_size));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const int e = errno != 0 ? errno : EACCES;
        throwErrno(e, FileOperation::Open, path);
    }
    const QByteArray bytes = file.readAll();
    auto book = readWorkbookFromMemory(bytes, path);
    book->path = path;
    return book;
}

} // namespace tav::xls
