// Test double for tav::ProfileStrings: values in memory, counted writes, and a switch
// that makes every write fail as on a read-only folder or a full disk.
#pragma once

#include "platform/profile_strings.h"

#include <QMap>
#include <QStringList>

namespace tav::testing {

class MemoryProfileStrings final : public ProfileStrings {
public:
    QString read(const QString& file, const QString& section, const QString& key,
                 const QString& fallback, int bufferBytes) override {
        const auto it = values.constFind(name(file, section, key));
        if (it == values.constEnd()) {
            return fallback;
        }
        return ini::fromCp932(ini::cutCp932(ini::toCp932(*it), bufferBytes - 1));
    }

    bool write(const QString& file, const QString& section, const QString& key,
               const QString& value) override {
        writes.push_back(name(file, section, key) + QLatin1Char('=') + value);
        if (failWrites) {
            return false;
        }
        values.insert(name(file, section, key), value);
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
