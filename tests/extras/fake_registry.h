// A registry held in memory: keys with string (or other) values, and a count of the keys
// that were opened and not closed again.
#pragma once

#include "platform/registry.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <utility>

namespace tav::testing {

class FakeRegistry final : public Registry {
public:
    struct Value {
        std::uint32_t type = reg::TypeString;
        QByteArray data;
    };

    // A string value stored as the registry stores it: bytes and a terminating zero.
    void setString(const QString& keyPath, const QString& valueName, const QString& text) {
        QByteArray bytes = text.toLocal8Bit();
        bytes.append('\0');
        setRaw(keyPath, valueName, reg::TypeString, bytes);
    }
    void setRaw(const QString& keyPath, const QString& valueName, std::uint32_t type,
                QByteArray data) {
        keys_[keyPath.toLower()][valueName.toLower()] = Value{type, std::move(data)};
    }
    // A key that exists without values.
    void addKey(const QString& keyPath) { keys_[keyPath.toLower()]; }

    bool openKey(RegistryRoot root, const QString& keyPath, std::uint32_t access,
                 Key& key) override {
        ++openCalls;
        lastAccess = access;
        key = 0;
        if (root != RegistryRoot::LocalMachine || !keys_.contains(keyPath.toLower())) {
            return false;
        }
        handles_.push_back(keyPath.toLower());
        key = Key(handles_.size());
        ++openKeys;
        return true;
    }

    bool queryValue(Key key, const QString& valueName, int capacity, std::uint32_t& type,
                    QByteArray& data) override {
        lastCapacity = capacity;
        if (key == 0 || key > Key(handles_.size())) {
            return false;
        }
        const auto& values = keys_[handles_[int(key) - 1]];
        const auto it = values.find(valueName.toLower());
        if (it == values.end() || it->data.size() > capacity) {
            return false;
        }
        type = it->type;
        data = it->data;
        return true;
    }

    void closeKey(Key key) override {
        if (key != 0) {
            --openKeys;
        }
    }

    int openCalls = 0;
    int openKeys = 0;
    std::uint32_t lastAccess = 0;
    int lastCapacity = 0;

private:
    QMap<QString, QMap<QString, Value>> keys_;
    QList<QString> handles_;
};

} // namespace tav::testing
