#include "generate/generation_run.h"

#include "generate/captions.h"
#include "generate/failure_report.h"
#include "generate/page_layout.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/xls/address.h"
#include "platform/xls/engine.h"

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

    // 1. Validation: nothing is written before these pass.
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

    // 2. The layout.
    const PageLayout layout = pageLayout(job.layout, job.makeFileName);
    const int n = host_.rowCount();

    // A job that does not fit one sheet is refused before anything is copied, rather
    // than failing half way.
    const QString capacity = sheetCapacityProblem(layout, n);
    if (!capacity.isEmpty()) {
        dialogs.message(parent, capacity, kProgramTitle, MessageIcon::Exclamation);
        return RunOutcome::Refused;
    }

    // 3.
    host_.setBusyPointer(true);
    std::unique_ptr<xls::Application> app;

    try {
        // 4. Target path.
        const QString target = targetWorkbookPath(job.folder, job.fileName);
        host_.setResultWorkbookPath(target);

        // 6. The target starts as a fresh copy of the template.
        copyFileReplacing(joinPath(job.programFolder, kTemplateFileName), target);

        // 7, 8.
        app = std::make_unique<xls::Application>();
        xls::Workbook& book = app->workbooks().open(target);
        xls::Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));

        // 9. Document properties: title, subject, author, comments.
        book.builtinDocumentProperties(1).setValue(job.title);
        book.builtinDocumentProperties(2).setValue(job.subject);
        book.builtinDocumentProperties(3).setValue(job.author);
        book.builtinDocumentProperties(5).setValue(job.comment);

        // 10, 11.
        sheet.select();
        prepareGrid(*app, sheet, layout, n);

        // 12. The pictures, each family in its own order of steps.
        const bool captionAfterPicture = !layout.withNotes && layout.imageColumns == 2;
        host_.setProgress(0, n);
        for (int i = 0; i < n; ++i) {
            if (i >= host_.rowCount()) {
                throw Error(
                    kErrSubscriptOutOfRange,
                    QStringLiteral("row %1 of the selection list was removed during the run")
                        .arg(i + 1));
            }
            const PictureCells cells = pictureCells(layout, i);

            if (cells.headerDue) {
                writeCell(sheet, cells.pageNumberCell, pageNumberText(cells.page),
                          layout.pageNumberAlignment());
                writeCell(sheet, cells.titleCell, job.title, layout.titleAlignment());
            }
            const auto caption = [&]() {
                if (!job.makeFileName) {
                    return;
                }
                const QString text = MakeCaption(host_, i, job.makeKaku, job.nameChange);
                if (text.isEmpty()) {
                    dialogs.message(parent, kCaptionWarning, kProgramTitle,
                                    MessageIcon::Exclamation);
                }
                writeCell(sheet, cells.caption, QLatin1Char('\'') + text,
                          PageLayout::captionAlignment());
            };

            if (!captionAfterPicture) {
                caption();
            }
            sheet.range(cells.anchor).select();
            host_.makeRowCurrent(i);
            host_.processEvents();
            if (i >= host_.rowCount()) {
                throw Error(
                    kErrSubscriptOutOfRange,
                    QStringLiteral("row %1 of the selection list was removed during the run")
                        .arg(i + 1));
            }
            placePicture(*app, sheet, host_.rowPath(i), host_.rowRotation(i), layout.boxWidth,
                         layout.boxHeight, layout.withNotes, placement_);
            if (captionAfterPicture) {
                caption();
            }
            if (layout.withNotes) {
                ruleNotes(sheet, cells.notes);
            }
            host_.setProgress(i + 1, n);
        }

        // 13, 14.
        sheet.pageSetup().setOrder(xls::xl::OrderOverThenDown);
        sheet.pageSetup().setPrintArea(printAreaAddress(sheet, layout, n));
        sheet.range(QStringLiteral("A1")).select();
        convertPicturesToJpeg(*app, sheet);

        // 15.
        book.save();
        app->quit();
        app.reset();
        host_.setBusyPointer(false);
        host_.setExecEnabled(true);
        dialogs.message(parent, kCompletionMessage, kGenerationTitle, MessageIcon::None);
        host_.setShowExcelEnabled(true);
        return RunOutcome::Completed;
    } catch (const Error& e) {
        lastErrorNumber_ = e.number();
        lastErrorDescription_ = e.description();
    } catch (const std::bad_alloc&) {
        lastErrorNumber_ = err::OutOfMemory;
        lastErrorDescription_ = QStringLiteral("out of memory");
    } catch (const std::exception& e) {
        lastErrorNumber_ = kErrInternal;
        lastErrorDescription_ = QString::fromLocal8Bit(e.what());
    }

    // The failure report: the message of the error's class, then the engine is shut
    // down without saving (the template copy stays on disk unfilled).
    const FailureMessage report = failureMessage(lastErrorNumber_, lastErrorDescription_);
    dialogs.message(parent, report.text, report.title, report.icon);
    if (app) {
        try {
            app->setDisplayAlerts(false);
            app->quit();
        } catch (const std::exception&) {
            // The engine is discarded below in any case.
        }
        app.reset();
    }
    host_.setExecEnabled(true);
    host_.setBusyPointer(false);
    if (report.endsProgram) {
        host_.writeSettings();
        host_.endProgram();
        return RunOutcome::ProgramEnds;
    }
    return RunOutcome::Failed;
}

} // namespace tav
