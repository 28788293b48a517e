// The object model as the generation run uses it: selection, pictures and their
// fitting, the clipboard, formats, page set-up, saving and reading back.
#include "platform/shell.h"
#include "platform/testing/failing_file_writer.h"
#include "platform/testing/recording_shell.h"
#include "platform/xls/biff.h"
#include "platform/xls/drawing.h"
#include "platform/xls/engine.h"
#include "platform/xls/model.h"
#include "platform/xls/ole.h"
#include "platform/xls/opcodes.h"
#include "platform/xls/picture.h"
#include "platform/xls/workbook_io.h"
#include "tests/xls/sample_run.h"
#include "tests/xls/workbook_records.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tav::xls {
namespace {

const QString TemplatePath = QStringLiteral(TAVOLIN_XLS_TEMPLATE);

class Engine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString copyTemplate(const QString& name = QStringLiteral("book.xls")) {
        const QString path = dir_.filePath(name);
        testing::copyFile(TemplatePath, path);
        return path;
    }

    Workbook& open(const QString& path) { return app_.workbooks().open(path); }

    QTemporaryDir dir_;
    Application app_;
};

int errorNumber(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

using testing::countRecords;
using testing::fileBytes;
using testing::workbookRecords;

// ---------------------------------------------------------------- opening

TEST_F(Engine, OpensTheTemplateWithSheet1AndItsPageSetup) {
    Workbook& book = open(copyTemplate());
    EXPECT_EQ(app_.workbooks().count(), 1);
    EXPECT_EQ(&app_.workbooks().item(1), &book);
    Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
    EXPECT_EQ(&app_.worksheets(QStringLiteral("Sheet1")), &sheet);
    EXPECT_EQ(book.worksheetCount(), 1);
    EXPECT_EQ(sheet.pageSetup().order(), 1);
    EXPECT_EQ(sheet.shapeCount(), 0);
    EXPECT_EQ(book.model().digitWidth, 8); // Arial 11 pt
    EXPECT_EQ(app_.activeCell().address(), QStringLiteral("$A$1"));
}

TEST_F(Engine, OpenFailuresCarryTheClassicNumbers) {
    EXPECT_EQ(errorNumber([&] { open(dir_.filePath(QStringLiteral("missing.xls"))); }),
              err::FileNotFound);
    EXPECT_EQ(errorNumber([&] { open(dir_.filePath(QStringLiteral("no/such/folder/a.xls"))); }),
              err::PathNotFound);
    const QString text = dir_.filePath(QStringLiteral("text.xls"));
    testing::writeFile(text, "just some text, not a workbook\n");
    EXPECT_EQ(errorNumber([&] { open(text); }), err::EngineRefused);
    EXPECT_EQ(errorNumber([&] { open(dir_.path()); }), err::EngineRefused); // a folder
    if (::geteuid() != 0) {
        const QString locked = copyTemplate(QStringLiteral("locked.xls"));
        QFile::setPermissions(locked, QFileDevice::Permissions());
        EXPECT_EQ(errorNumber([&] { open(locked); }), err::PermissionDenied);
    }
    EXPECT_EQ(app_.workbooks().count(), 0);
}

TEST_F(Engine, RefusesMissingSheetsWorkbooksAndProperties) {
    Workbook& book = open(copyTemplate());
    EXPECT_EQ(errorNumber([&] { book.worksheet(QStringLiteral("Sheet2")); }), err::EngineRefused);
    EXPECT_EQ(errorNumber([&] { book.worksheet(QStringLiteral("sheet1")); }), err::EngineRefused);
    EXPECT_EQ(errorNumber([&] { app_.workbooks().item(2); }), err::EngineRefused);
    for (int index : {0, 4, 6}) {
        EXPECT_EQ(errorNumber([&] { book.builtinDocumentProperties(index); }), err::EngineRefused)
            << index;
    }
    Application empty;
    EXPECT_EQ(errorNumber([&] { empty.selection(); }), err::EngineRefused);
}

// ---------------------------------------------------------------- ranges

TEST_F(Engine, SelectingARangeMakesItsFirstCellActive) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    sheet.range(QStringLiteral("D3:D18")).select();
    EXPECT_TRUE(app_.selection().isRange());
    EXPECT_EQ(app_.selection().range().address(), QStringLiteral("$D$3:$D$18"));
    EXPECT_EQ(app_.activeCell().address(), QStringLiteral("$D$3"));
    sheet.rows(QStringLiteral("1:88")).select();
    EXPECT_EQ(app_.activeCell().address(), QStringLiteral("$A$1"));
    EXPECT_EQ(app_.selection().range().rowCount(), 88);
}

TEST_F(Engine, ColumnWidthsAndRowHeightsThroughUnionsAndWholeRows) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    sheet.range(QStringLiteral("A:A,C:C,E:E")).select();
    app_.selection().range().setColumnWidth(2);
    sheet.columns(QStringLiteral("B:B")).setColumnWidth(63);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("A1")).columnWidth(), 2);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("E7")).columnWidth(), 2);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("B1")).columnWidth(), 63);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("D1")).columnWidth(), 8); // untouched
    sheet.range(QStringLiteral("A:AZ")).setColumnWidth(1.63);
    EXPECT_NEAR(sheet.range(QStringLiteral("AZ1")).columnWidth(), 1.63, 0.006);
    EXPECT_DOUBLE_EQ(sheet.model().columnPoints(51), 13.5);
    EXPECT_DOUBLE_EQ(sheet.model().columnPoints(52), 51.75); // BA keeps the default 8

    sheet.rows(QStringLiteral("1:88")).setRowHeight(13.5);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("H88")).rowHeight(), 13.5);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("H89")).rowHeight(), 13.5); // template default
    sheet.rows(QStringLiteral("3")).setRowHeight(18);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("C3")).rowHeight(), 18);

    for (double bad : {-1.0, 256.0, std::nan("")}) {
        EXPECT_EQ(errorNumber([&] { sheet.range(QStringLiteral("A1")).setColumnWidth(bad); }),
                  err::EngineRefused);
    }
    for (double bad : {-0.5, 409.5}) {
        EXPECT_EQ(errorNumber([&] { sheet.range(QStringLiteral("A1")).setRowHeight(bad); }),
                  err::EngineRefused);
    }
}

