// The report of a failed generation run. An error is told apart by its number and by
// where the run was when it arose: a missing file is the template's problem when the
// template is read, a photo's when a photo is read. Two tables in failure_report.cpp
// decide everything: which class an error belongs to, and each class's message.
//
// Usage (the run's trap):
//     catch (const Error& e) {
//         const RunFailure failure = classifyFailure(FailureSite::Picture, e, path);
//         const FailureMessage m = failureMessage(failure);
//         dialogs.message(parent, m.text, m.title, m.icon);
//     }
#pragma once

#include "platform/dialogs.h"

#include <QString>
#include <QStringList>

namespace tav {

class Error;
enum class TargetProblem;

// Title of the run's completion and failure messages.
inline const QString kGenerationTitle = QStringLiteral("Tavolin、画像ファイル生成");

enum class FailureClass {
    TargetOpen,      // the target workbook is open or locked elsewhere (ends the program)
    TemplateMissing, // ExcelBook.org is missing beside the program
    TargetFolderMissing,
    TargetFolderNotWritable,
    ReadOnlyMedium,
    TargetReadOnly,
    DiskFull,
    PicturesUnusable,   // photos missing, unreadable or not pictures (each one named)
    RenameRefused,      // no permission to rename a photo
    RenameTargetExists, // a file of the new name exists already
    Other,              // the number and the description
};

// Where the run was when the error arose.
enum class FailureSite {
    Template, // reading ExcelBook.org
    Target,   // checking, locking or writing the target workbook
    Picture,  // reading a photo
    Rename,   // renaming a photo to its display name
    Engine,   // anything the spreadsheet engine refused
};

// A failure ready for the report.
struct RunFailure {
    FailureClass failureClass = FailureClass::Other;
    int number = 0;
    QString description;
    QString subject;         // the file (or for folder classes the target) the message names
    QStringList details;     // PicturesUnusable: one line per photo, "path：reason"
    QStringList notRestored; // renames that could not be undone, "new → old"
};

// The class of an error raised at `site`; `subject` is the file the site works on.
RunFailure classifyFailure(FailureSite site, const Error& error, const QString& subject);
// The class of an error that only has a number (an error of the engine).
FailureClass classifyFailure(int number);
// The class of a problem the target check found up front.
FailureClass classifyTargetProblem(TargetProblem problem);

// One line of the PicturesUnusable message: the photo and why it cannot be used.
QString pictureProblemLine(const QString& path, const Error& error);
// The same for a photo whose file name is not valid UTF-8 (the list shows it with
// replacement characters, and no file of that spelling exists).
QString pictureNameProblemLine(const QString& path);

struct FailureMessage {
    FailureClass failureClass = FailureClass::Other;
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    bool endsProgram = false; // the message announces "本ソフトを終了します。"
};

FailureMessage failureMessage(const RunFailure& failure);
// The message for an error number and its description, classified by number alone.
FailureMessage failureMessage(int number, const QString& description);

} // namespace tav
