#include "preview/preview_geometry.h"

#include <algorithm>
#include <cmath>

namespace tav::preview {
namespace {

// Halving for centring: the absolute value, divided by two, the fraction dropped.
double halved(double value) {
    return std::trunc(std::fabs(value) / 2.0);
}

} // namespace

double roundHalfEven(double value) {
    // nearbyint rounds in the current mode, which is round-to-nearest-even by default.
    return std::nearbyint(value);
}

PaintPlan planScale(double pictureWidth, double pictureHeight, double canvasWidth,
                    double canvasHeight) {
    PaintPlan plan;
    plan.canvasWidth = canvasWidth;
    plan.canvasHeight = canvasHeight;
    if (!(pictureWidth > 0 && pictureHeight > 0)) {
        plan.paints = false;
        return plan;
    }
    // rW is kept in single precision and rH in double precision, and the products follow.
    double rH = canvasHeight / pictureHeight;
    float rW = static_cast<float>(canvasWidth / pictureWidth);
    if (rW >= 1.0f && rH >= 1.0) { // a small picture is never enlarged
        rW = 1.0f;
        rH = 1.0;
    }
    if (rH < double(rW)) { // the height is the tighter direction
        plan.width = roundHalfEven(pictureWidth * rH);
        plan.height = roundHalfEven(pictureHeight * rH);
        plan.x = halved(roundHalfEven(canvasWidth) - plan.width);
        plan.y = 0;
    } else {
        plan.width = roundHalfEven(static_cast<float>(static_cast<float>(pictureWidth) * rW));
        plan.height = roundHalfEven(static_cast<float>(static_cast<float>(pictureHeight) * rW));
        plan.x = (rW == 1.0f && rH == 1.0) ? halved(roundHalfEven(canvasWidth) - plan.width) : 0;
        plan.y = halved(roundHalfEven(canvasHeight - plan.height));
    }
    plan.paints = plan.width > 0 && plan.height > 0;
    return plan;
}

PaintPlan planActual(double pictureWidth, double pictureHeight, double canvasWidth,
                     double canvasHeight, double viewWidth, double viewHeight,
                     double magnification) {
    PaintPlan plan;
    const double sw = roundHalfEven(pictureWidth * magnification);
    const double sh = roundHalfEven(pictureHeight * magnification);
    plan.width = sw;
    plan.height = sh;
    if (!(sw > 0 && sh > 0)) {
        // Nothing to paint (magnification 0 or an empty picture): the canvas keeps the
        // view's size and stays empty.
        plan.paints = false;
        plan.canvasWidth = viewWidth + kCanvasMargin;
        plan.canvasHeight = viewHeight + kCanvasMargin;
        plan.width = plan.height = 0;
        return plan;
    }
    const double rH = canvasHeight / sh;
    const float rW = static_cast<float>(canvasWidth / sw);
    if (rW >= 1.0f && rH >= 1.0) { // the magnified picture fits into the canvas
        plan.canvasWidth = viewWidth + kCanvasMargin;
        plan.canvasHeight = viewHeight + kCanvasMargin;
        plan.x = halved(roundHalfEven(plan.canvasWidth) - sw);
        plan.y = halved(roundHalfEven(plan.canvasHeight - sh));
    } else { // the canvas takes the magnified picture's size
        plan.canvasWidth = sw;
        plan.canvasHeight = sh;
        plan.x = 0;
        plan.y = 0;
    }
    plan.needsScrollBars = plan.x == 0 && plan.y == 0;
    return plan;
}

PaintPlan planFit(double canvasWidth, double canvasHeight) {
    PaintPlan plan;
    plan.canvasWidth = canvasWidth;
    plan.canvasHeight = canvasHeight;
    plan.width = canvasWidth;
    plan.height = canvasHeight;
    return plan;
}

bool magnificationTextIsValid(const QString& text) {
    static const QString allowed = QStringLiteral("0123456789. \u3000");
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return allowed.contains(c); });
}

