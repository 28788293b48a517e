// What the selection list offers beyond its three buttons: moving rows, sorting, undo and
// redo, the note dialog, saving and opening a list file, and registering photos and
// folders dropped from a file manager. Each command is a QAction with its shortcut; the
// lists show them in their context menu, and the window puts some behind small buttons.
//
// Shortcuts: Ctrl+Up / Ctrl+Down move the selected rows, F2 edits the current row's note
// (in the lists); Ctrl+Z / Ctrl+Y undo and redo, Ctrl+S / Ctrl+O save and open the list
// (anywhere in the window, except that an edit field keeps its own Ctrl+Z).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace tav {

class BrowserFileSystem;
class Dialogs;
class NoteDialog;
class SelectionList;

// The pictures that dropping `dropped` (files and folders, full paths) registers, in
// order: a picture file as it is, a folder's pictures (not its subfolders) in natural
// file-name order; files the file list would not show are left out. Folders that cannot
// be read are named in `unreadable`.
QStringList picturesToRegister(BrowserFileSystem& fileSystem, const QStringList& dropped,
                               QStringList* unreadable = nullptr);

struct ListActionsContext {
    SelectionList* list = nullptr;
    NoteDialog* noteDialog = nullptr;
    Dialogs* dialogs = nullptr;
    BrowserFileSystem* fileSystem = nullptr;
    QWidget* window = nullptr;
    // The rotation code new rows get (CmbKaiten's text).
    std::function<QString()> rotationCode;
    // Where the list file dialogs open when no list was saved or opened yet.
    std::function<QString()> defaultFolder;
};

class ListActions : public QObject {
    Q_OBJECT
public:
    explicit ListActions(const ListActionsContext& context, QObject* parent = nullptr);

    QAction* moveUp;
    QAction* moveDown;
    QAction* sortByName;
    QAction* sortByNameReversed;
    QAction* sortByDate;
    QAction* sortByDateReversed;
    QAction* editNote;
    QAction* undo;
    QAction* redo;
    QAction* saveList;
    QAction* openList;

    // The sort entries (for the sort button) and the lists' context menu.
    QMenu* sortMenu() const { return sortMenu_; }
    QMenu* contextMenu() const { return contextMenu_; }

    // Registers what was dropped from a file manager (see picturesToRegister) with the
    // rotation code of new rows; says so when nothing could be registered.
    void registerDropped(const QStringList& paths);

    // Asks for a file and saves the list to it / opens the list from it. A list that
    // cannot be read or written gets a message and changes nothing.
    void saveListFile();
    void openListFile();

    // While a run works, the commands that change the order of the rows (moves, sorts,
    // opening a list, undo, redo) are off and the list refuses them.
    void setRunning(bool running);

    // The list file saved or opened last (empty before).
    const QString& listFile() const { return listFile_; }

private:
    QAction* action(const QString& text, const QKeySequence& key, std::function<void()> run);
    void buildMenus();
    // Where the file dialogs open: the last list file, else the default folder.
    QString dialogStart() const;

    void updateUndoRedo();

    ListActionsContext context_;
    QMenu* sortMenu_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QString listFile_;
};

} // namespace tav
