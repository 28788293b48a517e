#include "settings/profile_access.h"

#include "platform/profile_strings.h"

namespace tav {

void ProfileAccess(ProfileStrings& profiles, unsigned char mode, const QString& file,
                   const QString& section, std::vector<ProfileValue>& values) {
    switch (mode) {
    case ProfileRead:
        profiles.readValues(file, section, values, ProfileBufferBytes);
        break;
    case ProfileWrite:
        profiles.writeValues(file, section, values); // failures are silent by design
        break;
    default:
        break;
    }
}

QString ProfileAccess(ProfileStrings& profiles, unsigned char mode, const QString& file,
                      const QString& section, const QString& key, const QString& value) {
    std::vector<ProfileValue> values{{key, value}};
    ProfileAccess(profiles, mode, file, section, values);
    return mode == ProfileRead ? values.front().value : QString();
}

} // namespace tav
