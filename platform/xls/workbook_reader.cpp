// Reading a BIFF8 template into the model: the compound file, the globals substream
// and the sheets' substreams (a worksheet's records in sheet_reader.cpp). Records the
// engine regenerates are parsed and replaced by marks, every other record is kept byte
// for byte.
#include "platform/error.h"
#include "platform/xls/drawing.h"
#include "platform/xls/ole.h"
#include "platform/xls/opcodes.h"
#include "platform/xls/sheet_reader.h"
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
            out.append(decodeChars(c.constData() + pos_, n, high));
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
        const int characters = in.u16();
        const std::uint8_t flags = in.u8();
        const int runs = (flags & 0x08) ? in.u16() : 0;
        const std::uint32_t ext = (flags & 0x04) ? in.u32() : 0;
        SstEntry entry;
        entry.text = in.chars(characters, flags & 0x01);
        entry.runs = in.bytes(static_cast<qint64>(runs) * 4);
        entry.phonetic = in.bytes(ext);
        book.sst.push_back(std::move(entry));
    }
}

// ---------------------------------------------------------------- records

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

// ---------------------------------------------------------------- globals

// Digit width in pixels of the Normal style font (FONT record 0), which is the unit
// of column widths. Arial and ＭＳ Ｐゴシック 11 pt have an 8-pixel digit; the width is
// estimated from the size (Arial 10 pt: 7 pixels).
int digitWidthOf(const Record& font) {
    ByteReader in(font.data, op::FONT);
    const std::uint16_t twips = in.u16();
    in.skip(12);
    in.unicodeString(true); // the name: not used, but reading it checks the record is whole
    const double points = twips / 20.0;
    const int estimate = static_cast<int>(std::lround(points * 96.0 / 72.0 * 0.55));
    return std::clamp(estimate, 4, 30);
}

struct SheetEntry {
    QString name;
    std::uint32_t position = 0;
    int type = 0; // BOUNDSHEET dt
};

// Reads the globals substream (BOF .. EOF at the start of the stream): the cell
// formats, the sheets' names and positions, the shared strings and the picture store
// are parsed; every other record is kept in `book.globals`, with marks where the
// regenerated parts are written again.
class GlobalsParser {
public:
    GlobalsParser(WorkbookModel& book, const std::vector<Record>& records,
                  const std::vector<qsizetype>& offsets)
        : book_(book), records_(records), offsets_(offsets) {}

    // Returns the index of the first record after the globals.
    std::size_t parse() {
        std::uint16_t previous = 0;
        for (std::size_t i = 0; i < records_.size(); ++i) {
            const Record& r = records_[i];
            const std::uint16_t before = previous;
            previous = r.type == op::CONTINUE ? before : r.type;
            if (sawXf_ && !xfMarked_ && r.type != op::XF && r.type != op::CONTINUE) {
                book_.globals.push_back(markRecord(mark::NewXfs)); // after the last XF
                xfMarked_ = true;
            }
            parseRecord(r, before, i);
            if (r.type == op::EOF_) {
                return i + 1;
            }
        }
        return records_.size();
    }

    // Checks what every workbook needs and reads the collected parts; returns the
    // picture store's entries.
    std::vector<TemplateBlip> finish() {
        if (book_.globals.empty() || book_.globals.back().type != op::EOF_) {
            refuse(QStringLiteral("the workbook globals have no end record"));
        }
        if (book_.xfs.size() < 16) {
            refuse(QStringLiteral("the workbook has %1 cell formats; at least 16 are required")
                       .arg(book_.xfs.size()));
        }
        if (!font0_) {
            refuse(QStringLiteral("the workbook has no font"));
        }
        book_.digitWidth = digitWidthOf(*font0_);
        book_.templateXfCount = static_cast<int>(book_.xfs.size());
        if (!sstChunks_.empty()) {
            parseSst(book_, sstChunks_); // LibreOffice writes no SST when there is no text
        }
        if (drawingGroup_.isEmpty()) {
            return {};
        }
        return parseDrawingGroup(drawingGroup_);
    }

    // The sheets in BOUNDSHEET order.
    const std::vector<SheetEntry>& sheets() const { return sheets_; }

private:
    void parseRecord(const Record& r, std::uint16_t before, std::size_t index) {
        switch (r.type) {
        case op::FONT:
            if (!font0_) {
                font0_ = &r;
            }
            book_.globals.push_back(r);
            break;
        case op::XF:
            parseXf(r, index);
            break;
        case op::XFCRC:
        case op::XFEXT:
            // Checksummed extensions of the XF list; the engine adds XFs, so they go.
            break;
        case op::BOUNDSHEET:
            parseBoundsheet(r);
            break;
        case op::MSODRAWINGGROUP:
            drawingGroup_.append(r.data);
            markDrawingGroup();
            break;
        case op::SST:
            sstChunks_.push_back(&r.data);
            markDrawingGroup();
            book_.globals.push_back(markRecord(mark::Sst));
            sstMarked_ = true;
            break;
        case op::EXTSST:
            break;
        case op::CONTINUE:
            if (before == op::SST) {
                sstChunks_.push_back(&r.data);
            } else if (before == op::MSODRAWINGGROUP) {
                drawingGroup_.append(r.data);
            } else {
                book_.globals.push_back(r);
            }
            break;
        case op::EOF_:
            markDrawingGroup();
            if (!sstMarked_) {
                book_.globals.push_back(markRecord(mark::Sst));
            }
            book_.globals.push_back(r);
            break;
        default:
            book_.globals.push_back(r);
            break;
        }
    }

