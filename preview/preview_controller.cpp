#include "preview/preview_controller.h"

#include "platform/error.h"
#include "platform/rotation_code.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextEdit>
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

template <typename T> T* findControl(QWidget* root, const QString& name) {
    return root->findChild<T*>(name);
}

int toPixels(double twips) {
    return int(std::lround(twips / kTwipsPerPixel));
}

const QColor kCanvasBackground(224, 224, 224);

} // namespace

PreviewController::PreviewController(QWidget* mainWindow, QWidget* waitWindow, Dialogs& dialogs,
                                     QObject* parent)
    : QObject(parent), mainWindow_(mainWindow), waitWindow_(waitWindow),
      dialogs_(dialogs), window_{BoxContainer::Kind::Window, QStringLiteral("frmMain"),
                                 kTwipsPerPixel, kTwipsPerPixel, nullptr},
      holder_(&window_) {
    canvasWidget_ = findControl<QWidget>(mainWindow, QStringLiteral("Picture2"));
    hScroll_ = findControl<QScrollBar>(mainWindow, QStringLiteral("HScroll1"));
    vScroll_ = findControl<QScrollBar>(mainWindow, QStringLiteral("VScroll1"));
    for (int i = 0; i < 3; ++i)
        modeButtons_[i] =
            findControl<QAbstractButton>(mainWindow, QStringLiteral("Option1(%1)").arg(i));
    cmbSun_ = findControl<QComboBox>(mainWindow, QStringLiteral("CmbSun"));
    cmbKaiten_ = findControl<QComboBox>(mainWindow, QStringLiteral("CmbKaiten"));
    chkStart_ = findControl<QAbstractButton>(mainWindow, QStringLiteral("ChkStart"));
    txtTitle_ = findControl<QWidget>(mainWindow, QStringLiteral("txtTitle"));

    canvas_.width = kViewWidth + kCanvasMargin;
    canvas_.height = kViewHeight + kCanvasMargin;
    if (canvasWidget_ != nullptr) {
        canvasWidget_->installEventFilter(this);
        applyCanvasGeometry();
    }
    for (int i = 0; i < 3; ++i) {
        if (modeButtons_[i] != nullptr)
            connect(modeButtons_[i], &QAbstractButton::toggled, this,
                    [this, i](bool checked) { onModeToggled(i, checked); });
    }
    if (cmbKaiten_ != nullptr)
        connect(cmbKaiten_, &QComboBox::activated, this,
                [this] { showPicture(previewPath_, rotationText()); });
    if (cmbSun_ != nullptr)
        connect(cmbSun_, &QComboBox::activated, this,
                [this] { showPicture(previewPath_, rotationText()); });
    if (hScroll_ != nullptr)
        connect(hScroll_, &QScrollBar::valueChanged, this,
                [this](int v) { onScroll(Qt::Horizontal, v); });
    if (vScroll_ != nullptr)
        connect(vScroll_, &QScrollBar::valueChanged, this,
                [this](int v) { onScroll(Qt::Vertical, v); });
}

PreviewController::~PreviewController() {
    if (dragging_)
        QGuiApplication::restoreOverrideCursor();
}

QString PreviewController::rotationText() const {
    return cmbKaiten_ != nullptr ? cmbKaiten_->currentText() : QString();
}

DisplayMode PreviewController::mode() const {
    if (modeButtons_[1] != nullptr && modeButtons_[1]->isChecked())
        return DisplayMode::Actual;
    if (modeButtons_[2] != nullptr && modeButtons_[2]->isChecked())
        return DisplayMode::Fit;
    return DisplayMode::Scale;
}

void PreviewController::rowChosen(const QString& path, const QString& code) {
    previewPath_ = path;
    showPicture(path, code);
}