TEST_F(Engine, FormulaTextFollowsTheApostropheRule) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    struct Case {
        QString typed;
        QString value;
        QString formula;
    };
    const Case cases[] = {
        {QStringLiteral("'写真 1"), QStringLiteral("写真 1"), QStringLiteral("'写真 1")},
        {QStringLiteral("'"), QString(), QStringLiteral("'")},
        {QStringLiteral("'123"), QStringLiteral("123"), QStringLiteral("'123")},
        {QStringLiteral("Page.1"), QStringLiteral("Page.1"), QStringLiteral("Page.1")},
        {QStringLiteral("=SUM(A1)"), QStringLiteral("=SUM(A1)"), QStringLiteral("=SUM(A1)")},
        {QStringLiteral("2024"), QStringLiteral("2024"), QStringLiteral("2024")},
        {QStringLiteral("-1.5"), QStringLiteral("-1.5"), QStringLiteral("-1.5")},
        {QString(), QString(), QString()},
    };
    for (const Case& c : cases) {
        Range cell = sheet.range(QStringLiteral("H1"));
        cell.setFormulaR1C1(c.typed);
        EXPECT_EQ(cell.text(), c.value) << c.typed.toStdString();
        EXPECT_EQ(cell.formulaR1C1(), c.formula) << c.typed.toStdString();
    }
    EXPECT_EQ(sheet.model().findCell(0, 7)->kind, Cell::Kind::Blank);
    sheet.range(QStringLiteral("A2")).setFormulaR1C1(QStringLiteral("2024"));
    EXPECT_EQ(sheet.model().findCell(1, 0)->kind, Cell::Kind::Number);
    EXPECT_EQ(errorNumber(
                  [&] { sheet.range(QStringLiteral("A:B")).setFormulaR1C1(QStringLiteral("x")); }),
              err::EngineRefused);
    EXPECT_EQ(errorNumber(
                  [&] { sheet.range(QStringLiteral("A3")).setFormulaR1C1(QString(32768, u'x')); }),
              err::EngineRefused);
}

TEST_F(Engine, FormatsMapToTheAutomationConstantsAndAreReused) {
    Workbook& book = open(copyTemplate());
    Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
    const std::size_t before = book.model().xfs.size();
    for (int row = 1; row <= 100; ++row) {
        Range cell = sheet.range(QStringLiteral("AH%1").arg(row));
        cell.setFormulaR1C1(QStringLiteral("Page.%1").arg(row));
        testing::formatCell(cell, xl::HAlignRight, xl::VAlignTop);
    }
    Range cell = sheet.range(QStringLiteral("AH50"));
    EXPECT_EQ(cell.horizontalAlignment(), xl::HAlignRight);
    EXPECT_EQ(cell.verticalAlignment(), xl::VAlignTop);
    EXPECT_FALSE(cell.wrapText());
    EXPECT_EQ(cell.orientation(), 0);
    EXPECT_FALSE(cell.mergeCells());
    // One format for a hundred equal cells (plus the intermediate one after the
    // horizontal alignment alone).
    EXPECT_LE(book.model().xfs.size(), before + 2);
    const int xf = sheet.model().findCell(0, 33)->xf;
    for (int row = 1; row < 100; ++row) {
        EXPECT_EQ(sheet.model().findCell(row, 33)->xf, xf);
    }
    const XfBytes& bytes = book.model().xfs[static_cast<std::size_t>(xf)];
    EXPECT_EQ(bytes[6], 0x03);        // right, top
    EXPECT_EQ(bytes[9] & 0x10, 0x10); // alignment is the cell's own

    EXPECT_EQ(errorNumber([&] { cell.setHorizontalAlignment(42); }), err::EngineRefused);
    EXPECT_EQ(errorNumber([&] { cell.setVerticalAlignment(-4131); }), err::EngineRefused);
    EXPECT_EQ(errorNumber([&] { cell.setOrientation(91); }), err::EngineRefused);

    const QString path = book.fullName();
    book.save();
    // Only formats in use are written: the intermediate one is not.
    const auto records = workbookRecords(path);
    EXPECT_EQ(countRecords(records, op::XF), book.model().templateXfCount + 1);
}

TEST_F(Engine, NotesRulingPutsHairBottomBordersOnEveryCell) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    sheet.range(QStringLiteral("D3")).setFormulaR1C1(QStringLiteral("'caption"));
    sheet.range(QStringLiteral("D3")).setHorizontalAlignment(xl::HAlignLeft);
    sheet.range(QStringLiteral("D3")).setVerticalAlignment(xl::VAlignBottom);
    sheet.range(QStringLiteral("D3:D18")).select();
    for (int index : {xl::EdgeBottom, xl::InsideHorizontal}) {
        Border b = app_.selection().range().borders(index);
        b.setLineStyle(xl::LineContinuous);
        b.setWeight(xl::WeightHairline);
        b.setColorIndex(xl::ColorAutomatic);
    }
    const auto& xfs = sheet.model().book->xfs;
    for (int row = 2; row <= 17; ++row) {
        const Cell* cell = sheet.model().findCell(row, 3);
        ASSERT_NE(cell, nullptr) << row;
        const XfBytes& x = xfs[static_cast<std::size_t>(cell->xf)];
        EXPECT_EQ((x[11] >> 4) & 0x0F, 7) << "hair bottom at row " << row + 1;
        EXPECT_EQ(((x[14] | (x[15] << 8)) >> 7) & 0x7F, 64) << "automatic colour";
        EXPECT_EQ(x[10], 0) << "no left/right border";
    }
    // The caption cell keeps its alignment next to the border.
    const XfBytes& caption = xfs[static_cast<std::size_t>(sheet.model().findCell(2, 3)->xf)];
    EXPECT_EQ(caption[6], 0x21);
    EXPECT_FALSE(sheet.model().findCell(18, 3)); // nothing below the range
    EXPECT_EQ(errorNumber([&] { sheet.range(QStringLiteral("D3")).borders(13); }),
              err::EngineRefused);
}

