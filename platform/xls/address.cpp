#include "platform/xls/address.h"

#include "platform/error.h"
#include "platform/xls/engine.h"

#include <optional>

namespace tav::xls {

namespace {

// One side of a ':' — a cell, a column or a row.
struct Part {
    std::optional<int> col; // 0-based
    std::optional<int> row; // 0-based
};

[[noreturn]] void badAddress(const QString& text, const QString& why) {
    throw Error(err::EngineRefused, errorText(ErrorText::AddressRefused, text), why);
}

Part parsePart(const QString& whole, QStringView s) {
    Part part;
    qsizetype i = 0;
    if (i < s.size() && s[i] == u'$') {
        ++i;
    }
    long letters = 0;
    int letterCount = 0;
    while (i < s.size() && s[i].isLetter() && s[i].unicode() < 128) {
        const char16_t c = s[i].toUpper().unicode();
        letters = letters * 26 + (c - u'A' + 1);
        ++letterCount;
        if (letterCount > 3) {
            badAddress(whole, QStringLiteral("column beyond IV"));
        }
        ++i;
    }
    if (letterCount > 0) {
        if (letters > MaxColumns) {
            badAddress(whole, QStringLiteral("column beyond IV"));
        }
        part.col = static_cast<int>(letters - 1);
        if (i < s.size() && s[i] == u'$') {
            ++i;
        }
    }
    long number = 0;
    int digitCount = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        number = number * 10 + (s[i].unicode() - u'0');
        if (++digitCount > 7) {
            badAddress(whole, QStringLiteral("row beyond %1").arg(MaxRows));
        }
        ++i;
    }
    if (i != s.size() || (letterCount == 0 && digitCount == 0)) {
        badAddress(whole, QStringLiteral("malformed reference '%1'").arg(s.toString()));
    }
    if (digitCount > 0) {
        if (number < 1 || number > MaxRows) {
            badAddress(whole, QStringLiteral("row %1 outside 1..%2").arg(number).arg(MaxRows));
        }
        part.row = static_cast<int>(number - 1);
    }
    return part;
}

Area wholeColumns(int a, int b) {
    Area area{0, std::min(a, b), MaxRows - 1, std::max(a, b)};
    area.wholeColumns = true;
    return area;
}

Area wholeRows(int a, int b) {
    Area area{std::min(a, b), 0, std::max(a, b), MaxColumns - 1};
    area.wholeRows = true;
    return area;
}

} // namespace

std::vector<Area> parseAddress(const QString& text, AddressKind kind) {
    if (text.isEmpty()) {
        badAddress(text, QStringLiteral("empty address"));
    }
    std::vector<Area> areas;
    for (QStringView token : QStringView(text).split(u',')) {
        const qsizetype colon = token.indexOf(u':');
        const QStringView left = colon < 0 ? token : token.left(colon);
        const QStringView right = colon < 0 ? QStringView() : token.mid(colon + 1);
        if (left.isEmpty() || (colon >= 0 && right.isEmpty()) || right.contains(u':')) {
            badAddress(text, QStringLiteral("malformed reference '%1'").arg(token.toString()));
        }
        const Part a = parsePart(text, left);
        const Part b = colon < 0 ? a : parsePart(text, right);
        const bool cells = a.col && a.row && b.col && b.row;
        const bool cols = a.col && !a.row && b.col && !b.row;
        const bool rows = !a.col && a.row && !b.col && b.row;
        Area area;
        if (cells) {
            area = Area{std::min(*a.row, *b.row), std::min(*a.col, *b.col),
                        std::max(*a.row, *b.row), std::max(*a.col, *b.col)};
        } else if (cols && (colon >= 0 || kind == AddressKind::Columns)) {
            area = wholeColumns(*a.col, *b.col);
        } else if (rows && (colon >= 0 || kind == AddressKind::Rows)) {
            area = wholeRows(*a.row, *b.row);
        } else {
            badAddress(text, QStringLiteral("malformed reference '%1'").arg(token.toString()));
        }
        if (kind == AddressKind::Columns && !area.wholeColumns) {
            badAddress(text, QStringLiteral("not a column reference"));
        }
        if (kind == AddressKind::Rows && !area.wholeRows) {
            badAddress(text, QStringLiteral("not a row reference"));
        }
        areas.push_back(area);
    }
    return areas;
}

QString columnName(int col) {
    QString name;
    int n = col + 1;
    while (n > 0) {
        const int rem = (n - 1) % 26;
        name.prepend(QChar(u'A' + rem));
        n = (n - 1) / 26;
    }
    return name;
}

QString formatArea(const Area& area) {
    if (area.wholeColumns) {
        return QStringLiteral("$%1:$%2").arg(columnName(area.c1), columnName(area.c2));
    }
    if (area.wholeRows) {
        return QStringLiteral("$%1:$%2").arg(area.r1 + 1).arg(area.r2 + 1);
    }
    const QString first = QStringLiteral("$%1$%2").arg(columnName(area.c1)).arg(area.r1 + 1);
    if (area.r1 == area.r2 && area.c1 == area.c2) {
        return first;
    }
    return first + QStringLiteral(":$%1$%2").arg(columnName(area.c2)).arg(area.r2 + 1);
}

} // namespace tav::xls
