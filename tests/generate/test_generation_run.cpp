// The generation run end to end through the host interface, without windows. The
// written workbook is opened again with the engine and checked.
#include "generate/captions.h"
#include "generate/failure_report.h"
#include "generate/generation_run.h"
#include "generate/placement.h"
#include "platform/error.h"
#include "platform/office_lock.h"
#include "platform/testing/failing_file_writer.h"
#include "platform/testing/unprivileged.h"
#include "platform/xls/address.h"
#include "platform/xls/engine.h"
#include "platform/xls/picture.h"
#include "tests/generate/run_fixture.h"

#include <QFileInfo>
#include <QImage>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

#include <gtest/gtest.h>

namespace tav {
namespace {

using testing::RunFixture;
using testing::ScriptedDialogs;

constexpr LayoutChoice plain(int i) {
    return {LayoutFamily::WithoutNotes, i};
}
constexpr LayoutChoice notes(int i) {
    return {LayoutFamily::WithNotes, i};
}

class Reopened {
public:
    explicit Reopened(const QString& path)
        : book(app.workbooks().open(path)), sheet(book.worksheet(QStringLiteral("Sheet1"))) {}
    QString text(const char* address) { return sheet.range(QString::fromLatin1(address)).text(); }
    QStringList anchors() {
        QStringList list;
        for (const xls::Shape& s : sheet.shapes()) {
            list << s.topLeftCell().address().remove(QLatin1Char('$'));
        }
        return list;
    }
    xls::Application app;
    xls::Workbook& book;
    xls::Worksheet& sheet;
};

TEST(TargetPath, XlsRule) {
    EXPECT_EQ(targetWorkbookPath(QStringLiteral("/work/"), QStringLiteral("a")),
              QStringLiteral("/work/a.xls"));
    EXPECT_EQ(targetWorkbookPath(QStringLiteral("/work"), QStringLiteral("a.XlS")),
              QStringLiteral("/work/a.XlS"));
    EXPECT_EQ(targetWorkbookPath(QStringLiteral("/work"), QStringLiteral("book.xlsx")),
              QStringLiteral("/work/book.xlsx.xls"));
    EXPECT_EQ(targetWorkbookPath(QStringLiteral("/"), QStringLiteral("b.xls")),
              QStringLiteral("/b.xls"));
    EXPECT_EQ(targetWorkbookPath(QStringLiteral("/w"), QStringLiteral("xls")),
              QStringLiteral("/w/xls.xls"));
}

TEST_F(RunFixture, ValidationInOrder) {
    GenerationRun run(host);
    const GenerationJob good = job;
    job.folder.clear();
    job.fileName.clear();
    EXPECT_EQ(run.start(job), RunOutcome::Refused);
    job.folder = good.folder;
    EXPECT_EQ(run.start(job), RunOutcome::Refused);
    job.fileName = good.fileName;
    EXPECT_EQ(run.start(job), RunOutcome::Refused); // empty selection list
    ASSERT_EQ(host.scripted.shown.size(), 3);
    EXPECT_EQ(host.scripted.shown[0].text, QStringLiteral("フォルダを指定して下さい。"));
    EXPECT_EQ(host.scripted.shown[1].text, QStringLiteral("ファイル名を指定して下さい。"));
    EXPECT_EQ(host.scripted.shown[2].text, QStringLiteral("ファイルを選択して下さい。"));
    for (const auto& s : host.scripted.shown) {
        EXPECT_EQ(s.title, QStringLiteral("Tavolin"));
        EXPECT_EQ(s.icon, MessageIcon::None);
    }
    EXPECT_FALSE(QFile::exists(target()));
    EXPECT_TRUE(host.events.isEmpty()); // not even the busy pointer
}

// One picture in plain-2: rows 1..88 at 13.5 pt, Page.1 in AH1, the title in H1, the
// picture at H6 fitted into 370 x 278, caption in H29.
TEST_F(RunFixture, OnePicturePlain2) {
    job.layout = plain(0);
    addRow(image("photo_0.5mp_olympus_snow.jpg")); // 800 x 600 landscape
    GenerationRun run(host);
    ASSERT_EQ(run.start(job), RunOutcome::Completed)
        << run.lastErrorNumber() << " " << run.lastErrorDescription().toStdString();
    EXPECT_EQ(host.resultPath, target());
    ASSERT_EQ(host.scripted.shown.size(), 1);
    EXPECT_EQ(host.scripted.shown[0].text, QStringLiteral("画像貼り付け処理が終了しました"));
    EXPECT_EQ(host.scripted.shown[0].title, QStringLiteral("Tavolin、画像ファイル生成"));
    EXPECT_TRUE(host.showWorkbookEnabled);
    EXPECT_FALSE(host.busy);
    EXPECT_EQ(host.currentRow, 0);
    EXPECT_EQ(host.processEventsCalls, 1);
    EXPECT_EQ(host.progress.back(), std::make_pair(-1, -1));
    EXPECT_EQ(host.progress.at(host.progress.size() - 2), std::make_pair(1, 1));

    Reopened r(target());
    EXPECT_EQ(r.text("AH1"), QStringLiteral("Page.1"));
    EXPECT_EQ(r.text("H1"), QStringLiteral("現場写真"));
    EXPECT_EQ(r.text("H29"), QStringLiteral("photo_0.5mp_olympus_snow.jpg"));
    EXPECT_EQ(r.sheet.range(QStringLiteral("AH1")).horizontalAlignment(), xls::xl::HAlignRight);
    EXPECT_EQ(r.sheet.range(QStringLiteral("H1")).horizontalAlignment(), xls::xl::HAlignLeft);
    EXPECT_EQ(r.sheet.range(QStringLiteral("H29")).verticalAlignment(), xls::xl::VAlignCenter);
    EXPECT_DOUBLE_EQ(r.sheet.range(QStringLiteral("A88")).rowHeight(), 13.5);
    EXPECT_NEAR(r.sheet.range(QStringLiteral("AZ1")).columnWidth(), 1.63, 0.01);
    ASSERT_EQ(r.anchors(), QStringList{QStringLiteral("H6")});
    const xls::Shape s = r.sheet.shapes().front();
    EXPECT_TRUE(s.isJpeg());
    EXPECT_NEAR(s.width(), 370, 0.5);
    EXPECT_NEAR(s.height(), 277.5, 0.5);
    EXPECT_EQ(r.sheet.pageSetup().order(), xls::xl::OrderOverThenDown);
    EXPECT_TRUE(r.sheet.horizontalPageBreaks().empty());
}

// The print area: every layout page, across columns fixed per layout (centred on the
// pictures), the same whether the captions are short or longer than the page is wide.
TEST_F(RunFixture, PrintAreaIsFixedPerLayout) {
    struct Case {
        LayoutChoice choice;
        bool captions;
        const char* columns;
    };
    const Case cases[] = {
        {plain(0), true, "$A$1:$AO$"}, {plain(1), true, "$A$1:$AN$"},
        {plain(2), true, "$A$1:$AO$"}, {plain(2), false, "$A$1:$AP$"},
        {plain(3), true, "$A$1:$AO$"}, {plain(3), false, "$A$1:$AP$"},
        {plain(4), true, "$B$1:$AQ$"}, {plain(4), false, "$B$1:$AQ$"},
        {notes(0), true, "$A$1:$E$"},  {notes(1), true, "$A$1:$E$"},
        {notes(2), true, "$A$1:$E$"},  {notes(3), true, "$A$1:$E$"},
        {notes(4), true, "$A$1:$E$"},
    };
    const QString photo = image("photo_0.5mp_olympus_snow.jpg");
    for (const Case& c : cases) {
        job.layout = c.choice;
        job.withCaptions = c.captions;
        const PageLayout layout = pageLayout(c.choice, c.captions);
        const QString expected = QString::fromLatin1(c.columns) + QString::number(layout.pageRows);
        for (const char* name :
             {"短い", "現場の状況を確認した記録現場の状況を確認した記録現場の状況を"
                      "確認した記録現場の状況を確認した記録"}) {
            host.rows.clear();
            addRow(photo, "  0", name);
            addRow(photo, " 90", name);
            GenerationRun run(host);
            ASSERT_EQ(run.start(job), RunOutcome::Completed);
            Reopened r(target());
            EXPECT_EQ(r.sheet.pageSetup().printArea(), expected)
                << layoutKey(c.choice).toStdString() << (c.captions ? "" : " no captions") << " "
                << name;
            const xls::Range area = r.sheet.range(r.sheet.pageSetup().printArea());
            EXPECT_LE(area.width(), r.sheet.pageSetup().printableWidth() * 0.98);
        }
    }
}

// Five pictures in notes-square-4: grid, a header on every page (also on the last,
// which holds one picture), rotated pictures, page breaks every 44 rows, JPEG pictures
// only.
TEST_F(RunFixture, FivePicturesNotesSquare4) {
    job.layout = notes(3);
    job.captionsKeepExtension = false;
    addRow(image("photo_0.5mp_olympus_snow.jpg"), " 90");    // turned: portrait 600 x 800
    addRow(image("orientation_6.jpg"), "  0");               // upright portrait 50 x 70
    addRow(image("photo_hopper_128.gif"), "180");            // square
    addRow(image("photo_video001_24bit.bmp"), "270");        // 150 x 103 turned: portrait
    addRow(image("photo_grey_oneplus_tower.jpg"), "", "塔"); // inserted from its file
    GenerationRun run(host);
    ASSERT_EQ(run.start(job), RunOutcome::Completed)
        << run.lastErrorNumber() << " " << run.lastErrorDescription().toStdString();

    Reopened r(target());
    EXPECT_EQ(r.anchors(),
              (QStringList{QStringLiteral("B3"), QStringLiteral("D3"), QStringLiteral("B25"),
                           QStringLiteral("D25"), QStringLiteral("B47")}));
    EXPECT_EQ(r.text("D2"), QStringLiteral("Page.1"));
    EXPECT_EQ(r.text("B2"), QStringLiteral("現場写真"));
    EXPECT_EQ(r.text("D46"), QStringLiteral("Page.2")); // page 2 holds only a left picture
    EXPECT_EQ(r.text("B46"), QStringLiteral("現場写真"));
    EXPECT_EQ(r.text("B14"), QStringLiteral("photo_0.5mp_olympus_snow"));
    EXPECT_EQ(r.text("D14"), QStringLiteral("orientation_6"));
    EXPECT_EQ(r.text("B58"), QStringLiteral("塔"));
    EXPECT_NEAR(r.sheet.range(QStringLiteral("B1")).columnWidth(), 42, 0.01);
    EXPECT_NEAR(r.sheet.range(QStringLiteral("A1")).columnWidth(), 2, 0.01);
    EXPECT_NEAR(r.sheet.range(QStringLiteral("J1")).columnWidth(), 2, 0.01);
    EXPECT_DOUBLE_EQ(r.sheet.range(QStringLiteral("A99")).rowHeight(), 18); // 2.25 pages of 44 rows
    EXPECT_NE(r.sheet.range(QStringLiteral("A100")).rowHeight(), 18);
    EXPECT_EQ(r.sheet.horizontalPageBreaks(), (std::vector<int>{45}));
    const std::vector<xls::Shape> shapes = r.sheet.shapes();
    ASSERT_EQ(shapes.size(), 5u);
    for (const xls::Shape& s : shapes) {
        EXPECT_TRUE(s.isJpeg());
    }
    // Box 242 x 186: portrait pictures take the box height.
    EXPECT_NEAR(shapes[0].height(), 186, 0.5);
    EXPECT_NEAR(shapes[0].width(), 186 * 600.0 / 800.0, 0.5);
    EXPECT_NEAR(shapes[1].height(), 186, 0.5);
    EXPECT_NEAR(shapes[1].width(), 186 * 50.0 / 70.0, 0.5);
    EXPECT_NEAR(shapes[2].width(), 186, 0.5); // square: width 242 first, then capped
    EXPECT_NEAR(shapes[2].height(), 186, 0.5);
    EXPECT_NEAR(shapes[3].height(), 186, 0.5);
    EXPECT_NEAR(shapes[3].width(), 186 * 103.0 / 150.0, 0.5);
    EXPECT_NEAR(shapes[4].width(), 186, 0.5);
}

// Notes go into the ruled area, one line a row, starting under the caption's line (also
// without captions), cut with "…" where the area ends; an empty note may take the
// date taken. Layouts without notes areas print no note: their workbook is the same as
// without notes.
TEST_F(RunFixture, NotesFillTheRuledAreaUnderTheCaption) {
    const QString longNote = QStringLiteral("ひび割れ").repeated(60);
    enum How { Is, StartsWith, EndsWith };
    struct Cell {
        const char* address;
        QString text;
        How how = Is;
    };
    struct Case {
        const char* what;
        LayoutChoice layout;
        bool captions;
        bool dateNotes;
        std::vector<Cell> cells;
    };
    const Case cases[] = {
        {"notes-2",
         notes(0),
         true,
         false,
         {{"D3", QStringLiteral("photo_0.5mp_olympus_snow.jpg")},
          {"D4", QStringLiteral("一行目")},
          {"D5", QStringLiteral("二行目")},
          {"D6", QString()},
          {"D27", QString()},
          {"D48", QStringLiteral("ひび割れひび割れ"), StartsWith},
          {"D62", QStringLiteral("ひび割れ"), StartsWith},
          {"D62", QStringLiteral("…"), EndsWith},
          {"D63", QString()}}},
        {"notes-2 without captions, date notes",
         notes(0),
         false,
         true,
         {{"D3", QString()},
          {"D4", QStringLiteral("一行目")},
          {"D5", QStringLiteral("二行目")},
          // The date and the time do not fit the narrow notes column together.
          {"D27", QStringLiteral("撮影日 2019/11/09")},
          {"D28", QStringLiteral("10:59")}}},
        {"notes-square-6: one line under the caption",
         notes(4),
         true,
         false,
         {{"B14", QStringLiteral("photo_0.5mp_olympus_snow.jpg")},
          {"B15", QStringLiteral("一行目…")},
          {"B16", QString()}}},
    };
    for (const Case& c : cases) {
        host.rows.clear();
        job.layout = c.layout;
        job.withCaptions = c.captions;
        job.fillEmptyNotesWithDateTaken = c.dateNotes;
        host.rows.push_back({image("photo_0.5mp_olympus_snow.jpg"), QStringLiteral("  0"),
                             kSameAsFileName, QStringLiteral("一行目\n二行目")});
        host.rows.push_back({image("photo_grey_oneplus_tower.jpg")});
        host.rows.push_back(
            {image("photo_hopper_128.gif"), QStringLiteral("  0"), kSameAsFileName, longNote});
        GenerationRun run(host);
        ASSERT_EQ(run.start(job), RunOutcome::Completed) << c.what;
        Reopened r(target());
        for (const Cell& cell : c.cells) {
            const QString found = r.text(cell.address);
            const bool matches = cell.how == Is           ? found == cell.text
                                 : cell.how == StartsWith ? found.startsWith(cell.text)
                                                          : found.endsWith(cell.text);
            EXPECT_TRUE(matches) << c.what << " " << cell.address << ": " << found.toStdString();
        }
    }

    for (const LayoutChoice layout : {plain(0), plain(3)}) {
        job.layout = layout;
        job.withCaptions = true;
        job.fillEmptyNotesWithDateTaken = true;
        GenerationRun run(host);
        ASSERT_EQ(run.start(job), RunOutcome::Completed);
        const QByteArray withNotes = bytes(target());
        for (testing::FakeRow& row : host.rows) {
            row.note.clear();
        }
        job.fillEmptyNotesWithDateTaken = false;
        ASSERT_EQ(run.start(job), RunOutcome::Completed);
        EXPECT_EQ(bytes(target()), withNotes) << layoutKey(layout).toStdString();
        host.rows[0].note = QStringLiteral("メモ");
    }
}

// Plain square layouts without captions: the header in row 1, pictures from row 2, no
// caption and no file is renamed.
TEST_F(RunFixture, PlainSquareWithoutCaptions) {
    job.layout = plain(2);
    job.withCaptions = false;
    job.renameToDisplayNames = true;
    const QString p = image("orientation_1.jpg");
    addRow(p, "  0", "never");
    addRow(image("transparent_200x150.gif"));
    addRow(image("inkscape_drawing.wmf"), " 90");
    GenerationRun run(host);
    ASSERT_EQ(run.start(job), RunOutcome::Completed)
        << run.lastErrorNumber() << " " << run.lastErrorDescription().toStdString();
    EXPECT_TRUE(QFile::exists(p));
    Reopened r(target());
    EXPECT_EQ(r.anchors(),
              (QStringList{QStringLiteral("C2"), QStringLiteral("W2"), QStringLiteral("C31")}));
    EXPECT_EQ(r.text("AM1"), QStringLiteral("Page.1"));
    EXPECT_EQ(r.text("C1"), QStringLiteral("現場写真"));
    for (const char* cell : {"C2", "W2", "C31", "C18", "W18"}) {
        EXPECT_EQ(r.text(cell), QString()) << cell;
    }
    const std::vector<xls::Shape> shapes = r.sheet.shapes();
    // Box 244.5 x 379.5: a 50 x 70 portrait at full height would be 271 pt wide, so
    // it is narrowed to the box width instead of covering the picture beside it.
    EXPECT_NEAR(shapes[0].width(), 244.5, 0.5);
    EXPECT_NEAR(shapes[0].height(), 244.5 * 70 / 50, 0.5);
    EXPECT_NEAR(shapes[1].width(), 244.5, 0.5);
    EXPECT_NEAR(shapes[1].height(), 244.5 * 150 / 200, 0.5);
}

// Captions with renaming: the plain two-per-row family places the picture from the old
// path, then renames; the others rename first.
TEST_F(RunFixture, RenameThenPlace) {
    job.layout = plain(3);
    job.renameToDisplayNames = true;
    const QString a = image("orientation_1.jpg", "a.jpg");
    const QString b = image("photo_hopper_128.gif", "b.gif");
    addRow(a, "  0", "north");
    addRow(b, "  0", "bad.png"); // foreign extension: warning, empty caption, no rename
    host.scripted.yesNoAnswers = {true};
    GenerationRun run(host);
    ASSERT_EQ(run.start(job), RunOutcome::Completed)
        << run.lastErrorNumber() << " " << run.lastErrorDescription().toStdString();
    EXPECT_EQ(host.rows[0].path, imageFolder + QStringLiteral("/north.jpg"));
    EXPECT_TRUE(QFile::exists(imageFolder + QStringLiteral("/north.jpg")));
    EXPECT_TRUE(QFile::exists(b));
    ASSERT_EQ(host.scripted.shown.size(), 3);
    EXPECT_EQ(host.scripted.shown[0].kind, ScriptedDialogs::Shown::Question);
    EXPECT_EQ(host.scripted.shown[1].text, QStringLiteral("ファイル名に異常があります。"));
    EXPECT_EQ(host.scripted.shown[1].icon, MessageIcon::Exclamation);
    EXPECT_EQ(host.scripted.shown[1].title, QStringLiteral("Tavolin"));
    Reopened r(target());
    EXPECT_EQ(r.text("C19"), QStringLiteral("north.jpg"));
    EXPECT_EQ(r.text("W19"), QString()); // the caption cell holds only the text prefix
    EXPECT_EQ(r.text("AM1"), QStringLiteral("Page.1"));
    EXPECT_EQ(r.text("C1"), QStringLiteral("現場写真"));
}

// A second start while the run yields is ignored.
TEST_F(RunFixture, SecondStartIgnored) {
    job.layout = plain(1);
    addRow(image("orientation_1.jpg"));
    addRow(image("orientation_6.jpg"));
    GenerationRun run(host);
    std::vector<RunOutcome> nested;
    host.onProcessEvents = [&] { nested.push_back(run.start(job)); };
    ASSERT_EQ(run.start(job), RunOutcome::Completed);
    EXPECT_EQ(nested, (std::vector<RunOutcome>{RunOutcome::Ignored, RunOutcome::Ignored}));
    EXPECT_FALSE(run.isRunning());
    EXPECT_EQ(Reopened(target()).sheet.shapeCount(), 2);
}

// --- failures: every file as it was, messages that name the cause -----------------------

QString makeLargePhoto(const QString& folder);

class FailureTest : public RunFixture {
protected:
    RunOutcome runOnce(FileWriter& writer = localFileWriter()) {
        GenerationRun run(host, {}, writer);
        const RunOutcome outcome = run.start(job);
        number = run.lastErrorNumber();
        failureClass = run.lastFailure().failureClass;
        return outcome;
    }
    const ScriptedDialogs::Shown& lastMessage() { return host.scripted.shown.back(); }
    // A workbook from an earlier run at the target; failed runs must leave its bytes.
    void previousWorkbook() {
        QFile f(target());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the previous workbook");
    }
    // Everything in the target folder but the workbook: temporary and lock files.
    QStringList leftovers() const {
        QStringList names = QDir(targetFolder).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(QStringLiteral("book.xls"));
        return names;
    }
    QStringList photos() const {
        QStringList names = QDir(imageFolder).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }
    // Lets an ordinary user (the child of runUnprivileged) into the test's folders.
    void openFoldersToEveryone() {
        for (const QString& folder : {dir.path(), programFolder, targetFolder, imageFolder}) {
            ::chmod(QFile::encodeName(folder).constData(), 0777);
        }
        for (const QString& name : QDir(imageFolder).entryList(QDir::Files)) {
            ::chmod(QFile::encodeName(imageFolder + QLatin1Char('/') + name).constData(), 0666);
        }
        ::chmod(QFile::encodeName(programFolder + QStringLiteral("/ExcelBook.org")).constData(),
                0644);
    }
    int number = 0;
    FailureClass failureClass = FailureClass::Other;
};

// A run that fails anywhere, before or after it planned renames, leaves the previous
// workbook byte for byte, no temporary or lock file, every photo with its old name and
// every row with its old path.
TEST_F(FailureTest, FailedRunLeavesEveryFileAsItWas) {
    const struct {
        const char* what;
        const char* extraPhoto; // a third row; "-" none, "missing.jpg" a deleted photo
        int failCreate, failWrite, failCommit, osError;
        FailureClass expected;
    } faults[] = {
        {"deleted photo", "missing.jpg", 0, 0, 0, 0, FailureClass::PicturesUnusable},
        {"not a picture", "text_file_named.jpg", 0, 0, 0, 0, FailureClass::PicturesUnusable},
        {"empty file", "zero_bytes.bmp", 0, 0, 0, 0, FailureClass::PicturesUnusable},
        {"disk full at the save", "-", 0, 1, 0, ENOSPC, FailureClass::DiskFull},
        {"read-only medium at the save", "-", 1, 0, 0, EROFS, FailureClass::ReadOnlyMedium},
        {"I/O error replacing the target (after the renames)", "-", 0, 0, 1, EIO,
         FailureClass::Other},
    };
    job.layout = notes(3);
    job.renameToDisplayNames = true;
    for (const auto& f : faults) {
        SCOPED_TRACE(f.what);
        previousWorkbook();
        host.rows.clear();
        host.scripted.shown.clear();
        host.scripted.yesNoAnswers = {true, true};
        const QString a = image("orientation_1.jpg", "a.jpg");
        const QString b = image("photo_hopper_128.gif", "b.gif");
        addRow(a, "  0", "north");
        addRow(b, " 90", "south");
        if (QString::fromUtf8(f.extraPhoto) == QStringLiteral("missing.jpg")) {
            addRow(imageFolder + QStringLiteral("/missing.jpg"));
        } else if (*f.extraPhoto != '-') {
            addRow(image(f.extraPhoto));
        }
        const QStringList photosBefore = photos();
        testing::FailingFileWriter writer;
        writer.failCreate = f.failCreate;
        writer.failWrite = f.failWrite;
        writer.failCommit = f.failCommit;
        writer.osError = f.osError;

        EXPECT_EQ(runOnce(writer), RunOutcome::Failed);
        EXPECT_EQ(failureClass, f.expected);
        EXPECT_EQ(bytes(target()), QByteArray("the previous workbook"));
        EXPECT_EQ(leftovers(), QStringList{});
        EXPECT_EQ(photos(), photosBefore);
        EXPECT_EQ(host.rows[0].path, a);
        EXPECT_EQ(host.rows[1].path, b);
        EXPECT_FALSE(lastMessage().text.contains(QStringLiteral("ExcelBook.org")));
        EXPECT_FALSE(host.showWorkbookEnabled);
        EXPECT_TRUE(host.startEnabled);
        EXPECT_FALSE(host.busy);
        for (const QString& temporary : writer.temporaries) {
            EXPECT_FALSE(QFile::exists(temporary)) << temporary.toStdString();
        }
    }
    // The photo checks name the photo, and come before any question.
    job.renameToDisplayNames = false;
    host.rows.clear();
    host.scripted.shown.clear();
    addRow(imageFolder + QStringLiteral("/deleted.jpg"));
    addRow(image("text_file_named.jpg"));
    EXPECT_EQ(runOnce(), RunOutcome::Failed);
    ASSERT_EQ(host.scripted.shown.size(), 1);
    EXPECT_EQ(lastMessage().text,
              QStringLiteral("次の画像ファイルを読み込めません。\r\r") + imageFolder +
                  QStringLiteral("/deleted.jpg：見つかりません\r") + imageFolder +
                  QStringLiteral(
                      "/text_file_named.jpg：画像として読めません（壊れているか、"
                      "対応していない形式です）\r\r一覧から外すか、ファイルを確かめて下さい。"));
}

// The host asks to stop (the window is closed) while the run works: it stops at the
// next step, shows nothing, and leaves every file as it was.
// With workers preparing the next pictures, too.
TEST_F(FailureTest, StoppedRunChangesNothing) {
    previousWorkbook();
    job.renameToDisplayNames = true;
    const QString a = image("orientation_1.jpg", "a.jpg");
    addRow(a, "  0", "north");
    addRow(image("orientation_6.jpg", "b.jpg"), "  0", "south");
    addRow(image("photo_0.5mp_olympus_snow.jpg", "c.jpg"), " 90");
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        host.scripted.shown.clear();
        host.scripted.yesNoAnswers = {true, true};
        host.stop = false;
        host.onProcessEvents = [&] { host.stop = true; };
        GenerationRun run(host, PlacementOptions{true, threads});
        EXPECT_EQ(run.start(job), RunOutcome::Stopped);
        EXPECT_EQ(host.scripted.shown.size(), 1); // the first rename question, nothing after
        EXPECT_EQ(bytes(target()), QByteArray("the previous workbook"));
        EXPECT_EQ(leftovers(), QStringList{});
        EXPECT_EQ(photos(), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg"),
                                         QStringLiteral("c.jpg")}));
        EXPECT_EQ(host.rows[0].path, a);
        EXPECT_TRUE(host.startEnabled);
        EXPECT_FALSE(host.busy);
    }
}

