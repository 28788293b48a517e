#include "app/selection_list.h"

#include "app/extent_list_widget.h"
#include "app/list_extent.h"
#include "generate/captions.h"
#include "platform/paths.h"

#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>

namespace tav {

SelectionList::SelectionList(ExtentListWidget* paths, ExtentListWidget* rotations,
                             ExtentListWidget* names, QObject* parent)
    : QObject(parent), paths_(paths), rotations_(rotations), names_(names) {
    connectRowSync();
    connectScrollSync();
}

int SelectionList::rowCount() const {
    return paths_->count();
}

QString SelectionList::path(int row) const {
    return valid(row) ? paths_->item(row)->text() : QString();
}

QString SelectionList::rotation(int row) const {
    return valid(row) ? rotations_->item(row)->text() : QString();
}

QString SelectionList::displayName(int row) const {
    return valid(row) ? names_->item(row)->text() : QString();
}

int SelectionList::currentRow() const {
    return paths_->currentRow();
}

void SelectionList::makeCurrent(int row) {
    paths_->setCurrentRow(row);
}

void SelectionList::setRotation(int row, const QString& code) {
    if (valid(row)) {
        rotations_->item(row)->setText(code);
    }
}

void SelectionList::setDisplayName(int row, const QString& name) {
    if (valid(row)) {
        names_->item(row)->setText(name);
        // A long display name can be scrolled to as well (the extent only grows here).
        setExtent(names_, widestText(*names_));
    }
}

void SelectionList::setPath(int row, const QString& path) {
    if (valid(row)) {
        paths_->item(row)->setText(path);
    }
}

int SelectionList::registerFiles(const QString& folder, const QStringList& fileNames,
                                 const QString& rotationCode) {
    QSet<QString> known;
    known.reserve(rowCount() + fileNames.size());
    for (int i = 0; i < rowCount(); ++i) {
        known.insert(path(i));
    }
    int added = 0;
    for (const QString& name : fileNames) {
        if (rowCount() >= MaxRows) {
            break;
        }
        const QString full = joinPath(folder, name);
        if (known.contains(full)) {
            continue;
        }
        known.insert(full);
        paths_->addItem(full);
        rotations_->addItem(rotationCode);
        names_->addItem(kSameAsFileName);
        ++added;
    }

    // The widest path as the font draws it: full-width characters take about twice the
    // room of others, so the path with the most characters need not be the widest.
    const QString widest = widestText(*paths_);
    setExtent(paths_, widest);
    if (widest.size() > NarrowListWidthChars) {
        setExtent(rotations_, widest);
        setExtent(names_, widest);
    }
    return added;
}

void SelectionList::removeCurrent() {
    const int row = currentRow();
    if (!valid(row)) {
        return;
    }
    for (ExtentListWidget* list : {paths_, rotations_, names_}) {
        const QSignalBlocker blocker(list);
        delete list->takeItem(row);
        list->setCurrentRow(-1);
        list->clearSelection();
    }
}

void SelectionList::clear() {
    for (ExtentListWidget* list : {paths_, rotations_, names_}) {
        list->clear();
    }
    for (ExtentListWidget* list : {paths_, rotations_, names_}) {
        setExtent(list, QStringLiteral(" "));
    }
}

void SelectionList::repaintNow() {
    for (ExtentListWidget* list : {paths_, rotations_, names_}) {
        list->viewport()->repaint();
    }
}

QString SelectionList::widestText(const ExtentListWidget& list) {
    QString widest;
    double widestWidth = 0;
    for (int i = 0; i < list.count(); ++i) {
        const QString text = list.item(i)->text();
        const double width = textWidthPixels(list.font(), text);
        if (width > widestWidth) { // the first of equally wide texts wins
            widest = text;
            widestWidth = width;
        }
    }
    return widest;
}

void SelectionList::setExtent(ExtentListWidget* list, const QString& text) {
    fitListExtentToText(*list, list->font(), text);
}

void SelectionList::connectRowSync() {
    // Setting a list to the row it already has raises nothing, so each chain settles
    // after one round and rowChosen is raised once per change of row.
    connect(paths_, &QListWidget::currentRowChanged, this, [this](int row) {
        rotations_->setCurrentRow(row);
        names_->setCurrentRow(row);
        if (row >= 0) {
            emit rowChosen(row);
        }
    });
    connect(rotations_, &QListWidget::currentRowChanged, this, [this](int row) {
        paths_->setCurrentRow(row);
        names_->setCurrentRow(row);
    });
    connect(names_, &QListWidget::currentRowChanged, this, [this](int row) {
        rotations_->setCurrentRow(row);
        paths_->setCurrentRow(row);
    });
}

void SelectionList::connectScrollSync() {
    const auto link = [this](ExtentListWidget* leader, ExtentListWidget* first,
                             ExtentListWidget* second) {
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
