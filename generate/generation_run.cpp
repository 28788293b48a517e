#include "generate/generation_run.h"

#include "generate/captions.h"
#include "generate/failure_report.h"
#include "generate/notes_text.h"
#include "generate/page_layout.h"
#include "generate/photo_list.h"
#include "generate/picture_pipeline.h"
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

// The printed range: every layout page, across the columns the layout prints. Those
// are the same for every workbook of the layout: centred on the picture boxes (and
// notes areas) of a full page, holding the page number, title and caption cells, as
// wide as the printed page allows (2 % to spare: readers turn column widths into points
// with their own font metrics). Captions longer than their room end at its edge.
QString printAreaAddress(xls::Worksheet& sheet, const PageLayout& layout, int n) {
    std::vector<double> lefts(xls::MaxColumns + 1, 0.0); // lefts[c - 1]: left edge of c
    for (int c = 2; c <= xls::MaxColumns + 1; ++c) {
        lefts[static_cast<std::size_t>(c - 1)] =
            lefts[static_cast<std::size_t>(c - 2)] +
            sheet.range(xls::columnName(c - 2) + QLatin1Char('1')).width();
    }
    const auto left = [&](int column) { return lefts[static_cast<std::size_t>(column - 1)]; };
    double centreLeft = 1e9;
    double centreRight = 0;
    double mustLeft = 1e9;
    double mustRight = 0;
    const auto hold = [&](double l, double r, bool centred) {
        mustLeft = std::min(mustLeft, l);
        mustRight = std::max(mustRight, r);
        if (centred) {
            centreLeft = std::min(centreLeft, l);
            centreRight = std::max(centreRight, r);
        }
    };
    const auto holdCells = [&](const QString& address, bool centred) {
        if (!address.isEmpty()) {
            const xls::Range range = sheet.range(address);
            hold(left(range.column()), left(range.column() + range.columnCount()), centred);
        }
    };
    for (int i = 0; i < layout.picturesPerPage(); ++i) {
        const PictureCells c = pictureCells(layout, i);
        const double boxLeft = left(sheet.range(c.anchor).column());
        hold(boxLeft, boxLeft + layout.boxWidth, true);
        holdCells(c.notes, true);
        holdCells(c.caption, false);
        holdCells(c.pageNumberCell, false);
        holdCells(c.titleCell, false);
    }
    const ColumnSpan span =
        centredColumns(mustLeft, mustRight, (centreLeft + centreRight) / 2,
                       sheet.pageSetup().printableWidth() * 0.98, left, xls::MaxColumns);
    return QStringLiteral("%1%2:%3%4")
        .arg(xls::columnName(span.first - 1))
        .arg(1)
        .arg(xls::columnName(span.last - 1))
        .arg(layout.pageCount(n) * layout.pageRows);
}

// The sheet's last steps once every picture is placed: pages printed over, then down,
// the printed range, the selection back at A1, every picture turned into a JPEG one.
void finishSheet(xls::Application& app, xls::Worksheet& sheet, const PageLayout& layout, int n) {
    sheet.pageSetup().setOrder(xls::xl::OrderOverThenDown);
    sheet.pageSetup().setPrintArea(printAreaAddress(sheet, layout, n));
    sheet.range(QStringLiteral("A1")).select();
    convertPicturesToJpeg(app, sheet);
}

// The workbook's title, subject, author and comments.
void writeDocumentProperties(xls::Workbook& book, const GenerationJob& job) {
    book.builtinDocumentProperties(1).setValue(job.title);
    book.builtinDocumentProperties(2).setValue(job.subject);
    book.builtinDocumentProperties(3).setValue(job.author);
    book.builtinDocumentProperties(5).setValue(job.comment);
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
        throw Error(err::SubscriptOutOfRange,
                    errorText(ErrorText::RowRemovedDuringRun, QString::number(i + 1)));
    }
}

// What the picture of a row is prepared from; nothing for a row without a turn, whose
// file is inserted as it is.
std::optional<PictureRequest> pictureRequest(const GenerationHost& host, int row) {
    const std::optional<RotationCode> turn = RotationCode::parseLenient(host.rowRotation(row));
    if (!turn) {
        return std::nullopt;
    }
    return PictureRequest{host.rowPath(row), *turn};
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
    const PageLayout layout = pageLayout(job.layout, job.withCaptions);
    if (!acceptJob(job, layout)) {
        return RunOutcome::Refused;
    }
    host_.setBusyPointer(true);
    host_.setShowWorkbookEnabled(false);
    const QString target = targetWorkbookPath(job.folder, job.fileName);
    RenamePlan renames;
    switch (writeWorkbookCatchingFailures(job, layout, target, renames)) {
    case Ending::Completed:
        return completeRun(target, renames);
    case Ending::Stopped:
        undoAfterFailure(renames);
        return RunOutcome::Stopped;
    case Ending::Failed:
        break;
    }
    undoAfterFailure(renames);
    return reportFailure();
}

