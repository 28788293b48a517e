#include "generate/failure_report.h"

#include "platform/error.h"

namespace tav {

FailureClass classifyFailure(int number) {
    switch (number) {
    case err::PermissionDenied:
        return FailureClass::TargetOpen;
    case err::FileNotFound:
    case err::FileAlreadyOpen:
    case err::PathNotFound:
        return FailureClass::TemplateMissing;
    case kErrCannotCreateObject:
    case kErrAutomationFileNotFound:
        return FailureClass::NoSpreadsheet;
    case kErrProjectProtected:
        return FailureClass::ProjectProtected;
    default:
        return FailureClass::Other;
    }
}

FailureMessage failureMessage(int number, const QString& description) {
    const QString cr = QStringLiteral("\r");
    const QString crlf = QStringLiteral("\r\n");
    FailureMessage m;
    m.failureClass = classifyFailure(number);
    m.title = kGenerationTitle;
    switch (m.failureClass) {
    case FailureClass::TargetOpen:
        m.text = QStringLiteral("保存先と同名のExcelファイルが開かれています。") + cr + cr +
                 QStringLiteral("Excelファイルを閉じて下さい。") + cr +
                 QStringLiteral("本ソフトを終了します。");
        m.endsProgram = true;
        break;
    case FailureClass::TemplateMissing:
        m.text = QStringLiteral("Excel元ファイルが存在しません。") + cr +
                 QStringLiteral("ExcelBook.orgを同一フォルダに格納下さい。");
        break;
    case FailureClass::NoSpreadsheet:
        m.text = QStringLiteral("Excelが見つかりません。Excelが起動不可能の状態です");
        m.icon = MessageIcon::Exclamation;
        break;
    case FailureClass::ProjectProtected:
        m.text = QStringLiteral("プロジェクトが保護されています。") + cr +
                 QStringLiteral("保護を解除してから選択下さい。") + cr +
                 QStringLiteral("本ソフトを終了します。");
        m.endsProgram = true;
        break;
    case FailureClass::Other:
        m.text = QStringLiteral("ｴﾗｰNo:") + QString::number(number) + crlf + crlf +
                 QStringLiteral("ｴﾗｰ発生時点、ｴﾗｰNo、内容を控え連絡して下さい。") + crlf + crlf +
                 QStringLiteral("内容:") + description;
        break;
    }
    return m;
}

} // namespace tav
