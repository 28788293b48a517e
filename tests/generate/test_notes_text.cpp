// The wrapping of notes at the width of the notes column, in the workbook's cell font.
#include "generate/notes_text.h"

#include <QFontInfo>
#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace tav {
namespace {

// Widths in points, measured as the wrapping measures them.
double widthOf(const QString& text) {
    QFont font = workbookCellFont();
    font.setPixelSize(1100);
    font.setKerning(false);
    return QFontMetricsF(font).horizontalAdvance(text) / 100.0;
}

TEST(NotesText, TheCellFontIsInstalled) {
    // Another font would wrap at other places than the workbook's readers draw.
    EXPECT_EQ(QFontInfo(workbookCellFont()).family(), QStringLiteral("IPAPGothic"));
}

TEST(NotesText, WrapsAtTheColumnAndCutsWithAnEllipsis) {
    const QString japanese =
        QStringLiteral("北側外壁の塗装にひび割れがあり、幅は約0.3mmで長さは1.2mに及ぶ。");
    const QString latin = QStringLiteral("Crack in the north wall coating, about 0.3 mm wide");
    struct Case {
        const char* what;
        QString note;
        double width;
        int maxLines;
        QStringList expected; // empty: checked by the rules below only
        bool cut = false;
    };
    const Case cases[] = {
        {"fits one line", QStringLiteral("短いメモ"), 120, 3, {QStringLiteral("短いメモ")}},
        {"own line breaks, CR LF and a blank line",
         QStringLiteral("一行目\r\n\n三行目\n\n"),
         120,
         5,
         {QStringLiteral("一行目"), QString(), QStringLiteral("三行目")}},
        {"Latin between words",
         QStringLiteral("alpha beta gamma"),
         widthOf(QStringLiteral("alpha beta")) + 1,
         3,
         {QStringLiteral("alpha beta"), QStringLiteral("gamma")}},
        {"Japanese anywhere", japanese, 100, 10, {}},
        {"Latin, long", latin, 90, 10, {}},
        {"too long: ellipsis on the last line", japanese, 100, 2, {}, true},
        {"lines cut after a blank line",
         QStringLiteral("a\n\n\n\nb"),
         100,
         2,
         {QStringLiteral("a"), QStringLiteral("…")},
         true},
        {"tabs are blanks", QStringLiteral("a\tb"), 100, 1, {QStringLiteral("a b")}},
        {"empty note", QString(), 100, 3, {}},
        {"no room", QStringLiteral("x"), 100, 0, {}},
    };
    for (const Case& c : cases) {
        const QStringList lines = wrapNote(c.note, c.width, c.maxLines, workbookCellFont());
        if (!c.expected.isEmpty() || c.note.isEmpty() || c.maxLines == 0) {
            EXPECT_EQ(lines, c.expected) << c.what;
        }
        EXPECT_LE(lines.size(), c.maxLines) << c.what;
        for (const QString& line : lines)
            EXPECT_LE(widthOf(line), c.width) << c.what << ": " << line.toStdString();
        EXPECT_EQ(!lines.isEmpty() && lines.back().endsWith(QStringLiteral("…")), c.cut) << c.what;
        if (c.cut) {
            EXPECT_EQ(lines.size(), c.maxLines) << c.what;
        } else if (c.expected.isEmpty() && !c.note.isEmpty() && c.maxLines > 0) {
            // Nothing is lost: the lines put together give the note (Latin lines lose the
            // blank they were broken at), and each line is full but for the last.
            EXPECT_GT(lines.size(), 1) << c.what;
            EXPECT_EQ(lines.join(c.note == latin ? QStringLiteral(" ") : QString()), c.note)
                << c.what;
            for (qsizetype k = 0; k + 1 < lines.size(); ++k) {
                // What cannot be broken: a run of Latin letters, digits and marks, else
                // one character.
                const QString& after = lines[k + 1];
                qsizetype unit = 0;
                while (unit < after.size() && after[unit].unicode() < 0x80 &&
                       !after[unit].isSpace())
                    ++unit;
                const QString next = after.left(std::max<qsizetype>(unit, 1));
                const QString blank = c.note == latin ? QStringLiteral(" ") : QString();
                EXPECT_GT(widthOf(lines[k] + blank + next), c.width)
                    << c.what << ": line " << k << " could take more";
            }
        }
    }
}

} // namespace
} // namespace tav