// ---------------------------------------------------------------- pictures

TEST_F(Engine, PastedBitmapLandsAtTheActiveCellSelectedAtItsNaturalSize) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    sheet.range(QStringLiteral("H6")).select();
    app_.clipboard().setImage(testing::samplePicture(0)); // 400 × 300 px
    sheet.pasteSpecial(xl::PasteBitmap);
    ASSERT_EQ(sheet.shapeCount(), 1);
    EXPECT_TRUE(app_.selection().isShape());
    EXPECT_EQ(errorNumber([&] { app_.selection().range(); }), err::EngineRefused);
    ShapeRange shape = app_.selection().shapeRange();
    EXPECT_DOUBLE_EQ(shape.width(), 300); // 400 px at 96 dpi
    EXPECT_DOUBLE_EQ(shape.height(), 225);
    const Shape placed = sheet.shapes().front();
    EXPECT_EQ(placed.topLeftCell().address(), QStringLiteral("$H$6"));
    EXPECT_FALSE(placed.isJpeg());
    EXPECT_EQ(placed.name(), QStringLiteral("Picture 1"));
}

TEST_F(Engine, PasteRefusesUnknownFormatsAndAnEmptyClipboard) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    EXPECT_EQ(errorNumber([&] { sheet.pasteSpecial(xl::PasteBitmap); }), err::EngineRefused);
    app_.clipboard().setImage(testing::samplePicture(0));
    for (const QString& format :
         {QStringLiteral("Bitmap"), QStringLiteral("図"), QStringLiteral("図 (PNG)"), QString()}) {
        EXPECT_EQ(errorNumber([&] { sheet.pasteSpecial(format); }), err::EngineRefused)
            << format.toStdString();
    }
    EXPECT_EQ(errorNumber([&] { sheet.pasteSpecial(xl::PasteBitmap, true); }), err::EngineRefused);
    EXPECT_EQ(sheet.shapeCount(), 0);
    app_.clipboard().clear();
    EXPECT_FALSE(app_.clipboard().hasPicture());
    EXPECT_EQ(errorNumber([&] { app_.clipboard().setImage(QImage()); }), err::InvalidPicture);
}

struct FitCase {
    int pixelsW, pixelsH;
    double boxW, boxH;
    double wantW, wantH;
};

class Fit : public Engine, public ::testing::WithParamInterface<FitCase> {};

TEST_P(Fit, AspectLockedResizingEndsInsideTheBox) {
    const FitCase& c = GetParam();
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    sheet.range(QStringLiteral("C6")).select();
    QImage image(c.pixelsW, c.pixelsH, QImage::Format_RGB32);
    image.fill(Qt::gray);
    app_.clipboard().setImage(image);
    sheet.pasteSpecial(xl::PasteBitmap);
    testing::fitSelection(app_, c.boxW, c.boxH);
    ShapeRange shape = app_.selection().shapeRange();
    EXPECT_NEAR(shape.width(), c.wantW, 0.05);
    EXPECT_NEAR(shape.height(), c.wantH, 0.05);
    EXPECT_EQ(shape.lockAspectRatio(), xl::MsoTrue);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, Fit,
    ::testing::Values(FitCase{400, 300, 370, 278, 370, 277.5},         // 4:3 landscape
                      FitCase{400, 200, 370, 278, 370, 185},           // 2:1
                      FitCase{300, 400, 370, 278, 208.5, 278},         // turned photo: portrait
                      FitCase{500, 500, 370, 278, 278, 278},           // square: width, then height
                      FitCase{300, 400, 244.5, 379.5, 284.625, 379.5}, // 3:4 in a tall box
                      FitCase{4000, 3000, 190, 143, 190, 142.5}));

TEST_F(Engine, UnlockedSidesChangeAlone) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    app_.clipboard().setImage(testing::samplePicture(0));
    sheet.pasteSpecial(xl::PasteBitmap);
    ShapeRange shape = app_.selection().shapeRange();
    shape.setLockAspectRatio(xl::MsoFalse);
    shape.setWidth(100);
    EXPECT_DOUBLE_EQ(shape.width(), 100);
    EXPECT_DOUBLE_EQ(shape.height(), 225);
    for (double bad : {0.0, -5.0, 1e9}) {
        EXPECT_EQ(errorNumber([&] { shape.setHeight(bad); }), err::EngineRefused);
    }
    EXPECT_EQ(errorNumber([&] { shape.setLockAspectRatio(2); }), err::EngineRefused);
}

TEST_F(Engine, PicturePixelsShrinkToThePlacedSizeOnceTheNextOneArrives) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    QImage big(4000, 3000, QImage::Format_RGB32);
    big.fill(Qt::darkGreen);
    app_.clipboard().setImage(big);
    sheet.pasteSpecial(xl::PasteBitmap);
    testing::fitSelection(app_, 370, 278);
    const Shape first = sheet.shapes().front();
    EXPECT_EQ(first.pixelSize(), QSize(4000, 3000)); // still the pasted pixels
    sheet.range(QStringLiteral("H40")).select();
    sheet.pasteSpecial(xl::PasteBitmap);
    // 370 × 277.5 pt at 220 pixels per inch.
    EXPECT_EQ(first.pixelSize(), QSize(1131, 848));
    // Pixels handed over at the stored size, give or take one of rounding, are kept
    // as they are; two more are resampled.
    const QSizeF points(3000, 2250);
    for (const auto& [pasted, stored] : {std::pair{QSize(1132, 849), QSize(1132, 849)},
                                         std::pair{QSize(1130, 847), QSize(1130, 847)},
                                         std::pair{QSize(1133, 850), QSize(1131, 848)}}) {
        QImage near(pasted, QImage::Format_RGB32);
        near.fill(Qt::darkGreen);
        sheet.range(QStringLiteral("H80")).select();
        app_.clipboard().setImage(near, points);
        sheet.pasteSpecial(xl::PasteBitmap);
        testing::fitSelection(app_, 370, 278);
        Shape placed = sheet.shapes().back();
        placed.select();
        app_.selection().cut(); // settles the picture
        sheet.range(QStringLiteral("H80")).select();
        sheet.pasteSpecial(xl::PasteJpeg);
        EXPECT_EQ(sheet.shapes().back().pixelSize(), stored) << pasted.width();
    }
    // A small picture is never enlarged.
    EXPECT_EQ(storedPixelSize(370, 277.5, QSize(400, 300)), QSize(400, 300));
    EXPECT_EQ(storedPixelSize(370, 277.5, QSize(4000, 3000)), QSize(1131, 848));
}

