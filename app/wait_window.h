// frmWait: a border-less note "画像処理中・・・　お待ちください", centred on the screen and
// kept out of the task bar, that the preview shows while it prepares a picture.
#pragma once

#include <QWidget>

namespace tav {

class WaitWindow : public QWidget {
    Q_OBJECT
public:
    explicit WaitWindow(QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace tav
