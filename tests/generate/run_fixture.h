// A temporary program folder with the template, a target folder, and the test images,
// for runs through the FakeHost.
#pragma once

#include "generate/generation_run.h"
#include "tests/generate/fake_host.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tav::testing {

inline QString testImage(const char* name) {
    return QStringLiteral(TAVOLIN_GENERATE_TEST_DATA "/") + QString::fromUtf8(name);
}

class RunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        programFolder = dir.filePath(QStringLiteral("program"));
        targetFolder = dir.filePath(QStringLiteral("out"));
        imageFolder = dir.filePath(QStringLiteral("images"));
        QDir(dir.path()).mkpath(programFolder);
        QDir(dir.path()).mkpath(targetFolder);
        QDir(dir.path()).mkpath(imageFolder);
        ASSERT_TRUE(QFile::exists(templatePath()))
            << "template missing: " << templatePath().toStdString();
        ASSERT_TRUE(QFile::copy(templatePath(), programFolder + QStringLiteral("/ExcelBook.org")));
        job.folder = targetFolder;
        job.fileName = QStringLiteral("book");
        job.programFolder = programFolder;
        job.title = QStringLiteral("現場写真");
        job.subject = QStringLiteral("点検");
        job.author = QStringLiteral("山田");
        job.comment = QStringLiteral("コメント");
    }

    static QString templatePath() { return QStringLiteral(TAVOLIN_TEMPLATE_PATH); }

    // Copies a test image into the image folder (so renames never touch the sources).
    QString image(const char* name, const char* as = nullptr) {
        const QString target = imageFolder + QLatin1Char('/') + QString::fromUtf8(as ? as : name);
        QFile::remove(target);
        EXPECT_TRUE(QFile::copy(testImage(name), target)) << name;
        QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return target;
    }

    void addRow(const QString& path, const char* rotation = "  0",
                const char* displayName = "ファイル名と同じ") {
        host.rows.push_back({path, QString::fromUtf8(rotation), QString::fromUtf8(displayName)});
    }

    QString target() const { return targetFolder + QStringLiteral("/book.xls"); }

    static QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString programFolder, targetFolder, imageFolder;
    GenerationJob job;
    FakeHost host;
};

} // namespace tav::testing
