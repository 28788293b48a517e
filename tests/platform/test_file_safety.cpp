// Replacing files safely: the atomic writer and its leftovers, the lock a run holds on
// its target, and the up-front check whether a target can be replaced.
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_ops.h"
#include "platform/office_lock.h"
#include "platform/testing/failing_file_writer.h"
#include "platform/testing/test_files.h"
#include "platform/testing/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tav {
namespace {

using testing::errorNumberOf;
using testing::readFile;
using testing::writeFile;

class FileSafety : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString at(const QString& name) const { return dir.filePath(name); }
    QString at(const char* name) const { return at(QString::fromUtf8(name)); }
    QStringList files() const {
        QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }
    static mode_t modeOf(const QString& p) {
        struct stat st {};
        return ::stat(QFile::encodeName(p).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
    }
    QTemporaryDir dir;
};

// A lock line of ours for a process that no longer exists (and holds no flock).
QByteArray lockLineOfGoneRun() {
    QByteArray line = lockFileLine();
    const qsizetype pid = line.lastIndexOf("pid=");
    return line.left(pid) + "pid=999999999;";
}

TEST_F(FileSafety, WriterReplacesWholeOrNotAtAll) {
    writeFile(at("book.xls"), "previous workbook");
    ::chmod(QFile::encodeName(at("book.xls")).constData(), 0640);
    writeFileAtomically(localFileWriter(), at("book.xls"), "new");
    EXPECT_EQ(readFile(at("book.xls")), QByteArray("new"));
    EXPECT_EQ(modeOf(at("book.xls")), 0640u); // the target's permissions are kept
    writeFileAtomically(localFileWriter(), at("fresh.xls"), "x");
    EXPECT_NE(modeOf(at("fresh.xls")) & 0044, 0u) << "a new file got a temporary file's mode";

    // Each way a write can fail: the target keeps its bytes, no temporary file stays.
    const struct {
        const char* what;
        int failCreate, failWrite, failCommit, osError, number;
    } faults[] = {
        {"disk full while writing", 0, 1, 0, ENOSPC, err::DiskFull},
        {"I/O error while writing", 0, 1, 0, EIO, err::DeviceUnavailable},
        {"read-only medium", 1, 0, 0, EROFS, err::PermissionDenied},
        {"failed commit", 0, 0, 1, EIO, err::DeviceUnavailable},
    };
    for (const auto& f : faults) {
        SCOPED_TRACE(f.what);
        testing::FailingFileWriter writer;
        writer.failCreate = f.failCreate;
        writer.failWrite = f.failWrite;
        writer.failCommit = f.failCommit;
        writer.osError = f.osError;
        int os = 0;
        EXPECT_EQ(errorNumberOf([&] { writeFileAtomically(writer, at("book.xls"), "half"); }, &os),
                  f.number);
        EXPECT_EQ(os, f.osError);
        EXPECT_EQ(readFile(at("book.xls")), QByteArray("new"));
        EXPECT_EQ(files(), (QStringList{QStringLiteral("book.xls"), QStringLiteral("fresh.xls")}));
    }
    EXPECT_EQ(errorNumberOf([&] { writeFileAtomically(localFileWriter(), at("gone/x.xls"), "x"); }),
              err::PathNotFound);
}

// Leftovers of a killed writer: only this target's temporary files of our user go.
TEST_F(FileSafety, LeftoverTemporaries) {
    const QString target = at("book.xls");
    const QString longTarget =
        at(QString(120, QChar(0x5199)) + QStringLiteral(".xls")); // 363 bytes
    QByteArray longTemplate = QFile::encodeName(temporaryNameTemplate(longTarget));
    const QString longName = QFile::decodeName(longTemplate).section(QLatin1Char('/'), -1);
    EXPECT_LE(QFile::encodeName(longName).size(), 255);
    EXPECT_TRUE(QRegularExpression(temporaryNamePattern(longTarget))
                    .match(longName.left(longName.size() - 6) + QStringLiteral("a1B2c3"))
                    .hasMatch());

    for (const char* name :
         {".book.xls.tavolin-a1B2c3", ".book.xls.tavolin-ZZZZZZ", "book.xls",
          ".book.xls.tavolin-abc", ".other.xls.tavolin-a1B2c3", ".book.xls.tavolin-a1B2c3.bak"}) {
        writeFile(at(name), "x");
    }
    QDir(dir.path()).mkdir(QStringLiteral(".book.xls.tavolin-Folder"));
    EXPECT_EQ(removeLeftoverTemporaries(target), 2);
    EXPECT_EQ(files(), (QStringList{QStringLiteral(".book.xls.tavolin-a1B2c3.bak"),
                                    QStringLiteral(".book.xls.tavolin-abc"),
                                    QStringLiteral(".other.xls.tavolin-a1B2c3"),
                                    QStringLiteral("book.xls")}));
}

// The lock a run holds: LibreOffice's format, "in use" for everyone else while held,
// gone afterwards; a lock a killed run of ours left is taken over, a foreign one is not.
TEST_F(FileSafety, WorkbookLock) {
    const QString book = at("book.xls");
    const QString lockPath = at(".~lock.book.xls#");
    EXPECT_EQ(libreOfficeLockPath(book), lockPath);
    EXPECT_EQ(officeLockState(book), OfficeLockState::Free);
    {
        const auto lock = WorkbookLock::acquire(book);
        ASSERT_TRUE(lock->isHeld());
        const QByteArray line = readFile(lockPath);
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^Tavolin,[^,]+,[^,]+,\\d\\d\\.\\d\\d\\.\\d{4} "
                                              "\\d\\d:\\d\\d,tavolin:pid=\\d+;$"))
                .match(QString::fromUtf8(line))
                .hasMatch())
            << line.constData();
        EXPECT_EQ(officeLockState(book), OfficeLockState::InUse);
        EXPECT_EQ(checkTargetReplaceable(book).problem, TargetProblem::InUse);
        EXPECT_EQ(errorNumberOf([&] { WorkbookLock::acquire(book); }), err::PermissionDenied);
    }
    EXPECT_EQ(files(), QStringList{});

    // Left by a killed run of ours: replaced, and its temporary lock file swept too.
    writeFile(lockPath, lockLineOfGoneRun());
    writeFile(at("..~lock.book.xls#.tavolin-Ab12Cd"), "half a lock line");
    EXPECT_EQ(officeLockState(book), OfficeLockState::LeftByKilled);
    EXPECT_EQ(checkTargetReplaceable(book).problem, TargetProblem::None);
    {
        const auto lock = WorkbookLock::acquire(book);
        EXPECT_TRUE(
            readFile(lockPath).endsWith(QStringLiteral("pid=%1;").arg(::getpid()).toUtf8()));
    }
    EXPECT_EQ(files(), QStringList{});

    // Ours and alive (another process holds its flock): in use. The same line without
    // the flock: left by a killed run.
    writeFile(lockPath, lockFileLine());
    const int held = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(officeLockState(book), OfficeLockState::InUse);
    EXPECT_EQ(errorNumberOf([&] { WorkbookLock::acquire(book); }), err::PermissionDenied);
    ::close(held);
    EXPECT_EQ(officeLockState(book), OfficeLockState::LeftByKilled);

    // Foreign locks are never touched.
    const QByteArray libreOffice =
        ",user,host,01.02.2024 10:00,file:///home/user/.config/libreoffice/4;";
    for (const auto& [path, content] :
         {std::pair{lockPath, libreOffice}, std::pair{at("~$book.xls"), QByteArray("x")},
          std::pair{lockPath, QByteArray()}}) {
        QFile::remove(lockPath);
        writeFile(path, content);
        EXPECT_EQ(officeLockState(book), OfficeLockState::InUse) << path.toStdString();
        EXPECT_EQ(errorNumberOf([&] { WorkbookLock::acquire(book); }), err::PermissionDenied);
        EXPECT_EQ(readFile(path), content);
        QFile::remove(path);
    }
}

