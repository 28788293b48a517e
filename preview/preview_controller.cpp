#include "preview/preview_controller.h"

#include "platform/error.h"
#include "platform/rotation_code.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QThread>
#include <QWidget>
#include <QWindow>

#include <cmath>
#include <sys/stat.h>

namespace tav {

using preview::DisplayMode;
using preview::kCanvasMargin;
using preview::kTwipsPerPixel;
using preview::kViewHeight;
using preview::kViewWidth;

namespace {

int toPixels(double twips) {
    return int(std::lround(twips / kTwipsPerPixel));
}

const QColor kCanvasBackground(224, 224, 224);

} // namespace

PreviewController::PreviewController(const PreviewControls& controls, Dialogs& dialogs,
                                     QObject* parent)
    : QObject(parent), controls_(controls),
      dialogs_(dialogs), window_{BoxContainer::Kind::Window, QStringLiteral("frmMain"),
                                 kTwipsPerPixel, kTwipsPerPixel, nullptr},
      holder_(&window_) {
    canvas_.width = kViewWidth + kCanvasMargin;
    canvas_.height = kViewHeight + kCanvasMargin;
    controls_.canvas->installEventFilter(this);
    applyCanvasGeometry();
    connectControls();
}

void PreviewController::connectControls() {
    for (int i = 0; i < 3; ++i)
        connect(controls_.modeButtons[i], &QAbstractButton::toggled, this,
                [this, i](bool checked) { onModeToggled(i, checked); });
    // A choice in either combo box shows the previewed file again with the codes shown.
    for (QComboBox* combo : {controls_.rotation, controls_.magnification})
        connect(combo, &QComboBox::activated, this,
                [this] { showPicture(previewPath_, rotationText()); });
    connect(controls_.horizontalScroll, &QScrollBar::valueChanged, this,
            [this](int v) { onScroll(Qt::Horizontal, v); });
    connect(controls_.verticalScroll, &QScrollBar::valueChanged, this,
            [this](int v) { onScroll(Qt::Vertical, v); });
}

PreviewController::~PreviewController() {
    if (dragging_)
        QGuiApplication::restoreOverrideCursor();
}

QString PreviewController::rotationText() const {
    return controls_.rotation->currentText();
}

DisplayMode PreviewController::mode() const {
    if (controls_.modeButtons[int(DisplayMode::Actual)]->isChecked())
        return DisplayMode::Actual;
    if (controls_.modeButtons[int(DisplayMode::Fit)]->isChecked())
        return DisplayMode::Fit;
    return DisplayMode::Scale;
}

void PreviewController::rowChosen(const QString& path, const QString& code) {
    previewPath_ = path;
    showPicture(path, code);
}

void PreviewController::fileClicked(const QString& path) {
    previewPath_ = path;
    if (controls_.startUnturned->isChecked()) {
        controls_.rotation->setEditText(QStringLiteral("  0"));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    showPicture(previewPath_, rotationText());
}

void PreviewController::onModeToggled(int index, bool checked) {
    if (!checked)
        return;
    controls_.magnification->setVisible(index == int(DisplayMode::Actual));
    showPicture(previewPath_, rotationText());
}

void PreviewController::showPicture(const QString& file, const QString& code) {
    // Each pass is one display; a canvas too large for the platform shows the message,
    // moves the magnification one step down the list and displays again. The list is
    // finite and every retry moves up it, so this ends; without a smaller step the
    // display ends with the message.
    for (;;) {
        const Outcome outcome = displayOnce(file, code);
        controls_.waitNote->hide();
        if (outcome != Outcome::CanvasTooLarge)
            return;
        dialogs_.message(controls_.window, QStringLiteral("画像サイズが大きすぎます"),
                         kProgramTitle, MessageIcon::Exclamation);
        if (!stepMagnificationDown())
            return;
    }
}

bool PreviewController::stepMagnificationDown() {
    QComboBox* combo = controls_.magnification;
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    const int next =
        preview::nextSmallerMagnification(entries, combo->currentIndex(), combo->currentText());
    if (next < 0)
        return false;
    // The program's own move of the selection is not a user's choice: it does not start a
    // display of its own; the caller's retry is the one display.
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(next);
    return true;
}

PreviewController::Outcome PreviewController::displayOnce(const QString& file,
                                                          const QString& code) {
    resetCanvas();
    const int turns = RotationCode::parseExact(code).quarterTurns();
    loadIntoHolder(file, turns);
    turnHolder(turns);
    // The canvas back at the view's top-left corner.
    canvas_.top = 0;
    canvas_.left = 0;
    applyCanvasGeometry();
    writeInformation(file);
    resetScrollBars();

    const double pictureWidth = holder_.width;
    const double pictureHeight = holder_.height;
    preview::PaintPlan plan;
    switch (mode()) {
    case DisplayMode::Scale:
        plan = preview::planScale(pictureWidth, pictureHeight, canvas_.width, canvas_.height);
        break;
    case DisplayMode::Fit:
        plan = preview::planFit(canvas_.width, canvas_.height);
        break;
    case DisplayMode::Actual: {
        const std::optional<preview::PaintPlan> actual = planActualSize();
        if (!actual)
            return Outcome::Ended;
        // The platform keeps a persistent image of the canvas's size; beyond its limit the
        // canvas cannot be made.
        if (std::ceil(actual->canvasWidth / kTwipsPerPixel) > maxCanvasSide_ ||
            std::ceil(actual->canvasHeight / kTwipsPerPixel) > maxCanvasSide_)
            return Outcome::CanvasTooLarge;
        plan = *actual;
        break;
    }
    }
    if (!holder_.hasPicture())
        plan.paints = false;
    paintPlan(plan);
    if (mode() == DisplayMode::Actual && plan.needsScrollBars)
        showScrollBarsForActualSize();
    return Outcome::Done;
}

void PreviewController::resetCanvas() {
    // The canvas at the view's size plus the margin, with nothing painted on it.
    canvas_.width = kViewWidth + kCanvasMargin;
    canvas_.height = kViewHeight + kCanvasMargin;
    canvas_.painted = false;
    canvasImage_ = QImage();
    applyCanvasGeometry();
}

void PreviewController::turnHolder(int quarterTurns) {
    try {
        // Two or three quarter turns in one pass: the same picture as successive turns.
        turnClockwise(holder_, quarterTurns);
    } catch (const Error&) {
        // A failed turn leaves the holder as it was; the display goes on.
    }
}

std::optional<preview::PaintPlan> PreviewController::planActualSize() {
    const QString text = controls_.magnification->currentText();
    if (!preview::magnificationTextIsValid(text)) {
        controls_.waitNote->hide();
        dialogs_.message(controls_.window, QStringLiteral("実寸の倍率が数値でありません"),
                         kProgramTitle, MessageIcon::Exclamation);
        return std::nullopt;
    }
    return preview::planActual(holder_.width, holder_.height, canvas_.width, canvas_.height,
                               kViewWidth, kViewHeight, preview::readMagnification(text));
}

void PreviewController::showScrollBarsForActualSize() {
    const preview::ScrollBarLayout bars =
        preview::scrollBarLayout(kViewWidth, kViewHeight, canvas_.width, canvas_.height);
    controls_.verticalScroll->setMaximum(100);
    controls_.verticalScroll->setVisible(bars.showVertical);
    controls_.horizontalScroll->setMaximum(100);
    controls_.horizontalScroll->setVisible(bars.showHorizontal);
    // The fit button sits where the horizontal bar shows.
    if (bars.hideFitButton)
        controls_.modeButtons[int(DisplayMode::Fit)]->hide();
}

QSize PreviewController::decodeSizeFor(const PictureInfo& info, int quarterTurns) const {
    // The holder's size after the turn, in twips, as the display will measure it.
    QSize logical = info.logicalSize;
    if (quarterTurns % 2 == 1)
        logical.transpose();
    const double pictureWidth = logical.width() * kTwipsPerPixel;
    const double pictureHeight = logical.height() * kTwipsPerPixel;
    const double canvasWidth = kViewWidth + kCanvasMargin;
    const double canvasHeight = kViewHeight + kCanvasMargin;
    QSizeF painted;
    switch (mode()) {
    case DisplayMode::Scale: {
        const preview::PaintPlan plan =
            preview::planScale(pictureWidth, pictureHeight, canvasWidth, canvasHeight);
        painted = QSizeF(plan.width, plan.height);
        break;
    }
    case DisplayMode::Fit:
        painted = QSizeF(canvasWidth, canvasHeight);
        break;
    case DisplayMode::Actual: {
        const QString text = controls_.magnification->currentText();
        const double m =
            preview::magnificationTextIsValid(text) ? preview::readMagnification(text) : 0.0;
        painted = QSizeF(pictureWidth * m, pictureHeight * m);
        break;
    }
    }
    const double ratio = controls_.canvas->devicePixelRatioF();
    QSize need(std::max(1, int(std::ceil(painted.width() / kTwipsPerPixel * ratio))),
               std::max(1, int(std::ceil(painted.height() / kTwipsPerPixel * ratio))));
    if (quarterTurns % 2 == 1)
        need.transpose(); // the loader measures the picture before the turn
    return need;
}

namespace {

// The file's identity for the decode cache: any write, replacement or rename gives
// another modification or change time or another inode.
std::optional<PreviewController::FileIdentity> identityOf(const QString& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return std::nullopt;
    PreviewController::FileIdentity id;
    id.path = path;
    id.size = st.st_size;
    id.modifiedNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    id.changedNs = qint64(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    id.inode = st.st_ino;
    return id;
}

// A picture decoded earlier serves a display when it has at least the pixels the display
// needs (or all the pixels a raster picture has) and not so many more that reducing it
// would cost more than decoding anew (a DCT-scaled decode is at most twice the needed size
// each way).
bool decodedPictureServes(const LoadedPicture& picture, QSize need) {
    const QImage& image = picture.image;
    const bool fullRaster = !picture.isVector && image.size() == picture.logicalSize;
    if (!fullRaster && (image.width() < need.width() || image.height() < need.height()))
        return false;
    const qint64 have = qint64(image.width()) * image.height();
    return have <= 4 * qint64(need.width()) * need.height() || have <= 1'000'000;
}

} // namespace

void PreviewController::loadIntoHolder(const QString& file, int quarterTurns) {
    bool waitShown = false;
    try {
        const std::optional<FileIdentity> id = identityOf(file);
        const PictureInfo info = probePicture(file);
        LoadOptions options;
        options.minimumSize = decodeSizeFor(info, quarterTurns);
        // A photo's embedded preview picture serves when the display needs no more pixels
        // (the scaled and fitted modes on a small canvas): a few kilobytes instead of the
        // entropy decoding of the whole file.
        options.allowEmbeddedThumbnail = true;
        const bool reuse = id && lastLoadedFile_ && *id == *lastLoadedFile_ && lastLoaded_ &&
                           decodedPictureServes(*lastLoaded_, options.minimumSize);
        // The wait window goes up before the file is decoded, which is the slow part. A
        // decode that takes long (a large photo, a metafile) waits until the window is
        // drawn; a quick one does not hold the display up for it.
        const bool slow =
            !reuse && (info.isVector || id->size > (2 << 20) ||
                       qint64(info.pixelSize.width()) * info.pixelSize.height() > 2'000'000);
        showWaitNote(slow);
        waitShown = true;
        if (!reuse) {
            ++decodeCount_;
            lastLoaded_ = loadPicture(file, options);
            lastLoadedFile_ = id;
        }
    } catch (const Error&) {
        // The holder keeps the picture it had: the last one loaded, turned afresh by this
        // display's code.
    } catch (const std::bad_alloc&) {
    }
    if (!waitShown)
        showWaitNote(false);
    if (lastLoaded_)
        holder_.setPicture(*lastLoaded_);
}

void PreviewController::writeInformation(const QString& file) {
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists() || !info.isFile())
        return; // the date and size cannot be read: the text stays as it was
    const QLocale locale = QLocale::system();
    const QString text = preview::informationFileLine(info.lastModified(), info.size(), locale) +
                         QLatin1Char('\n') + preview::informationSizeLine(holder_.sizeHimetric());
    controls_.information->setPlainText(text);
}

void PreviewController::resetScrollBars() {
    controls_.verticalScroll->hide();
    controls_.horizontalScroll->hide();
    controls_.modeButtons[int(DisplayMode::Fit)]->show();
    // A value that was not 0 moves the canvas back through the scroll rule.
    controls_.verticalScroll->setValue(0);
    controls_.horizontalScroll->setValue(0);
}

void PreviewController::applyCanvasGeometry() {
    QWidget* canvas = controls_.canvas;
    canvas->setGeometry(toPixels(canvas_.left), toPixels(canvas_.top),
                        std::max(1, toPixels(canvas_.width)),
                        std::max(1, toPixels(canvas_.height)));
    canvas->update();
}

void PreviewController::paintPlan(const preview::PaintPlan& plan) {
    canvas_.width = plan.canvasWidth;
    canvas_.height = plan.canvasHeight;
    canvas_.painted = plan.paints;
    canvas_.picture = QRectF(plan.x, plan.y, plan.width, plan.height);
    canvasImage_ = QImage();
    if (plan.paints) {
        // A picture painted smaller than its pixels is reduced once here, with an area
        // filter; one painted at its own size or larger is drawn straight from the holder.
        const double ratio = controls_.canvas->devicePixelRatioF();
        const QSize target(std::max(1, int(std::lround(plan.width / kTwipsPerPixel * ratio))),
                           std::max(1, int(std::lround(plan.height / kTwipsPerPixel * ratio))));
        const QImage& source = holder_.picture();
        if (target.width() < source.width() || target.height() < source.height()) {
            canvasImage_ = source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            canvasImage_.setDevicePixelRatio(ratio);
        }
    }
    applyCanvasGeometry();
}

void PreviewController::paintCanvas(QWidget* canvas) {
    QPainter painter(canvas);
    painter.fillRect(canvas->rect(), kCanvasBackground);
    if (!canvas_.painted || !holder_.hasPicture())
        return;
    const QRectF target(canvas_.picture.x() / kTwipsPerPixel, canvas_.picture.y() / kTwipsPerPixel,
                        canvas_.picture.width() / kTwipsPerPixel,
                        canvas_.picture.height() / kTwipsPerPixel);
    if (!canvasImage_.isNull()) {
        painter.drawImage(target.topLeft(), canvasImage_);
        return;
    }
    const QImage& source = holder_.picture();
    if (QSizeF(source.size()) == target.size()) {
        painter.drawImage(target.topLeft(), source); // pixel for pixel
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, source);
}

void PreviewController::showWaitNote(bool untilDrawn) {
    QWidget* note = controls_.waitNote;
    note->show();
    // Pending window events are processed once; user input stays queued, so no other
    // handler runs in between. Before a slow decode the window system gets up to a fifth
    // of a second to map the window, which is then drawn at once.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!untilDrawn)
        return;
    QElapsedTimer clock;
    clock.start();
    while (note->windowHandle() != nullptr && !note->windowHandle()->isExposed() &&
           clock.elapsed() < 200) {
        QThread::msleep(1);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    note->repaint();
}

void PreviewController::onScroll(Qt::Orientation orientation, int value) {
    if (orientation == Qt::Horizontal)
        canvas_.left = preview::scrollPosition(kViewWidth, canvas_.width, value);
    else
        canvas_.top = preview::scrollPosition(kViewHeight, canvas_.height, value);
    applyCanvasGeometry();
}

void PreviewController::panTo(QPointF release) {
    const preview::PanStep vertical =
        preview::panAxis(kViewHeight, canvas_.height, canvas_.top, release.y() - dragStart_.y());
    if (vertical.applies) {
        canvas_.top = vertical.position;
        applyCanvasGeometry();
        controls_.verticalScroll->setValue(vertical.scrollValue);
    }
    const preview::PanStep horizontal =
        preview::panAxis(kViewWidth, canvas_.width, canvas_.left, release.x() - dragStart_.x());
    if (horizontal.applies) {
        canvas_.left = horizontal.position;
        applyCanvasGeometry();
        controls_.horizontalScroll->setValue(horizontal.scrollValue);
    }
}

bool PreviewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched != controls_.canvas)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        paintCanvas(controls_.canvas);
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: { // the second press of a double click
        const auto* mouse = static_cast<QMouseEvent*>(event);
        dragStart_ = mouse->position() * kTwipsPerPixel;
        if (!dragging_) {
            dragging_ = true;
            QGuiApplication::setOverrideCursor(Qt::SizeAllCursor);
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (dragging_) {
            dragging_ = false;
            QGuiApplication::restoreOverrideCursor();
        }
        panTo(mouse->position() * kTwipsPerPixel);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace tav
