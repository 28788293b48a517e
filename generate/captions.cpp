#include "generate/captions.h"

#include "generate/generation_host.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/image/picture_types.h"
#include "platform/paths.h"

#include <algorithm>

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

QString fileNameCaption(const QString& path, bool keepExtension) {
    const QString name = textAfterLastSlash(path);
    return keepExtension ? name : withoutExtensionOf(name, path);
}

} // namespace

QString textAfterLastSlash(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return {};
    }
    return path.mid(slash + 1);
}

CaptionPlan planCaption(const QString& path, const QString& displayName, bool keepExtension,
                        bool offerRename) {
    CaptionPlan plan;
    if (displayName == kSameAsFileName) {
        plan.caption = fileNameCaption(path, keepExtension);
        return plan; // such a row is never renamed
    }

    const bool hasDot = displayName.contains(QLatin1Char('.'));
    if (keepExtension) {
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

    if (offerRename) {
        QString newName;
        if (sameEnding(plan.caption, path)) {
            newName = plan.caption;
        } else if (plan.caption.contains(QLatin1Char('.'))) {
            newName = beforeFirstDot(plan.caption) + extensionOf(path);
        } else {
            newName = plan.caption + extensionOf(path);
        }
        const QString folderPart = path.left(path.size() - textAfterLastSlash(path).size());
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

void RenamePlan::add(const QString& from, const QString& to) {
    if (from == to) {
        return; // a file's own name: nothing to do
    }
    // A name holding "/" would move the file into another folder, one holding a NUL
    // cannot name a file, and one starting with a dot (empty, only dots, ".jpg") would
    // hide the photo or not name a file at all.
    const QString newName = textAfterLastSlash(to);
    if (folderOf(to) != folderOf(from) || newName.contains(QLatin1Char('/')) ||
        newName.contains(QChar(0)) || newName.isEmpty() || newName.startsWith(QLatin1Char('.'))) {
        throw Error(err::BadFileName,
                    failedOperation(FileOperation::Rename, from,
                                    errorText(ErrorText::RenameNameInvalid, newName)));
    }
    for (const Rename& earlier : renames_) {
        if (earlier.to == to || earlier.from == from) {
            throw Error(
                err::FileAlreadyExists,
                failedOperation(FileOperation::Rename, from,
                                errorText(ErrorText::RenamedTwice, earlier.from, earlier.to)));
        }
    }
    // The new name may belong to a file that an earlier rename moves away first.
    const bool freedEarlier = std::any_of(renames_.begin(), renames_.end(),
                                          [&](const Rename& r) { return r.from == to; });
    if (!freedEarlier && fileExists(to)) {
        throw Error(err::FileAlreadyExists,
                    failedOperation(FileOperation::Rename, from,
                                    errorText(ErrorText::RenameNameTaken, to)));
    }
    renames_.push_back({from, to});
}

void RenamePlan::apply() {
    failed_ = -1;
    notRestored_.clear();
    for (; done_ < renames_.size(); ++done_) {
        try {
            renameNoReplace(renames_[done_].from, renames_[done_].to);
        } catch (...) {
            failed_ = static_cast<std::ptrdiff_t>(done_);
            notRestored_ = undo();
            throw;
        }
    }
}

QStringList RenamePlan::undo() noexcept {
    QStringList left;
    while (done_ > 0) {
        const Rename& r = renames_[--done_];
        try {
            renameNoReplace(r.to, r.from);
        } catch (...) {
            left << r.to + QStringLiteral(" → ") + r.from;
        }
    }
    return left;
}

QString captionForRow(GenerationHost& host, int row, bool keepExtension, bool offerRename,
                      RenamePlan& renames) {
    const QString path = host.rowPath(row);
    const CaptionPlan plan =
        planCaption(path, host.rowDisplayName(row), keepExtension, offerRename);
    if (!plan.offerRename) {
        return plan.caption;
    }
    if (!host.dialogs().askYesNo(host.dialogParent(), renameQuestion(path, plan.newPath),
                                 kRenameQuestionTitle)) {
        return plan.caption;
    }
    renames.add(path, plan.newPath);
    return fileNameCaption(plan.newPath, keepExtension);
}

} // namespace tav
