// A single-selection list box with a horizontal extent: the width in pixels that its
// horizontal scroll bar lets the user scroll through, set by the program and
// independent of the rows' own widths (Qt's list views have no such notion: they size
// the horizontal range after their content).
#pragma once

#include <QListWidget>

namespace tav {

class ExtentListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit ExtentListWidget(QWidget* parent = nullptr);

    int horizontalExtent() const { return extent_; }
    // The scroll bar appears when the extent is wider than the visible area.
    void setHorizontalExtent(int pixels);

    // Index of the topmost visible row (-1 when empty) and a way to set it.
    int topRow() const;
    void setTopRow(int row);

signals:
    // A double-click anywhere in the list, also below the last row.
    void listDoubleClicked();

protected:
    void updateGeometries() override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void applyExtent();

    int extent_ = 0;
};

} // namespace tav