// A photo that passes the header check but cannot be decoded fails the run at its
// place in the list. When several do, the first in list order is reported, also when
// a worker finished a later one first (the tiny last file fails at once, the large one
// before it takes longer).
TEST_F(FailureTest, FirstUndecodablePhotoInListOrderIsReported) {
    previousWorkbook();
    const QString large = makeLargePhoto(imageFolder);
    const auto truncated = [&](const QString& from, const char* name) {
        const QString path = imageFolder + QLatin1Char('/') + QString::fromUtf8(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        const QByteArray whole = bytes(from);
        out.write(whole.left(whole.size() / 2));
        return path;
    };
    const QString first = truncated(large, "first.jpg");
    const QString second = truncated(image("photo_0.5mp_olympus_snow.jpg"), "second.jpg");
    addRow(large, " 90");
    addRow(first, "180");
    addRow(second, "270");
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        host.scripted.shown.clear();
        GenerationRun run(host, PlacementOptions{true, threads});
        EXPECT_EQ(run.start(job), RunOutcome::Failed);
        ASSERT_EQ(host.scripted.shown.size(), 1);
        EXPECT_TRUE(lastMessage().text.contains(first)) << lastMessage().text.toStdString();
        EXPECT_FALSE(lastMessage().text.contains(second));
        EXPECT_EQ(bytes(target()), QByteArray("the previous workbook"));
        EXPECT_EQ(leftovers(), QStringList{});
    }
}

