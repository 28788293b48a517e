#include "app/wait_window.h"

#include "platform/twips.h"

#include <QLabel>
#include <QScreen>

namespace tav {

WaitWindow::WaitWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmWait"));
    setWindowTitle(QStringLiteral("お待ちください"));
    setFixedSize(twipsToPixels(4500), twipsToPixels(900));
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* label = new QLabel(QStringLiteral("画像処理中・・・　お待ちください"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setGeometry(rect());
}

void WaitWindow::showEvent(QShowEvent* event) {
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.center() - rect().center());
    }
    QWidget::showEvent(event);
}

} // namespace tav
