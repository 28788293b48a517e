#include "platform/browser_file_system.h"

#include "platform/error.h"

#include <QFile>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSet>

#include <condition_variable>
#include <mutex>
#include <sys/statvfs.h>
#include <thread>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace tav {

namespace {

// Mount points of the system's own pseudo file systems: never shown as drives.
bool isSystemMount(const QString& root) {
    static const char* const prefixes[] = {"/proc", "/sys", "/dev", "/run", "/boot/efi"};
    if (root.startsWith(QLatin1String("/run/media/"))) {
        return false;
    }
    for (const char* prefix : prefixes) {
        const QLatin1String p(prefix);
        if (root == p || root.startsWith(p + QLatin1Char('/'))) {
            return true;
        }
    }
    return false;
}

// A path under one of the folders where removable media get mounted, while no volume
// is mounted there: its medium has been removed.
bool onUnmountedRemovable(const QString& path, const QStringList& volumes) {
    static const char* const places[] = {"/media/", "/run/media/", "/mnt/"};
    for (const char* place : places) {
        if (path.startsWith(QLatin1String(place))) {
            return volumeOf(path, volumes) == QLatin1String("/");
        }
    }
    return false;
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

} // namespace

void sortNames(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

QString volumeOf(const QString& path, const QStringList& volumes) {
    QString best = QStringLiteral("/");
    for (const QString& root : volumes) {
        const bool holds =
            path == root || root == QLatin1String("/") || path.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > best.size()) {
            best = root;
        }
    }
    return best;
}

QStringList userMountPoints(const QByteArray& mountInfo) {
    static const QSet<QByteArray> pseudoTypes{
        "autofs", "binfmt_misc", "bpf",      "cgroup",     "cgroup2",    "configfs",  "debugfs",
        "devpts", "devtmpfs",    "efivarfs", "fusectl",    "hugetlbfs",  "mqueue",    "nsfs",
        "proc",   "pstore",      "ramfs",    "rpc_pipefs", "securityfs", "selinuxfs", "squashfs",
        "sysfs",  "tmpfs",       "tracefs",  "overlay"};
    QStringList points;
    for (const QByteArray& line : mountInfo.split('\n')) {
        // id parent major:minor root mount-point options [optional fields] - type source ...
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-");
        if (fields.size() < 5 || separator < 0 || separator + 1 >= fields.size()) {
            continue;
        }
        if (pseudoTypes.contains(fields[separator + 1])) {
            continue;
        }
        // Blanks, tabs, line breaks and backslashes in a mount point are written as octal
        // escapes.
        QByteArray point;
        const QByteArray& raw = fields[4];
        for (qsizetype i = 0; i < raw.size(); ++i) {
            bool octal = false;
            const int code =
                i + 3 < raw.size() && raw[i] == '\\' ? raw.mid(i + 1, 3).toInt(&octal, 8) : 0;
            if (octal) {
                point += char(code);
                i += 3;
            } else {
                point += raw[i];
            }
        }
        const QString root = QFile::decodeName(point);
        if (root == QLatin1String("/") || isSystemMount(root) || points.contains(root)) {
            continue;
        }
        points.push_back(root);
    }
    return points;
}

struct VolumeProbe::State {
    std::mutex mutex;
    std::condition_variable answered;
    QHash<QString, bool> answers; // the roots asked in the current round
    QSet<QString> open;           // roots whose question has not been answered yet
};

VolumeProbe::VolumeProbe(Probe probe, std::chrono::milliseconds limit)
    : probe_(std::move(probe)), limit_(limit), state_(std::make_shared<State>()) {}

QStringList VolumeProbe::ready(const QStringList& roots) {
    const auto deadline = std::chrono::steady_clock::now() + limit_;
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->answers.clear();
    QStringList asked;
    for (const QString& root : roots) {
        if (state_->open.contains(root)) {
            continue; // still hanging since an earlier round: not ready
        }
        state_->open.insert(root);
        asked.push_back(root);
        // The thread keeps the state alive; it may outlive this call, and the program.
        std::thread([state = state_, probe = probe_, root] {
            const bool ok = probe(root);
            const std::lock_guard<std::mutex> guard(state->mutex);
            state->open.remove(root);
            state->answers.insert(root, ok);
            state->answered.notify_all();
        }).detach();
    }
    state_->answered.wait_until(lock, deadline, [&] {
        for (const QString& root : asked) {
            if (!state_->answers.contains(root)) {
                return false;
            }
        }
        return true;
    });
    QStringList out;
    for (const QString& root : roots) {
        if (state_->answers.value(root, false)) {
            out.push_back(root);
        }
    }
    return out;
}

namespace {

QByteArray readMountInfo() {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool volumeIsReady(const QString& root) {
    struct statvfs st {};
    return ::statvfs(QFile::encodeName(root).constData(), &st) == 0 && st.f_blocks > 0;
}

// A volume answers at once unless it hangs; the window waits no longer than this.
constexpr std::chrono::milliseconds kVolumeAnswerLimit(700);

} // namespace

LocalFileSystem::LocalFileSystem() : probe_(volumeIsReady, kVolumeAnswerLimit) {}

LocalFileSystem::~LocalFileSystem() = default;

void LocalFileSystem::watch(const QString& folder, std::function<void()> changed) {
    changed_ = std::move(changed);
    if (!watcher_) {
        watcher_ = std::make_unique<QFileSystemWatcher>();
        QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, watcher_.get(),
                         [this] {
                             if (changed_) {
                                 changed_();
                             }
                         });
    }
    const QStringList watched = watcher_->directories();
    if (watched == QStringList{folder}) {
        return;
    }
    if (!watched.isEmpty()) {
        watcher_->removePaths(watched);
    }
    if (!folder.isEmpty()) {
        watcher_->addPath(folder); // a folder that cannot be watched is simply not followed
    }
}

QStringList LocalFileSystem::volumes() {
    QStringList roots = probe_.ready(userMountPoints(readMountInfo()));
    sortNames(roots);
    roots.prepend(QStringLiteral("/"));
    return roots;
}

FolderListing LocalFileSystem::list(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    std::unique_ptr<DIR, DirCloser> dir(opendir(native.constData()));
    if (!dir) {
        const int e = errno;
        // The mount table alone tells whether a volume is mounted there; no volume is
        // asked anything.
        if (e == ENOENT && onUnmountedRemovable(folder, userMountPoints(readMountInfo()))) {
            throw Error(err::DeviceUnavailable, errorText(ErrorText::VolumeNotMounted, folder));
        }
        if (e == ENOENT || e == ENOTDIR) {
            throw Error(err::PathNotFound, errorText(ErrorText::FolderMissing, folder));
        }
        throwErrno(e, FileOperation::ReadFolder, folder);
    }
    FolderListing listing;
    for (;;) {
        errno = 0; // readdir reports an error only through errno
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            break;
        }
        const QString name = QFile::decodeName(entry->d_name);
        if (name.startsWith(QLatin1Char('.'))) {
            continue;
        }
        bool isDir = entry->d_type == DT_DIR;
        bool isFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st {};
            const QByteArray full = native + (native.endsWith('/') ? "" : "/") + entry->d_name;
            if (stat(full.constData(), &st) != 0) {
                continue; // a dangling link
            }
            isDir = S_ISDIR(st.st_mode);
            isFile = S_ISREG(st.st_mode);
        }
        if (isDir) {
            listing.folders.push_back(name);
        } else if (isFile) {
            listing.files.push_back(name);
        }
    }
    if (errno != 0) {
        throwErrno(errno, FileOperation::ReadFolder, folder);
    }
    sortNames(listing.folders);
    sortNames(listing.files);
    return listing;
}

} // namespace tav
