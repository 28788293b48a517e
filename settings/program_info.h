// The program's title and version, as the version window and the message boxes show them.
#pragma once

#include "platform/dialogs.h"

#include <QString>

namespace tav {

// The program's title is kProgramTitle (platform/dialogs.h), the title of its messages.

// Version of the program file (1.1.0.0 in its version record).
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 0;

} // namespace tav
