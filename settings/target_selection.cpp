#include "settings/target_selection.h"

#include "platform/dialogs.h"

namespace tav {

QString targetFolderPrompt() {
    return QStringLiteral("Excelファイル収納フォルダーを指定してください");
}

TargetFolderChoice chooseTargetFolder(Dialogs& dialogs, QWidget* owner, const QString& targetFolder,
                                      const QString& browserFolder, bool folderFixed) {
    const QString initial = targetFolder.isEmpty() ? browserFolder : targetFolder;
    const QString chosen = dialogs.browseForFolder(owner, targetFolderPrompt(), initial);
    return {chosen, folderFixed || chosen != initial};
}

LayoutFamilyState layoutFamilyState(int familyIndex) {
    const bool withNotes = familyIndex == 0;
    return {withNotes, !withNotes, withNotes, !withNotes};
}

} // namespace tav
