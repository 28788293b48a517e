// Writes the template workbook ExcelBook.org: BIFF8, one worksheet "Sheet1", default
// font Arial 11 pt (8-pixel digit, the unit of the layouts' column widths), cells in
// IPA P Gothic 11 pt, empty page header and footer, A4
// portrait at a fixed 90 % print scale with margins under which one layout page
// (59 rows × 13.5 pt or 44 rows × 18 pt, at most ~565 pt wide) prints as one page.
//
// Why Arial: column widths are stored in digits of FONT 0, and every reader turns them
// into points with its own width of that font's "0". Excel draws Arial 11 pt with an
// 8-pixel digit, as it does the Japanese ＭＳ Ｐゴシック 11 pt the layouts were designed
// with. On Linux ＭＳ Ｐゴシック is not installed: LibreOffice 7.4 measured it with the
// substitute DejaVu Sans (or IPAPGothic through an alias) and made every column ~15 %
// wider, so photos printed stretched sideways. Arial resolves to a metric-compatible
// font there (Liberation Sans, or Nimbus Sans of the URW fonts), and the same 370-pt
// picture measures 375 to 376 pt (+1.4 to +1.7 %).
//
// Why a second font for the cells: the texts the run writes (page numbers, titles,
// captions) sit in 13.5-pt rows, made for ＭＳ Ｐゴシック 11 pt, whose line is 13.5 pt
// in Excel. In Arial, a Japanese text is drawn with the reader's fallback font: on
// Debian, LibreOffice takes Noto Sans CJK, whose line is 1.45 em (16 pt at 11 pt), and
// clips it at the row's bottom. The default cell format (XF 15) therefore uses IPA P
// Gothic 11 pt (fonts-ipafont-gothic), drawn with the metrics of ＭＳ Ｐゴシック (a 1 em
// line); fontconfig on Debian does not map ＭＳ Ｐゴシック to it, so the font is named as
// it is installed. Excel without it substitutes a Japanese font of the same character
// set. Font 0, which sets the column widths, stays Arial.
//
// 90 %: the widest layout, ~575 pt in LibreOffice's geometry, needs 518 pt of the
// 538 pt between 0.4-inch margins; 59 × 13.5 × 0.9 = 717 pt fits the 756 pt between
// 0.6-inch margins. Fit-to-page is not used: it would ignore the manual page breaks.
//
// Usage: xls-make-template OUTPUT
//
// The file is a recipe: every record is written here explicitly, so the template can
// be rebuilt byte for byte (a test compares the committed file with this output).
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/xls/biff.h"
#include "platform/xls/column_width.h"
#include "platform/xls/ole.h"
#include "platform/xls/opcodes.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>

using namespace tav::xls;

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) {
        out.append(static_cast<char>(v));
    }
    return out;
}

QByteArray u16s(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) {
        put16(out, static_cast<std::uint16_t>(v));
    }
    return out;
}

// ShortXLUnicodeString / XLUnicodeString in 16-bit characters.
QByteArray unicode(const QString& text, bool shortCount) {
    QByteArray out;
    if (shortCount) {
        put8(out, static_cast<std::uint8_t>(text.size()));
    } else {
        put16(out, static_cast<std::uint16_t>(text.size()));
    }
    put8(out, 0x01);
    for (QChar c : text) {
        put16(out, c.unicode());
    }
    return out;
}

// An 11-pt FONT record: family 2 swiss, 3 modern; character set 0 ANSI, 128 Shift-JIS.
QByteArray font(const QString& name, int family, int characterSet) {
    QByteArray d;
    put16(d, CellFontPoints * 20); // 11 pt in twips, the size of every font here
    put16(d, 0);                   // no italic, strike-out, outline
    put16(d, 0x7FFF);              // automatic colour
    put16(d, 400);                 // normal weight
    put16(d, 0);                   // no escapement
    put8(d, 0);                    // no underline
    put8(d, static_cast<std::uint8_t>(family));
    put8(d, static_cast<std::uint8_t>(characterSet));
    put8(d, 0);
    d.append(unicode(name, true));
    return d;
}

