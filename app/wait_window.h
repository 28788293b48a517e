// frmWait: the note "画像処理中・・・　お待ちください" that the preview shows while it
// prepares a picture. It lies over the preview pane of the main window, where the
// picture is about to appear, and lets every click through to what lies under it: it
// never covers the lists the user works in, and never takes a click meant for them.
#pragma once

#include <QWidget>

namespace tav {

class WaitWindow : public QWidget {
    Q_OBJECT
public:
    // A hidden note in `mainWindow`, centred over `area` (the preview pane, in the main
    // window's coordinates) and no wider than it.
    WaitWindow(QWidget* mainWindow, const QRect& area);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace tav
