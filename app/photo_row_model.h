// The rows of the selection list (photo, rotation code, display name, note) as one Qt
// list model, a role for each field. The three list boxes of the window each show one
// field of it and share one selection, so they stay in step by construction.
//
// The model only holds and changes rows; the changes a user makes arrive as commands on
// the undo stack (app/row_commands.h), which call the primitive changes below.
#pragma once

#include "generate/photo_list.h"

#include <QAbstractListModel>

#include <optional>
#include <utility>
#include <vector>

class QMimeData;

namespace tav {

// A row with the place it has (or had) in the list.
using PlacedRow = std::pair<int, PhotoRow>;

class PhotoRowModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Field { Path, Rotation, Name, Note };
    // The role that gives `field` as text.
    static int roleOf(Field field) { return int(Qt::UserRole) + int(field); }

    // The drag format of rows dragged inside this program's lists: the process and the
    // row numbers, so that a drop from another running copy is not taken for a move.
    static const QString RowsMimeType;

    explicit PhotoRowModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display: the path; roleOf(field): the field's text. Tool tip: the note, and for a photo that
    // was not found when a list was opened, a line saying so. Foreground: red for such a photo.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Dragging: rows leave as RowsMimeType; rows and files from a file manager
    // ("text/uri-list") may be dropped. The views act on drops themselves.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    // The rows a drag from this process carries, ascending; nothing for other data.
    static std::optional<std::vector<int>> draggedRows(const QMimeData& data);

    const std::vector<PhotoRow>& rows() const { return rows_; }
    const PhotoRow& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    static QString field(const PhotoRow& row, Field field);

    // The primitive changes. Positions are ascending; an inserted row's position is the
    // one it has afterwards, so removing and inserting the same list undo each other.
    void insertPlaced(const std::vector<PlacedRow>& rows);
    std::vector<PlacedRow> removeAt(const std::vector<int>& positions);
    void setField(int row, Field field, const QString& text);
    // Puts the rows into the order `order` (order[new place] = old place); selections
    // and the current row follow their rows.
    void reorder(const std::vector<int>& order);

private:
    std::vector<PhotoRow> rows_;
};

// Orders of rows as reorder() takes them (order[new place] = old place).
//
// The rows `selected` (any order, duplicates ignored) gathered as one block in their own
// order, placed where row `before` of the present list stands (rowCount: at the end).
std::vector<int> blockMoveOrder(int rowCount, const std::vector<int>& selected, int before);
// The block of `selected` one row up (step -1) or down (step +1); rows gathered first
// when they are apart. An unchanged order when the block is already at that end.
std::vector<int> stepMoveOrder(int rowCount, const std::vector<int>& selected, int step);
// The order that undoes `order`.
std::vector<int> inverseOrder(const std::vector<int>& order);
// The order sortRows gives `rows` (rows that compare equal keep their order).
std::vector<int> sortedOrder(const std::vector<PhotoRow>& rows, RowOrder by, bool reversed);
// True when `order` leaves every row where it is.
bool isIdentity(const std::vector<int>& order);

} // namespace tav
