// Test double for tav::ProfileStrings: values in memory, counted writes, and a switch
// that makes every write fail as on a read-only folder or a full disk.
#pragma once

#include "platform/profile_strings.h"

#include <QMap>
#include <QStringList>

namespace tav::testing {

class MemoryProfileStrings final : public ProfileStrings {
public:
    void readValues(const QString& file, const QString& section, std::vector<ProfileValue>& read,
                    int bufferBytes) override {
        for (ProfileValue& entry : read) {
            const auto it = values.constFind(name(file, section, entry.key));
            if (it != values.constEnd()) {
                entry.value = ini::fromCp932(ini::cutCp932(ini::toCp932(*it), bufferBytes - 1));
            }
        }
    }

    // Every key written counts as one write, in order.
    bool writeValues(const QString& file, const QString& section,
                     const std::vector<ProfileValue>& written) override {
        for (const ProfileValue& entry : written) {
            writes.push_back(name(file, section, entry.key) + QLatin1Char('=') + entry.value);
        }
        if (failWrites) {
            return false;
        }
        for (const ProfileValue& entry : written) {
            values.insert(name(file, section, entry.key), entry.value);
        }
        return true;
    }

    static QString name(const QString& file, const QString& section, const QString& key) {
        return file + QLatin1Char('|') + section.toLower() + QLatin1Char('|') + key.toLower();
    }

    QMap<QString, QString> values;
    QStringList writes;
    bool failWrites = false;
};

} // namespace tav::testing
