// The selection list: the ordered photos of the next workbook, each with its rotation
// code, display name and note. Its rows live in one PhotoRowModel; three list boxes of
// the main window stand side by side and each show one column of it (the path list, the
// rotation list and the display-name list), sharing one selection and scrolling together.
//
// Every change a user makes goes through the undo stack (undoStack()), so each can be
// taken back and done again. Other parts of the program (generation run, preview, row
// dialogs) use this class and never the list boxes.
#pragma once

#include "generate/photo_list.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

class QUndoStack;

namespace tav {

class ExtentListView;
class PhotoRowModel;

class SelectionList : public QObject {
    Q_OBJECT
public:
    // Row counts and indices are 16-bit: a list holds at most this many rows.
    static constexpr int MaxRows = 32767;
    // When the widest path has more than this many characters, the two narrow lists get
    // its extent too.
    static constexpr int NarrowListWidthChars = 30;

    // The three lists are owned by the window; they must outlive this object.
    SelectionList(ExtentListView* paths, ExtentListView* rotations, ExtentListView* names,
                  QObject* parent = nullptr);
    ~SelectionList() override;

    int rowCount() const;
    QString path(int row) const;
    QString rotation(int row) const;
    QString displayName(int row) const;
    QString note(int row) const;
    // The photo was not found when the list it came from was opened.
    bool isMissing(int row) const;
    const std::vector<PhotoRow>& rows() const;

    // The current row, -1 when none.
    int currentRow() const;
    // Exactly as if the user picked `row` in the path list: the other lists follow and
    // rowChosen is raised when the row changes.
    void makeCurrent(int row);
    // The selected rows, ascending.
    std::vector<int> selectedRows() const;

    // Replace one field of a row (a step that can be undone); the row keeps its place.
    void setRotation(int row, const QString& code);
    void setDisplayName(int row, const QString& name);
    void setNote(int row, const QString& note);
    // The run's renaming: the photo now has another path. Not a step of its own, and the
    // steps before it are forgotten (taking them back would refer to the old names).
    void setPath(int row, const QString& path);

    // Appends the files `fileNames` of `folder` (in this order) that are not in the list
    // yet, each with `rotationCode` and the display name kSameAsFileName, and widens
    // the lists for the widest path. Stops at MaxRows. Returns the number added.
    int registerFiles(const QString& folder, const QStringList& fileNames,
                      const QString& rotationCode);
    // The same for full paths.
    int registerPaths(const QStringList& paths, const QString& rotationCode);

    // Removes the selected rows (at least the current one); afterwards no row is
    // current. Extents stay. Does nothing without a current row or while the order is
    // locked.
    void removeCurrent();

    // Removes every row and resets the three extents (not while the order is locked).
    void clear();

    // Puts `rows` in place of the whole list (an opened list file): one step.
    void replaceRows(const std::vector<PhotoRow>& rows);

    // The selected rows, as one block, go before row `before` of the present list; they
    // stay selected. Ctrl+Up / Ctrl+Down move them one row (step -1 / +1).
    void moveRows(const std::vector<int>& rows, int before);
    void moveSelected(int step);
    // Sorts the whole list (see sortRows); the selection follows its rows.
    void sort(RowOrder by, bool reversed);

    // While a run places the rows one by one, their order stays as it is: moves, sorts,
    // removals, an opened list, undo and redo are refused, so that no photo is skipped or
    // placed twice (new rows may still be appended, fields still edited, as the run reads
    // each row when it places it).
    void setOrderLocked(bool locked) { orderLocked_ = locked; }
    bool orderLocked() const { return orderLocked_; }

    QUndoStack& undoStack() const { return *undo_; }
    PhotoRowModel& model() const { return *model_; }

    // Paints the three lists now, without processing any event.
    void repaintNow();

    // The widest row text of `list` in its font ("" for an empty list; the first of
    // equally wide texts).
    static QString widestText(const ExtentListView& list);

    ExtentListView* pathList() const { return paths_; }
    ExtentListView* rotationList() const { return rotations_; }
    ExtentListView* nameList() const { return names_; }

signals:
    // The current row of the lists changed to `row` (never -1).
    void rowChosen(int row);

private:
    void connectScrollSync();
    // One undoable step that removes every row (nothing when the list is empty).
    void removeEveryRow(const QString& description);
    void fitPathExtents();
    void setExtent(ExtentListView* list, const QString& text);
    void editField(int row, int column, const QString& text, const QString& description);
    bool valid(int row) const { return row >= 0 && row < rowCount(); }

    ExtentListView* paths_;
    ExtentListView* rotations_;
    ExtentListView* names_;
    PhotoRowModel* model_;
    QUndoStack* undo_;
    bool scrollSyncing_ = false;
    bool orderLocked_ = false;
};

} // namespace tav
