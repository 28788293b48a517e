// The failure report's classes and their messages.
#include "generate/failure_report.h"
#include "platform/error.h"
#include "platform/file_ops.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>

namespace tav {
namespace {

using Site = FailureSite;
using Class = FailureClass;

// The same number is a different problem at each site: 70 is "open elsewhere" only for
// the lock of the target, 53 the template's message only for the template.
TEST(FailureReport, ClassBySiteNumberAndErrno) {
    const struct {
        Site site;
        int number, osError;
        Class expected;
    } cases[] = {
        {Site::Template, 53, ENOENT, Class::TemplateMissing},
        {Site::Template, 76, ENOENT, Class::TemplateMissing},
        {Site::Template, 70, EACCES, Class::Other},
        {Site::Target, 70, 0, Class::TargetOpen}, // a lock file beside the target
        {Site::Target, 70, EACCES, Class::TargetFolderNotWritable},
        {Site::Target, 70, EROFS, Class::ReadOnlyMedium},
        {Site::Target, 76, ENOENT, Class::TargetFolderMissing},
        {Site::Target, 61, ENOSPC, Class::DiskFull},
        {Site::Target, 61, EDQUOT, Class::DiskFull},
        {Site::Target, 68, EIO, Class::Other},
        {Site::Picture, 53, ENOENT, Class::PicturesUnusable},
        {Site::Picture, 70, EACCES, Class::PicturesUnusable},
        {Site::Picture, 481, 0, Class::PicturesUnusable},
        {Site::Picture, 1004, 0, Class::Other},
        {Site::Rename, 58, 0, Class::RenameTargetExists},
        {Site::Rename, 70, EACCES, Class::RenameRefused},
        {Site::Rename, 53, ENOENT, Class::PicturesUnusable},
        {Site::Rename, 52, 0, Class::Other},
        {Site::Engine, 70, 0, Class::Other},
        {Site::Engine, 53, 0, Class::Other},
        {Site::Engine, 1004, 0, Class::Other},
    };
    for (const auto& c : cases) {
        const RunFailure f =
            classifyFailure(c.site, Error(c.number, QStringLiteral("d"), c.osError), {});
        EXPECT_EQ(f.failureClass, c.expected)
            << static_cast<int>(c.site) << " " << c.number << " " << c.osError;
    }
    EXPECT_EQ(classifyFailure(70), Class::Other);
    EXPECT_EQ(classifyFailure(53), Class::Other);

    const struct {
        TargetProblem problem;
        Class expected;
    } targets[] = {
        {TargetProblem::FolderMissing, Class::TargetFolderMissing},
        {TargetProblem::InUse, Class::TargetOpen},
        {TargetProblem::ReadOnlyMedium, Class::ReadOnlyMedium},
        {TargetProblem::FolderNotWritable, Class::TargetFolderNotWritable},
        {TargetProblem::TargetNotAFile, Class::TargetReadOnly},
        {TargetProblem::TargetReadOnly, Class::TargetReadOnly},
    };
    for (const auto& t : targets) {
        EXPECT_EQ(classifyTargetProblem(t.problem), t.expected) << static_cast<int>(t.problem);
    }
}

QString textOf(Class c, const QString& subject = QStringLiteral("/data/現場/book.xls")) {
    RunFailure f;
    f.failureClass = c;
    f.subject = subject;
    return failureMessage(f).text;
}

TEST(FailureReport, ClassicTexts) {
    const FailureMessage open = failureMessage(RunFailure{Class::TargetOpen, 70});
    EXPECT_EQ(open.text, QStringLiteral("保存先と同名のExcelファイルが開かれています。\r\rExcelファ"
                                        "イルを閉じて下さい。\r本ソフトを終了します。"));
    EXPECT_TRUE(open.endsProgram);
    EXPECT_EQ(open.icon, MessageIcon::None);

    EXPECT_EQ(textOf(Class::TemplateMissing),
              QStringLiteral(
                  "Excel元ファイルが存在しません。\rExcelBook.orgを同一フォルダに格納下さい。"));

    const FailureMessage other = failureMessage(1004, QStringLiteral("'A0' is no address"));
    EXPECT_EQ(other.text,
              QStringLiteral("ｴﾗｰNo:1004\r\n\r\nｴﾗｰ発生時点、ｴﾗｰNo、内容を控え連絡して下さい。"
                             "\r\n\r\n内容:'A0' is no address"));
    EXPECT_FALSE(other.endsProgram);
    // A 70 or 53 of the engine is no open target and no missing template.
    EXPECT_TRUE(failureMessage(70, QString()).text.startsWith(QStringLiteral("ｴﾗｰNo:70")));
    EXPECT_TRUE(failureMessage(53, QString()).text.startsWith(QStringLiteral("ｴﾗｰNo:53")));

    for (int n : {70, 53, 1004}) {
        EXPECT_EQ(failureMessage(n, QString()).title, QStringLiteral("Tavolin、画像ファイル生成"));
    }
}

// The messages that name their cause: the folder or the file, in their own words; none
// ends the program.
TEST(FailureReport, CauseTexts) {
    const struct {
        Class failureClass;
        const char* starts;
        const char* names;
    } cases[] = {
        {Class::TargetFolderMissing, "保存先のフォルダが見つかりません。\r", "/data/現場\r"},
        {Class::TargetFolderNotWritable, "保存先のフォルダに書き込む権限がありません。\r",
         "/data/現場\r"},
        {Class::ReadOnlyMedium, "保存先は読み取り専用の場所のため、書き込めません。\r",
         "/data/現場\r"},
        {Class::TargetReadOnly, "保存先のExcelファイルは読み取り専用です。\r",
         "/data/現場/book.xls\r"},
        {Class::DiskFull, "ディスクの空き容量が足りないため、保存できませんでした。\r",
         "/data/現場\r"},
        {Class::RenameRefused, "画像ファイルの名前を変更する権限がありません。\r",
         "/data/現場/book.xls"},
        {Class::RenameTargetExists, "同じ名前のファイルがすでにあるため", "/data/現場/book.xls"},
    };
    for (const auto& c : cases) {
        RunFailure f;
        f.failureClass = c.failureClass;
        f.subject = QStringLiteral("/data/現場/book.xls");
        const FailureMessage m = failureMessage(f);
        SCOPED_TRACE(m.text.toStdString());
        EXPECT_TRUE(m.text.startsWith(QString::fromUtf8(c.starts)));
        EXPECT_TRUE(m.text.contains(QString::fromUtf8(c.names)));
        EXPECT_FALSE(m.endsProgram);
        EXPECT_EQ(m.icon, MessageIcon::Exclamation);
        EXPECT_FALSE(m.text.contains(QStringLiteral("ExcelBook.org")));
    }
}

// Every bad photo is named with its reason; a long list is cut after twenty names.
TEST(FailureReport, PicturesUnusableNamesEachPhoto) {
    EXPECT_EQ(pictureProblemLine(QStringLiteral("/p/a.jpg"), Error(53, {}, ENOENT)),
              QStringLiteral("/p/a.jpg：見つかりません"));
    EXPECT_EQ(pictureProblemLine(QStringLiteral("/p/a.jpg"), Error(70, {}, EACCES)),
              QStringLiteral("/p/a.jpg：読み込む権限がありません"));
    EXPECT_TRUE(pictureProblemLine(QStringLiteral("/p/a.jpg"), Error(481, {}))
                    .endsWith(QStringLiteral(
                        "画像として読めません（壊れているか、対応していない形式です）")));
    EXPECT_TRUE(
        pictureNameProblemLine(QStringLiteral("/p/\uFFFD.jpg"))
            .startsWith(QStringLiteral("/p/\uFFFD.jpg：ファイル名の文字コードがUTF-8ではない")));

    RunFailure f =
        classifyFailure(Site::Picture, Error(53, {}, ENOENT), QStringLiteral("/p/x.jpg"));
    EXPECT_EQ(failureMessage(f).text,
              QStringLiteral("次の画像ファイルを読み込めません。\r\r/p/x.jpg：見つかりません\r\r"
                             "一覧から外すか、ファイルを確かめて下さい。"));
    f.details.clear();
    for (int i = 0; i < 25; ++i) {
        f.details << QStringLiteral("/p/%1.jpg：見つかりません").arg(i);
    }
    f.notRestored << QStringLiteral("/p/new.jpg → /p/old.jpg");
    const QString text = failureMessage(f).text;
    EXPECT_TRUE(text.contains(QStringLiteral("/p/19.jpg")));
    EXPECT_FALSE(text.contains(QStringLiteral("/p/20.jpg")));
    EXPECT_TRUE(text.contains(QStringLiteral("ほか 5 件（全部で 25 件）")));
    EXPECT_TRUE(text.endsWith(
        QStringLiteral("次の画像ファイルの名前を元に戻せませんでした。\r/p/new.jpg → /p/old.jpg")));
}

// The manual quotes every message of the report word for word, with what it names as
// "（フォルダ）", "（ファイル）" or "（画像ファイル）：（理由）".
TEST(FailureReport, TheManualQuotesEveryMessage) {
    QFile manual(QStringLiteral(TAVOLIN_HELP_SOURCE "/messages.html"));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QString html =
        QString::fromUtf8(manual.readAll()).replace(QStringLiteral("<br>\n"), QStringLiteral("\n"));
    for (int c = 0; c <= static_cast<int>(Class::Other); ++c) {
        RunFailure f;
        f.failureClass = static_cast<Class>(c);
        f.subject = QStringLiteral("（フォルダ）/x");
        f.details << QStringLiteral("（画像ファイル）：（理由）");
        f.number = 0;
        f.description = QStringLiteral("（説明）");
        QString text = failureMessage(f).text;
        text.replace(QStringLiteral("（フォルダ）/x"), QStringLiteral("（ファイル）"));
        text.replace(QStringLiteral("ｴﾗｰNo:0"), QStringLiteral("ｴﾗｰNo:（番号）"));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        EXPECT_TRUE(html.contains(text)) << text.toStdString();
    }
}

} // namespace
} // namespace tav