TEST_F(Engine, JpegConversionKeepsAnchorsSizesAndOrder) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    const QStringList anchors = {QStringLiteral("H6"), QStringLiteral("H35"), QStringLiteral("H65"),
                                 QStringLiteral("H94"), QStringLiteral("H124")};
    for (int i = 0; i < anchors.size(); ++i) {
        sheet.range(anchors[i]).select();
        app_.clipboard().setImage(testing::samplePicture(i));
        sheet.pasteSpecial(xl::PasteBitmap);
        testing::fitSelection(app_, 370, 278);
    }
    std::vector<std::pair<double, double>> sizes;
    for (const Shape& s : sheet.shapes()) {
        sizes.emplace_back(s.width(), s.height());
    }
    sheet.range(QStringLiteral("A1")).select();
    for (Shape shape : sheet.shapes()) {
        Range cell = shape.topLeftCell();
        shape.select();
        app_.selection().cut();
        EXPECT_FALSE(shape.isValid());
        EXPECT_TRUE(app_.clipboard().hasPicture());
        cell.select();
        sheet.pasteSpecial(xl::PasteJpeg);
    }
    const std::vector<Shape> after = sheet.shapes();
    ASSERT_EQ(after.size(), 5u);
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_TRUE(after[i].isJpeg());
        EXPECT_EQ(after[i].topLeftCell().address(),
                  QLatin1Char('$') + anchors[static_cast<int>(i)].left(1) + QLatin1Char('$') +
                      anchors[static_cast<int>(i)].mid(1));
        EXPECT_DOUBLE_EQ(after[i].width(), sizes[i].first);
        EXPECT_DOUBLE_EQ(after[i].height(), sizes[i].second);
    }
    EXPECT_EQ(errorNumber([&] { app_.selection().shapeRange().setHeight(10); }), 0);
    sheet.range(QStringLiteral("A1")).select();
    EXPECT_EQ(errorNumber([&] { app_.selection().cut(); }), err::EngineRefused);
}

TEST_F(Engine, InsertedPictureFilesAreNotSelectedUntilSelected) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    const QString png = dir_.filePath(QStringLiteral("p.bmp"));
    ASSERT_TRUE(testing::samplePicture(1).save(png));
    sheet.range(QStringLiteral("C6")).select();
    Shape inserted = sheet.picturesInsert(png);
    EXPECT_TRUE(app_.selection().isRange());
    inserted.select();
    EXPECT_TRUE(app_.selection().isShape());
    EXPECT_EQ(inserted.topLeftCell().address(), QStringLiteral("$C$6"));
    EXPECT_DOUBLE_EQ(inserted.width(), 225); // 300 px
    EXPECT_EQ(errorNumber([&] { sheet.picturesInsert(dir_.filePath(QStringLiteral("none.jpg"))); }),
              err::FileNotFound);
    const QString broken = dir_.filePath(QStringLiteral("broken.jpg"));
    testing::writeFile(broken, "\xFF\xD8\xFF\xE0 not really a jpeg");
    EXPECT_EQ(errorNumber([&] { sheet.picturesInsert(broken); }), err::InvalidPicture);
    EXPECT_EQ(sheet.shapeCount(), 1);
}

// A template's PNG or DIB picture is decoded from its blip record (one or two UIDs
// before the bytes; a DIB without the .bmp file header) when it becomes a JPEG picture.
TEST(TemplatePictures, PngAndDibBlipsDecodeToTheirPixels) {
    QImage source(7, 5, QImage::Format_RGB32);
    source.fill(qRgb(10, 200, 30));
    source.setPixel(6, 4, qRgb(250, 0, 120));
    const auto encoded = [](const QImage& image, const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format));
        return bytes;
    };
    const QByteArray png = encoded(source, "PNG");
    const QByteArray dib24 = encoded(source, "BMP").mid(14);
    const QByteArray dib8 = encoded(source.convertToFormat(QImage::Format_Indexed8), "BMP").mid(14);
    const struct {
        int blipType;
        int inst; // odd: two UIDs
        QByteArray data;
    } cases[] = {{6, 0x6E0, png}, {6, 0x6E1, png}, {7, 0x7A8, dib24}, {7, 0x7A9, dib8}};
    for (const auto& c : cases) {
        PictureData picture;
        picture.blipType = c.blipType;
        put16(picture.rawBlip, static_cast<std::uint16_t>(c.inst << 4));
        put16(picture.rawBlip, static_cast<std::uint16_t>(0xF018 + c.blipType));
        const int uids = (c.inst & 1) ? 2 : 1;
        put32(picture.rawBlip, static_cast<std::uint32_t>(16 * uids + 1 + c.data.size()));
        picture.rawBlip.append(QByteArray(16 * uids, 'u')).append('\xFF').append(c.data);
        const QImage decoded = decodeRasterBlip(picture);
        ASSERT_EQ(decoded.size(), source.size()) << c.inst;
        EXPECT_EQ(decoded.pixel(0, 0), source.pixel(0, 0)) << c.inst;
        EXPECT_EQ(decoded.pixel(6, 4), source.pixel(6, 4)) << c.inst;
    }
    PictureData jpeg;
    jpeg.rawBlip = QByteArray(40, 'x'); // blip type 5: not decoded here
    EXPECT_TRUE(decodeRasterBlip(jpeg).isNull());
}

