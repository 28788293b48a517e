// Rename that never replaces, existence, size and date of a file.
#include "platform/error.h"
#include "platform/file_ops.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    QTemporaryDir dir;
};

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
