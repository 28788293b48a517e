// The two small dialogs that edit one field of the selection list's current row:
// frmName (display name) and frmRound (rotation). Both are modeless, are created once
// and then only shown and hidden, and have no default or cancel button (Enter and
// Escape press nothing).
#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tav {

class SelectionList;

class NameDialog : public QWidget {
    Q_OBJECT
public:
    NameDialog(SelectionList& list, QWidget* parent);

    // Fills the text box with the current row's file name (the text after the path's
    // last separator; unchanged when there is none) and shows the dialog.
    void openForCurrentRow();

    // The file name put into the text box when the dialog was last opened.
    QString nameBeforeEditing() const { return nameBefore_; }

    QLineEdit* txtFileName;
    QPushButton* CmdSet;
    QPushButton* CmdCancel;

private:
    void set();

    SelectionList& list_;
    QString nameBefore_;
};

class RoundDialog : public QWidget {
    Q_OBJECT
public:
    RoundDialog(SelectionList& list, QWidget* parent);

    // Puts the current row's rotation code into the combo box and shows the dialog.
    void openForCurrentRow();

    QComboBox* CmbRound;
    QPushButton* CmdSet;
    QPushButton* CmdCancel;

signals:
    // "設定" wrote `code` to the row whose image is `path`: the preview should show it so.
    void redrawRequested(const QString& path, const QString& code);

private:
    void set();

    SelectionList& list_;
    bool setting_ = false;
};

} // namespace tav
