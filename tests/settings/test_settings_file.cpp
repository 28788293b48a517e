// Tavolin.ini: the keys, their order, what reads back, and a failing write.
#include "platform/profile_strings.h"
#include "platform/testing/memory_profile_strings.h"
#include "settings/settings_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define TAVOLIN_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVOLIN_TEST_SANITIZED 1
#endif
#endif

namespace {

tav::Settings sample() {
    tav::Settings s;
    s.targetFolder = QStringLiteral("/home/sato/報告書");
    s.workbookName = QStringLiteral("外壁点検.xls");
    s.author = QStringLiteral("佐藤");
    s.title = QStringLiteral("外壁点検報告");
    s.subject = QString();
    s.comment = QStringLiteral("第２回");
    s.browserFolder = QStringLiteral("/home/sato/写真");
    s.dateNotes = QStringLiteral("1");
    return s;
}

TEST(SettingsFile, PathIsBesideTheProgram) {
    EXPECT_EQ(tav::settingsFilePath(QStringLiteral("/opt/tavolin")),
              QStringLiteral("/opt/tavolin/Tavolin.ini"));
    EXPECT_EQ(tav::settingsFilePath(QStringLiteral("/")), QStringLiteral("/Tavolin.ini"));
}

TEST(SettingsFile, AFreshFileHoldsTheSectionAndTheKeysInOrder) {
    QTemporaryDir dir;
    tav::IniProfileStrings profiles;
    const QString file = tav::settingsFilePath(dir.path());
    tav::saveSettings(profiles, file, sample());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray expected = tav::ini::toCp932(QStringLiteral(
        "[File]\r\nExcelFolder=/home/sato/報告書\r\nExcelFile=外壁点検.xls\r\nOwner=佐藤\r\n"
        "Title=外壁点検報告\r\nHyodai=\r\nComment=第２回\r\norgPath=/home/sato/写真\r\n"
        "DateNote=1\r\n"));
    EXPECT_EQ(f.readAll(), expected);
    EXPECT_EQ(tav::loadSettings(profiles, file), sample());
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
    tav::saveSettings(profiles, file, sample());
    EXPECT_EQ(tav::loadSettings(profiles, file), sample());
    EXPECT_EQ(
        profiles.read(file, QStringLiteral("Window"), QStringLiteral("Left"), QString(), 1023),
        QStringLiteral("10"));
    EXPECT_EQ(profiles.read(file, QStringLiteral("File"), QStringLiteral("Extra"), QString(), 1023),
              QStringLiteral("keep"));
}

TEST(SettingsFile, NoFileReadsSevenEmptyValues) {
    QTemporaryDir dir;
    tav::IniProfileStrings profiles;
    EXPECT_EQ(tav::loadSettings(profiles, tav::settingsFilePath(dir.path())), tav::Settings());
}

// Runs `body` in a child process that is ended after `seconds` and may not grow beyond
// a few gigabytes (the sanitizers reserve more address space, so only the time limit
// holds there): a hang or an unbounded read ends the child, not the test program.
// Returns body's result, 3 for an exception, or 128 + the signal that ended the child.
int inBoundedChild(unsigned seconds, const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(seconds);
#ifndef TAVOLIN_TEST_SANITIZED
        const rlimit memory{rlim_t(4) << 30, rlim_t(4) << 30};
        setrlimit(RLIMIT_AS, &memory);
#endif
        int result = 2;
        try {
            result = body();
        } catch (...) { // out of memory, say: the child ends here, never in the test
            result = 3;
        }
        _exit(result);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

// A settings file that is no regular file neither blocks the start nor floods the
// close: it reads as no file and is left as it is.
TEST(SettingsFile, AFifoOrADeviceIsNeitherReadNorReplaced) {
    QTemporaryDir dir;
    const QString file = tav::settingsFilePath(dir.path());
    const QByteArray native = QFile::encodeName(file);
    struct Case {
        const char* what;
        std::function<bool()> make;
        mode_t type;
    };
    const Case cases[] = {
        {"fifo", [&] { return mkfifo(native.constData(), 0600) == 0; }, S_IFIFO},
        {"link to /dev/zero", [&] { return symlink("/dev/zero", native.constData()) == 0; },
         S_IFCHR},
        {"folder", [&] { return mkdir(native.constData(), 0700) == 0; }, S_IFDIR},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.make()) << c.what;
        const int result = inBoundedChild(10, [&] {
            tav::IniProfileStrings profiles;
            if (!(tav::loadSettings(profiles, file) == tav::Settings()))
                return 1;
            tav::saveSettings(profiles, file, sample());
            return 0;
        });
        EXPECT_EQ(result, 0) << c.what << (result == 128 + SIGALRM ? ": blocked or ran away" : "");
        struct stat st {};
        ASSERT_EQ(stat(native.constData(), &st), 0) << c.what;
        EXPECT_EQ(st.st_mode & S_IFMT, c.type) << c.what;
        if ((st.st_mode & S_IFMT) == S_IFDIR)
            rmdir(native.constData());
        else
            unlink(native.constData());
    }
}

// A 16 MB settings file: the lines within the first megabyte are read, at once; those
// beyond are ignored, and the file is not rewritten (that would drop them).
TEST(SettingsFile, AHugeFileIsReadOnlyAsFarAsTheLimitAndKeptAsItIs) {
    QTemporaryDir dir;
    const QString file = tav::settingsFilePath(dir.path());
    QByteArray bytes("[File]\r\nOwner=first\r\n");
    const QByteArray filler("n=1\r\n");
    while (bytes.size() < 16 * 1024 * 1024)
        bytes += filler;
    bytes += "Title=beyond the limit\r\n";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    // The bound catches a read that never ends; it is wide because the sanitizer build on a
    // loaded machine is many times slower than a release build.
    const int result = inBoundedChild(30, [&] {
        tav::IniProfileStrings profiles;
        const tav::Settings read = tav::loadSettings(profiles, file);
        if (read.author != QStringLiteral("first") || !read.title.isEmpty())
            return 1;
        tav::saveSettings(profiles, file, sample());
        return 0;
    });
    EXPECT_EQ(result, 0) << (result == 128 + SIGALRM ? "took more than 30 s" : "");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == bytes);
}

