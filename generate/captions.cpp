#include "generate/captions.h"

#include "generate/generation_host.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/image/picture_types.h"

namespace tav {

namespace {

// The extension of a path: for the picture types the program offers, the dot and the
// text after it (".jpg", ".heic", ".tiff"); for any other name its last four characters,
// which is the dot and three letters of the classic types.
QString extensionOf(const QString& path) {
    const QString known = pictureExtension(path);
    return known.isEmpty() ? path.right(4) : known;
}

// A text has the same ending as the path when it ends in the path's extension, ignoring
// letter case (a shorter text takes part whole).
bool sameEnding(const QString& text, const QString& path) {
    const QString extension = extensionOf(path);
    return text.right(extension.size()).compare(extension, Qt::CaseInsensitive) == 0;
}

// The text without as many characters at its end as the path's extension has.
QString withoutExtensionOf(const QString& text, const QString& path) {
    return text.left(qMax<qsizetype>(0, text.size() - extensionOf(path).size()));
}

QString beforeFirstDot(const QString& text) {
    return text.left(text.indexOf(QLatin1Char('.')));
}

QString fileNameCaption(const QString& path, bool makeKaku) {
    const QString name = FileNamePart(path);
    return makeKaku ? name : withoutExtensionOf(name, path);
}

} // namespace

QString FileNamePart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return {};
    }
    return path.mid(slash + 1);
}

CaptionPlan planCaption(const QString& path, const QString& displayName, bool makeKaku,
                        bool nameChange) {
    CaptionPlan plan;
    if (displayName == kSameAsFileName) {
        plan.caption = fileNameCaption(path, makeKaku);
        return plan; // such a row is never renamed
    }

    const bool hasDot = displayName.contains(QLatin1Char('.'));
    if (makeKaku) {
        if (sameEnding(displayName, path) || !hasDot) {
            plan.caption = displayName;
        } else {
            return plan; // a foreign extension: empty caption, no rename
        }
    } else if (sameEnding(displayName, path)) {
        plan.caption = withoutExtensionOf(displayName, path);
    } else if (hasDot) {
        plan.caption = beforeFirstDot(displayName);
    } else {
        plan.caption = displayName;
    }

    if (nameChange) {
        QString newName;
        if (sameEnding(plan.caption, path)) {
            newName = plan.caption;
        } else if (plan.caption.contains(QLatin1Char('.'))) {
            newName = beforeFirstDot(plan.caption) + extensionOf(path);
        } else {
            newName = plan.caption + extensionOf(path);
        }
        const QString folderPart = path.left(path.size() - FileNamePart(path).size());
        plan.offerRename = true;
        plan.newPath = folderPart + newName;
    }
    return plan;
}

QString renameQuestion(const QString& currentPath, const QString& newPath) {
    return QStringLiteral("元のファイル名を変更してよろしいですか？") + QStringLiteral("\r\n") +
           QStringLiteral("\r\n") + QStringLiteral("ファイル名は、") + currentPath +
           QStringLiteral(" から") + QStringLiteral("\r\n") + newPath +
           QStringLiteral(" に変更されます");
}

QString MakeCaption(GenerationHost& host, int row, bool makeKaku, bool nameChange) {
    const QString path = host.rowPath(row);
    const CaptionPlan plan = planCaption(path, host.rowDisplayName(row), makeKaku, nameChange);
    if (!plan.offerRename) {
        return plan.caption;
    }
    if (!host.dialogs().askYesNo(host.dialogParent(), renameQuestion(path, plan.newPath),
                                 kRenameQuestionTitle)) {
        return plan.caption;
    }
    // A display name holding "/" would move the file into another folder, and one
    // holding a NUL cannot name a file at all: refuse it as a bad file name.
    const QString newName = plan.newPath.mid(path.size() - FileNamePart(path).size());
    if (newName.contains(QLatin1Char('/')) || newName.contains(QChar(0)) || newName.isEmpty() ||
        newName == QLatin1String(".") || newName == QLatin1String("..")) {
        throw Error(
            err::BadFileName,
            QStringLiteral("rename '%1' to '%2': not a valid file name").arg(path, plan.newPath));
    }
    renameNoReplace(path, plan.newPath);
    host.setRowPath(row, plan.newPath);
    const QString caption = fileNameCaption(plan.newPath, makeKaku);
    host.processEvents();
    return caption;
}

} // namespace tav
