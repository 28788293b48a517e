// tavolin: the desktop program. It takes no arguments and reads no environment
// variables; its only configuration is the settings file beside it.
#include "app/main_window.h"
#include "platform/browser_file_system.h"
#include "platform/dialogs.h"
#include "platform/profile_strings.h"

#include <QApplication>
#include <QDir>

#include <malloc.h>

int main(int argc, char* argv[]) {
    // Decoded photos are tens of megabytes each; keep them in the reused heap instead of
    // fresh pages from the kernel for every preview and placed picture (bench/README.md).
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false); // the main window's shutdown ends the program

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
