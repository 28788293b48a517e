#include "settings/settings_file.h"

#include "platform/paths.h"
#include "platform/profile_strings.h"

#include <iterator>
#include <limits>

namespace tav {

QString settingsFilePath(const QString& programFolder) {
    return joinPath(programFolder, QLatin1String(SettingsFileName));
}

QString exactValueKey(const char* key) {
    return QLatin1String(key) + QLatin1String(ExactValueSuffix);
}

bool storedExactly(const QString& value) {
    // Only what the format changes counts here, not the cut of a long value by the read
    // buffer: the exact value is cut the same way when it is read.
    return ini::readBack(value, std::numeric_limits<int>::max()) == value;
}

QString encodeExactValue(const QString& value) {
    // Everything but letters, digits and a few marks is escaped, so that neither the
    // file's code page, nor the trimming of blanks, nor quotes can change the value.
    return QString::fromLatin1(value.toUtf8().toPercentEncoding("/:,()[]!$&*+;=@_~-."));
}

QString decodeExactValue(const QString& stored) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(stored.toLatin1()));
}

QString exactValueFor(const QString& stored, const QString& exact) {
    if (exact.isEmpty() || ini::readBack(exact, ValueBufferBytes) != stored) {
        // No exact value, or one an older program left behind when it rewrote the key.
        return stored;
    }
    // The exact value, cut where the read buffer cuts the stored one: CP932 gives each
    // character its own bytes ('?' for one it cannot hold), so the characters that fill
    // the buffer are found by counting.
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < exact.size()) {
        const qsizetype length = exact[end].isHighSurrogate() && end + 1 < exact.size() ? 2 : 1;
        bytes += ini::toCp932(exact.mid(end, length)).size();
        if (bytes > ValueBufferBytes - 1) {
            break;
        }
        end += length;
    }
    return exact.left(end);
}

namespace {

QString section() {
    return QLatin1String(SettingsSection);
}

// The exact values as stored (escaped), "" for keys that have none.
std::vector<ProfileValue> readExactValues(ProfileStrings& profiles, const QString& settingsFile) {
    std::vector<ProfileValue> exact;
    for (const SettingsKey& key : SettingsKeys) {
        exact.push_back({exactValueKey(key.name), QString()});
    }
    profiles.readValues(settingsFile, section(), exact, ExactValueBufferBytes);
    return exact;
}

} // namespace

Settings loadSettings(ProfileStrings& profiles, const QString& settingsFile) {
    std::vector<ProfileValue> values;
    for (const SettingsKey& key : SettingsKeys) {
        values.push_back({QLatin1String(key.name), QString()}); // every default ""
    }
    profiles.readValues(settingsFile, section(), values, ValueBufferBytes);
    const std::vector<ProfileValue> exact = readExactValues(profiles, settingsFile);
    Settings s;
    for (size_t i = 0; i < values.size(); ++i) {
        s.*SettingsKeys[i].field = exactValueFor(values[i].value, decodeExactValue(exact[i].value));
    }
    return s;
}

void saveSettings(ProfileStrings& profiles, const QString& settingsFile, const Settings& settings) {
    const std::vector<ProfileValue> before = readExactValues(profiles, settingsFile);
    std::vector<ProfileValue> values;
    std::vector<ProfileValue> exact;
    for (size_t i = 0; i < std::size(SettingsKeys); ++i) {
        const SettingsKey& key = SettingsKeys[i];
        const QString& value = settings.*key.field;
        values.push_back({QLatin1String(key.name), value});
        if (!storedExactly(value)) {
            exact.push_back({exactValueKey(key.name), encodeExactValue(value)});
        } else if (!before[i].value.isEmpty()) {
            exact.push_back({exactValueKey(key.name), QString()}); // the old one is void
        }
    }
    values.insert(values.end(), exact.begin(), exact.end());
    profiles.writeValues(settingsFile, section(), values); // a failure leaves the file as it was
}

} // namespace tav
