#include "platform/xls/application.h"

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/shell.h"
#include "platform/xls/object_model.h"
#include "platform/xls/range.h"
#include "platform/xls/selection.h"
#include "platform/xls/workbook.h"
#include "platform/xls/worksheet.h"

namespace tav::xls {

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
