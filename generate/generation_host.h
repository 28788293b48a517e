// What the generation run needs from whoever starts it: the main window, or the batch
// command without windows. The run reads the selection list through it, makes each row
// current as it places it, lets the host process pending events once per picture (and
// asks then whether to stop), asks and informs the user through its Dialogs, and shows
// its progress.
#pragma once

#include "generate/page_layout.h"

#include <QString>

class QWidget;

namespace tav {

class Dialogs;

// The inputs the run reads from the window when it starts.
struct GenerationJob {
    QString folder;   // `LblFolderName`: target folder
    QString fileName; // `txtExcelName`: workbook file name
    LayoutChoice layout;
    bool withCaptions = true;          // `ChkMakeFileName`: a caption with every picture
    bool captionsKeepExtension = true; // `ChkMakeKaku`: captions keep the file's extension
    bool renameToDisplayNames = false; // `ChkNameChange`: offer to rename image files to
                                       // their display names
    QString title;                     // `txtExcelTitle`
    QString subject;                   // `txtHyoudai`
    QString author;                    // `txtOwnerName`
    QString comment;                   // `txtComment`
    QString programFolder;             // where ExcelBook.org lies
    // In the notes layouts, a row without a note gets "撮影日 2026/12/07 10:15", the
    // date its photo was taken (else the file's time).
    bool fillEmptyNotesWithDateTaken = false;
};

class GenerationHost {
public:
    virtual ~GenerationHost() = default;

    // The selection list (0-based rows).
    virtual int rowCount() const = 0;
    virtual QString rowPath(int row) const = 0;
    virtual QString rowRotation(int row) const = 0;    // a rotation code, any text
    virtual QString rowDisplayName(int row) const = 0; // "ファイル名と同じ" or a name
    // The row's note, printed in the notes layouts' ruled area; hosts whose rows have no
    // notes keep this.
    virtual QString rowNote(int /*row*/) const { return QString(); }
    virtual void setRowPath(int row, const QString& path) = 0;
    // Makes the row current, exactly as if the user had chosen it (the preview follows).
    virtual void makeRowCurrent(int row) = 0;

    // Lets the host process its pending events once.
    virtual void processEvents() = 0;
    // True once the user asked to stop (the window is being closed, the batch command
    // got SIGINT or SIGTERM). The run asks after every step that let events in, stops
    // there, and leaves the target and the photos as they were.
    virtual bool stopRequested() const { return false; }

    // Message boxes and the yes/no question, with the parent they belong to.
    virtual Dialogs& dialogs() = 0;
    virtual QWidget* dialogParent() { return nullptr; }

    // The busy (hourglass) or the default mouse pointer.
    virtual void setBusyPointer(bool busy) = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    virtual void setShowWorkbookEnabled(bool enabled) = 0;
    // Pictures placed so far of all; called with (0, n) when the placing starts and
    // with (-1, -1) when the run is over, however it ended.
    virtual void setProgress(int done, int total) = 0;

    // The workbook a run has written, kept for showing it (CmdShowExcel); called only
    // when a run completes.
    virtual void setResultWorkbookPath(const QString& path) = 0;

    // Called before a failure report ends the program: write the settings file as a
    // normal close does, then end the program (for a window: close it and leave the
    // event loop; the run returns normally afterwards).
    virtual void writeSettings() = 0;
    virtual void endProgram() = 0;
};

} // namespace tav
