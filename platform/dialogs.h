// Message boxes, yes/no questions, the folder browser and the file dialog, behind one small
// interface so that tests and the batch command can answer them without a person.
#pragma once

#include <QString>

class QWidget;

namespace tav {

// The program's title: the title of every message box that has none of its own.
inline const QString kProgramTitle = QStringLiteral("Tavolin");

enum class MessageIcon { None, Exclamation, Information, Critical };

// What a file dialog asks for: a file that exists, to be opened, or a file to save to.
enum class FileChoice { Open, Save };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box with an OK button only.
    virtual void message(QWidget* parent, const QString& text, const QString& title,
                         MessageIcon icon) = 0;

    // A question with Yes and No (Yes is the default button), no icon. True for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text, const QString& title) = 0;

    // The folder browser, opening on `initial`. Returns the chosen folder, or `initial`
    // unchanged when the user cancels.
    virtual QString browseForFolder(QWidget* parent, const QString& prompt,
                                    const QString& initial) = 0;

    // The file dialog, opening on `initial` (a folder, or a file to start from) and
    // showing the files of `filter` ("名前 (*.tsv);;…"). Saving asks before an existing
    // file is replaced. Returns the chosen file, "" when the user cancels.
    virtual QString chooseFile(QWidget* parent, FileChoice choice, const QString& title,
                               const QString& initial, const QString& filter) = 0;
};

// Makes Qt's own texts Japanese (the standard buttons "はい"/"いいえ", the folder browser,
// the context menus of edit fields), whatever the locale the program runs under, from
// the Japanese catalogue Qt installs (Debian package qt6-translations-l10n). Call once
// after the application object exists. False when the catalogue is missing; Qt's
// texts then stay English.
bool installJapaneseQtTexts();

// QMessageBox / QFileDialog implementation.
class QtDialogs final : public Dialogs {
public:
    void message(QWidget* parent, const QString& text, const QString& title,
                 MessageIcon icon) override;
    bool askYesNo(QWidget* parent, const QString& text, const QString& title) override;
    QString browseForFolder(QWidget* parent, const QString& prompt,
                            const QString& initial) override;
    QString chooseFile(QWidget* parent, FileChoice choice, const QString& title,
                       const QString& initial, const QString& filter) override;
};

} // namespace tav
