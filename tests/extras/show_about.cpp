// Shows the version window on the display for a few seconds, for screenshots:
//     DISPLAY=:92 extras_show_about [milliseconds]
#include "platform/dialogs.h"
#include "settings/about_window.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int ms = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    tav::QtDialogs dialogs;
    QPointer<tav::AboutWindow> window;
    tav::showAboutWindow(window, nullptr, dialogs);
    QTimer::singleShot(ms, &app, &QCoreApplication::quit);
    return app.exec();
}
