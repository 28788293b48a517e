// tavolin: the desktop program. It takes no arguments and reads no environment
// variables; its only configuration is the settings file beside it.
#include "app/main_window.h"
#include "platform/browser_file_system.h"
#include "platform/dialogs.h"
#include "platform/heap.h"
#include "platform/profile_strings.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    tav::reuseHeapForLargePictures();
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false); // the main window's shutdown ends the program
    tav::installJapaneseQtTexts();

    tav::QtDialogs dialogs;
    tav::LocalFileSystem fileSystem;
    tav::IniProfileStrings profiles;
    tav::MainWindowEnvironment env;
    env.dialogs = &dialogs;
    env.fileSystem = &fileSystem;
    env.profiles = &profiles;
    env.programFolder = QCoreApplication::applicationDirPath();
    env.startFolder = QDir::currentPath();

    tav::MainWindow window(env);
    QObject::connect(&window, &tav::MainWindow::programEnded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.startUp();
    window.show();
    return app.exec();
}
