#include "app/extent_list_view.h"

#include "app/photo_row_model.h"

#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>

namespace tav {

namespace {

// Draws the text of one role of the rows instead of their display text.
class RoleTextDelegate final : public QStyledItemDelegate {
public:
    RoleTextDelegate(int role, QObject* parent) : QStyledItemDelegate(parent), role_(role) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = index.data(role_).toString();
    }

private:
    int role_;
};

QStringList localPaths(const QMimeData& data) {
    QStringList paths;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile());
        }
    }
    return paths;
}

bool acceptable(const QMimeData* data) {
    return data != nullptr && (PhotoRowModel::draggedRows(*data) || !localPaths(*data).isEmpty());
}

} // namespace

ExtentListView::ExtentListView(QWidget* parent) : QListView(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

void ExtentListView::setTextRole(int role) {
    textRole_ = role;
    QAbstractItemDelegate* old = itemDelegate();
    setItemDelegate(new RoleTextDelegate(role, this));
    if (old != nullptr && old->parent() == this) {
        delete old;
    }
}

void ExtentListView::setHorizontalExtent(int pixels) {
    extent_ = std::max(0, pixels);
    applyExtent();
}

int ExtentListView::topRow() const {
    // Rows scroll one at a time, so the vertical value is the top row.
    return count() == 0 ? -1 : verticalScrollBar()->value();
}

void ExtentListView::setTopRow(int row) {
    verticalScrollBar()->setValue(row);
}

int ExtentListView::count() const {
    return model() ? model()->rowCount() : 0;
}

int ExtentListView::currentRow() const {
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

void ExtentListView::setCurrentRow(int row) {
    if (!model()) {
        return;
    }
    const QModelIndex index = model()->index(row, 0);
    if (!index.isValid()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
}

QString ExtentListView::text(int row) const {
    return model() ? model()->index(row, 0).data(textRole_).toString() : QString();
}

std::vector<int> ExtentListView::selectedRows() const {
    std::vector<int> rows;
    if (!selectionModel()) {
        return rows;
    }
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

int ExtentListView::dropPlace(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    if (!index.isValid()) {
        return count();
    }
    const QRect rect = visualRect(index);
    return point.y() > rect.center().y() ? index.row() + 1 : index.row();
}

void ExtentListView::updateGeometries() {
    QListView::updateGeometries();
    applyExtent();
}

void ExtentListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    emit listDoubleClicked();
}

void ExtentListView::focusInEvent(QFocusEvent* event) {
    // Qt makes the first row current when a list without a current row gets the focus;
    // a list box here only changes its row when the user or the program picks one.
    if (currentIndex().isValid() || !selectionModel()) {
        QListView::focusInEvent(event);
        return;
    }
    const QSignalBlocker blocker(selectionModel());
    QListView::focusInEvent(event);
    selectionModel()->clearCurrentIndex();
    selectionModel()->clearSelection();
}

void ExtentListView::dragEnterEvent(QDragEnterEvent* event) {
    if (!acceptable(event->mimeData())) {
        event->ignore();
        return;
    }
    QListView::dragEnterEvent(event);
    event->acceptProposedAction();
}

void ExtentListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!acceptable(event->mimeData())) {
        event->ignore();
        return;
    }
    QListView::dragMoveEvent(event); // the drop indicator and scrolling near the edges
    event->acceptProposedAction();
}

void ExtentListView::dropEvent(QDropEvent* event) {
    const QMimeData* dropped = event->mimeData();
    const int before = dropPlace(event->position().toPoint());
    // The drop is reported as a copy, so that the view that started the drag does not
    // remove the rows it dragged: the owner moves them.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    if (dropped == nullptr) {
        return;
    }
    if (const auto rows = PhotoRowModel::draggedRows(*dropped)) {
        emit rowsDropped(*rows, before);
    } else if (const QStringList paths = localPaths(*dropped); !paths.isEmpty()) {
        emit filesDropped(paths);
    }
}

void ExtentListView::applyExtent() {
    QScrollBar* bar = horizontalScrollBar();
    const int visible = viewport()->width();
    bar->setRange(0, std::max(0, extent_ - visible));
    bar->setPageStep(std::max(1, visible));
    bar->setSingleStep(std::max(1, fontMetrics().averageCharWidth()));
    // The scroll area would show the bar after the content's width; it follows the
    // extent instead. Showing it does not change the visible width, so this settles.
    const Qt::ScrollBarPolicy policy =
        extent_ > visible ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (horizontalScrollBarPolicy() != policy) {
        setHorizontalScrollBarPolicy(policy);
    }
}

} // namespace tav