TEST(PictureReduction, AreaAveragingKeepsColoursAndExactSizes) {
    // Uniform colour stays exact at any ratio; fine stripes average to grey.
    QImage flat(4000, 3000, QImage::Format_RGB32);
    flat.fill(QColor(200, 100, 50));
    for (QSize size : {QSize(1131, 848), QSize(2000, 1500), QSize(1, 1), QSize(3999, 2999)}) {
        const QImage r = reduceImage(flat, size);
        EXPECT_EQ(r.size(), size);
        EXPECT_EQ(r.pixel(size.width() / 2, size.height() / 2), qRgb(200, 100, 50));
        EXPECT_EQ(r.pixel(size.width() - 1, size.height() - 1), qRgb(200, 100, 50));
    }
    QImage stripes(1000, 10, QImage::Format_RGB32);
    for (int x = 0; x < 1000; ++x) {
        for (int y = 0; y < 10; ++y) {
            stripes.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    }
    const QImage grey = reduceImage(stripes, QSize(300, 3));
    for (int x = 0; x < 300; x += 37) {
        EXPECT_NEAR(qRed(grey.pixel(x, 1)), 128, 27) << x;
    }
    // Transparent parts are laid over white.
    QImage clear(10, 10, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    EXPECT_EQ(reduceImage(clear, QSize(5, 5)).pixel(2, 2), qRgb(255, 255, 255));
}

TEST(Anchor, WorkedExampleOfTheTwoPictureLayout) {
    WorkbookModel book;
    SheetModel sheet;
    sheet.book = &book;
    for (int c = 0; c < 52; ++c) {
        sheet.columns[static_cast<std::size_t>(c)] = ColumnInfo{true, 576, 15, 2};
    }
    for (int r = 0; r < 88; ++r) {
        sheet.rows[r] = RowInfo{270, 0x0140, 15};
    }
    const Anchor a = computeAnchor(sheet, 5, 7, 370, 277.5);
    EXPECT_EQ(a.colL, 7);
    EXPECT_EQ(a.rwT, 5);
    EXPECT_EQ(a.colR, 34);
    EXPECT_EQ(a.dxR, 417);
    EXPECT_EQ(a.rwB, 25);
    EXPECT_EQ(a.dyB, 142);
    EXPECT_EQ(a.flags, 2);
    // A corner never lands in a hidden column; the sheet's edge stops the walk.
    sheet.columns[34] = ColumnInfo{true, 0, 15, 3};
    EXPECT_EQ(computeAnchor(sheet, 5, 7, 370, 277.5).colR, 35);
    const Anchor edge = computeAnchor(sheet, 65530, 250, 5000, 5000);
    EXPECT_EQ(edge.colR, 255);
    EXPECT_EQ(edge.rwB, 65535);
}

// ---------------------------------------------------------------- page setup and saving

TEST_F(Engine, PageBreaksEveryLayoutPageWithinTheSheetsLimit) {
    Worksheet& sheet = open(copyTemplate()).worksheet(QStringLiteral("Sheet1"));
    EXPECT_EQ(sheet.setHorizontalPageBreaksEvery(59, 206), 3);
    EXPECT_EQ(sheet.horizontalPageBreaks(), (std::vector<int>{60, 119, 178}));
    EXPECT_EQ(sheet.setHorizontalPageBreaksEvery(44, 88), 1); // row 89 is not prepared
    EXPECT_EQ(sheet.setHorizontalPageBreaksEvery(44, 65536), MaxPageBreaks);
    EXPECT_EQ(sheet.horizontalPageBreaks().back(), 44 * MaxPageBreaks + 1);
    EXPECT_EQ(sheet.setHorizontalPageBreaksEvery(1, 65536), MaxPageBreaks);
    EXPECT_EQ(errorNumber([&] { sheet.setHorizontalPageBreaksEvery(0, 100); }), err::EngineRefused);
    EXPECT_EQ(errorNumber([&] { sheet.setHorizontalPageBreaksEvery(59, 65537); }),
              err::EngineRefused);
    EXPECT_EQ(errorNumber([&] { sheet.pageSetup().setOrder(3); }), err::EngineRefused);
}

TEST_F(Engine, PrintAreaIsSavedAsTheSheetsNameAndReadBack) {
    const QString path = copyTemplate();
    {
        Workbook& book = open(path);
        Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
        PageSetup setup = sheet.pageSetup();
        EXPECT_EQ(setup.printArea(), QString());
        // A4 portrait, 0.4-inch side margins, 90 %: (595.3 - 57.6) / 0.9 points across.
        EXPECT_NEAR(setup.printableWidth(), 597.4, 0.1);
        for (const char* bad : {"A:B", "3:4", "A1:B2,C3", "A0:B2", "nonsense"}) {
            EXPECT_EQ(errorNumber([&] { setup.setPrintArea(QString::fromLatin1(bad)); }),
                      err::EngineRefused)
                << bad;
        }
        setup.setPrintArea(QStringLiteral("B2:C3"));
        setup.setPrintArea(QString());
        EXPECT_EQ(setup.printArea(), QString());
        setup.setPrintArea(QStringLiteral("A1:AK118"));
        EXPECT_EQ(setup.printArea(), QStringLiteral("$A$1:$AK$118"));
        sheet.range(QStringLiteral("A1:C1")).setColumnWidth(2);
        EXPECT_NEAR(sheet.range(QStringLiteral("A1:C1")).width(), 3 * 15.75, 1e-9); // 21 px
        book.save();
    }
    Application again;
    Workbook& book = again.workbooks().open(path);
    PageSetup setup = book.worksheet(QStringLiteral("Sheet1")).pageSetup();
    EXPECT_EQ(setup.printArea(), QStringLiteral("$A$1:$AK$118"));
    // Saved again, the name is kept once, not written a second time.
    book.save();
    const std::vector<Record> records = workbookRecords(path);
    EXPECT_EQ(countRecords(records, op::NAME), 1);
    EXPECT_EQ(countRecords(records, op::SUPBOOK), 1);
    EXPECT_EQ(countRecords(records, op::EXTERNSHEET), 1);
}

TEST_F(Engine, SavedWorkbookReadsBackThroughTheEngine) {
    const QString path = copyTemplate();
    testing::SampleOptions options;
    options.pictures = 3;
    options.notes = true;
    testing::writeSample(TemplatePath, path, options);

    Application again;
    Workbook& book = again.workbooks().open(path);
    Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
    EXPECT_EQ(sheet.range(QStringLiteral("D2")).text(), QStringLiteral("Page.1"));
    EXPECT_EQ(sheet.range(QStringLiteral("B2")).text(), options.title);
    EXPECT_EQ(sheet.range(QStringLiteral("D3")).text(), QStringLiteral("写真 1 ｷｬﾌﾟｼｮﾝ"));
    EXPECT_EQ(sheet.range(QStringLiteral("D3")).horizontalAlignment(), xl::HAlignLeft);
    EXPECT_EQ(sheet.range(QStringLiteral("D3")).verticalAlignment(), xl::VAlignBottom);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("B1")).columnWidth(), 63);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("J1")).columnWidth(), 2);
    EXPECT_DOUBLE_EQ(sheet.range(QStringLiteral("A110")).rowHeight(), 18);
    EXPECT_EQ(sheet.pageSetup().order(), 2);
    EXPECT_EQ(sheet.horizontalPageBreaks(), (std::vector<int>{45, 89}));
    const std::vector<Shape> shapes = sheet.shapes();
    ASSERT_EQ(shapes.size(), 3u);
    EXPECT_EQ(shapes[0].topLeftCell().address(), QStringLiteral("$B$3"));
    EXPECT_EQ(shapes[1].topLeftCell().address(), QStringLiteral("$B$26"));
    EXPECT_EQ(shapes[2].topLeftCell().address(), QStringLiteral("$B$47"));
    // Sizes come back from the anchors: heights exactly, widths to a pixel.
    EXPECT_NEAR(shapes[0].height(), 277.5, 0.6);
    EXPECT_NEAR(shapes[0].width(), 370, 0.75);
    EXPECT_NEAR(shapes[1].height(), 297, 0.6);
    EXPECT_TRUE(shapes[0].isJpeg());
    // Saving again without changes gives the same bytes.
    const QByteArray bytes = fileBytes(path);
    book.save();
    EXPECT_EQ(fileBytes(path), bytes);
}

