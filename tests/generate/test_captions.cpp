// Caption names and the renaming of image files to their display names.
#include "generate/captions.h"
#include "platform/error.h"
#include "platform/testing/test_files.h"
#include "tests/generate/fake_host.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace tav {
namespace {

using testing::errorNumberOf;
using testing::FakeHost;
using testing::readFile;
using testing::ScriptedDialogs;
using testing::writeFile;

TEST(Captions, TextAfterLastSlash) {
    EXPECT_EQ(textAfterLastSlash(QStringLiteral("/img/p1.jpg")), QStringLiteral("p1.jpg"));
    EXPECT_EQ(textAfterLastSlash(QStringLiteral("/a/b/c.d.jpg")), QStringLiteral("c.d.jpg"));
    EXPECT_EQ(textAfterLastSlash(QStringLiteral("/p1.jpg")), QStringLiteral("p1.jpg"));
    EXPECT_EQ(textAfterLastSlash(QStringLiteral("/img/")), QString());
    EXPECT_EQ(textAfterLastSlash(QStringLiteral("p1.jpg")), QString());
    EXPECT_EQ(textAfterLastSlash(QString()), QString());
}

struct PlanCase {
    const char* displayName;
    bool keepExtension;
    bool offerRename;
    const char* caption;
    const char* newPath; // "" when no rename is offered
    const char* path = "/img/p1.jpg";
};

// The worked example: /img/p1.jpg with the display names cat, cat.JPG, cat.png; then
// pictures whose extension is longer than three letters, which count the same way.
const PlanCase kPlans[] = {
    {"cat", true, false, "cat", ""},
    {"cat", false, false, "cat", ""},
    {"cat", true, true, "cat", "/img/cat.jpg"},
    {"cat", false, true, "cat", "/img/cat.jpg"},
    {"cat.JPG", true, false, "cat.JPG", ""},
    {"cat.JPG", true, true, "cat.JPG", "/img/cat.JPG"},
    {"cat.JPG", false, false, "cat", ""},
    {"cat.png", true, false, "", ""},
    {"cat.png", true, true, "", ""}, // empty caption: no rename either
    {"cat.png", false, false, "cat", ""},
    {"cat.png", false, true, "cat", "/img/cat.jpg"},
    {"a.b.jpg", true, false, "a.b.jpg", ""},
    {"a.b.jpg", false, false, "a.b", ""},
    {"a.b.jpg", false, true, "a.b", "/img/a.jpg"},
    {"a.b.png", false, false, "a", ""},
    {"ファイル名と同じ", true, true, "p1.jpg", ""},
    {"ファイル名と同じ", false, true, "p1", ""},
    {"jpg", true, false, "jpg", ""}, // shorter than four characters, no dot
    {"ファイル名と同じ", false, false, "IMG_0001", "", "/img/IMG_0001.HEIC"},
    {"ファイル名と同じ", true, true, "IMG_0001.HEIC", "", "/img/IMG_0001.HEIC"},
    {"cat", true, true, "cat", "/img/cat.HEIC", "/img/IMG_0001.HEIC"},
    {"cat", false, true, "cat", "/img/cat.HEIC", "/img/IMG_0001.HEIC"},
    {"cat.heic", true, true, "cat.heic", "/img/cat.heic", "/img/IMG_0001.HEIC"},
    {"cat.heic", false, false, "cat", "", "/img/IMG_0001.HEIC"},
    {"cat.jpg", true, true, "", "", "/img/IMG_0001.HEIC"},
    {"cat.jpg", false, true, "cat", "/img/cat.HEIC", "/img/IMG_0001.HEIC"},
    {"ファイル名と同じ", false, false, "scan", "", "/img/scan.tiff"},
    {"cat", true, true, "cat", "/img/cat.tiff", "/img/scan.tiff"},
    {"a.b.Tiff", false, true, "a.b", "/img/a.tiff", "/img/scan.tiff"},
    {"cat.tif", true, false, "", "", "/img/scan.tiff"}, // .tif is not this file's ending
    {"ファイル名と同じ", false, false, "drawing", "", "/img/drawing.webp"},
    {"cat", true, true, "cat", "/img/cat.webp", "/img/drawing.webp"},
    {"ファイル名と同じ", false, false, "p", "", "/img/p.avif"},
    {"ファイル名と同じ", false, false, "scan", "", "/img/scan.png"},
};

TEST(Captions, PlanTable) {
    for (const PlanCase& c : kPlans) {
        SCOPED_TRACE(std::string(c.path) + " " + c.displayName + (c.keepExtension ? " kaku" : "") +
                     (c.offerRename ? " rename" : ""));
        const CaptionPlan plan =
            planCaption(QString::fromUtf8(c.path), QString::fromUtf8(c.displayName),
                        c.keepExtension, c.offerRename);
        EXPECT_EQ(plan.caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(plan.offerRename, *c.newPath != 0);
        EXPECT_EQ(plan.newPath, QString::fromUtf8(c.newPath));
    }
}

TEST(Captions, QuestionText) {
    EXPECT_EQ(
        renameQuestion(QStringLiteral("/img/p1.jpg"), QStringLiteral("/img/cat.jpg")),
        QStringLiteral("元のファイル名を変更してよろしいですか？\r\n\r\nファイル名は、/img/p1.jpg "
                       "から\r\n/img/cat.jpg に変更されます"));
    EXPECT_EQ(kRenameQuestionTitle, QStringLiteral("ファイル名の変更確認"));
}

class RenameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("p1.jpg"));
        writeFile(path, "photo");
        host.rows.push_back({path, QStringLiteral("  0"), QStringLiteral("cat")});
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir dir;
    QString path;
    FakeHost host;
    RenamePlan renames;
};

