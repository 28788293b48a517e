// frmMain: the program's only main window. Every function is reached from its
// controls; closing it ends the program. The window owns the file browser, the
// selection list, the two row dialogs, the wait window and the Settings record, and
// offers its controls to the parts that work on them (generation run, preview,
// sample workbooks, help).
#pragma once

#include "preview/preview_controls.h"
#include "settings/settings_file.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
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
class ExtentListView;
class FileBrowser;
class FileList;
class AboutWindow;
class GenerationRun;
class ListActions;
class WindowRunHost;
class NameDialog;
class NoteDialog;
class PreviewPort;
class ProfileStrings;
class RotationDialog;
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
    NameDialog& nameDialog() { return *nameDialog_; }
    RotationDialog& rotationDialog() { return *rotationDialog_; }
    NoteDialog& noteDialog() { return *noteDialog_; }
    ListActions& listActions() { return *listActions_; }
    WaitWindow& waitWindow() { return *waitWindow_; }

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

    // The window's controls, read and written by other parts; each comment gives the
    // control's objectName (docs/overview.md lists them all).

    // The file browser.
    QComboBox* driveList;    // Drive1
    QListWidget* folderList; // Dir1
    FileList* fileList;      // File1

    // The selection list and its buttons.
    QPushButton* addButton;          // CmdIn
    QPushButton* removeButton;       // CmdOut
    QPushButton* clearButton;        // CmdAllClear
    ExtentListView* pathList;        // lstGazoFile
    ExtentListView* rotationList;    // lstChk
    ExtentListView* displayNameList; // lst2ndName
    QCheckBox* renameFilesCheck;     // ChkNameChange
    // Ordering, undo and the list file, beside the lists and under the run's buttons.
    QPushButton* moveUpButton;   // CmdMoveUp
    QPushButton* moveDownButton; // CmdMoveDown
    QPushButton* undoButton;     // CmdUndo
    QPushButton* redoButton;     // CmdRedo
    QPushButton* sortButton;     // CmdSort
    QPushButton* saveListButton; // CmdSaveList
    QPushButton* openListButton; // CmdOpenList
    QCheckBox* dateNotesCheck;   // ChkDateNote: empty notes print the date taken

    // The preview pane: the view (Picture1) and the controls the preview drives.
    QWidget* previewView;
    PreviewControls previewControls;

    // The run and the program's buttons.
    QPushButton* createButton;       // CmdExec
    QPushButton* showWorkbookButton; // CmdShowExcel
    QProgressBar* progressBar;       // progressBar: the run's progress; hidden while idle
    QPushButton* helpButton;         // CmdHelp
    QPushButton* aboutButton;        // CmdVer
    QPushButton* quitButton;         // CmdEnd

    // The workbook: target folder, file and document properties.
    QCheckBox* recallSettingsCheck;       // ChkReUse
    QLabel* targetFolderLabel;            // LblFolderName
    QPushButton* targetFolderButton;      // CmdSetFolder
    QRadioButton* newWorkbookOption;      // OptExcelNew
    QLineEdit* workbookNameEdit;          // txtExcelName
    QRadioButton* existingWorkbookOption; // OptExcelOld
    QPushButton* chooseWorkbookButton;    // CmdSelect
    QLineEdit* authorEdit;                // txtOwnerName
    QLineEdit* titleEdit;                 // txtExcelTitle
    QLineEdit* subjectEdit;               // txtHyoudai
    QLineEdit* commentEdit;               // txtComment

    // The page layout: the two families, their layouts and the captions.
    QRadioButton* layoutFamilyOptions[2];       // OptList(0) with notes, OptList(1) without
    QPushButton* withNotesSampleButton;         // CmdList
    QPushButton* withoutNotesSampleButton;      // CmdNoList
    QGroupBox* withNotesFrame;                  // FramList
    QGroupBox* withoutNotesFrame;               // FramNoList
    QRadioButton* withNotesLayoutOptions[5];    // OptListSelect(0..4)
    QRadioButton* withoutNotesLayoutOptions[5]; // OptNoList(0..4)
    QCheckBox* pageTitleCheck;                  // ChkMakeTitle
    QCheckBox* pageNumbersCheck;                // ChkMakePage
    QCheckBox* fileNameCheck;                   // ChkMakeFileName
    QCheckBox* extensionCheck;                  // ChkMakeKaku

signals:
    // The first thing shutdown does: whoever holds the spreadsheet application drops it.
    void releasing();
    // The last thing shutdown does, after the settings file is written: the program ends
    // (the application quits its event loop).
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildFileBrowser();
    void buildSelectionList();
    void buildListCommands();
    void connectListCommands();
    void buildPreview();
    void buildCommands();
    void buildWorkbookSettings();
    void buildPageLayout();
    void setTabOrderChain();
    void connectHandlers();
    // The start-up's fresh state of the preview's texts and combo boxes, and of the
    // workbook's fields (the stored values come back only on recall).
    void resetPreviewControls();
    void clearWorkbookFields();

    void registerSelectedFiles();
    void onFolderChanged(const QString& folder);
    void onRecallClicked(bool checked);
    void onTargetFolderClicked();
    void onLayoutFamilyClicked(int index);
    void onRowChosen(int row);
    void onFileClicked();
    void onCreateClicked();
    void onShowWorkbookClicked();
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
    NameDialog* nameDialog_ = nullptr;
    RotationDialog* rotationDialog_ = nullptr;
    NoteDialog* noteDialog_ = nullptr;
    ListActions* listActions_ = nullptr;
    WaitWindow* waitWindow_ = nullptr;
    QButtonGroup* layoutFamilyGroup_ = nullptr;
    std::unique_ptr<PreviewPort> ownPreview_;
    PreviewPort* preview_ = nullptr;
    std::unique_ptr<WindowRunHost> runHost_;
    std::unique_ptr<GenerationRun> run_;
    std::unique_ptr<xls::Application> spreadsheetApp_;
    QPointer<AboutWindow> about_;
};

} // namespace tav
