// The real file system behind the file browser, on a temporary folder.
#include "platform/browser_file_system.h"
#include "platform/error.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

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

TEST(LocalFileSystem, MountTableGivesTheUsersVolumesOnly) {
    const QByteArray table =
        "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
        "27 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "25 24 0:23 / /dev/shm rw,relatime - tmpfs tmpfs rw\n"
        "40 27 8:17 / /media/u/SD\\040CARD rw,nosuid shared:9 - vfat /dev/sdb1 rw\n"
        "41 27 0:50 / /mnt/nas rw - nfs4 nas:/photos rw\n"
        "42 27 0:50 / /mnt/nas rw - nfs4 nas:/photos rw\n"
        "43 27 0:51 / /run/user/1000 rw - tmpfs tmpfs rw\n"
        "44 27 8:33 / /run/media/u/USB rw - exfat /dev/sdc1 rw\n"
        "45 27 8:2 / /boot/efi rw - vfat /dev/sda2 rw\n";
    EXPECT_EQ(tav::userMountPoints(table),
              (QStringList{QStringLiteral("/media/u/SD CARD"), QStringLiteral("/mnt/nas"),
                           QStringLiteral("/run/media/u/USB")}));
}

// A volume that does not answer (a hung network mount) holds the window up for the time
// limit at most, is reported not ready, and is not asked again while it still hangs.
TEST(LocalFileSystem, AHungVolumeCostsTheTimeLimitOnce) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> hungAsked{0};
    tav::VolumeProbe probe(
        [&](const QString& root) {
            if (root == QStringLiteral("/mnt/hung")) {
                ++hungAsked;
                released.wait();
                return true;
            }
            return root != QStringLiteral("/mnt/empty");
        },
        std::chrono::milliseconds(200));
    const QStringList roots{QStringLiteral("/mnt/a"), QStringLiteral("/mnt/hung"),
                            QStringLiteral("/mnt/empty"), QStringLiteral("/mnt/b")};
    for (int round = 0; round < 2; ++round) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(probe.ready(roots),
                  (QStringList{QStringLiteral("/mnt/a"), QStringLiteral("/mnt/b")}));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    }
    EXPECT_EQ(hungAsked.load(), 1);
    // Once it answers, it is asked again and counts.
    release.set_value();
    for (int i = 0; i < 100 && probe.ready(roots).size() != 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(probe.ready(roots).size(), 3);
}

TEST(LocalFileSystem, WatchTellsOfPhotosCopiedIntoTheFolder) {
    char name[] = "test";
    char* argv[] = {name, nullptr};
    int argc = 1;
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    tav::LocalFileSystem fs;
    int changes = 0;
    fs.watch(dir.path(), [&] { ++changes; });
    touch(dir.filePath(QStringLiteral("new.jpg")));
    QElapsedTimer clock;
    clock.start();
    while (changes == 0 && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_GT(changes, 0);
    // Stopped: nothing more is told.
    fs.watch(QString(), {});
    changes = 0;
    touch(dir.filePath(QStringLiteral("more.jpg")));
    clock.restart();
    while (clock.elapsed() < 300) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(changes, 0);
}

} // namespace