// The font of the cells the run writes; FONT records are numbered 0..3, 5, ...
constexpr int CellFont = 5;

// XF records: 0 the Normal style, 1..14 built-in outline styles (font 1/2 for the
// first levels as the desktop program writes them), 15 the default cell format.
QByteArray styleXf(int fontIndex) {
    QByteArray d;
    put16(d, static_cast<std::uint16_t>(fontIndex));
    put16(d, 0);      // General
    put16(d, 0xFFF5); // locked, style, parent 0xFFF
    put8(d, 0x20);    // general, bottom
    put8(d, 0);
    put8(d, 0);
    put8(d, fontIndex == 0 ? 0x00 : 0xF4);
    put32(d, 0);
    put32(d, 0);
    put16(d, 0x20C0); // pattern colours 64 / 65
    return d;
}

QByteArray cellXf() {
    QByteArray d;
    put16(d, CellFont);
    put16(d, 0);
    put16(d, 0x0001); // locked, cell XF, parent 0 (Normal)
    put8(d, 0x20);
    put8(d, 0);
    put8(d, 0);
    put8(d, 0x08); // its font differs from the Normal style's
    put32(d, 0);
    put32(d, 0);
    put16(d, 0x20C0);
    return d;
}

QByteArray margin(double inches) {
    QByteArray d;
    putF64(d, inches);
    return d;
}

// The workbook globals: fonts, formats, the one sheet's entry. Returns where the sheet
// entry's stream position is to be patched.
std::uint32_t writeGlobals(BiffWriter& w) {
    w.write(op::BOF, u16s({0x0600, 0x0005, 0x0DBB, 0x07CC, 0x80C9, 0x0000, 0x0206, 0x0000}));
    w.write(0x00E1, u16s({0x04B0})); // INTERFACEHDR
    w.write(0x00C1, u16s({0x0000})); // MMS
    w.write(0x00E2, {});             // INTERFACEEND
    {
        QByteArray access = unicode(QStringLiteral("Tavolin"), false);
        access.append(QByteArray(112 - access.size(), ' '));
        w.write(0x005C, access); // WRITEACCESS
    }
    w.write(op::CODEPAGE, u16s({1200}));
    w.write(0x0161, u16s({0}));      // DSF
    w.write(0x013D, u16s({1}));      // TABID
    w.write(0x009C, u16s({0x000E})); // FNGROUPCOUNT
    w.write(0x0019, u16s({0}));      // WINDOWPROTECT
    w.write(op::PROTECT, u16s({0}));
    w.write(0x0013, u16s({0})); // PASSWORD
    w.write(0x01AF, u16s({0})); // PROT4REV
    w.write(0x01BC, u16s({0})); // PROT4REVPASS
    w.write(op::WINDOW1,
            u16s({0x0000, 0x0000, 0x4000, 0x2800, 0x0038, 0x0000, 0x0000, 0x0001, 0x0258}));
    w.write(0x0040, u16s({0})); // BACKUP
    w.write(0x008D, u16s({0})); // HIDEOBJ
    w.write(op::DATEMODE, u16s({0}));
    w.write(op::PRECISION, u16s({1}));
    w.write(0x01B7, u16s({0})); // REFRESHALL
    w.write(0x00DA, u16s({0})); // BOOKBOOL
    for (int i = 0; i < 4; ++i) {
        w.write(op::FONT, font(QStringLiteral("Arial"), 2, 0));
    }
    w.write(op::FONT, font(QString::fromLatin1(CellFontFamily), 3, 128));
    w.write(op::XF, styleXf(0));
    for (int i = 1; i <= 14; ++i) {
        w.write(op::XF, styleXf(i <= 2 ? 1 : i <= 4 ? 2 : 0));
    }
    w.write(op::XF, cellXf());
    w.write(op::STYLE, u16s({0x8000, 0xFF00})); // Normal: built-in style 0, level 0xFF
    w.write(op::USESELFS, u16s({1}));
    const std::uint32_t boundsheetAt = w.pos();
    {
        QByteArray d;
        put32(d, 0); // position of the sheet, patched below
        put8(d, 0);  // visible
        put8(d, 0);  // worksheet
        d.append(bytes({6, 0}));
        d.append("Sheet1");
        w.write(op::BOUNDSHEET, d);
    }
    w.write(op::COUNTRY, u16s({81, 81}));
    w.write(op::SST, QByteArray(8, '\0'));
    w.write(op::EXTSST, u16s({8}));
    w.write(op::EOF_, {});
    return boundsheetAt + 4;
}

