// Writing the model as a BIFF8 workbook: the kept template records in their order,
// with the regenerated parts written where the reader left its marks, and every
// stream position (BOUNDSHEET, INDEX, EXTSST, DBCELL) computed from what was written.
#include "platform/error.h"
#include "platform/xls/drawing.h"
#include "platform/xls/ole.h"
#include "platform/xls/opcodes.h"
#include "platform/xls/picture.h"
#include "platform/xls/workbook_io.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>

namespace tav::xls {

namespace {

// Final XF numbering: template XFs keep their index; XFs the engine added are
// written only when a cell, column or row uses them.
class XfTable {
public:
    explicit XfTable(WorkbookModel& book) : book_(book) {
        map_.assign(book.xfs.size(), -1);
        for (int i = 0; i < book.templateXfCount; ++i) {
            map_[static_cast<std::size_t>(i)] = i;
        }
        next_ = book.templateXfCount;
    }
    std::uint16_t use(int xf) {
        if (xf < 0 || xf >= static_cast<int>(map_.size())) {
            return 15;
        }
        int& m = map_[static_cast<std::size_t>(xf)];
        if (m < 0) {
            m = next_++;
            added_.push_back(xf);
        }
        return static_cast<std::uint16_t>(m);
    }
    const std::vector<int>& added() const { return added_; }
    const XfBytes& bytes(int xf) const { return book_.xfs[static_cast<std::size_t>(xf)]; }

private:
    WorkbookModel& book_;
    std::vector<int> map_;
    std::vector<int> added_;
    int next_ = 0;
};

// The shared string table being built: template strings first.
class StringTable {
public:
    explicit StringTable(const WorkbookModel& book) : entries_(book.sst) {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].runs.isEmpty() && entries_[i].phonetic.isEmpty() &&
                !lookup_.contains(entries_[i].text)) {
                lookup_.insert(entries_[i].text, static_cast<std::uint32_t>(i));
            }
        }
    }
    std::uint32_t add(const QString& text) {
        ++total_;
        const auto it = lookup_.constFind(text);
        if (it != lookup_.constEnd()) {
            return it.value();
        }
        entries_.push_back(SstEntry{text, {}, {}});
        const auto index = static_cast<std::uint32_t>(entries_.size() - 1);
        lookup_.insert(text, index);
        return index;
    }
    void addReferences(std::uint32_t n) { total_ += n; }
    // Index of a text added before.
    std::uint32_t indexOf(const QString& text) const {
        Q_ASSERT(lookup_.contains(text));
        return lookup_.value(text);
    }
    const std::vector<SstEntry>& entries() const { return entries_; }
    std::uint32_t total() const { return total_; }

private:
    std::vector<SstEntry> entries_;
    QHash<QString, std::uint32_t> lookup_;
    std::uint32_t total_ = 0;
};

bool needsHighByte(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() > 0xFF) {
            return true;
        }
    }
    return false;
}

void appendChars(QByteArray& out, const QString& text, qsizetype from, qsizetype count, bool high) {
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        out.append(static_cast<char>(c & 0xFF));
        if (high) {
            out.append(static_cast<char>(c >> 8));
        }
    }
}

// Where a string of the table starts: its stream position and its offset inside its
// record (header included), as EXTSST lists them.
struct StringStart {
    std::uint32_t position;
    std::uint16_t inRecord;
};

// Writes the SST record and the CONTINUE records it flows into: a string's header never
// splits; its characters split only between characters, and the CONTINUE record that
// resumes them starts with the fHighByte flag; runs and phonetic data flow on without a
// flag.
class SstWriter {
public:
    SstWriter(BiffWriter& w, std::uint32_t total, std::uint32_t count) : w_(w) {
        put32(record_, total);
        put32(record_, count);
    }

