// ProfileAccess: the one way the program reads and writes its settings file.
#pragma once

#include "platform/profile_strings.h"

#include <QString>

#include <vector>

namespace tav {

// Reads or writes one value of a profile-strings file, like a fixed-buffer wrapper
// around the platform's profile functions.
//   mode 1: returns the value of `key` in `section` of `file`, `value` being the
//           default for a missing file, section or key. At most 1022 bytes (CP932)
//           come back; a longer stored value is cut on a character boundary.
//   mode 2: writes `value` under `key` and returns an empty string. A file that cannot
//           be written is left as it was; the failure is not reported.
//   any other mode: does nothing and returns an empty string.
QString ProfileAccess(ProfileStrings& profiles, unsigned char mode, const QString& file,
                      const QString& section, const QString& key, const QString& value);

// The same for several keys of one section at once, so that the file is read, or
// replaced, once. Mode 1 replaces each entry's value (its default) by the stored one;
// mode 2 writes every entry in order; any other mode does nothing.
void ProfileAccess(ProfileStrings& profiles, unsigned char mode, const QString& file,
                   const QString& section, std::vector<ProfileValue>& values);

inline constexpr unsigned char ProfileRead = 1;
inline constexpr unsigned char ProfileWrite = 2;

// Read buffer of mode 1 in bytes, including the terminating zero.
inline constexpr int ProfileBufferBytes = 1023;

} // namespace tav
