// The changes a user makes to the selection list, as commands on its undo stack: each
// applies itself to the row model on redo and takes itself back on undo.
#pragma once

#include "app/photo_row_model.h"

#include <QUndoCommand>

#include <vector>

namespace tav {

// Rows put in at their places (registering, opening a list, taking back a removal).
class InsertRowsCommand final : public QUndoCommand {
public:
    InsertRowsCommand(PhotoRowModel& model, std::vector<PlacedRow> rows, const QString& text,
                      QUndoCommand* parent = nullptr);
    void redo() override;
    void undo() override;

private:
    PhotoRowModel& model_;
    std::vector<PlacedRow> rows_;
};

// The rows at `positions` taken out (removing, clearing).
class RemoveRowsCommand final : public QUndoCommand {
public:
    RemoveRowsCommand(PhotoRowModel& model, std::vector<int> positions, const QString& text,
                      QUndoCommand* parent = nullptr);
    void redo() override;
    void undo() override;

private:
    PhotoRowModel& model_;
    std::vector<int> positions_;
    std::vector<PlacedRow> removed_;
};

// One field of one row replaced (rotation, display name, note).
class EditFieldCommand final : public QUndoCommand {
public:
    EditFieldCommand(PhotoRowModel& model, int row, PhotoRowModel::Field field, QString text,
                     const QString& description);
    void redo() override;
    void undo() override;

private:
    PhotoRowModel& model_;
    int row_;
    PhotoRowModel::Field field_;
    QString after_;
    QString before_;
};

// The rows put into another order (moving, sorting).
class ReorderCommand final : public QUndoCommand {
public:
    ReorderCommand(PhotoRowModel& model, std::vector<int> order, const QString& text);
    void redo() override;
    void undo() override;

private:
    PhotoRowModel& model_;
    std::vector<int> order_;
};

} // namespace tav
