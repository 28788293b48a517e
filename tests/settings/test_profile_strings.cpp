// The classic INI semantics of the profile strings on real files in CP932.
#include "platform/profile_strings.h"
#include "platform/testing/failing_file_writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using tav::IniProfileStrings;
namespace ini = tav::ini;

class ProfileStringsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const char* name = "Tavolin.ini") const {
        return dir.filePath(QLatin1String(name));
    }

    void writeRaw(const QByteArray& bytes) const {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray readRaw() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QString read(const QString& section, const QString& key, int buffer = 1023) {
        return profiles.read(path(), section, key, QStringLiteral("<default>"), buffer);
    }

    QTemporaryDir dir;
    IniProfileStrings profiles;
};

TEST_F(ProfileStringsTest, JapaneseTextIsStoredAsCp932AndReadBackUnchanged) {
    const QString comment = QStringLiteral("現場写真　第２回（外壁・屋根）～点検");
    ASSERT_TRUE(profiles.write(path(), QStringLiteral("File"), QStringLiteral("Comment"), comment));
    EXPECT_EQ(read(QStringLiteral("File"), QStringLiteral("Comment")), comment);
    const QByteArray raw = readRaw();
    EXPECT_TRUE(raw.contains(ini::toCp932(comment)));
    EXPECT_FALSE(raw.contains(comment.toUtf8()));
    EXPECT_EQ(raw, QByteArray("[File]\r\nComment=") + ini::toCp932(comment) + "\r\n");
}

TEST_F(ProfileStringsTest, ValuesAreCutAt1022BytesOnACharacterBoundary) {
    struct Case {
        const char* what;
        QString stored;
        QString expected;
    };
    const QString a1022(1022, QLatin1Char('a'));
    const QString a1021(1021, QLatin1Char('a'));
    const QString a1020(1020, QLatin1Char('a'));
    const QString kana = QStringLiteral("あ"); // two bytes in CP932
    const Case cases[] = {
        {"exactly 1022 bytes come back whole", a1022, a1022},
        {"1023 bytes come back as 1022", a1022 + QLatin1Char('b'), a1022},
        {"a double-byte character ending at 1022 stays", a1020 + kana, a1020 + kana},
        {"a double-byte character across the limit is dropped whole", a1021 + kana, a1021},
        {"all double-byte: 511 characters fit", QString(600, QChar(0x3042)),
         QString(511, QChar(0x3042))},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(
            profiles.write(path(), QStringLiteral("File"), QStringLiteral("Title"), c.stored));
        EXPECT_EQ(read(QStringLiteral("File"), QStringLiteral("Title")), c.expected) << c.what;
    }
}

TEST_F(ProfileStringsTest, CutNeverSplitsWhenTrailBytesLookLikeLeadBytes) {
    // "ー" is 0x81 0x5B and "―" 0x81 0x5C: trail bytes that are also ASCII. "表" is
    // 0x95 0x5C. The cut walks whole characters.
    const QByteArray bytes = ini::toCp932(QStringLiteral("表表表"));
    ASSERT_EQ(bytes.size(), 6);
    EXPECT_EQ(ini::cutCp932(bytes, 5), bytes.left(4));
    EXPECT_EQ(ini::cutCp932(bytes, 4), bytes.left(4));
    EXPECT_EQ(ini::cutCp932(bytes, 0), QByteArray());
}

TEST_F(ProfileStringsTest, MissingFileSectionOrKeyYieldsTheDefault) {
    EXPECT_EQ(read(QStringLiteral("File"), QStringLiteral("Owner")), QStringLiteral("<default>"));
    writeRaw("[Other]\r\nOwner=x\r\n");
    EXPECT_EQ(read(QStringLiteral("File"), QStringLiteral("Owner")), QStringLiteral("<default>"));
    writeRaw("[File]\r\nTitle=x\r\n");
    EXPECT_EQ(read(QStringLiteral("File"), QStringLiteral("Owner")), QStringLiteral("<default>"));
    writeRaw("[File]\r\nOwner=\r\n");
    EXPECT_EQ(read(QStringLiteral("File"), QStringLiteral("Owner")), QString());
}

