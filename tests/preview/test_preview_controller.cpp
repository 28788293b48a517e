// The preview controller on a bare window with the preview's controls (offscreen): what
// a display leaves in the holder, on the canvas, in the information box and the scroll
// bars, and how the controls drive it.
#include "platform/testing/scripted_dialogs.h"
#include "preview/preview_controller.h"
#include "preview/testing/preview_test_window.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using tav::PreviewController;
using tav::testing::PreviewTestWindow;
using tav::testing::ScriptedDialogs;

namespace {

// A picture whose pixels are all different, so that any shift or turn shows.
QImage patternImage(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 7) & 0xFF, (y * 5) & 0xFF, (x * y) & 0xFF));
    return image;
}

QString secondLine(const QString& text) {
    return text.section(QLatin1Char('\n'), 1, 1);
}

} // namespace

class PreviewControllerTest : public QObject {
    Q_OBJECT

private:
    QString picture(const char* name, int w, int h, const char* format = "BMP") {
        const QString path = dir_->filePath(QString::fromUtf8(name));
        if (!QFile::exists(path))
            patternImage(w, h).save(path, format, 95);
        return path;
    }
    QString info() const { return ui_->information->toPlainText(); }
    PreviewController::CanvasState canvas() const { return controller_->canvasState(); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<PreviewTestWindow> ui_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<PreviewController> controller_;

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        ui_ = std::make_unique<PreviewTestWindow>();
        dialogs_ = std::make_unique<ScriptedDialogs>();
        controller_ = std::make_unique<PreviewController>(*ui_, *dialogs_, nullptr);
        ui_->form.show();
    }

    void cleanup() {
        controller_.reset();
        ui_.reset();
        dialogs_.reset();
        dir_.reset();
    }

    void scaleModeShowsAndDescribesThePicture() {
        const QString path = picture("p300x200.bmp", 300, 200);
        controller_->showPicture(path, QStringLiteral("  0"));
        QCOMPARE(controller_->holder().logicalSize(), QSize(300, 200));
        const auto c = canvas();
        QCOMPARE(c.width, 3255.0);
        QCOMPARE(c.height, 2455.0);
        QVERIFY(c.painted);
        // 4500 x 3000 twips into 3255 x 2455: the width is the tighter direction.
        QCOMPARE(c.picture, QRectF(0, 142, 3255, 2170));
        QCOMPARE(secondLine(info()), QStringLiteral("Height: 53×Width: 79"));
        QVERIFY(info().section(QLatin1Char('\n'), 0, 0).endsWith(QStringLiteral(" KB")));
        QVERIFY(ui_->note.isHidden());
        QCOMPARE(controller_->previewPath(), QString()); // showPicture leaves it alone
    }

    void turnedCodeExchangesTheMeasures() {
        const QString path = picture("p300x200.bmp", 300, 200);
        controller_->showPicture(path, QStringLiteral(" 90"));
        QCOMPARE(controller_->holder().logicalSize(), QSize(200, 300));
        QCOMPARE(secondLine(info()), QStringLiteral("Height: 79×Width: 53"));
        controller_->showPicture(path, QStringLiteral("90")); // not a code: unturned
        QCOMPARE(controller_->holder().logicalSize(), QSize(300, 200));
        controller_->showPicture(path, QStringLiteral("180"));
        QCOMPARE(controller_->holder().picture(), patternImage(300, 200).mirrored(true, true));
    }

    void missingFileKeepsThePreviousPictureAndText() {
        const QString path = picture("p300x200.bmp", 300, 200);
        controller_->showPicture(path, QStringLiteral("  0"));
        const QString before = info();
        controller_->showPicture(dir_->filePath(QStringLiteral("gone.jpg")), QStringLiteral(" 90"));
        QCOMPARE(info(), before);
        // The previous picture is shown again, turned by the new code (from its loaded
        // state, so repeated displays do not keep turning it).
        QCOMPARE(controller_->holder().logicalSize(), QSize(200, 300));
        controller_->showPicture(dir_->filePath(QStringLiteral("gone.jpg")), QStringLiteral(" 90"));
        QCOMPARE(controller_->holder().logicalSize(), QSize(200, 300));
        QVERIFY(canvas().painted);
    }

