// The engine's application: its workbooks, its selection and its clipboard.
#pragma once

#include "platform/error.h"
#include "platform/xls/clipboard.h"
#include "platform/xls/workbooks.h"

#include <QString>

namespace tav {
class FileWriter;
} // namespace tav

namespace tav::xls {

class Range;
class Selection;
class Workbook;
class Worksheet;

// Error number thrown by Application::setVisible when no desktop program can show
// the workbook ("the application cannot be created").
inline constexpr int ErrCannotShow = err::CannotShowWorkbook;

class Application {
public:
    // A new, invisible instance with no workbook. Its workbooks are saved through
    // `writer` (the local file system unless a test passes another). Never fails.
    explicit Application(FileWriter& writer);
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    Workbooks& workbooks() { return workbooks_; }
    FileWriter& fileWriter() { return writer_; }
    // The worksheet `name` of the active (first) workbook; no workbook or no such
    // sheet: 1004.
    Worksheet& worksheets(const QString& name);

    // The selection of the active sheet of the active workbook; no workbook: 1004.
    Selection selection();
    // The active cell of the active sheet (first cell of the last selected range).
    Range activeCell();

    Clipboard& clipboard() { return clipboard_; }

    // Whether closing asks about unsaved changes. The engine never asks anything;
    // the value is only kept.
    void setDisplayAlerts(bool on) { displayAlerts_ = on; }
    bool displayAlerts() const { return displayAlerts_; }

    // true hands every open workbook's file, as last saved, to the desktop's
    // spreadsheet program (platform/shell.h: defaultShell().openDocument). When
    // nothing can open it: tav::Error 429 naming the file. false does nothing.
    void setVisible(bool on);
    bool visible() const { return visible_; }

    // Ends the instance: closes every workbook without saving. Later calls into the
    // instance's objects are invalid; the Application itself may be destroyed.
    void quit();

private:
    Workbook& activeWorkbook();
    FileWriter& writer_;
    Workbooks workbooks_;
    Clipboard clipboard_;
    bool displayAlerts_ = true;
    bool visible_ = false;
};

} // namespace tav::xls
