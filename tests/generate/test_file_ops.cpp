// Copy-with-replace of the template, rename that never replaces, lock-file detection.
#include "platform/error.h"
#include "platform/file_ops.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace tav {
namespace {

class FileOps : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString at(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    static void write(const QString& p, const QByteArray& content) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QByteArray read(const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static int errorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const Error& e) {
            return e.number();
        }
        return 0;
    }
    // Nothing but the named files is left in the folder (no temporary copies).
    QStringList files() const {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }
    QTemporaryDir dir;
};

TEST_F(FileOps, CopyReplacesTarget) {
    write(at("ExcelBook.org"), "template");
    write(at("book.xls"), "old workbook with more bytes");
    copyFileReplacing(at("ExcelBook.org"), at("book.xls"));
    EXPECT_EQ(read(at("book.xls")), QByteArray("template"));
    copyFileReplacing(at("ExcelBook.org"), at("new.xls"));
    EXPECT_EQ(read(at("new.xls")), QByteArray("template"));
    EXPECT_EQ(files(), (QStringList{QStringLiteral("ExcelBook.org"), QStringLiteral("book.xls"),
                                    QStringLiteral("new.xls")}));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(at("new.xls")).constData(), &st), 0);
    EXPECT_NE(st.st_mode & S_IRGRP, 0u) << "the copy got the private mode of a temporary file";
}

TEST_F(FileOps, CopyErrors) {
    write(at("ExcelBook.org"), "template");
    EXPECT_EQ(errorOf([&] { copyFileReplacing(at("missing.org"), at("b.xls")); }),
              err::FileNotFound);
    EXPECT_EQ(errorOf([&] { copyFileReplacing(at("ExcelBook.org"), at("no/such/b.xls")); }),
              err::PathNotFound);
    // An office suite holds the target open: its lock file lies beside it.
    write(at("open.xls"), "the user's workbook");
    write(at(".~lock.open.xls#"), "lock");
    EXPECT_EQ(errorOf([&] { copyFileReplacing(at("ExcelBook.org"), at("open.xls")); }),
              err::PermissionDenied);
    EXPECT_EQ(read(at("open.xls")), QByteArray("the user's workbook"));
    write(at("~$ms.xls"), "lock");
    EXPECT_EQ(errorOf([&] { copyFileReplacing(at("ExcelBook.org"), at("ms.xls")); }),
              err::PermissionDenied);
}

TEST_F(FileOps, ReadOnlyTargetIsNotReplaced) {
    write(at("ExcelBook.org"), "template");
    write(at("ro.xls"), "kept");
    QFile::setPermissions(at("ro.xls"), QFileDevice::ReadOwner);
    EXPECT_EQ(errorOf([&] { copyFileReplacing(at("ExcelBook.org"), at("ro.xls")); }),
              err::PermissionDenied);
    EXPECT_EQ(read(at("ro.xls")), QByteArray("kept"));
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    QDir(dir.path()).mkdir(QStringLiteral("locked"));
    QFile::setPermissions(at("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(errorOf([&] { copyFileReplacing(at("ExcelBook.org"), at("locked/b.xls")); }),
              err::PermissionDenied);
    QFile::setPermissions(at("locked"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(FileOps, RenameNeverReplaces) {
    write(at("a.jpg"), "A");
    write(at("b.jpg"), "B");
    EXPECT_EQ(errorOf([&] { renameNoReplace(at("a.jpg"), at("b.jpg")); }), err::FileAlreadyExists);
    EXPECT_EQ(read(at("a.jpg")), QByteArray("A"));
    EXPECT_EQ(read(at("b.jpg")), QByteArray("B"));
    renameNoReplace(at("a.jpg"), at("c.jpg"));
    EXPECT_EQ(read(at("c.jpg")), QByteArray("A"));
    EXPECT_FALSE(QFile::exists(at("a.jpg")));
    renameNoReplace(at("c.jpg"), at("c.jpg")); // its own path: nothing happens
    EXPECT_EQ(read(at("c.jpg")), QByteArray("A"));
    EXPECT_EQ(errorOf([&] { renameNoReplace(at("gone.jpg"), at("d.jpg")); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { renameNoReplace(at("gone.jpg"), at("gone.jpg")); }), err::FileNotFound);
    EXPECT_EQ(errorOf([&] { renameNoReplace(at("c.jpg"), at("nowhere/d.jpg")); }),
              err::PathNotFound);
    const QString longName = dir.filePath(QString(300, QLatin1Char('x')) + QStringLiteral(".jpg"));
    EXPECT_EQ(errorOf([&] { renameNoReplace(at("c.jpg"), longName); }), err::BadFileName);
    EXPECT_EQ(read(at("c.jpg")), QByteArray("A"));
}

TEST_F(FileOps, ExistenceSizeDate) {
    write(at("x.bmp"), "12345");
    EXPECT_TRUE(fileExists(at("x.bmp")));
    EXPECT_FALSE(fileExists(at("y.bmp")));
    EXPECT_FALSE(fileExists(dir.path())); // a folder is no file
    EXPECT_EQ(fileSize(at("x.bmp")), 5);
    EXPECT_LE(qAbs(fileModified(at("x.bmp")).secsTo(QDateTime::currentDateTime())), 60);
    EXPECT_EQ(errorOf([&] { fileSize(at("y.bmp")); }), err::FileNotFound);
}

} // namespace
} // namespace tav