// Sheet1: empty, with the page setup every layout starts from.
void writeSheet(BiffWriter& w) {
    w.write(op::BOF, u16s({0x0600, 0x0010, 0x0DBB, 0x07CC, 0x80C9, 0x0000, 0x0206, 0x0000}));
    w.write(op::CALCMODE, u16s({1}));
    w.write(op::CALCCOUNT, u16s({100}));
    w.write(op::REFMODE, u16s({1}));
    w.write(op::ITERATION, u16s({0}));
    w.write(op::DELTA, margin(0.001));
    w.write(op::SAVERECALC, u16s({1}));
    w.write(op::PRINTHEADERS, u16s({0}));
    w.write(op::PRINTGRIDLINES, u16s({0}));
    w.write(op::GRIDSET, u16s({1}));
    w.write(op::GUTS, u16s({0, 0, 0, 0}));
    w.write(op::DEFAULTROWHEIGHT, u16s({0x0000, 270})); // 13.5 pt
    w.write(op::WSBOOL, u16s({0x04C1}));                // no fit-to-page
    // An empty text, not an empty record: a reader that finds no text (Gnumeric) prints
    // its own "Sheet1" and "Page N" above and below the layout's pages.
    w.write(op::HEADER, unicode(QString(), false));
    w.write(op::FOOTER, unicode(QString(), false));
    w.write(op::HCENTER, u16s({1}));
    w.write(op::VCENTER, u16s({0}));
    w.write(op::LEFTMARGIN, margin(0.4));
    w.write(op::RIGHTMARGIN, margin(0.4));
    w.write(op::TOPMARGIN, margin(0.6));
    w.write(op::BOTTOMMARGIN, margin(0.6));
    {
        QByteArray d = u16s({9,      // A4
                             90,     // fixed scale 90 %
                             1,      // first page number
                             1, 1,   // fit to 1 × 1 (not used: WSBOOL has no fit-to-page)
                             0x0002, // portrait, printer settings valid, down then over
                             600, 600});
        putF64(d, 0.3); // header margin
        putF64(d, 0.3); // footer margin
        put16(d, 1);    // copies
        w.write(op::SETUP, d);
    }
    w.write(op::DEFCOLWIDTH, u16s({8}));
    w.write(op::DIMENSIONS, QByteArray(14, '\0'));
    w.write(op::WINDOW2, u16s({0x06B6, 0, 0, 64, 0, 0, 0, 0, 0}));
    w.write(op::SELECTION, bytes({3, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    w.write(op::EOF_, {});
}

QByteArray workbookStream() {
    BiffWriter w;
    const std::uint32_t sheetPositionAt = writeGlobals(w);
    w.patch32(sheetPositionAt, w.pos());
    writeSheet(w);
    return w.take();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: xls-make-template OUTPUT\n");
        return 2;
    }
    try {
        OleFile file;
        file.streams.push_back(OleStream{QStringLiteral("Workbook"), workbookStream()});
        tav::writeFileAtomically(tav::localFileWriter(), QString::fromLocal8Bit(argv[1]),
                                 buildOleFile(file));
    } catch (const tav::Error& e) {
        std::fprintf(stderr, "xls-make-template: %s\n", e.what());
        return 1;
    }
    return 0;
}