TEST_F(ProfileStringsTest, NamesIgnoreCaseValuesAreTrimmedAndGarbageIsSkipped) {
    writeRaw(
        "garbage without equals\r\n\x81\r\n;comment=1\r\n  [ file ]  \r\n"
        "random text\r\n  OWNER  =   Sato Taro  \r\nTitle=\"quoted\"\r\n[Next]\r\nOwner=no\r\n");
    EXPECT_EQ(read(QStringLiteral("File"), QStringLiteral("Owner")), QStringLiteral("Sato Taro"));
    EXPECT_EQ(read(QStringLiteral("FILE"), QStringLiteral("title")), QStringLiteral("quoted"));
    EXPECT_EQ(read(QStringLiteral("Next"), QStringLiteral("owner")), QStringLiteral("no"));
}

TEST_F(ProfileStringsTest, UpdateReplacesTheKeyInPlaceAndKeepsEverythingElse) {
    writeRaw("; kept comment\r\n[Other]\r\nExcelFile=other\r\n\r\n[file]\r\nexcelfile=old\r\n"
             "Owner=x\r\n\r\n[Tail]\r\nz=9\r\n");
    ASSERT_TRUE(profiles.write(path(), QStringLiteral("File"), QStringLiteral("ExcelFile"),
                               QStringLiteral("new.xls")));
    EXPECT_EQ(readRaw(), QByteArray("; kept comment\r\n[Other]\r\nExcelFile=other\r\n\r\n[file]\r\n"
                                    "ExcelFile=new.xls\r\nOwner=x\r\n\r\n[Tail]\r\nz=9\r\n"));
    // A new key goes after the section's last line, before its trailing blank line.
    ASSERT_TRUE(profiles.write(path(), QStringLiteral("File"), QStringLiteral("Title"),
                               QStringLiteral("t")));
    EXPECT_EQ(readRaw(),
              QByteArray("; kept comment\r\n[Other]\r\nExcelFile=other\r\n\r\n[file]\r\n"
                         "ExcelFile=new.xls\r\nOwner=x\r\nTitle=t\r\n\r\n[Tail]\r\nz=9\r\n"));
}

TEST_F(ProfileStringsTest, MissingSectionIsAppendedWithTheFilesOwnLineBreaks) {
    writeRaw("[Other]\nkey=v"); // LF only, no final line break
    ASSERT_TRUE(profiles.write(path(), QStringLiteral("File"), QStringLiteral("Owner"),
                               QStringLiteral("o")));
    EXPECT_EQ(readRaw(), QByteArray("[Other]\nkey=v\n[File]\nOwner=o\n"));
}

TEST_F(ProfileStringsTest, EncodingProblemsAreToleratedNotFatal) {
    // UTF-8 text where CP932 is expected, and bytes that are not CP932 at all.
    writeRaw(QByteArray("[File]\r\nOwner=") + QStringLiteral("佐藤").toUtf8() +
             "\r\nTitle=\xFF\xFE\x81\r\n");
    EXPECT_FALSE(read(QStringLiteral("File"), QStringLiteral("Owner")).isEmpty());
    EXPECT_TRUE(read(QStringLiteral("File"), QStringLiteral("Title")).contains(QChar(0xFFFD)));
    // Characters CP932 cannot hold become '?'.
    EXPECT_EQ(ini::fromCp932(ini::toCp932(QStringLiteral("a😀é"))), QStringLiteral("a??"));
}

TEST_F(ProfileStringsTest, LineBreaksInAValueCannotAddLines) {
    ASSERT_TRUE(profiles.write(path(), QStringLiteral("File"), QStringLiteral("Comment"),
                               QStringLiteral("one\r\n[Evil]\nOwner=x")));
    EXPECT_EQ(read(QStringLiteral("Evil"), QStringLiteral("Owner")), QStringLiteral("<default>"));
    EXPECT_EQ(readRaw().count('\n'), 2);
}

