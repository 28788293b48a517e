// What the main window asks of the preview pane. The window and the row dialogs talk to
// the preview only through this interface, so they can be tested with a recording
// double and the preview can be built and tested on its own.
#pragma once

#include <QString>

#include <memory>

class QObject;

namespace tav {

class Dialogs;
struct PreviewControls;

class PreviewPort {
public:
    virtual ~PreviewPort() = default;

    // Shows `path` turned by rotation code `code`; the previewed path stays as it was.
    virtual void showPicture(const QString& path, const QString& code) = 0;
    // A row of the selection list became current: preview that row's file and code.
    virtual void rowChosen(const QString& path, const QString& code) = 0;
    // A file of the file browser was clicked.
    virtual void fileClicked(const QString& path) = 0;
};

// The preview of the program, driving the main window's preview controls.
std::unique_ptr<PreviewPort> makePreview(const PreviewControls& controls, Dialogs& dialogs,
                                         QObject* parent);

} // namespace tav
