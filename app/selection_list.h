// The selection list: the ordered image files of the next workbook, each with its
// rotation code and display name. It lives in three list boxes of the main window that
// stand side by side and are kept in step (same rows, same current row, same top row):
// the path list, the rotation list and the display-name list.
//
// Other parts of the program (generation run, preview, row dialogs) use this class and
// never the list boxes.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace tav {

class ExtentListWidget;

class SelectionList : public QObject {
    Q_OBJECT
public:
    // Row counts and indices are 16-bit: a list holds at most this many rows.
    static constexpr int MaxRows = 32767;
    // When the widest path has more than this many characters, the two narrow lists get
    // its extent too.
    static constexpr int NarrowListWidthChars = 30;

    // The three lists are owned by the window; they must outlive this object.
    SelectionList(ExtentListWidget* paths, ExtentListWidget* rotations, ExtentListWidget* names,
                  QObject* parent = nullptr);

    int rowCount() const;
    QString path(int row) const;
    QString rotation(int row) const;
    QString displayName(int row) const;

    // The current row, -1 when none.
    int currentRow() const;
    // Exactly as if the user picked `row` in the path list: the other lists follow and
    // rowChosen is raised when the row changes.
    void makeCurrent(int row);

    // Replace one field of a row; the row keeps its place.
    void setRotation(int row, const QString& code);
    void setDisplayName(int row, const QString& name);
    void setPath(int row, const QString& path);

    // Appends the files `fileNames` of `folder` (in this order) that are not in the list
    // yet, each with `rotationCode` and the display name kSameAsFileName, and widens
    // the lists for the widest path. Stops at MaxRows. Returns the number added.
    int registerFiles(const QString& folder, const QStringList& fileNames,
                      const QString& rotationCode);

    // Removes the current row from all three lists; afterwards no row is current.
    // Extents stay. Does nothing without a current row.
    void removeCurrent();

    // Removes every row and resets the three extents.
    void clear();

    // Paints the three lists now, without processing any event.
    void repaintNow();

    // The widest row text of `list` in its font ("" for an empty list; the first of
    // equally wide texts).
    static QString widestText(const ExtentListWidget& list);

    ExtentListWidget* pathList() const { return paths_; }
    ExtentListWidget* rotationList() const { return rotations_; }
    ExtentListWidget* nameList() const { return names_; }

signals:
    // The current row of the path list changed to `row` (never -1).
    void rowChosen(int row);

private:
    void connectRowSync();
    void connectScrollSync();
    void setExtent(ExtentListWidget* list, const QString& text);
    bool valid(int row) const { return row >= 0 && row < rowCount(); }

    ExtentListWidget* paths_;
    ExtentListWidget* rotations_;
    ExtentListWidget* names_;
    bool scrollSyncing_ = false;
};

} // namespace tav
