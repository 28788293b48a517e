#include "generate/photo_list.h"

#include "platform/image/picture_loader.h"

#include <QFileInfo>

#include <algorithm>

namespace tav {
namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The end of the run of digits starting at `from`.
qsizetype digitsEnd(const QString& text, qsizetype from) {
    while (from < text.size() && isDigit(text[from]))
        ++from;
    return from;
}

// Compares the runs of digits a[ia, aEnd) and b[ib, bEnd) by value, without converting
// them (a run may be longer than any integer type).
int compareNumbers(const QString& a, qsizetype ia, qsizetype aEnd, const QString& b, qsizetype ib,
                   qsizetype bEnd) {
    while (ia < aEnd - 1 && a[ia] == QLatin1Char('0'))
        ++ia;
    while (ib < bEnd - 1 && b[ib] == QLatin1Char('0'))
        ++ib;
    if (aEnd - ia != bEnd - ib)
        return aEnd - ia < bEnd - ib ? -1 : 1;
    for (; ia < aEnd; ++ia, ++ib) {
        if (a[ia] != b[ib])
            return a[ia] < b[ib] ? -1 : 1;
    }
    return 0;
}

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

} // namespace

int naturalCompare(const QString& a, const QString& b) {
    qsizetype ia = 0, ib = 0;
    while (ia < a.size() && ib < b.size()) {
        if (isDigit(a[ia]) && isDigit(b[ib])) {
            const qsizetype aEnd = digitsEnd(a, ia), bEnd = digitsEnd(b, ib);
            if (const int c = compareNumbers(a, ia, aEnd, b, ib, bEnd))
                return c;
            ia = aEnd;
            ib = bEnd;
            continue;
        }
        const QChar ca = a[ia].toCaseFolded(), cb = b[ib].toCaseFolded();
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++ia;
        ++ib;
    }
    if (ia < a.size() || ib < b.size())
        return ia < a.size() ? 1 : -1; // the one that goes on is the longer
    return QString::compare(a, b);
}

void sortRows(std::vector<PhotoRow>& rows, RowOrder order, bool reversed) {
    const auto byName = [](const PhotoRow& x, const PhotoRow& y) {
        const int c = naturalCompare(fileNameOf(x.path), fileNameOf(y.path));
        return c != 0 ? c : naturalCompare(x.path, y.path);
    };
    if (order == RowOrder::Name) {
        std::stable_sort(rows.begin(), rows.end(), [&](const PhotoRow& x, const PhotoRow& y) {
            return reversed ? byName(y, x) < 0 : byName(x, y) < 0;
        });
        return;
    }
    // Each photo's date is read once, not once per comparison.
    struct Dated {
        QDateTime date;
        PhotoRow row;
    };
    std::vector<Dated> dated;
    dated.reserve(rows.size());
    for (PhotoRow& row : rows)
        dated.push_back({dateTakenOrFileTime(row.path), std::move(row)});
    std::stable_sort(dated.begin(), dated.end(), [&](const Dated& x, const Dated& y) {
        if (x.date.isValid() != y.date.isValid())
            return x.date.isValid(); // undated rows last
        if (x.date != y.date && x.date.isValid())
            return reversed ? y.date < x.date : x.date < y.date;
        return reversed ? byName(y.row, x.row) < 0 : byName(x.row, y.row) < 0;
    });
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = std::move(dated[i].row);
}

std::optional<QDateTime> dateTaken(const QString& path) {
    return pictureDateTaken(path);
}

QDateTime dateTakenOrFileTime(const QString& path) {
    if (std::optional<QDateTime> taken = dateTaken(path))
        return *taken;
    const QFileInfo info(path);
    return info.isFile() ? info.lastModified() : QDateTime();
}

QString dateTakenNote(const QString& path) {
    const QDateTime date = dateTakenOrFileTime(path);
    return date.isValid()
               ? QStringLiteral("撮影日 ") + date.toString(QStringLiteral("yyyy/MM/dd HH:mm"))
               : QString();
}

} // namespace tav
