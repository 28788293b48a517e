// The generation run's host over the main window: the run reads the selection list and
// the controls of frmMain, makes each row current (the preview follows), lets the
// window process its events once per picture, shows its messages through the window's
// Dialogs and its progress in the window's progress bar.
//
// Usage (the handler of the create button, CmdExec):
//     WindowRunHost host(window);  // lives as long as the window
//     GenerationRun run(host);     // likewise: its guard ignores a second click
//     connect(window.createButton, &QPushButton::clicked,
//             [&] { run.start(readGenerationJob(window)); });
//     // CmdShowExcel shows host.resultWorkbookPath(), the last workbook a run completed
#pragma once

#include "generate/generation_host.h"

#include <QString>

namespace tav {

class MainWindow;

// The run's inputs as the window's controls hold them now: target folder and name,
// the layout buttons (OptList(1) first, then OptNoList(0..4), else OptListSelect(0..4)),
// the check boxes, the four document texts and the program folder.
GenerationJob readGenerationJob(MainWindow& window);

class WindowRunHost final : public GenerationHost {
public:
    explicit WindowRunHost(MainWindow& window) : window_(window) {}
    ~WindowRunHost() override;

    int rowCount() const override;
    QString rowPath(int row) const override;
    QString rowRotation(int row) const override;
    QString rowDisplayName(int row) const override;
    QString rowNote(int row) const override;
    void setRowPath(int row, const QString& path) override;
    void makeRowCurrent(int row) override;
    void processEvents() override;
    bool stopRequested() const override;
    Dialogs& dialogs() override;
    QWidget* dialogParent() override;
    void setBusyPointer(bool busy) override;
    void setStartEnabled(bool enabled) override;
    void setShowWorkbookEnabled(bool enabled) override;
    void setProgress(int done, int total) override;
    void setResultWorkbookPath(const QString& path) override { resultWorkbookPath_ = path; }
    // The window's shutdown writes the settings file first, then ends the program.
    void writeSettings() override {}
    void endProgram() override;

    // The workbook of the last run that completed (for CmdShowExcel); empty before.
    const QString& resultWorkbookPath() const { return resultWorkbookPath_; }

private:
    MainWindow& window_;
    QString resultWorkbookPath_;
    bool overrideCursor_ = false;
};

} // namespace tav
