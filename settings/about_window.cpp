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

bool readRegistryString(Registry& registry, RegistryRoot root, const QString& keyPath,
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
    if (readRegistryString(registry, RegistryRoot::LocalMachine, kSysInfoPathKey, kSysInfoPathValue,
                           value)) {
        return value;
    }
    if (readRegistryString(registry, RegistryRoot::LocalMachine, kSysInfoFolderKey,
                           kSysInfoFolderValue, value)) {
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

bool startSysInfoTool(Registry& registry, Shell& shell, Dialogs& dialogs, QWidget* parent) {
    const QString path = findSysInfoTool(registry);
    if (!path.isEmpty() && shell.startProgram(path)) {
        return true;
    }
    dialogs.message(parent, sysInfoUnavailableMessage(), kProgramTitle, MessageIcon::None);
    return false;
}

AboutWindow::AboutWindow(QWidget* parent, Dialogs& dialogs, Registry& registry, Shell& shell)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      dialogs_(dialogs), registry_(registry), shell_(shell) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setUpWindow();
    buildTexts();
    buildSeparator();
    buildButtons();
    setWindowTitle(aboutCaption());
    version_->setText(aboutVersionText(kVersionMajor, kVersionMinor, kVersionRevision));
    title_->setText(kProgramTitle);
}

void AboutWindow::setUpWindow() {
    // The owner's font, so the window reads like the rest of the program; the program's
    // own when it stands alone.
    setFont(parentWidget() != nullptr ? parentWidget()->font() : programFont());
    setFixedSize(twipsToPixels(ClientWidthTwips), twipsToPixels(ClientHeightTwips));
    setWindowIcon(programIcon());
}

QLabel* AboutWindow::addLabel(const char* name, const QString& text, int left, int top, int width,
                              int height) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    placeTwips(label, left, top, width, height);
    return label;
}

void AboutWindow::buildTexts() {
    QLabel* icon = addLabel("picIcon", QString(), 240, 240, 540, 540);
    icon->setPixmap(programIcon().pixmap(twipsToPixels(540), twipsToPixels(540)));
    icon->setAlignment(Qt::AlignCenter);

    title_ = addLabel("lblTitle", QString(), 1050, 240, 4440, 480);
    QFont titleFont = title_->font();
    scaleFont(titleFont, 1.6);
    titleFont.setBold(true);
    title_->setFont(titleFont);
    title_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    version_ = addLabel("lblVersion", QString(), 1050, 780, 4440, 270);

    QLabel* description =
        addLabel("lblDescription", aboutDescriptionText(), 1050, 1095, 4500, 1290);
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    QLabel* disclaimer = addLabel("lblDisclaimer", aboutDisclaimerText(), 255, 2565, 3870, 915);
    disclaimer->setWordWrap(true);
    disclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont smallFont = disclaimer->font();
    scaleFont(smallFont, 0.9);
    disclaimer->setFont(smallFont);
}

void AboutWindow::buildSeparator() {
    // An etched line: a dark line with a light one under it.
    for (int i = 0; i < 2; ++i) {
        auto* line = new QFrame(this);
        line->setObjectName(QStringLiteral("Line1(%1)").arg(i));
        line->setGeometry(twipsToPixels(105), twipsToPixels(2445) + i, twipsToPixels(5520), 1);
        line->setFrameShape(QFrame::NoFrame);
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, i == 0 ? QColor(128, 128, 128) : QColor(255, 255, 255));
        line->setPalette(palette);
    }
}

void AboutWindow::buildButtons() {
    okButton_ = new QPushButton(QStringLiteral("OK"), this);
    okButton_->setObjectName(QStringLiteral("cmdOK"));
    placeTwips(okButton_, 4245, 2625, 1260, 375);
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &QWidget::close);

    auto* sysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    placeTwips(sysInfo, 4245, 3075, 1260, 375);
    connect(sysInfo, &QPushButton::clicked, this,
            [this] { startSysInfoTool(registry_, shell_, dialogs_, this); });

    okButton_->setFocus();
}

void AboutWindow::returnToPlace() {
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

void AboutWindow::paintEvent(QPaintEvent* event) {
    returnToPlace();
    QDialog::paintEvent(event);
}

void AboutWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        okButton_->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

AboutWindow* showAboutWindow(QPointer<AboutWindow>& window, QWidget* owner, Dialogs& dialogs,
                             Registry& registry, Shell& shell) {
    if (window.isNull()) {
        window = new AboutWindow(owner, dialogs, registry, shell);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window.data();
}

} // namespace tav
