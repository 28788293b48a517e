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
    bool hasHeader;
};

const Expected kTable[] = {
    {plain(0), true, 2, 1, "H", "", 6, 29, 59, 23, "AH", 370, 278, 0, true},
    {plain(0), false, 2, 1, "H", "", 6, 29, 59, 23, "AH", 370, 278, 0, true},
    {plain(1), true, 3, 1, "J", "", 2, 20, 59, 17, "AH", 300, 225, 0, true},
    {plain(1), false, 3, 1, "J", "", 2, 20, 59, 17, "AH", 300, 225, 0, true},
    {plain(2), true, 2, 2, "C", "W", 6, 32, 59, 16, "AM", 233.25f, 215.25f, 0, true},
    {plain(2), false, 2, 2, "C", "W", 1, 30, 59, 0, "AM", 244.5f, 379.5f, 0, false},
    {plain(3), true, 3, 2, "C", "W", 6, 20, 59, 13, "AM", 233.25f, 174.75f, 0, true},
    {plain(3), false, 3, 2, "C", "W", 1, 19, 59, 0, "AM", 244.5f, 252.3f, 0, false},
    {plain(4), true, 4, 2, "F", "Z", 3, 15, 59, 11, "AM", 190, 143, 0, true},
    {plain(4), false, 4, 2, "F", "Z", 4, 14, 59, 0, "AM", 190, 155, 0, true},
    {notes(0), true, 2, 1, "B", "", 3, 23, 44, 0, "D", 370, 297, 16, true},
    {notes(1), true, 3, 1, "B", "", 3, 14, 44, 0, "D", 311, 233, 13, true},
    {notes(2), true, 4, 1, "B", "", 2, 11, 44, 0, "D", 257, 178, 10, true},
    {notes(3), true, 2, 2, "B", "D", 3, 22, 44, 11, "D", 242, 186, 9, true},
    {notes(4), true, 3, 2, "B", "D", 3, 14, 44, 11, "D", 242, 186, 2, true},
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
        EXPECT_EQ(l.hasPageHeader, e.hasHeader);
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
        EXPECT_TRUE(off.hasPageHeader);
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
    EXPECT_FALSE(c0.headerDue); // only the right picture of the first row writes it
    const PictureCells c1 = pictureCells(l, 1);
    EXPECT_EQ(c1.anchor, QStringLiteral("D3"));
    EXPECT_EQ(c1.notes, QStringLiteral("D14:D22"));
    EXPECT_TRUE(c1.headerDue);
    EXPECT_EQ(c1.pageNumberCell, QStringLiteral("D2"));
    EXPECT_EQ(c1.titleCell, QStringLiteral("B2"));
    const PictureCells c2 = pictureCells(l, 2);
    EXPECT_EQ(c2.anchor, QStringLiteral("B25"));
    EXPECT_EQ(c2.page, 1);
    EXPECT_FALSE(c2.headerDue);
    // Five pictures: picture 4 alone on page 2, which gets no header.
    const PictureCells c4 = pictureCells(l, 4);
    EXPECT_EQ(c4.anchor, QStringLiteral("B47"));
    EXPECT_EQ(c4.page, 2);
    EXPECT_FALSE(c4.headerDue);
    EXPECT_TRUE(pictureCells(l, 5).headerDue);
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
    EXPECT_TRUE(pictureCells(eightOff, 1).headerDue); // both pictures of row 1 write it
    EXPECT_EQ(pictureCells(eightOff, 1).anchor, QStringLiteral("Z4"));
    EXPECT_EQ(pictureCells(eightOff, 8).pageNumberCell, QStringLiteral("AM61"));
    // Plain 3: header row 1 on page 1 and 60 on page 2 (top 61 - 1).
    const PageLayout three = pageLayout(plain(1), true);
    EXPECT_EQ(pictureCells(three, 0).pageNumberCell, QStringLiteral("AH1"));
    EXPECT_EQ(pictureCells(three, 3).anchor, QStringLiteral("J61"));
    EXPECT_EQ(pictureCells(three, 3).pageNumberCell, QStringLiteral("AH60"));
    EXPECT_EQ(pictureCells(three, 3).titleCell, QStringLiteral("J60"));
}