// The worked example on disk: captionForRow gives the caption and only plans the rename;
// the photo has its new name once the plan is applied, and its old one after undo.
TEST_F(RenameTest, WorkedExample) {
    struct Row {
        bool keepExtension, offerRename, answer;
        const char* caption;
        const char* fileAfter;
    } rows[] = {
        {true, false, true, "cat", "p1.jpg"},     {false, false, true, "cat", "p1.jpg"},
        {true, true, true, "cat.jpg", "cat.jpg"}, {false, true, true, "cat", "cat.jpg"},
        {true, true, false, "cat", "p1.jpg"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.caption) + " " + r.fileAfter);
        RenamePlan plan;
        host.scripted.shown.clear();
        host.scripted.yesNoAnswers = {r.answer};

        EXPECT_EQ(captionForRow(host, 0, r.keepExtension, r.offerRename, plan),
                  QString::fromUtf8(r.caption));
        EXPECT_EQ(files(), QStringList{QStringLiteral("p1.jpg")}); // nothing renamed yet
        EXPECT_EQ(host.rows[0].path, path);
        plan.apply();
        const QString after = dir.filePath(QString::fromUtf8(r.fileAfter));
        EXPECT_EQ(readFile(after), QByteArray("photo"));
        EXPECT_EQ(files().size(), 1);
        EXPECT_TRUE(plan.undo().isEmpty());
        EXPECT_EQ(readFile(path), QByteArray("photo"));
        EXPECT_EQ(host.scripted.shown.size(), r.offerRename ? 1 : 0);
        if (r.offerRename) {
            EXPECT_EQ(host.scripted.shown[0].kind, ScriptedDialogs::Shown::Question);
            EXPECT_EQ(host.scripted.shown[0].title, kRenameQuestionTitle);
            EXPECT_EQ(host.scripted.shown[0].text,
                      renameQuestion(path, dir.filePath(QStringLiteral("cat.jpg"))));
        }
    }
}

