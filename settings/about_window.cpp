#include "settings/about_window.h"

#include "platform/paths.h"
#include "platform/twips.h"
#include "settings/program_info.h"

#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cmath>

// The icon lives in the settings library's resources; a static library must register
// them itself.
static void initProgramIconResource() {
    Q_INIT_RESOURCE(tavolin_icon);
}

namespace tav {

namespace {

// Whole number nearest to `value`, halves to the even neighbour (nearbyint rounds in
// the current mode, which is to-nearest-even by default).
long long roundHalfEven(double value) {
    return static_cast<long long>(std::nearbyint(value));
}

// Scales a font whether its size is given in pixels or in points.
void scaleFont(QFont& font, double factor) {
    if (font.pixelSize() > 0) {
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * factor))));
    } else if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * factor);
    }
}

} // namespace

QIcon programIcon() {
    initProgramIconResource();
    return QIcon(QStringLiteral(":/tavolin/tavolin.png"));
}

QString aboutCaption() {
    return kProgramTitle + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報");
}

QString aboutVersionText(int major, int minor, int revision) {
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QString::number(major) + QLatin1Char('.') +
           QString::number(minor) + QLatin1Char('.') + QString::number(revision);
}

QString aboutDescriptionText() {
    return QStringLiteral("本ソフトは、Microsoft Excel(TM)に画像を貼り付けるものです。"
                          "Windows2000,WindowsXPとExcel97,Excel2000,Excel2002の組み合わせで"
                          "動作確認済みです。セキュリティ設定の程度によりますが、"
                          "Excel2007でも動作します。");
}

QString aboutDisclaimerText() {
    return QStringLiteral("本ソフトは無償で再配布できます。同梱のファイルを含め、改変せずに"
                          "そのままの形で配布して下さい。使用による損害について作者は"
                          "責任を負いません。");
}

QPoint aboutWindowPositionTwips(double screenWidth, double screenHeight, double windowWidth,
                                double windowHeight) {
    // Integer division truncates toward zero, so a window larger than the screen gets a
    // small negative offset, never a rounded-away one.
    const long long left = roundHalfEven(screenWidth - windowWidth) / 2;
    const long long top = roundHalfEven(screenHeight - windowHeight) / 3;
    return {static_cast<int>(left), static_cast<int>(top)};
}

bool GetKeyValue(Registry& registry, RegistryRoot root, const QString& keyPath,
                 const QString& valueName, QString& text) {
    text.clear();
    Registry::Key key = 0;
    if (!registry.openKey(root, keyPath, reg::AllAccess, key)) {
        return false;
    }
    std::uint32_t type = 0;
    QByteArray data;
    bool found = false;
    if (registry.queryValue(key, valueName, reg::ValueBufferBytes, type, data)) {
        if (data.size() > reg::ValueBufferBytes) {
            data.truncate(reg::ValueBufferBytes);
        }
        if (!data.isEmpty() && data.back() == '\0') {
            data.chop(1);
        }
        if (type == reg::TypeString) {
            text = QString::fromLocal8Bit(data);
            found = true;
        }
    }
    registry.closeKey(key);
    return found;
}

QString findSysInfoTool(Registry& registry) {
    QString value;
    if (GetKeyValue(registry, RegistryRoot::LocalMachine, kSysInfoPathKey, kSysInfoPathValue,
                    value)) {
        return value;
    }
    if (GetKeyValue(registry, RegistryRoot::LocalMachine, kSysInfoFolderKey, kSysInfoFolderValue,
                    value)) {
        const QString path = joinPath(value, kSysInfoFileName);
        const QFileInfo info(path);
        if (info.isFile() && !info.isHidden()) {
            return path;
        }
    }
    return {};
}

QString sysInfoUnavailableMessage() {
    return QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");
}

bool StartSysInfo(Registry& registry, Shell& shell, Dialogs& dialogs, QWidget* parent) {
    const QString path = findSysInfoTool(registry);
    if (!path.isEmpty() && shell.startProgram(path)) {
        return true;
    }
    dialogs.message(parent, sysInfoUnavailableMessage(), kProgramTitle, MessageIcon::None);
    return false;
}

FrmAbout::FrmAbout(QWidget* parent, Dialogs& dialogs, Registry& registry, Shell& shell)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), registry_(registry), shell_(shell) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    buildControls();
    load();
}

