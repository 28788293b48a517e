#include "settings/settings_file.h"

#include "platform/paths.h"
#include "settings/profile_access.h"

namespace tav {

QString settingsFilePath(const QString& programFolder) {
    return joinPath(programFolder, QLatin1String(SettingsFileName));
}

Settings LoadSettings(ProfileStrings& profiles, const QString& settingsFile) {
    Settings s;
    for (const SettingsKey& key : SettingsKeys) {
        s.*key.field =
            ProfileAccess(profiles, ProfileRead, settingsFile, QLatin1String(SettingsSection),
                          QLatin1String(key.name), QString());
    }
    return s;
}

void SaveSettings(ProfileStrings& profiles, const QString& settingsFile, const Settings& settings) {
    for (const SettingsKey& key : SettingsKeys) {
        ProfileAccess(profiles, ProfileWrite, settingsFile, QLatin1String(SettingsSection),
                      QLatin1String(key.name), settings.*key.field);
    }
}

} // namespace tav
