#include "platform/shell.h"

#include "platform/replaceable_default.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace tav {

bool desktopFileInstalled(const QString& id) {
    if (id.isEmpty() || id.contains(QLatin1Char('/'))) {
        return false;
    }
    QString candidate = id;
    for (;;) {
        if (!QStandardPaths::locate(QStandardPaths::ApplicationsLocation, candidate).isEmpty()) {
            return true;
        }
        const qsizetype dash = candidate.indexOf(QLatin1Char('-'));
        if (dash < 0) {
            return false;
        }
        candidate[dash] = QLatin1Char('/');
    }
}

bool DesktopShell::hasAssociatedProgram(const QString& path) {
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForStarted(3000)) {
        return true; // the desktop cannot be asked: let xdg-open try
    }
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return true;
    }
    const QString answer = QString::fromLocal8Bit(query.readAllStandardOutput());
    const QString id = answer.section(QLatin1Char('\n'), 0, 0).trimmed();
    return desktopFileInstalled(id);
}

bool DesktopShell::openDocument(const QString& path) {
    if (!QFileInfo(path).isFile() || !hasAssociatedProgram(path)) {
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
ReplaceableDefault<Shell, DesktopShell> g_shell;
}

Shell& defaultShell() {
    return g_shell.get();
}

void setDefaultShell(Shell* shell) {
    g_shell.replace(shell);
}

} // namespace tav
