// The version window as a widget (offscreen): its controls and texts after loading, its
// place on the screen, the keys that close it, and the system-information button.
#include "platform/testing/recording_shell.h"
#include "platform/testing/scripted_dialogs.h"
#include "settings/about_window.h"
#include "tests/extras/fake_registry.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace tav {

class AboutWindowTest : public QObject {
    Q_OBJECT

private:
    testing::ScriptedDialogs dialogs;
    testing::FakeRegistry registry;
    testing::RecordingShell shell;

    template <typename T> static T* child(QWidget* window, const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    static QPoint expectedPlace(QWidget* window) {
        const QRect screen = window->screen()->geometry();
        const QSize outer = window->frameGeometry().size();
        const QPoint twips = aboutWindowPositionTwips(screen.width() * 15.0, screen.height() * 15.0,
                                                      outer.width() * 15.0, outer.height() * 15.0);
        return screen.topLeft() + QPoint(twips.x() / 15, twips.y() / 15);
    }

private slots:
    void controlsAndTextsAfterLoading() {
        QPointer<AboutWindow> slot;
        AboutWindow* window = showAboutWindow(slot, nullptr, dialogs, registry, shell);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Tavolinのﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(child<QLabel>(window, "lblTitle")->text(), QStringLiteral("Tavolin"));
        QCOMPARE(child<QLabel>(window, "lblVersion")->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.1.0"));
        QVERIFY(child<QLabel>(window, "lblDescription")
                    ->text()
                    .startsWith(QStringLiteral("本ソフトは、Microsoft Excel(TM)に画像を")));
        QVERIFY(!child<QLabel>(window, "lblDisclaimer")->text().isEmpty());
        QVERIFY(!child<QLabel>(window, "picIcon")->pixmap().isNull());
        QVERIFY(child<QFrame>(window, "Line1(0)") != nullptr);
        QVERIFY(child<QFrame>(window, "Line1(1)") != nullptr);
        QPushButton* ok = child<QPushButton>(window, "cmdOK");
        QPushButton* sysInfo = child<QPushButton>(window, "cmdSysInfo");
        QVERIFY(ok->isDefault());
        QCOMPARE(sysInfo->text(), QStringLiteral("ｼｽﾃﾑ情報(&S)..."));
        // Client area of 5730 by 3555 twips at 15 twips per pixel, not resizable.
        QCOMPARE(window->size(), QSize(382, 237));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(!window->isModal());
        // Every text fits its label: no description line is cut off at the bottom.
        for (const char* name : {"lblDescription", "lblDisclaimer", "lblTitle", "lblVersion"}) {
            QLabel* label = child<QLabel>(window, name);
            if (label->wordWrap()) {
                QVERIFY2(label->heightForWidth(label->width()) <= label->height(), name);
            } else {
                QVERIFY2(label->sizeHint().height() <= label->height(), name);
                QVERIFY2(label->sizeHint().width() <= label->width(), name);
            }
        }
        window->close();
    }

    void secondShowBringsTheSameWindowForward() {
        QPointer<AboutWindow> slot;
        AboutWindow* first = showAboutWindow(slot, nullptr, dialogs, registry, shell);
        AboutWindow* second = showAboutWindow(slot, nullptr, dialogs, registry, shell);
        QCOMPARE(first, second);
        QVERIFY(second->isVisible());
        second->close();
        QTRY_VERIFY(slot.isNull()); // unloaded by closing
        AboutWindow* third = showAboutWindow(slot, nullptr, dialogs, registry, shell);
        QVERIFY(third != nullptr);
        QVERIFY(!slot.isNull());
        third->close();
    }

    void returnsToItsPlaceOnRepaint() {
        QPointer<AboutWindow> slot;
        AboutWindow* window = showAboutWindow(slot, nullptr, dialogs, registry, shell);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->repaint();
        QCOMPARE(window->pos(), expectedPlace(window));
        window->move(3, 5);
        QCOMPARE(window->pos(), QPoint(3, 5));
        window->repaint();
        QCOMPARE(window->pos(), expectedPlace(window));
        window->close();
    }

    void keysThatCloseTheWindow_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }

    void keysThatCloseTheWindow() {
        QFETCH(int, key);
        QPointer<AboutWindow> slot;
        AboutWindow* window = showAboutWindow(slot, nullptr, dialogs, registry, shell);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        QSignalSpy clicked(child<QPushButton>(window, "cmdOK"), &QPushButton::clicked);
        // The key goes to whichever control has the focus, as a user's would.
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(clicked.count(), 1);
        QTRY_VERIFY(slot.isNull());
        QCOMPARE(dialogs.messageCount(), 0);
    }

    void escapeWithTheSysInfoButtonFocusedStillCloses() {
        QPointer<AboutWindow> slot;
        AboutWindow* window = showAboutWindow(slot, nullptr, dialogs, registry, shell);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QPushButton* sysInfo = child<QPushButton>(window, "cmdSysInfo");
        sysInfo->setFocus();
        QTest::keyClick(sysInfo, Qt::Key_Escape);
        QTRY_VERIFY(slot.isNull());
        QVERIFY(shell.startedPrograms.isEmpty());
    }

    void sysInfoButtonStartsTheRegisteredTool() {
        registry.setString(kSysInfoPathKey, kSysInfoPathValue, QStringLiteral("/usr/bin/hardinfo"));
        QPointer<AboutWindow> slot;
        AboutWindow* window = showAboutWindow(slot, nullptr, dialogs, registry, shell);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::mouseClick(child<QPushButton>(window, "cmdSysInfo"), Qt::LeftButton);
        QCOMPARE(shell.startedPrograms, QStringList{QStringLiteral("/usr/bin/hardinfo")});
        QCOMPARE(dialogs.messageCount(), 0);
        QVERIFY(!slot.isNull()); // the window stays open
        // Without the tool, the same button tells the user.
        testing::FakeRegistry empty;
        window->close();
        QTRY_VERIFY(slot.isNull());
        AboutWindow* other = showAboutWindow(slot, nullptr, dialogs, empty, shell);
        QTest::mouseClick(child<QPushButton>(other, "cmdSysInfo"), Qt::LeftButton);
        QCOMPARE(dialogs.messageCount(), 1);
        QCOMPARE(dialogs.shown.back().text, QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
        other->close();
    }
};

} // namespace tav

QTEST_MAIN(tav::AboutWindowTest)
#include "test_about_window.moc"
