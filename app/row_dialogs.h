// The small dialogs that edit one field of the selection list's current row: frmName
// (display name), frmRound (rotation) and frmNote (note). All are modeless, are created once
// and then only shown and hidden, and have no default or cancel button (Enter and
// Escape press nothing).
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tav {

class SelectionList;

// What the dialogs share: a fixed-size modeless window over the main window, one
// field, a "設定" button that writes the field to the selection list's current row and
// a "ｷｬﾝｾﾙ" button that hides the dialog.
class RowDialog : public QWidget {
    Q_OBJECT
public:
    QPushButton* setButton = nullptr;    // CmdSet
    QPushButton* cancelButton = nullptr; // CmdCancel

protected:
    RowDialog(SelectionList& list, QWidget* parent, const char* name, const QString& title,
              int widthTwips, int heightTwips);
    // Adds the two buttons, placed in twips, after `field` in the tab order.
    void addButtons(QWidget* field, const QRect& setTwips, const QRect& cancelTwips);
    // Shows the dialog in front of the main window, active.
    void present();
    // "設定": writes the field to the current row and hides the dialog.
    virtual void set() = 0;

    SelectionList& list_;
};

// frmName: the display name of the current row.
class NameDialog : public RowDialog {
    Q_OBJECT
public:
    NameDialog(SelectionList& list, QWidget* parent);

    // Fills the text box with the current row's file name (the text after the path's
    // last separator; unchanged when there is none) and shows the dialog.
    void openForCurrentRow();

    // The file name put into the text box when the dialog was last opened.
    QString nameBeforeEditing() const { return nameBefore_; }

    QLineEdit* nameEdit; // txtFileName

private:
    void set() override;

    QString nameBefore_;
};

// frmRound: the rotation code of the current row.
class RotationDialog : public RowDialog {
    Q_OBJECT
public:
    RotationDialog(SelectionList& list, QWidget* parent);

    // Puts the current row's rotation code into the combo box and shows the dialog.
    void openForCurrentRow();

    QComboBox* codeCombo; // CmbRound

signals:
    // "設定" wrote `code` to the row whose image is `path`: the preview should show it so.
    void redrawRequested(const QString& path, const QString& code);

private:
    void set() override;

    bool setting_ = false;
};

// frmNote: the note of the current row, several lines (Enter starts a new line).
class NoteDialog : public RowDialog {
    Q_OBJECT
public:
    NoteDialog(SelectionList& list, QWidget* parent);

    // Fills the text box with the current row's note and shows the dialog, the text
    // selected; nothing without a current row.
    void openForCurrentRow();

    QLabel* photoLabel;       // LblPhoto: the file name of the row the dialog was opened for
    QPlainTextEdit* noteEdit; // txtNote

private:
    void set() override;
};

} // namespace tav
