#include "platform/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace tav {

bool DesktopShell::openDocument(const QString& path) {
    if (!QFileInfo::exists(path)) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopShell::startProgram(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable()) {
        return false;
    }
    return QProcess::startDetached(path, {});
}

namespace {
Shell* g_shell = nullptr;
}

Shell& defaultShell() {
    static DesktopShell desktop;
    return g_shell ? *g_shell : desktop;
}

void setDefaultShell(Shell* shell) {
    g_shell = shell;
}

} // namespace tav