    StringStart add(const SstEntry& e) {
        const bool high = needsHighByte(e.text);
        const qsizetype headerSize =
            3 + (e.runs.isEmpty() ? 0 : 2) + (e.phonetic.isEmpty() ? 0 : 4);
        if (room() < headerSize + (e.text.isEmpty() ? 0 : (high ? 2 : 1))) {
            flush();
        }
        const StringStart start{w_.pos() + 4 + static_cast<std::uint32_t>(record_.size()),
                                static_cast<std::uint16_t>(4 + record_.size())};
        put16(record_, static_cast<std::uint16_t>(e.text.size()));
        put8(record_,
             static_cast<std::uint8_t>((high ? 0x01 : 0) | (e.phonetic.isEmpty() ? 0 : 0x04) |
                                       (e.runs.isEmpty() ? 0 : 0x08)));
        if (!e.runs.isEmpty()) {
            put16(record_, static_cast<std::uint16_t>(e.runs.size() / 4));
        }
        if (!e.phonetic.isEmpty()) {
            put32(record_, static_cast<std::uint32_t>(e.phonetic.size()));
        }
        addCharacters(e.text, high);
        addFlowing(e.runs, 4); // rich-text runs of 4 bytes, never split
        addFlowing(e.phonetic, 1);
        return start;
    }

    void finish() { flush(); }

private:
    void addCharacters(const QString& text, bool high) {
        const int width = high ? 2 : 1;
        qsizetype done = 0;
        while (done < text.size()) {
            const qsizetype fit = std::min<qsizetype>(room() / width, text.size() - done);
            appendChars(record_, text, done, fit, high);
            done += fit;
            if (done < text.size()) {
                flush();
                put8(record_, high ? 0x01 : 0x00);
            }
        }
    }

    // Bytes that continue in the next record without a flag, in whole units.
    void addFlowing(const QByteArray& bytes, int unit) {
        for (qsizetype at = 0; at < bytes.size();) {
            if (room() < unit) {
                flush();
            }
            const qsizetype n = std::min<qsizetype>(room() / unit * unit, bytes.size() - at);
            record_.append(bytes.constData() + at, n);
            at += n;
        }
    }

    void flush() {
        w_.write(type_, record_);
        record_.clear();
        type_ = op::CONTINUE;
    }

    qsizetype room() const { return MaxRecordData - record_.size(); }

    BiffWriter& w_;
    QByteArray record_;
    std::uint16_t type_ = op::SST;
};

// EXTSST: the stream position of the first string of every bucket of `perBucket`
// strings.
void writeEXTSST(BiffWriter& w, std::uint32_t perBucket, const std::vector<StringStart>& buckets) {
    QByteArray ext;
    put16(ext, static_cast<std::uint16_t>(perBucket));
    for (const StringStart& b : buckets) {
        put32(ext, b.position);
        put16(ext, b.inRecord);
        put16(ext, 0);
    }
    w.write(op::EXTSST, ext);
}

// SST + CONTINUE records, then EXTSST.
void writeSST(BiffWriter& w, const StringTable& table) {
    const auto& entries = table.entries();
    const std::uint32_t count = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t perBucket = std::max<std::uint32_t>(8, (count + 127) / 128);
    std::vector<StringStart> buckets;
    SstWriter sst(w, table.total(), count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const StringStart start = sst.add(entries[i]);
        if (i % perBucket == 0) {
            buckets.push_back(start);
        }
    }
    sst.finish();
    writeEXTSST(w, perBucket, buckets);
}

