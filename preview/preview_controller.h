// The preview pane of the main window: it shows a picture file turned by a rotation code
// and drives the controls around it.
//
// The window hands the controller the controls it drives (PreviewControls). The
// controller connects its own handlers to them (mode buttons, the two combo boxes, the
// scroll bars, the mouse on the canvas) and paints the canvas. The file list's click and
// the selection list's current row belong to the main window, which calls fileClicked()
// and rowChosen().
//
// Every display loads the file anew (decoded only as finely as the display needs, so a
// 12-megapixel photo shows quickly), turns it by the rotation code in the picture holder,
// writes the information text, and paints it in the chosen mode. Failures inside a
// display are skipped silently; the holder then keeps the picture it had.
#pragma once

#include "platform/dialogs.h"
#include "platform/image/picture_loader.h"
#include "preview/preview_controls.h"
#include "preview/preview_geometry.h"
#include "preview/rotation.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

namespace tav {

class PreviewController : public QObject {
    Q_OBJECT
public:
    PreviewController(const PreviewControls& controls, Dialogs& dialogs, QObject* parent = nullptr);
    ~PreviewController() override;

    // Shows `file` turned by rotation code `code` ("  0", " 90", "180", "270"; anything
    // else shows it unturned). Does not change previewPath().
    void showPicture(const QString& file, const QString& code);

    // A row of the selection list became current: previews its file with the row's code.
    void rowChosen(const QString& path, const QString& code);

    // A file of the file browser was clicked (full path). With "start unturned" ticked the
    // rotation combo box goes back to "  0" first.
    void fileClicked(const QString& path);

    QString previewPath() const { return previewPath_; }

    // The canvas in twips, relative to the view, and the painted rectangle on it.
    struct CanvasState {
        double left = 0;
        double top = 0;
        double width = 0;
        double height = 0;
        bool painted = false;
        QRectF picture; // twips, canvas coordinates
    };
    CanvasState canvasState() const { return canvas_; }
    const PictureBox& holder() const { return holder_; }
    // How many times a picture file was decoded (redisplays of an unchanged file reuse
    // the decoded picture when it has the pixels they need).
    int decodeCount() const { return decodeCount_; }

    // The largest canvas side in pixels the platform can keep a persistent image for; a
    // larger actual-size display reports "画像サイズが大きすぎます" and steps the
    // magnification down.
    void setMaximumCanvasSide(int pixels) { maxCanvasSide_ = pixels; }
    static constexpr int kDefaultMaximumCanvasSide = 32767;

    // A picture file as it is on disk; any write, replacement or rename changes it.
    struct FileIdentity {
        QString path;
        qint64 size = -1;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        quint64 inode = 0;
        bool operator==(const FileIdentity&) const = default;
    };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Outcome { Done, Ended, CanvasTooLarge };

    void connectControls();
    Outcome displayOnce(const QString& file, const QString& code);
    preview::DisplayMode mode() const;
    QSize decodeSizeFor(const PictureInfo& info, int quarterTurns) const;
    void resetCanvas();
    void loadIntoHolder(const QString& file, int quarterTurns);
    void turnHolder(int quarterTurns);
    void writeInformation(const QString& file);
    void resetScrollBars();
    // The actual-size plan at the magnification shown; none, after telling the user, when
    // the magnification is not a number.
    std::optional<preview::PaintPlan> planActualSize();
    void showScrollBarsForActualSize();
    // Selects the next smaller magnification; false when there is none.
    bool stepMagnificationDown();
    void applyCanvasGeometry();
    void paintPlan(const preview::PaintPlan& plan);
    void paintCanvas(QWidget* canvas);
    void showWaitNote(bool untilDrawn);
    void onModeToggled(int index, bool checked);
    void onScroll(Qt::Orientation orientation, int value);
    void panTo(QPointF release);
    QString rotationText() const;

    PreviewControls controls_;
    Dialogs& dialogs_;

    QString previewPath_;
    BoxContainer window_;
    PictureBox holder_;
    // The picture last loaded: what the holder goes back to when a load fails, and what a
    // redisplay of the same, unchanged file reuses instead of decoding it again.
    std::optional<LoadedPicture> lastLoaded_;
    std::optional<FileIdentity> lastLoadedFile_;
    CanvasState canvas_;
    QImage canvasImage_; // the painted picture at its painted pixel size, when reduced
    QPointF dragStart_;  // twips, canvas coordinates
    bool dragging_ = false;
    int maxCanvasSide_ = kDefaultMaximumCanvasSide;
    int decodeCount_ = 0;
};

} // namespace tav
