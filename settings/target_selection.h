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
    QString folder;   // new caption of LblFolderName
    bool folderFixed; // new value of folderFixed
};

// Runs the folder browser for the target folder. It opens on the current target
// folder, or on the file browser's folder while no target folder is shown. A result
// other than the folder it opened on fixes the target folder; cancelling keeps it.
TargetFolderChoice chooseTargetFolder(Dialogs& dialogs, QWidget* owner, const QString& targetFolder,
                                      const QString& browserFolder, bool folderFixed);

// Which controls of the two layout families are available after OptList(index).
struct LayoutFamilyState {
    bool cmdList;    // sample with notes column
    bool cmdNoList;  // sample without notes column
    bool framList;   // layouts with notes column
    bool framNoList; // layouts without notes column
};
LayoutFamilyState layoutFamilyState(int optListIndex);

} // namespace tav
