// The version window (frmAbout): the program's title, version and description, a notice
// on redistribution, and a button that starts the platform's system-information tool.
//
// At most one such window at a time: created on the first show, deleted when its OK
// button closes it, created again on the next show. It does not block the main window.
#pragma once

#include "platform/dialogs.h"
#include "platform/registry.h"
#include "platform/shell.h"

#include <QDialog>
#include <QPoint>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;

namespace tav {

// Caption of the loaded version window: the title followed by "のﾊﾞｰｼﾞｮﾝ情報".
QString aboutCaption();
// "ﾊﾞｰｼﾞｮﾝ " followed by major.minor.revision in plain decimal.
QString aboutVersionText(int major, int minor, int revision);
// The fixed texts of the window.
QString aboutDescriptionText();
QString aboutDisclaimerText();

// Where the version window sits, in twips: centred across the screen and one third of the
// way down it. The free room across and down is rounded to whole twips (halves to even)
// and then divided by two and by three, dropping the remainder.
QPoint aboutWindowPositionTwips(double screenWidth, double screenHeight, double windowWidth,
                                double windowHeight);

// Reads the string value `valueName` of `keyPath` under `root` into `text`. True when it
// was found; otherwise `text` becomes "". The key is opened with all access, the value is
// read into a buffer of 1024 bytes, a terminating zero byte is dropped, and the key is
// closed again in every case. Values of other types than strings count as not found.
bool readRegistryString(Registry& registry, RegistryRoot root, const QString& keyPath,
                        const QString& valueName, QString& text);

// Path of the system-information tool: the value of location 1, else the file
// kSysInfoFileName in the folder of location 2 when that file exists. "" when neither.
QString findSysInfoTool(Registry& registry);

// Finds and starts the system-information tool; when it is not found or does not start,
// says so in a message box. True when the tool was started.
bool startSysInfoTool(Registry& registry, Shell& shell, Dialogs& dialogs, QWidget* parent);

// The message shown when no system-information tool can be used.
QString sysInfoUnavailableMessage();

class AboutWindow final : public QDialog {
    Q_OBJECT

public:
    // Size of the client area in twips.
    static constexpr int ClientWidthTwips = 5730;
    static constexpr int ClientHeightTwips = 3555;

    AboutWindow(QWidget* parent, Dialogs& dialogs, Registry& registry = defaultRegistry(),
                Shell& shell = defaultShell());

    // Moves the window to its place: centred, one third down its screen.
    void returnToPlace();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Escape presses OK, as Enter does through the default button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setUpWindow();
    void buildTexts();
    void buildSeparator();
    void buildButtons();
    QLabel* addLabel(const char* name, const QString& text, int left, int top, int width,
                     int height);

    Dialogs& dialogs_;
    Registry& registry_;
    Shell& shell_;

    QLabel* title_ = nullptr;
    QLabel* version_ = nullptr;
    QPushButton* okButton_ = nullptr;
};

// The version button: creates the window in `window` when there is none, shows it
// without blocking `owner`, and brings it forward. Returns the window.
AboutWindow* showAboutWindow(QPointer<AboutWindow>& window, QWidget* owner, Dialogs& dialogs,
                             Registry& registry = defaultRegistry(), Shell& shell = defaultShell());

} // namespace tav
