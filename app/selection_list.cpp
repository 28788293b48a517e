#include "app/selection_list.h"

#include "app/extent_list_view.h"
#include "app/list_extent.h"
#include "app/photo_row_model.h"
#include "app/row_commands.h"
#include "generate/captions.h"
#include "platform/paths.h"

#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSet>
#include <QUndoStack>

#include <numeric>

namespace tav {

SelectionList::SelectionList(ExtentListView* paths, ExtentListView* rotations,
                             ExtentListView* names, QObject* parent)
    : QObject(parent), paths_(paths), rotations_(rotations), names_(names),
      model_(new PhotoRowModel(this)), undo_(new QUndoStack(this)) {
    // One model and one selection for the three lists: a row chosen, selected or moved
    // in one is so in all.
    auto* selection = new QItemSelectionModel(model_, this);
    const std::pair<ExtentListView*, PhotoRowModel::Field> views[] = {
        {paths_, PhotoRowModel::Path},
        {rotations_, PhotoRowModel::Rotation},
        {names_, PhotoRowModel::Name}};
    for (const auto& [view, field] : views) {
        view->setTextRole(PhotoRowModel::roleOf(field));
        view->setModel(model_);
        QItemSelectionModel* own = view->selectionModel();
        view->setSelectionModel(selection);
        delete own;
        connect(view, &ExtentListView::rowsDropped, this, &SelectionList::moveRows);
    }
    connect(selection, &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    emit rowChosen(current.row());
                }
            });
    // Rows that come back (undo, an opened list) can be scrolled to; a longer display
    // name too. Extents only grow here.
    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { fitPathExtents(); });
    connect(model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.contains(PhotoRowModel::roleOf(PhotoRowModel::Name))) {
                    setExtent(names_, widestText(*names_));
                }
            });
    connectScrollSync();
}

SelectionList::~SelectionList() {
    // The undo stack is deleted with this object's children, after this object has
    // stopped being a SelectionList; its last "nothing to undo" signals must not reach
    // anyone who would call back into the list.
    undo_->blockSignals(true);
}

int SelectionList::rowCount() const {
    return model_->rowCount();
}

QString SelectionList::path(int row) const {
    return valid(row) ? model_->row(row).path : QString();
}

QString SelectionList::rotation(int row) const {
    return valid(row) ? model_->row(row).rotation : QString();
}

QString SelectionList::displayName(int row) const {
    return valid(row) ? model_->row(row).displayName : QString();
}

QString SelectionList::note(int row) const {
    return valid(row) ? model_->row(row).note : QString();
}

bool SelectionList::isMissing(int row) const {
    return valid(row) && model_->row(row).missing;
}

const std::vector<PhotoRow>& SelectionList::rows() const {
    return model_->rows();
}

int SelectionList::currentRow() const {
    return paths_->currentRow();
}

void SelectionList::makeCurrent(int row) {
    paths_->setCurrentRow(row);
}

std::vector<int> SelectionList::selectedRows() const {
    return paths_->selectedRows();
}

void SelectionList::editField(int row, int field, const QString& text, const QString& description) {
    const auto f = static_cast<PhotoRowModel::Field>(field);
    if (valid(row) && PhotoRowModel::field(model_->row(row), f) != text) {
        undo_->push(new EditFieldCommand(*model_, row, f, text, description));
    }
}

void SelectionList::setRotation(int row, const QString& code) {
    editField(row, PhotoRowModel::Rotation, code, QStringLiteral("回転角の変更"));
}

void SelectionList::setDisplayName(int row, const QString& name) {
    editField(row, PhotoRowModel::Name, name, QStringLiteral("表示名の変更"));
}

void SelectionList::setNote(int row, const QString& note) {
    editField(row, PhotoRowModel::Note, note, QStringLiteral("メモの変更"));
}

void SelectionList::setPath(int row, const QString& path) {
    if (valid(row)) {
        model_->setField(row, PhotoRowModel::Path, path);
        undo_->clear();
    }
}

int SelectionList::registerFiles(const QString& folder, const QStringList& fileNames,
                                 const QString& rotationCode) {
    QStringList paths;
    paths.reserve(fileNames.size());
    for (const QString& name : fileNames) {
        paths.push_back(joinPath(folder, name));
    }
    return registerPaths(paths, rotationCode);
}

int SelectionList::registerPaths(const QStringList& paths, const QString& rotationCode) {
    QSet<QString> known;
    known.reserve(rowCount() + paths.size());
    for (const PhotoRow& row : rows()) {
        known.insert(row.path);
    }
    std::vector<PlacedRow> added;
    for (const QString& full : paths) {
        if (rowCount() + static_cast<int>(added.size()) >= MaxRows) {
            break;
        }
        if (known.contains(full)) {
            continue;
        }
        known.insert(full);
        added.emplace_back(rowCount() + static_cast<int>(added.size()),
                           PhotoRow{full, rotationCode, kSameAsFileName, QString()});
    }
    if (added.empty()) {
        // Measured all the same: an empty list resets the path list's extent.
        fitPathExtents();
        return 0;
    }
    const int count = static_cast<int>(added.size());
    undo_->push(new InsertRowsCommand(*model_, std::move(added), QStringLiteral("登録")));
    return count;
}

