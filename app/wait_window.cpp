#include "app/wait_window.h"

#include <QFontMetrics>
#include <QLabel>

#include <algorithm>

namespace tav {

WaitWindow::WaitWindow(QWidget* mainWindow, const QRect& area) : QWidget(mainWindow) {
    setObjectName(QStringLiteral("frmWait"));
    setWindowTitle(QStringLiteral("お待ちください"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* label = new QLabel(QStringLiteral("画像処理中・・・　お待ちください"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setAutoFillBackground(true);
    const QFontMetrics metrics(label->font());
    const int width =
        std::min(area.width(), metrics.horizontalAdvance(label->text()) + 4 * metrics.height() / 3);
    const int height = std::min(area.height(), 3 * metrics.height());
    setGeometry(QRect(QPoint(0, 0), QSize(width, height))
                    .translated(area.center() - QPoint(width / 2, height / 2)));
    label->setGeometry(rect());
    hide();
}

void WaitWindow::showEvent(QShowEvent* event) {
    raise(); // over the canvas, which the preview may have moved up the stack
    QWidget::showEvent(event);
}

} // namespace tav
