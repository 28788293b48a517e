// The version window's logic without a window: texts, position arithmetic, the registry
// lookups of the system-information tool, and the help file's path.
#include "platform/testing/recording_shell.h"
#include "platform/testing/scripted_dialogs.h"
#include "settings/about_window.h"
#include "settings/help.h"
#include "settings/program_info.h"
#include "tests/extras/fake_registry.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tav {
namespace {

using testing::FakeRegistry;
using testing::RecordingShell;
using testing::ScriptedDialogs;

TEST(AboutTexts, CaptionAndVersionFollowTheProgram) {
    EXPECT_EQ(aboutCaption(), QStringLiteral("Tavolinのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(aboutVersionText(kVersionMajor, kVersionMinor, kVersionRevision),
              QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.1.0"));
    // The version the build stamps on the program is the one the window shows.
    EXPECT_EQ(aboutVersionText(kVersionMajor, kVersionMinor, kVersionRevision),
              QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QStringLiteral(TAVOLIN_VERSION_STRING));
    // Plain decimal, no padding.
    EXPECT_EQ(aboutVersionText(2, 10, 7), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.10.7"));
    EXPECT_EQ(aboutVersionText(0, 0, 0), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 0.0.0"));
}

TEST(AboutPosition, CentredAndOneThirdDown) {
    struct Case {
        double screenW, screenH, windowW, windowH;
        int left, top;
    };
    const Case cases[] = {
        // 1024 x 768 pixels, a 390 x 270 window: exact divisions.
        {15360, 11520, 5850, 4050, 4755, 2490},
        // Remainders are dropped: 9511 / 2 gives 4755, 7471 / 3 gives 2490.
        {15361, 11521, 5850, 4050, 4755, 2490},
        // Differences are rounded first, halves to the even neighbour:
        // 9510.5 rounds to 9510, half of it 4755; 7471.5 to 7472, a third of it 2490.
        {15360.5, 11521.5, 5850, 4050, 4755, 2490},
        // 9511.5 rounds to 9512, half of it 4756; 7470.5 to 7470, a third of it 2490.
        {15361.5, 11520.5, 5850, 4050, 4756, 2490},
        // Just under a half rounds down, just over rounds up.
        {15360.49, 11524.51, 5850, 4050, 4755, 2491},
        // A window as large as the screen sits at the corner.
        {5850, 4050, 5850, 4050, 0, 0},
        // A window larger than the screen: the quotient is truncated toward zero.
        {5000, 4000, 5850, 4050, -425, -16},
    };
    for (const Case& c : cases) {
        const QPoint p = aboutWindowPositionTwips(c.screenW, c.screenH, c.windowW, c.windowH);
        EXPECT_EQ(p.x(), c.left) << c.screenW << " " << c.windowW;
        EXPECT_EQ(p.y(), c.top) << c.screenH << " " << c.windowH;
    }
}

class SysInfoLookup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString makeFile(const QString& name) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("tool");
        return path;
    }

    QTemporaryDir folder;
    FakeRegistry registry;
    RecordingShell shell;
    ScriptedDialogs dialogs;
};

TEST_F(SysInfoLookup, ReadRegistryStringReadsAStringAndClosesTheKey) {
    registry.setString(kSysInfoPathKey, kSysInfoPathValue, QStringLiteral("/usr/bin/情報"));
    QString text = QStringLiteral("old");
    EXPECT_TRUE(readRegistryString(registry, RegistryRoot::LocalMachine, kSysInfoPathKey,
                                   kSysInfoPathValue, text));
    EXPECT_EQ(text, QStringLiteral("/usr/bin/情報")); // the terminating zero is dropped
    EXPECT_EQ(registry.lastAccess, 0x2003Fu);
    EXPECT_EQ(registry.lastCapacity, 1024);
    EXPECT_EQ(registry.openKeys, 0);
}

TEST_F(SysInfoLookup, ReadRegistryStringFailuresEmptyTheTextAndCloseTheKey) {
    registry.addKey(kSysInfoFolderKey); // key without the value
    registry.setRaw(kSysInfoPathKey, kSysInfoPathValue, 4, QByteArray("\x01\0\0\0", 4));
    struct Case {
        RegistryRoot root;
        QString key;
        QString value;
    };
    const Case cases[] = {
        {RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\Nothing"), kSysInfoPathValue},
        {RegistryRoot::CurrentUser, kSysInfoPathKey, kSysInfoPathValue},
        {RegistryRoot::LocalMachine, kSysInfoFolderKey, kSysInfoFolderValue},
        {RegistryRoot::LocalMachine, kSysInfoPathKey, kSysInfoPathValue}, // a number
    };
    for (const Case& c : cases) {
        QString text = QStringLiteral("old");
        EXPECT_FALSE(readRegistryString(registry, c.root, c.key, c.value, text))
            << c.key.toStdString();
        EXPECT_EQ(text, QString());
        EXPECT_EQ(registry.openKeys, 0);
    }
}

TEST_F(SysInfoLookup, ReadRegistryStringKeepsTextWithoutTerminatorWhole) {
    // A value stored without its terminating zero loses no character.
    registry.setRaw(kSysInfoPathKey, kSysInfoPathValue, reg::TypeString, QByteArray("/bin/x"));
    QString text;
    EXPECT_TRUE(readRegistryString(registry, RegistryRoot::LocalMachine, kSysInfoPathKey,
                                   kSysInfoPathValue, text));
    EXPECT_EQ(text, QStringLiteral("/bin/x"));
    // A value too long for the 1024-byte buffer is not found.
    registry.setString(kSysInfoPathKey, kSysInfoPathValue, QString(1024, QLatin1Char('a')));
    EXPECT_FALSE(readRegistryString(registry, RegistryRoot::LocalMachine, kSysInfoPathKey,
                                    kSysInfoPathValue, text));
    registry.setString(kSysInfoPathKey, kSysInfoPathValue, QString(1023, QLatin1Char('a')));
    EXPECT_TRUE(readRegistryString(registry, RegistryRoot::LocalMachine, kSysInfoPathKey,
                                   kSysInfoPathValue, text));
    EXPECT_EQ(text.size(), 1023);
}

TEST_F(SysInfoLookup, Location1StartsThePathItHolds) {
    registry.setString(kSysInfoPathKey, kSysInfoPathValue, QStringLiteral("/opt/info/tool"));
    // Location 2 also present: location 1 wins.
    makeFile(kSysInfoFileName);
    registry.setString(kSysInfoFolderKey, kSysInfoFolderValue, folder.path());
    EXPECT_TRUE(startSysInfoTool(registry, shell, dialogs, nullptr));
    EXPECT_EQ(shell.startedPrograms, QStringList{QStringLiteral("/opt/info/tool")});
    EXPECT_EQ(dialogs.messageCount(), 0);
}

TEST_F(SysInfoLookup, Location2WithTheToolInItsFolder) {
    const QString tool = makeFile(kSysInfoFileName);
    registry.setString(kSysInfoFolderKey, kSysInfoFolderValue, folder.path());
    EXPECT_EQ(findSysInfoTool(registry), tool);
    EXPECT_TRUE(startSysInfoTool(registry, shell, dialogs, nullptr));
    EXPECT_EQ(shell.startedPrograms, QStringList{tool});
    EXPECT_EQ(dialogs.messageCount(), 0);
    // A folder recorded with a trailing separator gives no doubled one.
    registry.setString(kSysInfoFolderKey, kSysInfoFolderValue, folder.path() + QLatin1Char('/'));
    EXPECT_EQ(findSysInfoTool(registry), tool);
}

TEST_F(SysInfoLookup, UnavailableToolShowsTheMessage) {
    const auto expectMessage = [this] {
        ASSERT_EQ(dialogs.shown.size(), 1);
        EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
        EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Tavolin"));
        EXPECT_EQ(dialogs.shown[0].icon, MessageIcon::None);
        dialogs.shown.clear();
    };
    // Neither location.
    EXPECT_FALSE(startSysInfoTool(registry, shell, dialogs, nullptr));
    EXPECT_TRUE(shell.startedPrograms.isEmpty());
    expectMessage();
    // Location 2 names a folder without the tool (another file is there).
    makeFile(QStringLiteral("msinfo32.exe.txt"));
    registry.setString(kSysInfoFolderKey, kSysInfoFolderValue, folder.path());
    EXPECT_FALSE(startSysInfoTool(registry, shell, dialogs, nullptr));
    EXPECT_TRUE(shell.startedPrograms.isEmpty());
    expectMessage();
    // A folder carrying the tool's name is not the tool.
    ASSERT_TRUE(QDir(folder.path()).mkdir(kSysInfoFileName));
    EXPECT_FALSE(startSysInfoTool(registry, shell, dialogs, nullptr));
    expectMessage();
    // The tool is found but does not start.
    registry.setString(kSysInfoPathKey, kSysInfoPathValue, QStringLiteral("/opt/info/tool"));
    shell.startSucceeds = false;
    EXPECT_FALSE(startSysInfoTool(registry, shell, dialogs, nullptr));
    EXPECT_EQ(shell.startedPrograms, QStringList{QStringLiteral("/opt/info/tool")});
    expectMessage();
    EXPECT_EQ(registry.openKeys, 0);
}

TEST_F(SysInfoLookup, SystemRegistryAnswersFromInstalledPrograms) {
    const QString missing = folder.filePath(QStringLiteral("not-installed"));
    const QString notExecutable = makeFile(QStringLiteral("plain"));
    const QString second = makeFile(QStringLiteral("second"));
    const QString third = makeFile(QStringLiteral("third"));
    for (const QString& tool : {second, third}) {
        QFile::setPermissions(tool, QFile::permissions(tool) | QFile::ExeOwner);
    }
    SystemInfoRegistry system({missing, notExecutable, second, third});
    QString text;
    EXPECT_TRUE(readRegistryString(system, RegistryRoot::LocalMachine, kSysInfoPathKey,
                                   kSysInfoPathValue, text));
    EXPECT_EQ(text, second); // the first installed, executable program of the list
    // Key names are matched ignoring letter case, as the registry does.
    EXPECT_TRUE(readRegistryString(system, RegistryRoot::LocalMachine, kSysInfoPathKey.toLower(),
                                   QStringLiteral("path"), text));
    // Location 2 and other roots do not exist here.
    EXPECT_FALSE(readRegistryString(system, RegistryRoot::LocalMachine, kSysInfoFolderKey,
                                    kSysInfoFolderValue, text));
    EXPECT_FALSE(readRegistryString(system, RegistryRoot::CurrentUser, kSysInfoPathKey,
                                    kSysInfoPathValue, text));
    EXPECT_EQ(system.openKeys(), 0);
    EXPECT_EQ(findSysInfoTool(system), second);

    SystemInfoRegistry none({missing, notExecutable});
    EXPECT_EQ(findSysInfoTool(none), QString());
    EXPECT_FALSE(startSysInfoTool(none, shell, dialogs, nullptr));
    EXPECT_EQ(dialogs.messageCount(), 1);
}

TEST(Help, OpensTheManualBesideTheProgram) {
    EXPECT_EQ(helpFilePath(QStringLiteral("/opt/tavolin")),
              QStringLiteral("/opt/tavolin/Tavolin.chm"));
    // At the root no separator is doubled.
    EXPECT_EQ(helpFilePath(QStringLiteral("/")), QStringLiteral("/Tavolin.chm"));
    RecordingShell shell;
    shell.openSucceeds = false; // nothing can show it: still no message, no exception
    openHelpFile(QStringLiteral("/opt/tavolin"), shell);
    openHelpFile(QStringLiteral("/"), shell);
    EXPECT_EQ(shell.openedDocuments, (QStringList{QStringLiteral("/opt/tavolin/Tavolin.chm"),
                                                  QStringLiteral("/Tavolin.chm")}));
}

TEST(Help, MissingFileOpensNothingOnTheDesktop) {
    // The desktop shell refuses a file that is not there instead of starting a viewer
    // that would complain.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    DesktopShell desktop;
    EXPECT_FALSE(desktop.openDocument(helpFilePath(folder.path())));
}

} // namespace
} // namespace tav