double readMagnification(const QString& text) {
    double value = 0;
    double scale = 0; // 0 before the full stop, then 0.1, 0.01, ...
    for (const QChar c : text) {
        if (c == QLatin1Char(' '))
            continue;
        if (c == QLatin1Char('.')) {
            if (scale != 0)
                break; // a second full stop ends the number
            scale = 0.1;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break; // an ideographic space or anything else ends it
        const int digit = c.unicode() - '0';
        if (scale == 0) {
            value = value * 10 + digit;
        } else {
            value += digit * scale;
            scale /= 10;
        }
    }
    return value;
}

int nextSmallerMagnification(const QStringList& entries, int currentIndex, const QString& current) {
    if (currentIndex >= 0 && currentIndex < entries.size() && entries[currentIndex] == current)
        return currentIndex - 1; // -1 at the top of the list
    // A typed value: the largest listed magnification below it.
    const double m = readMagnification(current);
    int best = -1;
    for (int i = 0; i < entries.size(); ++i) {
        const double v = readMagnification(entries[i]);
        if (v < m && (best < 0 || v > readMagnification(entries[best])))
            best = i;
    }
    return best;
}

ScrollBarLayout scrollBarLayout(double viewWidth, double viewHeight, double canvasWidth,
                                double canvasHeight) {
    ScrollBarLayout layout;
    layout.showVertical = roundHalfEven(viewHeight) < roundHalfEven(canvasHeight);
    layout.showHorizontal = roundHalfEven(viewWidth) < roundHalfEven(canvasWidth);
    layout.hideFitButton = layout.showHorizontal;
    return layout;
}

double scrollPosition(double view, double canvas, int value) {
    return -((canvas - view - kCanvasMargin) * value / 100.0);
}

PanStep panAxis(double view, double canvas, double position, double delta) {
    PanStep step;
    // The comparison is made in single precision.
    if (!(static_cast<float>(view + 60.0) < static_cast<float>(canvas)))
        return step;
    step.applies = true;
    double t = position + delta;
    if (t > 0)
        t = 0;
    if (t - kCanvasMargin < view - canvas) // near the far end the canvas snaps to it
        t = view - canvas;
    step.position = t;
    double u = roundHalfEven(-(t / (canvas - view - kCanvasMargin) * 100.0));
    u = std::clamp(u, 0.0, 100.0);
    step.scrollValue = int(u);
    return step;
}

QSize himetricFromPixels(QSize pixels) {
    return QSize(int(roundHalfEven(pixels.width() * 2540.0 / 96.0)),
                 int(roundHalfEven(pixels.height() * 2540.0 / 96.0)));
}

QString generalDateTimeFormat(const QLocale& locale) {
    // The general format shows the short date and the time with seconds; Qt's short time
    // formats often leave the seconds out, so they are put back after the minutes.
    QString time = locale.timeFormat(QLocale::ShortFormat);
    if (!time.contains(QLatin1Char('s'))) {
        const qsizetype minutes = time.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            time.insert(minutes + 2, QLatin1String(":ss"));
    }
    return locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + time;
}

QString kilobytesText(std::int64_t bytes, const QLocale& locale) {
    // "#,##0": whole kilobytes, rounded, with the locale's thousands separator (a comma
    // where the locale has none, as in the C locale).
    const auto kb = static_cast<qint64>(std::llround(double(bytes) / 1024.0));
    QLocale grouping = locale;
    grouping.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    QString text = grouping.toString(kb);
    if (grouping.groupSeparator().isEmpty() && kb >= 1000)
        text = QLocale(QLocale::English).toString(kb);
    return text;
}

QString informationFileLine(const QDateTime& modified, std::int64_t bytes, const QLocale& locale) {
    return locale.toString(modified, generalDateTimeFormat(locale)) + QStringLiteral(" , ") +
           kilobytesText(bytes, locale) + QStringLiteral(" KB");
}

QString informationSizeLine(QSize himetric) {
    // Hundredths of a millimetre to whole millimetres ("#0", rounded).
    const auto mm = [](int hundredths) {
        return QString::number(std::llround(double(hundredths) / 100.0));
    };
    return QStringLiteral("Height: ") + mm(himetric.height()) + QStringLiteral("×Width: ") +
           mm(himetric.width());
}

} // namespace tav::preview
