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

GenerationJob readGenerationJob(MainWindow& w) {
    GenerationJob job;
    job.folder = w.LblFolderName->text();
    job.fileName = w.txtExcelName->text();
    job.layout = {LayoutFamily::WithNotes, 0};
    if (w.OptList[1]->isChecked()) {
        job.layout.family = LayoutFamily::WithoutNotes;
        for (int i = 0; i < 5; ++i) {
            if (w.OptNoList[i]->isChecked()) {
                job.layout.index = i;
                break;
            }
        }
    } else {
        for (int i = 0; i < 5; ++i) {
            if (w.OptListSelect[i]->isChecked()) {
                job.layout.index = i;
                break;
            }
        }
    }
    job.withCaptions = w.ChkMakeFileName->isChecked();
    job.captionsKeepExtension = w.ChkMakeKaku->isChecked();
    job.renameToDisplayNames = w.ChkNameChange->isChecked();
    job.title = w.txtExcelTitle->text();
    job.subject = w.txtHyoudai->text();
    job.author = w.txtOwnerName->text();
    job.comment = w.txtComment->text();
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
    window_.CmdExec->setEnabled(enabled);
}
void WindowRunHost::setShowWorkbookEnabled(bool enabled) {
    window_.CmdShowExcel->setEnabled(enabled);
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