// The link table that carries the sheets' print areas: an internal SUPBOOK (this
// workbook's own sheets), one EXTERNSHEET entry per sheet with a print area, and a
// built-in NAME Print_Area (name character 0x06, scope the sheet) whose formula is a
// 3-D area reference through that entry.
void writePrintAreaNames(BiffWriter& w, const WorkbookModel& book) {
    std::vector<const SheetModel*> sheets;
    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        if (book.modelled[i] && book.sheets[i]->printArea) {
            sheets.push_back(book.sheets[i].get());
        }
    }
    if (sheets.empty()) {
        return;
    }
    QByteArray supbook;
    put16(supbook, static_cast<std::uint16_t>(book.sheets.size()));
    put16(supbook, 0x0401); // internal references
    w.write(op::SUPBOOK, supbook);
    QByteArray externsheet;
    put16(externsheet, static_cast<std::uint16_t>(sheets.size()));
    for (const SheetModel* sheet : sheets) {
        put16(externsheet, 0); // the SUPBOOK above
        put16(externsheet, static_cast<std::uint16_t>(sheet->index));
        put16(externsheet, static_cast<std::uint16_t>(sheet->index));
    }
    w.write(op::EXTERNSHEET, externsheet);
    for (std::size_t x = 0; x < sheets.size(); ++x) {
        const Area& a = *sheets[x]->printArea;
        QByteArray name;
        put16(name, 0x0020); // fBuiltin
        name.append('\0');   // no keyboard shortcut
        name.append('\1');   // one name character
        put16(name, 11);     // formula bytes
        put16(name, 0);
        put16(name, static_cast<std::uint16_t>(sheets[x]->index + 1));
        name.append(4, '\0'); // no menu, description, help or status texts
        name.append('\0');    // compressed characters
        name.append('\x06');  // Print_Area
        name.append('\x3B');  // ptgArea3d
        put16(name, static_cast<std::uint16_t>(x));
        put16(name, static_cast<std::uint16_t>(a.r1));
        put16(name, static_cast<std::uint16_t>(a.r2));
        put16(name, static_cast<std::uint16_t>(a.c1)); // absolute row and column
        put16(name, static_cast<std::uint16_t>(a.c2));
        w.write(op::NAME, name);
    }
}

void writeHORIZONTALPAGEBREAKS(BiffWriter& w, const std::vector<int>& breaks) {
    if (breaks.empty()) {
        return;
    }
    w.begin(op::HORIZONTALPAGEBREAKS);
    put16(w.data(), static_cast<std::uint16_t>(breaks.size()));
    for (int row : breaks) {
        put16(w.data(), static_cast<std::uint16_t>(row));
        put16(w.data(), 0);
        put16(w.data(), 255);
    }
    w.commit();
}

void writeSETUP(BiffWriter& w, const Record& setup, int pageOrder) {
    QByteArray data = setup.data;
    if (data.size() >= 12) {
        std::uint16_t flags = get16(data, 10);
        flags = static_cast<std::uint16_t>(pageOrder == 2 ? (flags | 0x0001) : (flags & ~0x0001));
        set16(data, 10, flags);
    }
    w.write(op::SETUP, data);
}

void writeWSBOOL(BiffWriter& w, const Record& wsbool, bool manualBreaks) {
    QByteArray data = wsbool.data;
    if (manualBreaks && data.size() >= 2) {
        // Fit-to-page printing ignores manual page breaks.
        set16(data, 0, static_cast<std::uint16_t>(get16(data, 0) & ~0x0100));
    }
    w.write(op::WSBOOL, data);
}

void writeCOLINFO(BiffWriter& w, const SheetModel& sheet, XfTable& xfs) {
    int c = 0;
    while (c < MaxColumns) {
        const ColumnInfo& info = sheet.columns[static_cast<std::size_t>(c)];
        if (!info.present) {
            ++c;
            continue;
        }
        int last = c;
        while (last + 1 < MaxColumns) {
            const ColumnInfo& next = sheet.columns[static_cast<std::size_t>(last + 1)];
            if (!next.present || next.coldx != info.coldx || next.xf != info.xf ||
                next.flags != info.flags) {
                break;
            }
            ++last;
        }
        QByteArray d;
        put16(d, static_cast<std::uint16_t>(c));
        put16(d, static_cast<std::uint16_t>(last));
        put16(d, info.coldx);
        put16(d, xfs.use(info.xf));
        put16(d, info.flags);
        put16(d, 0);
        w.write(op::COLINFO, d);
        c = last + 1;
    }
}

void writeMERGECELLS(BiffWriter& w, const std::vector<Area>& merged) {
    for (std::size_t at = 0; at < merged.size(); at += 1026) {
        const std::size_t n = std::min<std::size_t>(1026, merged.size() - at);
        QByteArray d;
        put16(d, static_cast<std::uint16_t>(n));
        for (std::size_t k = at; k < at + n; ++k) {
            put16(d, static_cast<std::uint16_t>(merged[k].r1));
            put16(d, static_cast<std::uint16_t>(merged[k].r2));
            put16(d, static_cast<std::uint16_t>(merged[k].c1));
            put16(d, static_cast<std::uint16_t>(merged[k].c2));
        }
        w.write(op::MERGECELLS, d);
    }
}

