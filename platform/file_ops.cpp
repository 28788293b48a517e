#include "platform/file_ops.h"

#include "platform/error.h"
#include "platform/office_lock.h"
#include "platform/paths.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tav {

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// A missing folder on the way to `path` is "path not found" (76); ENOENT from an open
// of the file itself would otherwise read as "file not found" (53).
void requireFolderOf(const QString& path, FileOperation operation) {
    struct stat st {};
    const QString folder = folderOf(path);
    if (::stat(native(folder).constData(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR) {
            throw Error(
                err::PathNotFound,
                failedOperation(operation, path, errorText(ErrorText::FolderMissing, folder)));
        }
        throwErrno(e, operation, path);
    }
    if (!S_ISDIR(st.st_mode)) {
        throw Error(err::PathNotFound,
                    failedOperation(operation, path, errorText(ErrorText::NotAFolder, folder)));
    }
}

} // namespace

TargetCheck checkTargetReplaceable(const QString& target) {
    const QString folder = folderOf(target);
    const QByteArray nativeFolder = native(folder);
    const auto problem = [](TargetProblem p, const QString& description) {
        return TargetCheck{p, description};
    };
    struct stat st {};
    if (::stat(nativeFolder.constData(), &st) != 0) {
        const int e = errno;
        if (e == EACCES) {
            return problem(TargetProblem::FolderNotWritable,
                           errorText(ErrorText::FolderNotEnterable, folder));
        }
        return problem(TargetProblem::FolderMissing, errorText(ErrorText::FolderMissing, folder));
    }
    if (!S_ISDIR(st.st_mode)) {
        return problem(TargetProblem::FolderMissing, errorText(ErrorText::NotAFolder, folder));
    }
    if (officeLockState(target) == OfficeLockState::InUse) {
        return problem(TargetProblem::InUse, errorText(ErrorText::OpenElsewhere, target));
    }
    struct statvfs volume {};
    if (::statvfs(nativeFolder.constData(), &volume) == 0 && (volume.f_flag & ST_RDONLY)) {
        return problem(TargetProblem::ReadOnlyMedium, errorText(ErrorText::ReadOnlyMedium, folder));
    }
    if (::access(nativeFolder.constData(), W_OK | X_OK) != 0) {
        const int e = errno;
        return problem(e == EROFS ? TargetProblem::ReadOnlyMedium
                                  : TargetProblem::FolderNotWritable,
                       errorText(ErrorText::FolderNotWritable, folder, osErrorText(e)));
    }
    const QByteArray nativeTarget = native(target);
    if (::stat(nativeTarget.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return problem(TargetProblem::TargetNotAFile, errorText(ErrorText::NotAFile, target));
        }
        // Marked read-only: refused even where the permission check lets the owner (or
        // root) through, as the desktop does; the rename that replaces the file would
        // otherwise succeed in a writable folder.
        if (::access(nativeTarget.constData(), W_OK) != 0 ||
            (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            return problem(TargetProblem::TargetReadOnly,
                           errorText(ErrorText::FileReadOnly, target));
        }
    }
    return {};
}

void renameNoReplace(const QString& from, const QString& to) {
    const FileOperation op = FileOperation::Rename;
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
                    failedOperation(op, from, errorText(ErrorText::RenameNameTaken, to)));
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
        throwErrno(errno, FileOperation::ReadDetails, path);
    }
    return static_cast<std::int64_t>(st.st_size);
}

QDateTime fileModified(const QString& path) {
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0) {
        throwErrno(errno, FileOperation::ReadDetails, path);
    }
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(st.st_mtim.tv_sec) * 1000 +
                                          st.st_mtim.tv_nsec / 1000000);
}

bool readUpTo(int fd, qsizetype limit, QByteArray& bytes) {
    bytes.resize(limit);
    qsizetype got = 0;
    bool ok = true;
    while (got < limit) {
        const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(limit - got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        got += n;
    }
    const int readError = errno;
    bytes.truncate(got);
    errno = readError;
    return ok;
}

} // namespace tav
