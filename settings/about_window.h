// The version window frmAbout: the program's title, version and description, a notice on
// redistribution, and a button that starts the platform's system-information tool.
//
// One window per program run: created on the first show, deleted when cmdOK closes it,
// created again on the next show. It does not block the main window.
#pragma once

#include "platform/dialogs.h"
#include "platform/registry.h"
#include "platform/shell.h"

#include <QDialog>
#include <QIcon>
#include <QPoint>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;
class QFrame;

namespace tav {

// The program's icon (compiled into the program).
QIcon programIcon();

// Caption of the loaded version window: the title followed by "のﾊﾞｰｼﾞｮﾝ情報".
QString aboutCaption();
// "ﾊﾞｰｼﾞｮﾝ " followed by major.minor.revision in plain decimal.
QString aboutVersionText(int major, int minor, int revision);
// The fixed texts of the window.
QString aboutDescriptionText();
QString aboutDisclaimerText();

// Where the version window sits, in twips: left = (screen width − window width) \ 2 and
// top = (screen height − window height) \ 3, each difference first rounded to a whole
// number (halves to even) and the division dropping the remainder. So the window is
// centred horizontally and one third down the screen.
QPoint aboutWindowPositionTwips(double screenWidth, double screenHeight, double windowWidth,
                                double windowHeight);

// Reads the string value `valueName` of `keyPath` under `root` into `text`. True when it
// was found; otherwise `text` becomes "". The key is opened with all access, the value is
// read into a buffer of 1024 bytes, a terminating zero byte is dropped, and the key is
// closed again in every case. Values of other types than strings count as not found.
bool GetKeyValue(Registry& registry, RegistryRoot root, const QString& keyPath,
                 const QString& valueName, QString& text);

// Path of the system-information tool: the value of location 1, else the file
// kSysInfoFileName in the folder of location 2 when that file exists. "" when neither.
QString findSysInfoTool(Registry& registry);

// Finds and starts the system-information tool; when it is not found or does not start,
// says so in a message box. True when the tool was started.
bool StartSysInfo(Registry& registry, Shell& shell, Dialogs& dialogs, QWidget* parent);

// The message shown when no system-information tool can be used.
QString sysInfoUnavailableMessage();

class FrmAbout final : public QDialog {
    Q_OBJECT

public:
    // Size of the client area in twips.
    static constexpr int ClientWidthTwips = 5730;
    static constexpr int ClientHeightTwips = 3555;

    FrmAbout(QWidget* parent, Dialogs& dialogs, Registry& registry = defaultRegistry(),
             Shell& shell = defaultShell());

    // The window's handler of cmdSysInfo.
    void StartSysInfo();
    bool GetKeyValue(RegistryRoot root, const QString& keyPath, const QString& valueName,
                     QString& text);

    // Moves the window to its place: centred, one third down its screen.
    void returnToPlace();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Escape presses cmdOK, as Enter does through the default button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void load();

    Dialogs& dialogs_;
    Registry& registry_;
    Shell& shell_;

    QLabel* picIcon_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblDescription_ = nullptr;
    QLabel* lblDisclaimer_ = nullptr;
    QFrame* line1_[2] = {nullptr, nullptr};
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdSysInfo_ = nullptr;
};

// The version button: creates the window in `window` when there is none, shows it
// without blocking `owner`, and brings it forward. Returns the window.
FrmAbout* showAboutWindow(QPointer<FrmAbout>& window, QWidget* owner, Dialogs& dialogs,
                          Registry& registry = defaultRegistry(), Shell& shell = defaultShell());

} // namespace tav
