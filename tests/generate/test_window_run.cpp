// The generation run through the real main window, offscreen: the run reads the
// window's controls and selection list, makes each row current, shows its progress,
// writes the renamed path back into the list, and enables CmdShowExcel at the end.
#include "app/main_window.h"
#include "app/selection_list.h"
#include "app/window_run_host.h"
#include "generate/generation_run.h"
#include "platform/testing/fake_file_system.h"
#include "platform/testing/memory_profile_strings.h"
#include "platform/testing/scripted_dialogs.h"
#include "platform/xls/engine.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>

namespace tav {
namespace {

QString testImage(const char* name) {
    return QStringLiteral(TAVOLIN_GENERATE_TEST_DATA "/") + QLatin1String(name);
}

class WindowRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(programDir.isValid() && work.isValid());
        ASSERT_TRUE(QFile::copy(QStringLiteral(TAVOLIN_TEMPLATE_PATH),
                                programDir.filePath(QStringLiteral("ExcelBook.org"))));
        fs.addFolder(QStringLiteral("/home/u"));
        env.dialogs = &dialogs;
        env.fileSystem = &fs;
        env.profiles = &profiles;
        env.programFolder = programDir.path();
        env.startFolder = QStringLiteral("/home/u");
        newWindow();
        for (const char* name :
             {"photo_0.5mp_olympus_snow.jpg", "orientation_6.jpg", "photo_hopper_128.gif"}) {
            ASSERT_TRUE(QFile::copy(testImage(name), work.filePath(QLatin1String(name))));
        }
    }

    void newWindow() {
        window.reset();
        window = std::make_unique<MainWindow>(env);
        window->startUp();
    }

    MainWindowEnvironment env;
    QTemporaryDir programDir;
    QTemporaryDir work;
    testing::FakeFileSystem fs;
    testing::ScriptedDialogs dialogs;
    testing::MemoryProfileStrings profiles;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowRun, RunFromTheWindow) {
    MainWindow& w = *window;
    SelectionList& list = w.selectionList();
    list.registerFiles(work.path(),
                       {QStringLiteral("photo_0.5mp_olympus_snow.jpg"),
                        QStringLiteral("orientation_6.jpg"),
                        QStringLiteral("photo_hopper_128.gif")},
                       QStringLiteral(" 90"));
    list.setDisplayName(1, QStringLiteral("縦の写真"));
    list.setNote(0, QStringLiteral("北面\n雪"));
    w.dateNotesCheck->setChecked(true);
    w.targetFolderLabel->setText(work.path());
    w.workbookNameEdit->setText(QStringLiteral("report.XLS"));
    w.titleEdit->setText(QStringLiteral("題"));
    w.layoutFamilyOptions[1]->setChecked(true);
    w.withoutNotesLayoutOptions[1]->setChecked(true); // three a page, no notes
    w.renameFilesCheck->setChecked(true);
    w.extensionCheck->setChecked(false);
    dialogs.yesNoAnswers = {true};

    WindowRunHost& host = w.runHost();
    GenerationRun& run = w.generationRun();
    const GenerationJob job = readGenerationJob(w);
    EXPECT_EQ(job.layout, (LayoutChoice{LayoutFamily::WithoutNotes, 1}));
    EXPECT_EQ(job.programFolder, programDir.path());
    EXPECT_TRUE(job.fillEmptyNotesWithDateTaken);
    EXPECT_EQ(host.rowNote(0), QStringLiteral("北面\n雪"));
    EXPECT_EQ(host.rowNote(1), QString());

    // The progress bar shows while the run works; a second click on CmdExec while the
    // run yields is ignored.
    std::vector<bool> barVisible;
    std::vector<bool> runningAtClick;
    std::vector<bool> showWorkbookEnabled;
    std::vector<bool> lockedAtClick;
    QObject::connect(&list, &SelectionList::rowChosen, [&](int) {
        barVisible.push_back(w.progressBar->isVisibleTo(&w));
        showWorkbookEnabled.push_back(w.showWorkbookButton->isEnabled());
        runningAtClick.push_back(run.isRunning());
        w.createButton->click();
        // Reordering or removing while the run yields is refused: each row is placed
        // where it was, none is skipped.
        list.sort(RowOrder::Name, true);
        list.moveRows({0}, 3);
        w.undoButton->click();
        w.removeButton->click();
        w.clearButton->click();
        lockedAtClick.push_back(!w.undoButton->isEnabled() && !w.sortButton->isEnabled());
    });
    w.createButton->click();
    ASSERT_EQ(run.lastErrorNumber(), 0) << run.lastErrorDescription().toStdString();
    EXPECT_EQ(barVisible, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(runningAtClick, (std::vector<bool>(3, true)));
    EXPECT_EQ(showWorkbookEnabled, (std::vector<bool>(3, false)));
    EXPECT_EQ(lockedAtClick, (std::vector<bool>(3, true)));
    EXPECT_TRUE(w.sortButton->isEnabled()); // the run is over
    EXPECT_EQ(std::count_if(dialogs.shown.begin(), dialogs.shown.end(),
                            [](const auto& s) {
                                return s.text == QStringLiteral("画像貼り付け処理が終了しました");
                            }),
              1);
    EXPECT_FALSE(w.progressBar->isVisibleTo(&w));
    EXPECT_TRUE(w.showWorkbookButton->isEnabled());
    EXPECT_TRUE(w.createButton->isEnabled());
    EXPECT_EQ(list.currentRow(), 2);
    EXPECT_EQ(host.resultWorkbookPath(), work.filePath(QStringLiteral("report.XLS")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The renamed row shows its new path.
    EXPECT_EQ(list.path(1), work.filePath(QStringLiteral("縦の写真.jpg")));
    EXPECT_TRUE(QFile::exists(list.path(1)));
    // Undo would point rows at the names the photos no longer have.
    EXPECT_FALSE(list.undoStack().canUndo());
    EXPECT_EQ(dialogs.shown.back().text, QStringLiteral("画像貼り付け処理が終了しました"));

    xls::Application app;
    xls::Worksheet& sheet =
        app.workbooks().open(host.resultWorkbookPath()).worksheet(QStringLiteral("Sheet1"));
    EXPECT_EQ(sheet.shapeCount(), 3);
    EXPECT_EQ(sheet.range(QStringLiteral("J39")).text(), QStringLiteral("縦の写真"));
    EXPECT_EQ(sheet.range(QStringLiteral("AH1")).text(), QStringLiteral("Page.1"));
}

// A failure that ends the program (the target is open elsewhere) shuts the window down,
// which writes the settings file first.
TEST_F(WindowRun, TargetOpenEndsProgramAfterWritingSettings) {
    MainWindow& w = *window;
    w.selectionList().registerFiles(work.path(), {QStringLiteral("orientation_6.jpg")},
                                    QStringLiteral("  0"));
    w.targetFolderLabel->setText(work.path());
    w.workbookNameEdit->setText(QStringLiteral("open"));
    w.authorEdit->setText(QStringLiteral("作成者"));
    QFile lock(work.filePath(QStringLiteral(".~lock.open.xls#")));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();
    bool ended = false;
    QObject::connect(&w, &MainWindow::programEnded, [&] { ended = true; });
    EXPECT_EQ(w.generationRun().start(readGenerationJob(w)), RunOutcome::ProgramEnds);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(profiles.writes.isEmpty());
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("open.xls"))));
}

