#include "tests/xls/fuzz/fuzz_entry.h"

#include "platform/error.h"
#include "platform/xls/engine.h"
#include "platform/xls/model.h"
#include "platform/xls/ole.h"
#include "platform/xls/workbook_io.h"

namespace tav::xls::fuzz {

namespace {

void exercise(WorkbookModel& book) {
    // What a run does to a template: a cell, a width, a picture size, then writing.
    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        if (!book.modelled[i]) {
            continue;
        }
        SheetModel& sheet = *book.sheets[i];
        Cell& cell = sheet.cell(0, 0);
        cell.kind = Cell::Kind::Text;
        cell.text = QStringLiteral("Page.1");
        sheet.columns[1].present = true;
        sheet.columns[1].coldx = 576;
        sheet.rows[0].height = 270;
        sheet.breaks = {59};
        sheet.pageOrder = 2;
    }
    writeWorkbookStream(book);
}

} // namespace

bool readTemplate(const std::uint8_t* data, std::size_t size) {
    try {
        const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
        std::unique_ptr<WorkbookModel> book;
        if (size > 0 && data[0] == 0x00) {
            book = std::make_unique<WorkbookModel>();
            parseWorkbookStream(*book, bytes.mid(1));
        } else {
            book = readWorkbookFromMemory(bytes, QStringLiteral("fuzz.xls"));
        }
        exercise(*book);
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace tav::xls::fuzz