// The square layouts 4 and 6 without captions start at row 1: no header anywhere, and
// no cell outside the sheet is addressed.
TEST(PageLayout, SquareWithoutCaptionsWritesNoHeader) {
    for (int index : {2, 3}) {
        const PageLayout l = pageLayout(plain(index), false);
        for (int i = 0; i < 3 * l.picturesPerPage(); ++i) {
            const PictureCells c = pictureCells(l, i);
            EXPECT_FALSE(c.headerDue) << index << " " << i;
            EXPECT_TRUE(c.pageNumberCell.isEmpty());
            EXPECT_GE(c.top, 1);
        }
        EXPECT_EQ(pictureCells(l, 0).anchor, QStringLiteral("C1"));
        EXPECT_EQ(pictureCells(l, 1).anchor, QStringLiteral("W1"));
    }
    EXPECT_EQ(pictureCells(pageLayout(plain(2), false), 2).anchor, QStringLiteral("C31"));
    EXPECT_EQ(pictureCells(pageLayout(plain(3), false), 4).anchor, QStringLiteral("C39"));
    EXPECT_EQ(pictureCells(pageLayout(plain(3), false), 6).anchor, QStringLiteral("C60"));
}

// Every picture of every layout sits inside its own page, below its header row, and
// pictures never share an anchor.
TEST(PageLayout, EveryPictureInsideItsPage) {
    for (LayoutFamily f : {LayoutFamily::WithNotes, LayoutFamily::WithoutNotes}) {
        for (int index = 0; index < 5; ++index) {
            for (bool captions : {true, false}) {
                const PageLayout l = pageLayout({f, index}, captions);
                QSet<QString> anchors;
                for (int i = 0; i < 3 * l.picturesPerPage(); ++i) {
                    const PictureCells c = pictureCells(l, i);
                    const int pageTop = (c.page - 1) * l.pageRows + 1;
                    EXPECT_GE(c.top, pageTop);
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
                    }
                    EXPECT_FALSE(anchors.contains(c.anchor)) << c.anchor.toStdString();
                    anchors.insert(c.anchor);
                }
            }
        }
    }
}

TEST(PageLayout, Alignments) {
    const PageLayout plainOne = pageLayout(plain(0), true);
    EXPECT_EQ(plainOne.titleAlignment().horizontal, align::Left);
    EXPECT_EQ(plainOne.titleAlignment().vertical, align::Top);
    EXPECT_TRUE(plainOne.titleAlignment().verticalFirst);
    EXPECT_EQ(plainOne.pageNumberAlignment().horizontal, align::Right);
    EXPECT_EQ(plainOne.pageNumberAlignment().vertical, align::Top);
    const PageLayout plainTwo = pageLayout(plain(2), true);
    // Left-aligned: the title column is the narrow left picture column at the page
    // edge, so a right-aligned title would run off the page.
    EXPECT_EQ(plainTwo.titleAlignment().horizontal, align::Left);
    EXPECT_EQ(plainTwo.titleAlignment().vertical, align::Top);
    EXPECT_FALSE(plainTwo.titleAlignment().verticalFirst);
    EXPECT_EQ(plainTwo.pageNumberAlignment().horizontal, align::Right);
    const PageLayout notesOne = pageLayout(notes(1), true);
    EXPECT_EQ(notesOne.pageNumberAlignment().vertical, align::Bottom);
    EXPECT_EQ(notesOne.titleAlignment().vertical, align::Bottom);
    EXPECT_EQ(notesOne.titleAlignment().horizontal, align::Right);
    const PageLayout notesTwo = pageLayout(notes(4), true);
    EXPECT_EQ(notesTwo.pageNumberAlignment().vertical, align::Top);
    EXPECT_EQ(PageLayout::captionAlignment().horizontal, align::Left);
    EXPECT_EQ(PageLayout::captionAlignment().vertical, align::Bottom);
    EXPECT_EQ(pageNumberText(1), QStringLiteral("Page.1"));
    EXPECT_EQ(pageNumberText(12), QStringLiteral("Page.12"));
}

TEST(PageLayout, PreparedRowsAndPageBreaks) {
    const PageLayout n2 = pageLayout(notes(0), true);
    EXPECT_EQ(n2.preparedRows(1), 66);  // Int(1.5 x 44)
    EXPECT_EQ(n2.preparedRows(3), 110); // Int(2.5 x 44)
    const PageLayout s6 = pageLayout(plain(3), true);
    EXPECT_EQ(s6.preparedRows(7), 127); // Int((7/6 + 1) x 59) = Int(127.83)
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
