// A1-style address texts of the automation interface: "H6", "D3:D18", "A:AZ",
// "1:88", "$A$1", and unions of them separated by ",".
#pragma once

#include <QString>

#include <vector>

namespace tav::xls {

// A rectangle of cells, 0-based and inclusive: rows 0..65535, columns 0..255.
struct Area {
    int r1 = 0;
    int c1 = 0;
    int r2 = 0;
    int c2 = 0;
    bool wholeColumns = false; // written as "A:AZ"
    bool wholeRows = false;    // written as "1:88"

    int rows() const { return r2 - r1 + 1; }
    int columns() const { return c2 - c1 + 1; }
    bool contains(int row, int col) const {
        return row >= r1 && row <= r2 && col >= c1 && col <= c2;
    }
    bool intersects(const Area& o) const {
        return r1 <= o.r2 && o.r1 <= r2 && c1 <= o.c2 && o.c1 <= c2;
    }
    friend bool operator==(const Area&, const Area&) = default;
};

enum class AddressKind {
    Any,     // Range(): cells, whole columns or whole rows
    Columns, // Columns(): "A:AZ", "B:B", "B"
    Rows,    // Rows(): "1:88", "5"
};

// Parses an address text into its areas, in the order written. Throws tav::Error
// 1004 for an empty or malformed text, a row outside 1..65536 or a column outside
// A..IV, naming the text.
std::vector<Area> parseAddress(const QString& text, AddressKind kind = AddressKind::Any);

// "A".."IV" for a 0-based column.
QString columnName(int col);
// "$H$6", "$D$3:$D$18", "$A:$AZ", "$1:$88".
QString formatArea(const Area& area);

} // namespace tav::xls
