#include "generate/generation_run.h"

#include "generate/captions.h"
#include "generate/failure_report.h"
#include "generate/page_layout.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/image/picture_loader.h"
#include "platform/office_lock.h"
#include "platform/paths.h"
#include "platform/xls/address.h"
#include "platform/xls/engine.h"

#include <QSet>

#include <algorithm>
#include <memory>
#include <new>

namespace tav {

namespace {

// Internal error number for a failure that carries no number of its own.
constexpr int kErrInternal = 51;
// The selection list lost the row being placed (rows removed while the run yielded).
constexpr int kErrSubscriptOutOfRange = 9;

void writeCell(xls::Worksheet& sheet, const QString& address, const QString& text,
               CellAlignment alignment) {
    xls::Range cell = sheet.range(address);
    cell.select();
    cell.setFormulaR1C1(text);
    if (alignment.verticalFirst) {
        cell.setVerticalAlignment(alignment.vertical);
        cell.setHorizontalAlignment(alignment.horizontal);
    } else {
        cell.setHorizontalAlignment(alignment.horizontal);
        cell.setVerticalAlignment(alignment.vertical);
    }
    cell.setWrapText(false);
    cell.setOrientation(0);
    cell.setAddIndent(false);
    cell.setShrinkToFit(false);
    cell.setMergeCells(false);
}

void ruleNotes(xls::Worksheet& sheet, const QString& range) {
    xls::Range notes = sheet.range(range);
    notes.select();
    for (const int index : {xls::xl::EdgeBottom, xls::xl::InsideHorizontal}) {
        xls::Border border = notes.borders(index);
        border.setLineStyle(xls::xl::LineContinuous);
        border.setWeight(xls::xl::WeightHairline);
        border.setColorIndex(xls::xl::ColorAutomatic);
    }
}

void prepareGrid(xls::Application& app, xls::Worksheet& sheet, const PageLayout& layout, int n) {
    const QString rows = QStringLiteral("1:") + QString::number(layout.preparedRows(n));
    if (!layout.withNotes) {
        sheet.range(QStringLiteral("A:AZ")).setColumnWidth(1.63);
        sheet.rows(rows).setRowHeight(13.5);
    } else {
        sheet.range(QStringLiteral("A:A,C:C,E:E,F:F,H:H,J:J")).select();
        app.selection().range().setColumnWidth(2);
        sheet.columns(QStringLiteral("B:B")).setColumnWidth(layout.pictureColumnWidth());
        sheet.columns(QStringLiteral("D:D")).setColumnWidth(layout.notesColumnWidth());
        sheet.columns(QStringLiteral("G:G")).setColumnWidth(layout.pictureColumnWidth());
        sheet.columns(QStringLiteral("I:I")).setColumnWidth(layout.notesColumnWidth());
        sheet.rows(rows).select();
        app.selection().range().setRowHeight(18);
    }
    // Every layout page starts a printed page, whatever the printer's margins.
    const int pages = layout.pageCount(n);
    if (pages > 1) {
        sheet.setHorizontalPageBreaksEvery(layout.pageRows, pages * layout.pageRows);
    }
}

// Points from the left edge of the sheet to the left edge of `column` (1-based).
double columnLeft(xls::Worksheet& sheet, int column) {
    if (column <= 1) {
        return 0;
    }
    return sheet.range(QStringLiteral("A1:%1%2").arg(xls::columnName(column - 2)).arg(1)).width();
}

// The width a caption takes in the template's 11-point font, estimated on the generous
// side: 0.6 em for Latin letters, digits and half-width kana, a full em for the rest.
double estimatedTextWidth(const QString& text) {
    double ems = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        ems += (u < 0x0370 || (u >= 0xFF61 && u <= 0xFF9F)) ? 0.6 : 1.0;
    }
    return ems * 11;
}

// The printed range: every layout page, and the columns from A to the last one the run
// wrote into or a picture reaches, widened, up to the printed page's width, as far as
// the longest caption runs on to the right. Without it, a caption longer than the room
// beside or under its picture runs into the empty columns beyond the page, and readers
// that print as far as the text reaches add a column of pages holding nothing but the
// end of that caption; with it, the caption ends at the page's edge at the latest.
QString printAreaAddress(xls::Worksheet& sheet, const PageLayout& layout, int n,
                         double captionReach) {
    int lastColumn = 1; // 1-based
    const auto reach = [&](const QString& address) {
        if (!address.isEmpty()) {
            const xls::Range range = sheet.range(address);
            lastColumn = std::max(lastColumn, range.column() + range.columnCount() - 1);
        }
    };
    for (int i = 0; i < std::min(n, layout.picturesPerPage()); ++i) {
        const PictureCells cells = pictureCells(layout, i);
        reach(cells.anchor);
        reach(cells.caption);
        reach(cells.notes);
        reach(cells.pageNumberCell);
        reach(cells.titleCell);
    }
    for (const xls::Shape& shape : sheet.shapes()) {
        lastColumn = std::max(lastColumn, shape.bottomRightCell().column());
    }
    // Readers turn column widths into points with their own font metrics; 2 % to
    // spare keeps the last column on the page in every one of them.
    const double across = sheet.pageSetup().printableWidth() * 0.98;
    while (lastColumn < xls::MaxColumns && columnLeft(sheet, lastColumn + 1) < captionReach &&
           columnLeft(sheet, lastColumn + 2) <= across) {
        ++lastColumn;
    }
    return QStringLiteral("A1:%1%2")
        .arg(xls::columnName(lastColumn - 1))
        .arg(layout.pageCount(n) * layout.pageRows);
}

// The caption rule's leading apostrophe for every text the run writes, so that a title
// such as "0012", "2024.10" or "1e3" stays that text instead of becoming a number. An
// empty text stays empty (the cell keeps its format and holds nothing).
QString asText(const QString& text) {
    return text.isEmpty() ? QString() : QLatin1Char('\'') + text;
}

// The selection list lost the row being placed (rows removed while the run yielded).
void requireRow(GenerationHost& host, int i) {
    if (i >= host.rowCount()) {
        throw Error(kErrSubscriptOutOfRange,
                    errorText(ErrorText::RowRemovedDuringRun, QString::number(i + 1)));
    }
}

// Thrown inside the run when the host asks it to stop.
struct Stopped {};
// Thrown inside the run with a failure it has classified itself.
struct Refusal {
    RunFailure failure;
};

// Photos probed between two looks at the window's events during the up-front check.
constexpr int kProbesPerYield = 16;

// Keeps the host's progress display and the guard flag right however the run ends.
class RunScope {
public:
    RunScope(GenerationHost& host, bool& running) : host_(host), running_(running) {
        running_ = true;
    }
    ~RunScope() {
        running_ = false;
        host_.setProgress(-1, -1);
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    GenerationHost& host_;
    bool& running_;
};

} // namespace

QString targetWorkbookPath(const QString& folder, const QString& fileName) {
    QString name = fileName;
    if (name.right(4).toUpper() != QLatin1String(".XLS")) {
        name += QStringLiteral(".xls");
    }
    return joinPath(folder, name);
}

RunOutcome GenerationRun::start(const GenerationJob& job) {
    if (running_) {
        return RunOutcome::Ignored;
    }
    RunScope scope(host_, running_);
    return run(job);
}

RunOutcome GenerationRun::run(const GenerationJob& job) {
    Dialogs& dialogs = host_.dialogs();
    QWidget* parent = host_.dialogParent();

    // Nothing is read or written before these pass.
    if (job.folder.isEmpty()) {
        dialogs.message(parent, QStringLiteral("フォルダを指定して下さい。"), kProgramTitle,
                        MessageIcon::None);
        return RunOutcome::Refused;
    }
    if (job.fileName.isEmpty()) {
        dialogs.message(parent, QStringLiteral("ファイル名を指定して下さい。"), kProgramTitle,
                        MessageIcon::None);
        return RunOutcome::Refused;
    }
    if (host_.rowCount() == 0) {
        dialogs.message(parent, QStringLiteral("ファイルを選択して下さい。"), kProgramTitle,
                        MessageIcon::None);
        return RunOutcome::Refused;
    }

    const PageLayout layout = pageLayout(job.layout, job.makeFileName);
    const int n = host_.rowCount();

    // A job that does not fit one sheet is refused before anything is read, rather
    // than failing half way.
    const QString capacity = sheetCapacityProblem(layout, n);
    if (!capacity.isEmpty()) {
        dialogs.message(parent, capacity, kProgramTitle, MessageIcon::Exclamation);
        return RunOutcome::Refused;
    }

    host_.setBusyPointer(true);
    host_.setShowExcelEnabled(false);
    const QString target = targetWorkbookPath(job.folder, job.fileName);
    RenamePlan renames;
    lastFailure_ = RunFailure{};
    bool completed = false;
    bool stopped = false;
    try {
        writeWorkbook(job, layout, n, target, renames);
        completed = true;
    } catch (const Stopped&) {
        stopped = true;
    } catch (const Refusal& refusal) {
        lastFailure_ = refusal.failure;
    } catch (const Error& e) {
        lastFailure_ = classifyFailure(site_, e, subject_);
    } catch (const std::bad_alloc&) {
        lastFailure_.number = err::OutOfMemory;
        lastFailure_.description = errorText(ErrorText::NoMemory);
    } catch (const std::exception& e) {
        lastFailure_.number = kErrInternal;
        lastFailure_.description = errorText(ErrorText::InternalError);
        qWarning("generation run: %s", e.what());
    }

    if (completed) {
        // The photos have their new names: every row that showed an old path shows the
        // new one (a photo listed twice is renamed once, and both rows follow it).
        for (const RenamePlan::Rename& r : renames.renames()) {
            for (int row = 0; row < host_.rowCount(); ++row) {
                if (host_.rowPath(row) == r.from) {
                    host_.setRowPath(row, r.to);
                }
            }
        }
        resultWorkbookPath_ = target;
        host_.setResultWorkbookPath(target);
        host_.setBusyPointer(false);
        host_.setExecEnabled(true);
        dialogs.message(parent, kCompletionMessage, kGenerationTitle, MessageIcon::None);
        host_.setShowExcelEnabled(true);
        return RunOutcome::Completed;
    }

    // The temporary file and the lock file went when writeWorkbook() unwound; photos
    // renamed before a failure get their old names back. (A stop comes before any
    // rename.)
    lastFailure_.notRestored = renames.notRestored() + renames.undo();
    host_.setExecEnabled(true);
    host_.setBusyPointer(false);
    host_.setShowExcelEnabled(!resultWorkbookPath_.isEmpty());
    if (stopped) {
        return RunOutcome::Stopped;
    }
    const FailureMessage report = failureMessage(lastFailure_);
    dialogs.message(parent, report.text, report.title, report.icon);
    if (report.endsProgram) {
        host_.writeSettings();
        host_.endProgram();
        return RunOutcome::ProgramEnds;
    }
    return RunOutcome::Failed;
}

void GenerationRun::checkStop() const {
    if (host_.stopRequested()) {
        throw Stopped{};
    }
}

void GenerationRun::checkPictures() {
    QStringList problems;
    int firstNumber = 0;
    QSet<QString> seen;
    for (int i = 0; i < host_.rowCount(); ++i) {
        const QString path = host_.rowPath(i);
        if (seen.contains(path)) {
            continue;
        }
        seen.insert(path);
        // A name that is not UTF-8 reaches the list with replacement characters, and no
        // file has that spelling.
        if (path.contains(QChar::ReplacementCharacter) && !fileExists(path)) {
            problems << pictureNameProblemLine(path);
            firstNumber = firstNumber ? firstNumber : err::BadFileName;
            continue;
        }
        try {
            probePicture(path);
        } catch (const Error& e) {
            problems << pictureProblemLine(path, e);
            firstNumber = firstNumber ? firstNumber : e.number();
        }
        // Hundreds of photos on a slow share take a while: the window stays alive.
        if (i % kProbesPerYield == kProbesPerYield - 1) {
            host_.processEvents();
            checkStop();
        }
    }
    if (!problems.isEmpty()) {
        RunFailure failure;
        failure.failureClass = FailureClass::PicturesUnusable;
        failure.number = firstNumber;
        failure.details = problems;
        throw Refusal{failure};
    }
}

void GenerationRun::writeWorkbook(const GenerationJob& job, const PageLayout& layout, int n,
                                  const QString& target, RenamePlan& renames) {
    Dialogs& dialogs = host_.dialogs();
    QWidget* parent = host_.dialogParent();

    // The template, read whole; it is only ever saved as a copy, never written back.
    const QString templatePath = joinPath(job.programFolder, kTemplateFileName);
    site_ = FailureSite::Template;
    subject_ = templatePath;
    xls::Application app(writer_);
    xls::Workbook& book = app.workbooks().open(templatePath, /*readOnly=*/true);
    xls::Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));

    // Before anything is written: the target can be replaced, every photo can be read.
    site_ = FailureSite::Target;
    subject_ = target;
    if (const TargetCheck check = checkTargetReplaceable(target)) {
        RunFailure failure;
        failure.failureClass = classifyTargetProblem(check.problem);
        failure.number = check.problem == TargetProblem::FolderMissing ? err::PathNotFound
                                                                       : err::PermissionDenied;
        failure.description = check.description;
        failure.subject = target;
        throw Refusal{failure};
    }
    checkPictures();
    checkStop();

    // From here on the target's lock file tells LibreOffice and other runs that the
    // workbook is in use; what a killed run left for this target goes.
    site_ = FailureSite::Target;
    subject_ = target;
    const std::unique_ptr<WorkbookLock> lock = WorkbookLock::acquire(target);
    removeLeftoverTemporaries(target);

    site_ = FailureSite::Engine;
    subject_.clear();
    book.builtinDocumentProperties(1).setValue(job.title);
    book.builtinDocumentProperties(2).setValue(job.subject);
    book.builtinDocumentProperties(3).setValue(job.author);
    book.builtinDocumentProperties(5).setValue(job.comment);

    sheet.select();
    prepareGrid(app, sheet, layout, n);

    // The pictures, each family in its own order of steps.
    const bool captionAfterPicture = !layout.withNotes && layout.imageColumns == 2;
    double captionReach = 0; // points from the sheet's left edge
    host_.setProgress(0, n);
    for (int i = 0; i < n; ++i) {
        requireRow(host_, i);
        const PictureCells cells = pictureCells(layout, i);

        if (cells.headerDue) {
            writeCell(sheet, cells.pageNumberCell, asText(pageNumberText(cells.page)),
                      layout.pageNumberAlignment());
            writeCell(sheet, cells.titleCell, asText(job.title), layout.titleAlignment());
        }
        const auto caption = [&]() {
            if (!job.makeFileName) {
                return;
            }
            site_ = FailureSite::Rename;
            subject_ = host_.rowPath(i);
            const QString text = MakeCaption(host_, i, job.makeKaku, job.nameChange, renames);
            site_ = FailureSite::Engine;
            subject_.clear();
            if (text.isEmpty()) {
                dialogs.message(parent, kCaptionWarning, kProgramTitle, MessageIcon::Exclamation);
            }
            checkStop();
            writeCell(sheet, cells.caption, QLatin1Char('\'') + text,
                      PageLayout::captionAlignment());
            const int column = sheet.range(cells.caption).column();
            captionReach =
                std::max(captionReach, columnLeft(sheet, column) + estimatedTextWidth(text));
        };

        if (!captionAfterPicture) {
            caption();
        }
        sheet.range(cells.anchor).select();
        host_.makeRowCurrent(i);
        host_.processEvents();
        checkStop();
        requireRow(host_, i);
        const QString path = host_.rowPath(i);
        site_ = FailureSite::Picture;
        subject_ = path;
        placePicture(app, sheet, path, host_.rowRotation(i), layout.boxWidth, layout.boxHeight,
                     layout.withNotes, placement_);
        site_ = FailureSite::Engine;
        subject_.clear();
        if (captionAfterPicture) {
            caption();
        }
        if (layout.withNotes) {
            ruleNotes(sheet, cells.notes);
        }
        host_.setProgress(i + 1, n);
    }

    sheet.pageSetup().setOrder(xls::xl::OrderOverThenDown);
    sheet.pageSetup().setPrintArea(printAreaAddress(sheet, layout, n, captionReach));
    sheet.range(QStringLiteral("A1")).select();
    convertPicturesToJpeg(app, sheet);
    checkStop();

    // The finished workbook goes into a temporary file beside the target; the photos
    // get their new names; then the temporary file replaces the target in one rename.
    site_ = FailureSite::Target;
    subject_ = target;
    const std::unique_ptr<PendingFile> pending = writer_.create(target);
    book.writeTo(*pending);
    site_ = FailureSite::Rename;
    try {
        renames.apply();
    } catch (const Error&) {
        if (const RenamePlan::Rename* failed = renames.failed()) {
            subject_ = failed->from;
        }
        throw;
    }
    site_ = FailureSite::Target;
    subject_ = target;
    pending->commit();
    app.quit();
}

} // namespace tav
