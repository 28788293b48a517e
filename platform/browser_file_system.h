// What the file browser of the main window needs from the file system: the mounted
// volumes ("drives") and the subfolders and files of one folder.
#pragma once

#include <QString>
#include <QStringList>

namespace tav {

struct FolderListing {
    QStringList folders; // names of the subfolders, sorted by name
    QStringList files;   // names of the files, sorted by name
};

class BrowserFileSystem {
public:
    virtual ~BrowserFileSystem() = default;

    // Root paths of the mounted volumes that are ready to be read, "/" first.
    virtual QStringList volumes() = 0;

    // The contents of `folder` (an absolute path). Throws tav::Error: 68 when the
    // folder's volume cannot be read (medium missing, device gone), 76 when the folder
    // does not exist, 70 when it may not be read.
    virtual FolderListing list(const QString& folder) = 0;
};

// The real file system: QStorageInfo for the volumes, POSIX directory reading.
// Hidden entries (names starting with a dot) are left out.
class LocalFileSystem final : public BrowserFileSystem {
public:
    QStringList volumes() override;
    FolderListing list(const QString& folder) override;
};

// Names sorted the way the browser shows them: ignoring letter case, ties broken by
// the exact text so the order is stable.
void sortNames(QStringList& names);

// The volume (from `volumes`) that holds `path`: the longest root that is `path`
// itself or one of its parent folders; "/" when none is.
QString volumeOf(const QString& path, const QStringList& volumes);

} // namespace tav
