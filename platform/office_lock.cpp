#include "platform/office_lock.h"

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/paths.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tav {

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

const QString kOwnProfile = QStringLiteral("tavolin:pid=");

QString hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return QString::fromLocal8Bit(name);
}

QString userName() {
    if (const passwd* pw = ::getpwuid(::geteuid())) {
        return QString::fromLocal8Bit(pw->pw_name);
    }
    return QString::number(::geteuid());
}

// LibreOffice escapes its separators "," and ";" and the escape "\" with a "\".
QString escaped(const QString& field) {
    QString out;
    for (const QChar c : field) {
        if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char(';')) {
            out += QLatin1Char('\\');
        }
        out += c;
    }
    return out;
}

// The five fields of a lock line, or nothing when it is not one.
std::optional<QStringList> parseLockLine(const QByteArray& line) {
    const QString text = QString::fromUtf8(line);
    QStringList fields;
    QString field;
    bool escape = false;
    for (const QChar c : text) {
        if (escape) {
            field += c;
            escape = false;
        } else if (c == QLatin1Char('\\')) {
            escape = true;
        } else if (c == QLatin1Char(',') || c == QLatin1Char(';')) {
            fields << field;
            field.clear();
            if (c == QLatin1Char(';')) {
                break;
            }
        } else {
            field += c;
        }
    }
    if (fields.size() != 5) {
        return std::nullopt;
    }
    return fields;
}

QByteArray readAtMost(int fd, qsizetype limit) {
    QByteArray bytes;
    readUpTo(fd, limit, bytes); // what a failed read leaves is judged like a short file
    return bytes;
}

bool sameFile(int fd, const QString& path) {
    struct stat a {};
    struct stat b {};
    return ::fstat(fd, &a) == 0 && ::lstat(native(path).constData(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

enum class Found { Nothing, Foreign, OursWorking, OursLeft };

// What the lock file at `lock` is. A lock file of ours that a killed run left is
// removed when `removeLeft` asks for it; the flock taken to prove the run gone is held
// until then, so no other run can take the name in between.
Found inspectLock(const QString& lock, bool removeLeft) {
    Fd fd(::open(native(lock).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        // Gone in the meantime, or a lock we may not read (a symbolic link, another
        // user's file): what cannot be read cannot be proven ours.
        return errno == ENOENT ? Found::Nothing : Found::Foreign;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Found::Foreign;
    }
    const std::optional<QStringList> fields = parseLockLine(readAtMost(fd.get(), 4096));
    if (!fields || !fields->at(4).startsWith(kOwnProfile)) {
        return Found::Foreign;
    }
    if (fields->at(2) != hostName()) {
        return Found::OursWorking; // a run on another machine: cannot be checked from here
    }
    bool gone = false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        gone = true;
    } else if (errno != EWOULDBLOCK) {
        // The file system keeps no flock: ask whether the process is still there.
        bool ok = false;
        const int pid = fields->at(4).mid(kOwnProfile.size()).toInt(&ok);
        gone = ok && pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
    }
    if (!gone) {
        return Found::OursWorking;
    }
    if (removeLeft && sameFile(fd.get(), lock)) {
        ::unlink(native(lock).constData());
    }
    return Found::OursLeft;
}

void writeAll(int fd, const QByteArray& bytes, const QString& path) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(errno, FileOperation::Lock, path);
        }
        done += n;
    }
}

constexpr int kTaken = -1;  // a lock file of that name exists already
constexpr int kNoName = -2; // the file system cannot hold the lock file's name