// Everything the cell table needs, decided before the sheet is written.
struct CellPlan {
    std::vector<int> rows;                   // rows with a ROW record, ascending
    std::map<int, std::pair<int, int>> span; // row → first column, one past last column
    int firstRow = 0, lastRow = -1, firstCol = 0, lastCol = -1; // of cells
};

CellPlan planCells(const SheetModel& sheet) {
    CellPlan plan;
    std::vector<int> rows;
    for (const auto& [row, info] : sheet.rows) {
        Q_UNUSED(info);
        rows.push_back(row);
    }
    bool any = false;
    for (const auto& [key, cell] : sheet.cells) {
        Q_UNUSED(cell);
        const int row = static_cast<int>(key >> 8);
        const int col = static_cast<int>(key & 0xFF);
        auto [it, inserted] = plan.span.try_emplace(row, col, col + 1);
        if (!inserted) {
            it->second.second = col + 1;
        }
        if (!any) {
            plan.firstRow = row;
            plan.firstCol = col;
            any = true;
        }
        plan.lastRow = row;
        plan.firstCol = std::min(plan.firstCol, col);
        plan.lastCol = std::max(plan.lastCol, col);
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    plan.rows = std::move(rows);
    return plan;
}

void writeDIMENSIONS(BiffWriter& w, const CellPlan& plan) {
    QByteArray d;
    const bool any = plan.lastRow >= 0;
    put32(d, any ? static_cast<std::uint32_t>(plan.firstRow) : 0);
    put32(d, any ? static_cast<std::uint32_t>(plan.lastRow + 1) : 0);
    put16(d, any ? static_cast<std::uint16_t>(plan.firstCol) : 0);
    put16(d, any ? static_cast<std::uint16_t>(plan.lastCol + 1) : 0);
    put16(d, 0);
    w.write(op::DIMENSIONS, d);
}

void writeROW(BiffWriter& w, const SheetModel& sheet, const CellPlan& plan, int row) {
    RowInfo info;
    info.height = sheet.defaultRowHeight;
    if (const auto it = sheet.rows.find(row); it != sheet.rows.end()) {
        info = it->second;
    }
    QByteArray d;
    put16(d, static_cast<std::uint16_t>(row));
    const auto span = plan.span.find(row);
    put16(d, span == plan.span.end() ? 0 : static_cast<std::uint16_t>(span->second.first));
    put16(d, span == plan.span.end() ? 0 : static_cast<std::uint16_t>(span->second.second));
    put16(d, info.height);
    put16(d, 0);
    put16(d, 0);
    put16(d, static_cast<std::uint16_t>(info.flags | 0x0100));
    put16(d, info.xfWord);
    w.write(op::ROW, d);
}

void writeCell(BiffWriter& w, int row, int col, const Cell& cell, std::uint16_t xf,
               const StringTable& strings) {
    QByteArray d;
    put16(d, static_cast<std::uint16_t>(row));
    put16(d, static_cast<std::uint16_t>(col));
    put16(d, xf);
    switch (cell.kind) {
    case Cell::Kind::Blank:
        w.write(op::BLANK, d);
        break;
    case Cell::Kind::Text:
        put32(d, strings.indexOf(cell.text));
        w.write(op::LABELSST, d);
        break;
    case Cell::Kind::Number:
        putF64(d, cell.number);
        w.write(op::NUMBER, d);
        break;
    case Cell::Kind::Raw: {
        Record first = cell.raw.front();
        if (first.data.size() >= 6) {
            set16(first.data, 0, static_cast<std::uint16_t>(row));
            set16(first.data, 2, static_cast<std::uint16_t>(col));
            set16(first.data, 4, xf);
        }
        w.write(first);
        for (std::size_t i = 1; i < cell.raw.size(); ++i) {
            w.write(cell.raw[i]);
        }
        break;
    }
    }
}

// XF of a cell as written: text typed with a leading apostrophe carries the
// f123Prefix flag, as the desktop program stores it.
int cellXf(WorkbookModel& book, const Cell& cell) {
    if (cell.kind == Cell::Kind::Text && cell.apostrophe) {
        XfBytes bytes = book.xfs[static_cast<std::size_t>(cell.xf)];
        if (!(bytes[4] & 0x08)) {
            bytes[4] |= 0x08;
            return book.xfIndex(bytes);
        }
    }
    return cell.xf;
}

// ROW blocks of up to 32 rows: the rows, their cells, one DBCELL. Returns the stream
// position of every DBCELL (for INDEX).
std::vector<std::uint32_t> writeCellTable(BiffWriter& w, const SheetModel& sheet,
                                          const CellPlan& plan, XfTable& xfs,
                                          const StringTable& strings,
                                          const std::vector<int>& cellXfs) {
    std::vector<std::uint32_t> dbcells;
    std::size_t cellIndex = 0;
    auto cellIt = sheet.cells.begin();
    for (std::size_t b = 0; b < plan.rows.size(); b += 32) {
        const std::size_t end = std::min(plan.rows.size(), b + 32);
        const std::uint32_t firstRowPos = w.pos();
        for (std::size_t k = b; k < end; ++k) {
            writeROW(w, sheet, plan, plan.rows[k]);
        }
        std::vector<std::uint16_t> offsets;
        std::uint32_t reference = firstRowPos + 20; // start of the second ROW record
        for (std::size_t k = b; k < end; ++k) {
            const int row = plan.rows[k];
            bool first = true;
            while (cellIt != sheet.cells.end() && static_cast<int>(cellIt->first >> 8) == row) {
                if (first) {
                    offsets.push_back(static_cast<std::uint16_t>(w.pos() - reference));
                    reference = w.pos();
                    first = false;
                }
                writeCell(w, row, static_cast<int>(cellIt->first & 0xFF), cellIt->second,
                          xfs.use(cellXfs[cellIndex]), strings);
                ++cellIt;
                ++cellIndex;
            }
        }
        dbcells.push_back(w.pos());
        QByteArray d;
        put32(d, w.pos() - firstRowPos);
        for (std::uint16_t o : offsets) {
            put16(d, o);
        }
        w.write(op::DBCELL, d);
    }
    return dbcells;
}

void writeDrawing(BiffWriter& w, const SheetDrawing* drawing) {
    if (!drawing) {
        return;
    }
    for (const ShapeRecords& rec : buildSheetDrawing(*drawing)) {
        w.begin(op::MSODRAWING);
        w.data().append(rec.drawing);
        w.commit();
        w.write(op::OBJ, rec.obj);
    }
}

// A worksheet as it is written: its model, the XF index (in the model's list) of each
// of its cells in cell order, and its drawing (null without pictures).
struct SheetToWrite {
    SheetModel* sheet = nullptr;
    std::vector<int> cellXfs;
    const SheetDrawing* drawing = nullptr;
};

// INDEX with room for the DEFCOLWIDTH and DBCELL positions, which are patched once
// they are known. Returns its stream position.
std::uint32_t writeINDEX(BiffWriter& w, const CellPlan& plan, std::size_t blocks) {
    const std::uint32_t at = w.pos();
    QByteArray d;
    put32(d, 0);
    // The first row and the row after the last that hold cells (rows that only carry a
    // height have ROW records, but no cells).
    const bool cells = plan.lastRow >= 0;
    put32(d, cells ? static_cast<std::uint32_t>(plan.firstRow) : 0);
    put32(d, cells ? static_cast<std::uint32_t>(plan.lastRow + 1) : 0);
    put32(d, 0); // DEFCOLWIDTH position
    for (std::size_t k = 0; k < blocks; ++k) {
        put32(d, 0); // DBCELL positions
    }
    w.write(op::INDEX, d);
    return at;
}

// The sheet's kept records with the regenerated parts at their marks.
void writeSheet(BiffWriter& w, const SheetToWrite& toWrite, XfTable& xfs,
                const StringTable& strings) {
    const SheetModel& sheet = *toWrite.sheet;
    const CellPlan plan = planCells(sheet);
    std::uint32_t indexPos = 0;
    std::uint32_t defColWidthPos = 0;
    for (const Record& r : sheet.records) {
        switch (r.type) {
        case mark::Index:
            indexPos = writeINDEX(w, plan, (plan.rows.size() + 31) / 32);
            break;
        case mark::PageBreaks:
            writeHORIZONTALPAGEBREAKS(w, sheet.breaks);
            break;
        case mark::ColInfo:
            writeCOLINFO(w, sheet, xfs);
            break;
        case mark::CellTable: {
            writeDIMENSIONS(w, plan);
            const auto dbcells = writeCellTable(w, sheet, plan, xfs, strings, toWrite.cellXfs);
            for (std::size_t k = 0; k < dbcells.size(); ++k) {
                w.patch32(indexPos + 4 + 16 + static_cast<std::uint32_t>(4 * k), dbcells[k]);
            }
            break;
        }
        case mark::Drawing:
            writeDrawing(w, toWrite.drawing);
            break;
        case mark::MergeCells:
            writeMERGECELLS(w, sheet.merged);
            break;
        case op::SETUP:
            writeSETUP(w, r, sheet.pageOrder);
            break;
        case op::WSBOOL:
            writeWSBOOL(w, r, !sheet.breaks.empty());
            break;
        case op::DEFCOLWIDTH:
            defColWidthPos = w.pos();
            w.write(r);
            break;
        default:
            w.write(r);
            break;
        }
    }
    if (indexPos != 0) {
        w.patch32(indexPos + 4 + 12, defColWidthPos);
    }
}

// The worksheets, each with its pictures settled and its cells' formats decided: text
// written with an apostrophe may need a format of its own, which must exist before
// the globals list the formats.
std::vector<SheetToWrite> prepareSheets(WorkbookModel& book) {
    std::vector<SheetToWrite> sheets;
    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        if (!book.modelled[i]) {
            continue;
        }
        SheetToWrite s;
        s.sheet = book.sheets[i].get();
        for (ShapeModel& shape : s.sheet->shapes) {
            settlePicture(shape);
        }
        s.cellXfs.reserve(s.sheet->cells.size());
        for (const auto& [key, cell] : s.sheet->cells) {
            Q_UNUSED(key);
            s.cellXfs.push_back(cellXf(book, cell));
        }
        sheets.push_back(std::move(s));
    }
    return sheets;
}

