// A list box over one field (a role) of a list model, with a horizontal extent: the width in pixels
// that its horizontal scroll bar lets the user scroll through, set by the program and
// independent of the rows' own widths (Qt's list views have no such notion: they size
// the horizontal range after their content).
//
// Rows may be dragged to another place; rows and files from a file manager may be
// dropped on it. The view does not change its model on a drop: it says what was
// dropped and where, and its owner decides.
#pragma once

#include <QListView>
#include <QStringList>

#include <vector>

namespace tav {

class ExtentListView : public QListView {
    Q_OBJECT
public:
    explicit ExtentListView(QWidget* parent = nullptr);

    // The role whose text the rows show (Qt::DisplayRole unless set).
    void setTextRole(int role);

    int horizontalExtent() const { return extent_; }
    // The scroll bar appears when the extent is wider than the visible area.
    void setHorizontalExtent(int pixels);

    // Index of the topmost visible row (-1 when empty) and a way to set it.
    int topRow() const;
    void setTopRow(int row);

    // The rows of the model, the current row (-1 when none), making a row current and
    // the only selected one as a click does, and the text the view shows in a row.
    int count() const;
    int currentRow() const;
    void setCurrentRow(int row);
    QString text(int row) const;
    // The selected rows, ascending.
    std::vector<int> selectedRows() const;

    // The place a drop at `point` (viewport coordinates) puts rows: before the row under
    // it, or after that row when it lands on the row's lower half; the end below the
    // last row.
    int dropPlace(const QPoint& point) const;

signals:
    // A double-click anywhere in the list, also below the last row.
    void listDoubleClicked();
    // Rows dragged in this program were dropped to go before row `before`.
    void rowsDropped(const std::vector<int>& rows, int before);
    // Files or folders were dropped from outside (local paths, in their order).
    void filesDropped(const QStringList& paths);

protected:
    void updateGeometries() override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void applyExtent();

    int extent_ = 0;
    int textRole_ = Qt::DisplayRole;
};

} // namespace tav
