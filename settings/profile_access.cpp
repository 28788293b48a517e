#include "settings/profile_access.h"

#include "platform/profile_strings.h"

namespace tav {

QString ProfileAccess(ProfileStrings& profiles, unsigned char mode, const QString& file,
                      const QString& section, const QString& key, const QString& value) {
    switch (mode) {
    case ProfileRead:
        return profiles.read(file, section, key, value, ProfileBufferBytes);
    case ProfileWrite:
        profiles.write(file, section, key, value); // failures are silent by design
        return QString();
    default:
        return QString();
    }
}

} // namespace tav
