// The generation run: the selection list becomes a workbook.
//
// The run copies the template ExcelBook.org from the program folder to the target
// path, opens the copy in the spreadsheet engine, writes the document properties,
// shapes the grid for the page layout, places every picture of the selection list
// with its page header, caption and ruled notes area, converts the pictures to JPEG,
// saves and reports. A failure at any step is reported by its error number (see
// failure_report.h); the template copy then stays on disk unfilled, nothing else is
// written.
//
// Usage (the main window's CmdExec handler):
//     GenerationJob job = ...;           // read from the controls
//     m_run.start(job);                  // m_run: a GenerationRun over the window's host
#pragma once

#include "generate/generation_host.h"
#include "generate/placement.h"

#include <QString>

namespace tav {

inline const QString kTemplateFileName = QStringLiteral("ExcelBook.org");
inline const QString kCompletionMessage = QStringLiteral("画像貼り付け処理が終了しました");
inline const QString kCaptionWarning = QStringLiteral("ファイル名に異常があります。");

enum class RunOutcome {
    Ignored,    // a run was already working; the second start does nothing
    Refused,    // a validation message was shown; nothing was written
    Completed,  // the workbook was written and the completion message shown
    Failed,     // a failure report was shown; the program stays usable
    ProgramEnds // a failure report that ends the program (settings written first)
};

// The target path of the workbook: ".xls" is appended unless the name's last four
// characters, upper-cased, are ".XLS"; "/" joins folder and name unless the folder
// ends in it.
QString targetWorkbookPath(const QString& folder, const QString& fileName);

class GenerationRun {
public:
    explicit GenerationRun(GenerationHost& host, PlacementOptions placement = {})
        : host_(host), placement_(placement) {}

    // The CmdExec click. While a run works (it lets the host process events once per
    // picture), a second start is ignored.
    RunOutcome start(const GenerationJob& job);
    bool isRunning() const { return running_; }

    // After a failure: the error number and description that were reported.
    int lastErrorNumber() const { return lastErrorNumber_; }
    const QString& lastErrorDescription() const { return lastErrorDescription_; }

private:
    RunOutcome run(const GenerationJob& job);

    GenerationHost& host_;
    PlacementOptions placement_;
    bool running_ = false;
    int lastErrorNumber_ = 0;
    QString lastErrorDescription_;
};

} // namespace tav
