// Caption names of the placed pictures and the optional renaming of image files to
// their display names.
#pragma once

#include <QString>

namespace tav {

class GenerationHost;

// The display name that means "label the picture with its file's own name".
inline const QString kSameAsFileName = QStringLiteral("ファイル名と同じ");

// The text after the last "/" of `path`; empty when the path is empty or holds no "/".
QString FileNamePart(const QString& path);

// What MakeCaption decides before it asks anything.
struct CaptionPlan {
    QString caption; // empty: the display name cannot be used
    bool offerRename = false;
    QString newPath; // when offerRename: the folder part of the path + the new name
};

// The caption of a row with this path and display name, and the rename to offer.
// `makeKaku` is `ChkMakeKaku` (keep the extension), `nameChange` is `ChkNameChange`.
CaptionPlan planCaption(const QString& path, const QString& displayName, bool makeKaku,
                        bool nameChange);

// The confirmation question and its title.
QString renameQuestion(const QString& currentPath, const QString& newPath);
inline const QString kRenameQuestionTitle = QStringLiteral("ファイル名の変更確認");

// The caption of row `row` of the host's selection list. When a rename is offered it
// asks the host's user; on Yes it renames the file (never replacing another file: an
// existing target fails with 58), writes the new path into the row, and takes the
// caption from the new file name. A failing rename throws tav::Error and leaves the
// row's path unchanged.
QString MakeCaption(GenerationHost& host, int row, bool makeKaku, bool nameChange);

} // namespace tav