// The formats the cells and columns use, numbered in the order they are first used.
XfTable usedFormats(WorkbookModel& book, const std::vector<SheetToWrite>& sheets) {
    XfTable xfs(book);
    for (const SheetToWrite& s : sheets) {
        for (int xf : s.cellXfs) {
            xfs.use(xf);
        }
        for (const ColumnInfo& c : s.sheet->columns) {
            if (c.present) {
                xfs.use(c.xf);
            }
        }
    }
    return xfs;
}

// The shared strings: the template's, then every text of the cells, counting each
// reference (also those of the sheets the engine does not model).
StringTable sharedStrings(const WorkbookModel& book, const std::vector<SheetToWrite>& sheets) {
    StringTable strings(book);
    strings.addReferences(book.sstTotalOtherSheets);
    for (const SheetToWrite& s : sheets) {
        for (const auto& [key, cell] : s.sheet->cells) {
            Q_UNUSED(key);
            if (cell.kind == Cell::Kind::Text) {
                strings.add(cell.text);
            }
        }
    }
    return strings;
}

// Index of the globals record after which the print areas' link table goes: COUNTRY
// (else the last BOUNDSHEET); SIZE_MAX when the template has a link table of its own,
// which is kept as it is.
std::size_t linkTablePosition(const std::vector<Record>& globals) {
    std::size_t after = SIZE_MAX;
    for (std::size_t i = 0; i < globals.size(); ++i) {
        const std::uint16_t type = globals[i].type;
        if (type == op::SUPBOOK || type == op::EXTERNSHEET || type == op::NAME) {
            return SIZE_MAX;
        }
        if (type == op::BOUNDSHEET ||
            (type == op::COUNTRY && after != SIZE_MAX && globals[after].type == op::BOUNDSHEET)) {
            after = i;
        }
    }
    return after;
}

