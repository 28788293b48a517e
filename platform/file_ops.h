// File-system operations of the generation run and the preview: copying the template
// over the target, renaming image files without ever replacing another file, and the
// existence, size and date of a file.
//
// Every failure throws tav::Error with the classic error number (see platform/error.h)
// and a description naming the operation and the path.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace tav {

// Copies `source` to `target`, replacing a file of that name. Before anything is
// written the target is checked for an office suite's lock file beside it (see
// checkNotLockedByOfficeSuite): a workbook that is open elsewhere is not replaced.
// The copy is written to a temporary file in the target's folder and renamed over the
// target, so a failed copy leaves the old target as it was.
// Errors: 53 source missing, 76 target folder missing, 70 target read-only / folder
// not writable / locked, 61 disk full, 52 bad name.
void copyFileReplacing(const QString& source, const QString& target);

// Renames `from` to `to`. Never replaces an existing file: when `to` exists already
// the rename fails with 58 and both files stay as they were. Renaming a file to its
// own path succeeds and changes nothing.
// Errors: 58 target exists, 53 source missing, 76 folder missing, 70 permission,
// 52 bad name (for example a name that is too long).
void renameNoReplace(const QString& from, const QString& to);

// Throws 70 when an office suite holds the file `path` open: a lock file
// ".~lock.NAME#" (LibreOffice) or "~$NAME" (Microsoft Office) lies beside it.
void checkNotLockedByOfficeSuite(const QString& path);

// True when `path` names an existing regular file (symbolic links followed).
bool fileExists(const QString& path);

// Size in bytes and last modification time of the file. Throw the file errors.
std::int64_t fileSize(const QString& path);
QDateTime fileModified(const QString& path);

} // namespace tav