// A lock file a killed run of ours left (and its half-written temporary file) does not
// block the next run, which sweeps them; a lock of a working run or an office suite does.
TEST_F(FailureTest, LocksOfKilledRunsAreSweptLiveOnesBlock) {
    previousWorkbook();
    addRow(image("orientation_1.jpg"));
    const QString lock = targetFolder + QStringLiteral("/.~lock.book.xls#");
    QByteArray line = lockFileLine();
    line = line.left(line.lastIndexOf("pid=")) + "pid=999999999;";
    for (const auto& [name, content] :
         {std::pair{lock, line},
          std::pair{targetFolder + QStringLiteral("/.book.xls.tavolin-Ab12Cd"),
                    QByteArray("half")}}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    ASSERT_EQ(runOnce(), RunOutcome::Completed) << number;
    EXPECT_EQ(leftovers(), QStringList{});
    EXPECT_NE(bytes(target()), QByteArray("the previous workbook"));

    const QByteArray written = bytes(target());
    for (const bool ours : {true, false}) {
        SCOPED_TRACE(ours ? "a working run of ours" : "LibreOffice");
        QFile f(lock);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ours ? lockFileLine() : QByteArray(",u,h,01.01.2024 00:00,file:///p;"));
        f.close();
        const int held = ::open(QFile::encodeName(lock).constData(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
        host.ended = false;
        EXPECT_EQ(runOnce(), RunOutcome::ProgramEnds);
        ::close(held);
        EXPECT_EQ(failureClass, FailureClass::TargetOpen);
        EXPECT_EQ(lastMessage().text, failureMessage(RunFailure{FailureClass::TargetOpen}).text);
        EXPECT_TRUE(host.ended);
        EXPECT_EQ(bytes(target()), written);
        EXPECT_EQ(leftovers(), QStringList{QStringLiteral(".~lock.book.xls#")}); // not ours
        QFile::remove(lock);
    }
}

// Each problem gets its own message naming the folder or file; only a target that is
// open elsewhere ends the program. Permission problems are made as an ordinary user.
TEST_F(FailureTest, MessagesNameTheCause) {
    const QString odd = QFile::decodeName(QByteArray("\xff\xfe.jpg"));
    // A photo whose name is not UTF-8: the list can only show it spelled `odd`.
    const int fd = ::open((QFile::encodeName(imageFolder) + "/\xff\xfe.jpg").constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const QString photo = image("orientation_1.jpg", "p.jpg");
    QDir(imageFolder).mkdir(QStringLiteral("locked"));
    const QString lockedPhoto = imageFolder + QStringLiteral("/locked/q.jpg");
    QFile::copy(photo, lockedPhoto);
    QDir(targetFolder).mkdir(QStringLiteral("closed"));
    openFoldersToEveryone();
    ::chmod(QFile::encodeName(imageFolder + QStringLiteral("/locked")).constData(), 0555);
    ::chmod(QFile::encodeName(lockedPhoto).constData(), 0644);
    ::chmod(QFile::encodeName(targetFolder + QStringLiteral("/closed")).constData(), 0555);
    const QString unreadable = image("orientation_6.jpg", "secret.jpg");
    ::chmod(QFile::encodeName(unreadable).constData(), 0600);

    const QStringList photosBefore = photos();
    enum Setup { Plain, NoTemplate, ReadOnlyTarget };
    const struct {
        const char* what;
        Setup setup;
        const char* folder; // relative to the target folder; "" itself
        QString row;
        const char* displayName;
        FailureClass expected;
        QString named; // what the message names
    } cases[] = {
        {"template missing", NoTemplate, "", photo, "ファイル名と同じ",
         FailureClass::TemplateMissing, QStringLiteral("ExcelBook.org")},
        {"target folder missing", Plain, "gone", photo, "ファイル名と同じ",
         FailureClass::TargetFolderMissing, targetFolder + QStringLiteral("/gone")},
        {"target folder not writable", Plain, "closed", photo, "ファイル名と同じ",
         FailureClass::TargetFolderNotWritable, targetFolder + QStringLiteral("/closed")},
        {"read-only target", ReadOnlyTarget, "", photo, "ファイル名と同じ",
         FailureClass::TargetReadOnly, target()},
        {"photo not readable", Plain, "", unreadable, "ファイル名と同じ",
         FailureClass::PicturesUnusable, unreadable + QStringLiteral("：読み込む権限がありません")},
        {"file name not UTF-8", Plain, "", imageFolder + QLatin1Char('/') + odd, "ファイル名と同じ",
         FailureClass::PicturesUnusable, odd + QStringLiteral("：ファイル名の文字コードがUTF-8")},
        {"rename refused", Plain, "", lockedPhoto, "north", FailureClass::RenameRefused,
         lockedPhoto},
        {"rename onto another photo", Plain, "", photo, "secret", FailureClass::RenameTargetExists,
         photo},
    };
    job.renameToDisplayNames = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(target());
        QFile::copy(templatePath(), programFolder + QStringLiteral("/ExcelBook.org"));
        if (c.setup == NoTemplate) {
            QFile::remove(programFolder + QStringLiteral("/ExcelBook.org"));
        }
        if (c.setup == ReadOnlyTarget) {
            previousWorkbook();
            ::chmod(QFile::encodeName(target()).constData(), 0444);
        }
        job.folder =
            targetFolder + (*c.folder ? QLatin1Char('/') + QString::fromUtf8(c.folder) : QString());
        host.rows.clear();
        host.scripted.shown.clear();
        host.scripted.yesNoAnswers = {true};
        addRow(c.row, "  0", c.displayName);
        // As an ordinary user: the outcome, then whether the message is right.
        const int seen = testing::runUnprivileged([&] {
            const RunOutcome outcome = runOnce();
            const FailureMessage m = failureMessage(RunFailure{c.expected});
            const bool right = outcome == RunOutcome::Failed && failureClass == c.expected &&
                               lastMessage().text.startsWith(m.text.left(12)) &&
                               lastMessage().text.contains(c.named);
            return right ? 0 : 10 + static_cast<int>(failureClass);
        });
        EXPECT_EQ(seen, 0) << "class seen: " << seen - 10;
        EXPECT_EQ(photos(), photosBefore);
        ::chmod(QFile::encodeName(target()).constData(), 0644);
    }
}

// A title that reads like a number stays text, as captions do.
TEST_F(FailureTest, TitlesStayText) {
    job.layout = plain(0);
    addRow(image("orientation_1.jpg"));
    for (const char* title : {"0012", "2024.10", "1e3", "'quoted", "=A1"}) {
        SCOPED_TRACE(title);
        job.title = QString::fromUtf8(title);
        ASSERT_EQ(runOnce(), RunOutcome::Completed);
        Reopened r(target());
        EXPECT_EQ(r.text("H1"), job.title);
        EXPECT_EQ(r.text("AH1"), QStringLiteral("Page.1"));
    }
}

// More pictures than one sheet holds (page breaks, or the 4,000 pictures of a sheet):
// refused before any question is asked or any file is read or written.
TEST_F(FailureTest, TooManyPicturesRefusedUpFront) {
    job.renameToDisplayNames = true;
    const QString p = image("orientation_1.jpg");
    const struct {
        LayoutChoice layout;
        int pictures;
        const char* most;
    } cases[] = {{plain(0), 2055, "2054"}, {plain(2), 4001, "4000"}, {notes(4), 4001, "4000"}};
    for (const auto& c : cases) {
        job.layout = c.layout;
        host.rows.clear();
        for (int i = 0; i < c.pictures; ++i) {
            addRow(p, "  0", "renamed");
        }
        EXPECT_EQ(runOnce(), RunOutcome::Refused);
        EXPECT_FALSE(QFile::exists(target()));
        EXPECT_TRUE(lastMessage().text.contains(QString::fromLatin1(c.most)))
            << lastMessage().text.toStdString();
        EXPECT_EQ(lastMessage().title, QStringLiteral("Tavolin"));
        EXPECT_EQ(host.scripted.shown.size(), 1); // no rename question
        host.scripted.shown.clear();
        EXPECT_TRUE(QFile::exists(p));
        EXPECT_EQ(photos(), QStringList{QStringLiteral("orientation_1.jpg")});
    }
}

// CmdShowExcel stays off while a run works, and after a failed run it shows the last
// workbook a run completed (never a failed run's target).
TEST_F(FailureTest, ResultWorkbookIsTheLastCompletedOne) {
    addRow(image("orientation_1.jpg"));
    GenerationRun run(host);
    std::vector<bool> enabledWhileWorking;
    host.onProcessEvents = [&] { enabledWhileWorking.push_back(host.showWorkbookEnabled); };
    ASSERT_EQ(run.start(job), RunOutcome::Completed);
    job.fileName = QStringLiteral("second");
    addRow(imageFolder + QStringLiteral("/deleted.jpg"));
    EXPECT_EQ(run.start(job), RunOutcome::Failed);
    EXPECT_EQ(enabledWhileWorking, std::vector<bool>{false});
    EXPECT_TRUE(host.showWorkbookEnabled);
    EXPECT_EQ(host.resultPath, target());
    EXPECT_EQ(run.resultWorkbookPath(), target());
    EXPECT_FALSE(QFile::exists(targetFolder + QStringLiteral("/second.xls")));
}

// A truncated photo either loads partly (decoders fill the rest) or is named as
// unusable; never a crash, and never a half-written workbook.
TEST_F(FailureTest, TruncatedPhoto) {
    addRow(image("pillow_truncated_jpeg.jpg"));
    const RunOutcome outcome = runOnce();
    if (outcome == RunOutcome::Completed) {
        Reopened r(target());
        EXPECT_EQ(r.sheet.shapeCount(), 1);
    } else {
        EXPECT_EQ(outcome, RunOutcome::Failed);
        EXPECT_EQ(failureClass, FailureClass::PicturesUnusable);
        EXPECT_FALSE(QFile::exists(target()));
    }
}

// --- placement -------------------------------------------------------------------------

TEST(Placement, FitArithmetic) {
    // Landscape 4:3 and 2:1 in 370 x 278.
    EXPECT_EQ(fitToBox({400, 300}, 370, 278), QSizeF(370, 277.5));
    EXPECT_EQ(fitToBox({400, 200}, 370, 278), QSizeF(370, 185));
    // 3:4 portrait in 244.5 x 379.5: full height would make it 284.6 wide, so it is
    // held to the box width; a slimmer portrait keeps the full height.
    const QSizeF portrait = fitToBox({300, 400}, 244.5, 379.5);
    EXPECT_DOUBLE_EQ(portrait.width(), 244.5);
    EXPECT_NEAR(portrait.height(), 326.0, 0.05);
    const QSizeF slim = fitToBox({100, 200}, 244.5, 379.5);
    EXPECT_DOUBLE_EQ(slim.height(), 379.5);
    EXPECT_NEAR(slim.width(), 189.75, 0.01);
    // Square: width first, then capped at the height.
    EXPECT_EQ(fitToBox({100, 100}, 370, 278), QSizeF(278, 278));
    EXPECT_EQ(fitToBox({100, 100}, 244.5, 379.5), QSizeF(244.5, 244.5));
    // A landscape picture relatively taller than the box touches the height.
    EXPECT_EQ(fitToBox({400, 390}, 370, 278).height(), 278);
    // Box values: single precision without notes, whole numbers with notes.
    EXPECT_EQ(boxValue(252.3f, false), static_cast<double>(252.3f));
    EXPECT_NE(boxValue(252.3f, false), 252.3);
    EXPECT_EQ(boxValue(370.0f, true), 370.0);
    EXPECT_EQ(storedPixels({72, 36}), QSize(220, 110));
}

// A large photo written at test time: 3200 x 2400, dark left half, a bright square
// near the top-left corner, so that any wrong turn or mirror shows.
QString makeLargePhoto(const QString& folder) {
    QImage img(3200, 2400, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const bool mark = x > 200 && x < 800 && y > 200 && y < 600;
            line[x] = mark ? qRgb(255, 255, 255)
                           : qRgb(x < 1600 ? 40 : 180, (y * 255) / 2400, (x * 255) / 3200);
        }
    }
    const QString path = folder + QStringLiteral("/large.jpg");
    EXPECT_TRUE(img.save(path, "JPEG", 90));
    return path;
}

// Mean absolute difference per channel of two pictures scaled to 64 x 64.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage sa = a.scaled(64, 64, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_RGB32);
    const QImage sb = b.scaled(64, 64, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const QRgb p = sa.pixel(x, y);
            const QRgb q = sb.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (64.0 * 64.0 * 3.0);
}

TEST_F(RunFixture, ReducedDecodePicturesMatch) {
    const QString large = makeLargePhoto(imageFolder);
    const PageLayout layout = pageLayout(notes(1), true);
    const QSizeF box(layout.boxWidth, layout.boxHeight);
    const RotationCode halfTurn = RotationCode::fromQuarterTurns(2);
    for (int turns = 0; turns < 4; ++turns) {
        SCOPED_TRACE(turns);
        const RotationCode turn = RotationCode::fromQuarterTurns(turns);
        const PreparedPicture full = preparePicture(turn, large, box, {false});
        const PreparedPicture small = preparePicture(turn, large, box, {true});
        EXPECT_EQ(full.natural, small.natural);
        EXPECT_LT(small.image.width(), full.image.width()); // DCT scaling did happen
        // Handed over at exactly the pixels the engine stores for the fitted size.
        const QSizeF fitted = fitToBox(full.natural, box.width(), box.height());
        EXPECT_EQ(small.image.size(),
                  xls::storedPixelSize(fitted.width(), fitted.height(), full.image.size()));
        EXPECT_LT(meanDifference(full.image, small.image), 3.0);
        // The turned picture really is turned: compare with the other turns.
        const PreparedPicture other = preparePicture(halfTurn, large, box, {false});
        if (turn != halfTurn) {
            if (full.image.size() == other.image.size()) {
                EXPECT_GT(meanDifference(full.image, other.image), 20.0);
            }
        }
    }
}

// The reduced decode gives the same placed picture as the literal path: same anchors,
// sizes and stored pixel sizes.
TEST_F(RunFixture, ReducedDecodeMatchesLiteralPath) {
    job.layout = notes(1);
    const QString large = makeLargePhoto(imageFolder);
    for (const char* code : {"  0", " 90", "180", "270"}) {
        addRow(large, code);
        addRow(image("orientation_6.jpg"), code);
    }
    GenerationRun literal(host, PlacementOptions{false});
    ASSERT_EQ(literal.start(job), RunOutcome::Completed);
    QFile::rename(target(), targetFolder + QStringLiteral("/literal.xls"));
    GenerationRun reduced(host, PlacementOptions{true});
    ASSERT_EQ(reduced.start(job), RunOutcome::Completed);

    Reopened a(targetFolder + QStringLiteral("/literal.xls"));
    Reopened b(target());
    EXPECT_EQ(a.anchors(), b.anchors());
    const std::vector<xls::Shape> sa = a.sheet.shapes();
    const std::vector<xls::Shape> sb = b.sheet.shapes();
    ASSERT_EQ(sa.size(), sb.size());
    for (size_t i = 0; i < sa.size(); ++i) {
        EXPECT_DOUBLE_EQ(sa[i].width(), sb[i].width()) << i;
        EXPECT_DOUBLE_EQ(sa[i].height(), sb[i].height()) << i;
        EXPECT_EQ(sa[i].pixelSize(), sb[i].pixelSize()) << i;
    }
}

// Pictures prepared on workers give the workbook of the sequential run byte for byte:
// photos, a drawing, a transparent gif, every turn, and a row inserted as it is.
TEST_F(RunFixture, ParallelRunWritesTheSequentialWorkbook) {
    job.layout = notes(3);
    const QString large = makeLargePhoto(imageFolder);
    const char* codes[] = {"  0", " 90", "180", "270"};
    const char* files[] = {"photo_0.5mp_olympus_snow.jpg", "orientation_6.jpg",
                           "photo_grey_oneplus_tower.jpg", "inkscape_drawing.wmf",
                           "libemf2svg_test-023.emf",      "transparent_200x150.gif",
                           "photo_video001_24bit.bmp"};
    for (int i = 0; i < 12; ++i) {
        addRow(i % 3 == 0 ? large : image(files[i % 7]), codes[i % 4]);
    }
    addRow(image("photo_hopper_128.gif"), "");
    QByteArray sequential;
    for (const int threads : {1, 2, 5}) {
        SCOPED_TRACE(threads);
        GenerationRun run(host, PlacementOptions{true, threads});
        ASSERT_EQ(run.start(job), RunOutcome::Completed);
        const QByteArray written = bytes(target());
        ASSERT_FALSE(written.isEmpty());
        if (sequential.isEmpty()) {
            sequential = written;
        }
        EXPECT_TRUE(written == sequential);
    }
}

} // namespace
} // namespace tav