    void parseXf(const Record& r, std::size_t index) {
        if (r.data.size() != 20) {
            refuse(QStringLiteral("%1 has %2 bytes instead of 20")
                       .arg(recordWhere(r.type, offsets_[index]))
                       .arg(r.data.size()));
        }
        XfBytes bytes;
        std::memcpy(bytes.data(), r.data.constData(), 20);
        book_.xfs.push_back(bytes);
        const QByteArray key(r.data);
        if (!book_.xfLookup.contains(key)) {
            book_.xfLookup.insert(key, static_cast<int>(book_.xfs.size() - 1));
        }
        sawXf_ = true;
        book_.globals.push_back(r);
    }

    void parseBoundsheet(const Record& r) {
        ByteReader in(r.data, r.type);
        SheetEntry e;
        e.position = in.u32();
        in.u8();
        e.type = in.u8();
        e.name = in.unicodeString(true);
        sheets_.push_back(e);
        book_.boundsheetIndex.push_back(book_.globals.size());
        book_.globals.push_back(r);
    }

    // The drawing group is written where the template had it, else before the shared
    // strings, else before the globals' end.
    void markDrawingGroup() {
        if (!drawingGroupMarked_) {
            book_.globals.push_back(markRecord(mark::DrawingGroup));
            drawingGroupMarked_ = true;
        }
    }

    WorkbookModel& book_;
    const std::vector<Record>& records_;
    const std::vector<qsizetype>& offsets_;
    std::vector<SheetEntry> sheets_;
    std::vector<const QByteArray*> sstChunks_; // SST and its CONTINUE records
    QByteArray drawingGroup_;                  // MSODRAWINGGROUP and its CONTINUE records
    const Record* font0_ = nullptr;
    bool sawXf_ = false;
    bool xfMarked_ = false;
    bool sstMarked_ = false;
    bool drawingGroupMarked_ = false;
};

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

// ---------------------------------------------------------------- substreams

// Records [begin, end) of one substream after the globals: BOF .. EOF.
struct Substream {
    std::size_t begin;
    std::size_t end;
};

// The substreams from `from` on, in stream order; records between them are skipped.
std::vector<Substream> findSubstreams(const std::vector<Record>& records,
                                      const std::vector<qsizetype>& offsets, std::size_t from) {
    std::vector<Substream> subs;
    std::size_t i = from;
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
        subs.push_back(Substream{begin, ++i});
    }
    return subs;
}

// The substream of `sheet`: the unused one at its BOUNDSHEET position, else (a wrong
// position) the next unused one in order.
std::size_t substreamOf(const SheetEntry& sheet, const std::vector<Substream>& subs,
                        const std::vector<bool>& used, const std::vector<qsizetype>& offsets) {
    for (std::size_t k = 0; k < subs.size(); ++k) {
        if (offsets[subs[k].begin] == static_cast<qsizetype>(sheet.position) && !used[k]) {
            return k;
        }
    }
    for (std::size_t k = 0; k < subs.size(); ++k) {
        if (!used[k]) {
            return k;
        }
    }
    refuse(QStringLiteral("sheet '%1' has no substream").arg(sheet.name));
}

// A sheet the engine does not model (a chart, a macro sheet) keeps its records; its
// text cells still count among the shared strings' references.
void keepUnmodelledSheet(WorkbookModel& book, SheetModel& sheet,
                         const std::vector<Record>& records) {
    for (const Record& r : records) {
        if (r.type == op::LABELSST) {
            ++book.sstTotalOtherSheets;
        }
        if (r.type != op::INDEX && r.type != op::DBCELL) {
            sheet.records.push_back(r);
        }
    }
}

// Reads every sheet of `entries` from its substream into `book.sheets`.
void readSheets(WorkbookModel& book, const std::vector<Record>& records,
                const std::vector<qsizetype>& offsets, std::size_t from,
                const std::vector<SheetEntry>& entries, const std::vector<TemplateBlip>& blips) {
    const std::vector<Substream> subs = findSubstreams(records, offsets, from);
    std::vector<bool> used(subs.size(), false);
    for (std::size_t s = 0; s < entries.size(); ++s) {
        const SheetEntry& e = entries[s];
        const std::size_t found = substreamOf(e, subs, used, offsets);
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
            parseWorksheet(book, *sheet, sub, blips);
        } else {
            keepUnmodelledSheet(book, *sheet, sub);
        }
        book.sheets.push_back(std::move(sheet));
        book.modelled.push_back(worksheet);
    }
}

} // namespace

void parseWorkbookStream(WorkbookModel& book, const QByteArray& stream) {
    const std::vector<Record> records = splitRecords(stream);
    if (records.empty() || records.front().type != op::BOF || records.front().data.size() < 4 ||
        get16(records.front().data, 0) != 0x0600 || get16(records.front().data, 2) != 0x0005) {
        refuse(QStringLiteral("the workbook stream is not BIFF8 (Excel 97-2003)"));
    }
    const std::vector<qsizetype> offsets = recordOffsets(records);
    GlobalsParser globals(book, records, offsets);
    const std::size_t sheetsFrom = globals.parse();
    const std::vector<TemplateBlip> blips = globals.finish();
    readSheets(book, records, offsets, sheetsFrom, globals.sheets(), blips);
    readPrintAreas(book);
}

namespace {

// A refusal while `name` is read names the file for the user.
[[noreturn]] void unreadable(const QString& name, const Error& cause) {
    throw Error(cause.number(), errorText(ErrorText::WorkbookUnreadable, name, cause.description()),
                cause.detail());
}

} // namespace

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