// Closing the window while a run works (the close button or 終了): the run stops at its
// next step, the previous workbook and every photo's name stay as they were, the
// settings are written and the program ends; no question is asked after the close.
TEST_F(WindowRun, ClosingDuringARunStopsItAndEnds) {
    const QString target = work.filePath(QStringLiteral("report.xls"));
    const QStringList photos{QStringLiteral("photo_0.5mp_olympus_snow.jpg"),
                             QStringLiteral("orientation_6.jpg"),
                             QStringLiteral("photo_hopper_128.gif")};
    for (const bool byCmdEnd : {false, true}) {
        SCOPED_TRACE(byCmdEnd ? "CmdEnd" : "close button");
        newWindow();
        MainWindow& w = *window;
        SelectionList& list = w.selectionList();
        list.registerFiles(work.path(), photos, QStringLiteral("  0"));
        for (int row = 0; row < 3; ++row) {
            list.setDisplayName(row, QStringLiteral("名前%1").arg(row));
        }
        w.targetFolderLabel->setText(work.path());
        w.workbookNameEdit->setText(QStringLiteral("report"));
        w.authorEdit->setText(QStringLiteral("閉じた人"));
        w.renameFilesCheck->setChecked(true);
        {
            QFile previous(target);
            ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
            previous.write("the previous report");
        }
        dialogs.shown.clear();
        dialogs.yesNoAnswers = {true, true, true};
        profiles.writes.clear();
        bool ended = false;
        QObject::connect(&w, &MainWindow::programEnded, [&] { ended = true; });
        QObject::connect(&list, &SelectionList::rowChosen, &w, [&](int row) {
            if (row == 0) {
                byCmdEnd ? w.quitButton->click() : static_cast<void>(w.close());
            }
        });

        w.show();
        w.createButton->click();
        EXPECT_EQ(dialogs.shown.size(), 1); // the first rename question, nothing after
        EXPECT_TRUE(ended);
        EXPECT_FALSE(profiles.writes.isEmpty());
        EXPECT_FALSE(w.isVisible());
        QFile previous(target);
        ASSERT_TRUE(previous.open(QIODevice::ReadOnly));
        EXPECT_EQ(previous.readAll(), QByteArray("the previous report"));
        QStringList files = QDir(work.path()).entryList(QDir::Files | QDir::Hidden);
        files.sort();
        QStringList expected = photos + QStringList{QStringLiteral("report.xls")};
        expected.sort();
        EXPECT_EQ(files, expected);
        EXPECT_EQ(list.path(0), work.filePath(photos[0]));
    }
}

} // namespace
} // namespace tav

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
