// The arithmetic of the preview pane, free of widgets.
//
// All lengths are in twips (1/1440 inch), the unit of the main window; 15 twips make one
// pixel at 96 dpi. Three rectangles take part: the view (Picture1), the canvas inside it
// (Picture2), which the picture is painted on and which scrolls in the view when it is
// larger, and the picture holder, whose size follows the picture's logical size.
// "Rounded" means to the nearest whole number with halves going to the even neighbour;
// "halved" means divided by 2 with the fraction dropped.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QSize>
#include <QString>
#include <QStringList>

#include "platform/twips.h"

#include <cstdint>

namespace tav::preview {

inline constexpr double kTwipsPerPixel = TwipsPerPixel;
inline constexpr double kViewWidth = 3200.0;
inline constexpr double kViewHeight = 2400.0;
inline constexpr double kCanvasMargin = 55.0; // the canvas is the view plus this margin

enum class DisplayMode { Scale = 0, Actual = 1, Fit = 2 };

// Where and how large the picture is painted, and the canvas it is painted on.
struct PaintPlan {
    bool paints = true; // false when the painted size is empty (magnification 0)
    double canvasWidth; // the canvas after the display
    double canvasHeight;
    double x = 0; // the painted picture, on the canvas
    double y = 0;
    double width = 0;
    double height = 0;
    bool needsScrollBars = false; // an actual-size picture larger than the view
};

// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value);

// Scaled: the whole picture with its aspect ratio kept, never enlarged. The picture's size
// is the holder's, the canvas's the view's plus the margin.
PaintPlan planScale(double pictureWidth, double pictureHeight, double canvasWidth,
                    double canvasHeight);

// Actual size: the picture at `magnification` times its size.
PaintPlan planActual(double pictureWidth, double pictureHeight, double canvasWidth,
                     double canvasHeight, double viewWidth, double viewHeight,
                     double magnification);

// Fitted: the canvas filled, aspect ratio not kept.
PaintPlan planFit(double canvasWidth, double canvasHeight);

// The magnification text may hold only digits, full stops, spaces and ideographic spaces.
bool magnificationTextIsValid(const QString& text);

// Reads the magnification text as a decimal number from its start: spaces are skipped,
// reading ends at the first character that cannot continue the number (a second full stop
// or an ideographic space); a text without digits gives 0.
double readMagnification(const QString& text);

// The index of the next smaller magnification in `entries` for the text `current`
// (selected entry `currentIndex`, or -1 when the text was typed): the entry above the
// selected one, or for a typed value the largest entry below it. -1 when there is none.
int nextSmallerMagnification(const QStringList& entries, int currentIndex, const QString& current);

struct ScrollBarLayout {
    bool showVertical = false;
    bool showHorizontal = false;
    bool hideFitButton = false; // the fit button sits where the horizontal bar shows
};

// Which scroll bars an actual-size display needs.
ScrollBarLayout scrollBarLayout(double viewWidth, double viewHeight, double canvasWidth,
                                double canvasHeight);

// The scroll rule: the canvas position (Left or Top) for scroll value 0..100 along one
// axis with view extent `view` and canvas extent `canvas`.
double scrollPosition(double view, double canvas, int value);

struct PanStep {
    bool applies = false; // false when the canvas is not more than 60 twips larger
    double position = 0;  // the new Left or Top
    int scrollValue = 0;  // the value the scroll bar is set to
};

// The pan rule along one axis: the canvas at `position` is dragged by `delta` twips.
PanStep panAxis(double view, double canvas, double position, double delta);

// Physical size in hundredths of a millimetre of a picture of `pixels` at 96 dpi.
QSize himetricFromPixels(QSize pixels);

// The two lines of the information box: the file's date and time in the locale's general
// date-and-time format, " , ", the size in KB with thousands separators, " KB"; then
// "Height: ", millimetres, "×", "Width: ", millimetres. The lines are separated by a
// line feed.
QString informationFileLine(const QDateTime& modified, std::int64_t bytes, const QLocale& locale);
QString informationSizeLine(QSize himetric);

// The locale's general date-and-time format (short date, time with seconds).
QString generalDateTimeFormat(const QLocale& locale);

// The file size in KB as the information text writes it ("1,024").
QString kilobytesText(std::int64_t bytes, const QLocale& locale);

} // namespace tav::preview
