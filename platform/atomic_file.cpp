#include "platform/atomic_file.h"

#include "platform/error.h"
#include "platform/paths.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tav {

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

const QString kMarker = QStringLiteral(".tavolin-");

// "." + NAME + ".tavolin-", the part of a temporary name before its six unique
// characters. A name too long for the whole to fit the 255 bytes a file name may have is
// cut and followed by a digest of the full name, so different long names stay apart.
QString temporaryStem(const QString& target) {
    constexpr qsizetype kMaxName = 255;
    const QString name = fileNameOf(target);
    const qsizetype overhead = 1 + kMarker.size() + 6;
    if (native(name).size() + overhead <= kMaxName) {
        return QLatin1Char('.') + name + kMarker;
    }
    QString cut;
    for (const QChar c : name) {
        if (native(cut + c).size() > 200 || c.isHighSurrogate()) {
            break;
        }
        cut += c;
    }
    const QByteArray digest =
        QCryptographicHash::hash(native(name), QCryptographicHash::Sha1).toHex().left(8);
    return QLatin1Char('.') + cut + QLatin1Char('~') + QString::fromLatin1(digest) + kMarker;
}

// The permissions of the file that `target` replaces, or those of a new file.
mode_t modeForNewFile(const QString& target) {
    struct stat old {};
    if (::stat(native(target).constData(), &old) == 0) {
        return old.st_mode & 07777;
    }
    return newFilePermissions();
}

class LocalPendingFile final : public PendingFile {
public:
    explicit LocalPendingFile(const QString& target) : target_(target) {
        const QString folder = folderOf(target);
        QByteArray name = native(temporaryNameTemplate(target));
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0) {
            const int e = errno;
            if (e == ENOENT || e == ENOTDIR) {
                throw Error(err::PathNotFound,
                            failedOperation(FileOperation::Save, target,
                                            errorText(ErrorText::FolderMissing, folder)),
                            e);
            }
            throwErrno(e, FileOperation::Save, target);
        }
        temporary_ = QFile::decodeName(name);
        // mkostemp creates the file private; give it the mode the target has.
        if (::fchmod(fd_, modeForNewFile(target)) != 0) {
            const int e = errno;
            abandon();
            throwErrno(e, FileOperation::Save, target);
        }
    }
    ~LocalPendingFile() override { abandon(); }

    void write(const QByteArray& bytes) override { writeAll(bytes, std::nullopt); }

    void writeAt(qint64 offset, const QByteArray& bytes) override { writeAll(bytes, offset); }

    void commit() override {
        requireOpen();
        if (::fsync(fd_) != 0 && errno != EINVAL) {
            throwErrno(errno, FileOperation::Save, target_);
        }
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            throwErrno(errno, FileOperation::Save, target_);
        }
        if (::rename(native(temporary_).constData(), native(target_).constData()) != 0) {
            throwErrno(errno, FileOperation::Save, target_);
        }
        committed_ = true;
        // The new directory entry reaches the disk too; a folder that cannot be
        // synced (some network file systems) still holds the renamed file.
        const int folder =
            ::open(native(folderOf(target_)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }

    void abandon() noexcept override {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (!committed_ && !temporary_.isEmpty()) {
            ::unlink(native(temporary_).constData());
            temporary_.clear();
        }
    }

    QString targetPath() const override { return target_; }
    QString temporaryPath() const override { return temporary_; }

private:
    // Writes every byte at the file's position, or from `offset` on without moving it.
    void writeAll(const QByteArray& bytes, std::optional<qint64> offset) {
        requireOpen();
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const auto size = static_cast<size_t>(left);
            const ssize_t n =
                offset ? ::pwrite(fd_, data, size, *offset) : ::write(fd_, data, size);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throwErrno(errno, FileOperation::Save, target_);
            }
            data += n;
            left -= n;
            if (offset) {
                *offset += n;
            }
        }
    }

    void requireOpen() const {
        if (fd_ < 0) {
            throw Error(err::PathFileAccess,
                        failedOperation(FileOperation::Save, target_,
                                        errorText(ErrorText::TemporaryFileClosed)));
        }
    }

    QString target_;
    QString temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

class LocalFileWriter final : public FileWriter {
public:
    std::unique_ptr<PendingFile> create(const QString& target) override {
        return std::make_unique<LocalPendingFile>(target);
    }
};

} // namespace

mode_t newFilePermissions() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

FileWriter& localFileWriter() {
    static LocalFileWriter writer;
    return writer;
}

void writeFileAtomically(FileWriter& writer, const QString& path, const QByteArray& bytes) {
    const std::unique_ptr<PendingFile> file = writer.create(path);
    file->write(bytes);
    file->commit();
}

QString temporaryNameTemplate(const QString& target) {
    return joinPath(folderOf(target), temporaryStem(target) + QStringLiteral("XXXXXX"));
}

QString temporaryNamePattern(const QString& target) {
    return QLatin1Char('^') + QRegularExpression::escape(temporaryStem(target)) +
           QStringLiteral("[A-Za-z0-9]{6}$");
}

int removeLeftoverTemporaries(const QString& target) {
    const QString folder = folderOf(target);
    const QRegularExpression pattern(temporaryNamePattern(target));
    DIR* dir = ::opendir(native(folder).constData());
    if (!dir) {
        return 0;
    }
    int removed = 0;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!pattern.match(name).hasMatch()) {
            continue;
        }
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid() && ::unlinkat(dirFd, entry->d_name, 0) == 0) {
            ++removed;
        }
    }
    ::closedir(dir);
    return removed;
}

} // namespace tav
