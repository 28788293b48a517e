#include "platform/browser_file_system.h"

#include "platform/error.h"

#include <QFile>
#include <QStorageInfo>

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

QStringList LocalFileSystem::volumes() {
    QStringList roots;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady()) {
            continue;
        }
        const QString root = v.rootPath();
        if (root == QLatin1String("/") || isSystemMount(root) || roots.contains(root)) {
            continue;
        }
        roots.push_back(root);
    }
    sortNames(roots);
    roots.prepend(QStringLiteral("/"));
    return roots;
}

FolderListing LocalFileSystem::list(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    std::unique_ptr<DIR, DirCloser> dir(opendir(native.constData()));
    if (!dir) {
        const int e = errno;
        if (e == ENOENT && onUnmountedRemovable(folder, volumes())) {
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
