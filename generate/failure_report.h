// The report of a failed generation run: the error is told apart by its number, and
// each class has its own message.
#pragma once

#include "platform/dialogs.h"

#include <QString>

namespace tav {

// Title of the run's completion and failure messages.
inline const QString kGenerationTitle = QStringLiteral("Tavolin、画像ファイル生成");

enum class FailureClass {
    TargetOpen,       // 70: the target workbook is open elsewhere
    TemplateMissing,  // 53, 55, 76: a file or folder is missing or busy
    NoSpreadsheet,    // 429, -2147024894: the spreadsheet cannot be started
    ProjectProtected, // 50289
    Other,
};

// Error numbers of the automation layer that the report knows by name.
inline constexpr int kErrCannotCreateObject = 429;
inline constexpr int kErrAutomationFileNotFound = -2147024894; // 0x80070002
inline constexpr int kErrProjectProtected = 50289;

FailureClass classifyFailure(int number);

struct FailureMessage {
    FailureClass failureClass = FailureClass::Other;
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    bool endsProgram = false; // the message announces "本ソフトを終了します。"
};

// The message for an error number and its description.
FailureMessage failureMessage(int number, const QString& description);

} // namespace tav
