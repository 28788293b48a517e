// Where the workbook goes: the folder browser behind the target folder's "設定"
// button, and the switch between the two layout families.
#pragma once

#include <QString>

class QWidget;

namespace tav {

class Dialogs;

// The prompt of the folder browser.
QString targetFolderPrompt();

struct TargetFolderChoice {
    QString folder;   // the target folder, as the label LblFolderName shows it
    bool folderFixed; // new value of folderFixed
};

// Runs the folder browser for the target folder. It opens on the current target
// folder, or on the file browser's folder while no target folder is shown. A result
// other than the folder it opened on fixes the target folder; cancelling keeps it.
TargetFolderChoice chooseTargetFolder(Dialogs& dialogs, QWidget* owner, const QString& targetFolder,
                                      const QString& browserFolder, bool folderFixed);

// Which controls of the two layout families are available once family `familyIndex` is
// chosen (0: with a notes column, 1: without, as the buttons OptList(0) and OptList(1)).
struct LayoutFamilyState {
    bool withNotesSampleEnabled;     // the sample with a notes column (CmdList)
    bool withoutNotesSampleEnabled;  // the sample without one (CmdNoList)
    bool withNotesLayoutsEnabled;    // the layouts with a notes column (FramList)
    bool withoutNotesLayoutsEnabled; // the layouts without one (FramNoList)
};
LayoutFamilyState layoutFamilyState(int familyIndex);

} // namespace tav