void PreviewController::fileClicked(const QString& path) {
    previewPath_ = path;
    if (chkStart_ != nullptr && chkStart_->isChecked() && cmbKaiten_ != nullptr) {
        cmbKaiten_->setEditText(QStringLiteral("  0"));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    showPicture(previewPath_, rotationText());
}

void PreviewController::onModeToggled(int index, bool checked) {
    if (!checked)
        return;
    if (cmbSun_ != nullptr)
        cmbSun_->setVisible(index == 1);
    showPicture(previewPath_, rotationText());
}

void PreviewController::showPicture(const QString& file, const QString& code) {
    // Each pass is one display; a canvas too large for the platform shows the message,
    // moves the magnification one step down the list and displays again. The list is
    // finite and every retry moves up it, so this ends; without a smaller step the
    // display ends with the message.
    for (;;) {
        const Outcome outcome = displayOnce(file, code);
        if (waitWindow_ != nullptr)
            waitWindow_->hide();
        if (outcome != Outcome::CanvasTooLarge)
            return;
        dialogs_.message(mainWindow_, QStringLiteral("画像サイズが大きすぎます"), kProgramTitle,
                         MessageIcon::Exclamation);
        if (cmbSun_ == nullptr)
            return;
        QStringList entries;
        for (int i = 0; i < cmbSun_->count(); ++i)
            entries << cmbSun_->itemText(i);
        const int next = preview::nextSmallerMagnification(entries, cmbSun_->currentIndex(),
                                                           cmbSun_->currentText());
        if (next < 0)
            return;
        // The program's own move of the selection is not a user's choice: it does not
        // start a display of its own; the retry below is the one display.
        const QSignalBlocker block(cmbSun_);
        cmbSun_->setCurrentIndex(next);
    }
}

PreviewController::Outcome PreviewController::displayOnce(const QString& file,
                                                          const QString& code) {
    // 1-2: the canvas at the view's size plus the margin, cleared.
    canvas_.width = kViewWidth + kCanvasMargin;
    canvas_.height = kViewHeight + kCanvasMargin;
    canvas_.painted = false;
    canvasImage_ = QImage();
    applyCanvasGeometry();

    // 3 and 5: load into the holder (which puts up the wait window) and turn it.
    const int turns = RotationCode::parseExact(code).quarterTurns();
    loadIntoHolder(file, turns);
    try {
        // Two or three quarter turns in one pass: the same picture as successive turns.
        picRotations(holder_, turns);
    } catch (const Error&) {
        // A failed turn leaves the holder as it was; the display goes on.
    }

    // 6: the canvas back at the view's top-left corner.
    canvas_.top = 0;
    canvas_.left = 0;
    applyCanvasGeometry();

    // 7: the information text.
    writeInformation(file);

    // 8-10.
    const double w3 = holder_.width;
    const double h3 = holder_.height;
    const double w2 = canvas_.width;
    const double h2 = canvas_.height;
    resetScrollBars();

    // 11: paint according to the mode.
    preview::PaintPlan plan;
    switch (mode()) {
    case DisplayMode::Scale:
        plan = preview::planScale(w3, h3, w2, h2);
        break;
    case DisplayMode::Fit:
        plan = preview::planFit(w2, h2);
        plan.paints = holder_.hasPicture();
        break;
    case DisplayMode::Actual: {
        const QString text = cmbSun_ != nullptr ? cmbSun_->currentText() : QStringLiteral("1");
        if (!preview::magnificationTextIsValid(text)) {
            if (waitWindow_ != nullptr)
                waitWindow_->hide();
            dialogs_.message(mainWindow_, QStringLiteral("実寸の倍率が数値でありません"),
                             kProgramTitle, MessageIcon::Exclamation);
            return Outcome::Ended;
        }
        plan = preview::planActual(w3, h3, w2, h2, kViewWidth, kViewHeight,
                                   preview::readMagnification(text));
        // 12: the platform keeps a persistent image of the canvas's size; beyond its
        // limit the canvas cannot be made.
        if (std::ceil(plan.canvasWidth / kTwipsPerPixel) > maxCanvasSide_ ||
            std::ceil(plan.canvasHeight / kTwipsPerPixel) > maxCanvasSide_)
            return Outcome::CanvasTooLarge;
        break;
    }
    }
    if (!holder_.hasPicture())
        plan.paints = false;
    paintPlan(plan);
    if (mode() == DisplayMode::Actual && plan.setupScrollBars) {
        const preview::ScrollBarLayout bars =
            preview::setupScrollBars(kViewWidth, kViewHeight, canvas_.width, canvas_.height);
        if (vScroll_ != nullptr) {
            vScroll_->setMaximum(100);
            vScroll_->setVisible(bars.showVertical);
        }
        if (hScroll_ != nullptr) {
            hScroll_->setMaximum(100);
            hScroll_->setVisible(bars.showHorizontal);
        }
        if (bars.hideFitButton && modeButtons_[2] != nullptr)
            modeButtons_[2]->hide();
    }
    return Outcome::Done;
}

QSize PreviewController::decodeSizeFor(const PictureInfo& info, int quarterTurns) const {
    // The holder's size after the turn, in twips, as the display will measure it.
    QSize logical = info.logicalSize;
    if (quarterTurns % 2 == 1)
        logical.transpose();
    const double w3 = logical.width() * kTwipsPerPixel;
    const double h3 = logical.height() * kTwipsPerPixel;
    const double w2 = kViewWidth + kCanvasMargin;
    const double h2 = kViewHeight + kCanvasMargin;
    QSizeF painted;
    switch (mode()) {
    case DisplayMode::Scale: {
        const preview::PaintPlan plan = preview::planScale(w3, h3, w2, h2);
        painted = QSizeF(plan.width, plan.height);
        break;
    }
    case DisplayMode::Fit:
        painted = QSizeF(w2, h2);
        break;
    case DisplayMode::Actual: {
        const QString text = cmbSun_ != nullptr ? cmbSun_->currentText() : QStringLiteral("1");
        const double m =
            preview::magnificationTextIsValid(text) ? preview::readMagnification(text) : 0.0;
        painted = QSizeF(w3 * m, h3 * m);
        break;
    }
    }
    const double ratio = canvasWidget_ != nullptr ? canvasWidget_->devicePixelRatioF() : 1.0;
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
        showWaitWindow(slow);
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
        showWaitWindow(false);
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
    setInformationText(text);
}

void PreviewController::setInformationText(const QString& text) {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(txtTitle_))
        plain->setPlainText(text);
    else if (auto* rich = qobject_cast<QTextEdit*>(txtTitle_))
        rich->setPlainText(text);
    else if (auto* line = qobject_cast<QLineEdit*>(txtTitle_))
        line->setText(text);
}

