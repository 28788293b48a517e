#include "app/file_browser.h"

#include "app/list_extent.h"
#include "platform/browser_file_system.h"
#include "platform/error.h"
#include "platform/image/picture_types.h"
#include "platform/paths.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>

namespace tav {

namespace {

constexpr int PathRole = Qt::UserRole;

} // namespace

QString imagePattern() {
    return pictureFilePattern();
}

bool matchesImagePattern(const QString& fileName) {
    return !pictureExtension(fileName).isEmpty();
}

QStringList folderChain(const QString& folder) {
    QStringList chain{QStringLiteral("/")};
    QString current;
    for (const QString& part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        current += QLatin1Char('/') + part;
        chain.push_back(current);
    }
    return chain;
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemClicked, this, &FileList::fileChosen);
}

void FileList::keyPressEvent(QKeyEvent* event) {
    const QListWidgetItem* before = currentItem();
    QListWidget::keyPressEvent(event);
    if (currentItem() != nullptr && currentItem() != before) {
        emit fileChosen();
    }
}

FileBrowser::FileBrowser(BrowserFileSystem& fs, QComboBox* drives, QListWidget* folders,
                         QListWidget* files, QObject* parent)
    : QObject(parent), fs_(fs), drives_(drives), folders_(folders), files_(files),
      refreshTimer_(new QTimer(this)) {
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(kRefreshDelayMs);
    connect(refreshTimer_, &QTimer::timeout, this, &FileBrowser::refreshLists);
    files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    folders_->setSelectionMode(QAbstractItemView::SingleSelection);
    refreshDrives();
    connect(drives_, qOverload<int>(&QComboBox::activated), this, &FileBrowser::onDriveActivated);
    connect(folders_, &QListWidget::itemActivated, this, &FileBrowser::onFolderActivated);
    if (auto* list = qobject_cast<DriveList*>(drives_)) {
        connect(list, &DriveList::aboutToShowPopup, this, &FileBrowser::refreshDrives);
    }
}

FileBrowser::~FileBrowser() {
    fs_.watch(QString(), {});
}

void FileBrowser::refreshDrives() {
    const QSignalBlocker blocker(drives_);
    const QString keep = drive_;
    drives_->clear();
    volumes_ = fs_.volumes();
    for (const QString& root : volumes_) {
        drives_->addItem(root, root);
    }
    selectDriveEntry(keep.isEmpty() ? QStringLiteral("/") : keep);
    fitComboListToEntries(*drives_);
}

void FileBrowser::selectDriveEntry(const QString& root) {
    const QSignalBlocker blocker(drives_);
    int index = drives_->findData(root);
    if (index < 0) {
        drives_->addItem(root, root);
        index = drives_->count() - 1;
    }
    drives_->setCurrentIndex(index);
}

void FileBrowser::setFileListFolder(const QString& path) {
    const FolderListing listing = fs_.list(path);
    fileFolder_ = path;
    fillFileList(listing.files);
    watchFileListFolder();
}

void FileBrowser::watchFileListFolder() {
    refreshTimer_->stop();
    fs_.watch(fileFolder_, [this] { refreshTimer_->start(); });
}

void FileBrowser::refreshLists() {
    FolderListing listing;
    try {
        listing = fs_.list(fileFolder_);
    } catch (const Error&) {
        return; // the folder went away or cannot be read now: the lists stay as they are
    }
    QSet<QString> selected;
    for (const QString& name : selectedFileNames()) {
        selected.insert(name);
    }
    const QString current = files_->currentItem() ? files_->currentItem()->text() : QString();
    const int scroll = files_->verticalScrollBar()->value();
    fillFileList(listing.files);
    {
        const QSignalBlocker blocker(files_);
        for (int i = 0; i < files_->count(); ++i) {
            QListWidgetItem* item = files_->item(i);
            if (item->text() == current) {
                files_->setCurrentItem(item, QItemSelectionModel::NoUpdate);
            }
            item->setSelected(selected.contains(item->text()));
        }
        files_->verticalScrollBar()->setValue(scroll);
    }
    if (fileFolder_ == folder_) {
        // New or renamed subfolders too; the folder list keeps its place.
        const int folderScroll = folders_->verticalScrollBar()->value();
        fillFolderList(folder_, listing.folders);
        folders_->verticalScrollBar()->setValue(folderScroll);
    }
}

