// Rename that never replaces, existence, size and date of a file.
#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/testing/test_files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tav {
namespace {

using testing::errorNumberOf;
using testing::readFile;
using testing::writeFile;

class FileOps : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString at(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
};

TEST_F(FileOps, RenameNeverReplaces) {
    writeFile(at("a.jpg"), "A");
    writeFile(at("b.jpg"), "B");
    EXPECT_EQ(errorNumberOf([&] { renameNoReplace(at("a.jpg"), at("b.jpg")); }),
              err::FileAlreadyExists);
    EXPECT_EQ(readFile(at("a.jpg")), QByteArray("A"));
    EXPECT_EQ(readFile(at("b.jpg")), QByteArray("B"));
    renameNoReplace(at("a.jpg"), at("c.jpg"));
    EXPECT_EQ(readFile(at("c.jpg")), QByteArray("A"));
    EXPECT_FALSE(QFile::exists(at("a.jpg")));
    renameNoReplace(at("c.jpg"), at("c.jpg")); // its own path: nothing happens
    EXPECT_EQ(readFile(at("c.jpg")), QByteArray("A"));
    EXPECT_EQ(errorNumberOf([&] { renameNoReplace(at("gone.jpg"), at("d.jpg")); }),
              err::FileNotFound);
    EXPECT_EQ(errorNumberOf([&] { renameNoReplace(at("gone.jpg"), at("gone.jpg")); }),
              err::FileNotFound);
    EXPECT_EQ(errorNumberOf([&] { renameNoReplace(at("c.jpg"), at("nowhere/d.jpg")); }),
              err::PathNotFound);
    const QString longName = dir.filePath(QString(300, QLatin1Char('x')) + QStringLiteral(".jpg"));
    EXPECT_EQ(errorNumberOf([&] { renameNoReplace(at("c.jpg"), longName); }), err::BadFileName);
    EXPECT_EQ(readFile(at("c.jpg")), QByteArray("A"));
}

TEST_F(FileOps, ExistenceSizeDate) {
    writeFile(at("x.bmp"), "12345");
    EXPECT_TRUE(fileExists(at("x.bmp")));
    EXPECT_FALSE(fileExists(at("y.bmp")));
    EXPECT_FALSE(fileExists(dir.path())); // a folder is no file
    EXPECT_EQ(fileSize(at("x.bmp")), 5);
    EXPECT_LE(qAbs(fileModified(at("x.bmp")).secsTo(QDateTime::currentDateTime())), 60);
    EXPECT_EQ(errorNumberOf([&] { fileSize(at("y.bmp")); }), err::FileNotFound);
}

} // namespace
} // namespace tav
