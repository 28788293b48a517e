// The sample buttons and the result button, with the real engine and a recording shell
// standing in for the desktop.
#include "platform/error.h"
#include "platform/testing/recording_shell.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/xls/engine.h"
#include "settings/about_window.h"
#include "settings/sample_workbooks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef TAVOLIN_EXTRAS_DATA
#error "TAVOLIN_EXTRAS_DATA must name the test data folder"
#endif

namespace tav {
namespace {

using testing::RecordingShell;
using testing::ScriptedDialogs;

const QString kWorkbook = QStringLiteral(TAVOLIN_EXTRAS_DATA "/lo_from_fods_2pics_absolute.xls");

class SampleButtons : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        setDefaultShell(&shell);
    }
    void TearDown() override { setDefaultShell(nullptr); }

    QString putSample(SampleKind kind) {
        const QString path = folder.filePath(sampleFileName(kind));
        EXPECT_TRUE(QFile::copy(kWorkbook, path));
        return path;
    }

    void click(SampleKind kind) {
        openSampleWorkbook(kind, folder.path(), dialogs, nullptr, engineFactory(), app);
    }

    QTemporaryDir folder;
    RecordingShell shell;
    ScriptedDialogs dialogs;
    std::unique_ptr<xls::Application> app;
};

TEST_F(SampleButtons, FileNames) {
    EXPECT_EQ(sampleFileName(SampleKind::WithNotes), QStringLiteral("ﾉｰﾄ付きｻﾝﾌﾟﾙ.xls"));
    EXPECT_EQ(sampleFileName(SampleKind::WithoutNotes), QStringLiteral("ﾉｰﾄ無しｻﾝﾌﾟﾙ.xls"));
}

TEST_F(SampleButtons, MissingSampleWarnsWithTheFullPath) {
    // The other sample being present does not help.
    putSample(SampleKind::WithNotes);
    click(SampleKind::WithoutNotes);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("サンプルファイル：") + folder.path() +
                                         QStringLiteral("/ﾉｰﾄ無しｻﾝﾌﾟﾙ.xls がありません"));
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Tavolin"));
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(shell.openedDocuments.isEmpty());
    EXPECT_EQ(app, nullptr); // no application was started

    // A folder of that name is not the sample, nor is a program folder at the root.
    ASSERT_TRUE(QDir(folder.path()).mkdir(sampleFileName(SampleKind::WithoutNotes)));
    click(SampleKind::WithoutNotes);
    EXPECT_EQ(dialogs.messageCount(), 2);
    EXPECT_EQ(missingSampleMessage(SampleKind::WithNotes, QStringLiteral("/")),
              QStringLiteral("サンプルファイル：/ﾉｰﾄ付きｻﾝﾌﾟﾙ.xls がありません"));
    EXPECT_TRUE(shell.openedDocuments.isEmpty());
}

TEST_F(SampleButtons, EachClickShowsTheSampleOnceMore) {
    const QString withNotes = putSample(SampleKind::WithNotes);
    const QString withoutNotes = putSample(SampleKind::WithoutNotes);
    click(SampleKind::WithNotes);
    ASSERT_NE(app, nullptr);
    const xls::Application* first = app.get();
    EXPECT_TRUE(app->visible());
    EXPECT_EQ(app->workbooks().count(), 1);
    EXPECT_EQ(shell.openedDocuments, QStringList{withNotes});

    click(SampleKind::WithNotes);
    click(SampleKind::WithoutNotes);
    EXPECT_EQ(shell.openedDocuments, (QStringList{withNotes, withNotes, withoutNotes}));
    // Each click started its own application; the reference holds the newest, with the
    // one workbook it opened.
    EXPECT_NE(app.get(), first);
    EXPECT_EQ(app->workbooks().count(), 1);
    EXPECT_EQ(dialogs.messageCount(), 0);
}

TEST_F(SampleButtons, FailuresAfterTheFileCheckAreSilentButNoProgramIsTold) {
    // A damaged sample: the engine refuses it, nothing is shown, nothing is reported.
    QFile damaged(folder.filePath(sampleFileName(SampleKind::WithNotes)));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("not a workbook");
    damaged.close();
    click(SampleKind::WithNotes);
    EXPECT_EQ(dialogs.messageCount(), 0);
    EXPECT_TRUE(shell.openedDocuments.isEmpty());
    EXPECT_NE(app, nullptr);

    // Nothing on the desktop can show a good sample: the user is told so (a button that
    // seems to do nothing is no answer), and the program goes on.
    const QString good = putSample(SampleKind::WithoutNotes);
    shell.openSucceeds = false;
    click(SampleKind::WithoutNotes);
    ASSERT_EQ(dialogs.messageCount(), 1);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(
        QStringLiteral("Excelファイルを表示できるプログラムが見つかりません。\n\n") + good));
    EXPECT_FALSE(dialogs.shown[0].text.contains(QStringLiteral("本ソフトを終了します")));
    EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(shell.openedDocuments, QStringList{good});
    dialogs.shown.clear();

    // An application that cannot be created leaves the earlier reference in place.
    xls::Application* before = app.get();
    const SpreadsheetFactory failing = []() -> std::unique_ptr<xls::Application> {
        throw Error(429, QStringLiteral("cannot create"));
    };
    const auto shownBefore = shell.openedDocuments.size();
    openSampleWorkbook(SampleKind::WithoutNotes, folder.path(), dialogs, nullptr, failing, app);
    EXPECT_EQ(app.get(), before);
    // The earlier instance is not asked to show its workbook once more.
    EXPECT_EQ(shell.openedDocuments.size(), shownBefore);
    EXPECT_EQ(dialogs.messageCount(), 0);
}