TEST_F(ProfileStringsTest, AnUnwritableFolderLeavesTheOldFileAndNoTemporaryFile) {
    const QByteArray old("[File]\r\nOwner=old\r\n");
    writeRaw(old);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);
    // Root may write anywhere: the write runs in a child process as an ordinary user.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        IniProfileStrings p;
        const bool ok =
            p.write(path(), QStringLiteral("File"), QStringLiteral("Owner"), QStringLiteral("new"));
        _exit(ok ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(QFile::encodeName(dir.path()).constData(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) {
        GTEST_SKIP() << "running as root without a user to drop to";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must report failure";
    EXPECT_EQ(readRaw(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// Up to the limit a file is read and rewritten whole; beyond it only its complete lines
// within the limit are read and the file is never rewritten.
TEST_F(ProfileStringsTest, FilesBeyondTheSizeLimitAreReadInPartAndNeverRewritten) {
    constexpr qsizetype limit = IniProfileStrings::kMaxProfileFileBytes;
    const QByteArray head("[File]\r\nOwner=first\r\n");
    const QByteArray tail("Title=last\r\n");
    auto padded = [&](qsizetype size) {
        QByteArray pad(size - head.size() - tail.size() - 2, 'x');
        return head + pad + "\r\n" + tail;
    };
    struct Case {
        const char* what;
        QByteArray file;
        const char* title; // as read
        bool rewritten;
    };
    const Case cases[] = {
        {"exactly at the limit", padded(limit), "last", true},
        {"one byte beyond: the last line crosses the limit", padded(limit + 1), "<default>", false},
        {"zeros far beyond", head + QByteArray(17 * 1024 * 1024, '\0'), "<default>", false},
    };
    for (const Case& c : cases) {
        writeRaw(c.file);
        EXPECT_EQ(read(QStringLiteral("File"), QStringLiteral("Owner")), QStringLiteral("first"))
            << c.what;
        EXPECT_EQ(read(QStringLiteral("File"), QStringLiteral("Title")), QLatin1String(c.title))
            << c.what;
        EXPECT_EQ(profiles.write(path(), QStringLiteral("File"), QStringLiteral("Owner"),
                                 QStringLiteral("new")),
                  c.rewritten)
            << c.what;
        const QByteArray after = readRaw();
        EXPECT_EQ(after == c.file, !c.rewritten) << c.what;
        if (c.rewritten) {
            EXPECT_EQ(after.size(), c.file.size() - 2) << c.what; // "first" became "new"
        }
    }
}

// A disk that fills up while the file is written, an I/O error at the rename, a folder
// that takes no new file: the write reports failure and the old file stays whole.
TEST_F(ProfileStringsTest, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    const QByteArray old("[File]\r\nOwner=old\r\n");
    const struct {
        const char* what;
        int failCreate, failWrite, failCommit, osError;
    } cases[] = {
        {"disk full half way", 0, 1, 0, ENOSPC},
        {"I/O error at the commit", 0, 0, 1, EIO},
        {"read-only folder", 1, 0, 0, EROFS},
    };
    for (const auto& c : cases) {
        writeRaw(old);
        tav::testing::FailingFileWriter writer;
        writer.failCreate = c.failCreate;
        writer.failWrite = c.failWrite;
        writer.failCommit = c.failCommit;
        writer.osError = c.osError;
        IniProfileStrings failing(writer);
        EXPECT_FALSE(failing.write(path(), QStringLiteral("File"), QStringLiteral("Owner"),
                                   QStringLiteral("new")))
            << c.what;
        EXPECT_EQ(readRaw(), old) << c.what;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << c.what;
    }
}

TEST_F(ProfileStringsTest, WritingKeepsTheFilesPermissionsAndLeavesNoTemporaryFile) {
    writeRaw("[File]\r\n");
    ASSERT_EQ(chmod(QFile::encodeName(path()).constData(), 0640), 0);
    ASSERT_TRUE(profiles.write(path(), QStringLiteral("File"), QStringLiteral("Owner"),
                               QStringLiteral("x")));
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

} // namespace