void PreviewController::resetScrollBars() {
    if (vScroll_ != nullptr)
        vScroll_->hide();
    if (hScroll_ != nullptr)
        hScroll_->hide();
    if (modeButtons_[2] != nullptr)
        modeButtons_[2]->show();
    // A value that was not 0 moves the canvas back through the scroll rule.
    if (vScroll_ != nullptr)
        vScroll_->setValue(0);
    if (hScroll_ != nullptr)
        hScroll_->setValue(0);
}

void PreviewController::applyCanvasGeometry() {
    if (canvasWidget_ == nullptr)
        return;
    canvasWidget_->setGeometry(toPixels(canvas_.left), toPixels(canvas_.top),
                               std::max(1, toPixels(canvas_.width)),
                               std::max(1, toPixels(canvas_.height)));
    canvasWidget_->update();
}

void PreviewController::paintPlan(const preview::PaintPlan& plan) {
    canvas_.width = plan.canvasWidth;
    canvas_.height = plan.canvasHeight;
    canvas_.painted = plan.paints;
    canvas_.picture = QRectF(plan.x, plan.y, plan.width, plan.height);
    canvasImage_ = QImage();
    if (plan.paints && canvasWidget_ != nullptr) {
        // A picture painted smaller than its pixels is reduced once here, with an area
        // filter; one painted at its own size or larger is drawn straight from the holder.
        const double ratio = canvasWidget_->devicePixelRatioF();
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

void PreviewController::showWaitWindow(bool untilDrawn) {
    if (waitWindow_ == nullptr)
        return;
    waitWindow_->show();
    // Pending window events are processed once; user input stays queued, so no other
    // handler runs in between. Before a slow decode the window system gets up to a fifth
    // of a second to map the window, which is then drawn at once.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (!untilDrawn)
        return;
    QElapsedTimer clock;
    clock.start();
    while (waitWindow_->windowHandle() != nullptr && !waitWindow_->windowHandle()->isExposed() &&
           clock.elapsed() < 200) {
        QThread::msleep(1);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    waitWindow_->repaint();
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
        if (vScroll_ != nullptr)
            vScroll_->setValue(vertical.scrollValue);
    }
    const preview::PanStep horizontal =
        preview::panAxis(kViewWidth, canvas_.width, canvas_.left, release.x() - dragStart_.x());
    if (horizontal.applies) {
        canvas_.left = horizontal.position;
        applyCanvasGeometry();
        if (hScroll_ != nullptr)
            hScroll_->setValue(horizontal.scrollValue);
    }
}

bool PreviewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched != canvasWidget_)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        paintCanvas(canvasWidget_);
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
