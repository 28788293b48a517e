// The program's title and version, as the version window and the message boxes show them.
#pragma once

#include <QString>

namespace tav {

// Title of the program; also the title of every message box that has none of its own.
inline const QString kProgramTitle = QStringLiteral("Tavolin");

// Version of the program file (1.1.0.0 in its version record).
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 0;

} // namespace tav
