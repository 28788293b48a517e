#include "app/preview_port.h"

#if defined(TAVOLIN_HAVE_PREVIEW)
#include "preview/preview_controller.h"
#endif

namespace tav {

#if defined(TAVOLIN_HAVE_PREVIEW)

namespace {

class ControllerPort final : public PreviewPort {
public:
    ControllerPort(QWidget* mainWindow, QWidget* waitWindow, Dialogs& dialogs, QObject* parent)
        : controller_(new PreviewController(mainWindow, waitWindow, dialogs, parent)) {}

    void showPicture(const QString& path, const QString& code) override {
        controller_->showPicture(path, code);
    }
    void rowChosen(const QString& path, const QString& code) override {
        controller_->rowChosen(path, code);
    }
    void fileClicked(const QString& path) override { controller_->fileClicked(path); }

private:
    PreviewController* controller_; // owned by its Qt parent
};

} // namespace

std::unique_ptr<PreviewPort> makePreview(QWidget* mainWindow, QWidget* waitWindow, Dialogs& dialogs,
                                         QObject* parent) {
    return std::make_unique<ControllerPort>(mainWindow, waitWindow, dialogs, parent);
}

#else

std::unique_ptr<PreviewPort> makePreview(QWidget*, QWidget*, Dialogs&, QObject*) {
    return nullptr;
}

#endif

} // namespace tav