TEST_F(Engine, TheSameRunTwiceGivesIdenticalFiles) {
    testing::SampleOptions options;
    options.pictures = 2;
    const QString a = dir_.filePath(QStringLiteral("a.xls"));
    const QString b = dir_.filePath(QStringLiteral("b.xls"));
    testing::writeSample(TemplatePath, a, options);
    testing::writeSample(TemplatePath, b, options);
    EXPECT_EQ(fileBytes(a), fileBytes(b));
}

TEST_F(Engine, SummaryInformationHoldsJapaneseTextInUtf16) {
    Workbook& book = open(copyTemplate());
    book.builtinDocumentProperties(1).setValue(QStringLiteral("現場写真帳 𠮷"));
    book.builtinDocumentProperties(3).setValue(QStringLiteral("山田"));
    EXPECT_EQ(book.builtinDocumentProperties(1).value(), QStringLiteral("現場写真帳 𠮷"));
    const QByteArray info = writeSummaryInformation(book.model());
    // Code page 1200 and the title's UTF-16 bytes are in the stream.
    const QString title = QStringLiteral("現場写真帳 𠮷");
    const QByteArray utf16(reinterpret_cast<const char*>(title.utf16()), title.size() * 2);
    EXPECT_TRUE(info.contains(utf16));
    QByteArray codePage;
    put16(codePage, 0x0002);
    put16(codePage, 0);
    put16(codePage, 1200);
    EXPECT_TRUE(info.contains(codePage));
    EXPECT_EQ(get32(info, 0x30 + 4), 3u); // code page, title, author
}

// What office suites write besides the workbook, and what independent readers check:
// a DocumentSummaryInformation stream, and INDEX bounds over the rows that hold cells
// (not the rows that only carry a height).
TEST_F(Engine, DocumentSummaryAndIndexBounds) {
    const QString path = copyTemplate();
    Workbook& book = open(path);
    Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
    sheet.rows(QStringLiteral("1:88")).setRowHeight(13.5);
    sheet.range(QStringLiteral("H6")).setFormulaR1C1(QStringLiteral("'a"));
    sheet.range(QStringLiteral("D20")).setFormulaR1C1(QStringLiteral("'b"));
    book.save();
    const auto records = workbookRecords(path);
    const auto index = std::find_if(records.begin(), records.end(),
                                    [](const Record& r) { return r.type == op::INDEX; });
    ASSERT_NE(index, records.end());
    EXPECT_EQ(get32(index->data, 4), 5u);  // row 6, 0-based
    EXPECT_EQ(get32(index->data, 8), 20u); // one past row 20
    EXPECT_EQ(countRecords(records, op::ROW), 88);

    const OleFile ole = readOleFile(fileBytes(path), path);
    const auto stream =
        std::find_if(ole.streams.begin(), ole.streams.end(), [](const OleStream& s) {
            return s.name == QLatin1String("\x05DocumentSummaryInformation");
        });
    ASSERT_NE(stream, ole.streams.end());
    EXPECT_EQ(stream->data, writeDocumentSummaryInformation());
    // FMTID_DocSummaryInformation, then a section holding the code page 1200.
    EXPECT_EQ(stream->data.mid(28, 16).toHex(), QByteArray("02d5cdd59c2e1b10939708002b2cf9ae"));
    EXPECT_EQ(get32(stream->data, 44), 0x30u);
    EXPECT_EQ(get32(stream->data, 0x30 + 8), 1u); // property id 1: the code page
    EXPECT_EQ(get16(stream->data, get32(stream->data, 0x30 + 12) + 0x30 + 4), 1200);
}

