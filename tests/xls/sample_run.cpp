#include "tests/xls/sample_run.h"

#include "platform/error.h"
#include "tests/xls/workbook_records.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace tav::xls::testing {

QImage samplePicture(int i, int longSide, bool noisy) {
    static const int ratios[5][2] = {{4, 3}, {3, 4}, {2, 1}, {1, 1}, {16, 9}};
    const int* r = ratios[i % 5];
    const int w = r[0] >= r[1] ? longSide : longSide * r[0] / r[1];
    const int h = r[0] >= r[1] ? longSide * r[1] / r[0] : longSide;
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor::fromHsv((i * 47) % 360, 200, 230));
    g.setColorAt(1, QColor::fromHsv((i * 47 + 120) % 360, 160, 90));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::white);
    p.drawRect(2, 2, w - 5, h - 5);
    p.drawLine(0, 0, w, h);
    p.end();
    if (noisy) {
        // Deterministic noise: JPEG cannot compress it much.
        std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(i);
        for (int y = 0; y < h; ++y) {
            auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                line[x] ^= state & 0x003F3F3F;
            }
        }
    }
    return image;
}

QString sampleAnchor(const SampleOptions& options, int i) {
    if (options.notes) {
        // Two pictures per page, 44 rows per page, first at row 3, pitch 23.
        const int page = i / 2;
        return QStringLiteral("B%1").arg(3 + (i % 2) * 23 + page * 44);
    }
    const int page = i / 2;
    return QStringLiteral("H%1").arg(6 + (i % 2) * 29 + page * 59);
}

void fitSelection(Application& app, double boxWidth, double boxHeight) {
    ShapeRange shape = app.selection().shapeRange();
    shape.setLockAspectRatio(xl::MsoTrue);
    if (shape.height() > shape.width()) {
        shape.setHeight(boxHeight);
    } else {
        shape.setWidth(boxWidth);
        if (shape.height() > boxHeight) {
            shape.setHeight(boxHeight);
        }
    }
}

void convertToJpegPictures(Application& app, Worksheet& sheet) {
    for (Shape shape : sheet.shapes()) {
        Range cell = shape.topLeftCell();
        shape.select();
        app.selection().cut();
        cell.select();
        sheet.pasteSpecial(xl::PasteJpeg);
    }
}

void formatCell(Range cell, int horizontal, int vertical) {
    cell.setHorizontalAlignment(horizontal);
    cell.setVerticalAlignment(vertical);
    cell.setWrapText(false);
    cell.setOrientation(0);
    cell.setAddIndent(false);
    cell.setShrinkToFit(false);
    cell.setMergeCells(false);
}

void writeSample(const QString& templatePath, const QString& outPath, const SampleOptions& options,
                 const std::function<QImage(int)>& picture) {
    copyFile(templatePath, outPath);
    Application app;
    Workbook& book = app.workbooks().open(outPath);
    Worksheet& sheet = book.worksheet(QStringLiteral("Sheet1"));
    book.builtinDocumentProperties(1).setValue(options.title);
    book.builtinDocumentProperties(2).setValue(options.subject);
    book.builtinDocumentProperties(3).setValue(options.author);
    book.builtinDocumentProperties(5).setValue(options.comments);
    sheet.select();
    const int n = options.pictures;
    const int pageRows = options.notes ? 44 : 59;
    const int rows = static_cast<int>(std::floor((n / 2.0 + 1) * pageRows));
    if (options.notes) {
        sheet.range(QStringLiteral("A:A,C:C,E:E,F:F,H:H,J:J")).select();
        app.selection().range().setColumnWidth(2);
        sheet.columns(QStringLiteral("B:B")).setColumnWidth(63);
        sheet.columns(QStringLiteral("D:D")).setColumnWidth(22);
        sheet.columns(QStringLiteral("G:G")).setColumnWidth(63);
        sheet.columns(QStringLiteral("I:I")).setColumnWidth(22);
        sheet.rows(QStringLiteral("1:%1").arg(rows)).select();
        app.selection().range().setRowHeight(18);
    } else {
        sheet.range(QStringLiteral("A:AZ")).setColumnWidth(1.63);
        sheet.rows(QStringLiteral("1:%1").arg(rows)).setRowHeight(13.5);
    }
    for (int i = 0; i < n; ++i) {
        const QString anchor = sampleAnchor(options, i);
        const int top = anchor.mid(1).toInt();
        if (i % 2 == 0) {
            const QString pageCell = options.notes ? QStringLiteral("D%1").arg(top - 1)
                                                   : QStringLiteral("AH%1").arg(top - 5);
            const QString titleCell = options.notes ? QStringLiteral("B%1").arg(top - 1)
                                                    : QStringLiteral("H%1").arg(top - 5);
            sheet.range(pageCell).select();
            app.selection().range().setFormulaR1C1(QStringLiteral("Page.%1").arg(i / 2 + 1));
            formatCell(app.selection().range(), xl::HAlignRight,
                       options.notes ? xl::VAlignBottom : xl::VAlignTop);
            sheet.range(titleCell).select();
            app.selection().range().setFormulaR1C1(options.title);
            formatCell(app.selection().range(), options.notes ? xl::HAlignRight : xl::HAlignLeft,
                       options.notes ? xl::VAlignBottom : xl::VAlignTop);
        }
        const QString captionCell =
            options.notes ? QStringLiteral("D%1").arg(top) : QStringLiteral("H%1").arg(top + 23);
        sheet.range(captionCell).select();
        app.selection().range().setFormulaR1C1(QStringLiteral("'写真 %1 ｷｬﾌﾟｼｮﾝ").arg(i + 1));
        formatCell(app.selection().range(), xl::HAlignLeft, xl::VAlignBottom);
        sheet.range(anchor).select();
        app.clipboard().clear();
        app.clipboard().setImage(picture         ? picture(i)
                                 : options.noisy ? samplePicture(i, 1600, true)
                                                 : samplePicture(i));
        sheet.pasteSpecial(xl::PasteBitmap);
        fitSelection(app, options.notes ? BoxWidthNotes : BoxWidthNoNotes,
                     options.notes ? BoxHeightNotes : BoxHeightNoNotes);
        if (options.notes) {
            Range notes = sheet.range(QStringLiteral("D%1:D%2").arg(top).arg(top + 15));
            notes.select();
            for (int index : {xl::EdgeBottom, xl::InsideHorizontal}) {
                Border b = app.selection().range().borders(index);
                b.setLineStyle(xl::LineContinuous);
                b.setWeight(xl::WeightHairline);
                b.setColorIndex(xl::ColorAutomatic);
            }
        }
    }
    sheet.pageSetup().setOrder(xl::OrderOverThenDown);
    sheet.setHorizontalPageBreaksEvery(pageRows, rows);
    sheet.range(QStringLiteral("A1")).select();
    if (options.jpegPass) {
        convertToJpegPictures(app, sheet);
    }
    book.save();
    app.quit();
}

} // namespace tav::xls::testing
