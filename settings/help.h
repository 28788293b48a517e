// The help button: the manual that ships beside the program, opened with the program the
// desktop associates with it.
#pragma once

#include "platform/shell.h"

#include <QString>

namespace tav {

// File name of the manual in the program folder.
inline const QString kHelpFileName = QStringLiteral("Tavolin.chm");

// Full path of the manual: the program folder with one separator added unless it
// already ends in one (the root "/" gives "/Tavolin.chm").
QString helpFilePath(const QString& programFolder);

// Hands the manual to `shell`. The outcome is not reported: when the file is missing or
// nothing opens it, nothing is shown.
void openHelpFile(const QString& programFolder, Shell& shell = defaultShell());

} // namespace tav
