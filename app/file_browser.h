// The file browser of the main window: the drive list (mounted volumes), the folder
// list (the chain from the root to the current folder, then its subfolders) and the
// file list (the folder's pictures, several can be selected).
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <QComboBox>
#include <QListWidget>

class QListWidget;
class QListWidgetItem;
class QTimer;

namespace tav {

class BrowserFileSystem;
struct FolderListing;

// The file-list pattern: "*.bmp;*.jpg;*.gif;*.wmf;*.emf" and the newer picture types
// (pictureFilePattern()).
QString imagePattern();

// True when `fileName` matches one of the entries of imagePattern(), ignoring case.
bool matchesImagePattern(const QString& fileName);

// The folders from the root down to `folder`: "/", "/a", "/a/b" for "/a/b".
QStringList folderChain(const QString& folder);

// The drive list: a combo box that tells when its list is about to open, so the
// volumes can be read again (a stick plugged in meanwhile shows up).
class DriveList : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override {
        emit aboutToShowPopup();
        QComboBox::showPopup();
    }
signals:
    void aboutToShowPopup();
};

// The file list: a list of several selectable files that tells when the user chose a
// file to look at, by a click or by moving to it with the keyboard (arrow keys, Home,
// End, Page Up/Down, typing its first letters), Shift included.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
signals:
    void fileChosen();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class FileBrowser : public QObject {
    Q_OBJECT
public:
    // The three widgets are owned by the window and must outlive this object.
    FileBrowser(BrowserFileSystem& fs, QComboBox* drives, QListWidget* folders, QListWidget* files,
                QObject* parent = nullptr);
    ~FileBrowser() override;

    // How long the file list waits after a change in its folder before it reads the
    // folder again: a burst of copied photos is read once.
    static constexpr int kRefreshDelayMs = 300;

    // The folder list's current folder ("" before the first successful change).
    QString folder() const { return folder_; }
    // The drive list's current volume root.
    QString drive() const { return drive_; }
    // The folder the file list shows (the folder list's, unless set apart).
    QString fileListFolder() const { return fileFolder_; }

    // The lists' state when the window is created: the folder list on `path` (or on
    // "/" when `path` cannot be read), no change notification.
    void initialize(const QString& path);

    // Points the file list at `path` with the image pattern, without touching the folder
    // list. Throws tav::Error when the folder cannot be listed.
    void setFileListFolder(const QString& path);

    // Sets the drive list to the volume that holds `path` and runs the drive change: the
    // folder list moves to that volume's current folder. When the volume cannot be read,
    // the drive list silently returns to the drive of the folder list's folder.
    void setDrive(const QString& path);

    // Sets the folder list to `path` and runs the folder change. Throws tav::Error
    // (68: the volume cannot be read, 76: no such folder) and changes nothing then.
    void setFolder(const QString& path);

    // The names selected in the file list, in the list's order.
    QStringList selectedFileNames() const;

signals:
    // The folder list changed to `folder` (the file list already follows it).
    void folderChanged(const QString& folder);

private:
    void refreshDrives();
    void selectDriveEntry(const QString& root);
    void onDriveActivated(int index);
    void onFolderActivated(QListWidgetItem* item);
    void show(const QString& path, const FolderListing& listing);
    void fillFolderList(const QString& path, const QStringList& subfolders);
    // A new folder's files: nothing selected.
    void fillFileList(const QStringList& names);
    // The folder's files read again: the selection, the current file and the scroll
    // position stay where they were, for the files that are still there.
    void refreshLists();
    void watchFileListFolder();

    BrowserFileSystem& fs_;
    QComboBox* drives_;
    QListWidget* folders_;
    QListWidget* files_;
    QString drive_;
    QString folder_;
    QString fileFolder_;
    QHash<QString, QString> driveFolders_; // each volume's current folder
    // The volumes as read when the drive list was filled (at start and each time its
    // list opens); a change of folder asks no volume anything.
    QStringList volumes_;
    QTimer* refreshTimer_;
};

} // namespace tav
