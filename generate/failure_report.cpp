#include "generate/failure_report.h"

#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/paths.h"

#include <cerrno>
#include <optional>

namespace tav {

namespace {

// Any errno, or none at all (0) — rules that need to tell EROFS from EACCES say which.
constexpr int kAnyOsError = -1;

struct ClassRule {
    std::optional<FailureSite> site; // nullopt: at any site
    int number;
    int osError; // kAnyOsError, 0 for "no errno", or the errno value
    FailureClass failureClass;
};

// First match wins. An error that matches nothing is reported with its number.
constexpr ClassRule kClassRules[] = {
    {FailureSite::Template, err::FileNotFound, kAnyOsError, FailureClass::TemplateMissing},
    {FailureSite::Template, err::FileAlreadyOpen, kAnyOsError, FailureClass::TemplateMissing},
    {FailureSite::Template, err::PathNotFound, kAnyOsError, FailureClass::TemplateMissing},

    {FailureSite::Target, err::PathNotFound, kAnyOsError, FailureClass::TargetFolderMissing},
    {FailureSite::Target, err::PermissionDenied, EROFS, FailureClass::ReadOnlyMedium},
    {FailureSite::Target, err::PermissionDenied, EACCES, FailureClass::TargetFolderNotWritable},
    {FailureSite::Target, err::PermissionDenied, EPERM, FailureClass::TargetFolderNotWritable},
    // 70 without an errno is a lock file beside the target (platform/office_lock.h).
    {FailureSite::Target, err::PermissionDenied, 0, FailureClass::TargetOpen},

    {FailureSite::Picture, err::FileNotFound, kAnyOsError, FailureClass::PicturesUnusable},
    {FailureSite::Picture, err::PathNotFound, kAnyOsError, FailureClass::PicturesUnusable},
    {FailureSite::Picture, err::PermissionDenied, kAnyOsError, FailureClass::PicturesUnusable},
    {FailureSite::Picture, err::FileAlreadyOpen, kAnyOsError, FailureClass::PicturesUnusable},
    {FailureSite::Picture, err::DeviceUnavailable, kAnyOsError, FailureClass::PicturesUnusable},
    {FailureSite::Picture, err::PathFileAccess, kAnyOsError, FailureClass::PicturesUnusable},
    {FailureSite::Picture, err::BadFileName, kAnyOsError, FailureClass::PicturesUnusable},
    {FailureSite::Picture, err::InvalidPicture, kAnyOsError, FailureClass::PicturesUnusable},

    {FailureSite::Rename, err::FileAlreadyExists, kAnyOsError, FailureClass::RenameTargetExists},
    {FailureSite::Rename, err::PermissionDenied, kAnyOsError, FailureClass::RenameRefused},
    {FailureSite::Rename, err::FileNotFound, kAnyOsError, FailureClass::PicturesUnusable},

    {std::nullopt, err::DiskFull, kAnyOsError, FailureClass::DiskFull},
};

FailureClass classify(std::optional<FailureSite> site, int number, int osError) {
    for (const ClassRule& rule : kClassRules) {
        if (rule.site && rule.site != site) {
            continue;
        }
        if (rule.number == number && (rule.osError == kAnyOsError || rule.osError == osError)) {
            return rule.failureClass;
        }
    }
    return FailureClass::Other;
}

// What a message names after its first line.
enum class Names {
    Nothing,
    Folder,  // the folder of the subject
    Subject, // the subject as it is
    Details, // the lines of the details
};

struct ClassText {
    FailureClass failureClass;
    const char16_t* text; // "%1": what the message names; "\r" line breaks
    MessageIcon icon;
    bool endsProgram;
    Names names;
};

constexpr ClassText kClassTexts[] = {
    {FailureClass::TargetOpen,
     u"保存先と同名のExcelファイルが開かれています。\r\rExcelファイルを閉じて下さい。\r"
     u"本ソフトを終了します。",
     MessageIcon::None, true, Names::Nothing},
    {FailureClass::TemplateMissing,
     u"Excel元ファイルが存在しません。\rExcelBook.orgを同一フォルダに格納下さい。",
     MessageIcon::None, false, Names::Nothing},
    {FailureClass::TargetFolderMissing,
     u"保存先のフォルダが見つかりません。\r%1\r\rフォルダを指定し直して下さい。",
     MessageIcon::Exclamation, false, Names::Folder},
    {FailureClass::TargetFolderNotWritable,
     u"保存先のフォルダに書き込む権限がありません。\r%1\r\r書き込めるフォルダを指定して下さい。",
     MessageIcon::Exclamation, false, Names::Folder},
    {FailureClass::ReadOnlyMedium,
     u"保存先は読み取り専用の場所のため、書き込めません。\r%1\r\r"
     u"書き込めるフォルダを指定して下さい。",
     MessageIcon::Exclamation, false, Names::Folder},
    {FailureClass::TargetReadOnly,
     u"保存先のExcelファイルは読み取り専用です。\r%1\r\r"
     u"読み取り専用を解除するか、別のファイル名を指定して下さい。",
     MessageIcon::Exclamation, false, Names::Subject},
    {FailureClass::DiskFull,
     u"ディスクの空き容量が足りないため、保存できませんでした。\r%1\r\r"
     u"空き容量を増やすか、別のフォルダを指定して下さい。",
     MessageIcon::Exclamation, false, Names::Folder},
    {FailureClass::PicturesUnusable,
     u"次の画像ファイルを読み込めません。\r\r%1\r\r一覧から外すか、ファイルを確かめて下さい。",
     MessageIcon::Exclamation, false, Names::Details},
    {FailureClass::RenameRefused, u"画像ファイルの名前を変更する権限がありません。\r%1",
     MessageIcon::Exclamation, false, Names::Subject},
    {FailureClass::RenameTargetExists,
     u"同じ名前のファイルがすでにあるため、画像ファイルの名前を変更できません。\r%1\r\r"
     u"表示名を変えて下さい。",
     MessageIcon::Exclamation, false, Names::Subject},
};

// A message box taller than the screen helps nobody: the first lines are named, the
// rest counted.
constexpr int kMaxNamedPictures = 20;

QString joinedDetails(const QStringList& lines) {
    if (lines.size() <= kMaxNamedPictures) {
        return lines.join(QLatin1Char('\r'));
    }
    return lines.mid(0, kMaxNamedPictures).join(QLatin1Char('\r')) + QLatin1Char('\r') +
           QStringLiteral("ほか %1 件（全部で %2 件）")
               .arg(lines.size() - kMaxNamedPictures)
               .arg(lines.size());
}

QString genericText(int number, const QString& description) {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("ｴﾗｰNo:") + QString::number(number) + crlf + crlf +
           QStringLiteral("ｴﾗｰ発生時点、ｴﾗｰNo、内容を控え連絡して下さい。") + crlf + crlf +
           QStringLiteral("内容:") + description;
}

} // namespace

RunFailure classifyFailure(FailureSite site, const Error& error, const QString& subject) {
    RunFailure failure;
    failure.failureClass = classify(site, error.number(), error.osError());
    failure.number = error.number();
    failure.description = error.description();
    failure.subject = subject;
    if (failure.failureClass == FailureClass::PicturesUnusable) {
        failure.details << pictureProblemLine(subject, error);
    }
    return failure;
}

FailureClass classifyFailure(int number) {
    return classify(FailureSite::Engine, number, 0);
}

FailureClass classifyTargetProblem(TargetProblem problem) {
    switch (problem) {
    case TargetProblem::FolderMissing:
        return FailureClass::TargetFolderMissing;
    case TargetProblem::InUse:
        return FailureClass::TargetOpen;
    case TargetProblem::ReadOnlyMedium:
        return FailureClass::ReadOnlyMedium;
    case TargetProblem::FolderNotWritable:
        return FailureClass::TargetFolderNotWritable;
    case TargetProblem::TargetNotAFile:
    case TargetProblem::TargetReadOnly:
        return FailureClass::TargetReadOnly;
    case TargetProblem::None:
        break;
    }
    return FailureClass::Other;
}

QString pictureProblemLine(const QString& path, const Error& error) {
    QString reason;
    switch (error.number()) {
    case err::FileNotFound:
    case err::PathNotFound:
        reason = QStringLiteral("見つかりません");
        break;
    case err::PermissionDenied:
        reason = QStringLiteral("読み込む権限がありません");
        break;
    case err::FileAlreadyOpen:
        reason = QStringLiteral("使用中のため読み込めません");
        break;
    case err::InvalidPicture:
        reason = QStringLiteral("画像として読めません（壊れているか、対応していない形式です）");
        break;
    default:
        reason = QStringLiteral("読み込めません（%1）").arg(error.description());
        break;
    }
    return path + QStringLiteral("：") + reason;
}

QString pictureNameProblemLine(const QString& path) {
    return path + QStringLiteral("：ファイル名の文字コードがUTF-8ではないため開けません。"
                                 "ファイル名を付け直して下さい");
}

FailureMessage failureMessage(const RunFailure& failure) {
    FailureMessage m;
    m.failureClass = failure.failureClass;
    m.title = kGenerationTitle;
    m.text = genericText(failure.number, failure.description);
    for (const ClassText& row : kClassTexts) {
        if (row.failureClass != failure.failureClass) {
            continue;
        }
        m.text = QString::fromUtf16(row.text);
        m.icon = row.icon;
        m.endsProgram = row.endsProgram;
        switch (row.names) {
        case Names::Nothing:
            break;
        case Names::Folder:
            m.text = m.text.arg(folderOf(failure.subject));
            break;
        case Names::Subject:
            m.text = m.text.arg(failure.subject);
            break;
        case Names::Details:
            m.text = m.text.arg(joinedDetails(failure.details));
            break;
        }
        break;
    }
    if (!failure.notRestored.isEmpty()) {
        m.text += QStringLiteral("\r\r次の画像ファイルの名前を元に戻せませんでした。\r") +
                  failure.notRestored.join(QLatin1Char('\r'));
    }
    return m;
}

FailureMessage failureMessage(int number, const QString& description) {
    RunFailure failure;
    failure.failureClass = classifyFailure(number);
    failure.number = number;
    failure.description = description;
    return failureMessage(failure);
}

} // namespace tav
