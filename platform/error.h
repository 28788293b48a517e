// Error numbers shared by every layer of Tavolin.
//
// Every layer reports a failure by throwing tav::Error, which carries one of the error
// numbers below, a description for the user and, for file errors, the errno. Callers
// that trap failures classify them by that number (the generation run's failure report
// also by where the run was and by the errno); the description is shown to the user
// verbatim in the generic report, so it is Japanese, built from the table of
// platform/error_texts.h. What only a developer needs (a decoder's own message, a record
// offset) goes into the detail.
#pragma once

#include "platform/error_texts.h"

#include <QString>

#include <exception>
#include <string>

namespace tav {

// The program's error numbers and their names, the one table of them: file errors with
// the classic numbers that errnoToErrorNumber() maps errno values to, and the numbers
// the run, the picture loader and the spreadsheet engine raise of their own.
namespace err {
inline constexpr int OutOfMemory = 7;
inline constexpr int SubscriptOutOfRange = 9; // the run's list row went while it yielded
inline constexpr int InternalError = 51;      // a failure that carries no number of its own
inline constexpr int BadFileName = 52;        // too long, invalid characters
inline constexpr int FileNotFound = 53;       // the file itself is missing
inline constexpr int FileAlreadyOpen = 55;    // busy, in use
inline constexpr int FileAlreadyExists = 58;  // rename target exists
inline constexpr int DiskFull = 61;
inline constexpr int DeviceUnavailable = 68; // volume gone, medium missing
inline constexpr int PermissionDenied = 70;  // or locked by an office suite
inline constexpr int PathFileAccess = 75;
inline constexpr int PathNotFound = 76;        // a folder of the path is missing
inline constexpr int CannotShowWorkbook = 429; // no program on the desktop can show it
inline constexpr int InvalidPicture = 481;
inline constexpr int EngineRefused = 1004; // the spreadsheet engine refused an operation
} // namespace err

class Error : public std::exception {
public:
    // `osError` is the errno value behind a file error (0 when there is none): the
    // number alone does not tell a read-only medium (EROFS) from a missing permission
    // (EACCES), and the failure report names them differently.
    Error(int number, QString description, int osError = 0)
        : Error(number, std::move(description), QString(), osError) {}
    Error(int number, QString description, QString detail, int osError = 0)
        : number_(number), osError_(osError), description_(std::move(description)),
          detail_(std::move(detail)),
          what_((detail_.isEmpty()
                     ? description_
                     : description_ + QStringLiteral(" [") + detail_ + QLatin1Char(']'))
                    .toStdString()) {}

    int number() const noexcept { return number_; }
    int osError() const noexcept { return osError_; }
    // For the user (Japanese).
    const QString& description() const noexcept { return description_; }
    // For a developer; may be empty.
    const QString& detail() const noexcept { return detail_; }
    // The description, then the detail in brackets.
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    int osError_;
    QString description_;
    QString detail_;
    std::string what_;
};

// Maps a POSIX errno value to the classic file error number above. Unknown values map
// to PathFileAccess.
int errnoToErrorNumber(int errnoValue) noexcept;

// Throws tav::Error for errnoValue (kept as its osError) with a description naming the
// operation, the path and the cause, e.g. "「/a/b.xls」を保存できません：権限がありません".
[[noreturn]] void throwErrno(int errnoValue, FileOperation operation, const QString& path);

} // namespace tav
