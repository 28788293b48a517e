#include "generate/notes_text.h"

#include "platform/xls/column_width.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>

namespace tav {
namespace {

// The font is measured at this many pixels per point, so that widths come out in
// hundredths of a point whatever the screen's resolution.
constexpr double kPixelsPerPoint = 100.0;
// A reader leaves about two pixels (96 dpi) at each side of a cell's text; one more
// point covers the small differences between readers' font metrics.
constexpr double kCellMarginPoints = 2 * 1.5 + 1.0;

const QString kEllipsis = QStringLiteral("…");

QFont measuringFont(const QFont& font) {
    QFont measuring = font;
    measuring.setPixelSize(qRound(font.pointSizeF() * kPixelsPerPoint));
    measuring.setKerning(false); // a cell's text is laid out without kerning
    return measuring;
}

// The lines of one paragraph (a line of the note without line breaks).
QStringList wrapParagraph(const QString& paragraph, double width, const QFont& measuring) {
    QTextLayout layout(paragraph, measuring);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        QString text = paragraph.mid(line.textStart(), line.textLength());
        while (!text.isEmpty() && text.back().isSpace())
            text.chop(1);
        lines << text;
    }
    layout.endLayout();
    if (lines.isEmpty())
        lines << QString(); // an empty paragraph is an empty line
    return lines;
}

// `line` shortened so that it and "…" fit `width`.
QString withEllipsis(QString line, double width, const QFontMetricsF& metrics) {
    while (!line.isEmpty() && metrics.horizontalAdvance(line + kEllipsis) > width) {
        line.chop(line.size() >= 2 && line.back().isLowSurrogate() ? 2 : 1);
        while (!line.isEmpty() && line.back().isSpace())
            line.chop(1);
    }
    return line + kEllipsis;
}

} // namespace

QFont workbookCellFont() {
    QFont font(QString::fromLatin1(xls::CellFontFamily));
    font.setPointSizeF(xls::CellFontPoints);
    return font;
}

double cellTextWidth(double columnPoints) {
    return columnPoints - kCellMarginPoints;
}

QStringList wrapNote(const QString& note, double widthPoints, int maxLines, const QFont& font) {
    if (maxLines <= 0 || widthPoints <= 0)
        return {};
    QString text = note;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    const QFont measuring = measuringFont(font);
    const double width = widthPoints * kPixelsPerPoint;
    QStringList lines;
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    qsizetype next = 0;
    while (next < paragraphs.size() && lines.size() <= maxLines)
        lines += wrapParagraph(paragraphs[next++], width, measuring);
    // Empty lines at the end print nothing; they count only before further text.
    if (next == paragraphs.size()) {
        while (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();
    }
    if (lines.size() > maxLines) {
        lines = lines.mid(0, maxLines);
        lines.back() = withEllipsis(lines.back(), width, QFontMetricsF(measuring));
    }
    return lines;
}

} // namespace tav