// The globals' kept records with the regenerated parts at their marks. Returns the
// stream position of each BOUNDSHEET's sheet position field, patched once the sheets
// are written.
std::vector<std::uint32_t> writeGlobals(BiffWriter& w, const WorkbookModel& book,
                                        const XfTable& xfs, const StringTable& strings,
                                        const DrawingPlan& drawings) {
    const std::size_t linkTableAfter = linkTablePosition(book.globals);
    std::vector<std::uint32_t> sheetPositions;
    for (std::size_t i = 0; i < book.globals.size(); ++i) {
        const Record& r = book.globals[i];
        switch (r.type) {
        case mark::NewXfs:
            for (int xf : xfs.added()) {
                const XfBytes& b = xfs.bytes(xf);
                w.write(op::XF, QByteArray(reinterpret_cast<const char*>(b.data()), 20));
            }
            break;
        case mark::DrawingGroup:
            if (!drawings.blips.empty()) {
                writeDrawingGroup(w, drawings);
            }
            break;
        case mark::Sst:
            writeSST(w, strings);
            break;
        case op::BOUNDSHEET:
            sheetPositions.push_back(w.pos() + 4);
            w.write(r);
            break;
        default:
            w.write(r);
            break;
        }
        if (i == linkTableAfter) {
            writePrintAreaNames(w, book);
        }
    }
    return sheetPositions;
}

