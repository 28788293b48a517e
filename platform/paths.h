// How files and folders are named on this platform: "/" separates, and the root "/"
// already ends in it (a folder that ends in the separator gets none added).
#pragma once

#include <QString>

namespace tav {

// `folder` and `fileName` joined by one separator, e.g. "/img" + "p1.jpg" gives
// "/img/p1.jpg" and "/" + "p1.jpg" gives "/p1.jpg".
inline QString joinPath(const QString& folder, const QString& fileName) {
    if (folder.endsWith(QLatin1Char('/'))) {
        return folder + fileName;
    }
    return folder + QLatin1Char('/') + fileName;
}

// The folder part of `path`: "/img/p1.jpg" gives "/img", "/p1.jpg" gives "/", a path
// without a separator gives ".".
inline QString folderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return QStringLiteral(".");
    }
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// The text after the last separator of `path` (all of it when there is none).
inline QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace tav
