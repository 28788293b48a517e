// The layout catalogue: the values of all ten layouts and the captions-off variants,
// and the cells of picture i.
#include "generate/page_layout.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace tav {
namespace {

constexpr LayoutChoice notes(int i) {
    return {LayoutFamily::WithNotes, i};
}
constexpr LayoutChoice plain(int i) {
    return {LayoutFamily::WithoutNotes, i};
}

struct Expected {
    LayoutChoice choice;
    bool captions;
    int rows, columns;
    const char* left;
    const char* right;
    int firstRow, rowPitch, pageRows, captionOffset;
    const char* pageNumberColumn;
    float boxWidth, boxHeight;
    int notesLines;
};

const Expected kTable[] = {
    {plain(0), true, 2, 1, "H", "", 6, 29, 59, 23, "AH", 370, 278, 0},
    {plain(0), false, 2, 1, "H", "", 6, 29, 59, 23, "AH", 370, 278, 0},
    {plain(1), true, 3, 1, "J", "", 2, 20, 59, 17, "AH", 300, 225, 0},
    {plain(1), false, 3, 1, "J", "", 2, 20, 59, 17, "AH", 300, 225, 0},
    {plain(2), true, 2, 2, "C", "W", 6, 32, 59, 16, "AM", 233.25f, 215.25f, 0},
    {plain(2), false, 2, 2, "C", "W", 2, 29, 59, 0, "AM", 244.5f, 379.5f, 0},
    {plain(3), true, 3, 2, "C", "W", 6, 20, 59, 13, "AM", 233.25f, 174.75f, 0},
    {plain(3), false, 3, 2, "C", "W", 2, 19, 59, 0, "AM", 244.5f, 252.3f, 0},
    {plain(4), true, 4, 2, "F", "Z", 3, 15, 59, 11, "AM", 190, 143, 0},
    {plain(4), false, 4, 2, "F", "Z", 4, 14, 59, 0, "AM", 190, 155, 0},
    {notes(0), true, 2, 1, "B", "", 3, 23, 44, 0, "D", 370, 297, 16},
    {notes(1), true, 3, 1, "B", "", 3, 14, 44, 0, "D", 311, 233, 13},
    {notes(2), true, 4, 1, "B", "", 2, 11, 44, 0, "D", 257, 178, 10},
    {notes(3), true, 2, 2, "B", "D", 3, 22, 44, 11, "D", 242, 186, 9},
    {notes(4), true, 3, 2, "B", "D", 3, 14, 44, 11, "D", 242, 186, 2},
};

TEST(PageLayout, CatalogueValues) {
    for (const Expected& e : kTable) {
        SCOPED_TRACE(layoutKey(e.choice).toStdString() +
                     (e.captions ? " captions" : " no captions"));
        const PageLayout l = pageLayout(e.choice, e.captions);
        EXPECT_EQ(l.withNotes, e.choice.family == LayoutFamily::WithNotes);
        EXPECT_EQ(l.imageRows, e.rows);
        EXPECT_EQ(l.imageColumns, e.columns);
        EXPECT_EQ(l.pictureColumns[0], QLatin1String(e.left));
        EXPECT_EQ(l.pictureColumns[1], QLatin1String(e.right));
        EXPECT_EQ(l.firstRow, e.firstRow);
        EXPECT_EQ(l.rowPitch, e.rowPitch);
        EXPECT_EQ(l.pageRows, e.pageRows);
        EXPECT_EQ(l.captionOffset, e.captionOffset);
        EXPECT_EQ(l.pageNumberColumn, QLatin1String(e.pageNumberColumn));
        EXPECT_EQ(l.boxWidth, e.boxWidth);
        EXPECT_EQ(l.boxHeight, e.boxHeight);
        EXPECT_EQ(l.notesLines, e.notesLines);
        EXPECT_EQ(l.titleColumn, l.withNotes ? QStringLiteral("B") : l.pictureColumns[0]);
    }
}

// ChkMakeFileName changes nothing in the notes family.
TEST(PageLayout, NotesLayoutsIgnoreCaptions) {
    for (int i = 0; i < 5; ++i) {
        const PageLayout on = pageLayout(notes(i), true);
        const PageLayout off = pageLayout(notes(i), false);
        EXPECT_EQ(on.firstRow, off.firstRow);
        EXPECT_EQ(on.boxWidth, off.boxWidth);
        EXPECT_EQ(on.boxHeight, off.boxHeight);
    }
}

TEST(PageLayout, NotesColumnWidthsDerivedFromCentimetres) {
    const int picture[] = {63, 53, 44, 42, 42};
    const int notesColumn[] = {22, 29, 41, 42, 42};
    for (int i = 0; i < 5; ++i) {
        const PageLayout l = pageLayout(notes(i), true);
        EXPECT_EQ(l.pictureColumnWidth(), picture[i]) << i;
        EXPECT_EQ(l.notesColumnWidth(), notesColumn[i]) << i;
    }
}

TEST(PageLayout, KeysRoundTrip) {
    const char* keys[] = {"notes-2",        "notes-3",       "notes-4", "notes-square-4",
                          "notes-square-6", "plain-2",       "plain-3", "plain-square-4",
                          "plain-square-6", "plain-square-8"};
    int k = 0;
    for (LayoutFamily f : {LayoutFamily::WithNotes, LayoutFamily::WithoutNotes}) {
        for (int i = 0; i < 5; ++i, ++k) {
            const LayoutChoice c{f, i};
            EXPECT_EQ(layoutKey(c), QLatin1String(keys[k]));
            EXPECT_EQ(layoutFromKey(QLatin1String(keys[k])), c);
        }
    }
    EXPECT_FALSE(layoutFromKey(QStringLiteral("notes-5")).has_value());
    EXPECT_FALSE(layoutFromKey(QString()).has_value());
}

TEST(PageLayout, Plain2ThreePictures) {
    const PageLayout l = pageLayout(plain(0), true);
    const PictureCells c0 = pictureCells(l, 0);
    const PictureCells c1 = pictureCells(l, 1);
    const PictureCells c2 = pictureCells(l, 2);
    EXPECT_EQ(c0.anchor, QStringLiteral("H6"));
    EXPECT_EQ(c1.anchor, QStringLiteral("H35"));
    EXPECT_EQ(c2.anchor, QStringLiteral("H65"));
    EXPECT_EQ(c0.caption, QStringLiteral("H29"));
    EXPECT_EQ(c1.caption, QStringLiteral("H58"));
    EXPECT_EQ(c2.caption, QStringLiteral("H88"));
    EXPECT_TRUE(c0.headerDue);
    EXPECT_FALSE(c1.headerDue);
    EXPECT_TRUE(c2.headerDue);
    EXPECT_EQ(c0.pageNumberCell, QStringLiteral("AH1"));
    EXPECT_EQ(c0.titleCell, QStringLiteral("H1"));
    EXPECT_EQ(c2.pageNumberCell, QStringLiteral("AH60"));
    EXPECT_EQ(c2.titleCell, QStringLiteral("H60"));
    EXPECT_EQ(c2.page, 2);
    EXPECT_TRUE(c0.notes.isEmpty());
    EXPECT_EQ(l.preparedRows(1), 88);
    EXPECT_EQ(l.preparedRows(5), 206);
}

TEST(PageLayout, NotesSquare4) {
    const PageLayout l = pageLayout(notes(3), true);
    const PictureCells c0 = pictureCells(l, 0);
    EXPECT_EQ(c0.anchor, QStringLiteral("B3"));
    EXPECT_EQ(c0.caption, QStringLiteral("B14"));
    EXPECT_EQ(c0.notes, QStringLiteral("B14:B22"));
    EXPECT_TRUE(c0.headerDue);
    EXPECT_EQ(c0.pageNumberCell, QStringLiteral("D2"));
    EXPECT_EQ(c0.titleCell, QStringLiteral("B2"));
    const PictureCells c1 = pictureCells(l, 1);
    EXPECT_EQ(c1.anchor, QStringLiteral("D3"));
    EXPECT_EQ(c1.notes, QStringLiteral("D14:D22"));
    EXPECT_FALSE(c1.headerDue);
    const PictureCells c2 = pictureCells(l, 2);
    EXPECT_EQ(c2.anchor, QStringLiteral("B25"));
    EXPECT_EQ(c2.page, 1);
    EXPECT_FALSE(c2.headerDue);
    // Five pictures: picture 4 alone on page 2 writes that page's header.
    const PictureCells c4 = pictureCells(l, 4);
    EXPECT_EQ(c4.anchor, QStringLiteral("B47"));
    EXPECT_EQ(c4.page, 2);
    EXPECT_TRUE(c4.headerDue);
    EXPECT_EQ(c4.pageNumberCell, QStringLiteral("D46"));
    EXPECT_FALSE(pictureCells(l, 5).headerDue);
}

TEST(PageLayout, NotesOnePerRow) {
    const PageLayout l = pageLayout(notes(0), true);
    const PictureCells c0 = pictureCells(l, 0);
    EXPECT_EQ(c0.anchor, QStringLiteral("B3"));
    EXPECT_EQ(c0.caption, QStringLiteral("D3"));
    EXPECT_EQ(c0.notes, QStringLiteral("D3:D18"));
    EXPECT_TRUE(c0.headerDue);
    EXPECT_EQ(c0.pageNumberCell, QStringLiteral("D2"));
    EXPECT_EQ(c0.titleCell, QStringLiteral("B2"));
    const PictureCells c1 = pictureCells(l, 1);
    EXPECT_EQ(c1.anchor, QStringLiteral("B26"));
    EXPECT_FALSE(c1.headerDue);
    const PictureCells c2 = pictureCells(l, 2);
    EXPECT_EQ(c2.anchor, QStringLiteral("B47"));
    EXPECT_EQ(c2.pageNumberCell, QStringLiteral("D46"));
    EXPECT_TRUE(c2.headerDue);
    // Four per page: the fifth picture starts page 2 at row 2 + 44.
    const PageLayout four = pageLayout(notes(2), true);
    EXPECT_EQ(pictureCells(four, 3).anchor, QStringLiteral("B35"));
    EXPECT_EQ(pictureCells(four, 3).notes, QStringLiteral("D35:D44"));
    EXPECT_EQ(pictureCells(four, 4).anchor, QStringLiteral("B46"));
    EXPECT_EQ(pictureCells(four, 4).pageNumberCell, QStringLiteral("D45"));
}

TEST(PageLayout, HeaderRows) {
    // Plain square 8 with captions off: header row 2 on page 1 (top 4 - 2).
    const PageLayout eightOff = pageLayout(plain(4), false);
    EXPECT_EQ(pictureCells(eightOff, 0).pageNumberCell, QStringLiteral("AM2"));
    EXPECT_EQ(pictureCells(eightOff, 1).titleCell, QStringLiteral("F2"));
    EXPECT_TRUE(pictureCells(eightOff, 0).headerDue);
    EXPECT_FALSE(pictureCells(eightOff, 1).headerDue); // the first picture wrote it
    EXPECT_EQ(pictureCells(eightOff, 1).anchor, QStringLiteral("Z4"));
    EXPECT_EQ(pictureCells(eightOff, 8).pageNumberCell, QStringLiteral("AM61"));
    // Plain 3: header row 1 on page 1 and 60 on page 2 (top 61 - 1).
    const PageLayout three = pageLayout(plain(1), true);
    EXPECT_EQ(pictureCells(three, 0).pageNumberCell, QStringLiteral("AH1"));
    EXPECT_EQ(pictureCells(three, 3).anchor, QStringLiteral("J61"));
    EXPECT_EQ(pictureCells(three, 3).pageNumberCell, QStringLiteral("AH60"));
    EXPECT_EQ(pictureCells(three, 3).titleCell, QStringLiteral("J60"));
}

// The square layouts 4 and 6 without captions: the header in row 1 of each page, the
// pictures from row 2.
TEST(PageLayout, SquareWithoutCaptionsHeaderRow) {
    const PageLayout four = pageLayout(plain(2), false);
    EXPECT_EQ(pictureCells(four, 0).anchor, QStringLiteral("C2"));
    EXPECT_EQ(pictureCells(four, 1).anchor, QStringLiteral("W2"));
    EXPECT_EQ(pictureCells(four, 0).pageNumberCell, QStringLiteral("AM1"));
    EXPECT_EQ(pictureCells(four, 0).titleCell, QStringLiteral("C1"));
    EXPECT_EQ(pictureCells(four, 2).anchor, QStringLiteral("C31"));
    EXPECT_EQ(pictureCells(four, 4).pageNumberCell, QStringLiteral("AM60"));
    const PageLayout six = pageLayout(plain(3), false);
    EXPECT_EQ(pictureCells(six, 4).anchor, QStringLiteral("C40"));
    EXPECT_EQ(pictureCells(six, 6).anchor, QStringLiteral("C61"));
    EXPECT_EQ(pictureCells(six, 6).titleCell, QStringLiteral("C60"));
}

// Every picture of every layout sits inside its own page, below its header row, and
// pictures never share an anchor.
TEST(PageLayout, EveryPictureInsideItsPage) {
    for (LayoutFamily f : {LayoutFamily::WithNotes, LayoutFamily::WithoutNotes}) {
        for (int index = 0; index < 5; ++index) {
            for (bool captions : {true, false}) {
                const PageLayout l = pageLayout({f, index}, captions);
                QSet<QString> anchors;
                QSet<int> pagesWithHeader;
                for (int i = 0; i < 3 * l.picturesPerPage() + 1; ++i) {
                    const PictureCells c = pictureCells(l, i);
                    const int pageTop = (c.page - 1) * l.pageRows + 1;
                    // Never on a page's first row: readers that round the page's end
                    // would print a strip of the picture on the page before.
                    EXPECT_GT(c.top, pageTop);
                    EXPECT_LT(c.top, pageTop + l.pageRows);
                    // The whole box, not only its top row, stays on the page.
                    const double rowPoints = l.withNotes ? 18.0 : 13.5;
                    EXPECT_LE((c.top - pageTop) * rowPoints + l.boxHeight,
                              l.pageRows * rowPoints + 1e-3)
                        << index << (captions ? " captions" : " no captions") << " picture " << i;
                    if (c.headerDue) {
                        const int header = c.pageNumberCell
                                               .mid(c.pageNumberCell.indexOf(
                                                   QRegularExpression(QStringLiteral("[0-9]"))))
                                               .toInt();
                        EXPECT_GE(header, pageTop);
                        EXPECT_LT(header, c.top);
                        EXPECT_FALSE(pagesWithHeader.contains(c.page));
                        pagesWithHeader.insert(c.page);
                    }
                    EXPECT_TRUE(pagesWithHeader.contains(c.page)) << "page " << c.page;
                    EXPECT_FALSE(anchors.contains(c.anchor)) << c.anchor.toStdString();
                    anchors.insert(c.anchor);
                }
            }
        }
    }
}

TEST(PageLayout, Alignments) {
    struct Row {
        LayoutChoice choice;
        int titleHorizontal;
        bool titleVerticalFirst;
    };
    // Two pictures a row without notes: the title column is the narrow left picture
    // column at the page edge, so a right-aligned title would run off the page.
    const Row rows[] = {{plain(0), xls::xl::HAlignLeft, true},
                        {plain(2), xls::xl::HAlignLeft, false},
                        {plain(4), xls::xl::HAlignLeft, false},
                        {notes(1), xls::xl::HAlignRight, false},
                        {notes(4), xls::xl::HAlignRight, false}};
    for (const Row& r : rows) {
        const PageLayout l = pageLayout(r.choice, true);
        EXPECT_EQ(l.titleAlignment().horizontal, r.titleHorizontal);
        EXPECT_EQ(l.titleAlignment().verticalFirst, r.titleVerticalFirst);
        EXPECT_EQ(l.pageNumberAlignment().horizontal, xls::xl::HAlignRight);
        EXPECT_EQ(l.titleAlignment().vertical, xls::xl::VAlignCenter);
        EXPECT_EQ(l.pageNumberAlignment().vertical, xls::xl::VAlignCenter);
    }
    EXPECT_EQ(PageLayout::captionAlignment().horizontal, xls::xl::HAlignLeft);
    EXPECT_EQ(PageLayout::captionAlignment().vertical, xls::xl::VAlignCenter);
    EXPECT_EQ(pageNumberText(1), QStringLiteral("Page.1"));
    EXPECT_EQ(pageNumberText(12), QStringLiteral("Page.12"));
}

// The printed columns: centred on the pictures as nearly as whole columns allow, the
// widest of those, holding what must print, within the page's width.
TEST(PageLayout, CentredColumns) {
    const auto uniform = [](int column) { return (column - 1) * 13.5; };
    // Five columns 2, 63, 2, 22, 2 characters wide (a notes layout), in points.
    const double notesWidths[] = {15.75, 381.75, 15.75, 135.75, 15.75, 15.75, 15.75};
    const auto notesLeft = [&](int column) {
        double x = 0;
        for (int c = 1; c < column; ++c) {
            x += c <= 7 ? notesWidths[c - 1] : 13.5;
        }
        return x;
    };
    struct Case {
        const char* what;
        std::function<double(int)> left;
        double mustLeft, mustRight, centre, across;
        ColumnSpan expected;
    };
    const Case cases[] = {
        // Box H..+370 pt, page number up to AH: 41 columns; 42 would be further off.
        {"one picture a row", uniform, 94.5, 464.5, 279.5, 585.5, {1, 41}},
        // Boxes F.. and Z..+190 pt: from A the range would sit 7 pt off, from B it is
        // half a point off.
        {"starts after A", uniform, 67.5, 527.5, 297.5, 585.5, {2, 43}},
        {"notes columns", notesLeft, 15.75, 549.0, 282.375, 585.5, {1, 5}},
        // The page number reaches further right than the box: held, not centred on.
        {"page number inside", uniform, 121.5, 459.0, 271.5, 585.5, {1, 40}},
        {"too wide for the page", uniform, 94.5, 464.5, 279.5, 100.0, {8, 35}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(centredColumns(c.mustLeft, c.mustRight, c.centre, c.across, c.left, 256),
                  c.expected)
            << c.what;
    }
}

TEST(PageLayout, PreparedRowsAndPageBreaks) {
    const PageLayout n2 = pageLayout(notes(0), true);
    EXPECT_EQ(n2.preparedRows(1), 66);  // 1.5 pages of 44 rows
    EXPECT_EQ(n2.preparedRows(3), 110); // 2.5 pages of 44 rows
    const PageLayout s6 = pageLayout(plain(3), true);
    EXPECT_EQ(s6.preparedRows(7), 127); // 13/6 pages of 59 rows: 127.83, rounded down
    EXPECT_EQ(s6.preparedRows(6), 118);
    EXPECT_EQ(pageBreakRows(n2, 1), QList<int>{});
    EXPECT_EQ(pageBreakRows(n2, 2), QList<int>{});
    EXPECT_EQ(pageBreakRows(n2, 5), (QList<int>{44, 88}));
    EXPECT_EQ(pageBreakRows(s6, 13), (QList<int>{59, 118}));
    EXPECT_EQ(n2.pageCount(0), 0);
    EXPECT_EQ(n2.pageCount(4), 2);
    EXPECT_EQ(n2.pageCount(5), 3);
}

// One sheet holds 1,026 manual page breaks (so at most 1,027 layout pages) and 4,000
// pictures; the 65,536 rows are never the tighter limit (1,028 x 59 rows < 65,536).
TEST(PageLayout, SheetCapacity) {
    const struct {
        LayoutChoice layout;
        int most;
    } cases[] = {
        {notes(0), 2054}, {notes(1), 3081}, {notes(2), 4000}, {notes(3), 4000}, {notes(4), 4000},
        {plain(0), 2054}, {plain(1), 3081}, {plain(2), 4000}, {plain(3), 4000}, {plain(4), 4000},
    };
    for (const auto& c : cases) {
        const PageLayout l = pageLayout(c.layout, true);
        SCOPED_TRACE(layoutKey(c.layout).toStdString());
        EXPECT_EQ(maxPicturesOnOneSheet(l), c.most);
        EXPECT_TRUE(sheetCapacityProblem(l, 1).isEmpty());
        EXPECT_TRUE(sheetCapacityProblem(l, c.most).isEmpty());
        const QString message = sheetCapacityProblem(l, c.most + 1);
        EXPECT_TRUE(message.contains(QString::number(c.most))) << message.toStdString();
        EXPECT_LE(l.preparedRows(c.most), xls::MaxRows);
        EXPECT_LE(pageBreakRows(l, c.most).size(), xls::MaxPageBreaks);
    }
}

} // namespace
} // namespace tav