class ResultButton : public SampleButtons {
protected:
    bool click(const QString& path) {
        return showResultWorkbook(path, dialogs, nullptr, engineFactory(), app,
                                  [this] { ++ended; });
    }
    int ended = 0;
};

TEST_F(ResultButton, ShowsTheWorkbookOnceAndEnds) {
    const QString result = folder.filePath(QStringLiteral("報告書.xls"));
    ASSERT_TRUE(QFile::copy(kWorkbook, result));
    EXPECT_TRUE(click(result));
    EXPECT_EQ(shell.openedDocuments, QStringList{result});
    EXPECT_EQ(dialogs.messageCount(), 0);
    EXPECT_EQ(ended, 1);
    ASSERT_NE(app, nullptr);
    EXPECT_TRUE(app->visible());
}

TEST_F(ResultButton, ReportsWhyTheWorkbookCannotBeShownAndStillEnds) {
    struct Case {
        const char* name;
        QString path;
        bool desktopCanOpen;
        QString expectedStart;
    };
    const QString moved = folder.filePath(QStringLiteral("移動した.xls"));
    const QString goneFolder = folder.filePath(QStringLiteral("消えたフォルダ/報告書.xls"));
    const QString damaged = folder.filePath(QStringLiteral("壊れた.xls"));
    const QString good = folder.filePath(QStringLiteral("報告書.xls"));
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a workbook");
    file.close();
    ASSERT_TRUE(QFile::copy(kWorkbook, good));
    const Case cases[] = {
        {"moved or deleted", moved, true,
         QStringLiteral("作成したExcelファイルが見つかりません。")},
        {"folder gone", goneFolder, true,
         QStringLiteral("作成したExcelファイルが見つかりません。")},
        {"damaged", damaged, true, QStringLiteral("作成したExcelファイルを開けません。")},
        {"no program", good, false,
         QStringLiteral("Excelファイルを表示できるプログラムが見つかりません。")},
    };
    for (const Case& c : cases) {
        dialogs.shown.clear();
        ended = 0;
        shell.openSucceeds = c.desktopCanOpen;
        EXPECT_FALSE(click(c.path)) << c.name;
        ASSERT_EQ(dialogs.shown.size(), 1) << c.name;
        const QString text = dialogs.shown[0].text;
        EXPECT_TRUE(text.startsWith(c.expectedStart)) << c.name << ": " << text.toStdString();
        EXPECT_TRUE(text.contains(c.path)) << c.name;
        EXPECT_TRUE(text.endsWith(QStringLiteral("本ソフトを終了します。"))) << c.name;
        EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Tavolin"));
        EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(ended, 1) << c.name;
    }
    // Only the workbook that opened was handed to the desktop, once.
    EXPECT_EQ(shell.openedDocuments, QStringList{good});

    // No application can be started at all: reported the same way, and the end follows.
    dialogs.shown.clear();
    ended = 0;
    const SpreadsheetFactory failing = []() -> std::unique_ptr<xls::Application> {
        return nullptr;
    };
    EXPECT_FALSE(showResultWorkbook(good, dialogs, nullptr, failing, app, [this] { ++ended; }));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(
        QStringLiteral("Excelファイルを表示できるプログラムが見つかりません。")));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(shell.openedDocuments, QStringList{good});
}

TEST_F(ResultButton, TheManualQuotesTheReportsWordForWord) {
    QFile manual(QStringLiteral(TAVOLIN_HELP_SOURCE "/messages.html"));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QString html =
        QString::fromUtf8(manual.readAll()).replace(QStringLiteral("<br>\n"), QStringLiteral("\n"));
    const QString damaged = folder.filePath(QStringLiteral("壊れた.xls"));
    QFile file(damaged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a workbook");
    file.close();
    const QString good = folder.filePath(QStringLiteral("報告書.xls"));
    ASSERT_TRUE(QFile::copy(kWorkbook, good));
    struct Case {
        QString path;
        bool desktopCanOpen;
    };
    const Case cases[] = {
        {folder.filePath(QStringLiteral("無い.xls")), true}, {damaged, true}, {good, false}};
    for (const Case& c : cases) {
        dialogs.shown.clear();
        shell.openSucceeds = c.desktopCanOpen;
        click(c.path);
        ASSERT_EQ(dialogs.shown.size(), 1);
        QString text = dialogs.shown[0].text;
        text.replace(c.path, QStringLiteral("（ファイル）"));
        const int detail = text.indexOf(QStringLiteral("内容:"));
        if (detail >= 0) {
            const int end = text.indexOf(QLatin1Char('\n'), detail);
            text.replace(detail, end - detail, QStringLiteral("内容:（説明）"));
        }
        EXPECT_TRUE(html.contains(text)) << text.toStdString();
    }
    // The sample buttons' report when nothing can show a sample.
    dialogs.shown.clear();
    putSample(SampleKind::WithNotes);
    shell.openSucceeds = false;
    openSampleWorkbook(SampleKind::WithNotes, folder.path(), dialogs, nullptr, engineFactory(),
                       app);
    ASSERT_EQ(dialogs.shown.size(), 1);
    const QString sampleText = dialogs.shown[0].text.replace(
        folder.filePath(sampleFileName(SampleKind::WithNotes)), QStringLiteral("（ファイル）"));
    EXPECT_TRUE(html.contains(sampleText)) << sampleText.toStdString();
    EXPECT_TRUE(html.contains(
        missingSampleMessage(SampleKind::WithNotes, QStringLiteral("（プログラムのフォルダ）"))));
    EXPECT_TRUE(html.contains(missingSampleMessage(SampleKind::WithoutNotes,
                                                   QStringLiteral("（プログラムのフォルダ）"))));
    EXPECT_TRUE(html.contains(sysInfoUnavailableMessage()));
}

} // namespace
} // namespace tav
