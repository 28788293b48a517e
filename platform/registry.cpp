#include "platform/registry.h"

#include "platform/replaceable_default.h"

#include <QFileInfo>

#include <utility>

namespace tav {

namespace {

// The one key this registry knows. Handles are never 0, so a zero handle is always
// invalid.
constexpr Registry::Key kSysInfoKeyHandle = 1;

} // namespace

SystemInfoRegistry::SystemInfoRegistry() : candidates_(defaultCandidates()) {}

SystemInfoRegistry::SystemInfoRegistry(QStringList candidates)
    : candidates_(std::move(candidates)) {}

QStringList SystemInfoRegistry::defaultCandidates() {
    return {
        QStringLiteral("/usr/bin/hardinfo"),
        QStringLiteral("/usr/bin/kinfocenter"),
        QStringLiteral("/usr/bin/gnome-system-monitor"),
        QStringLiteral("/usr/bin/mate-system-monitor"),
        QStringLiteral("/usr/bin/xfce4-taskmanager"),
        QStringLiteral("/usr/bin/lxtask"),
    };
}

QString SystemInfoRegistry::installedTool() const {
    for (const QString& candidate : candidates_) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) {
            return candidate;
        }
    }
    return {};
}

bool SystemInfoRegistry::openKey(RegistryRoot root, const QString& keyPath, std::uint32_t,
                                 Key& key) {
    key = 0;
    if (root != RegistryRoot::LocalMachine ||
        keyPath.compare(kSysInfoPathKey, Qt::CaseInsensitive) != 0 || installedTool().isEmpty()) {
        return false;
    }
    key = kSysInfoKeyHandle;
    ++openKeys_;
    return true;
}

bool SystemInfoRegistry::queryValue(Key key, const QString& valueName, int capacity,
                                    std::uint32_t& type, QByteArray& data) {
    type = 0;
    data.clear();
    if (key != kSysInfoKeyHandle ||
        valueName.compare(kSysInfoPathValue, Qt::CaseInsensitive) != 0) {
        return false;
    }
    const QString tool = installedTool();
    if (tool.isEmpty()) {
        return false;
    }
    QByteArray bytes = tool.toLocal8Bit();
    bytes.append('\0');
    if (bytes.size() > capacity) {
        return false;
    }
    type = reg::TypeString;
    data = std::move(bytes);
    return true;
}

void SystemInfoRegistry::closeKey(Key key) {
    if (key == kSysInfoKeyHandle && openKeys_ > 0) {
        --openKeys_;
    }
}

namespace {
ReplaceableDefault<Registry, SystemInfoRegistry> g_registry;
}

Registry& defaultRegistry() {
    return g_registry.get();
}

void setDefaultRegistry(Registry* registry) {
    g_registry.replace(registry);
}

} // namespace tav