// Names that are refused for renaming (after the question), before anything is renamed:
// an existing file's name (58), and a name that is no plain visible file name (52).
TEST_F(RenameTest, RefusedNewNames) {
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    writeFile(dir.filePath(QStringLiteral("taken.jpg")), "another photo");
    const struct {
        const char* displayName;
        bool keepExtension;
        int error;
    } cases[] = {
        {"taken", true, err::FileAlreadyExists},
        {"sub/cat", true, err::BadFileName}, // would move the photo into another folder
        {"", true, err::BadFileName},        // would become ".jpg", a hidden file
        {".hidden", false, err::BadFileName},
        {"...", false, err::BadFileName},
        {".jpg", true, err::BadFileName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.displayName);
        host.rows[0].displayName = QString::fromUtf8(c.displayName);
        host.scripted.yesNoAnswers = {true};
        EXPECT_EQ(errorNumberOf([&] { captionForRow(host, 0, c.keepExtension, true, renames); }),
                  c.error);
        EXPECT_TRUE(renames.empty());
    }
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("taken.jpg"))), QByteArray("another photo"));
    EXPECT_EQ(readFile(path), QByteArray("photo"));
    EXPECT_EQ(host.rows[0].path, path);
}

// A second run over a renamed row asks again with equal paths; nothing is planned.
TEST_F(RenameTest, SecondRunRenamesToOwnPath) {
    const QString renamed = dir.filePath(QStringLiteral("cat.jpg"));
    QFile::rename(path, renamed);
    host.rows[0].path = renamed;
    EXPECT_EQ(captionForRow(host, 0, false, true, renames), QStringLiteral("cat"));
    EXPECT_TRUE(renames.empty());
    EXPECT_EQ(host.scripted.shown.at(0).text, renameQuestion(renamed, renamed));
}

TEST_F(RenameTest, SameAsFileNameIsNeverRenamed) {
    host.rows[0].displayName = kSameAsFileName;
    EXPECT_EQ(captionForRow(host, 0, false, true, renames), QStringLiteral("p1"));
    EXPECT_TRUE(host.scripted.shown.isEmpty());
    EXPECT_TRUE(renames.empty());
}

// The plan in order: a name another planned rename frees first may be taken; a rename
// that fails halfway renames back what was done, newest first.
TEST_F(RenameTest, PlanAppliesInOrderAndUndoesOnFailure) {
    const QString a = dir.filePath(QStringLiteral("a.jpg"));
    const QString b = dir.filePath(QStringLiteral("b.jpg"));
    const QString c = dir.filePath(QStringLiteral("c.jpg"));
    writeFile(a, "A");
    writeFile(b, "B");
    renames.add(b, c); // b moves away first ...
    renames.add(a, b); // ... so a may take its name
    EXPECT_EQ(errorNumberOf([&] { renames.add(path, c); }), err::FileAlreadyExists); // c is planned
    EXPECT_EQ(errorNumberOf([&] { renames.add(a, dir.filePath(QStringLiteral("d.jpg"))); }),
              err::FileAlreadyExists); // a is planned already
    renames.add(path, dir.filePath(QStringLiteral("z.jpg")));
    writeFile(dir.filePath(QStringLiteral("z.jpg")), "appeared meanwhile");

    EXPECT_EQ(errorNumberOf([&] { renames.apply(); }), err::FileAlreadyExists);
    ASSERT_NE(renames.failed(), nullptr);
    EXPECT_EQ(renames.failed()->from, path);
    EXPECT_TRUE(renames.notRestored().isEmpty());
    EXPECT_EQ(readFile(a), QByteArray("A"));
    EXPECT_EQ(readFile(b), QByteArray("B"));
    EXPECT_EQ(readFile(path), QByteArray("photo"));
    EXPECT_FALSE(QFile::exists(c));

    QFile::remove(dir.filePath(QStringLiteral("z.jpg")));
    renames.apply();
    EXPECT_EQ(readFile(c), QByteArray("B"));
    EXPECT_EQ(readFile(b), QByteArray("A"));
    EXPECT_TRUE(renames.undo().isEmpty());
    EXPECT_EQ(readFile(a), QByteArray("A"));
    EXPECT_EQ(readFile(b), QByteArray("B"));
    EXPECT_EQ(readFile(path), QByteArray("photo"));
}

} // namespace
} // namespace tav
