#include "platform/file_ops.h"

#include "platform/error.h"
#include "platform/paths.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tav {

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return QStringLiteral(".");
    }
    if (slash == 0) {
        return QStringLiteral("/");
    }
    return path.left(slash);
}

QString nameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// A missing folder on the way to `path` is "path not found" (76); ENOENT from an open
// of the file itself would otherwise read as "file not found" (53).
void requireFolderOf(const QString& path, const QString& operation) {
    struct stat st {};
    const QString folder = folderOf(path);
    if (::stat(native(folder).constData(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR) {
            throw Error(
                err::PathNotFound,
                QStringLiteral("%1 '%2': folder '%3' does not exist").arg(operation, path, folder));
        }
        throwErrno(e, operation, path);
    }
    if (!S_ISDIR(st.st_mode)) {
        throw Error(err::PathNotFound,
                    QStringLiteral("%1 '%2': '%3' is not a folder").arg(operation, path, folder));
    }
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

void writeAll(int fd, const char* data, ssize_t size, const QString& target) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(errno, QStringLiteral("copy to"), target);
        }
        data += n;
        size -= n;
    }
}

} // namespace

void checkNotLockedByOfficeSuite(const QString& path) {
    const QString folder = folderOf(path);
    const QString name = nameOf(path);
    const QString candidates[] = {
        joinPath(folder, QStringLiteral(".~lock.") + name + QLatin1Char('#')),
        joinPath(folder, QStringLiteral("~$") + name)};
    for (const QString& lock : candidates) {
        struct stat st {};
        if (::lstat(native(lock).constData(), &st) == 0) {
            throw Error(
                err::PermissionDenied,
                QStringLiteral("'%1' is open in another program (lock file '%2')").arg(path, lock));
        }
    }
}

void copyFileReplacing(const QString& source, const QString& target) {
    const QString op = QStringLiteral("copy to");
    Fd in(::open(native(source).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        throwErrno(errno, QStringLiteral("copy from"), source);
    }
    struct stat sst {};
    if (::fstat(in.get(), &sst) != 0) {
        throwErrno(errno, QStringLiteral("copy from"), source);
    }
    if (!S_ISREG(sst.st_mode)) {
        throw Error(err::FileNotFound,
                    QStringLiteral("copy from '%1': not a regular file").arg(source));
    }

    requireFolderOf(target, op);
    checkNotLockedByOfficeSuite(target);

    // An existing target that may not be written is not replaced behind its owner's back
    // (the rename below would otherwise succeed in a writable folder).
    struct stat tst {};
    const bool targetExisted = ::stat(native(target).constData(), &tst) == 0;
    if (targetExisted) {
        if (S_ISDIR(tst.st_mode)) {
            throw Error(err::PathFileAccess,
                        QStringLiteral("copy to '%1': is a folder").arg(target));
        }
        if (::access(native(target).constData(), W_OK) != 0) {
            throwErrno(errno, op, target);
        }
        // Marked read-only: refused even where the permission check lets the owner
        // (or root) through, as the desktop does.
        if ((tst.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            throw Error(err::PermissionDenied,
                        QStringLiteral("copy to '%1': the file is read-only").arg(target));
        }
    }

    QByteArray temp = native(folderOf(target) + QStringLiteral("/.tavolin-copy-XXXXXX"));
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0) {
        throwErrno(errno, op, target);
    }
    try {
        char buffer[1 << 16];
        for (;;) {
            const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throwErrno(errno, QStringLiteral("copy from"), source);
            }
            if (n == 0) {
                break;
            }
            writeAll(out.get(), buffer, n, target);
        }
        // mkostemp creates the file private; give it the mode a plain copy would get.
        mode_t mode = 0;
        if (targetExisted) {
            mode = tst.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(out.get(), mode) != 0) {
            throwErrno(errno, op, target);
        }
        if (::fsync(out.get()) != 0 && errno != EINVAL) {
            throwErrno(errno, op, target);
        }
        if (::close(out.release()) != 0) {
            throwErrno(errno, op, target);
        }
        if (::rename(temp.constData(), native(target).constData()) != 0) {
            throwErrno(errno, op, target);
        }
    } catch (...) {
        ::unlink(temp.constData());
        throw;
    }
}

void renameNoReplace(const QString& from, const QString& to) {
    const QString op = QStringLiteral("rename");
    if (from == to) {
        struct stat st {};
        if (::stat(native(from).constData(), &st) != 0) {
            throwErrno(errno, op, from);
        }
        return; // renaming a file to its own path changes nothing
    }
    const QByteArray a = native(from);
    const QByteArray b = native(to);
    struct stat sa {};
    if (::lstat(a.constData(), &sa) != 0) {
        throwErrno(errno, op, from);
    }
    requireFolderOf(to, op);

    // The same file under another spelling (a case-insensitive volume): a plain rename
    // changes the spelling and cannot lose another file.
    struct stat sb {};
    if (::lstat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) {
        if (::rename(a.constData(), b.constData()) != 0) {
            throwErrno(errno, op, from);
        }
        return;
    }

    const auto exists = [&]() {
        throw Error(err::FileAlreadyExists,
                    QStringLiteral("rename '%1' to '%2': a file of that name exists already")
                        .arg(from, to));
    };
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0) {
        return;
    }
    int e = errno;
    if (e == EEXIST) {
        exists();
    }
    if (e != EINVAL && e != ENOSYS && e != EOPNOTSUPP) {
        throwErrno(e, op, from);
    }
    // The volume does not know RENAME_NOREPLACE: a hard link fails when the name is
    // taken, then the old name goes.
    if (::link(a.constData(), b.constData()) == 0) {
        if (::unlink(a.constData()) != 0) {
            e = errno;
            ::unlink(b.constData());
            throwErrno(e, op, from);
        }
        return;
    }
    e = errno;
    if (e == EEXIST) {
        exists();
    }
    if (e != EPERM && e != EOPNOTSUPP && e != EXDEV) {
        throwErrno(e, op, from);
    }
    // No hard links either (FAT volumes): check, then rename. A file appearing between
    // the two calls is the only case left unguarded.
    if (::lstat(b.constData(), &sb) == 0) {
        exists();
    }
    if (::rename(a.constData(), b.constData()) != 0) {
        throwErrno(errno, op, from);
    }
}

bool fileExists(const QString& path) {
    struct stat st {};
    return ::stat(native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

std::int64_t fileSize(const QString& path) {
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0) {
        throwErrno(errno, QStringLiteral("size of"), path);
    }
    return static_cast<std::int64_t>(st.st_size);
}

QDateTime fileModified(const QString& path) {
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0) {
        throwErrno(errno, QStringLiteral("date of"), path);
    }
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(st.st_mtim.tv_sec) * 1000 +
                                          st.st_mtim.tv_nsec / 1000000);
}

} // namespace tav
