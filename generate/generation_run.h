// The generation run: the selection list becomes a workbook.
//
// The run reads the template ExcelBook.org from the program folder into the spreadsheet
// engine (the program folder is never written), checks before anything is written that
// the target can be replaced and that every photo can be read, takes the target's lock
// file, writes the document properties, shapes the grid for the page layout, places
// every picture of the selection list with its page header, caption and ruled notes
// area, converts the pictures to JPEG, and writes the workbook into a temporary file
// beside the target. Only then are the photos renamed that the user agreed to rename,
// and the temporary file replaces the target in one rename.
//
// A run that fails, is stopped (GenerationHost::stopRequested) or is killed leaves the
// target byte for byte as it was (or absent) and every photo with its old name: the
// temporary file and the lock file go, renames already done are renamed back. What a
// killed run leaves (its lock file, its temporary file) is removed by the next run on
// the same target. A failure is reported by its class (failure_report.h), which names
// the file or folder concerned.
//
// Usage (the main window's CmdExec handler):
//     GenerationJob job = ...;           // read from the controls
//     m_run.start(job);                  // m_run: a GenerationRun over the window's host
#pragma once

#include "generate/failure_report.h"
#include "generate/generation_host.h"
#include "generate/placement.h"
#include "platform/atomic_file.h"

#include <QString>

namespace tav {

class PicturePipeline;
class RenamePlan;

namespace xls {
class Application;
class Workbook;
class Worksheet;
} // namespace xls

inline const QString kTemplateFileName = QStringLiteral("ExcelBook.org");
inline const QString kCompletionMessage = QStringLiteral("画像貼り付け処理が終了しました");
inline const QString kCaptionWarning = QStringLiteral("ファイル名に異常があります。");

enum class RunOutcome {
    Ignored,     // a run was already working; the second start does nothing
    Refused,     // a validation message was shown; nothing was written
    Completed,   // the workbook was written and the completion message shown
    Failed,      // a failure report was shown; the program stays usable
    ProgramEnds, // a failure report that ends the program (settings written first)
    Stopped,     // the host asked to stop; nothing was changed, nothing was shown
};

// The target path of the workbook: ".xls" is appended unless the name's last four
// characters, upper-cased, are ".XLS"; "/" joins folder and name unless the folder
// ends in it.
QString targetWorkbookPath(const QString& folder, const QString& fileName);

class GenerationRun {
public:
    // The workbook is written through `writer` (tests pass one that fails on purpose).
    explicit GenerationRun(GenerationHost& host, PlacementOptions placement = {},
                           FileWriter& writer = localFileWriter())
        : host_(host), placement_(placement), writer_(writer) {}

    // The CmdExec click. While a run works (it lets the host process events once per
    // picture), a second start is ignored.
    RunOutcome start(const GenerationJob& job);
    bool isRunning() const { return running_; }

    // After a failure: the error number and description that were reported, and the
    // failure's class.
    int lastErrorNumber() const { return lastFailure_.number; }
    const QString& lastErrorDescription() const { return lastFailure_.description; }
    const RunFailure& lastFailure() const { return lastFailure_; }

    // The workbook of the last run that completed (empty before one did).
    const QString& resultWorkbookPath() const { return resultWorkbookPath_; }

private:
    // How writeWorkbook() ended.
    enum class Ending { Completed, Stopped, Failed };

    RunOutcome run(const GenerationJob& job);
    // Shows why the job cannot start (no folder, no file name, no rows, more pictures
    // than one sheet holds); true when it can.
    bool acceptJob(const GenerationJob& job, const PageLayout& layout);
    // writeWorkbook(), with a failure classified into lastFailure_.
    Ending writeWorkbookCatchingFailures(const GenerationJob& job, const PageLayout& layout,
                                         const QString& target, RenamePlan& renames);
    RunOutcome completeRun(const QString& target, const RenamePlan& renames);
    // After a failure or a stop: renames undone, the window's buttons as before.
    void undoAfterFailure(RenamePlan& renames);
    RunOutcome reportFailure();

    // Everything that touches files, from reading the template to replacing the
    // target. The engine, the lock and the temporary file are released when it returns
    // or throws; `renames` is left applied on return.
    void writeWorkbook(const GenerationJob& job, const PageLayout& layout, int n,
                       const QString& target, RenamePlan& renames);
    // The steps of writeWorkbook().
    void checkTarget(const QString& target);
    void checkPictures();
    void placePictures(xls::Application& app, xls::Worksheet& sheet, const GenerationJob& job,
                       const PageLayout& layout, int n, RenamePlan& renames);
    void writeCaption(xls::Worksheet& sheet, const GenerationJob& job, const QString& cell, int row,
                      RenamePlan& renames);
    void writeNotes(xls::Worksheet& sheet, const GenerationJob& job, const QString& notesArea,
                    int row);
    void placeRowPicture(xls::Application& app, xls::Worksheet& sheet, const PageLayout& layout,
                         const QString& anchor, int row, PicturePipeline& pictures);
    void saveOverTarget(xls::Workbook& book, const QString& target, RenamePlan& renames);
    void checkStop() const;
    // Where writeWorkbook() is now, and the file it works on there.
    void enterSite(FailureSite site, const QString& subject = QString());

    GenerationHost& host_;
    PlacementOptions placement_;
    FileWriter& writer_;
    bool running_ = false;
    RunFailure lastFailure_;
    QString resultWorkbookPath_;
    // Where writeWorkbook() is, for the classification of an error it throws.
    FailureSite site_ = FailureSite::Engine;
    QString subject_;
};

} // namespace tav
