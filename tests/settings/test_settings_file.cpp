// Tavolin.ini: the seven keys, their order, and ProfileAccess's modes.
#include "platform/profile_strings.h"
#include "platform/testing/memory_profile_strings.h"
#include "settings/profile_access.h"
#include "settings/settings_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

tav::Settings sample() {
    tav::Settings s;
    s.ExcelFolder = QStringLiteral("/home/sato/報告書");
    s.ExcelFile = QStringLiteral("外壁点検.xls");
    s.Owner = QStringLiteral("佐藤");
    s.Title = QStringLiteral("外壁点検報告");
    s.Hyodai = QString();
    s.Comment = QStringLiteral("第２回");
    s.orgPath = QStringLiteral("/home/sato/写真");
    return s;
}

TEST(SettingsFile, PathIsBesideTheProgram) {
    EXPECT_EQ(tav::settingsFilePath(QStringLiteral("/opt/tavolin")),
              QStringLiteral("/opt/tavolin/Tavolin.ini"));
    EXPECT_EQ(tav::settingsFilePath(QStringLiteral("/")), QStringLiteral("/Tavolin.ini"));
}

TEST(SettingsFile, AFreshFileHoldsTheSectionAndTheSevenKeysInOrder) {
    QTemporaryDir dir;
    tav::IniProfileStrings profiles;
    const QString file = tav::settingsFilePath(dir.path());
    tav::SaveSettings(profiles, file, sample());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray expected = tav::ini::toCp932(QStringLiteral(
        "[File]\r\nExcelFolder=/home/sato/報告書\r\nExcelFile=外壁点検.xls\r\nOwner=佐藤\r\n"
        "Title=外壁点検報告\r\nHyodai=\r\nComment=第２回\r\norgPath=/home/sato/写真\r\n"));
    EXPECT_EQ(f.readAll(), expected);
    EXPECT_EQ(tav::LoadSettings(profiles, file), sample());
}

TEST(SettingsFile, SavingOverAnOldFileKeepsItsOtherSections) {
    QTemporaryDir dir;
    tav::IniProfileStrings profiles;
    const QString file = tav::settingsFilePath(dir.path());
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Window]\r\nLeft=10\r\n[File]\r\nOwner=old\r\nExtra=keep\r\n");
    }
    tav::SaveSettings(profiles, file, sample());
    EXPECT_EQ(tav::LoadSettings(profiles, file), sample());
    EXPECT_EQ(
        profiles.read(file, QStringLiteral("Window"), QStringLiteral("Left"), QString(), 1023),
        QStringLiteral("10"));
    EXPECT_EQ(profiles.read(file, QStringLiteral("File"), QStringLiteral("Extra"), QString(), 1023),
              QStringLiteral("keep"));
}

TEST(SettingsFile, NoFileReadsSevenEmptyValues) {
    QTemporaryDir dir;
    tav::IniProfileStrings profiles;
    EXPECT_EQ(tav::LoadSettings(profiles, tav::settingsFilePath(dir.path())), tav::Settings());
}

TEST(SettingsFile, KeysAreReadAndWrittenInTableOrder) {
    tav::testing::MemoryProfileStrings profiles;
    tav::SaveSettings(profiles, QStringLiteral("f"), sample());
    ASSERT_EQ(profiles.writes.size(), 7);
    const char* order[] = {"excelfolder", "excelfile", "owner",  "title",
                           "hyodai",      "comment",   "orgpath"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(
            profiles.writes[i].startsWith(QStringLiteral("f|file|") + QLatin1String(order[i])))
            << profiles.writes[i].toStdString();
    }
}

TEST(ProfileAccess, ModesReadWriteOrDoNothing) {
    tav::testing::MemoryProfileStrings profiles;
    const QString f = QStringLiteral("f");
    const QString s = QStringLiteral("File");
    const QString k = QStringLiteral("Owner");
    EXPECT_EQ(tav::ProfileAccess(profiles, 1, f, s, k, QStringLiteral("dflt")),
              QStringLiteral("dflt"));
    EXPECT_EQ(tav::ProfileAccess(profiles, 2, f, s, k, QStringLiteral("v")), QString());
    EXPECT_EQ(tav::ProfileAccess(profiles, 1, f, s, k, QString()), QStringLiteral("v"));
    for (unsigned char mode : {0, 3, 255}) {
        EXPECT_EQ(tav::ProfileAccess(profiles, mode, f, s, k, QStringLiteral("w")), QString());
    }
    EXPECT_EQ(profiles.writes.size(), 1);
    profiles.failWrites = true;
    EXPECT_EQ(tav::ProfileAccess(profiles, 2, f, s, k, QStringLiteral("x")), QString());
    EXPECT_EQ(tav::ProfileAccess(profiles, 1, f, s, k, QString()), QStringLiteral("v"));
}

} // namespace
