// Reading one worksheet of a template: the records the engine regenerates are parsed
// into the sheet's model and replaced by marks, every other record is kept.
#include "platform/xls/sheet_reader.h"

#include "platform/error.h"
#include "platform/xls/opcodes.h"

#include <algorithm>
#include <cstring>

namespace tav::xls {

namespace {

// The user reads what went wrong; the record details are for a developer.
[[noreturn]] void refuse(const QString& detail) {
    throw Error(err::EngineRefused, errorText(ErrorText::WorkbookContentDamaged), detail);
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

// Reads one worksheet substream (BOF .. EOF) into its SheetModel: what the engine
// regenerates is parsed into the model, every other record is kept in `records`, with
// marks where the regenerated parts are written again.
class SheetParser {
public:
    SheetParser(WorkbookModel& book, SheetModel& sheet, const std::vector<TemplateBlip>& blips)
        : book_(book), sheet_(sheet), blips_(blips) {}

    void parse(const std::vector<Record>& records) {
        sheet_.records.push_back(records.front()); // BOF
        sheet_.records.push_back(markRecord(mark::Index));
        std::uint16_t previous = records.front().type;
        for (std::size_t i = 1; i < records.size(); ++i) {
            const Record& r = records[i];
            const std::uint16_t before = previous;
            previous = r.type == op::CONTINUE ? before : r.type;
            if (!keptInsideChart(r)) {
                parseRecord(r, before);
            }
        }
        placeMarks();
        readDrawing();
    }

private:
    // `before`: the type of the record a CONTINUE record continues.
    void parseRecord(const Record& r, std::uint16_t before) {
        switch (r.type) {
        case op::INDEX:
        case op::DBCELL:
        case op::MSODRAWINGSELECTION:
            break; // regenerated, or without a picture to select
        case op::HORIZONTALPAGEBREAKS:
            parseBreaks(r);
            break;
        case op::COLINFO:
            parseColInfo(r);
            break;
        case op::DEFCOLWIDTH:
            parseDefColWidth(r);
            break;
        case op::DEFAULTROWHEIGHT:
            parseDefaultRowHeight(r);
            break;
        case op::SETUP:
            parseSetup(r);
            break;
        case op::DIMENSIONS:
            markCellTable();
            break;
        case op::ROW:
            parseRow(r);
            break;
        case op::MSODRAWING:
            collectDrawing(r);
            break;
        case op::OBJ:
            checkObj(r);
            break;
        case op::TXO:
        case op::NOTE:
            refuse(QStringLiteral("sheet '%1' holds text boxes or comments, which the engine "
                                  "does not keep")
                       .arg(sheet_.name));
        case op::CONTINUE:
            parseContinue(r, before);
            break;
        case op::MERGECELLS:
            parseMerge(r);
            break;
        case op::WINDOW2:
            keepWindow(r);
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
            } else {
                keep(r);
            }
            break;
        }
    }

    // An embedded chart substream (BOF .. EOF inside the sheet) is kept as it is.
    bool keptInsideChart(const Record& r) {
        if (r.type == op::BOF) {
            ++chartDepth_;
        }
        if (chartDepth_ == 0) {
            return false;
        }
        if (r.type == op::EOF_) {
            --chartDepth_;
        }
        sheet_.records.push_back(r);
        return true;
    }

    // A record the engine does not regenerate. The merged cells are written before the
    // first record after the window records (WINDOW2 and what belongs to it).
    void keep(const Record& r) {
        const bool windowPart =
            r.type == op::PLV || r.type == op::SCL || r.type == op::PANE || r.type == op::SELECTION;
        if (sawWindow_ && mergeAt_ == SIZE_MAX && !windowPart) {
            mergeAt_ = sheet_.records.size();
        }
        sheet_.records.push_back(r);
    }

    void keepWindow(const Record& r) {
        sawWindow_ = true;
        if (drawingAt_ == SIZE_MAX) {
            drawingAt_ = sheet_.records.size();
        }
        sheet_.records.push_back(r);
    }

    void parseContinue(const Record& r, std::uint16_t before) {
        if (before == op::MSODRAWING) {
            drawing_.append(r.data);
        } else if (before == op::OBJ) {
            // continuation of an OBJ: part of the dropped drawing
        } else if (before == op::FORMULA || before == op::STRING ||
                   (isCellRecord(before) && lastCell_)) {
            attachToCell(r);
        } else {
            sheet_.records.push_back(r);
        }
    }

    void markCellTable() {
        if (!cellTableMarked_) {
            sheet_.records.push_back(markRecord(mark::CellTable));
            cellTableMarked_ = true;
        }
    }

    void collectDrawing(const Record& r) {
        drawing_.append(r.data);
        drawingAt_ = std::min(drawingAt_, sheet_.records.size());
    }

    // Where the regenerated parts go: the drawing where the template had its drawing
    // (else before WINDOW2), the merged cells after the window records, the cell table
    // where DIMENSIONS was (else before the drawing), the column widths after
    // DEFCOLWIDTH (else before the cell table), the page breaks before the page set-up.
    void placeMarks() {
        std::vector<Record>& kept = sheet_.records;
        if (kept.empty() || kept.back().type != op::EOF_) {
            refuse(QStringLiteral("sheet '%1' has no end record").arg(sheet_.name));
        }
        const std::size_t mergeAt = mergeAt_ == SIZE_MAX ? kept.size() - 1 : mergeAt_;
        const std::size_t drawingAt = drawingAt_ == SIZE_MAX ? kept.size() - 1 : drawingAt_;
        // Insert from the back so that earlier positions stay valid.
        if (mergeAt >= drawingAt) {
            insertMark(mergeAt, mark::MergeCells);
            insertMark(drawingAt, mark::Drawing);
        } else {
            insertMark(drawingAt, mark::Drawing);
            insertMark(mergeAt, mark::MergeCells);
        }
        if (!cellTableMarked_) {
            insertMark(indexOf(mark::Drawing), mark::CellTable);
        }
        if (indexOf(mark::ColInfo) == SIZE_MAX) {
            insertMark(indexOf(mark::CellTable), mark::ColInfo);
        }
        const auto setup = std::find_if(kept.begin(), kept.end(),
                                        [](const Record& r) { return isPageSetup(r.type); });
        const std::size_t setupAt =
            setup == kept.end() ? SIZE_MAX : static_cast<std::size_t>(setup - kept.begin());
        insertMark(std::min(setupAt, indexOf(mark::ColInfo)), mark::PageBreaks);
    }

    void insertMark(std::size_t at, std::uint16_t mark) {
        sheet_.records.insert(sheet_.records.begin() + static_cast<std::ptrdiff_t>(at),
                              markRecord(mark));
    }

    std::size_t indexOf(std::uint16_t type) const {
        for (std::size_t i = 0; i < sheet_.records.size(); ++i) {
            if (sheet_.records[i].type == type) {
                return i;
            }
        }
        return SIZE_MAX;
    }

    // The pictures of the sheet's drawing; every drawing object must be one of them.
    void readDrawing() {
        if (!drawing_.isEmpty()) {
            parseSheetDrawing(sheet_, drawing_, blips_);
        }
        if (objCount_ != static_cast<int>(sheet_.shapes.size())) {
            refuse(QStringLiteral("sheet '%1': %2 drawing objects but %3 pictures")
                       .arg(sheet_.name)
                       .arg(objCount_)
                       .arg(sheet_.shapes.size()));
        }
    }

    void parseDefColWidth(const Record& r) {
        sheet_.defColWidth = ByteReader(r.data, r.type).u16();
        sheet_.records.push_back(r);
        sheet_.records.push_back(markRecord(mark::ColInfo));
    }

    void parseDefaultRowHeight(const Record& r) {
        ByteReader in(r.data, r.type);
        in.u16();
        sheet_.defaultRowHeight = in.u16();
        sheet_.records.push_back(r);
    }

    void parseSetup(const Record& r) {
        ByteReader in(r.data, r.type);
        in.skip(10);
        sheet_.pageOrder = (in.u16() & 0x0001) ? 2 : 1;
        sheet_.records.push_back(r);
    }
    int validXf(int xf) const {
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
            info.xf = static_cast<std::uint16_t>(validXf(xf));
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
        drawingAt_ = std::min(drawingAt_, sheet_.records.size());
    }

    Cell& newCell(int row, int col, int xf, std::uint16_t type) {
        checkRowCol(row, col, type);
        Cell& cell = sheet_.cell(row, col);
        cell = Cell{};
        cell.xf = validXf(xf);
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
            cell.text = in.unicodeString(false);
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
    Cell* lastCell_ = nullptr; // the cell a FORMULA's companion records belong to
    int objCount_ = 0;
    int chartDepth_ = 0;
    QByteArray drawing_; // the OfficeArt bytes of every MSODRAWING record
    bool sawWindow_ = false;
    bool cellTableMarked_ = false;
    std::size_t drawingAt_ = SIZE_MAX; // where the drawing mark goes in `records`
    std::size_t mergeAt_ = SIZE_MAX;   // where the merged cells mark goes
};

} // namespace

void parseWorksheet(WorkbookModel& book, SheetModel& sheet, const std::vector<Record>& records,
                    const std::vector<TemplateBlip>& blips) {
    SheetParser(book, sheet, blips).parse(records);
}

} // namespace tav::xls
