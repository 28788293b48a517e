#include "settings/help.h"

#include "platform/paths.h"

namespace tav {

QString helpFilePath(const QString& programFolder) {
    return joinPath(programFolder, kHelpFileName);
}

void openHelpFile(const QString& programFolder, Shell& shell) {
    // The desktop tells of failures on its own terms, if at all; the program stays quiet.
    (void)shell.openDocument(helpFilePath(programFolder));
}

} // namespace tav
