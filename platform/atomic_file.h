// Replacing a file by new content without ever leaving half of it. The content goes
// into a temporary file beside the target; only a complete, flushed file is renamed
// over the target (commit). A write that fails, or a pending file that is dropped
// without commit, removes its temporary file and leaves the target as it was.
//
// Usage:
//     std::unique_ptr<tav::PendingFile> file = writer.create(path); // temp beside path
//     file->write(bytes);                                          // as often as needed
//     file->writeAt(0, header);                                    // completes a header
//     file->commit();   // fsync the file, rename it over path, fsync the folder
//     // a PendingFile destroyed before commit() abandons itself
//
// The temporary file of target "/f/NAME" is "/f/.NAME.tavolin-XXXXXX" (a long NAME is
// shortened and marked with a digest of the whole name), so that the leftovers of a
// writer that was killed can be found again by removeLeftoverTemporaries().
//
// Errors throw tav::Error with the classic file numbers and the errno as osError:
// 76 folder missing, 70 permission or read-only medium (EACCES / EROFS), 61 disk full.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

#include <sys/types.h>

namespace tav {

// One replacement of a target file in progress.
class PendingFile {
public:
    virtual ~PendingFile() = default;
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Appends `bytes` to the temporary file.
    virtual void write(const QByteArray& bytes) = 0;
    // Overwrites bytes already written, from `offset` on (a header completed once the
    // content after it is known). `offset + bytes.size()` must not pass the end.
    virtual void writeAt(qint64 offset, const QByteArray& bytes) = 0;
    // Makes the written content the target's, atomically. After a failure the target
    // is unchanged and the pending file can only be abandoned.
    virtual void commit() = 0;
    // Removes the temporary file (nothing happens after a commit). Never fails.
    virtual void abandon() noexcept = 0;

    virtual QString targetPath() const = 0;
    virtual QString temporaryPath() const = 0;
};

// Creates pending files. The program writes through localFileWriter(); tests pass a
// writer that fails where they want it to (platform/testing/failing_file_writer.h).
class FileWriter {
public:
    virtual ~FileWriter() = default;
    // A new, empty temporary file in the folder of `target`, with the permissions the
    // target has (or those of a new file). The target itself is not touched.
    virtual std::unique_ptr<PendingFile> create(const QString& target) = 0;
};

// Temporary files on the local file system (POSIX).
FileWriter& localFileWriter();

// Writes `bytes` to `path` through `writer`: create, write, commit.
void writeFileAtomically(FileWriter& writer, const QString& path, const QByteArray& bytes);

// The permissions a new file of this process gets: 0666 less the umask. (The umask can
// only be read by setting it; it is set back at once.)
mode_t newFilePermissions();

// The file name pattern of the temporary files for `target`, as a regular expression
// over names in the target's folder.
QString temporaryNamePattern(const QString& target);
// The template for mkstemp(): the temporary name with "XXXXXX" in place of the six
// characters that make it unique.
QString temporaryNameTemplate(const QString& target);

// Removes the temporary files for `target` that a killed writer left behind: regular
// files of this process's user whose name fits temporaryNamePattern(target). Call it
// only while no other writer can be working on `target` (the run holds the target's
// lock). Returns how many were removed; failures to remove are passed over.
int removeLeftoverTemporaries(const QString& target);

} // namespace tav
