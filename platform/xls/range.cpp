#include "platform/xls/range.h"

#include "platform/xls/address.h"
#include "platform/xls/automation_constants.h"
#include "platform/xls/border.h"
#include "platform/xls/column_width.h"
#include "platform/xls/object_model.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace tav::xls {

Range::Range(SheetModel* sheet, std::shared_ptr<const Areas> areas)
    : sheet_(sheet), areas_(std::move(areas)) {}

void Range::select() {
    activateSheet(sheet_);
    SelectionState& sel = sheet_->selection;
    sel.shape = false;
    sel.shapeId = 0;
    sel.areas = areas_->list;
    sel.activeRow = areas_->list.front().r1;
    sel.activeCol = areas_->list.front().c1;
}

QString Range::address() const {
    QStringList parts;
    for (const Area& a : areas_->list) {
        parts << formatArea(a);
    }
    return parts.join(u',');
}

int Range::row() const {
    return areas_->list.front().r1 + 1;
}
int Range::column() const {
    return areas_->list.front().c1 + 1;
}
int Range::rowCount() const {
    return areas_->list.front().rows();
}
int Range::columnCount() const {
    return areas_->list.front().columns();
}

void Range::setColumnWidth(double characters) {
    if (!std::isfinite(characters) || characters < 0 || characters > 255) {
        refuse(QStringLiteral("column width %1 outside 0..255").arg(characters));
    }
    const int digitWidth = sheet_->digitWidth();
    for (const Area& a : areas_->list) {
        for (int c = a.c1; c <= a.c2; ++c) {
            ColumnInfo& info = sheet_->columns[static_cast<std::size_t>(c)];
            if (!info.present) {
                info.present = true;
                info.xf = 15;
                info.flags = 0;
            }
            info.coldx = coldxFor(characters, digitWidth);
            info.flags = static_cast<std::uint16_t>((info.flags & ~0x0001) | 0x0002 |
                                                    (characters == 0 ? 0x0001 : 0));
        }
    }
}

double Range::columnWidth() const {
    return sheet_->columnCharacters(areas_->list.front().c1);
}

double Range::width() const {
    const Area& a = areas_->list.front();
    double points = 0;
    for (int c = a.c1; c <= a.c2; ++c) {
        points += sheet_->columnPoints(c);
    }
    return points;
}

void Range::setRowHeight(double points) {
    if (!std::isfinite(points) || points < 0 || points > 409) {
        refuse(QStringLiteral("row height %1 outside 0..409 points").arg(points));
    }
    const auto twips = static_cast<std::uint16_t>(std::lround(points * 20));
    for (const Area& a : areas_->list) {
        for (int r = a.r1; r <= a.r2; ++r) {
            RowInfo& info = sheet_->rows[r];
            info.height = twips;
            info.flags = static_cast<std::uint16_t>((info.flags & ~0x0020) | 0x0100 | 0x0040 |
                                                    (twips == 0 ? 0x0020 : 0));
        }
    }
}

double Range::rowHeight() const {
    return sheet_->rowPoints(areas_->list.front().r1);
}

namespace {
bool isPlainNumber(const QString& text, double* value) {
    static const QRegularExpression pattern(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!pattern.match(text).hasMatch()) {
        return false;
    }
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value);
}
} // namespace

void Range::setFormulaR1C1(const QString& text) {
    checkCellCount(areas_->list, "writing");
    if (text.size() > 32767 + 1) {
        refuse(QStringLiteral("text of %1 characters is longer than a cell holds (32767)")
                   .arg(text.size()));
    }
    Cell value;
    if (text.isEmpty()) {
        value.kind = Cell::Kind::Blank;
    } else if (text.startsWith(u'\'')) {
        value.kind = Cell::Kind::Text;
        value.apostrophe = true;
        value.text = text.mid(1);
    } else if (double number = 0; isPlainNumber(text, &number)) {
        value.kind = Cell::Kind::Number;
        value.number = number;
    } else {
        if (text.size() > 32767) {
            refuse(QStringLiteral("text longer than a cell holds (32767)"));
        }
        value.kind = Cell::Kind::Text;
        value.text = text;
    }
    for (const Area& a : areas_->list) {
        for (int r = a.r1; r <= a.r2; ++r) {
            for (int c = a.c1; c <= a.c2; ++c) {
                Cell& cell = cellAt(*sheet_, r, c);
                cell.kind = value.kind;
                cell.apostrophe = value.apostrophe;
                cell.text = value.text;
                cell.number = value.number;
                cell.raw.clear();
            }
        }
    }
}

QString Range::text() const {
    const Area& a = areas_->list.front();
    const Cell* cell = sheet_->findCell(a.r1, a.c1);
    if (!cell) {
        return {};
    }
    switch (cell->kind) {
    case Cell::Kind::Text:
        return cell->text;
    case Cell::Kind::Number:
        return QString::number(cell->number, 'g', 15);
    default:
        return {};
    }
}

QString Range::formulaR1C1() const {
    const Area& a = areas_->list.front();
    const Cell* cell = sheet_->findCell(a.r1, a.c1);
    if (cell && cell->kind == Cell::Kind::Text && cell->apostrophe) {
        return QLatin1Char('\'') + cell->text;
    }
    return text();
}

