#include "settings/settings_file.h"

#include "platform/paths.h"
#include "settings/profile_access.h"

namespace tav {

QString settingsFilePath(const QString& programFolder) {
    return joinPath(programFolder, QLatin1String(SettingsFileName));
}

namespace {

// The seven keys in table order, each with its value in `settings`.
std::vector<ProfileValue> keyValues(const Settings& settings) {
    std::vector<ProfileValue> values;
    for (const SettingsKey& key : SettingsKeys) {
        values.push_back({QLatin1String(key.name), settings.*key.field});
    }
    return values;
}

} // namespace

Settings LoadSettings(ProfileStrings& profiles, const QString& settingsFile) {
    std::vector<ProfileValue> values = keyValues(Settings()); // every default ""
    ProfileAccess(profiles, ProfileRead, settingsFile, QLatin1String(SettingsSection), values);
    Settings s;
    for (size_t i = 0; i < values.size(); ++i) {
        s.*SettingsKeys[i].field = values[i].value;
    }
    return s;
}

void SaveSettings(ProfileStrings& profiles, const QString& settingsFile, const Settings& settings) {
    std::vector<ProfileValue> values = keyValues(settings);
    ProfileAccess(profiles, ProfileWrite, settingsFile, QLatin1String(SettingsSection), values);
}

} // namespace tav
