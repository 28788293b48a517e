// File-system operations of the generation run and the preview: whether a workbook can
// be written at its target, renaming image files without ever replacing another file,
// and the existence, size and date of a file.
//
// Every failure throws tav::Error with the classic error number (see platform/error.h)
// and a description naming the operation and the path.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace tav {

// Why a workbook cannot be written at `target`, found before anything is written.
enum class TargetProblem {
    None,
    FolderMissing,     // the target's folder (or one on the way to it) does not exist
    InUse,             // an office suite or a working run holds it open (lock file)
    ReadOnlyMedium,    // the folder lies on a file system mounted read-only
    FolderNotWritable, // no permission to create files in the folder
    TargetNotAFile,    // a folder or something else that is no file bears the name
    TargetReadOnly,    // the existing file may not be written (permissions, read-only mark)
};

struct TargetCheck {
    TargetProblem problem = TargetProblem::None;
    QString description; // names the path; empty when there is no problem
    explicit operator bool() const { return problem != TargetProblem::None; }
};

// Checks, in the order above, that a new workbook can replace `target` (or be created
// there). A lock file of ours that a killed run left does not count as "in use".
TargetCheck checkTargetReplaceable(const QString& target);

// Renames `from` to `to`. Never replaces an existing file: when `to` exists already
// the rename fails with 58 and both files stay as they were. Renaming a file to its
// own path succeeds and changes nothing.
// Errors: 58 target exists, 53 source missing, 76 folder missing, 70 permission,
// 52 bad name (for example a name that is too long).
void renameNoReplace(const QString& from, const QString& to);

// True when `path` names an existing regular file (symbolic links followed).
bool fileExists(const QString& path);

// Size in bytes and last modification time of the file. Throw the file errors.
std::int64_t fileSize(const QString& path);
QDateTime fileModified(const QString& path);

// Reads the open file `fd` into `bytes` until `limit` bytes or the file's end, retrying
// interrupted reads. False, with errno set, when a read fails; `bytes` then holds what
// was read before.
bool readUpTo(int fd, qsizetype limit, QByteArray& bytes);

} // namespace tav