namespace {

// The alignments of the automation interface by their code in the XF record.
constexpr int HorizontalAlignments[] = {xl::HAlignGeneral,
                                        xl::HAlignLeft,
                                        xl::HAlignCenter,
                                        xl::HAlignRight,
                                        xl::HAlignFill,
                                        xl::HAlignJustify,
                                        xl::HAlignCenterAcrossSelection,
                                        xl::HAlignDistributed};
constexpr int VerticalAlignments[] = {xl::VAlignTop, xl::VAlignCenter, xl::VAlignBottom,
                                      xl::VAlignJustify, xl::VAlignDistributed};
constexpr int DistributedCode = 7;

// The XF code of an alignment value: its index in `table`, -1 when it is not there.
template <std::size_t N> int alignmentCode(const int (&table)[N], int value) {
    const auto it = std::find(std::begin(table), std::end(table), value);
    return it == std::end(table) ? -1 : static_cast<int>(it - std::begin(table));
}

// The XF rotation byte for an orientation: 0..90 degrees up, 91..180 for 1..90 degrees
// down, 255 for stacked letters.
int rotationOf(int orientation) {
    switch (orientation) {
    case xl::OrientationHorizontal:
        return 0;
    case xl::OrientationVertical:
        return 255;
    case xl::OrientationUpward:
        return 90;
    case xl::OrientationDownward:
        return 180;
    default:
        break;
    }
    if (orientation >= 0 && orientation <= 90) {
        return orientation;
    }
    if (orientation < 0 && orientation >= -90) {
        return 90 - orientation;
    }
    refuse(QStringLiteral("orientation %1 refused").arg(orientation));
}

// XF byte 9: the cell's alignment is its own, not its style's (fAtrAlc).
constexpr std::uint8_t XfOwnAlignment = 0x10;

// editXfAll on the alignment part of the cells' formats.
template <typename Fn>
void editAlignment(SheetModel& sheet, const std::vector<Area>& areas, Fn change) {
    editXfAll(sheet, areas, [&change](XfBytes& x) {
        change(x);
        x[9] |= XfOwnAlignment;
    });
}

const XfBytes& firstCellXf(const SheetModel& sheet, const Range::Areas& areas) {
    const Area& a = areas.list.front();
    return xfOf(sheet, a.r1, a.c1);
}

} // namespace

void Range::setHorizontalAlignment(int value) {
    const int code = alignmentCode(HorizontalAlignments, value);
    if (code < 0) {
        refuse(QStringLiteral("horizontal alignment %1 refused").arg(value));
    }
    editAlignment(*sheet_, areas_->list, [code](XfBytes& x) {
        x[6] = static_cast<std::uint8_t>((x[6] & ~0x07) | code);
        if (code != DistributedCode) {
            x[6] &= static_cast<std::uint8_t>(~0x80); // fJustLast only with distributed
        }
    });
}

int Range::horizontalAlignment() const {
    return HorizontalAlignments[firstCellXf(*sheet_, *areas_)[6] & 0x07];
}

void Range::setVerticalAlignment(int value) {
    const int code = alignmentCode(VerticalAlignments, value);
    if (code < 0) {
        refuse(QStringLiteral("vertical alignment %1 refused").arg(value));
    }
    editAlignment(*sheet_, areas_->list, [code](XfBytes& x) {
        x[6] = static_cast<std::uint8_t>((x[6] & ~0x70) | (code << 4));
    });
}

int Range::verticalAlignment() const {
    const int code = (firstCellXf(*sheet_, *areas_)[6] >> 4) & 0x07;
    return code < static_cast<int>(std::size(VerticalAlignments)) ? VerticalAlignments[code]
                                                                  : xl::VAlignBottom;
}

void Range::setWrapText(bool on) {
    editAlignment(*sheet_, areas_->list, [on](XfBytes& x) {
        x[6] = static_cast<std::uint8_t>((x[6] & ~0x08) | (on ? 0x08 : 0));
    });
}

bool Range::wrapText() const {
    return firstCellXf(*sheet_, *areas_)[6] & 0x08;
}

void Range::setOrientation(int degrees) {
    const int rotation = rotationOf(degrees);
    editAlignment(*sheet_, areas_->list,
                  [rotation](XfBytes& x) { x[7] = static_cast<std::uint8_t>(rotation); });
}

int Range::orientation() const {
    const int rotation = firstCellXf(*sheet_, *areas_)[7];
    if (rotation == 255) {
        return xl::OrientationVertical;
    }
    return rotation <= 90 ? rotation : 90 - rotation;
}

void Range::setAddIndent(bool on) {
    editAlignment(*sheet_, areas_->list, [on](XfBytes& x) {
        // Only distributed alignment carries the flag; elsewhere it has no effect.
        const bool distributed = (x[6] & 0x07) == DistributedCode;
        x[6] = static_cast<std::uint8_t>((x[6] & ~0x80) | (on && distributed ? 0x80 : 0));
    });
}

void Range::setShrinkToFit(bool on) {
    editAlignment(*sheet_, areas_->list, [on](XfBytes& x) {
        x[8] = static_cast<std::uint8_t>((x[8] & ~0x10) | (on ? 0x10 : 0));
    });
}

bool Range::shrinkToFit() const {
    return firstCellXf(*sheet_, *areas_)[8] & 0x10;
}

void Range::setMergeCells(bool on) {
    auto& merged = sheet_->merged;
    for (const Area& a : areas_->list) {
        std::erase_if(merged, [&a](const Area& m) { return m.intersects(a); });
    }
    if (on) {
        for (const Area& a : areas_->list) {
            if (a.rows() * static_cast<qint64>(a.columns()) > 1) {
                Area m = a;
                m.wholeColumns = m.wholeRows = false;
                merged.push_back(m);
            }
        }
    }
}

bool Range::mergeCells() const {
    const Area& a = areas_->list.front();
    for (const Area& m : sheet_->merged) {
        if (m.contains(a.r1, a.c1)) {
            return true;
        }
    }
    return false;
}

Border Range::borders(int index) const {
    if (index < 7 || index > 12) {
        refuse(QStringLiteral("border index %1 refused").arg(index));
    }
    return Border(*this, index);
}

} // namespace tav::xls
