// The two sample workbooks and the workbook of the last run, handed to the spreadsheet
// application and shown to the user.
//
// Each call creates one more application instance, opens the workbook in it and makes it
// visible; the engine then hands the file to the desktop's spreadsheet program, so every
// click opens one more window there. The instance replaces whatever `spreadsheetApp` held
// (a program already showing an earlier workbook stays open).
#pragma once

#include "platform/dialogs.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace tav {

namespace xls {
class Application;
}

// Creates a new, invisible spreadsheet application.
using SpreadsheetFactory = std::function<std::unique_ptr<xls::Application>()>;

// The in-process engine.
SpreadsheetFactory engineFactory();

enum class SampleKind {
    WithNotes,    // layouts with a notes column
    WithoutNotes, // layouts without one
};

// File name of the sample workbook of `kind` in the program folder.
QString sampleFileName(SampleKind kind);

// The sample buttons. When the sample is not an ordinary file in `programFolder`, shows
// the warning that names the expected path and does nothing else. Otherwise creates an
// application into `spreadsheetApp`, opens the sample and makes it visible; a failure of
// any of these steps is passed over silently and the remaining steps are still tried,
// except that a sample nothing on the desktop can show is reported (the report of the
// result button, without the end of the program).
void openSampleWorkbook(SampleKind kind, const QString& programFolder, Dialogs& dialogs,
                        QWidget* parent, const SpreadsheetFactory& create,
                        std::unique_ptr<xls::Application>& spreadsheetApp);

// The message of a missing sample, e.g. "サンプルファイル：/opt/tavolin/ﾉｰﾄ無しｻﾝﾌﾟﾙ.xls
// がありません".
QString missingSampleMessage(SampleKind kind, const QString& programFolder);

// Shows the workbook of the last run: creates an application into `spreadsheetApp`,
// opens `resultWorkbookPath` and makes it visible. When the workbook cannot be opened or
// nothing can show it, tells the user why in a warning. Then calls `endProgram` once, in
// every case: the caller ends the program there without writing the settings file.
// Returns true when the workbook was handed to the desktop.
bool showResultWorkbook(const QString& resultWorkbookPath, Dialogs& dialogs, QWidget* parent,
                        const SpreadsheetFactory& create,
                        std::unique_ptr<xls::Application>& spreadsheetApp,
                        const std::function<void()>& endProgram);

} // namespace tav