// A photo placed twice is stored once: one picture store entry that both shapes use.
TEST_F(Engine, IdenticalPicturesShareOneStoreEntry) {
    const QString path = copyTemplate();
    Workbook& book = open(path);
    Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
    const QStringList anchors = {QStringLiteral("B2"), QStringLiteral("B30"), QStringLiteral("B60"),
                                 QStringLiteral("B90")};
    for (int i = 0; i < anchors.size(); ++i) {
        sheet.range(anchors[i]).select();
        app_.clipboard().setImage(testing::samplePicture(i == 2 ? 1 : 0));
        sheet.pasteSpecial(xl::PasteBitmap);
        testing::fitSelection(app_, 370, 278);
    }
    book.save();
    QByteArray group;
    for (const Record& r : workbookRecords(path)) {
        if (r.type == op::MSODRAWINGGROUP || (r.type == op::CONTINUE && !group.isEmpty())) {
            group.append(r.data);
        }
    }
    // Walk the BStore: its instance is the entry count; each BSE holds cRef at 8 + 24.
    std::vector<std::uint32_t> references;
    for (qsizetype at = 8; at + 8 <= group.size();) {
        const std::uint16_t type = get16(group, at + 2);
        const std::uint32_t length = get32(group, at + 4);
        if (type == 0xF001) {
            EXPECT_EQ(get16(group, at) >> 4, 2);
            at += 8;
            continue;
        }
        if (type == 0xF007) {
            references.push_back(get32(group, at + 8 + 24));
        }
        at += 8 + length;
    }
    EXPECT_EQ(references, (std::vector<std::uint32_t>{3, 1}));

    Application again;
    Worksheet& reread = again.workbooks().open(path).worksheet(QStringLiteral("Sheet1"));
    const std::vector<Shape> shapes = reread.shapes();
    ASSERT_EQ(shapes.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(shapes[static_cast<std::size_t>(i)].topLeftCell().address().remove(u'$'),
                  anchors[i]);
    }
    EXPECT_EQ(shapes[0].pixelSize(), shapes[3].pixelSize());
    EXPECT_NE(shapes[0].pixelSize(), shapes[2].pixelSize());
}

// Saving goes through the application's FileWriter: a save that fails at any point
// leaves the file as it was and nothing beside it. A workbook opened read-only (the
// run's template) is never written back; copies of it are.
TEST_F(Engine, SaveIsAtomicAndLeavesNothingBehindOnFailure) {
    const QString path = copyTemplate();
    const auto files = [&] { return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden); };
    const QByteArray before = fileBytes(path);
    tav::testing::FailingFileWriter writer;
    Application app(writer);
    Workbook& book = app.workbooks().open(path);
    book.worksheet(QStringLiteral("Sheet1"))
        .range(QStringLiteral("A1"))
        .setFormulaR1C1(QStringLiteral("x"));
    const struct {
        int failCreate, failWrite, failCommit, osError, number;
    } faults[] = {
        {1, 0, 0, EACCES, err::PermissionDenied},
        {0, 1, 0, ENOSPC, err::DiskFull},
        {0, 0, 1, EIO, err::DeviceUnavailable},
    };
    for (const auto& f : faults) {
        writer.creates = writer.writes = writer.commits = 0;
        writer.failCreate = f.failCreate;
        writer.failWrite = f.failWrite;
        writer.failCommit = f.failCommit;
        writer.osError = f.osError;
        EXPECT_EQ(errorNumber([&] { book.save(); }), f.number) << f.osError;
        EXPECT_EQ(fileBytes(path), before);
        EXPECT_EQ(files(), QStringList{QStringLiteral("book.xls")});
    }
    // A workbook of a few hundred kilobytes goes to the file in several writes, the
    // compound file's header last: a failure at any one of them leaves the file as it was.
    Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
    QImage noise(900, 700, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y) {
        for (int x = 0; x < noise.width(); ++x) {
            noise.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 251, (x * y) % 253, (x ^ y) & 255));
        }
    }
    for (const char* cell : {"B2", "B40", "B80"}) {
        sheet.range(QString::fromLatin1(cell)).select();
        app.clipboard().setImage(noise);
        sheet.pasteSpecial(xl::PasteBitmap);
    }
    writer.failCreate = writer.failCommit = 0;
    writer.osError = ENOSPC;
    int failedWrites = 0;
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        writer.writes = 0;
        writer.failWrite = n;
        const int number = errorNumber([&] { book.save(); });
        if (number == 0) {
            break;
        }
        ++failedWrites;
        EXPECT_EQ(number, err::DiskFull);
        EXPECT_EQ(fileBytes(path), before);
        EXPECT_EQ(files(), QStringList{QStringLiteral("book.xls")});
    }
    EXPECT_GT(failedWrites, 3);
    EXPECT_GT(QFileInfo(path).size(), 3 << 16);

    writer.failCreate = writer.failWrite = writer.failCommit = 0;
    EXPECT_EQ(errorNumber([&] { book.saveCopyAs(dir_.filePath(QStringLiteral("gone/x.xls"))); }),
              err::PathNotFound);
    book.save();
    EXPECT_NE(fileBytes(path), before);
    EXPECT_EQ(files(), QStringList{QStringLiteral("book.xls")});

    const QByteArray saved = fileBytes(path);
    Workbook& readOnly = app.workbooks().open(path, /*readOnly=*/true);
    EXPECT_TRUE(readOnly.readOnly());
    EXPECT_EQ(errorNumber([&] { readOnly.save(); }), err::EngineRefused);
    readOnly.saveCopyAs(dir_.filePath(QStringLiteral("copy.xls")));
    EXPECT_EQ(fileBytes(path), saved);
    EXPECT_EQ(fileBytes(dir_.filePath(QStringLiteral("copy.xls"))), saved);
}