const SheetDrawing* drawingOf(const DrawingPlan& drawings, const SheetModel* sheet) {
    for (const SheetDrawing& d : drawings.sheets) {
        if (d.sheet == sheet) {
            return &d;
        }
    }
    return nullptr;
}

// The records of the Workbook stream for the model as it is now.
void writeWorkbookRecords(WorkbookModel& book, BiffWriter& w) {
    // The cells decide which formats and strings exist, and the globals list them
    // before the sheets: every cell's format and text is settled first, then the
    // globals are written, then each sheet, where its BOUNDSHEET record points.
    std::vector<SheetToWrite> sheets = prepareSheets(book);
    std::vector<SheetModel*> models;
    for (const SheetToWrite& s : sheets) {
        models.push_back(s.sheet);
    }
    const DrawingPlan drawings = planDrawings(models);
    for (SheetToWrite& s : sheets) {
        s.drawing = drawingOf(drawings, s.sheet);
    }
    XfTable xfs = usedFormats(book, sheets);
    const StringTable strings = sharedStrings(book, sheets);

    const std::vector<std::uint32_t> sheetPositions = writeGlobals(w, book, xfs, strings, drawings);
    std::size_t next = 0;
    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        if (i < sheetPositions.size()) {
            w.patch32(sheetPositions[i], w.pos());
        }
        if (book.modelled[i]) {
            writeSheet(w, sheets[next++], xfs, strings);
        } else {
            for (const Record& r : book.sheets[i]->records) {
                w.write(r);
            }
        }
    }
}

} // namespace

QByteArray writeWorkbookStream(WorkbookModel& book) {
    BiffWriter w;
    writeWorkbookRecords(book, w);
    return w.take();
}