// Creates the lock file with its line already in it: written under a temporary name
// and linked to the lock name, which fails when the name is taken. A kill at any moment
// leaves either no lock file or a complete one. File systems without hard links get
// an exclusive create and then the line.
int createLockFile(const QString& lock, const QString& workbook) {
    const QByteArray line = lockFileLine();
    QByteArray temporary = native(temporaryNameTemplate(lock));
    Fd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENAMETOOLONG) {
            return kNoName;
        }
        throwErrno(errno, FileOperation::Lock, workbook);
    }
    try {
        ::fchmod(fd.get(), newFilePermissions());
        writeAll(fd.get(), line, workbook);
        ::flock(fd.get(), LOCK_EX | LOCK_NB); // a fresh file: nobody else holds it
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
    const int linked = ::link(temporary.constData(), native(lock).constData());
    const int e = errno;
    ::unlink(temporary.constData());
    if (linked == 0) {
        return fd.release();
    }
    if (e == EEXIST || e == ENOENT) {
        return kTaken; // ENOENT: a starting run swept our temporary file away; try again
    }
    if (e == ENAMETOOLONG) {
        return kNoName;
    }
    if (e != EPERM && e != EOPNOTSUPP && e != ENOSYS && e != EMLINK) {
        throwErrno(e, FileOperation::Lock, workbook);
    }
    Fd direct(::open(native(lock).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                     newFilePermissions()));
    if (direct.get() < 0) {
        if (errno == EEXIST) {
            return kTaken;
        }
        throwErrno(errno, FileOperation::Lock, workbook);
    }
    ::flock(direct.get(), LOCK_EX | LOCK_NB);
    try {
        writeAll(direct.get(), line, workbook);
    } catch (...) {
        ::unlink(native(lock).constData());
        throw;
    }
    return direct.release();
}

[[noreturn]] void inUse(const QString& path, const QString& lock) {
    throw Error(err::PermissionDenied, errorText(ErrorText::OpenElsewhereLock, path, lock));
}

} // namespace

QString libreOfficeLockPath(const QString& path) {
    return joinPath(folderOf(path),
                    QStringLiteral(".~lock.") + fileNameOf(path) + QLatin1Char('#'));
}

QString msOfficeLockPath(const QString& path) {
    return joinPath(folderOf(path), QStringLiteral("~$") + fileNameOf(path));
}

QByteArray lockFileLine() {
    const QStringList fields{
        QStringLiteral("Tavolin"), userName(), hostName(),
        QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm")),
        kOwnProfile + QString::number(::getpid())};
    QStringList escapedFields;
    for (const QString& field : fields) {
        escapedFields << escaped(field);
    }
    return (escapedFields.join(QLatin1Char(',')) + QLatin1Char(';')).toUtf8();
}

OfficeLockState officeLockState(const QString& path) {
    struct stat st {};
    if (::lstat(native(msOfficeLockPath(path)).constData(), &st) == 0) {
        return OfficeLockState::InUse;
    }
    switch (inspectLock(libreOfficeLockPath(path), false)) {
    case Found::Nothing:
        return OfficeLockState::Free;
    case Found::OursLeft:
        return OfficeLockState::LeftByKilled;
    case Found::Foreign:
    case Found::OursWorking:
        break;
    }
    return OfficeLockState::InUse;
}

std::unique_ptr<WorkbookLock> WorkbookLock::acquire(const QString& path) {
    const QString lock = libreOfficeLockPath(path);
    struct stat st {};
    if (::lstat(native(msOfficeLockPath(path)).constData(), &st) == 0) {
        inUse(path, msOfficeLockPath(path));
    }
    // A few rounds: each one either takes the name, or removes a lock a killed run left,
    // or finds the workbook in use.
    for (int round = 0; round < 4; ++round) {
        const int fd = createLockFile(lock, path);
        if (fd >= 0) {
            // Temporary lock files of killed runs; ours has been linked and removed.
            removeLeftoverTemporaries(lock);
            return std::unique_ptr<WorkbookLock>(new WorkbookLock(lock, fd));
        }
        if (fd == kNoName) {
            return std::unique_ptr<WorkbookLock>(new WorkbookLock(lock, -1));
        }
        const Found found = inspectLock(lock, true);
        if (found == Found::Foreign || found == Found::OursWorking) {
            inUse(path, lock);
        }
    }
    inUse(path, lock);
}

WorkbookLock::~WorkbookLock() {
    if (fd_ >= 0) {
        if (sameFile(fd_, lockPath_)) {
            ::unlink(native(lockPath_).constData());
        }
        ::close(fd_);
    }
}

} // namespace tav
