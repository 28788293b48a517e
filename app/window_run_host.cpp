#include "app/window_run_host.h"

#include "app/main_window.h"
#include "app/selection_list.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace tav {

namespace {

// The index of the checked button of a layout family, 0 when none is.
int checkedLayout(QRadioButton* const (&layouts)[5]) {
    for (int i = 0; i < 5; ++i) {
        if (layouts[i]->isChecked()) {
            return i;
        }
    }
    return 0;
}

} // namespace

GenerationJob readGenerationJob(MainWindow& w) {
    GenerationJob job;
    job.folder = w.targetFolderLabel->text();
    job.fileName = w.workbookNameEdit->text();
    if (w.layoutFamilyOptions[1]->isChecked()) {
        job.layout = {LayoutFamily::WithoutNotes, checkedLayout(w.withoutNotesLayoutOptions)};
    } else {
        job.layout = {LayoutFamily::WithNotes, checkedLayout(w.withNotesLayoutOptions)};
    }
    job.withCaptions = w.fileNameCheck->isChecked();
    job.captionsKeepExtension = w.extensionCheck->isChecked();
    job.renameToDisplayNames = w.renameFilesCheck->isChecked();
    job.fillEmptyNotesWithDateTaken = w.dateNotesCheck->isChecked();
    job.title = w.titleEdit->text();
    job.subject = w.subjectEdit->text();
    job.author = w.authorEdit->text();
    job.comment = w.commentEdit->text();
    job.programFolder = w.programFolder();
    return job;
}

WindowRunHost::~WindowRunHost() {
    if (overrideCursor_) {
        QApplication::restoreOverrideCursor();
    }
}

int WindowRunHost::rowCount() const {
    return window_.selectionList().rowCount();
}
QString WindowRunHost::rowPath(int row) const {
    return window_.selectionList().path(row);
}
QString WindowRunHost::rowRotation(int row) const {
    return window_.selectionList().rotation(row);
}
QString WindowRunHost::rowDisplayName(int row) const {
    return window_.selectionList().displayName(row);
}
QString WindowRunHost::rowNote(int row) const {
    return window_.selectionList().note(row);
}
void WindowRunHost::setRowPath(int row, const QString& path) {
    window_.selectionList().setPath(row, path);
}
void WindowRunHost::makeRowCurrent(int row) {
    window_.selectionList().makeCurrent(row);
}
void WindowRunHost::processEvents() {
    QCoreApplication::processEvents();
}
bool WindowRunHost::stopRequested() const {
    return window_.closeRequested();
}
Dialogs& WindowRunHost::dialogs() {
    return window_.dialogs();
}
QWidget* WindowRunHost::dialogParent() {
    return &window_;
}

void WindowRunHost::setBusyPointer(bool busy) {
    if (busy && !overrideCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        overrideCursor_ = true;
    } else if (!busy && overrideCursor_) {
        QApplication::restoreOverrideCursor();
        overrideCursor_ = false;
    }
}

void WindowRunHost::setStartEnabled(bool enabled) {
    window_.createButton->setEnabled(enabled);
}
void WindowRunHost::setShowWorkbookEnabled(bool enabled) {
    window_.showWorkbookButton->setEnabled(enabled);
}

void WindowRunHost::setProgress(int done, int total) {
    QProgressBar* bar = window_.progressBar;
    if (done < 0 || total <= 0) {
        bar->hide();
        return;
    }
    bar->setRange(0, total);
    bar->setValue(done);
    bar->setFormat(QStringLiteral("%v / %m"));
    bar->show();
}

void WindowRunHost::endProgram() {
    window_.shutdown();
}

} // namespace tav
