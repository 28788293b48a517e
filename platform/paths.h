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

} // namespace tav
