// frmMain: the program's only main window. Every function is reached from its
// controls; closing it ends the program. The window owns the file browser, the
// selection list, the two row dialogs, the wait window and the Settings record, and
// offers its controls to the parts that work on them (generation run, preview,
// sample workbooks, help).
#pragma once

#include "settings/settings_file.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tav {

namespace xls {
class Application;
}

class BrowserFileSystem;
class Dialogs;
class ExtentListWidget;
class FileBrowser;
class FileList;
class AboutWindow;
class GenerationRun;
class WindowRunHost;
class NameDialog;
class PreviewPort;
class ProfileStrings;
class RoundDialog;
class SelectionList;
class WaitWindow;

// What the window needs from outside. Tests pass doubles and a temporary program
// folder; the program passes the real platform and the folder of its executable.
struct MainWindowEnvironment {
    Dialogs* dialogs = nullptr;
    BrowserFileSystem* fileSystem = nullptr;
    ProfileStrings* profiles = nullptr;
    QString programFolder; // folder of the program file, no trailing separator
    QString startFolder;   // the process's working folder
};

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowEnvironment& env, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Fills the window and restores the browser folder; stops silently at a failing
    // step (an unreadable stored volume first sends the browser to "/").
    void startUp();

    // Releases the spreadsheet application, writes the settings file and ends the
    // program. Runs once; `CmdEnd` and every way of closing the window come here. A
    // close while a run works first stops the run (closeRequested() turns true, the run
    // stops at its next step and leaves every file as it was), then shuts down.
    void shutdown();
    bool closeRequested() const { return closeRequested_; }

    // State shared with the other parts of the program.
    const QString& programFolder() const { return programFolder_; }
    bool folderFixed() const { return folderFixed_; }
    const Settings& settings() const { return settings_; }
    QString settingsFile() const;

    SelectionList& selectionList() { return *selection_; }
    FileBrowser& fileBrowser() { return *browser_; }
    Dialogs& dialogs() { return dialogs_; }
    NameDialog& nameDialog() { return *frmName_; }
    RoundDialog& roundDialog() { return *frmRound_; }
    WaitWindow& waitWindow() { return *frmWait_; }

    // The generation run behind CmdExec and its host over this window.
    GenerationRun& generationRun() { return *run_; }
    WindowRunHost& runHost() { return *runHost_; }

    // The spreadsheet application last created by a sample or result button (none
    // before); dropped at shutdown, while the program showing the workbook stays open.
    xls::Application* spreadsheetApp() const { return spreadsheetApp_.get(); }

    // The preview the window and the rotation dialog talk to. The window makes the
    // program's own; tests put a double in its place (not owned, may be null).
    void setPreview(PreviewPort* preview) { preview_ = preview; }
    PreviewPort* preview() const { return preview_; }

    // Controls read and written by other parts.
    QLabel* LblFolderName;
    QLineEdit* txtExcelName;
    QLineEdit* txtOwnerName;
    QLineEdit* txtExcelTitle;
    QLineEdit* txtHyoudai;
    QLineEdit* txtComment;
    QRadioButton* OptExcelNew;
    QRadioButton* OptExcelOld;
    QPushButton* CmdSelect;
    QPushButton* CmdSetFolder;
    QCheckBox* ChkReUse;
    QRadioButton* OptList[2];
    QRadioButton* OptListSelect[5];
    QRadioButton* OptNoList[5];
    QWidget* FramList;
    QWidget* FramNoList;
    QCheckBox* ChkMakePage;
    QCheckBox* ChkMakeKaku;
    QCheckBox* ChkMakeFileName;
    QCheckBox* ChkMakeTitle;
    QCheckBox* ChkNameChange;
    QPushButton* CmdList;
    QPushButton* CmdNoList;
    QPushButton* CmdExec;
    QPushButton* CmdShowExcel;
    QPushButton* CmdHelp;
    QPushButton* CmdVer;
    QPushButton* CmdEnd;
    QPushButton* CmdIn;
    QPushButton* CmdOut;
    QPushButton* CmdAllClear;
    QComboBox* Drive1;
    QListWidget* Dir1;
    FileList* File1;
    ExtentListWidget* lstGazoFile;
    ExtentListWidget* lstChk;
    ExtentListWidget* lst2ndName;
    QComboBox* CmbSun;
    QComboBox* CmbKaiten;
    QCheckBox* ChkStart;
    QRadioButton* Option1[3];
    QPlainTextEdit* txtTitle;
    QWidget* Picture1;
    QWidget* Picture2;
    QProgressBar* progressBar; // the generation run's progress; hidden while idle

signals:
    // Shutdown step 1: whoever holds the spreadsheet application drops it now.
    void releasing();
    // Shutdown step 3: the program ends (the application quits its event loop).
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildFileBrowser();
    void buildSelectionList();
    void buildPreview();
    void buildCommands();
    void buildWorkbookSettings();
    void buildPageLayout();
    void setTabOrderChain();
    void connectHandlers();

    void registerSelectedFiles();
    void onFolderChanged(const QString& folder);
    void onReUseClicked(bool checked);
    void onSetFolderClicked();
    void onOptListClicked(int index);
    void onRowChosen(int row);
    void onFileClicked();
    void onExecClicked();
    void onShowExcelClicked();
    // Ends the program without writing the settings file (after CmdShowExcel).
    void endWithoutSaving();
    // The last step of both ends: every window closes and the program ends.
    void endProgram();

    Dialogs& dialogs_;
    BrowserFileSystem& fileSystem_;
    ProfileStrings& profiles_;
    QString programFolder_;
    bool folderFixed_ = false;
    bool shutDown_ = false;
    bool closeRequested_ = false;
    Settings settings_;

    FileBrowser* browser_ = nullptr;
    SelectionList* selection_ = nullptr;
    NameDialog* frmName_ = nullptr;
    RoundDialog* frmRound_ = nullptr;
    WaitWindow* frmWait_ = nullptr;
    QButtonGroup* optListGroup_ = nullptr;
    std::unique_ptr<PreviewPort> ownPreview_;
    PreviewPort* preview_ = nullptr;
    std::unique_ptr<WindowRunHost> runHost_;
    std::unique_ptr<GenerationRun> run_;
    std::unique_ptr<xls::Application> spreadsheetApp_;
    QPointer<AboutWindow> about_;
};

} // namespace tav
