#include "platform/dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

namespace tav {

namespace {

QMessageBox::Icon toQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

bool installJapaneseQtTexts() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return false;
    }
    auto* translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void QtDialogs::message(QWidget* parent, const QString& text, const QString& title,
                        MessageIcon icon) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::askYesNo(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::browseForFolder(QWidget* parent, const QString& prompt, const QString& initial) {
    const QString chosen =
        QFileDialog::getExistingDirectory(parent, prompt, initial, QFileDialog::ShowDirsOnly);
    return chosen.isEmpty() ? initial : chosen;
}

QString QtDialogs::chooseFile(QWidget* parent, FileChoice choice, const QString& title,
                              const QString& initial, const QString& filter) {
    return choice == FileChoice::Open
               ? QFileDialog::getOpenFileName(parent, title, initial, filter)
               : QFileDialog::getSaveFileName(parent, title, initial, filter);
}

} // namespace tav
