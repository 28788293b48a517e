// The program's title, version, icon and font, as its windows and message boxes show them.
#pragma once

#include "platform/dialogs.h"

#include <QFont>
#include <QIcon>
#include <QString>

namespace tav {

// The program's title is kProgramTitle (platform/dialogs.h), the title of its messages.

// Version of the program file (1.1.0.0 in its version record).
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 0;

// The program's icon (compiled into the program).
QIcon programIcon();

// The font of the program's windows: a Japanese Gothic face at 12 pixels.
QFont programFont();

} // namespace tav
