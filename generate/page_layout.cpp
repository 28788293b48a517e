#include "generate/page_layout.h"

#include <QList>
#include <QtGlobal>

#include <cmath>

namespace tav {

namespace {

// What both families' rows give: pictures a page (rows and columns), the columns of
// the pictures' left edges (the right one empty for one picture a row), the sheet row
// of the first picture, the rows from one picture row to the next, and the caption's
// offset from its picture's top row.
struct Grid {
    int rows, columns;
    const char* left;
    const char* right;
    int firstRow, rowPitch, captionOffset;
};

struct PlainRow {
    Grid grid;
    int headerOffset;
    float boxWidth, boxHeight;
};

// Layouts without notes: rows 13.5 pt, 59 rows a page. Index 0..4, then the
// captions-off rows of OptNoList(2..4) at 5..7.
constexpr PlainRow kPlain[] = {
    {{2, 1, "H", "", 6, 29, 23}, 5, 370.0f, 278.0f},
    {{3, 1, "J", "", 2, 20, 17}, 1, 300.0f, 225.0f},
    {{2, 2, "C", "W", 6, 32, 16}, 5, 233.25f, 215.25f},
    {{3, 2, "C", "W", 6, 20, 13}, 5, 233.25f, 174.75f},
    {{4, 2, "F", "Z", 3, 15, 11}, 2, 190.0f, 143.0f},
    // Captions off. The square 4 and 6 boxes fill their pages so far that the page
    // header takes row 1 and the pictures start in row 2: no picture starts on a
    // page's first row, where readers that round the page's end show a strip of it at
    // the foot of the page before. Two rows of 379.5 pt boxes then fit at a 29-row
    // pitch (rows 2 and 31; the second ends in row 59).
    {{2, 2, "C", "W", 2, 29, 0}, 1, 244.5f, 379.5f},
    // Three rows of 252.3 pt boxes fit a 59-row page only at a 19-row pitch (rows 2,
    // 21, 40; the last box ends in row 58); a 21-row pitch would push the third row
    // into the next page.
    {{3, 2, "C", "W", 2, 19, 0}, 1, 244.5f, 252.3f},
    // Four rows of 155 pt boxes from row 4 fit a 59-row page only at a 14-row pitch
    // (the last box ends in row 58); at 15 rows it would reach into the next page.
    {{4, 2, "F", "Z", 4, 14, 0}, 2, 190.0f, 155.0f},
};

struct NotesRow {
    Grid grid;
    int notesLines;
    double pictureWidthCm, pictureHeightCm, notesWidthCm;
};

// Layouts with notes: rows 18 pt, 44 rows a page.
constexpr NotesRow kNotes[] = {
    {{2, 1, "B", "", 3, 23, 0}, 16, 13.12, 10.53, 4.6},
    {{3, 1, "B", "", 3, 14, 0}, 13, 11.01, 8.26, 6.0},
    {{4, 1, "B", "", 2, 11, 0}, 10, 9.1, 6.32, 8.53},
    {{2, 2, "B", "D", 3, 22, 11}, 9, 8.6, 6.6, 8.6},
    {{3, 2, "B", "D", 3, 14, 11}, 2, 8.6, 6.6, 8.6},
};

constexpr const char* kKeys[2][5] = {
    {"notes-2", "notes-3", "notes-4", "notes-square-4", "notes-square-6"},
    {"plain-2", "plain-3", "plain-square-4", "plain-square-6", "plain-square-8"},
};

int intOf(double x) {
    return static_cast<int>(std::floor(x));
}

void applyGrid(PageLayout& l, const Grid& grid, bool withNotes, int pageRows) {
    l.withNotes = withNotes;
    l.imageRows = grid.rows;
    l.imageColumns = grid.columns;
    l.pictureColumns = {QString::fromLatin1(grid.left), QString::fromLatin1(grid.right)};
    l.firstRow = grid.firstRow;
    l.rowPitch = grid.rowPitch;
    l.pageRows = pageRows;
    l.captionOffset = grid.captionOffset;
}

QString cell(const QString& column, int row) {
    return column + QString::number(row);
}

} // namespace

int PageLayout::pictureColumnWidth() const {
    return intOf(pictureWidthCm * 4.78) + 1;
}
int PageLayout::notesColumnWidth() const {
    return intOf(notesWidthCm * 4.78) + 1;
}

int PageLayout::preparedRows(int pictureCount) const {
    const double n = pictureCount;
    return intOf((n / imageRows / imageColumns + 1) * pageRows);
}

int PageLayout::pageCount(int pictureCount) const {
    return pictureCount <= 0 ? 0 : (pictureCount - 1) / picturesPerPage() + 1;
}

CellAlignment PageLayout::pageNumberAlignment() const {
    return {xls::xl::HAlignRight, xls::xl::VAlignCenter, false};
}

CellAlignment PageLayout::titleAlignment() const {
    if (withNotes) {
        return {xls::xl::HAlignRight, xls::xl::VAlignCenter, false};
    }
    // Two pictures a row put the title into the left picture's column, less than two
    // characters wide at the page's left edge: right-aligned there, a title spills to
    // the left off the printed page, so it starts at the column instead.
    return {xls::xl::HAlignLeft, xls::xl::VAlignCenter, imageColumns == 1};
}

PageLayout pageLayout(LayoutChoice choice, bool captions) {
    Q_ASSERT(choice.index >= 0 && choice.index <= 4);
    const int index = (choice.index >= 0 && choice.index <= 4) ? choice.index : 0;
    PageLayout l;
    if (choice.family == LayoutFamily::WithoutNotes) {
        const int row = (!captions && index >= 2) ? index + 3 : index;
        const PlainRow& p = kPlain[row];
        applyGrid(l, p.grid, false, 59);
        l.headerOffset = p.headerOffset;
        l.pageNumberColumn = p.grid.columns == 1 ? QStringLiteral("AH") : QStringLiteral("AM");
        l.titleColumn = l.pictureColumns[0];
        l.boxWidth = p.boxWidth;
        l.boxHeight = p.boxHeight;
        return l;
    }
    const NotesRow& n = kNotes[index];
    applyGrid(l, n.grid, true, 44);
    l.headerOffset = 1;
    l.pageNumberColumn = QStringLiteral("D");
    l.titleColumn = QStringLiteral("B");
    l.notesLines = n.notesLines;
    l.pictureWidthCm = n.pictureWidthCm;
    l.pictureHeightCm = n.pictureHeightCm;
    l.notesWidthCm = n.notesWidthCm;
    l.boxWidth = static_cast<float>(intOf(n.pictureWidthCm * 28.25));
    l.boxHeight = static_cast<float>(intOf(n.pictureHeightCm * 28.25));
    return l;
}

QString layoutKey(LayoutChoice choice) {
    const int family = choice.family == LayoutFamily::WithNotes ? 0 : 1;
    if (choice.index < 0 || choice.index > 4) {
        return {};
    }
    return QString::fromLatin1(kKeys[family][choice.index]);
}

std::optional<LayoutChoice> layoutFromKey(const QString& key) {
    for (int family = 0; family < 2; ++family) {
        for (int index = 0; index < 5; ++index) {
            if (key == QLatin1String(kKeys[family][index])) {
                return LayoutChoice{
                    family == 0 ? LayoutFamily::WithNotes : LayoutFamily::WithoutNotes, index};
            }
        }
    }
    return std::nullopt;
}

PictureCells pictureCells(const PageLayout& l, int i) {
    PictureCells c;
    const int perPage = l.picturesPerPage();
    c.page = i / perPage + 1;
    const int k = i - (c.page - 1) * perPage;
    c.rowOnPage = k / l.imageColumns + 1;
    c.top = l.firstRow + (c.rowOnPage - 1) * l.rowPitch + (c.page - 1) * l.pageRows;
    c.column = (i % l.imageColumns == 0) ? l.pictureColumns[0] : l.pictureColumns[1];
    c.anchor = cell(c.column, c.top);

    // Every page that holds a picture has its header, written with its first picture.
    c.headerDue = k == 0;
    if (!l.withNotes) {
        c.caption = cell(c.column, c.top + l.captionOffset);
        c.pageNumberCell = cell(l.pageNumberColumn, c.top - l.headerOffset);
        c.titleCell = cell(l.titleColumn, c.top - l.headerOffset);
        return c;
    }

    c.pageNumberCell = cell(QStringLiteral("D"), c.top - 1);
    c.titleCell = cell(QStringLiteral("B"), c.top - 1);
    if (l.imageColumns == 1) {
        const QString d = QStringLiteral("D");
        c.anchor = cell(QStringLiteral("B"), c.top);
        c.caption = cell(d, c.top);
        c.notes = cell(d, c.top) + QLatin1Char(':') + cell(d, c.top + l.notesLines - 1);
    } else {
        const int first = c.top + l.captionOffset;
        c.caption = cell(c.column, first);
        c.notes =
            cell(c.column, first) + QLatin1Char(':') + cell(c.column, first + l.notesLines - 1);
    }
    return c;
}

QString pageNumberText(int page) {
    return QStringLiteral("Page.") + QString::number(page);
}

QList<int> pageBreakRows(const PageLayout& l, int pictureCount) {
    QList<int> rows;
    const int pages = l.pageCount(pictureCount);
    for (int p = 1; p < pages; ++p) {
        rows.append(p * l.pageRows);
    }
    return rows;
}

ColumnSpan centredColumns(double mustLeft, double mustRight, double centre, double across,
                          const std::function<double(int)>& columnLeft, int lastColumn) {
    constexpr double slack = 1e-6;
    ColumnSpan best;
    double bestOffset = -1;
    double bestWidth = 0;
    for (int first = 1; first <= lastColumn && columnLeft(first) <= mustLeft + slack; ++first) {
        for (int last = first; last <= lastColumn; ++last) {
            const double left = columnLeft(first);
            const double right = columnLeft(last + 1);
            if (right - left > across + slack) {
                break;
            }
            if (right < mustRight - slack) {
                continue;
            }
            const double offset = std::abs((left + right) / 2 - centre);
            const double width = right - left;
            if (bestOffset < 0 || offset < bestOffset - slack ||
                (offset <= bestOffset + slack && width > bestWidth)) {
                best = {first, last};
                bestOffset = offset;
                bestWidth = width;
            }
        }
    }
    if (bestOffset < 0) {
        // Nothing that holds the content fits across: print from its first column to its
        // last, as the content asks.
        int first = 1;
        while (first < lastColumn && columnLeft(first + 1) <= mustLeft + slack) {
            ++first;
        }
        int last = first;
        while (last < lastColumn && columnLeft(last + 1) < mustRight - slack) {
            ++last;
        }
        best = {first, last};
    }
    return best;
}

namespace {
bool fits(const PageLayout& l, int n) {
    // Prepared rows cover every picture (they run a page past the last picture row).
    return static_cast<long long>(l.preparedRows(n)) <= xls::MaxRows &&
           l.pageCount(n) - 1 <= xls::MaxPageBreaks && n <= xls::MaxPicturesPerSheet;
}
} // namespace

int maxPicturesOnOneSheet(const PageLayout& l) {
    int lo = 0;
    int hi = xls::MaxRows * l.picturesPerPage(); // surely too many
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (fits(l, mid)) {
            lo = mid;
        } else {
            hi = mid - 1;
        }
    }
    return lo;
}

QString sheetCapacityProblem(const PageLayout& l, int pictureCount) {
    if (fits(l, pictureCount)) {
        return {};
    }
    const int pages = l.pageCount(pictureCount);
    return QStringLiteral("画像が多すぎて1枚のシートに収まりません。") + QLatin1Char('\r') +
           QStringLiteral("選択された画像: %1 枚（%2 ページ、%3 行）")
               .arg(pictureCount)
               .arg(pages)
               .arg(l.preparedRows(pictureCount)) +
           QLatin1Char('\r') +
           QStringLiteral("シートの上限: %1 行、改ページ %2 か所、画像 %3 枚")
               .arg(xls::MaxRows)
               .arg(xls::MaxPageBreaks)
               .arg(xls::MaxPicturesPerSheet) +
           QLatin1Char('\r') +
           QStringLiteral("このレイアウトでは %1 枚までです。画像を分けて作成して下さい。")
               .arg(maxPicturesOnOneSheet(l));
}

} // namespace tav