namespace {

// One property of a property set: its id and its typed value (type, padding, value,
// padded to 4 bytes).
struct Property {
    std::uint32_t id;
    QByteArray value;
};

Property codePageProperty() {
    QByteArray v;
    put16(v, 0x0002); // VT_I2
    put16(v, 0);
    put16(v, 1200); // UTF-16LE strings
    put16(v, 0);
    return {1, v};
}

Property boolProperty(std::uint32_t id, bool on) {
    QByteArray v;
    put16(v, 0x000B); // VT_BOOL
    put16(v, 0);
    put16(v, on ? 0xFFFF : 0);
    put16(v, 0);
    return {id, v};
}

Property stringProperty(std::uint32_t id, const QString& text) {
    QByteArray v;
    put16(v, 0x001E); // VT_LPSTR in code page 1200: UTF-16LE, byte count
    put16(v, 0);
    put32(v, static_cast<std::uint32_t>((text.size() + 1) * 2));
    for (QChar c : text) {
        put16(v, c.unicode());
    }
    put16(v, 0);
    while (v.size() % 4) {
        v.append('\0');
    }
    return {id, v};
}

// A property set stream (MS-OLEPS) with one section of the format `fmtid`.
QByteArray propertySetStream(const std::array<std::uint8_t, 16>& fmtid,
                             const std::vector<Property>& properties) {
    const qsizetype headerSize = 8 + 8 * static_cast<qsizetype>(properties.size());
    QByteArray table;
    QByteArray values;
    for (const Property& p : properties) {
        put32(table, p.id);
        put32(table, static_cast<std::uint32_t>(headerSize + values.size()));
        values.append(p.value);
    }
    QByteArray out;
    put16(out, 0xFFFE);               // byte order
    put16(out, 0);                    // format
    put32(out, 0x00020A04);           // OS version: Windows, as libgsf writes
    out.append(QByteArray(16, '\0')); // CLSID
    put32(out, 1);
    out.append(reinterpret_cast<const char*>(fmtid.data()), 16);
    put32(out, 0x30);
    put32(out, static_cast<std::uint32_t>(headerSize + values.size()));
    put32(out, static_cast<std::uint32_t>(properties.size()));
    out.append(table);
    out.append(values);
    return out;
}

constexpr std::array<std::uint8_t, 16> SummaryFormat = {
    0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10, 0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr std::array<std::uint8_t, 16> DocumentSummaryFormat = {
    0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10, 0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};

const QString SummaryStreamName = QStringLiteral("\x05SummaryInformation");
const QString DocumentSummaryStreamName = QStringLiteral("\x05DocumentSummaryInformation");

} // namespace

QByteArray writeSummaryInformation(const WorkbookModel& book) {
    static const int ids[6] = {0, 2, 3, 4, 0, 6}; // by built-in index 1, 2, 3, 5
    std::vector<Property> properties{codePageProperty()};
    for (int index : {1, 2, 3, 5}) {
        if (book.propertySet[static_cast<std::size_t>(index)]) {
            properties.push_back(stringProperty(static_cast<std::uint32_t>(ids[index]),
                                                book.properties[static_cast<std::size_t>(index)]));
        }
    }
    return propertySetStream(SummaryFormat, properties);
}

QByteArray writeDocumentSummaryInformation() {
    // What office suites write for a workbook without links or company data: the
    // code page, no thumbnail scaling, links up to date.
    return propertySetStream(DocumentSummaryFormat, {codePageProperty(), boolProperty(11, false),
                                                     boolProperty(16, false)});
}

namespace {

// The compound file's streams: the Workbook stream, the summary information and the
// template's other streams. Streamed, the Workbook stream is written as its records are
// made rather than held whole.
OleFile workbookOleFile(WorkbookModel& book, bool streamed) {
    OleFile ole;
    ole.classId = book.classId;
    if (streamed) {
        ole.streams.push_back(
            OleStream{QStringLiteral("Workbook"), {}, [&book](OleStreamWriter& out) {
                          BiffWriter w;
                          w.handOverTo([&out](const QByteArray& bytes) { out.append(bytes); },
                                       [&out](qint64 offset, const QByteArray& bytes) {
                                           out.overwrite(offset, bytes);
                                       });
                          writeWorkbookRecords(book, w);
                          w.finish();
                      }});
    } else {
        ole.streams.push_back(OleStream{QStringLiteral("Workbook"), writeWorkbookStream(book), {}});
    }
    bool anyProperty = false;
    for (bool set : book.propertySet) {
        anyProperty = anyProperty || set;
    }
    const QByteArray summary = anyProperty || book.summaryInformation.isEmpty()
                                   ? writeSummaryInformation(book)
                                   : book.summaryInformation;
    ole.streams.push_back(OleStream{SummaryStreamName, summary, {}});
    const bool keptDocumentSummary =
        std::any_of(book.streams.begin(), book.streams.end(),
                    [](const KeptStream& s) { return s.name == DocumentSummaryStreamName; });
    if (!keptDocumentSummary) {
        ole.streams.push_back(
            OleStream{DocumentSummaryStreamName, writeDocumentSummaryInformation(), {}});
    }
    for (const KeptStream& s : book.streams) {
        ole.streams.push_back(OleStream{s.name, s.data, {}});
    }
    return ole;
}

} // namespace

QByteArray workbookFileBytes(WorkbookModel& book) {
    return buildOleFile(workbookOleFile(book, false));
}

void writeWorkbookFile(WorkbookModel& book, PendingFile& out) {
    writeOleFile(workbookOleFile(book, true), out);
}

} // namespace tav::xls
