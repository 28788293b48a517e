#include "app/photo_row_model.h"

#include <QBrush>
#include <QCoreApplication>
#include <QHash>
#include <QMimeData>

#include <algorithm>
#include <deque>

namespace tav {

const QString PhotoRowModel::RowsMimeType = QStringLiteral("application/x-tavolin-rows");

namespace {

const QString kUriListMimeType = QStringLiteral("text/uri-list");

// "pid:row,row,..." (the process first, see RowsMimeType).
QByteArray encodeRows(const std::vector<int>& rows) {
    QByteArray out = QByteArray::number(QCoreApplication::applicationPid()) + ':';
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += QByteArray::number(rows[i]);
    }
    return out;
}

} // namespace

int PhotoRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QString PhotoRowModel::field(const PhotoRow& row, Field field) {
    switch (field) {
    case Path:
        return row.path;
    case Rotation:
        return row.rotation;
    case Name:
        return row.displayName;
    case Note:
        break;
    }
    return row.note;
}

QVariant PhotoRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const PhotoRow& r = row(index.row());
    if (role >= roleOf(Path) && role <= roleOf(Note)) {
        return field(r, static_cast<Field>(role - int(Qt::UserRole)));
    }
    switch (role) {
    case Qt::DisplayRole:
        return r.path;
    case Qt::ToolTipRole: {
        QStringList lines;
        if (r.missing) {
            lines.push_back(QStringLiteral("写真が見つかりません: %1").arg(r.path));
        }
        if (!r.note.isEmpty()) {
            lines.push_back(QStringLiteral("メモ: %1").arg(r.note));
        }
        return lines.isEmpty() ? QVariant() : QVariant(lines.join(QLatin1Char('\n')));
    }
    case Qt::ForegroundRole:
        return r.missing ? QVariant(QBrush(Qt::red)) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags PhotoRowModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled | Qt::ItemNeverHasChildren;
}

QStringList PhotoRowModel::mimeTypes() const {
    return {RowsMimeType, kUriListMimeType};
}

QMimeData* PhotoRowModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& index : indexes) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    auto* data = new QMimeData;
    data->setData(RowsMimeType, encodeRows(rows));
    return data;
}

Qt::DropActions PhotoRowModel::supportedDropActions() const {
    return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions PhotoRowModel::supportedDragActions() const {
    return Qt::MoveAction;
}

bool PhotoRowModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                    const QModelIndex&) const {
    return data != nullptr && (data->hasFormat(RowsMimeType) || data->hasUrls());
}

