// Address texts: what the run builds ("H6", "D3:D18", "1:88", unions) and what must be
// refused with 1004.
#include "platform/error.h"
#include "platform/xls/address.h"
#include "platform/xls/engine.h"

#include <gtest/gtest.h>

namespace tav::xls {
namespace {

struct Valid {
    const char* text;
    AddressKind kind;
    std::vector<Area> areas; // r1, c1, r2, c2 (0-based)
    const char* formatted;
};

Area cols(int c1, int c2) {
    Area a{0, c1, MaxRows - 1, c2};
    a.wholeColumns = true;
    return a;
}
Area rows(int r1, int r2) {
    Area a{r1, 0, r2, MaxColumns - 1};
    a.wholeRows = true;
    return a;
}

class AddressValid : public ::testing::TestWithParam<Valid> {};

TEST_P(AddressValid, ParsesAndFormats) {
    const Valid& v = GetParam();
    const std::vector<Area> areas = parseAddress(QString::fromUtf8(v.text), v.kind);
    EXPECT_EQ(areas, v.areas) << v.text;
    QStringList parts;
    for (const Area& a : areas) {
        parts << formatArea(a);
    }
    EXPECT_EQ(parts.join(u','), QString::fromUtf8(v.formatted));
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressValid,
    ::testing::Values(
        Valid{"H6", AddressKind::Any, {Area{5, 7, 5, 7}}, "$H$6"},
        Valid{"D3:D18", AddressKind::Any, {Area{2, 3, 17, 3}}, "$D$3:$D$18"},
        Valid{"D18:D3", AddressKind::Any, {Area{2, 3, 17, 3}}, "$D$3:$D$18"},
        Valid{"$a$1", AddressKind::Any, {Area{0, 0, 0, 0}}, "$A$1"},
        Valid{"A:AZ", AddressKind::Any, {cols(0, 51)}, "$A:$AZ"},
        Valid{"B:B", AddressKind::Columns, {cols(1, 1)}, "$B:$B"},
        Valid{"B", AddressKind::Columns, {cols(1, 1)}, "$B:$B"},
        Valid{"1:88", AddressKind::Rows, {rows(0, 87)}, "$1:$88"},
        Valid{"5", AddressKind::Rows, {rows(4, 4)}, "$5:$5"},
        Valid{"IV65536", AddressKind::Any, {Area{65535, 255, 65535, 255}}, "$IV$65536"},
        Valid{"A:A,C:C,E:E,F:F,H:H,J:J",
              AddressKind::Any,
              {cols(0, 0), cols(2, 2), cols(4, 4), cols(5, 5), cols(7, 7), cols(9, 9)},
              "$A:$A,$C:$C,$E:$E,$F:$F,$H:$H,$J:$J"},
        Valid{"AH1,H1", AddressKind::Any, {Area{0, 33, 0, 33}, Area{0, 7, 0, 7}}, "$AH$1,$H$1"}));

struct Invalid {
    const char* text;
    AddressKind kind;
};

class AddressInvalid : public ::testing::TestWithParam<Invalid> {};

TEST_P(AddressInvalid, RefusedWith1004) {
    try {
        parseAddress(QString::fromUtf8(GetParam().text), GetParam().kind);
        FAIL() << "accepted: " << GetParam().text;
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), err::EngineRefused);
        EXPECT_TRUE(e.description().contains(QString::fromUtf8(GetParam().text))) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AddressInvalid,
    ::testing::Values(Invalid{"", AddressKind::Any}, Invalid{"IW1", AddressKind::Any}, // column 257
                      Invalid{"A0", AddressKind::Any},                                 // row 0
                      Invalid{"A65537", AddressKind::Any},                             // row 65537
                      Invalid{"H-4", AddressKind::Any}, // negative row
                      Invalid{"A", AddressKind::Any},   // lone column
                      Invalid{"5", AddressKind::Any},   // lone row
                      Invalid{"A1:", AddressKind::Any}, Invalid{":A1", AddressKind::Any},
                      Invalid{"A1:B", AddressKind::Any}, // cell to column
                      Invalid{"1:A", AddressKind::Any}, Invalid{"A1 B2", AddressKind::Any},
                      Invalid{"A1,,B2", AddressKind::Any}, Invalid{"AAAA1", AddressKind::Any},
                      Invalid{"A1:B2:C3", AddressKind::Any},
                      Invalid{"Ａ1", AddressKind::Any}, // full-width
                      Invalid{"H6", AddressKind::Columns}, Invalid{"1:88", AddressKind::Columns},
                      Invalid{"A:B", AddressKind::Rows}));

TEST(ColumnName, LettersAtTheEdges) {
    EXPECT_EQ(columnName(0), QStringLiteral("A"));
    EXPECT_EQ(columnName(25), QStringLiteral("Z"));
    EXPECT_EQ(columnName(26), QStringLiteral("AA"));
    EXPECT_EQ(columnName(51), QStringLiteral("AZ"));
    EXPECT_EQ(columnName(255), QStringLiteral("IV"));
}

TEST(ColumnGeometry, LayoutWidthsInPixelsOfAnEightPixelDigit) {
    // trunc(w × 8 + 5) for w ≥ 1: the layouts' widths.
    EXPECT_EQ(columnWidthToPixels(1.63), 18); // 13.5 pt: square cells with 13.5-pt rows
    EXPECT_EQ(columnWidthToPixels(2), 21);
    EXPECT_EQ(columnWidthToPixels(22), 181);
    EXPECT_EQ(columnWidthToPixels(63), 509);
    EXPECT_EQ(columnWidthToPixels(0.5), 7); // below one character: linear up to 13 px
    EXPECT_EQ(columnWidthToPixels(0), 0);
    EXPECT_DOUBLE_EQ(columnWidthToPoints(1.63), 13.5);
    // An Arial-10 workbook (7-pixel digit) for comparison.
    EXPECT_EQ(columnWidthToPixels(1.63, 7), 16);
}

} // namespace
} // namespace tav::xls
