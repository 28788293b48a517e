#include "app/preview_port.h"

#include "preview/preview_controller.h"

namespace tav {

namespace {

class ControllerPort final : public PreviewPort {
public:
    ControllerPort(const PreviewControls& controls, Dialogs& dialogs, QObject* parent)
        : controller_(new PreviewController(controls, dialogs, parent)) {}

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

std::unique_ptr<PreviewPort> makePreview(const PreviewControls& controls, Dialogs& dialogs,
                                         QObject* parent) {
    return std::make_unique<ControllerPort>(controls, dialogs, parent);
}

} // namespace tav