void FileBrowser::setDrive(const QString& path) {
    const QString root = volumeOf(path, volumes_);
    const QString previous = drive_;
    drive_ = root;
    selectDriveEntry(root);
    try {
        setFolder(driveFolders_.value(root, root));
    } catch (const Error&) {
        // The volume cannot be read: back to the drive of the folder list, silently.
        drive_ = folder_.isEmpty() ? previous : volumeOf(folder_, volumes_);
        selectDriveEntry(drive_.isEmpty() ? QStringLiteral("/") : drive_);
    }
}

void FileBrowser::initialize(const QString& path) {
    try {
        show(path, fs_.list(path));
    } catch (const Error&) {
        try {
            show(QStringLiteral("/"), fs_.list(QStringLiteral("/")));
        } catch (const Error&) {
            // Not even the root can be read: the lists stay empty.
        }
    }
}

void FileBrowser::setFolder(const QString& path) {
    // Only absolute paths name a folder here; a stored "C:\\..." from another system
    // or a relative path must not be looked up relative to the working folder.
    if (!path.startsWith(QLatin1Char('/'))) {
        throw Error(err::PathNotFound, errorText(ErrorText::NotAnAbsoluteFolder, path));
    }
    const QString clean = QDir::cleanPath(path);
    const FolderListing listing = fs_.list(clean); // throws before anything changes
    show(clean, listing);
    emit folderChanged(folder_);
}

void FileBrowser::show(const QString& path, const FolderListing& listing) {
    folder_ = path;
    drive_ = volumeOf(path, volumes_);
    selectDriveEntry(drive_);
    driveFolders_.insert(drive_, path);
    fillFolderList(path, listing.folders);
    // The file list follows with the image pattern.
    fileFolder_ = path;
    fillFileList(listing.files);
    watchFileListFolder();
}

QStringList FileBrowser::selectedFileNames() const {
    QStringList names;
    for (int i = 0; i < files_->count(); ++i) {
        if (files_->item(i)->isSelected()) {
            names.push_back(files_->item(i)->text());
        }
    }
    return names;
}

void FileBrowser::onDriveActivated(int index) {
    const QString root = drives_->itemData(index).toString();
    if (!root.isEmpty() && root != drive_) {
        setDrive(root);
    }
}

void FileBrowser::onFolderActivated(QListWidgetItem* item) {
    const QString path = item ? item->data(PathRole).toString() : QString();
    if (path.isEmpty() || path == folder_) {
        return;
    }
    try {
        setFolder(path);
    } catch (const Error&) {
        // A folder that cannot be opened is simply not entered.
    }
}

void FileBrowser::fillFolderList(const QString& path, const QStringList& subfolders) {
    const QSignalBlocker blocker(folders_);
    folders_->clear();
    QStyle* style = QApplication::style();
    const QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style->standardIcon(QStyle::SP_DirClosedIcon);
    const QStringList chain = folderChain(path);
    int depth = 0;
    for (const QString& link : chain) {
        const QString name = link == QLatin1String("/") ? link : link.section(QLatin1Char('/'), -1);
        auto* item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + name);
        item->setData(PathRole, link);
        folders_->addItem(item);
        ++depth;
    }
    folders_->setCurrentRow(folders_->count() - 1);
    for (const QString& sub : subfolders) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + sub);
        item->setData(PathRole, joinPath(path, sub));
        folders_->addItem(item);
    }
}

void FileBrowser::fillFileList(const QStringList& names) {
    const QSignalBlocker blocker(files_);
    files_->clear();
    for (const QString& name : names) {
        if (matchesImagePattern(name)) {
            files_->addItem(name);
        }
    }
}

} // namespace tav