void FrmAbout::buildControls() {
    // The owner's font, so the window reads like the rest of the program; a Japanese
    // Gothic face when it stands alone.
    if (parentWidget() != nullptr) {
        setFont(parentWidget()->font());
    } else {
        QFont gothic;
        gothic.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
                            QStringLiteral("IPAGothic")});
        gothic.setPixelSize(12);
        setFont(gothic);
    }
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setFixedSize(twipsToPixels(ClientWidthTwips), twipsToPixels(ClientHeightTwips));
    setWindowIcon(programIcon());

    picIcon_ = new QLabel(this);
    picIcon_->setObjectName(QStringLiteral("picIcon"));
    picIcon_->setGeometry(twipsToPixels(240), twipsToPixels(240), twipsToPixels(540),
                          twipsToPixels(540));
    picIcon_->setPixmap(programIcon().pixmap(twipsToPixels(540), twipsToPixels(540)));
    picIcon_->setAlignment(Qt::AlignCenter);

    lblTitle_ = new QLabel(QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ"), this);
    lblTitle_->setObjectName(QStringLiteral("lblTitle"));
    lblTitle_->setGeometry(twipsToPixels(1050), twipsToPixels(240), twipsToPixels(4440),
                           twipsToPixels(480));
    QFont titleFont = lblTitle_->font();
    scaleFont(titleFont, 1.6);
    titleFont.setBold(true);
    lblTitle_->setFont(titleFont);
    lblTitle_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    lblVersion_ = new QLabel(QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), this);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));
    lblVersion_->setGeometry(twipsToPixels(1050), twipsToPixels(780), twipsToPixels(4440),
                             twipsToPixels(270));

    lblDescription_ = new QLabel(aboutDescriptionText(), this);
    lblDescription_->setObjectName(QStringLiteral("lblDescription"));
    lblDescription_->setGeometry(twipsToPixels(1050), twipsToPixels(1095), twipsToPixels(4500),
                                 twipsToPixels(1290));
    lblDescription_->setWordWrap(true);
    lblDescription_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // An etched separator: a dark line with a light one under it.
    for (int i = 0; i < 2; ++i) {
        QFrame* line = new QFrame(this);
        line->setObjectName(QStringLiteral("Line1(%1)").arg(i));
        line->setGeometry(twipsToPixels(105), twipsToPixels(2445) + i, twipsToPixels(5520), 1);
        line->setFrameShape(QFrame::NoFrame);
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, i == 0 ? QColor(128, 128, 128) : QColor(255, 255, 255));
        line->setPalette(palette);
        line1_[i] = line;
    }

    lblDisclaimer_ = new QLabel(aboutDisclaimerText(), this);
    lblDisclaimer_->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer_->setGeometry(twipsToPixels(255), twipsToPixels(2565), twipsToPixels(3870),
                                twipsToPixels(915));
    lblDisclaimer_->setWordWrap(true);
    lblDisclaimer_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont smallFont = lblDisclaimer_->font();
    scaleFont(smallFont, 0.9);
    lblDisclaimer_->setFont(smallFont);

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(twipsToPixels(4245), twipsToPixels(2625), twipsToPixels(1260),
                        twipsToPixels(375));
    cmdOK_->setDefault(true);
    cmdOK_->setAutoDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, &QWidget::close);

    cmdSysInfo_ = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
    cmdSysInfo_->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo_->setGeometry(twipsToPixels(4245), twipsToPixels(3075), twipsToPixels(1260),
                             twipsToPixels(375));
    connect(cmdSysInfo_, &QPushButton::clicked, this, [this] { StartSysInfo(); });

    cmdOK_->setFocus();
}

void FrmAbout::load() {
    setWindowTitle(aboutCaption());
    lblVersion_->setText(aboutVersionText(kVersionMajor, kVersionMinor, kVersionRevision));
    lblTitle_->setText(kProgramTitle);
}

void FrmAbout::StartSysInfo() {
    tav::StartSysInfo(registry_, shell_, dialogs_, this);
}

bool FrmAbout::GetKeyValue(RegistryRoot root, const QString& keyPath, const QString& valueName,
                           QString& text) {
    return tav::GetKeyValue(registry_, root, keyPath, valueName, text);
}

void FrmAbout::returnToPlace() {
    QScreen* screen = this->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    const QPoint twips = aboutWindowPositionTwips(
        double(area.width()) * TwipsPerPixel, double(area.height()) * TwipsPerPixel,
        double(outer.width()) * TwipsPerPixel, double(outer.height()) * TwipsPerPixel);
    const QPoint place =
        area.topLeft() + QPoint(twipsToPixels(twips.x()), twipsToPixels(twips.y()));
    if (pos() != place) {
        move(place);
    }
}

void FrmAbout::paintEvent(QPaintEvent* event) {
    returnToPlace();
    QDialog::paintEvent(event);
}

void FrmAbout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK_->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

FrmAbout* showAboutWindow(QPointer<FrmAbout>& window, QWidget* owner, Dialogs& dialogs,
                          Registry& registry, Shell& shell) {
    if (window.isNull()) {
        window = new FrmAbout(owner, dialogs, registry, shell);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window.data();
}

} // namespace tav