// Records handed over as they are made give the stream kept in memory byte for byte:
// a record split into CONTINUE records across several hand-overs, an offset patched
// after it was handed over and one patched while it still waits.
TEST(BiffWriter, HandedOverStreamEqualsTheKeptOne) {
    const auto writeRecords = [](BiffWriter& w, std::vector<std::uint32_t>& marks) {
        QByteArray big(3 << 20, '\0');
        for (qsizetype i = 0; i < big.size(); ++i) {
            big[i] = static_cast<char>((i * 31) >> 3);
        }
        marks.push_back(w.pos() + 4);
        w.write(op::BOUNDSHEET, QByteArray(8, 'b'));
        w.beginContinued(op::MSODRAWINGGROUP);
        w.appendContinued(big.left(5000));
        w.appendContinued(big.mid(5000));
        w.endContinued();
        for (int i = 0; i < 300; ++i) {
            w.write(op::CONTINUE, QByteArray(4000 + i, static_cast<char>(i)));
        }
        marks.push_back(w.pos());
    };
    BiffWriter kept;
    std::vector<std::uint32_t> keptMarks;
    writeRecords(kept, keptMarks);
    QByteArray handedOver;
    int overwrites = 0;
    BiffWriter streamed;
    streamed.handOverTo([&](const QByteArray& bytes) { handedOver += bytes; },
                        [&](qint64 offset, const QByteArray& bytes) {
                            ++overwrites;
                            ASSERT_LE(offset + bytes.size(), handedOver.size());
                            handedOver.replace(offset, bytes.size(), bytes);
                        });
    std::vector<std::uint32_t> marks;
    writeRecords(streamed, marks);
    EXPECT_GT(handedOver.size(), 3 << 20); // handed over before the end
    for (BiffWriter* w : {&kept, &streamed}) {
        w->patch32(keptMarks[0], 0x11223344);
        w->patch32(keptMarks[1] - 4, 0x55667788); // written out already or still waiting
    }
    streamed.write(op::EOF_, QByteArray());
    kept.write(op::EOF_, QByteArray());
    EXPECT_EQ(marks, keptMarks);
    streamed.finish();
    EXPECT_GE(overwrites, 1);
    EXPECT_TRUE(handedOver == kept.stream());
}

class FakeShell : public Shell {
public:
    bool openDocument(const QString& path) override {
        opened << path;
        return answer;
    }
    bool startProgram(const QString&) override { return false; }
    QStringList opened;
    bool answer = true;
};

TEST_F(Engine, VisibleHandsTheWorkbookToTheDesktop) {
    FakeShell shell;
    const tav::testing::DefaultShellOverride useShell(shell);
    const QString path = copyTemplate();
    open(path);
    app_.setVisible(true);
    EXPECT_EQ(shell.opened, QStringList{path});
    EXPECT_TRUE(app_.visible());
    shell.answer = false;
    EXPECT_EQ(errorNumber([&] { app_.setVisible(true); }), ErrCannotShow);
    app_.quit();
    EXPECT_EQ(app_.workbooks().count(), 0);
}

TEST_F(Engine, UnchangedTemplateIsWrittenBackRecordForRecord) {
    // Opening and saving without a change keeps every record; only the INDEX that
    // the engine always writes after a sheet's BOF is new.
    const QString path = copyTemplate();
    const auto before = workbookRecords(TemplatePath);
    open(path).save();
    auto after = workbookRecords(path);
    std::erase_if(after, [](const Record& r) { return r.type == op::INDEX; });
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].type, before[i].type)
            << i << ": " << op::opcodeName(after[i].type) << " instead of "
            << op::opcodeName(before[i].type);
        EXPECT_EQ(after[i].data, before[i].data) << i << ": " << op::opcodeName(before[i].type);
    }
}

TEST_F(Engine, TemplateResavedByLibreOfficeGetsOneDrawingNotTwo) {
    // LibreOffice writes an empty drawing (group + patriarch) into every sheet.
    const QString path = dir_.filePath(QStringLiteral("lo.xls"));
    testing::copyFile(QStringLiteral(TAVOLIN_XLS_DATA_DIR "/lo_resaved_ExcelBook.xls"), path);
    Workbook& book = open(path);
    Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
    EXPECT_EQ(sheet.shapeCount(), 0);
    sheet.range(QStringLiteral("B3")).select();
    app_.clipboard().setImage(testing::samplePicture(0));
    sheet.pasteSpecial(xl::PasteBitmap);
    book.save();
    const auto records = workbookRecords(path);
    EXPECT_EQ(countRecords(records, op::MSODRAWINGGROUP), 1);
    EXPECT_EQ(countRecords(records, op::OBJ), 1);
    QByteArray drawing;
    for (const Record& r : records) {
        if (r.type == op::MSODRAWING) {
            drawing.append(r.data);
        }
    }
    // One drawing container (0xF002) whose length covers all drawing bytes.
    EXPECT_EQ(drawing.count(QByteArray("\x0F\x00\x02\xF0", 4)), 1);
    EXPECT_EQ(get32(drawing, 4) + 8, static_cast<std::uint32_t>(drawing.size()));
    Application again;
    EXPECT_EQ(again.workbooks().open(path).worksheet(QStringLiteral("Sheet1")).shapeCount(), 1);
}

TEST(SharedStrings, ContinueAcrossTheRecordLimitAtCharacterBoundaries) {
    // Strings long enough that the table spans several records, with 8-bit and
    // 16-bit strings straddling the 8224-byte boundaries at odd and even offsets.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sst.xls"));
    testing::copyFile(TemplatePath, path);
    QStringList texts;
    for (int i = 0; i < 40; ++i) {
        QString t = (i % 3 == 0) ? QString(997 + i, QChar(u'a' + i % 26))
                                 : QString(613 + 7 * i, QChar(0x3042 + i));
        t += QString::number(i);
        texts << t;
    }
    {
        Application app;
        Workbook& book = app.workbooks().open(path);
        Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
        for (int i = 0; i < texts.size(); ++i) {
            sheet.range(QStringLiteral("A%1").arg(i + 1)).setFormulaR1C1(texts[i]);
        }
        book.save();
    }
    const auto records = workbookRecords(path);
    bool inSst = false;
    int continues = 0;
    for (const Record& r : records) {
        EXPECT_LE(r.data.size(), MaxRecordData);
        if (r.type == op::SST) {
            inSst = true;
        } else if (r.type == op::CONTINUE && inSst) {
            ++continues;
            EXPECT_TRUE(r.data[0] == 0 || r.data[0] == 1 || r.data.size() >= 3);
        } else {
            inSst = false;
        }
    }
    EXPECT_GE(continues, 3);
    Application app;
    Worksheet& sheet = app.workbooks().open(path).worksheet(QStringLiteral("Sheet1"));
    for (int i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(sheet.range(QStringLiteral("A%1").arg(i + 1)).text(), texts[i]) << i;
    }
}

} // namespace
} // namespace tav::xls
