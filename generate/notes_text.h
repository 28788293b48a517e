// A photo's note as it goes into the ruled notes area of its picture: one ruled line
// (sheet row) per line of text, wrapped at the width of the notes column, measured with
// the font the workbook draws those cells with.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace tav {

// The font of the workbook's text cells: the template's cell format uses IPA P Gothic
// 11 pt (see data/template/make_template.cpp).
QFont workbookCellFont();

// The room a text has in a column `columnPoints` wide: the column less the margins a
// reader leaves at both sides of a cell's text.
double cellTextWidth(double columnPoints);

// The lines of `note` for a notes area of `maxLines` lines, each at most `widthPoints`
// wide in `font`: the note's own line breaks first, then breaks where the text reaches
// the width (between words where the text has them, between any two characters of
// Japanese, never before a closing bracket or 、。). Trailing blanks of a line and empty
// lines at the end go; tabs count as blanks. When the lines do not fit, the last one that
// does ends with "…". Nothing for an empty note or no room.
QStringList wrapNote(const QString& note, double widthPoints, int maxLines, const QFont& font);

} // namespace tav
