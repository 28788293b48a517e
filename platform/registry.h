// Reading string values from the system registry, as the version window does to find the
// system-information tool.
//
// The interface keeps the registry's own shape (open a key, query a value into a buffer
// of fixed size, close the key) so that callers can keep their open/close discipline and
// tests can check it. Linux has no registry: SystemInfoRegistry answers the two entries
// that record the system-information tool from a list of such programs installed on the
// machine, and reports every other key as missing.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace tav {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

namespace reg {
inline constexpr std::uint32_t AllAccess = 0x2003F; // KEY_ALL_ACCESS
inline constexpr std::uint32_t TypeString = 1;      // REG_SZ
inline constexpr int ValueBufferBytes = 1024;
} // namespace reg

class Registry {
public:
    using Key = std::uintptr_t;

    virtual ~Registry() = default;

    // Opens `keyPath` (backslash-separated, compared ignoring letter case) under `root`.
    // On success stores a handle in `key` that must be given back to closeKey().
    virtual bool openKey(RegistryRoot root, const QString& keyPath, std::uint32_t access,
                         Key& key) = 0;

    // Reads the value `valueName` of an open key: its type and its raw bytes, string
    // values including their terminating zero byte. Fails when the value is missing or
    // its data does not fit into `capacity` bytes.
    virtual bool queryValue(Key key, const QString& valueName, int capacity, std::uint32_t& type,
                            QByteArray& data) = 0;

    virtual void closeKey(Key key) = 0;
};

// Where the system-information tool is recorded. Location 1 holds the tool's full path,
// location 2 the folder that holds kSysInfoFileName.
inline const QString kSysInfoPathKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
inline const QString kSysInfoPathValue = QStringLiteral("PATH");
inline const QString kSysInfoFolderKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
inline const QString kSysInfoFolderValue = QStringLiteral("MSINFO");
inline const QString kSysInfoFileName = QStringLiteral("MSINFO32.EXE");

// The registry of this platform. Under HKEY_LOCAL_MACHINE the key of location 1 exists
// when one of `candidates` is an executable file; its "PATH" value is the first such
// program, as a zero-terminated string in the local 8-bit encoding. The key of
// location 2 does not exist here (no folder holds the tool under its Windows name), and
// neither does any other key.
class SystemInfoRegistry final : public Registry {
public:
    SystemInfoRegistry();                                // the usual desktop tools
    explicit SystemInfoRegistry(QStringList candidates); // tests: own list

    // The system-information programs looked for, in order of preference.
    static QStringList defaultCandidates();

    bool openKey(RegistryRoot root, const QString& keyPath, std::uint32_t access,
                 Key& key) override;
    bool queryValue(Key key, const QString& valueName, int capacity, std::uint32_t& type,
                    QByteArray& data) override;
    void closeKey(Key key) override;

    // Keys opened and not yet closed.
    int openKeys() const { return openKeys_; }

private:
    QString installedTool() const;

    QStringList candidates_;
    int openKeys_ = 0;
};

// The registry used by code that is not handed one. Tests replace it with
// setDefaultRegistry(); nullptr restores SystemInfoRegistry.
Registry& defaultRegistry();
void setDefaultRegistry(Registry* registry);

} // namespace tav
