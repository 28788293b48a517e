// The real file system behind the file browser, on a temporary folder.
#include "platform/browser_file_system.h"
#include "platform/error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

int errorNumberOf(const QString& folder) {
    tav::LocalFileSystem fs;
    try {
        fs.list(folder);
    } catch (const tav::Error& e) {
        return e.number();
    }
    return 0;
}

TEST(LocalFileSystem, ListsSortedFoldersAndFilesWithoutHiddenOnes) {
    QTemporaryDir dir;
    QDir d(dir.path());
    for (const char* name : {"b.jpg", "A.JPG", "c.txt", ".hidden.jpg", "a.jpg"}) {
        touch(d.filePath(QLatin1String(name)));
    }
    ASSERT_TRUE(d.mkdir(QStringLiteral("Zeta")));
    ASSERT_TRUE(d.mkdir(QStringLiteral("alpha")));
    ASSERT_TRUE(d.mkdir(QStringLiteral(".cache")));
    ASSERT_TRUE(
        QFile::link(d.filePath(QStringLiteral("alpha")), d.filePath(QStringLiteral("link"))));
    ASSERT_TRUE(QFile::link(d.filePath(QStringLiteral("gone")),
                            d.filePath(QStringLiteral("dangling.jpg"))));
    tav::LocalFileSystem fs;
    const tav::FolderListing listing = fs.list(dir.path());
    EXPECT_EQ(listing.folders, (QStringList{QStringLiteral("alpha"), QStringLiteral("link"),
                                            QStringLiteral("Zeta")}));
    EXPECT_EQ(listing.files, (QStringList{QStringLiteral("A.JPG"), QStringLiteral("a.jpg"),
                                          QStringLiteral("b.jpg"), QStringLiteral("c.txt")}));
}

TEST(LocalFileSystem, FailuresCarryTheirErrorNumbers) {
    QTemporaryDir dir;
    EXPECT_EQ(errorNumberOf(dir.filePath(QStringLiteral("missing"))), tav::err::PathNotFound);
    touch(dir.filePath(QStringLiteral("file")));
    EXPECT_EQ(errorNumberOf(dir.filePath(QStringLiteral("file"))), tav::err::PathNotFound);
    // A folder where removable media are mounted, with nothing mounted there.
    EXPECT_EQ(errorNumberOf(QStringLiteral("/media/tavolin-no-such-card/DCIM")),
              tav::err::DeviceUnavailable);
    EXPECT_EQ(errorNumberOf(dir.path()), 0);
}

TEST(LocalFileSystem, VolumesStartWithTheRootAndHideSystemMounts) {
    tav::LocalFileSystem fs;
    const QStringList volumes = fs.volumes();
    ASSERT_FALSE(volumes.isEmpty());
    EXPECT_EQ(volumes.front(), QStringLiteral("/"));
    EXPECT_EQ(volumes.count(QStringLiteral("/")), 1);
    for (const QString& v : volumes) {
        EXPECT_FALSE(v.startsWith(QStringLiteral("/proc")) || v.startsWith(QStringLiteral("/sys")))
            << v.toStdString();
    }
}

TEST(BrowserPaths, VolumeOfPathIsTheLongestHoldingRoot) {
    const QStringList volumes{QStringLiteral("/"), QStringLiteral("/media/usb"),
                              QStringLiteral("/media/usb2")};
    EXPECT_EQ(tav::volumeOf(QStringLiteral("/media/usb/DCIM"), volumes),
              QStringLiteral("/media/usb"));
    EXPECT_EQ(tav::volumeOf(QStringLiteral("/media/usb2"), volumes), QStringLiteral("/media/usb2"));
    EXPECT_EQ(tav::volumeOf(QStringLiteral("/media/usb22/x"), volumes), QStringLiteral("/"));
    EXPECT_EQ(tav::volumeOf(QString(), volumes), QStringLiteral("/"));
}

} // namespace
