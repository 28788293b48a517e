// The generation run end to end through the host interface, without windows. The
// written workbook is opened again with the engine and checked.
#include "generate/failure_report.h"
#include "generate/generation_run.h"
#include "generate/placement.h"
#include "platform/error.h"
#include "platform/xls/address.h"
#include "platform/xls/engine.h"
#include "platform/xls/picture.h"
#include "tests/generate/run_fixture.h"

#include <QFileInfo>
#include <QImage>

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
    EXPECT_TRUE(host.showExcelEnabled);
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
        job.makeFileName = c.captions;
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
    job.makeKaku = false;
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
    EXPECT_DOUBLE_EQ(r.sheet.range(QStringLiteral("A99")).rowHeight(), 18); // Int(2.25 x 44)
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

// Plain square layouts without captions: the header in row 1, pictures from row 2, no
// caption and no file is renamed.
TEST_F(RunFixture, PlainSquareWithoutCaptions) {
    job.layout = plain(2);
    job.makeFileName = false;
    job.nameChange = true;
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
    job.nameChange = true;
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

// --- failure classes -----------------------------------------------------------------

class FailureTest : public RunFixture {
protected:
    RunOutcome runOnce() {
        GenerationRun run(host);
        const RunOutcome outcome = run.start(job);
        number = run.lastErrorNumber();
        return outcome;
    }
    const ScriptedDialogs::Shown& lastMessage() { return host.scripted.shown.back(); }
    int number = 0;
};

TEST_F(FailureTest, TemplateMissing53) {
    QFile::remove(programFolder + QStringLiteral("/ExcelBook.org"));
    addRow(image("orientation_1.jpg"));
    EXPECT_EQ(runOnce(), RunOutcome::Failed);
    EXPECT_EQ(number, 53);
    EXPECT_EQ(lastMessage().text, failureMessage(53, {}).text);
    EXPECT_EQ(lastMessage().title, QStringLiteral("Tavolin、画像ファイル生成"));
    EXPECT_FALSE(QFile::exists(target()));
    EXPECT_FALSE(host.showExcelEnabled);
    EXPECT_FALSE(host.busy);
    EXPECT_FALSE(host.ended);
}

TEST_F(FailureTest, TargetFolderMissing76) {
    job.folder = targetFolder + QStringLiteral("/gone");
    addRow(image("orientation_1.jpg"));
    EXPECT_EQ(runOnce(), RunOutcome::Failed);
    EXPECT_EQ(number, 76);
    EXPECT_EQ(lastMessage().text, failureMessage(76, {}).text);
}

// The target is open in an office suite: 70, the workbook stays as it was, the settings
// are written and the program ends.
TEST_F(FailureTest, TargetLocked70EndsProgram) {
    QFile f(target());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("the user's open workbook");
    f.close();
    QFile lock(targetFolder + QStringLiteral("/.~lock.book.xls#"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.close();
    addRow(image("orientation_1.jpg"));
    EXPECT_EQ(runOnce(), RunOutcome::ProgramEnds);
    EXPECT_EQ(number, 70);
    EXPECT_EQ(lastMessage().text, failureMessage(70, {}).text);
    EXPECT_EQ(bytes(target()), QByteArray("the user's open workbook"));
    const qsizetype settings = host.events.indexOf(QStringLiteral("write settings"));
    ASSERT_GE(settings, 0);
    EXPECT_EQ(host.events.indexOf(QStringLiteral("end program")), settings + 1);
}

TEST_F(FailureTest, ReadOnlyTarget70) {
    QFile f(target());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("read-only");
    f.close();
    QFile::setPermissions(target(), QFileDevice::ReadOwner);
    addRow(image("orientation_1.jpg"));
    EXPECT_EQ(runOnce(), RunOutcome::ProgramEnds);
    EXPECT_EQ(number, 70);
    EXPECT_EQ(bytes(target()), QByteArray("read-only"));
}

// A photo deleted after it was listed: 53 with the template message; the engine is
// shut down and the template copy stays unfilled.
TEST_F(FailureTest, MissingImage53LeavesUnfilledCopy) {
    job.layout = notes(0);
    addRow(image("orientation_1.jpg"));
    addRow(imageFolder + QStringLiteral("/deleted.jpg"));
    EXPECT_EQ(runOnce(), RunOutcome::Failed);
    EXPECT_EQ(number, 53);
    EXPECT_EQ(lastMessage().text, failureMessage(53, {}).text);
    EXPECT_EQ(bytes(target()), bytes(templatePath()));
    EXPECT_EQ(QDir(targetFolder).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("book.xls")});
    EXPECT_TRUE(host.execEnabled);
    EXPECT_FALSE(host.showExcelEnabled);
}

TEST_F(FailureTest, UnreadableImages481) {
    for (const char* bad : {"text_file_named.jpg", "zero_bytes.bmp"}) {
        SCOPED_TRACE(bad);
        host.rows.clear();
        host.scripted.shown.clear();
        addRow(image(bad));
        EXPECT_EQ(runOnce(), RunOutcome::Failed);
        EXPECT_EQ(number, 481);
        EXPECT_TRUE(lastMessage().text.startsWith(QStringLiteral("ｴﾗｰNo:481\r\n\r\n")))
            << lastMessage().text.toStdString();
        EXPECT_EQ(bytes(target()), bytes(templatePath()));
    }
}

// A truncated photo either loads partly (decoders fill the rest) or fails with 481;
// never a crash, and never a half-written workbook.
TEST_F(FailureTest, TruncatedPhoto) {
    addRow(image("pillow_truncated_jpeg.jpg"));
    const RunOutcome outcome = runOnce();
    if (outcome == RunOutcome::Completed) {
        Reopened r(target());
        EXPECT_EQ(r.sheet.shapeCount(), 1);
    } else {
        EXPECT_EQ(outcome, RunOutcome::Failed);
        EXPECT_EQ(number, 481);
        EXPECT_EQ(bytes(target()), bytes(templatePath()));
    }
}

TEST_F(FailureTest, RenameOntoExistingFile58) {
    job.nameChange = true;
    const QString p = image("orientation_1.jpg", "p1.jpg");
    image("orientation_6.jpg", "cat.jpg");
    const QByteArray before = bytes(imageFolder + QStringLiteral("/cat.jpg"));
    addRow(p, "  0", "cat");
    EXPECT_EQ(runOnce(), RunOutcome::Failed);
    EXPECT_EQ(number, 58);
    EXPECT_TRUE(lastMessage().text.startsWith(QStringLiteral("ｴﾗｰNo:58")));
    EXPECT_EQ(bytes(imageFolder + QStringLiteral("/cat.jpg")), before);
    EXPECT_TRUE(QFile::exists(p));
    EXPECT_EQ(host.rows[0].path, p);
}

// More pictures than one sheet can hold: refused before anything is copied.
TEST_F(FailureTest, TooManyPicturesRefusedUpFront) {
    job.layout = plain(0);
    const QString p = image("orientation_1.jpg");
    for (int i = 0; i < 2055; ++i) {
        addRow(p);
    }
    EXPECT_EQ(runOnce(), RunOutcome::Refused);
    EXPECT_FALSE(QFile::exists(target()));
    EXPECT_TRUE(lastMessage().text.contains(QStringLiteral("2054")))
        << lastMessage().text.toStdString();
    EXPECT_EQ(lastMessage().title, QStringLiteral("Tavolin"));
}

// --- placement -------------------------------------------------------------------------

TEST(Placement, RotationCodes) {
    EXPECT_EQ(quarterTurns(QStringLiteral("  0")), 0);
    EXPECT_EQ(quarterTurns(QStringLiteral(" 90")), 1);
    EXPECT_EQ(quarterTurns(QStringLiteral("180")), 2);
    EXPECT_EQ(quarterTurns(QStringLiteral("270")), 3);
    EXPECT_EQ(quarterTurns(QStringLiteral("90")), 1);
    EXPECT_EQ(quarterTurns(QStringLiteral("45")), 0);
    EXPECT_EQ(quarterTurns(QStringLiteral("abc")), 0);
    EXPECT_EQ(quarterTurns(QStringLiteral("-90")), 0);
    EXPECT_EQ(quarterTurns(QStringLiteral("99999999999999")), 0);
    EXPECT_EQ(rotationAngle(QStringLiteral(" 90x")), 90);
}

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
    for (const char* code : {"  0", " 90", "180", "270"}) {
        SCOPED_TRACE(code);
        const PreparedPicture full = preparePicture(QString::fromLatin1(code), large, box, {false});
        const PreparedPicture small = preparePicture(QString::fromLatin1(code), large, box, {true});
        EXPECT_EQ(full.natural, small.natural);
        EXPECT_LT(small.image.width(), full.image.width()); // DCT scaling did happen
        // Handed over at exactly the pixels the engine stores for the fitted size.
        const QSizeF fitted = fitToBox(full.natural, box.width(), box.height());
        EXPECT_EQ(small.image.size(),
                  xls::storedPixelSize(fitted.width(), fitted.height(), full.image.size()));
        EXPECT_LT(meanDifference(full.image, small.image), 3.0);
        // The turned picture really is turned: compare with the other turns.
        const PreparedPicture other = preparePicture(QStringLiteral("180"), large, box, {false});
        if (QString::fromLatin1(code) != QStringLiteral("180")) {
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

} // namespace
} // namespace tav