std::optional<std::vector<int>> PhotoRowModel::draggedRows(const QMimeData& data) {
    if (!data.hasFormat(RowsMimeType)) {
        return std::nullopt;
    }
    const QList<QByteArray> parts = data.data(RowsMimeType).split(':');
    if (parts.size() != 2 || parts[0] != QByteArray::number(QCoreApplication::applicationPid())) {
        return std::nullopt;
    }
    std::vector<int> rows;
    for (const QByteArray& text : parts[1].split(',')) {
        bool ok = false;
        const int row = text.toInt(&ok);
        if (!ok || row < 0) {
            return std::nullopt;
        }
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PhotoRowModel::insertPlaced(const std::vector<PlacedRow>& placed) {
    // Consecutive positions go in as one block, so that a long registration is one step
    // for the views.
    std::size_t i = 0;
    while (i < placed.size()) {
        std::size_t end = i + 1;
        while (end < placed.size() && placed[end].first == placed[end - 1].first + 1) {
            ++end;
        }
        const int first = std::clamp(placed[i].first, 0, rowCount());
        const int count = static_cast<int>(end - i);
        beginInsertRows(QModelIndex(), first, first + count - 1);
        std::vector<PhotoRow> block;
        block.reserve(end - i);
        for (std::size_t k = i; k < end; ++k) {
            block.push_back(placed[k].second);
        }
        rows_.insert(rows_.begin() + first, block.begin(), block.end());
        endInsertRows();
        i = end;
    }
}

std::vector<PlacedRow> PhotoRowModel::removeAt(const std::vector<int>& positions) {
    std::vector<PlacedRow> removed;
    removed.reserve(positions.size());
    for (int position : positions) {
        if (position >= 0 && position < rowCount()) {
            removed.emplace_back(position, row(position));
        }
    }
    // Blocks of consecutive rows from the end, so that earlier positions stay valid.
    std::size_t end = removed.size();
    while (end > 0) {
        std::size_t first = end - 1;
        while (first > 0 && removed[first - 1].first == removed[first].first - 1) {
            --first;
        }
        const int from = removed[first].first;
        const int to = removed[end - 1].first;
        beginRemoveRows(QModelIndex(), from, to);
        rows_.erase(rows_.begin() + from, rows_.begin() + to + 1);
        endRemoveRows();
        end = first;
    }
    return removed;
}

void PhotoRowModel::setField(int rowIndex, Field field, const QString& text) {
    if (rowIndex < 0 || rowIndex >= rowCount()) {
        return;
    }
    PhotoRow& r = rows_[static_cast<std::size_t>(rowIndex)];
    switch (field) {
    case Path:
        r.path = text;
        break;
    case Rotation:
        r.rotation = text;
        break;
    case Name:
        r.displayName = text;
        break;
    case Note:
        r.note = text;
        break;
    }
    emit dataChanged(index(rowIndex), index(rowIndex),
                     {roleOf(field), Qt::DisplayRole, Qt::ToolTipRole});
}

void PhotoRowModel::reorder(const std::vector<int>& order) {
    if (order.size() != rows_.size() || isIdentity(order)) {
        return;
    }
    emit layoutAboutToBeChanged();
    const std::vector<int> newPlace = inverseOrder(order);
    std::vector<PhotoRow> reordered;
    reordered.reserve(rows_.size());
    for (int old : order) {
        reordered.push_back(std::move(rows_[static_cast<std::size_t>(old)]));
    }
    rows_ = std::move(reordered);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.push_back(
            index.isValid() ? this->index(newPlace[static_cast<std::size_t>(index.row())]) : index);
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

std::vector<int> blockMoveOrder(int rowCount, const std::vector<int>& selected, int before) {
    std::vector<bool> inBlock(static_cast<std::size_t>(std::max(0, rowCount)), false);
    for (int row : selected) {
        if (row >= 0 && row < rowCount) {
            inBlock[static_cast<std::size_t>(row)] = true;
        }
    }
    before = std::clamp(before, 0, rowCount);
    std::vector<int> order;
    order.reserve(inBlock.size());
    const auto appendBlock = [&] {
        for (int row = 0; row < rowCount; ++row) {
            if (inBlock[static_cast<std::size_t>(row)]) {
                order.push_back(row);
            }
        }
    };
    for (int row = 0; row < rowCount; ++row) {
        if (row == before) {
            appendBlock();
        }
        if (!inBlock[static_cast<std::size_t>(row)]) {
            order.push_back(row);
        }
    }
    if (before == rowCount) {
        appendBlock();
    }
    return order;
}

std::vector<int> stepMoveOrder(int rowCount, const std::vector<int>& selected, int step) {
    std::vector<int> valid;
    for (int row : selected) {
        if (row >= 0 && row < rowCount) {
            valid.push_back(row);
        }
    }
    if (valid.empty()) {
        return blockMoveOrder(rowCount, {}, 0);
    }
    const auto [low, high] = std::minmax_element(valid.begin(), valid.end());
    // Up: the block starts one row above its first row; down: it ends one row below its
    // last row, that is, before the row after that one.
    const int before = step < 0 ? std::max(0, *low - 1) : std::min(rowCount, *high + 2);
    return blockMoveOrder(rowCount, valid, before);
}

std::vector<int> inverseOrder(const std::vector<int>& order) {
    std::vector<int> inverse(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        inverse[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
    }
    return inverse;
}

std::vector<int> sortedOrder(const std::vector<PhotoRow>& rows, RowOrder by, bool reversed) {
    // sortRows sorts rows, not places: each sorted row is matched to the next unused
    // place of a row with its path (it is stable, so equal paths keep their order).
    QHash<QString, std::deque<int>> places;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        places[rows[i].path].push_back(static_cast<int>(i));
    }
    std::vector<PhotoRow> sorted = rows;
    sortRows(sorted, by, reversed);
    std::vector<int> order;
    order.reserve(rows.size());
    for (const PhotoRow& row : sorted) {
        std::deque<int>& queue = places[row.path];
        order.push_back(queue.front());
        queue.pop_front();
    }
    return order;
}

bool isIdentity(const std::vector<int>& order) {
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] != static_cast<int>(i)) {
            return false;
        }
    }
    return true;
}

} // namespace tav