bool GenerationRun::acceptJob(const GenerationJob& job, const PageLayout& layout) {
    // Nothing is read or written before these pass.
    QString problem;
    MessageIcon icon = MessageIcon::None;
    if (job.folder.isEmpty()) {
        problem = QStringLiteral("フォルダを指定して下さい。");
    } else if (job.fileName.isEmpty()) {
        problem = QStringLiteral("ファイル名を指定して下さい。");
    } else if (host_.rowCount() == 0) {
        problem = QStringLiteral("ファイルを選択して下さい。");
    } else {
        // A job that does not fit one sheet is refused before anything is read, rather
        // than failing half way.
        problem = sheetCapacityProblem(layout, host_.rowCount());
        icon = MessageIcon::Exclamation;
    }
    if (problem.isEmpty()) {
        return true;
    }
    host_.dialogs().message(host_.dialogParent(), problem, kProgramTitle, icon);
    return false;
}

GenerationRun::Ending GenerationRun::writeWorkbookCatchingFailures(const GenerationJob& job,
                                                                   const PageLayout& layout,
                                                                   const QString& target,
                                                                   RenamePlan& renames) {
    lastFailure_ = RunFailure{};
    try {
        writeWorkbook(job, layout, host_.rowCount(), target, renames);
        return Ending::Completed;
    } catch (const Stopped&) {
        return Ending::Stopped;
    } catch (const Refusal& refusal) {
        lastFailure_ = refusal.failure;
    } catch (const Error& e) {
        lastFailure_ = classifyFailure(site_, e, subject_);
    } catch (const std::bad_alloc&) {
        lastFailure_.number = err::OutOfMemory;
        lastFailure_.description = errorText(ErrorText::NoMemory);
    } catch (const std::exception& e) {
        lastFailure_.number = err::InternalError;
        lastFailure_.description = errorText(ErrorText::InternalError);
        qWarning("generation run: %s", e.what());
    }
    return Ending::Failed;
}

RunOutcome GenerationRun::completeRun(const QString& target, const RenamePlan& renames) {
    // The photos have their new names: every row that showed an old path shows the new
    // one (a photo listed twice is renamed once, and both rows follow it).
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
    host_.setStartEnabled(true);
    host_.dialogs().message(host_.dialogParent(), kCompletionMessage, kGenerationTitle,
                            MessageIcon::None);
    host_.setShowWorkbookEnabled(true);
    return RunOutcome::Completed;
}

void GenerationRun::undoAfterFailure(RenamePlan& renames) {
    // The temporary file and the lock file went when writeWorkbook() unwound; photos
    // renamed before a failure get their old names back. (A stop comes before any
    // rename.)
    lastFailure_.notRestored = renames.notRestored() + renames.undo();
    host_.setStartEnabled(true);
    host_.setBusyPointer(false);
    host_.setShowWorkbookEnabled(!resultWorkbookPath_.isEmpty());
}

RunOutcome GenerationRun::reportFailure() {
    const FailureMessage report = failureMessage(lastFailure_);
    host_.dialogs().message(host_.dialogParent(), report.text, report.title, report.icon);
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
    // The template, read whole; it is only ever saved as a copy, never written back.
    const QString templatePath = joinPath(job.programFolder, kTemplateFileName);
    enterSite(FailureSite::Template, templatePath);
    xls::Application app(writer_);
    xls::Workbook& book = app.workbooks().open(templatePath, /*readOnly=*/true);
    xls::Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));

    // Before anything is written: the target can be replaced, every photo can be read.
    checkTarget(target);
    checkPictures();
    checkStop();

    // From here on the target's lock file tells LibreOffice and other runs that the
    // workbook is in use; what a killed run left for this target goes.
    enterSite(FailureSite::Target, target);
    const std::unique_ptr<WorkbookLock> lock = WorkbookLock::acquire(target);
    removeLeftoverTemporaries(target);

    enterSite(FailureSite::Engine);
    writeDocumentProperties(book, job);
    sheet.select();
    prepareGrid(app, sheet, layout, n);
    placePictures(app, sheet, job, layout, n, renames);
    finishSheet(app, sheet, layout, n);
    checkStop();
    saveOverTarget(book, target, renames);
    app.quit();
}

void GenerationRun::enterSite(FailureSite site, const QString& subject) {
    site_ = site;
    subject_ = subject;
}

void GenerationRun::checkTarget(const QString& target) {
    enterSite(FailureSite::Target, target);
    if (const TargetCheck check = checkTargetReplaceable(target)) {
        RunFailure failure;
        failure.failureClass = classifyTargetProblem(check.problem);
        failure.number = check.problem == TargetProblem::FolderMissing ? err::PathNotFound
                                                                       : err::PermissionDenied;
        failure.description = check.description;
        failure.subject = target;
        throw Refusal{failure};
    }
}

