#include "app/row_commands.h"

#include <utility>

namespace tav {

InsertRowsCommand::InsertRowsCommand(PhotoRowModel& model, std::vector<PlacedRow> rows,
                                     const QString& text, QUndoCommand* parent)
    : QUndoCommand(text, parent), model_(model), rows_(std::move(rows)) {}

void InsertRowsCommand::redo() {
    model_.insertPlaced(rows_);
}

void InsertRowsCommand::undo() {
    std::vector<int> positions;
    positions.reserve(rows_.size());
    for (const PlacedRow& row : rows_) {
        positions.push_back(row.first);
    }
    model_.removeAt(positions);
}

RemoveRowsCommand::RemoveRowsCommand(PhotoRowModel& model, std::vector<int> positions,
                                     const QString& text, QUndoCommand* parent)
    : QUndoCommand(text, parent), model_(model), positions_(std::move(positions)) {}

void RemoveRowsCommand::redo() {
    removed_ = model_.removeAt(positions_);
}

void RemoveRowsCommand::undo() {
    model_.insertPlaced(removed_);
}

EditFieldCommand::EditFieldCommand(PhotoRowModel& model, int row, PhotoRowModel::Field field,
                                   QString text, const QString& description)
    : QUndoCommand(description), model_(model), row_(row), field_(field), after_(std::move(text)),
      before_(PhotoRowModel::field(model.row(row), field)) {}

void EditFieldCommand::redo() {
    model_.setField(row_, field_, after_);
}

void EditFieldCommand::undo() {
    model_.setField(row_, field_, before_);
}

ReorderCommand::ReorderCommand(PhotoRowModel& model, std::vector<int> order, const QString& text)
    : QUndoCommand(text), model_(model), order_(std::move(order)) {}

void ReorderCommand::redo() {
    model_.reorder(order_);
}

void ReorderCommand::undo() {
    model_.reorder(inverseOrder(order_));
}

} // namespace tav