    void brokenFileShowsItsDateAndSizeWithThePreviousMeasures() {
        const QString path = picture("p300x200.bmp", 300, 200);
        controller_->showPicture(path, QStringLiteral("  0"));
        const QString broken = dir_->filePath(QStringLiteral("broken.jpg"));
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, 'x'));
        f.close();
        controller_->showPicture(broken, QStringLiteral("  0"));
        QVERIFY(info().section(QLatin1Char('\n'), 0, 0).endsWith(QStringLiteral(" , 2 KB")));
        QCOMPARE(secondLine(info()), QStringLiteral("Height: 53×Width: 79"));
        QCOMPARE(dialogs_->messageCount(), 0); // failures are silent
    }

    void emptyPathBeforeAnyPictureShowsNothing() {
        const QString start = info();
        ui_->modeButtons[2]->setChecked(true); // a mode button redisplays the previewed path ("")
        QVERIFY(!canvas().painted);
        QCOMPARE(info(), start);
        QCOMPARE(dialogs_->messageCount(), 0);
    }

    void modeButtonsShowAndHideTheMagnification() {
        QVERIFY(ui_->magnification->isHidden());
        ui_->modeButtons[1]->setChecked(true);
        QVERIFY(!ui_->magnification->isHidden());
        ui_->modeButtons[2]->setChecked(true);
        QVERIFY(ui_->magnification->isHidden());
        ui_->modeButtons[1]->setChecked(true);
        ui_->modeButtons[0]->setChecked(true);
        QVERIFY(ui_->magnification->isHidden());
    }

    void fitModeFillsTheCanvas() {
        const QString path = picture("p300x200.bmp", 300, 200);
        controller_->fileClicked(path);
        ui_->modeButtons[2]->setChecked(true);
        QCOMPARE(canvas().picture, QRectF(0, 0, 3255, 2455));
    }

    void invalidMagnificationShowsTheMessageAndPaintsNothing() {
        const QString path = picture("p300x200.bmp", 300, 200);
        controller_->fileClicked(path);
        ui_->magnification->setEditText(QStringLiteral("1a"));
        ui_->modeButtons[1]->setChecked(true);
        QCOMPARE(dialogs_->messageCount(), 1);
        QCOMPARE(dialogs_->shown.back().text, QStringLiteral("実寸の倍率が数値でありません"));
        QCOMPARE(dialogs_->shown.back().title, QStringLiteral("Tavolin"));
        QVERIFY(dialogs_->shown.back().icon == tav::MessageIcon::Exclamation);
        QVERIFY(!canvas().painted);
        QVERIFY(ui_->note.isHidden());

        ui_->magnification->setEditText(QStringLiteral("0"));
        controller_->showPicture(path, QStringLiteral("  0"));
        QVERIFY(!canvas().painted);
        QCOMPARE(dialogs_->messageCount(), 1);
    }

    void actualSizeLargerOneWayShowsOneScrollBar() {
        const QString wide = picture("wide.bmp", 300, 100);
        controller_->fileClicked(wide);
        ui_->modeButtons[1]->setChecked(true);
        QCOMPARE(canvas().width, 4500.0);
        QCOMPARE(canvas().height, 1500.0);
        QVERIFY(!ui_->horizontalScroll->isHidden());
        QVERIFY(ui_->verticalScroll->isHidden());
        QVERIFY(ui_->modeButtons[2]->isHidden());

        const QString tall = picture("tall.bmp", 100, 300);
        controller_->fileClicked(tall);
        QVERIFY(ui_->horizontalScroll->isHidden());
        QVERIFY(!ui_->verticalScroll->isHidden());
        QVERIFY(!ui_->modeButtons[2]->isHidden());

        const QString small = picture("small.bmp", 100, 80);
        controller_->fileClicked(small);
        QVERIFY(ui_->horizontalScroll->isHidden());
        QVERIFY(ui_->verticalScroll->isHidden());
        QCOMPARE(canvas().picture, QRectF(877, 627, 1500, 1200));
    }

    void actualSizeAtOnePaintsRealPixels() {
        const QString path = picture("p120x90.bmp", 120, 90);
        controller_->fileClicked(path);
        ui_->modeButtons[1]->setChecked(true);
        const auto c = canvas();
        const QPoint origin(qRound(c.picture.x() / 15), qRound(c.picture.y() / 15));
        QImage shot(ui_->canvas->size(), QImage::Format_RGB32);
        ui_->canvas->render(&shot);
        const QImage expected = patternImage(120, 90);
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 120; ++x)
                QCOMPARE(shot.pixel(origin + QPoint(x, y)), expected.pixel(x, y));
        QCOMPARE(shot.pixel(0, 0), qRgb(224, 224, 224)); // the canvas background
    }

    void scaleModeDecodesOnlyWhatTheDisplayNeeds() {
        const QString path = picture("photo.jpg", 2000, 1500, "JPG");
        controller_->fileClicked(path);
        QCOMPARE(controller_->holder().logicalSize(), QSize(2000, 1500));
        QCOMPARE(controller_->holder().picture().size(), QSize(250, 188)); // 1/8 covers 217 x 163
        QCOMPARE(secondLine(info()), QStringLiteral("Height: 397×Width: 529"));
        ui_->modeButtons[1]->setChecked(true); // magnification 1: every pixel
        QCOMPARE(controller_->holder().picture().size(), QSize(2000, 1500));
    }

    // A phone's 12 MP HEIC previews from the thumbnail it carries, upright like the
    // picture (its container turns it; its EXIF orientation is not applied on top).
    void scaleModeShowsAPhonesHeicFromItsThumbnail() {
        const QString path =
            QStringLiteral(TAVOLIN_IMAGE_DATA "/heic/photo_12mp_iphone_xr_portrait_irot.heic");
        controller_->fileClicked(path);
        QCOMPARE(controller_->holder().logicalSize(), QSize(3024, 4032));
        QCOMPARE(controller_->holder().picture().size(), QSize(240, 320));
        QCOMPARE(secondLine(info()), QStringLiteral("Height: 1067×Width: 800"));
    }

    void redisplaysOfTheSameFileReuseTheDecodedPicture() {
        const QString path = picture("photo.jpg", 2000, 1500, "JPG");
        controller_->fileClicked(path);
        QCOMPARE(controller_->decodeCount(), 1);
        ui_->startUnturned->setChecked(false);
        for (int code = 0; code < 4; ++code) {
            ui_->rotation->setCurrentIndex(code);
            emit ui_->rotation->activated(code);
        }
        QCOMPARE(controller_->decodeCount(), 1);
        QCOMPARE(controller_->holder().logicalSize(), QSize(1500, 2000)); // "270"
        // Fit stretches the turned picture over the canvas: its short side needs 217
        // pixels, more than the 1/8 decode has.
        ui_->modeButtons[2]->setChecked(true);
        QCOMPARE(controller_->decodeCount(), 2);
        ui_->modeButtons[1]->setChecked(true); // actual size needs every pixel
        QCOMPARE(controller_->decodeCount(), 3);
        ui_->magnification->setCurrentIndex(18); // x10: more than the picture has; all of it serves
        emit ui_->magnification->activated(18);
        QCOMPARE(controller_->decodeCount(), 3);
        ui_->modeButtons[0]->setChecked(true); // far more pixels than needed: decoded small again
        QCOMPARE(controller_->decodeCount(), 4);
        QCOMPARE(controller_->holder().picture().size(), QSize(188, 250));
    }

    void changedFileIsDecodedAgain() {
        const QString path = picture("p300x200.bmp", 300, 200);
        controller_->showPicture(path, QStringLiteral("  0"));
        QCOMPARE(controller_->holder().logicalSize(), QSize(300, 200));
        QVERIFY(QFile::remove(path));
        QVERIFY(patternImage(160, 120).save(path, "BMP"));
        controller_->showPicture(path, QStringLiteral("  0"));
        QCOMPARE(controller_->holder().logicalSize(), QSize(160, 120));
        QCOMPARE(controller_->holder().picture(), patternImage(160, 120));
    }

    void sizeLimitStepsTheMagnificationDown() {
        controller_->setMaximumCanvasSide(1000);
        const QString path = picture("p400x300.bmp", 400, 300);
        controller_->fileClicked(path);
        ui_->magnification->setCurrentIndex(18); // "10": 4000 px
        ui_->modeButtons[1]->setChecked(true);
        // 10, 9, ..., 3 are too large; 2 (800 px) fits.
        QCOMPARE(dialogs_->messageCount(), 8);
        QCOMPARE(dialogs_->shown.back().text, QStringLiteral("画像サイズが大きすぎます"));
        QCOMPARE(ui_->magnification->currentText(), QStringLiteral("2"));
        QCOMPARE(canvas().width, 800.0 * 15);
        QVERIFY(canvas().painted);
    }

    void sizeLimitEndsWhenNoSmallerStepExists() {
        controller_->setMaximumCanvasSide(10);
        const QString path = picture("p400x300.bmp", 400, 300);
        controller_->fileClicked(path);
        ui_->magnification->setEditText(QStringLiteral("1.5")); // typed, not in the list
        ui_->modeButtons[1]->setChecked(true);
        // 1.5 and every entry from 1 down to 0.1 fail once each, then the display ends.
        QCOMPARE(dialogs_->messageCount(), 11);
        QCOMPARE(ui_->magnification->currentText(), QStringLiteral("0.1"));
        QVERIFY(ui_->note.isHidden());
    }

    void panMovesTheCanvasAndItsScrollBar() {
        const QString tall = picture("tall400.bmp", 100, 400); // canvas 1500 x 6000 twips
        controller_->fileClicked(tall);
        ui_->modeButtons[1]->setChecked(true);
        QCOMPARE(canvas().height, 6000.0);
        QVERIFY(!ui_->verticalScroll->isHidden());

        QTest::mousePress(ui_->canvas, Qt::LeftButton, {}, QPoint(50, 150));
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::SizeAllCursor);
        QTest::mouseRelease(ui_->canvas, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        // 100 px up = 1500 twips: value 1500 / 3545 = 42 %; the scroll rule then places
        // the canvas at the position of 42.
        QCOMPARE(ui_->verticalScroll->value(), 42);
        QCOMPARE(canvas().top, -(6000.0 - 2400 - 55) * 42 / 100);
        QCOMPARE(canvas().left, 0.0); // not wider than the view: no horizontal pan

        // Dragging down past the top puts it back at 0 with value 0.
        QTest::mousePress(ui_->canvas, Qt::LeftButton, {}, QPoint(50, 10));
        QTest::mouseRelease(ui_->canvas, Qt::LeftButton, {}, QPoint(50, 150));
        QCOMPARE(canvas().top, 0.0);
        QCOMPARE(ui_->verticalScroll->value(), 0);

        // Far up: the bottom end, value 100, then the scroll rule's position of 100.
        QTest::mousePress(ui_->canvas, Qt::RightButton, {}, QPoint(50, 399));
        QTest::mouseRelease(ui_->canvas, Qt::RightButton, {}, QPoint(50, 0));
        QCOMPARE(ui_->verticalScroll->value(), 100);
        QCOMPARE(canvas().top, -(6000.0 - 2400 - 55));
    }

    void doubleClickStartsADragToo() {
        const QString tall = picture("tall400.bmp", 100, 400);
        controller_->fileClicked(tall);
        ui_->modeButtons[1]->setChecked(true);
        // A double click arrives as press, release, double-click press, release; the
        // second press starts the drag like any press.
        QTest::mousePress(ui_->canvas, Qt::LeftButton, {}, QPoint(50, 10));
        QTest::mouseRelease(ui_->canvas, Qt::LeftButton, {}, QPoint(50, 10));
        QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(50, 150),
                           ui_->canvas->mapToGlobal(QPointF(50, 150)), Qt::LeftButton,
                           Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ui_->canvas, &second);
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        QTest::mouseRelease(ui_->canvas, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCOMPARE(ui_->verticalScroll->value(), 42);
    }

    void panThatKeepsTheValueKeepsTheDraggedPosition() {
        const QString tall = picture("tall400.bmp", 100, 400);
        controller_->fileClicked(tall);
        ui_->modeButtons[1]->setChecked(true);
        ui_->verticalScroll->setValue(42);
        const double at42 = canvas().top;
        // 1 px = 15 twips further up changes the percentage by less than a half.
        QTest::mousePress(ui_->canvas, Qt::LeftButton, {}, QPoint(5, 100));
        QTest::mouseRelease(ui_->canvas, Qt::LeftButton, {}, QPoint(5, 99));
        QCOMPARE(ui_->verticalScroll->value(), 42);
        QCOMPARE(canvas().top, at42 - 15);
    }

    void scrollValuesMoveTheCanvas() {
        const QString wide = picture("wide.bmp", 300, 100);
        controller_->fileClicked(wide);
        ui_->modeButtons[1]->setChecked(true);
        ui_->horizontalScroll->setValue(100);
        QCOMPARE(canvas().left, -(4500.0 - 3200 - 55));
        QCOMPARE(ui_->canvas->x(), -83);
        // A new display puts the values and the canvas back at 0.
        controller_->showPicture(wide, QStringLiteral("  0"));
        QCOMPARE(ui_->horizontalScroll->value(), 0);
        QCOMPARE(canvas().left, 0.0);
    }

    void fileClickWithStartUnturnedShowsUnturned() {
        const QString path = picture("p300x200.bmp", 300, 200);
        ui_->rotation->setEditText(QStringLiteral(" 90"));
        controller_->fileClicked(path);
        QCOMPARE(ui_->rotation->currentText(), QStringLiteral("  0"));
        QCOMPARE(controller_->holder().logicalSize(), QSize(300, 200));
        QCOMPARE(controller_->previewPath(), path);

        ui_->startUnturned->setChecked(false);
        ui_->rotation->setEditText(QStringLiteral("270"));
        controller_->fileClicked(path);
        QCOMPARE(ui_->rotation->currentText(), QStringLiteral("270"));
        QCOMPARE(controller_->holder().logicalSize(), QSize(200, 300));
    }

    void chosenRowUsesItsOwnCode() {
        const QString path = picture("p300x200.bmp", 300, 200);
        ui_->rotation->setEditText(QStringLiteral(" 90"));
        controller_->rowChosen(path, QStringLiteral("  0"));
        QCOMPARE(controller_->previewPath(), path);
        QCOMPARE(controller_->holder().logicalSize(), QSize(300, 200));
        // A later choice in the rotation list uses the combo box's code.
        ui_->rotation->setCurrentIndex(1);
        emit ui_->rotation->activated(1);
        QCOMPARE(controller_->holder().logicalSize(), QSize(200, 300));
    }
};

QTEST_MAIN(PreviewControllerTest)
#include "test_preview_controller.moc"
