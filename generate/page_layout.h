// The page layout catalogue: the ten A4 portrait layouts a run can use, and the rules
// that turn a picture's place in the selection list into sheet cells.
//
// A page is a fixed number of sheet rows (59 rows of 13.5 pt without notes, 44 rows of
// 18 pt with notes). Rows are 1-based sheet rows as the spreadsheet counts them;
// columns are letters ("B", "AH"). Box sizes are in points.
#pragma once

#include "platform/xls/engine.h"
#include "platform/xls/limits.h"

#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace tav {

// The two option groups of the main window: the family (`OptList`) and the button
// chosen in it (`OptNoList(0..4)` or `OptListSelect(0..4)`).
enum class LayoutFamily { WithNotes, WithoutNotes };

struct LayoutChoice {
    LayoutFamily family = LayoutFamily::WithNotes;
    int index = 0; // 0..4 within the family

    bool operator==(const LayoutChoice&) const = default;
};

// How a header or caption cell aligns its text (the engine's xls::xl alignments).
struct CellAlignment {
    int horizontal = xls::xl::HAlignLeft;
    int vertical = xls::xl::VAlignTop;
    bool verticalFirst = false; // the title of the one-picture layouts without notes
};

struct PageLayout {
    bool withNotes = true;
    int imageRows = 2;
    int imageColumns = 1;
    std::array<QString, 2> pictureColumns; // second entry empty for one picture per row
    int firstRow = 3;
    int rowPitch = 23;
    int pageRows = 44;
    int captionOffset = 0;
    int headerOffset = 1;
    QString pageNumberColumn;
    QString titleColumn;
    float boxWidth = 0;
    float boxHeight = 0;
    int notesLines = 0;
    double pictureWidthCm = 0;
    double pictureHeightCm = 0;
    double notesWidthCm = 0;

    int picturesPerPage() const { return imageRows * imageColumns; }

    // Notes layouts: column widths in characters of the picture columns ("B", "G") and
    // the notes columns ("D", "I"): 4.78 characters a centimetre, the whole characters
    // of the width and one more.
    int pictureColumnWidth() const;
    int notesColumnWidth() const;

    // Rows 1 to preparedRows(n) get the layout's row height: the rows of the pages the
    // pictures fill, counted in fractions of a page, and one page more, rounded down.
    int preparedRows(int pictureCount) const;
    // Layout pages that n pictures fill (the last one possibly partly).
    int pageCount(int pictureCount) const;

    // Alignments of the three written cells. Vertically they are centred in their row:
    // a 13.5-pt row is hardly taller than an 11-pt line, and the Latin descenders of a
    // Japanese font reach below the descent it declares. LibreOffice, setting a text at
    // the top of its row, and Gnumeric, setting it on that descent at the bottom, both
    // cut them off at the row's lower edge; centred, the text is whole in both.
    CellAlignment pageNumberAlignment() const;
    CellAlignment titleAlignment() const;
    static CellAlignment captionAlignment() {
        return {xls::xl::HAlignLeft, xls::xl::VAlignCenter, false};
    }
};

// The layout of a run. `captions` is `ChkMakeFileName`; it matters for OptNoList(2..4).
// An index outside 0..4 is a programming error (asserted) and falls back to index 0.
PageLayout pageLayout(LayoutChoice choice, bool captions);

// The command-line keys of the ten layouts, "notes-2" ... "plain-square-8".
QString layoutKey(LayoutChoice choice);
std::optional<LayoutChoice> layoutFromKey(const QString& key);

// The sheet cells of picture i (0-based position in the selection list).
struct PictureCells {
    int page = 1;           // 1-based
    int rowOnPage = 1;      // 1-based
    int top = 0;            // sheet row of the picture's top
    QString column;         // column of the picture's top-left cell
    QString anchor;         // e.g. "H6"
    QString caption;        // e.g. "H29"
    QString notes;          // e.g. "D3:D18"; empty without notes
    bool headerDue = false; // the first picture of a page writes the page's header
    QString pageNumberCell;
    QString titleCell;
};

PictureCells pictureCells(const PageLayout& layout, int i);

// "Page." followed by the page number.
QString pageNumberText(int page);

// Whole columns that print, 1-based and inclusive.
struct ColumnSpan {
    int first = 1;
    int last = 1;
    bool operator==(const ColumnSpan&) const = default;
};

// The columns a layout prints: whole columns that hold [mustLeft, mustRight] (points
// from the sheet's left edge) and span at most `across` points, whose middle comes as
// near `centre` as whole columns allow; of those, the widest. `columnLeft(c)` is the
// left edge of column c (columnLeft(1) is 0), for c up to lastColumn + 1. With a fixed
// range a layout prints at the same place on every page of every workbook, whatever
// its captions, and the printed page centres it, so that its pictures are centred; a
// caption longer than its room ends at the range's edge.
ColumnSpan centredColumns(double mustLeft, double mustRight, double centre, double across,
                          const std::function<double(int)>& columnLeft, int lastColumn);

// Sheet rows after which a manual page break goes: the boundaries between the layout
// pages that the pictures fill (every pageRows rows).
QList<int> pageBreakRows(const PageLayout& layout, int pictureCount);

// An empty text when n pictures fit one sheet in this layout (its rows, its page breaks
// and the pictures a sheet holds, platform/xls/limits.h); otherwise a message that says why not and
// how many pictures the layout can take.
QString sheetCapacityProblem(const PageLayout& layout, int pictureCount);
// The largest number of pictures that fits one sheet in this layout.
int maxPicturesOnOneSheet(const PageLayout& layout);

} // namespace tav
