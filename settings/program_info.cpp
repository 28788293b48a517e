#include "settings/program_info.h"

// The icon lives in the settings library's resources; a static library must register
// them itself.
static void initProgramIconResource() {
    Q_INIT_RESOURCE(tavolin_icon);
}

namespace tav {

QIcon programIcon() {
    initProgramIconResource();
    return QIcon(QStringLiteral(":/tavolin/tavolin.png"));
}

QFont programFont() {
    QFont font;
    font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("IPAGothic")});
    font.setPixelSize(12);
    return font;
}

} // namespace tav
