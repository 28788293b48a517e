#include "preview/preview_controls.h"

#include <QComboBox>

namespace tav {

void fillMagnifications(QComboBox& combo) {
    combo.clear();
    for (int i = 1; i <= 9; ++i)
        combo.addItem(QStringLiteral("0.%1").arg(i));
    for (int i = 1; i <= 10; ++i)
        combo.addItem(QString::number(i));
    combo.setEditText(QStringLiteral("1"));
}

void fillRotationCodes(QComboBox& combo) {
    combo.clear();
    combo.addItems({QStringLiteral("  0"), QStringLiteral(" 90"), QStringLiteral("180"),
                    QStringLiteral("270")});
    combo.setEditText(QStringLiteral("  0"));
}

} // namespace tav