void GenerationRun::placePictures(xls::Application& app, xls::Worksheet& sheet,
                                  const GenerationJob& job, const PageLayout& layout, int n,
                                  RenamePlan& renames) {
    // The layouts without notes and two pictures a row write a caption after its
    // picture, the others before it.
    const bool captionAfterPicture = !layout.withNotes && layout.imageColumns == 2;
    PicturePipeline pictures(placement_,
                             placedBox(layout.boxWidth, layout.boxHeight, layout.withNotes));
    host_.setProgress(0, n);
    for (int i = 0; i < n; ++i) {
        requireRow(host_, i);
        // The next pictures are prepared on the workers while this one is placed.
        for (int ahead = i; ahead <= i + pictures.readAhead() && ahead < host_.rowCount();
             ++ahead) {
            if (const std::optional<PictureRequest> request = pictureRequest(host_, ahead)) {
                pictures.request(ahead, *request);
            }
        }
        const PictureCells cells = pictureCells(layout, i);
        if (cells.headerDue) {
            writeCell(sheet, cells.pageNumberCell, asText(pageNumberText(cells.page)),
                      layout.pageNumberAlignment());
            writeCell(sheet, cells.titleCell, asText(job.title), layout.titleAlignment());
        }
        if (!captionAfterPicture) {
            writeCaption(sheet, job, cells.caption, i, renames);
        }
        placeRowPicture(app, sheet, layout, cells.anchor, i, pictures);
        if (captionAfterPicture) {
            writeCaption(sheet, job, cells.caption, i, renames);
        }
        if (layout.withNotes) {
            ruleNotes(sheet, cells.notes);
            writeNotes(sheet, job, cells.notes, i);
        }
        host_.setProgress(i + 1, n);
    }
}

void GenerationRun::writeCaption(xls::Worksheet& sheet, const GenerationJob& job,
                                 const QString& cell, int row, RenamePlan& renames) {
    if (!job.withCaptions) {
        return;
    }
    enterSite(FailureSite::Rename, host_.rowPath(row));
    const QString text =
        captionForRow(host_, row, job.captionsKeepExtension, job.renameToDisplayNames, renames);
    enterSite(FailureSite::Engine);
    if (text.isEmpty()) {
        host_.dialogs().message(host_.dialogParent(), kCaptionWarning, kProgramTitle,
                                MessageIcon::Exclamation);
    }
    checkStop();
    writeCell(sheet, cell, QLatin1Char('\'') + text, PageLayout::captionAlignment());
}

void GenerationRun::writeNotes(xls::Worksheet& sheet, const GenerationJob& job,
                               const QString& notesArea, int row) {
    requireRow(host_, row);
    QString note = host_.rowNote(row);
    if (note.trimmed().isEmpty() && job.fillEmptyNotesWithDateTaken) {
        note = dateTakenNote(host_.rowPath(row));
    }
    if (note.trimmed().isEmpty()) {
        return;
    }
    // The first ruled line is the caption's (empty without captions); the note starts on
    // the line under it.
    const xls::Range area = sheet.range(notesArea);
    const int firstRow = area.row() + 1;
    const QString column = xls::columnName(area.column() - 1);
    const QStringList lines =
        wrapNote(note, cellTextWidth(area.width()), area.rowCount() - 1, workbookCellFont());
    for (int k = 0; k < lines.size(); ++k) {
        if (!lines[k].isEmpty()) {
            writeCell(sheet, column + QString::number(firstRow + k), asText(lines[k]),
                      PageLayout::captionAlignment());
        }
    }
}

void GenerationRun::placeRowPicture(xls::Application& app, xls::Worksheet& sheet,
                                    const PageLayout& layout, const QString& anchor, int row,
                                    PicturePipeline& pictures) {
    sheet.range(anchor).select();
    host_.makeRowCurrent(row);
    host_.processEvents();
    checkStop();
    requireRow(host_, row);
    const QString path = host_.rowPath(row);
    enterSite(FailureSite::Picture, path);
    std::optional<PreparedPicture> prepared;
    if (const std::optional<PictureRequest> request = pictureRequest(host_, row)) {
        prepared = pictures.take(row, *request, [this] {
            // A large picture takes a while: the window stays alive meanwhile.
            host_.processEvents();
            checkStop();
        });
    }
    placePicture(app, sheet, path, prepared ? &*prepared : nullptr, layout.boxWidth,
                 layout.boxHeight, layout.withNotes);
    enterSite(FailureSite::Engine);
}

void GenerationRun::saveOverTarget(xls::Workbook& book, const QString& target,
                                   RenamePlan& renames) {
    // The finished workbook goes into a temporary file beside the target; the photos
    // get their new names; then the temporary file replaces the target in one rename.
    enterSite(FailureSite::Target, target);
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
    enterSite(FailureSite::Target, target);
    pending->commit();
}

} // namespace tav