// Values the file's format changes come back exactly; the keys older readers know hold
// what CP932 makes of them, and an exact value an older program left behind when it
// rewrote the key does not bring back the old value.
TEST(SettingsFile, ValuesTheCodePageCannotHoldComeBackExactly) {
    struct Case {
        const char* name;
        QString value;
        QString storedAs; // what the plain key holds
    };
    const QString longValue = QString(600, QChar(u'写')) + QStringLiteral("é");
    const Case cases[] = {
        {"accent", QStringLiteral("/home/u/Café_写真"), QStringLiteral("/home/u/Caf?_写真")},
        {"wave dash", QStringLiteral("10時〜12時"), QStringLiteral("10時～12時")},
        {"emoji", QStringLiteral("📷 点検"), QStringLiteral("? 点検")},
        {"blanks and quotes", QStringLiteral("\"  引用  \""), QStringLiteral("  引用  ")},
        {"plain", QStringLiteral("外壁点検"), QStringLiteral("外壁点検")},
        // Cut where the plain value is cut: 1022 bytes are 511 double-byte characters.
        {"long", longValue, longValue.left(511)},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        tav::IniProfileStrings profiles;
        const QString file = tav::settingsFilePath(dir.path());
        tav::Settings s = sample();
        s.comment = c.value;
        tav::saveSettings(profiles, file, s);
        const QString plain =
            profiles.read(file, QStringLiteral("File"), QStringLiteral("Comment"), {}, 1023);
        EXPECT_EQ(plain, c.storedAs) << c.name;
        const tav::Settings back = tav::loadSettings(profiles, file);
        EXPECT_EQ(back.comment, c.name == std::string("long") ? c.storedAs : c.value) << c.name;
        EXPECT_EQ(back.browserFolder, s.browserFolder) << c.name;

        // An older program writes the plain key only: its value counts.
        profiles.write(file, QStringLiteral("File"), QStringLiteral("Comment"),
                       QStringLiteral("older"));
        EXPECT_EQ(tav::loadSettings(profiles, file).comment, QStringLiteral("older")) << c.name;
        // A value the format holds clears the exact key, so "Caf?" stays "Caf?".
        s.comment = c.storedAs;
        tav::saveSettings(profiles, file, s);
        EXPECT_EQ(tav::loadSettings(profiles, file).comment, c.storedAs) << c.name;
    }
}

TEST(SettingsFile, KeysAreReadAndWrittenInTableOrder) {
    tav::testing::MemoryProfileStrings profiles;
    tav::saveSettings(profiles, QStringLiteral("f"), sample());
    ASSERT_EQ(profiles.writes.size(), 8);
    const char* order[] = {"excelfolder", "excelfile", "owner",   "title",
                           "hyodai",      "comment",   "orgpath", "datenote"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(
            profiles.writes[i].startsWith(QStringLiteral("f|file|") + QLatin1String(order[i])))
            << profiles.writes[i].toStdString();
    }
}

TEST(SettingsFile, AFailedWriteIsSilentAndKeepsTheStoredValues) {
    tav::testing::MemoryProfileStrings profiles;
    const QString file = QStringLiteral("f");
    tav::saveSettings(profiles, file, sample());
    profiles.failWrites = true;
    tav::Settings changed = sample();
    changed.author = QStringLiteral("別人");
    tav::saveSettings(profiles, file, changed);
    EXPECT_EQ(tav::loadSettings(profiles, file), sample());
}

} // namespace