// Every problem the up-front check names, each made for real. Permissions are tested
// as an ordinary user (root may write anywhere).
TEST_F(FileSafety, TargetCheck) {
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::WriteOther | QFile::ExeOther));
    writeFile(at("ok.xls"), "x");
    QFile::setPermissions(at("ok.xls"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                            QFile::WriteOther);
    writeFile(at("ro.xls"), "x");
    QFile::setPermissions(at("ro.xls"), QFile::ReadOwner | QFile::ReadOther);
    QDir(dir.path()).mkdir(QStringLiteral("folder.xls"));
    QDir(dir.path()).mkdir(QStringLiteral("closed"));
    QFile::setPermissions(at("closed"),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    writeFile(at("open.xls"), "x");
    writeFile(at(".~lock.open.xls#"), ",u,h,01.01.2024 00:00,file:///x;");

    const struct {
        const char* name;
        TargetProblem problem;
    } cases[] = {
        {"new.xls", TargetProblem::None},
        {"ok.xls", TargetProblem::None},
        {"no/such.xls", TargetProblem::FolderMissing},
        {"ok.xls/b.xls", TargetProblem::FolderMissing},
        {"open.xls", TargetProblem::InUse},
        {"folder.xls", TargetProblem::TargetNotAFile},
        {"ro.xls", TargetProblem::TargetReadOnly},
        {"closed/b.xls", TargetProblem::FolderNotWritable},
    };
    for (const auto& c : cases) {
        const QString target = at(c.name);
        const int seen = testing::runUnprivileged(
            [&] { return static_cast<int>(checkTargetReplaceable(target).problem); });
        EXPECT_EQ(seen, static_cast<int>(c.problem)) << c.name;
    }
}

} // namespace
} // namespace tav
