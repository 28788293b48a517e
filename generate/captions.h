// Caption names of the placed pictures and the optional renaming of image files to
// their display names.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace tav {

class GenerationHost;

// The display name that means "label the picture with its file's own name".
inline const QString kSameAsFileName = QStringLiteral("ファイル名と同じ");

// The text after the last "/" of `path`; empty when the path is empty or holds no "/".
QString textAfterLastSlash(const QString& path);

// What captionForRow decides before it asks anything.
struct CaptionPlan {
    QString caption; // empty: the display name cannot be used
    bool offerRename = false;
    QString newPath; // when offerRename: the folder part of the path + the new name
};

// The caption of a row with this path and display name, and the rename to offer.
// `keepExtension`: the caption keeps the file's extension; `offerRename`: a display
// name other than the file's own name is offered as the file's new name.
CaptionPlan planCaption(const QString& path, const QString& displayName, bool keepExtension,
                        bool offerRename);

// The confirmation question and its title.
QString renameQuestion(const QString& currentPath, const QString& newPath);
inline const QString kRenameQuestionTitle = QStringLiteral("ファイル名の変更確認");

// The renames a run's user agreed to, done only once the workbook is complete, so
// that a run which fails or is stopped leaves every photo with its old name.
//
// Usage (the run):
//     RenamePlan renames;
//     caption = captionForRow(host, i, keepExtension, offerRename, renames);  // per row
//     ... the workbook is written into its temporary file ...
//     renames.apply();     // on failure it has renamed back what it did, and throws
//     pending->commit();   // on failure: renames.undo()
class RenamePlan {
public:
    struct Rename {
        QString from;
        QString to;
    };

    // Adds the rename of `from` to `to` (nothing for a file's own path). Refused
    // before anything is renamed: a new name that is no plain visible file name
    // (empty, ".", starting with a dot, holding "/" or NUL) with 52; a new name that
    // another file has, or that an earlier rename of this plan takes, with 58; a file
    // that an earlier rename of this plan moves away already, with 58.
    void add(const QString& from, const QString& to);

    // Renames every file in the order they were added, never replacing another file.
    // When one fails, the files renamed so far are renamed back (in reverse order) and
    // the failure is thrown; `failed()` then names the rename that failed.
    void apply();
    // Renames back what apply() did, in reverse order. Returns the renames that could
    // not be undone, as "new path → old path" lines (empty when all are back).
    QStringList undo() noexcept;

    const std::vector<Rename>& renames() const { return renames_; }
    bool empty() const { return renames_.empty(); }
    // The rename whose failure apply() threw (or nullptr).
    const Rename* failed() const { return failed_ < 0 ? nullptr : &renames_[failed_]; }
    // Renames that apply()'s own undo could not reverse.
    const QStringList& notRestored() const { return notRestored_; }

private:
    std::vector<Rename> renames_;
    std::size_t done_ = 0;
    std::ptrdiff_t failed_ = -1;
    QStringList notRestored_;
};

// The caption of row `row` of the host's selection list. When a rename is offered it
// asks the host's user; on Yes it adds the rename to `renames` (see RenamePlan::add for
// what is refused, and when) and takes the caption from the new file name. Nothing is
// renamed here.
QString captionForRow(GenerationHost& host, int row, bool keepExtension, bool offerRename,
                      RenamePlan& renames);

} // namespace tav