void SelectionList::fitPathExtents() {
    // The widest path as the font draws it: full-width characters take about twice the
    // room of others, so the path with the most characters need not be the widest.
    const QString widest = widestText(*paths_);
    setExtent(paths_, widest);
    if (widest.size() > NarrowListWidthChars) {
        setExtent(rotations_, widest);
        setExtent(names_, widest);
    }
}

void SelectionList::removeCurrent() {
    if (orderLocked_ || !valid(currentRow())) {
        return;
    }
    std::vector<int> rows = selectedRows();
    if (rows.empty()) {
        rows.push_back(currentRow());
    }
    // Afterwards no row is current: cleared first, so that the selection does not pass
    // to a neighbour of the removed rows.
    paths_->selectionModel()->clear();
    undo_->push(new RemoveRowsCommand(*model_, std::move(rows), QStringLiteral("登録の解除")));
}

void SelectionList::clear() {
    if (orderLocked_) {
        return;
    }
    if (rowCount() > 0) {
        paths_->selectionModel()->clear();
        removeEveryRow(QStringLiteral("全解除"));
    }
    for (ExtentListView* list : {paths_, rotations_, names_}) {
        setExtent(list, QStringLiteral(" "));
    }
}

void SelectionList::removeEveryRow(const QString& description) {
    if (rowCount() > 0) {
        std::vector<int> all(static_cast<std::size_t>(rowCount()));
        std::iota(all.begin(), all.end(), 0);
        undo_->push(new RemoveRowsCommand(*model_, std::move(all), description));
    }
}

void SelectionList::replaceRows(const std::vector<PhotoRow>& newRows) {
    if (orderLocked_) {
        return;
    }
    paths_->selectionModel()->clear();
    undo_->beginMacro(QStringLiteral("リストを開く"));
    removeEveryRow(QString());
    std::vector<PlacedRow> placed;
    const int count = std::min(static_cast<int>(newRows.size()), MaxRows);
    placed.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        placed.emplace_back(i, newRows[static_cast<std::size_t>(i)]);
    }
    if (!placed.empty()) {
        undo_->push(new InsertRowsCommand(*model_, std::move(placed), QString()));
    }
    undo_->endMacro();
}

void SelectionList::moveRows(const std::vector<int>& rows, int before) {
    if (orderLocked_) {
        return;
    }
    std::vector<int> order = blockMoveOrder(rowCount(), rows, before);
    if (!isIdentity(order)) {
        undo_->push(new ReorderCommand(*model_, std::move(order), QStringLiteral("移動")));
    }
}

void SelectionList::moveSelected(int step) {
    if (orderLocked_) {
        return;
    }
    std::vector<int> order = stepMoveOrder(rowCount(), selectedRows(), step);
    if (!isIdentity(order)) {
        undo_->push(new ReorderCommand(*model_, std::move(order), QStringLiteral("移動")));
        paths_->scrollTo(paths_->currentIndex());
    }
}

void SelectionList::sort(RowOrder by, bool reversed) {
    if (orderLocked_) {
        return;
    }
    std::vector<int> order = sortedOrder(rows(), by, reversed);
    if (!isIdentity(order)) {
        undo_->push(new ReorderCommand(*model_, std::move(order), QStringLiteral("並べ替え")));
    }
}

void SelectionList::repaintNow() {
    for (ExtentListView* list : {paths_, rotations_, names_}) {
        list->viewport()->repaint();
    }
}

QString SelectionList::widestText(const ExtentListView& list) {
    QString widest;
    double widestWidth = 0;
    for (int i = 0; i < list.count(); ++i) {
        const QString text = list.text(i);
        const double width = textWidthPixels(list.font(), text);
        if (width > widestWidth) { // the first of equally wide texts wins
            widest = text;
            widestWidth = width;
        }
    }
    return widest;
}

void SelectionList::setExtent(ExtentListView* list, const QString& text) {
    fitListExtentToText(*list, list->font(), text);
}

void SelectionList::connectScrollSync() {
    const auto link = [this](ExtentListView* leader, ExtentListView* first,
                             ExtentListView* second) {
        connect(leader->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this, leader, first, second](int) {
                    if (scrollSyncing_) {
                        return; // a list that follows does not lead in turn
                    }
                    scrollSyncing_ = true;
                    const int top = leader->topRow();
                    first->setTopRow(top);
                    second->setTopRow(top);
                    scrollSyncing_ = false;
                });
    };
    link(paths_, rotations_, names_);
    link(rotations_, paths_, names_);
    link(names_, paths_, rotations_);
}

} // namespace tav
