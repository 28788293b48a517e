#include "app/extent_list_widget.h"

#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

namespace tav {

ExtentListWidget::ExtentListWidget(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
    setUniformItemSizes(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void ExtentListWidget::setHorizontalExtent(int pixels) {
    extent_ = std::max(0, pixels);
    applyExtent();
}

int ExtentListWidget::topRow() const {
    // Rows scroll one at a time, so the vertical value is the top row.
    return count() == 0 ? -1 : verticalScrollBar()->value();
}

void ExtentListWidget::setTopRow(int row) {
    verticalScrollBar()->setValue(row);
}

void ExtentListWidget::updateGeometries() {
    QListWidget::updateGeometries();
    applyExtent();
}

void ExtentListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    emit listDoubleClicked();
}

void ExtentListWidget::focusInEvent(QFocusEvent* event) {
    // Qt makes the first row current when a list without a current row gets the focus;
    // a list box here only changes its row when the user or the program picks one.
    if (currentIndex().isValid()) {
        QListWidget::focusInEvent(event);
        return;
    }
    const QSignalBlocker blocker(this);
    QListWidget::focusInEvent(event);
    selectionModel()->clearCurrentIndex();
}

void ExtentListWidget::applyExtent() {
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
