// What the file browser of the main window needs from the file system: the mounted
// volumes ("drives") and the subfolders and files of one folder.
#pragma once

#include <QString>
#include <QStringList>

class QFileSystemWatcher;

#include <chrono>
#include <functional>
#include <memory>

namespace tav {

struct FolderListing {
    QStringList folders; // names of the subfolders, sorted by name
    QStringList files;   // names of the files, sorted by name
};

class BrowserFileSystem {
public:
    virtual ~BrowserFileSystem() = default;

    // Root paths of the mounted volumes that are ready to be read, "/" first. May take a
    // moment (each volume is asked); the file browser asks when its drive list opens, not
    // on every change of folder.
    virtual QStringList volumes() = 0;

    // The contents of `folder` (an absolute path). Throws tav::Error: 68 when the
    // folder's volume cannot be read (medium missing, device gone), 76 when the folder
    // does not exist, 70 when it may not be read.
    virtual FolderListing list(const QString& folder) = 0;

    // Calls `changed` (on the thread of the caller, from its event loop) whenever the
    // contents of `folder` may have changed: files copied in, renamed or removed. One
    // folder is watched at a time; another call replaces it, an empty folder stops
    // watching. Changes come in bursts: the caller gathers them.
    virtual void watch(const QString& folder, std::function<void()> changed) {
        (void)folder;
        (void)changed;
    }
};

// Asks volumes whether they are ready, each on a thread of its own, and waits for the
// answers at most a given time: a volume that does not answer by then (a hung network
// mount) counts as not ready, and while its question is still open it is not asked
// again. The window never waits longer than the limit.
class VolumeProbe {
public:
    using Probe = std::function<bool(const QString& root)>;
    VolumeProbe(Probe probe, std::chrono::milliseconds limit);

    // The roots of `roots` that answered ready within the limit, in their order.
    QStringList ready(const QStringList& roots);

private:
    struct State;
    Probe probe_;
    std::chrono::milliseconds limit_;
    std::shared_ptr<State> state_;
};

// The real file system: the mount table for the volumes, POSIX directory reading.
// Hidden entries (names starting with a dot) are left out.
class LocalFileSystem final : public BrowserFileSystem {
public:
    LocalFileSystem();
    ~LocalFileSystem() override;
    QStringList volumes() override;
    FolderListing list(const QString& folder) override;
    // Through QFileSystemWatcher (inotify).
    void watch(const QString& folder, std::function<void()> changed) override;

private:
    VolumeProbe probe_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
    std::function<void()> changed_;
};

// The mount points of `mountInfo` (the text of /proc/self/mountinfo) that can hold the
// user's files: no pseudo file systems, none of the system's own mounts, each once, in
// the table's order.
QStringList userMountPoints(const QByteArray& mountInfo);

// Names sorted the way the browser shows them: ignoring letter case, ties broken by
// the exact text so the order is stable.
void sortNames(QStringList& names);

// The volume (from `volumes`) that holds `path`: the longest root that is `path`
// itself or one of its parent folders; "/" when none is.
QString volumeOf(const QString& path, const QStringList& volumes);

} // namespace tav
