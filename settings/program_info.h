// The program's title and version, as the version window and the message boxes show them,
// and how files beside the program are addressed.
#pragma once

#include <QString>

namespace tav {

// Title of the program; also the title of every message box that has none of its own.
inline const QString kProgramTitle = QStringLiteral("Tavolin");

// Version of the program file (1.1.0.0 in its version record).
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 0;

// `folder` and `fileName` joined by one separator; a folder that already ends in "/",
// such as the root, gets none added.
inline QString fileInFolder(const QString& folder, const QString& fileName) {
    if (folder.endsWith(QLatin1Char('/'))) {
        return folder + fileName;
    }
    return folder + QLatin1Char('/') + fileName;
}

} // namespace tav
